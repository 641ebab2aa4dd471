// Text in every script: UTF-8 text converted once to UTF-16 and drawn or measured with the
// platform's wide calls, in the window's font and colours, so that characters outside the
// ANSI code page show as themselves (or as the font's missing-glyph box), never as "?".
// Relies on GDI32, on begin_draw/end_draw of the surface and on the core's UTF-8
// conversion. The typed ANSI output is text_output.cpp's; fonts are fonts.cpp's.
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

// True when the text holds characters of scripts whose glyphs the platform shapes as it
// draws (Hebrew to Tibetan, Myanmar, Khmer, and the presentation forms): joined forms can
// be narrower than the characters' own widths, which the platform's extent adds up.
bool needs_shaping(const wchar_t* units, int32_t count) {
    for (int32_t i = 0; i < count; ++i) {
        const uint16_t u = static_cast<uint16_t>(units[i]);
        if ((u >= 0x0590 && u < 0x1100) || (u >= 0x1780 && u < 0x1800) ||
            (u >= 0xFB1D && u < 0xFE00) || (u >= 0xFE70 && u < 0xFF00)) {
            return true;
        }
    }
    return false;
}

// How far drawing the text moves the position in dc's font: drawn, clipped to nothing, on
// a scratch context of its own, so that shaping counts and nothing is touched.
int32_t drawn_advance(HDC dc, const wchar_t* units, int32_t count) {
    HDC scratch = ::CreateCompatibleDC(dc);
    if (scratch == nullptr) {
        return 0;
    }
    HGDIOBJ previous = ::SelectObject(scratch, ::GetCurrentObject(dc, OBJ_FONT));
    ::SetTextAlign(scratch, TA_UPDATECP);
    ::MoveToEx(scratch, 0, 0, nullptr);
    const RECT nothing = {0, 0, 0, 0};
    ::ExtTextOutW(scratch, 0, 0, ETO_CLIPPED, &nothing, units, static_cast<UINT>(count), nullptr);
    POINT end = {};
    ::GetCurrentPositionEx(scratch, &end);
    ::SelectObject(scratch, previous);
    ::DeleteDC(scratch);
    return end.x;
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

// Print UTF-8 text at the window's current position with TextOutW, which the context's
// TA_UPDATECP starts at and advances past the current position, as text_print does.
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
            drawn = ::TextOutW(dc, 0, 0, wide.units, wide.count) ? wide.count : 0;
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
            if (needs_shaping(wide.units, wide.count)) {
                size.cx = drawn_advance(dc, wide.units, wide.count);
            } else {
                ::GetTextExtentPoint32W(dc, wide.units, wide.count, &size);
            }
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
