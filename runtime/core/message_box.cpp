// Message boxes: a modal MessageBoxA box centred over its owner window (or the desktop)
// and kept on the work area, through a thread-local WH_CBT hook.
// Relies on USER32 and on the window record's hwnd (runtime/window/window.h).
// Leaves to callers what the box says; tests may answer boxes through a responder.
#include "runtime/core/core_internal.h"
#include "runtime/window/window.h"

// ============================================================================
// Types
// ============================================================================

namespace {

// What the hook of the innermost open box knows.
struct CentringState {
    HHOOK hook;         // the hook installed by the innermost message_box call, or null
    HWND placed_window; // the last window placed at creation, until it is first activated
    RECT reference;     // screen rectangle the placed window is centred on
    RECT work;          // work area of the primary screen when it was placed
};

} // namespace

// ============================================================================
// Module state
// ============================================================================

namespace {

thread_local CentringState centring = {};
MessageBoxResponder box_responder = nullptr;

} // namespace

// ============================================================================
// Internal helpers
// ============================================================================

namespace {

constexpr uint32_t DEFAULT_BOX_STYLE = MB_OK | MB_ICONEXCLAMATION; // 0x30

// Move a placed window to the centring position for its current size.
void place_again(HWND window) {
    RECT now;
    if (!::GetWindowRect(window, &now)) {
        return;
    }
    POINT at = centring_position(centring.reference, now.right - now.left, now.bottom - now.top,
                                 centring.work);
    ::SetWindowPos(window, nullptr, at.x, at.y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

} // namespace

// ============================================================================
// Public routines
// ============================================================================

// Compute where a cx by cy window goes: centred on reference, pushed back inside work.
POINT centring_position(const RECT& reference, int32_t cx, int32_t cy, const RECT& work) {
    int32_t x = reference.left + ((reference.right - reference.left) - cx) / 2;
    int32_t y = reference.top + ((reference.bottom - reference.top) - cy) / 2;
    if (x < 0) {
        x = 0;
    } else if (x + cx > work.right) {
        x = work.right - cx;
    }
    if (y < 0) {
        y = 0;
    } else if (y + cy > work.bottom) {
        y = work.bottom - cy;
    }
    return POINT{x, y};
}

// Place each pop-up or dialog-framed window made while a box is up.
LRESULT CALLBACK centring_hook(int code, WPARAM first, LPARAM second) {
    if (code == HCBT_ACTIVATE && centring.placed_window != nullptr &&
        reinterpret_cast<HWND>(first) == centring.placed_window) {
        // NOTE: a message box under Wine is sized and re-centred on the screen after
        // HCBT_CREATEWND, so the position is set again once the box is first activated.
        HWND window = centring.placed_window;
        centring.placed_window = nullptr;
        place_again(window);
        return ::CallNextHookEx(centring.hook, code, first, second);
    }
    if (code != HCBT_CREATEWND) {
        return ::CallNextHookEx(centring.hook, code, first, second);
    }
    auto* create = reinterpret_cast<CBT_CREATEWNDA*>(second);
    CREATESTRUCTA* params = create->lpcs;
    if ((params->style & (WS_POPUP | WS_DLGFRAME)) == 0) {
        return ::CallNextHookEx(centring.hook, code, first, second);
    }
    RECT work = {0, 0, 0, 0};
    ::SystemParametersInfoA(SPI_GETWORKAREA, 0, &work, 0);
    HWND reference_window = params->hwndParent ? params->hwndParent : ::GetDesktopWindow();
    RECT reference = {0, 0, 0, 0};
    ::GetWindowRect(reference_window, &reference);
    POINT at = centring_position(reference, params->cx, params->cy, work);
    params->x = at.x;
    params->y = at.y;
    centring.placed_window = reinterpret_cast<HWND>(first);
    centring.reference = reference;
    centring.work = work;
    return 0;
}

// Show a modal box centred over its owner; the identifier of the button that closed it.
int32_t message_box(WindowRecord* owner, const char* text, const char* caption, uint32_t style) {
    HWND owner_window = owner ? owner->hwnd : nullptr;
    if (style == 0) {
        style = DEFAULT_BOX_STYLE;
    }
    if (box_responder != nullptr) {
        return box_responder(owner_window, text, caption, style);
    }
    // A box opened from a handler while another is up keeps the outer box's state aside.
    CentringState outer = centring;
    centring = CentringState{};
    centring.hook = ::SetWindowsHookExA(WH_CBT, centring_hook, nullptr, ::GetCurrentThreadId());
    // The texts go to the platform in UTF-16 (each converted from the ANSI code page).
    wchar_t* wide_text = ansi_to_heap_wide(text);
    wchar_t* wide_caption = caption != nullptr ? ansi_to_heap_wide(caption) : nullptr;
    int32_t pressed = 0;
    if (wide_text == nullptr || (caption != nullptr && wide_caption == nullptr)) {
        pressed = ::MessageBoxA(owner_window, text, caption, style); // without memory
    } else {
        pressed = ::MessageBoxW(owner_window, wide_text, wide_caption, style);
    }
    heap_free(wide_caption);
    heap_free(wide_text);
    if (centring.hook != nullptr) {
        ::UnhookWindowsHookEx(centring.hook);
    }
    centring = outer;
    return pressed;
}

// Answer boxes through a test routine instead of showing them (null: show them again).
void message_box_set_responder(MessageBoxResponder responder) {
    box_responder = responder;
}
