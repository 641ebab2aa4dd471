// Drawing surface and repaint: owns a window's surface from make to release.
// surface_open makes the backing bitmap and the record's pen and font for open_window;
// surface_close and surface_delete release them for close_window; begin_draw/end_draw hand out a
// prepared context (on the backing bitmap, or on the window itself), keep the drawing state in the
// record and repaint exactly what was touched; paint_window copies the backing bitmap to
// the screen, leaving out visible children. Relies on GDI32/USER32 and on dispatch_event
// (events.cpp). What is drawn on the surface (primitives, text, images) is runtime/draw's.
#include "runtime/window/window_internal.h"

#include <cmath>
#include <cstring>

// ============================================================================
// Types
// ============================================================================

namespace {

// Logical descriptions of the pen and font selected in a context when drawing closes.
// A pen or font that is still the record's own object is not described: nothing changed.
struct DrawingObjects {
    LOGPEN pen;    // valid when has_pen
    LOGFONTA font; // valid when has_font
    bool has_pen;
    bool has_font;
};

// Child enumeration step's argument: the painted window and its paint context.
struct ChildClip {
    HWND window; // the painted window
    HDC dc;      // its paint context
};

// A backing window whose outermost end_draw is repainting: its closing context still holds
// the backing bitmap, so the paint copies from there instead of selecting the bitmap into
// a context of its own. Entries live on end_draw's stack, innermost first.
struct ClosingDrawing {
    const WindowRecord* record;
    HDC dc; // the closing context; null once begin_draw took the bitmap back
    ClosingDrawing* outer;
};

// A handler running for EV_ERASE on a record: drawing opened on the erase context gets the
// record's state, as begin_draw gives it on the surface. Entries live on
// erase_with_handler's stack, innermost first.
struct EraseDrawing {
    const WindowRecord* record;
    HDC dc;        // the erase context
    int32_t depth; // open begin_draw calls on it
    int32_t saved; // its save level from before the record's state went in
    EraseDrawing* outer;
};

// ============================================================================
// Module state
// ============================================================================

ClosingDrawing* closing = nullptr; // repaints in progress from end_draw
EraseDrawing* erasing = nullptr;   // handlers running for EV_ERASE

// ============================================================================
// Internal helpers
// ============================================================================

constexpr UINT BOUNDS_RESET_AND_ACCUMULATE = DCB_RESET | DCB_ACCUMULATE | DCB_ENABLE;

bool has_backing(const WindowRecord* record) {
    return (record->surface_flags & SURFACE_BACKING) != 0;
}

// Round to the nearest integer, halves to the even neighbour.
int32_t round_even(double value) {
    double below = std::floor(value);
    double fraction = value - below;
    if (fraction > 0.5 || (fraction == 0.5 && std::fmod(below, 2.0) != 0.0)) {
        below += 1.0;
    }
    return static_cast<int32_t>(below);
}

// Client size of the window, and whether a scaled surface must be stretched to it.
bool scaled_sizes(const WindowRecord* record, int32_t* cw, int32_t* ch, int32_t* bw, int32_t* bh) {
    if ((record->surface_flags & SURFACE_FIT_CLIENT) == 0) {
        return false;
    }
    RECT client = {};
    ::GetClientRect(record->hwnd, &client);
    *cw = client.right - client.left;
    *ch = client.bottom - client.top;
    bitmap_size(record->backing_bitmap, bw, bh);
    return (*cw != *bw || *ch != *bh) && *cw > 0 && *ch > 0 && *bw > 0 && *bh > 0;
}

// The entry of a repaint in progress for the record, or null.
ClosingDrawing* closing_of(const WindowRecord* record) {
    for (ClosingDrawing* entry = closing; entry != nullptr; entry = entry->outer) {
        if (entry->record == record) {
            return entry;
        }
    }
    return nullptr;
}

// The innermost handler running for EV_ERASE on the record, or null.
EraseDrawing* erase_of(const WindowRecord* record) {
    for (EraseDrawing* entry = erasing; entry != nullptr; entry = entry->outer) {
        if (entry->record == record) {
            return entry;
        }
    }
    return nullptr;
}

// Set a context's text colours from the record: the pen's colour for the text, bk_color
// behind it.
void apply_text_colors(const WindowRecord* record, HDC dc) {
    LOGPEN pen = {};
    if (record->pen != nullptr && ::GetObjectA(record->pen, sizeof(pen), &pen) != 0) {
        ::SetTextColor(dc, pen.lopnColor);
    }
    ::SetBkColor(dc, record->bk_color);
}

// Select a new pen or font of the record's (or nothing) into an open context and, with
// colors, set the record's text colours there.
void take_new_state(const WindowRecord* record, HDC dc, HGDIOBJ object, bool colors) {
    if (object != nullptr) {
        ::SelectObject(dc, object);
    }
    if (colors) {
        apply_text_colors(record, dc);
    }
}

// Apply the record's drawing state to a context, saving the context's state first (with
// the backing bitmap, after selecting it); the save level.
// NOTE: selecting a bitmap into a context makes GDI re-realise the context's font and
// colours, the dearest step of a drawing call under Wine. The record's font and pen
// therefore go in before the backing bitmap, and the state is saved after it, so that the
// closing RestoreDC leaves the bitmap selected for the repaint and selects nothing again.
int32_t apply_drawing_state(WindowRecord* record, HDC dc, bool with_bitmap) {
    int32_t saved = with_bitmap ? 0 : ::SaveDC(dc);
    if (record->font != nullptr) {
        ::SelectObject(dc, record->font);
    }
    if (record->pen != nullptr) {
        ::SelectObject(dc, record->pen);
    }
    apply_text_colors(record, dc);
    if (with_bitmap) {
        ::SelectObject(dc, record->backing_bitmap);
        saved = ::SaveDC(dc);
    }
    ::MoveToEx(dc, record->current_pos.x, record->current_pos.y, nullptr);
    ::SetTextAlign(dc, TA_UPDATECP);
    ::SetBkMode(dc, record->bk_mode);
    ::SetROP2(dc, record->rop2);
    return saved;
}

// Read the descriptions of the pen and font selected in a context, other than the record's.
DrawingObjects read_drawing_objects(const WindowRecord* record, HDC dc) {
    DrawingObjects objects = {};
    HGDIOBJ pen = ::GetCurrentObject(dc, OBJ_PEN);
    objects.has_pen = pen != nullptr && pen != record->pen && ::GetObjectType(pen) == OBJ_PEN &&
                      ::GetObjectA(pen, sizeof(objects.pen), &objects.pen) != 0;
    HGDIOBJ font = ::GetCurrentObject(dc, OBJ_FONT);
    objects.has_font = font != nullptr && font != record->font &&
                       ::GetObjectA(font, sizeof(objects.font), &objects.font) != 0;
    return objects;
}

bool same_pen(const LOGPEN& a, const LOGPEN& b) {
    return a.lopnStyle == b.lopnStyle && a.lopnWidth.x == b.lopnWidth.x &&
           a.lopnColor == b.lopnColor;
}

bool same_font(const LOGFONTA& a, const LOGFONTA& b) {
    return a.lfHeight == b.lfHeight && a.lfWidth == b.lfWidth && a.lfEscapement == b.lfEscapement &&
           a.lfOrientation == b.lfOrientation && a.lfWeight == b.lfWeight &&
           a.lfItalic == b.lfItalic && a.lfUnderline == b.lfUnderline &&
           a.lfStrikeOut == b.lfStrikeOut && a.lfCharSet == b.lfCharSet &&
           a.lfOutPrecision == b.lfOutPrecision && a.lfClipPrecision == b.lfClipPrecision &&
           a.lfQuality == b.lfQuality && a.lfPitchAndFamily == b.lfPitchAndFamily &&
           std::strncmp(a.lfFaceName, b.lfFaceName, LF_FACESIZE) == 0;
}

// Replace the record's pen and font by copies of what the closing context held. A copy
// equal to the object the record already owns would change nothing, so that one is kept.
// An object about to be deleted is first taken out of dc (a backing context keeps the
// record's objects selected after its RestoreDC).
void keep_drawing_objects(WindowRecord* record, HDC dc, const DrawingObjects& objects) {
    if (objects.has_pen) {
        LOGPEN current = {};
        bool same = record->pen != nullptr &&
                    ::GetObjectA(record->pen, sizeof(current), &current) != 0 &&
                    same_pen(current, objects.pen);
        if (!same) {
            if (record->pen != nullptr) {
                if (::GetCurrentObject(dc, OBJ_PEN) == record->pen) {
                    ::SelectObject(dc, ::GetStockObject(BLACK_PEN));
                }
                ::DeleteObject(record->pen);
            }
            record->pen = ::CreatePenIndirect(&objects.pen);
        }
    }
    if (objects.has_font) {
        LOGFONTA current = {};
        bool same = record->font != nullptr &&
                    ::GetObjectA(record->font, sizeof(current), &current) != 0 &&
                    same_font(current, objects.font);
        if (!same) {
            if (record->font != nullptr) {
                if (::GetCurrentObject(dc, OBJ_FONT) == record->font) {
                    ::SelectObject(dc, ::GetStockObject(SYSTEM_FONT));
                }
                ::DeleteObject(record->font);
            }
            record->font = ::CreateFontIndirectA(&objects.font);
        }
    }
}

// Exclude a visible child's rectangle from the painted window's clipping; continue.
BOOL CALLBACK exclude_child_from_paint(HWND child, LPARAM clip) {
    const ChildClip* target = reinterpret_cast<const ChildClip*>(clip);
    if (::IsWindowVisible(child)) {
        RECT r = {};
        ::GetWindowRect(child, &r);
        ::MapWindowPoints(nullptr, target->window, reinterpret_cast<POINT*>(&r), 2);
        ::ExcludeClipRect(target->dc, r.left, r.top, r.right, r.bottom);
    }
    return TRUE;
}

// Copy the invalid rectangle u from source, a context that holds the backing bitmap.
void copy_rect(WindowRecord* record, HDC paint_dc, HDC source, const RECT& u) {
    int32_t uw = u.right - u.left;
    int32_t uh = u.bottom - u.top;
    int32_t cw, ch, bw, bh;
    if (scaled_sizes(record, &cw, &ch, &bw, &bh)) {
        double fx = static_cast<double>(bw) / cw;
        double fy = static_cast<double>(bh) / ch;
        ::SetStretchBltMode(paint_dc, HALFTONE);
        ::SetBrushOrgEx(paint_dc, 0, 0, nullptr);
        ::StretchBlt(paint_dc, u.left, u.top, uw, uh, source, round_even(fx * u.left),
                     round_even(fy * u.top), round_even(fx * uw), round_even(fy * uh), SRCCOPY);
    } else {
        ::BitBlt(paint_dc, u.left, u.top, uw, uh, source, u.left, u.top, SRCCOPY);
    }
}

// Copy the invalid rectangle u from the backing bitmap through a memory context of our own.
void copy_from_bitmap(WindowRecord* record, HDC paint_dc, const RECT& u) {
    HDC memory_dc = ::CreateCompatibleDC(paint_dc);
    if (memory_dc == nullptr) {
        return;
    }
    HGDIOBJ previous = ::SelectObject(memory_dc, record->backing_bitmap);
    copy_rect(record, paint_dc, memory_dc, u);
    ::SelectObject(memory_dc, previous);
    ::DeleteDC(memory_dc);
}

// While drawing is open the bitmap sits in draw_dc: copy what was drawn since the bounds
// were last read.
void copy_from_open_drawing(WindowRecord* record, HDC paint_dc) {
    RECT b = {};
    UINT state = ::GetBoundsRect(record->draw_dc, &b, DCB_RESET);
    if ((state & DCB_SET) != DCB_SET) {
        return;
    }
    int32_t cw, ch, bw, bh;
    if (scaled_sizes(record, &cw, &ch, &bw, &bh)) {
        ::SetStretchBltMode(paint_dc, HALFTONE);
        ::SetBrushOrgEx(paint_dc, 0, 0, nullptr);
        ::StretchBlt(paint_dc, 0, 0, cw, ch, record->draw_dc, 0, 0, bw, bh, SRCCOPY);
    } else {
        ::BitBlt(paint_dc, b.left, b.top, b.right - b.left, b.bottom - b.top, record->draw_dc,
                 b.left, b.top, SRCCOPY);
    }
}

// Copy a context's default pen, font and text state into the record. A pen or font the
// record already owns was made by drawing from a creation handler: it is replaced, so
// it is deleted.
void copy_drawing_state(WindowRecord* record, HDC dc) {
    POINT pos = {};
    ::GetCurrentPositionEx(dc, &pos);
    record->current_pos = pos;
    LOGPEN pen = {};
    if (::GetObjectA(::GetCurrentObject(dc, OBJ_PEN), sizeof(pen), &pen) != 0) {
        if (record->pen != nullptr) {
            ::DeleteObject(record->pen);
        }
        record->pen = ::CreatePenIndirect(&pen);
    }
    LOGFONTA font = {};
    if (::GetObjectA(::GetCurrentObject(dc, OBJ_FONT), sizeof(font), &font) != 0) {
        if (record->font != nullptr) {
            ::DeleteObject(record->font);
        }
        record->font = ::CreateFontIndirectA(&font);
    }
    record->bk_mode = ::GetBkMode(dc);
    record->bk_color = ::GetBkColor(dc);
    record->rop2 = ::GetROP2(dc);
}

// Read a closing context's position, background mode and colour and mix mode into the
// record; the pen and font it holds that are not the record's.
DrawingObjects read_back_state(WindowRecord* record, HDC dc) {
    POINT pos = {};
    ::GetCurrentPositionEx(dc, &pos);
    record->current_pos = pos;
    record->bk_mode = ::GetBkMode(dc);
    record->bk_color = ::GetBkColor(dc);
    record->rop2 = ::GetROP2(dc);
    return read_drawing_objects(record, dc);
}

// Close drawing on an erase context: keep its state in the record, when asked, and restore
// the context to its state from before the record's went in.
void close_erase_drawing(WindowRecord* record, EraseDrawing* entry, bool keep_state) {
    DrawingObjects objects = {};
    if (keep_state) {
        objects = read_back_state(record, entry->dc);
    }
    ::RestoreDC(entry->dc, entry->saved);
    entry->depth = 0;
    if (keep_state) {
        keep_drawing_objects(record, entry->dc, objects);
    }
}

// Close an open drawing context: keep its state in the record when asked, restore it,
// release it to the window or, after serving the repaint when asked, delete it.
int32_t close_drawing_context(WindowRecord* record, HWND hwnd, HDC dc, int32_t keep_state,
                              int32_t repaint) {
    if (record == nullptr || dc == nullptr) {
        return 0;
    }
    DrawingObjects objects = {};
    if (keep_state != 0) {
        objects = read_back_state(record, dc);
    }

    ::RestoreDC(dc, -1);
    if (keep_state != 0) {
        keep_drawing_objects(record, dc, objects);
    }
    if (!has_backing(record)) {
        ::ReleaseDC(hwnd, dc);
        return 0;
    }
    if (repaint != 0) {
        // NOTE: UpdateWindow sends WM_PAINT synchronously; paint_window copies the
        // invalidated rectangle from the bitmap, still selected in dc, before this returns.
        ClosingDrawing entry = {record, dc, closing};
        closing = &entry;
        ::UpdateWindow(hwnd);
        closing = entry.outer;
        dc = entry.dc;
    }
    if (dc != nullptr) {
        ::DeleteDC(dc);
    }
    return 0;
}

// Delete the context of a repaint of the record in progress; the paint then copies from
// the bitmap through a context of its own.
int32_t release_closing_repaint(const WindowRecord* record) {
    ClosingDrawing* repaint = closing_of(record);
    if (repaint != nullptr && repaint->dc != nullptr) {
        ::DeleteDC(repaint->dc);
        repaint->dc = nullptr;
    }
    return 0;
}

} // namespace

// ============================================================================
// Public routines
// ============================================================================

// Give a new window its backing bitmap (or clear the window itself) and copy a fresh
// context's drawing state; false when the window's context could not be had.
bool surface_open(WindowRecord* record, uint32_t flags, int32_t width, int32_t height) {
    HDC window_dc = ::GetDC(record->hwnd);
    if (window_dc == nullptr) {
        return false;
    }
    HDC memory_dc = ::CreateCompatibleDC(window_dc);
    record->back_color = ::GetSysColor(COLOR_WINDOW);

    HGDIOBJ previous = nullptr;
    if (record->surface_flags & SURFACE_BACKING) {
        int32_t bitmap_w, bitmap_h, fill_w, fill_h;
        if (flags & WF_BACKING_FIT_CLIENT) {
            RECT client = {};
            ::GetClientRect(record->hwnd, &client);
            bitmap_w = fill_w = client.right - client.left;
            bitmap_h = fill_h = client.bottom - client.top;
        } else if (flags & WF_BACKING_WINDOW_SIZE) {
            bitmap_w = width + 1;
            bitmap_h = height + 1;
            fill_w = width;
            fill_h = height;
        } else {
            bitmap_w = fill_w = ::GetSystemMetrics(SM_CXSCREEN);
            bitmap_h = fill_h = ::GetSystemMetrics(SM_CYSCREEN);
        }
        record->backing_bitmap = ::CreateCompatibleBitmap(window_dc, bitmap_w, bitmap_h);
        if (record->backing_bitmap != nullptr && memory_dc != nullptr) {
            previous = ::SelectObject(memory_dc, record->backing_bitmap);
            fill_rect_dc(memory_dc, 0, 0, fill_w, fill_h, record->back_color);
        }
    } else {
        fill_rect_dc(window_dc, 0, 0, width, height, record->back_color);
    }

    if (memory_dc != nullptr) {
        copy_drawing_state(record, memory_dc);
        if (previous != nullptr) {
            ::SelectObject(memory_dc, previous);
        }
        ::DeleteDC(memory_dc);
    }
    ::ReleaseDC(record->hwnd, window_dc);
    return true;
}

// Close a window's surface while its window still exists: give back open contexts and
// hand over the objects the record owns, for surface_delete once the window is gone.
SurfaceObjects surface_close(WindowRecord* record, HWND hwnd) {
    // A handler may close its window between begin_draw and end_draw: give the open
    // context back first, or the bitmap, pen and font selected into it cannot be deleted.
    if (record->draw_dc != nullptr) {
        close_drawing_context(record, hwnd, record->draw_dc, 0, 0);
        record->draw_dc = nullptr;
        record->draw_depth = 0;
    }
    // Likewise a handler may close it during end_draw's repaint, whose context still holds
    // the bitmap, pen and font, or while drawing on an erase context, which holds the pen
    // and font.
    release_closing_repaint(record);
    for (EraseDrawing* entry = erasing; entry != nullptr; entry = entry->outer) {
        if (entry->record == record && entry->depth > 0) {
            close_erase_drawing(record, entry, false);
        }
    }
    // The handles are taken now: a handler of the window's destruction messages may open
    // the record again for a new window. They stay in the record; open_window overwrites
    // them.
    return SurfaceObjects{record->backing_bitmap, record->pen, record->font};
}

// Delete the bitmap, then the pen, then the font of a closed surface.
void surface_delete(const SurfaceObjects& objects) {
    const HGDIOBJ owned[] = {objects.bitmap, objects.pen, objects.font};
    for (HGDIOBJ object : owned) {
        if (object != nullptr) {
            ::DeleteObject(object);
        }
    }
}

// Open drawing on a window: the context to draw on, or null for a closed record.
HDC begin_draw(WindowRecord* record) {
    if (record == nullptr || record->hwnd == nullptr) {
        return nullptr;
    }
    if (record->erase_dc != nullptr) {
        // Inside the handler for EV_ERASE: the erase context, with the record's state from
        // the outermost pair on.
        EraseDrawing* entry = erase_of(record);
        if (entry != nullptr && entry->dc == record->erase_dc && entry->depth++ == 0) {
            entry->saved = apply_drawing_state(record, entry->dc, false);
        }
        return record->erase_dc;
    }
    if (record->draw_depth > 0 && record->draw_dc != nullptr) {
        record->draw_depth += 1;
        return record->draw_dc;
    }
    HDC dc = nullptr;
    if (has_backing(record)) {
        // A repaint of this window still in progress holds the bitmap: take it back.
        release_closing_repaint(record);
        // A memory context compatible with the screen: the window's own context would
        // only be fetched to be released again.
        dc = ::CreateCompatibleDC(nullptr);
    } else {
        dc = ::GetDC(record->hwnd);
    }
    // Without a context drawing is not open: a caller that skips end_draw for a null
    // context leaves nothing behind.
    if (dc == nullptr) {
        return nullptr;
    }
    apply_drawing_state(record, dc, has_backing(record));
    record->draw_dc = dc;
    record->draw_depth = 1;
    ::SetBoundsRect(dc, nullptr, BOUNDS_RESET_AND_ACCUMULATE);
    return dc;
}

// Close drawing: keep the state, invalidate what was touched and, with refresh, repaint.
int32_t end_draw(WindowRecord* record, HDC dc, int32_t refresh) {
    if (record == nullptr || record->hwnd == nullptr) {
        return 0;
    }
    if (record->erase_dc != nullptr) {
        // On the erase context the outermost pair keeps the state; nothing is repainted.
        EraseDrawing* entry = erase_of(record);
        if (entry != nullptr && entry->dc == record->erase_dc && entry->depth > 0 &&
            --entry->depth == 0) {
            close_erase_drawing(record, entry, true);
        }
        return 0;
    }
    if (record->draw_depth > 0) {
        record->draw_depth -= 1;
    }
    bool backing = has_backing(record);
    if (record->draw_depth > 0) {
        if (backing && refresh != 0) {
            ::InvalidateRect(record->hwnd, nullptr, FALSE);
            ::UpdateWindow(record->hwnd);
        }
        return 0;
    }
    record->draw_dc = nullptr;
    if (dc == nullptr) {
        return 0;
    }

    if (backing && refresh != 0) {
        RECT b = {};
        UINT state = ::GetBoundsRect(dc, &b, DCB_RESET);
        if ((state & DCB_SET) == DCB_SET) {
            int32_t cw, ch, bw, bh;
            if (scaled_sizes(record, &cw, &ch, &bw, &bh)) {
                b = scaled_bounds_to_client(b, cw, ch, bw, bh);
            }
            ::InvalidateRect(record->hwnd, &b, FALSE);
        }
    }
    return close_drawing_context(record, record->hwnd, dc, 1, refresh);
}

// Run the record's handler for EV_ERASE on an erase context.
void erase_with_handler(WindowRecord* record, HDC dc, LPARAM lparam) {
    const int32_t saved = ::SaveDC(dc);
    HDC outer_dc = record->erase_dc; // an erase of the same window in progress
    EraseDrawing entry = {record, dc, 0, 0, erasing};
    erasing = &entry;
    record->erase_dc = dc;
    dispatch_event(record, EV_ERASE, reinterpret_cast<WPARAM>(dc), lparam);
    if (entry.depth > 0) {
        // Drawing the handler left open keeps its state as its end_draw would have.
        close_erase_drawing(record, &entry, true);
    }
    erasing = entry.outer;
    record->erase_dc = outer_dc;
    ::RestoreDC(dc, saved);
}

// Give the contexts open on a record a new pen or font of its, and with colors its colours.
void drawing_state_changed(WindowRecord* record, HGDIOBJ object, bool colors) {
    // A repaint still in progress from end_draw holds the record's objects: the paint copies
    // through a context of its own instead.
    release_closing_repaint(record);
    if (record->draw_dc != nullptr && record->draw_depth > 0) {
        take_new_state(record, record->draw_dc, object, colors);
    }
    // Every erase context drawing is open on holds the old object, not only the innermost.
    for (EraseDrawing* entry = erasing; entry != nullptr; entry = entry->outer) {
        if (entry->record == record && entry->depth > 0) {
            take_new_state(record, entry->dc, object, colors);
        }
    }
}

// Answer a paint request of a runtime window from its backing bitmap; 1.
LRESULT paint_window(HWND hwnd, WPARAM wparam, LPARAM lparam) {
    if (hwnd == nullptr) {
        return 1;
    }
    WindowRecord* record =
        reinterpret_cast<WindowRecord*>(::GetWindowLongPtrA(hwnd, WINDOW_RECORD_OFFSET));
    PAINTSTRUCT ps = {};
    if (record == nullptr) {
        // Acknowledge the request (during creation, before the record is attached), so
        // that the platform does not send it again and again.
        ::BeginPaint(hwnd, &ps);
        ::EndPaint(hwnd, &ps);
        return 1;
    }

    // The update rectangle: for an unscaled surface the paint's own rectangle serves, since
    // the copy is clipped to the update region anyway; GetUpdateRect fetches and releases
    // a window context of its own under Wine. A stretched copy needs the exact rectangle.
    RECT u = {};
    const bool scaled = (record->surface_flags & SURFACE_FIT_CLIENT) != 0;
    if (scaled) {
        ::GetUpdateRect(hwnd, &u, FALSE);
    }
    HDC paint_dc = ::BeginPaint(hwnd, &ps);
    if (!scaled) {
        u = ps.rcPaint;
    }
    // A clip-children window's paint context leaves its visible children out already; the
    // enumeration (a server request under Wine) is only needed without that style.
    if ((::GetWindowLongA(hwnd, GWL_STYLE) & WS_CLIPCHILDREN) == 0) {
        ChildClip clip = {hwnd, paint_dc};
        ::EnumChildWindows(hwnd, exclude_child_from_paint, reinterpret_cast<LPARAM>(&clip));
    }

    ClosingDrawing* repaint = closing_of(record);
    if (!has_backing(record)) {
        dispatch_event(record, WM_PAINT, wparam, lparam);
    } else if (paint_dc != nullptr && record->draw_dc == nullptr && repaint != nullptr &&
               repaint->dc != nullptr) {
        copy_rect(record, paint_dc, repaint->dc, u);
    } else if (paint_dc != nullptr && record->draw_dc == nullptr) {
        copy_from_bitmap(record, paint_dc, u);
    } else if (paint_dc != nullptr) {
        copy_from_open_drawing(record, paint_dc);
    }
    ::EndPaint(hwnd, &ps);
    return 1;
}

// Map touched bounds of a scaled surface (right and bottom inclusive) to its client area.
RECT scaled_bounds_to_client(const RECT& b, int32_t cw, int32_t ch, int32_t bw, int32_t bh) {
    float sx = static_cast<float>(static_cast<double>(cw) / bw);
    float sy = static_cast<float>(static_cast<double>(ch) / bh);
    float w = static_cast<float>(b.right - b.left + 1);
    float h = static_cast<float>(b.bottom - b.top + 1);
    RECT r;
    r.left = round_even(sx * static_cast<float>(b.left));
    r.top = round_even(sy * static_cast<float>(b.top));
    r.right = round_even(static_cast<float>(r.left) + sx * w);
    r.bottom = round_even(static_cast<float>(r.top) + sy * h);
    r.left -= 1;
    r.top -= 1;
    return r;
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

// Width and height of a bitmap; both 0 for a null handle or no bitmap.
int32_t bitmap_size(HBITMAP bitmap, int32_t* width, int32_t* height) {
    BITMAP info = {};
    if (bitmap == nullptr || ::GetObjectType(bitmap) != OBJ_BITMAP ||
        ::GetObjectA(bitmap, sizeof(info), &info) == 0) {
        info.bmWidth = 0;
        info.bmHeight = 0;
    }
    if (width != nullptr) {
        *width = info.bmWidth;
    }
    if (height != nullptr) {
        *height = info.bmHeight;
    }
    return 0;
}
