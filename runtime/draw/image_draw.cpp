// Image drawing: puts a loaded image (bitmap, icon, enhanced metafile or picture object)
// into a window at a position, through begin_draw and end_draw, so it reaches the
// backing bitmap and the screen before the call returns.
// Relies on GDI32, USER32 and the picture object's IPicture interface. The caller says
// which kind the image is; loading is image_load's.
#include "runtime/draw/draw_internal.h"

#include <ole2.h>
#include <olectl.h>

// ============================================================================
// Internal helpers
// ============================================================================

namespace {

// Copy the top-left width x height pixels of a bitmap, unstretched.
void draw_bitmap(HDC dc, HBITMAP bitmap, int32_t x, int32_t y, int32_t width, int32_t height,
                 uint32_t raster_op) {
    HDC memory = ::CreateCompatibleDC(nullptr);
    if (memory == nullptr) {
        return;
    }
    HGDIOBJ previous = ::SelectObject(memory, bitmap);
    ::BitBlt(dc, x, y, width, height, memory, 0, 0, raster_op ? raster_op : SRCCOPY);
    ::SelectObject(memory, previous);
    ::DeleteDC(memory);
}

// Render a whole picture into the rectangle, upright; natural size when both are 0.
void draw_picture(HDC dc, IPicture* picture, int32_t x, int32_t y, int32_t width, int32_t height) {
    OLE_XSIZE_HIMETRIC himetric_width = 0;
    OLE_YSIZE_HIMETRIC himetric_height = 0;
    picture->get_Width(&himetric_width);
    picture->get_Height(&himetric_height);
    if (width == 0 && height == 0) {
        width = ::MulDiv(himetric_width, ::GetDeviceCaps(dc, LOGPIXELSX), HIMETRIC_PER_INCH);
        height = ::MulDiv(himetric_height, ::GetDeviceCaps(dc, LOGPIXELSY), HIMETRIC_PER_INCH);
    }
    // The source runs from the bottom edge upwards, so the picture is not upside down.
    picture->Render(dc, x, y, width, height, 0, himetric_height, himetric_width, -himetric_height,
                    nullptr);
}

} // namespace

// ============================================================================
// Public routines
// ============================================================================

// Draw an image of the given kind at (x, y); pictures are stretched to width x height.
int32_t image_draw(WindowRecord* record, ImageHandle image, int32_t kind, int32_t x, int32_t y,
                   int32_t width, int32_t height, uint32_t raster_op) {
    if (record == nullptr || record->hwnd == nullptr) {
        return 0;
    }
    HDC dc = begin_draw(record);
    if (dc == nullptr) {
        return 0; // no context to draw on: begin_draw opened nothing
    }
    // The caller passes the kind it loaded with; the load-time modifier bits draw nothing.
    switch (kind & ~(IMAGE_MAP_3D_COLORS | IMAGE_SYSTEM)) {
    case IMAGE_BITMAP_KIND:
        if (image != 0 && width != 0 && height != 0) {
            draw_bitmap(dc, reinterpret_cast<HBITMAP>(image), x, y, width, height, raster_op);
        }
        break;
    case IMAGE_ICON_KIND:
        if (image != 0) {
            ::DrawIcon(dc, x, y, reinterpret_cast<HICON>(image));
        }
        break;
    case IMAGE_METAFILE:
        if (image != 0) {
            RECT area = {x, y, x + width, y + height};
            ::PlayEnhMetaFile(dc, reinterpret_cast<HENHMETAFILE>(image), &area);
        }
        break;
    case IMAGE_PICTURE:
        if (image != 0) {
            draw_picture(dc, reinterpret_cast<IPicture*>(image), x, y, width, height);
        }
        break;
    default:
        break; // cursors and unknown kinds draw nothing
    }
    end_draw(record, dc, 1);
    return 0;
}
