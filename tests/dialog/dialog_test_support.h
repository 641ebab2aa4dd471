// Shared by the dialog tests: a fixture whose owner window and dialog record are closed
// and released after each test, keys posted the way a keyboard delivers them, and waits
// on the real event pump.
#pragma once

#include <gtest/gtest.h>

#include "runtime/dialog/dialog_internal.h"
#include "tests/window/window_test_support.h"

// Post a key press to a window, as the keyboard would: down, then up.
inline void post_key(HWND target, WPARAM key) {
    ::PostMessageA(target, WM_KEYDOWN, key, 1);
    ::PostMessageA(target, WM_KEYUP, key, 0xC0000001);
}

// Pump until done() holds or about 5 seconds went by; whether it held.
template <typename Done> bool pump_until(Done done) {
    const DWORD start = ::GetTickCount();
    while (!done()) {
        if (::GetTickCount() - start > 5000) {
            return false;
        }
        process_events(1);
        ::Sleep(5);
    }
    return true;
}

// The recorded EV_CONTROL events as (control_id, notify_code) pairs, without the edits'
// focus and change notifications, which are not what the tests look at.
inline std::vector<std::pair<int32_t, int32_t>> seen_controls() {
    std::vector<std::pair<int32_t, int32_t>> out;
    for (const SeenEvent& s : seen_events) {
        const bool edit_news = s.notify_code >= EN_SETFOCUS && s.notify_code <= EN_UPDATE;
        if (s.event_class == EV_CONTROL && !edit_news) {
            out.emplace_back(s.control_id, s.notify_code);
        }
    }
    return out;
}

// Make the classes a dialog's controls need, as showing it would.
inline void prepare_classes_of(const WindowRecord& dialog) {
    const auto* definition = static_cast<const DialogDefinition*>(dialog.dialog_def);
    for (const ControlDefinition* c = definition->first_control; c != nullptr; c = c->next) {
        control_classes_prepare(c->kind);
    }
    dialog_register_class();
}

class DialogTest : public WindowTest {
  protected:
    void TearDown() override {
        dialog_release(&dialog);
        WindowTest::TearDown();
    }
    WindowRecord dialog = {};
};
