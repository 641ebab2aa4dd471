// Shared by the window and drawing tests: a handler that records every event it sees,
// pumping for a while, and pixels read back from a backing bitmap or from the screen.
// Relies on the runtime's windows and on tests/support/picture.h; header-only, one copy
// per test program.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "runtime/draw/draw_internal.h"
#include "runtime/window/window_internal.h"
#include "tests/support/test_support.h"

// ============================================================================
// Recorded events
// ============================================================================

struct SeenEvent {
    int32_t event_class;
    WPARAM wparam;
    LPARAM lparam;
    uint32_t mouse_x;
    uint32_t mouse_y;
    WindowRecord* window;
    HWND hwnd; // the record's hwnd at the time
    int32_t control_id;
    int32_t notify_code;
};

inline std::vector<SeenEvent> seen_events;
// Optional reaction of the recording handler; its result is the handler's result.
inline intptr_t (*react_to_event)() = nullptr;

// The handler every test window gets: records the event, then reacts.
inline intptr_t recording_handler() {
    const EventState& e = event_state;
    seen_events.push_back(
        {e.event_class, e.event_wparam, e.event_lparam, e.mouse_x, e.mouse_y, e.event_window,
         e.event_window != nullptr ? e.event_window->hwnd : nullptr, e.control_id, e.notify_code});
    return react_to_event != nullptr ? react_to_event() : 0;
}

// The recorded event classes that belong to the given set, in order.
inline std::vector<int32_t> seen_classes(std::initializer_list<int32_t> wanted) {
    std::vector<int32_t> out;
    for (const SeenEvent& s : seen_events) {
        for (int32_t w : wanted) {
            if (s.event_class == w) {
                out.push_back(s.event_class);
                break;
            }
        }
    }
    return out;
}

inline bool saw_event(int32_t event_class) {
    for (const SeenEvent& s : seen_events) {
        if (s.event_class == event_class) {
            return true;
        }
    }
    return false;
}

// ============================================================================
// Pumping and windows
// ============================================================================

// Handle queued messages for about ms milliseconds.
inline void pump_for(DWORD ms) {
    DWORD start = ::GetTickCount();
    do {
        process_events(1);
        ::Sleep(10);
    } while (::GetTickCount() - start < ms);
}

// Every test starts from a fresh recording and a clean record.
class WindowTest : public ::testing::Test {
  protected:
    void SetUp() override {
        seen_events.clear();
        react_to_event = nullptr;
    }
    void TearDown() override {
        react_to_event = nullptr;
        for (int i = used_ - 1; i >= 0; --i) { // children close first
            close_window(&records_[i]);
        }
        pump_for(20);
    }
    // Open a window on a record that the test owns; closed again after the test.
    WindowRecord& open(int32_t x, int32_t y, int32_t w, int32_t h, uint32_t flags,
                       WindowRecord* parent = nullptr, WindowHandler handler = recording_handler) {
        WindowRecord& record = records_[used_ < RECORDS - 1 ? used_++ : used_];
        record = WindowRecord{};
        EXPECT_EQ(open_window(&record, x, y, w, h, flags, parent, "Test", handler), 1);
        return record;
    }

  private:
    static constexpr int RECORDS = 16;
    WindowRecord records_[RECORDS] = {};
    int used_ = 0;
};

// ============================================================================
// Pixels
// ============================================================================

// The whole of a bitmap that is not selected into any context.
inline Picture read_bitmap(HBITMAP bitmap) {
    return picture_of_bitmap(bitmap);
}

// A w x h block of the screen starting at the client point (x, y) of a window.
inline Picture read_screen(HWND hwnd, int32_t x, int32_t y, int32_t w, int32_t h) {
    POINT origin = {x, y};
    ::ClientToScreen(hwnd, &origin);
    return picture_of_screen(origin.x, origin.y, w, h);
}

// A w x h block of a window's own pixels at the client point (x, y), read through its
// device context at once: nothing is pumped, so only what was painted already shows.
inline Picture read_window(HWND hwnd, int32_t x, int32_t y, int32_t w, int32_t h) {
    HDC window = ::GetDC(hwnd);
    Picture picture = picture_of_dc(window, x, y, w, h);
    ::ReleaseDC(hwnd, window);
    return picture;
}

// Paint a rectangle of a window's screen behind the runtime's back.
inline void paint_behind(HWND hwnd, RECT area, COLORREF color) {
    HDC dc = ::GetDC(hwnd);
    HBRUSH brush = ::CreateSolidBrush(color);
    ::FillRect(dc, &area, brush);
    ::DeleteObject(brush);
    ::ReleaseDC(hwnd, dc);
}

// Pump and re-read the screen until check passes or about 3 seconds went by; the last read.
template <typename Check>
Picture poll_screen(HWND hwnd, int32_t x, int32_t y, int32_t w, int32_t h, Check check) {
    Picture px;
    DWORD start = ::GetTickCount();
    do {
        process_events(1);
        px = read_screen(hwnd, x, y, w, h);
        if (check(px)) {
            break;
        }
        ::Sleep(20);
    } while (::GetTickCount() - start < 3000);
    return px;
}

inline std::string color_text(COLORREF c) {
    char text[32];
    std::snprintf(text, sizeof(text), "(%u,%u,%u)", GetRValue(c), GetGValue(c), GetBValue(c));
    return text;
}
