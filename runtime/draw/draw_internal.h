// What the runtime's drawing files share among themselves, beside the public draw.h: the
// window's surface (made and released there for open_window and close_window), the paint
// routine, filling a context, the print buffer, and resource numbers for the loaders.
// Programs include draw.h only; this header is not installed.
#pragma once

#include "runtime/draw/draw.h"

// ============================================================================
// The surface and repaint (surface.cpp)
// ============================================================================

// Give a new window its surface: the backing bitmap filled with the background colour (or
// the window itself filled, without one) and copies of a fresh context's pen, font and
// text state. False when the window's context could not be had (nothing is made then).
bool surface_open(WindowRecord* record, uint32_t flags, int32_t width, int32_t height);
// The objects a surface owns, handed from surface_close to surface_delete.
struct SurfaceObjects {
    HBITMAP bitmap; // the backing bitmap, or null
    HPEN pen;       // the record's pen
    HFONT font;     // the record's font
};
// Close a window's surface while its window still exists: give back a drawing context
// still open on it (also the one of a repaint in progress) and hand over the bitmap, pen
// and font, which stay selected nowhere. The handles stay in the record; open_window
// overwrites them.
SurfaceObjects surface_close(WindowRecord* record, HWND hwnd);
// Delete the bitmap, then the pen, then the font of a closed surface, once its window is
// gone (its destruction messages still find them alive).
void surface_delete(const SurfaceObjects& objects);
// Answer a paint request of a runtime window from its backing bitmap; 1.
LRESULT paint_window(HWND hwnd, WPARAM wparam, LPARAM lparam);
// Map touched bounds of a bw x bh scaled surface (right and bottom inclusive) to the
// rectangle of its cw x ch client area that must be repainted.
RECT scaled_bounds_to_client(const RECT& bounds, int32_t cw, int32_t ch, int32_t bw, int32_t bh);

// ============================================================================
// Primitives and text output (primitives.cpp, text_output.cpp)
// ============================================================================

// Fill a rectangle of a context with one colour; the context's background colour stays set.
int32_t fill_rect_dc(HDC dc, int32_t x, int32_t y, int32_t width, int32_t height, COLORREF color);

constexpr int32_t PRINT_BUFFER_SIZE = 32767;
extern char print_buffer[PRINT_BUFFER_SIZE]; // the formatted text of the last list
extern WindowRecord* print_target;           // receives printed text; null: standard output

// ============================================================================
// Images and resources (image_load.cpp, picture_checks.cpp, image_draw.cpp, resources.cpp)
// ============================================================================

// Checks on size bytes of a file before a platform decoder sees them: each names what in the
// bytes would make Wine's decoder crash, hang or leak (a text for the debugger output), or is
// null when the platform may decode or refuse them itself (bytes of other kinds included).
// A bitmap file for LoadImageA or the picture decoder.
const char* bitmap_file_fault(const uint8_t* bytes, SIZE_T size);
// An enhanced metafile for GetEnhMetaFileA or the picture decoder.
const char* metafile_fault(const uint8_t* bytes, SIZE_T size);
// A GIF for the picture decoder.
const char* gif_fault(const uint8_t* bytes, SIZE_T size);
// A JPEG for the picture decoder.
const char* jpeg_fault(const uint8_t* bytes, SIZE_T size);
// Bytes of any kind for the picture decoder (icons and cursors included).
const char* picture_fault(const uint8_t* bytes, SIZE_T size);

// The largest picture a JPEG's frame may decode to, in bytes of 32-bit pixels (8,192 x 16,384).
constexpr uint64_t MOST_PICTURE_BYTES = uint64_t{512} << 20;

constexpr LONG HIMETRIC_PER_INCH = 2540; // a picture's sizes are in hundredths of a millimetre

// A picture object (IPicture) from a file (no module) or an "RTIMAGE" resource; or 0.
ImageHandle picture_load(HMODULE module, const char* name);
// The resource number of a code-2 or code-19 argument (read from the variable when the
// tag says so); false when there is none or it is 0x10000 or more, which names no
// resource of the program.
bool resource_number(const void* argument, TypeTag tag, WORD* number);
