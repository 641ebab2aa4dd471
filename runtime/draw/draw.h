// Runtime drawing, what a program calls: primitives and typed text output, image loading
// and image drawing, on the surface of a window.
// Relies on GDI32, USER32, OLE32/OLEAUT32 and on the runtime core's heap, strings and
// files. It includes window.h because every routine draws on a window through its
// WindowRecord, and the window owns its surface: begin_draw and end_draw, for drawing of a
// program's own, are declared there. What the runtime's drawing files share (the print
// buffer, the picture checks) is in draw_internal.h.
#pragma once

#include <windows.h>

#include <cstdint>

#include "runtime/core/core.h"
#include "runtime/window/window.h"

// ============================================================================
// Primitives and text
// ============================================================================

constexpr COLORREF NO_COLOR = 0xFFFFFFFF; // -1: no colour in draw_rect

// Pack a colour: red in bits 0-7, green 8-15, blue 16-23 (components are not clamped).
COLORREF rgb_color(int32_t red, int32_t green, int32_t blue);
// Set the window's current drawing position without drawing.
int32_t move_to(WindowRecord* record, int32_t x, int32_t y);
// Draw a rectangle: outline NO_COLOR uses the window's pen colour and no fill; fill
// NO_COLOR leaves it hollow. Right and bottom are exclusive.
int32_t draw_rect(WindowRecord* record, int32_t x, int32_t y, int32_t width, int32_t height,
                  COLORREF outline, COLORREF fill);
// Set the window's background colour and clear the whole surface with it.
int32_t set_background_color(WindowRecord* record, COLORREF color);
// Set the colours of what the window prints from now on: the text (its pen's colour) and
// the background of the character cells. Drawing open on the window (begin_draw) takes
// them at once.
int32_t set_text_color(WindowRecord* record, COLORREF text, COLORREF background);

// PrintList item codes (the TypeCode of each value).
constexpr int32_t PRINT_TEXT = 0;    // const char*
constexpr int32_t PRINT_CHAR = 1;    // int: one character
constexpr int32_t PRINT_INT = 2;     // int32_t
constexpr int32_t PRINT_SINGLE = 3;  // float (passed as double through the ...)
constexpr int32_t PRINT_WINDOW = 9;  // WindowRecord*: as the first item, the target window
constexpr int32_t PRINT_WORD = 13;   // int: its low 16 bits, unsigned
constexpr int32_t PRINT_DOUBLE = 14; // double
constexpr int32_t PRINT_INT64 = 17;  // int64_t
constexpr int32_t PRINT_UINT64 = 18; // uint64_t
constexpr int32_t PRINT_UINT = 19;   // uint32_t

// Print a counted list of typed items: text_print(count, code, value, code, value, ...).
// Strings and characters are text in the process's ANSI code page. Text outside ASCII is
// converted from that code page and laid out by the platform's script layout service, as
// text_print_utf8 draws it; ASCII, and any text in a symbol font, is drawn byte for byte.
// The formatted text is cut at 32,766 bytes (the print buffer's size less its NUL) and
// items after the cut are dropped; with UTF-8 as the code page a character the cut would
// split is dropped whole.
void text_print(int32_t count, ...);
// Measure the first length bytes of a text in the window's font: width and height in
// pixels (both 0 for a closed record). Like text_print, text in the ANSI code page: ASCII
// measured as the font has it, other text as the platform lays it out.
int32_t measure_text(WindowRecord* record, const char* text, int32_t length, int32_t* width,
                     int32_t* height);

// ============================================================================
// Text in every script, and fonts
// ============================================================================

// Print UTF-8 text at the window's current position in its font and colours, moving the
// position past it. Text outside ASCII is laid out by the platform's script layout service
// (USP10): complex scripts shaped, right-to-left runs ordered, and a run whose characters
// the font lacks drawn in a face that has them (one the font links to, else any installed
// family), on the font's baseline; a symbol font draws its own glyphs. length: bytes of text to
// print, or -1 for all of it up to the NUL (another negative length prints nothing). Each maximal
// ill-formed part of the bytes (the longest start of a sequence that cannot be completed, else one
// byte) draws as one U+FFFD: a cut sequence gives one, an overlong form, an encoded surrogate or a
// value above U+10FFFF one per byte. Line ends and other control characters are drawn as
// characters, never interpreted. Returns the number of UTF-16 units drawn (0 for a closed record,
// null text or nothing to draw).
int32_t text_print_utf8(WindowRecord* record, const char* text, int32_t length);
// Measure UTF-8 text in the window's font: width and height in pixels (both 0 for a closed
// record). length as for text_print_utf8; the width is how far text_print_utf8 moves the
// position, the height the font's.
int32_t measure_text_utf8(WindowRecord* record, const char* text, int32_t length, int32_t* width,
                          int32_t* height);

// Selecting text in a line printed with text_print_utf8: the line is laid out as that
// routine draws it, in the window's font, its left edge at pixel 0. Characters and places
// are byte offsets into the UTF-8 text (length as for text_print_utf8); a place is the
// offset of the character it stands before, from 0 to the text's bytes, and an offset
// inside a character counts as that character's start. Right-to-left runs show in the
// order the platform lays them out, so that a range of characters may cover several
// stretches of the line. A closed record or an empty, null or refused text has no
// characters: -1, place 0, x 0, no stretches.

// Find the character under pixel x of a line: its byte offset, or -1 left of the line or
// at and past its right end. *place (when given) gets the place nearest x: before the
// character when x is in the half where reading enters it, else after it; beyond the
// line's ends, the place at that end.
int32_t text_char_at_utf8(WindowRecord* record, const char* text, int32_t length, int32_t x,
                          int32_t* place);
// Find where a caret at a place of a line stands: the pixel where reading enters the
// character at that place, or leaves the last character for the place at the end.
int32_t text_caret_x_utf8(WindowRecord* record, const char* text, int32_t length, int32_t place);
// Find the stretches of a line that the characters in bytes [from, to) cover, left to
// right: up to room pairs (left, right) in spans, in pixels, right exclusive, stretches
// that touch joined. Returns how many there are (more than room when they did not fit).
int32_t text_spans_utf8(WindowRecord* record, const char* text, int32_t length, int32_t from,
                        int32_t to, int32_t* spans, int32_t room);

// A font as the font routines take and give it.
struct FontChoice {
    char face[LF_FACESIZE * 3]; // face name, UTF-8, NUL-terminated
    int32_t points;             // size in points (1 to 1638)
    int32_t weight;             // FW_NORMAL 400, FW_BOLD 700, 1 to 1000
    int32_t italic;             // 0 or 1
};
constexpr int32_t FONT_POINTS_MAX = 1638; // the largest size the font dialog offers

// Set the window's font by face, size and weight, replacing (and deleting) the record's
// font; 1 when set. 0 for a closed record, a null, empty or ill-formed face, a face longer
// than 31 UTF-16 units, or a size, weight or italic out of range: the old font then stays.
// A face that is not installed gets the platform's nearest match. Drawing open on the window
// (begin_draw) takes it at once.
int32_t set_window_font(WindowRecord* record, const FontChoice* font);
// Let a person choose a font with the platform's font dialog, starting from *choice: 1
// when chosen (*choice updated), 0 when cancelled or the dialog could not be shown
// (*choice unchanged). A closed or null owner shows it without an owner. The dialog starts
// at the face the platform draws the choice with, under the name the dialog lists it by: a
// face that is not installed, a substitute's name or a face's name in another language
// starts at the nearest installed face, and an empty or unusable face at the default one,
// with the choice's size, weight and italic (an out-of-range size starts at 10 points,
// an out-of-range weight at regular). Vertical "@" faces are not offered. Wine's dialog
// offers regular and bold only: another weight comes back as the nearer of the two.
int32_t choose_font(WindowRecord* owner, FontChoice* choice);

// ============================================================================
// Images
// ============================================================================

// An image of one of the kinds below; 0 for none. The caller passes the same kind to
// image_load and image_draw.
using ImageHandle = uintptr_t;
// One 32-bit value in a 32-bit build; it holds a handle, so it widens on 64-bit.
static_assert(sizeof(ImageHandle) == (sizeof(void*) == 8 ? 8 : 4));
constexpr int32_t IMAGE_BITMAP_KIND = 0;
constexpr int32_t IMAGE_ICON_KIND = 1;
constexpr int32_t IMAGE_CURSOR_KIND = 2;
constexpr int32_t IMAGE_METAFILE = 3;
constexpr int32_t IMAGE_PICTURE = 4;
constexpr int32_t IMAGE_MAP_3D_COLORS = 0x1000; // modifier: LR_LOADMAP3DCOLORS
constexpr int32_t IMAGE_SYSTEM = 0x100;         // modifier: the system's predefined images

// Load an image by name (TAG_STRING: a file when the name has a ".", else a resource) or
// by resource number (tag code 2 or 19). 0 on failure; a file refused as damaged (one that
// would make the platform's decoder crash, hang or leak; the README lists the rules) also
// gives 0, with one line on the debugger output that names the file and the reason.
ImageHandle image_load(const void* name, TypeTag tag, int32_t kind);
// Copy a resource of the program's module into a typed destination; 1 on success.
int32_t resource_load(const void* name, TypeTag name_tag, const void* type, TypeTag type_tag,
                      void* destination, TypeTag destination_tag);
// Release an image that image_load made, of the kind it was loaded as; the system's own
// images (IMAGE_SYSTEM) are shared and stay.
int32_t image_release(ImageHandle image, int32_t kind);
// Natural width and height in pixels of an image of a kind; both 0 when unknown.
int32_t image_size(ImageHandle image, int32_t kind, int32_t* width, int32_t* height);
// Draw an image at (x, y); pictures are stretched to width x height (natural size when both 0).
int32_t image_draw(WindowRecord* record, ImageHandle image, int32_t kind, int32_t x, int32_t y,
                   int32_t width, int32_t height, uint32_t raster_op);
