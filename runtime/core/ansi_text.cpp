// Text in the process's ANSI code page handed to the platform's wide calls and back: the
// conversions behind every routine that takes or gives a char* of the program's and
// calls the platform's UTF-16 side (captions, menus, message boxes, control texts, file
// names). With UTF-8 as the code page (the runtime's manifest) the conversion is the
// runtime's own UTF-8 one, so ill-formed bytes become U+FFFD the same way on every
// platform; with any other code page it is the platform's, exactly as its ANSI calls do.
// Relies on KERNEL32, USER32 (window texts) and the runtime heap.
#include "runtime/core/core_internal.h"

#include <cstring>

// ============================================================================
// Internal helpers
// ============================================================================

namespace {

// True when the process's ANSI code page is UTF-8.
bool code_page_is_utf8() {
    return ::GetACP() == CP_UTF8;
}

} // namespace

// ============================================================================
// Internal routines
// ============================================================================

// Convert bytes of text in the ANSI code page into out, which holds bytes units; the units
// written (no terminator).
size_t ansi_to_wide(const char* text, size_t bytes, wchar_t* out) {
    if (bytes == 0) {
        return 0;
    }
    if (code_page_is_utf8()) {
        return utf8_to_utf16(text, bytes, out); // never more units than bytes
    }
    // A byte of an ANSI code page gives at most one unit.
    const int count = bytes > static_cast<size_t>(INT32_MAX) ? INT32_MAX : static_cast<int>(bytes);
    const int units = ::MultiByteToWideChar(CP_ACP, 0, text, count, out, count);
    return units > 0 ? static_cast<size_t>(units) : 0;
}

// A fresh heap block of text (null counts as "") in UTF-16, NUL-terminated, or null without
// memory.
wchar_t* ansi_to_heap_wide(const char* text) {
    const char* source = text != nullptr ? text : "";
    const size_t bytes = std::strlen(source);
    if (bytes > (SIZE_MAX - 3) / sizeof(wchar_t) - 1) {
        return nullptr;
    }
    auto* out = static_cast<wchar_t*>(heap_alloc((bytes + 1) * sizeof(wchar_t)));
    if (out != nullptr) {
        out[ansi_to_wide(source, bytes, out)] = L'\0';
    }
    return out;
}

// A fresh heap string of units of UTF-16 in the ANSI code page, or null without memory;
// *lossless (when given) says whether the code page holds every character.
char* wide_to_heap_ansi(const wchar_t* text, size_t units, bool* lossless) {
    if (lossless != nullptr) {
        *lossless = true;
    }
    if (units > static_cast<size_t>(INT32_MAX) / 4) {
        return nullptr;
    }
    if (code_page_is_utf8()) {
        return utf16_to_heap_utf8(text, units);
    }
    const int count = static_cast<int>(units);
    const int bytes =
        count > 0 ? ::WideCharToMultiByte(CP_ACP, 0, text, count, nullptr, 0, nullptr, nullptr) : 0;
    char* out = static_cast<char*>(heap_alloc(static_cast<size_t>(bytes) + 1));
    if (out == nullptr) {
        return nullptr;
    }
    BOOL defaulted = FALSE;
    const int written =
        bytes > 0 ? ::WideCharToMultiByte(CP_ACP, 0, text, count, out, bytes, nullptr, &defaulted)
                  : 0;
    out[written] = '\0';
    if (lossless != nullptr) {
        *lossless = defaulted == FALSE;
    }
    return out;
}

// Set a window's text from text in the ANSI code page; nonzero when set.
BOOL window_set_text(HWND window, const char* text) {
    wchar_t* wide = ansi_to_heap_wide(text);
    if (wide == nullptr) { // without memory, the platform converts
        return ::SetWindowTextA(window, text != nullptr ? text : "");
    }
    const BOOL set = ::SetWindowTextW(window, wide);
    heap_free(wide);
    return set;
}

// ============================================================================
// File names
// ============================================================================

// Conversions that would change a character are refused rather than made: a name must
// reach the platform as the program wrote it, and come back as the platform has it.

// The UTF-16 of a name in the ANSI code page as a fresh heap block, or null.
wchar_t* ansi_name_to_heap_wide(const char* text) {
    if (text == nullptr) {
        return nullptr;
    }
    const int units = ::MultiByteToWideChar(CP_ACP, MB_ERR_INVALID_CHARS, text, -1, nullptr, 0);
    if (units <= 0) {
        return nullptr;
    }
    auto* wide = static_cast<wchar_t*>(heap_alloc(sizeof(wchar_t) * static_cast<size_t>(units)));
    if (wide != nullptr &&
        ::MultiByteToWideChar(CP_ACP, MB_ERR_INVALID_CHARS, text, -1, wide, units) != units) {
        heap_free(wide);
        wide = nullptr;
    }
    return wide;
}

// The name of UTF-16 in the ANSI code page as a fresh heap string, or null.
char* wide_name_to_heap_ansi(const wchar_t* text, int32_t units) {
    if (text == nullptr || units < -1) {
        return nullptr;
    }
    // NOTE: the UTF-8 code page takes no default character and never loses one; other code
    // pages say through used_default when a character had no form of its own.
    const UINT code_page = ::GetACP();
    const bool utf8 = code_page == CP_UTF8;
    const DWORD flags = utf8 ? WC_ERR_INVALID_CHARS : WC_NO_BEST_FIT_CHARS;
    BOOL used_default = FALSE;
    BOOL* lost = utf8 ? nullptr : &used_default;
    const int bytes =
        ::WideCharToMultiByte(code_page, flags, text, units, nullptr, 0, nullptr, lost);
    if (bytes < 0 || (bytes == 0 && units != 0) || used_default) {
        return nullptr;
    }
    // With units -1 the count includes the NUL; otherwise one more byte holds it.
    const size_t size = static_cast<size_t>(bytes) + (units == -1 ? 0 : 1);
    char* out = static_cast<char*>(heap_alloc(size == 0 ? 1 : size));
    if (out == nullptr) {
        return nullptr;
    }
    if (bytes > 0 &&
        ::WideCharToMultiByte(code_page, flags, text, units, out, bytes, nullptr, lost) != bytes) {
        heap_free(out);
        return nullptr;
    }
    out[size == 0 ? 0 : size - 1] = '\0';
    return out;
}
