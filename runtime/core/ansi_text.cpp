// Text in the process's ANSI code page, the runtime's convention for char*, turned into
// the platform's UTF-16 and back for its wide calls (file names, file dialogs).
// Relies on KERNEL32's code page conversions and the runtime heap. Conversions that would
// change a character are refused rather than made: a name must reach the platform as the
// program wrote it, and come back as the platform has it.
#include "runtime/core/core_internal.h"

// ============================================================================
// Public routines
// ============================================================================

// The UTF-16 of ANSI text as a fresh heap block, or null.
wchar_t* ansi_to_heap_wide(const char* text) {
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

// The ANSI text of UTF-16 as a fresh heap string, or null.
char* wide_to_heap_ansi(const wchar_t* text, int32_t units) {
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
