// Drawing primitives and typed text output: colours, the current position, rectangles,
// the window's background colour, plain fills of a context, and text_print with its
// print_buffer and print_target.
// Relies on GDI32, on begin_draw/end_draw of surface.cpp and on the core's 64-bit
// decimal conversions and decimal_places. Images are drawn by image_draw.cpp.
#include "runtime/draw/draw.h"

#include <cfloat>
#include <cstdarg>
#include <cstdio>

// ============================================================================
// Types
// ============================================================================

namespace {

// The text formatted so far into print_buffer.
struct PrintText {
    int32_t length; // characters in print_buffer, NUL excluded
};

} // namespace

// ============================================================================
// Module state
// ============================================================================

char print_buffer[PRINT_BUFFER_SIZE] = {}; // the formatted text of the last list
WindowRecord* print_target = nullptr;      // receives printed text; null: standard output

namespace {

// ============================================================================
// Internal helpers
// ============================================================================

// Draw a rectangle with a pen of the record's style and width in the given colour and the
// given brush; the made pen is deleted again.
void outlined_rectangle(WindowRecord* record, HDC dc, int32_t x, int32_t y, int32_t width,
                        int32_t height, COLORREF pen_color, HBRUSH brush) {
    HPEN pen = ::CreatePen(record->pen_style, record->pen_width, pen_color);
    HGDIOBJ old_pen = pen != nullptr ? ::SelectObject(dc, pen) : nullptr;
    HGDIOBJ old_brush = ::SelectObject(dc, brush);
    ::Rectangle(dc, x, y, x + width, y + height);
    if (old_brush != nullptr) {
        ::SelectObject(dc, old_brush);
    }
    if (old_pen != nullptr) {
        ::SelectObject(dc, old_pen);
    }
    if (pen != nullptr) {
        ::DeleteObject(pen);
    }
}

// Append to print_buffer; text that does not fit is cut at the buffer's end.
void print_append(PrintText* text, const char* format, ...) {
    int32_t room = PRINT_BUFFER_SIZE - text->length;
    if (room <= 1) {
        return;
    }
    va_list args;
    va_start(args, format);
    int written = std::vsnprintf(print_buffer + text->length, room, format, args);
    va_end(args);
    if (written > 0) {
        text->length += written < room ? written : room - 1;
    }
}

} // namespace

// ============================================================================
// Public routines
// ============================================================================

// Pack a colour: red in bits 0-7, green 8-15, blue 16-23 (components are not clamped).
COLORREF rgb_color(int32_t red, int32_t green, int32_t blue) {
    return static_cast<COLORREF>(red) | (static_cast<COLORREF>(green) << 8) |
           (static_cast<COLORREF>(blue) << 16);
}

// Set the window's current drawing position without drawing.
int32_t move_to(WindowRecord* record, int32_t x, int32_t y) {
    if (record == nullptr || record->hwnd == nullptr) {
        return 0;
    }
    HDC dc = begin_draw(record);
    ::MoveToEx(dc, x, y, nullptr);
    end_draw(record, dc, 1);
    return 0;
}

// Draw a rectangle: outline NO_COLOR uses the window's pen colour and no fill; fill
// NO_COLOR leaves it hollow. Right and bottom are exclusive.
int32_t draw_rect(WindowRecord* record, int32_t x, int32_t y, int32_t width, int32_t height,
                  COLORREF outline, COLORREF fill) {
    if (record == nullptr || record->hwnd == nullptr) {
        return 0;
    }
    HDC dc = begin_draw(record);
    HBRUSH hollow = static_cast<HBRUSH>(::GetStockObject(NULL_BRUSH));
    if (outline == NO_COLOR) {
        outlined_rectangle(record, dc, x, y, width, height, ::GetTextColor(dc), hollow);
    } else if (fill == NO_COLOR) {
        outlined_rectangle(record, dc, x, y, width, height, outline, hollow);
    } else {
        HBRUSH brush = ::CreateSolidBrush(fill);
        outlined_rectangle(record, dc, x, y, width, height, outline,
                           brush != nullptr ? brush : hollow);
        if (brush != nullptr) {
            ::DeleteObject(brush);
        }
    }
    end_draw(record, dc, 1);
    return 0;
}

// Set the window's background colour and clear the whole surface with it.
int32_t set_background_color(WindowRecord* record, COLORREF color) {
    if (record == nullptr || record->hwnd == nullptr) {
        return 0;
    }
    record->back_color = color;
    if (record->surface_flags != 0) {
        draw_rect(record, 0, 0, ::GetSystemMetrics(SM_CXSCREEN), ::GetSystemMetrics(SM_CYSCREEN),
                  color, color);
    } else {
        ::InvalidateRect(record->hwnd, nullptr, TRUE);
    }
    return 0;
}

// Fill a rectangle of a context with one colour; the context's background colour stays set.
int32_t fill_rect_dc(HDC dc, int32_t x, int32_t y, int32_t width, int32_t height, COLORREF color) {
    if (dc == nullptr) {
        return 0;
    }
    ::SetBkColor(dc, color);
    RECT r = {x, y, x + width, y + height};
    ::ExtTextOutA(dc, 0, 0, ETO_OPAQUE, &r, "", 0, nullptr);
    return 0;
}

// Print a counted list of typed items: text_print(count, code, value, code, value, ...).
// A window item first selects print_target; the text goes to that window at its current
// position (one trailing line end dropped), or to standard output while there is none.
void text_print(int32_t count, ...) {
    HANDLE output = ::GetStdHandle(STD_OUTPUT_HANDLE);
    PrintText text = {0};
    print_buffer[0] = '\0';

    va_list args;
    va_start(args, count);
    for (int32_t i = 0; i < count; ++i) {
        int32_t code = va_arg(args, int32_t);
        char number[32];
        switch (code) {
        case PRINT_WINDOW: {
            WindowRecord* record = va_arg(args, WindowRecord*);
            if (i == 0) {
                print_target = record;
            }
            break;
        }
        case PRINT_TEXT: {
            const char* s = va_arg(args, const char*);
            if (s != nullptr) {
                print_append(&text, "%s", s);
            }
            break;
        }
        case PRINT_CHAR:
            print_append(&text, "%c", va_arg(args, int));
            break;
        case PRINT_INT:
            print_append(&text, "%d ", va_arg(args, int));
            break;
        case PRINT_SINGLE: {
            // A single-precision item prints as its float value, whatever the caller passed.
            double value = va_arg(args, double);
            value = value > FLT_MAX ? FLT_MAX : value < -FLT_MAX ? -FLT_MAX : value;
            print_append(&text, "% .*f", decimal_places,
                         static_cast<double>(static_cast<float>(value)));
            break;
        }
        case PRINT_DOUBLE:
            print_append(&text, "% .*f", decimal_places, va_arg(args, double));
            break;
        case PRINT_WORD:
            print_append(&text, "%hu ", static_cast<unsigned short>(va_arg(args, int)));
            break;
        case PRINT_INT64:
            decimal_from_int64(number, va_arg(args, int64_t));
            print_append(&text, "%s", number);
            break;
        case PRINT_UINT64:
            decimal_from_uint64(number, va_arg(args, uint64_t));
            print_append(&text, "%s", number);
            break;
        case PRINT_UINT:
            print_append(&text, "%u ", va_arg(args, unsigned));
            break;
        default:
            (void)va_arg(args, intptr_t);
            break;
        }
    }
    va_end(args);

    if (print_target == nullptr) {
        DWORD written = 0;
        if (text.length > 0) {
            ::WriteFile(output, print_buffer, static_cast<DWORD>(text.length), &written, nullptr);
        }
        return;
    }
    if (text.length > 0 && print_buffer[text.length - 1] == '\n') {
        print_buffer[--text.length] = '\0';
        if (text.length > 0 && print_buffer[text.length - 1] == '\r') {
            print_buffer[--text.length] = '\0';
        }
    }
    if (text.length == 0) {
        return;
    }
    HDC dc = begin_draw(print_target);
    ::TextOutA(dc, 0, 0, print_buffer, text.length);
    end_draw(print_target, dc, 1);
}
