// Drawing primitives: colours, the current position, rectangles and the window's background
// colour.
// Relies on GDI32 and on begin_draw/end_draw of runtime/window (surface.cpp). Text output is
// text_output.cpp's, images are drawn by image_draw.cpp.
#include "runtime/draw/draw_internal.h"
#include "runtime/window/window_internal.h"

// ============================================================================
// Internal helpers
// ============================================================================

namespace {

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

// Set the colours of printed text: a new pen of the colour (the record's style and width)
// replaces the record's, and the cells' background colour; drawing open on the window
// takes both at once.
int32_t set_text_color(WindowRecord* record, COLORREF text, COLORREF background) {
    if (record == nullptr || record->hwnd == nullptr) {
        return 0;
    }
    HPEN old = nullptr;
    HPEN pen = ::CreatePen(record->pen_style, record->pen_width, text);
    if (pen != nullptr) {
        old = record->pen;
        record->pen = pen;
    }
    record->bk_color = background;
    // Drawing open on the window holds the old pen: the new one takes its place first.
    drawing_state_changed(record, pen, true);
    if (old != nullptr) {
        ::DeleteObject(old);
    }
    return 0;
}
