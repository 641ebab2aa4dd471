// Text in every script: UTF-8 text converted once to UTF-16 and drawn or measured as the
// platform lays it out, in the window's font (or a face that has the characters it lacks)
// and colours, so that characters outside the ANSI code page show as themselves, never as
// "?". Relies on text_layout.cpp, on begin_draw/end_draw of the surface and on the core's
// UTF-8 conversion. The typed output is text_output.cpp's; fonts are fonts.cpp's.
#include "runtime/core/core_internal.h"
#include "runtime/draw/draw_internal.h"

// ============================================================================
// Types
// ============================================================================

namespace {

constexpr size_t LOCAL_UNITS = 512; // texts up to this long are converted on the stack

// UTF-8 text converted to UTF-16: in local when it fits, else in a heap block.
struct WideText {
    wchar_t* units; // the converted text (local or heap), or null
    int32_t count;  // its units
    wchar_t* heap;  // the heap block to free, or null
    wchar_t local[LOCAL_UNITS];
};

// ============================================================================
// Internal helpers
// ============================================================================

// Convert a UTF-8 argument; false for a refused length or without memory.
bool widen(const char* text, int32_t length, WideText* wide) {
    wide->units = nullptr;
    wide->count = 0;
    wide->heap = nullptr;
    const int32_t bytes = utf8_argument_bytes(text, length);
    if (bytes < 0) {
        return false;
    }
    const size_t units = utf16_units(text, static_cast<size_t>(bytes), nullptr);
    if (units <= LOCAL_UNITS) {
        wide->units = wide->local;
    } else {
        wide->heap = static_cast<wchar_t*>(heap_alloc(units * sizeof(wchar_t)));
        if (wide->heap == nullptr) {
            return false;
        }
        wide->units = wide->heap;
    }
    wide->count =
        static_cast<int32_t>(utf8_to_utf16(text, static_cast<size_t>(bytes), wide->units));
    return true;
}

void release(WideText* wide) {
    if (wide->heap != nullptr) {
        heap_free(wide->heap);
        wide->heap = nullptr;
    }
}

} // namespace

// ============================================================================
// Public routines
// ============================================================================

// Print UTF-8 text at the window's current position, moving it past the text, as
// text_print does; text outside ASCII is laid out by the platform (text_layout.cpp).
int32_t text_print_utf8(WindowRecord* record, const char* text, int32_t length) {
    if (record == nullptr || record->hwnd == nullptr) {
        return 0;
    }
    WideText wide;
    if (!widen(text, length, &wide)) {
        return 0;
    }
    int32_t drawn = 0;
    if (wide.count > 0) {
        HDC dc = begin_draw(record);
        if (dc != nullptr) {
            draw_wide_text(dc, wide.units, wide.count);
            drawn = wide.count;
            end_draw(record, dc, 1);
        }
    }
    release(&wide);
    return drawn;
}

// Measure UTF-8 text in the window's font.
int32_t measure_text_utf8(WindowRecord* record, const char* text, int32_t length, int32_t* width,
                          int32_t* height) {
    SIZE size = {};
    HDC dc = begin_draw(record);
    if (dc != nullptr) {
        TEXTMETRICW metrics = {};
        ::GetTextMetricsW(dc, &metrics);
        WideText wide;
        if (widen(text, length, &wide) && wide.count > 0) {
            size.cx = wide_text_width(dc, wide.units, wide.count);
        }
        release(&wide);
        size.cy = metrics.tmHeight;
        end_draw(record, dc, 0);
    }
    if (width != nullptr) {
        *width = size.cx;
    }
    if (height != nullptr) {
        *height = size.cy;
    }
    return 0;
}
