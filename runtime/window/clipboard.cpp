// The clipboard: UTF-8 text put on it as the platform's Unicode text (CF_UNICODETEXT) and
// read back from it as UTF-8. Relies on USER32 and KERNEL32's movable global memory and on
// the core's UTF-8 conversion and heap.
#include "runtime/core/core_internal.h"
#include "runtime/window/window_internal.h"

#include <cwchar>

// ============================================================================
// Internal helpers
// ============================================================================

namespace {

constexpr DWORD OPEN_WAIT_MS = 500; // how long another program may hold the clipboard open
constexpr DWORD OPEN_RETRY_MS = 10;

// Open the clipboard for a window (or none), waiting a little while another program holds
// it open; true when opened.
bool open_clipboard(HWND window) {
    const DWORD started = ::GetTickCount();
    while (!::OpenClipboard(window)) {
        if (::GetTickCount() - started >= OPEN_WAIT_MS) {
            return false;
        }
        ::Sleep(OPEN_RETRY_MS);
    }
    return true;
}

} // namespace

// ============================================================================
// Public routines
// ============================================================================

// Put UTF-8 text on the clipboard as Unicode text. The block is made and filled before the
// clipboard is emptied, so that a refusal leaves the clipboard's old contents.
int32_t clipboard_set_text(WindowRecord* owner, const char* text, int32_t length) {
    const int32_t bytes = utf8_argument_bytes(text, length);
    if (owner == nullptr || owner->hwnd == nullptr || bytes < 0) {
        return 0;
    }
    const size_t units = utf16_units(text, static_cast<size_t>(bytes), nullptr);
    HGLOBAL block = ::GlobalAlloc(GMEM_MOVEABLE, (units + 1) * sizeof(wchar_t));
    if (block == nullptr) {
        return 0;
    }
    wchar_t* wide = static_cast<wchar_t*>(::GlobalLock(block));
    if (wide == nullptr) {
        ::GlobalFree(block);
        return 0;
    }
    wide[utf8_to_utf16(text, static_cast<size_t>(bytes), wide)] = L'\0';
    ::GlobalUnlock(block);

    if (!open_clipboard(owner->hwnd)) {
        ::GlobalFree(block);
        return 0;
    }
    // Once placed, the block belongs to the clipboard; refused, it is still ours.
    const bool placed = ::EmptyClipboard() && ::SetClipboardData(CF_UNICODETEXT, block) != nullptr;
    if (!placed) {
        ::GlobalFree(block);
    }
    ::CloseClipboard();
    return placed ? 1 : 0;
}

// The clipboard's text as a fresh heap string in UTF-8, or null when it holds none. The
// text is read up to its first NUL and never past its block.
char* clipboard_get_text(WindowRecord* owner) {
    if (!::IsClipboardFormatAvailable(CF_UNICODETEXT)) {
        return nullptr;
    }
    if (!open_clipboard(owner != nullptr ? owner->hwnd : nullptr)) {
        return nullptr;
    }
    char* text = nullptr;
    HANDLE block = ::GetClipboardData(CF_UNICODETEXT);
    const wchar_t* wide =
        block != nullptr ? static_cast<const wchar_t*>(::GlobalLock(block)) : nullptr;
    if (wide != nullptr) {
        const size_t units = ::wcsnlen(wide, ::GlobalSize(block) / sizeof(wchar_t));
        text = utf16_to_heap_utf8(wide, units);
        ::GlobalUnlock(block);
    }
    ::CloseClipboard();
    return text;
}
