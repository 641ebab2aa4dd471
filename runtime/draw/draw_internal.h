// What the runtime's drawing files share among themselves, beside the public draw.h: the
// print buffer, text laid out by the platform's script layout service, the checks on
// picture files, and resource numbers for the loaders.
// Programs include draw.h only; this header is not installed.
#pragma once

#include <usp10.h>

#include "runtime/draw/draw.h"

// ============================================================================
// Text output (text_output.cpp)
// ============================================================================

constexpr int32_t PRINT_BUFFER_SIZE = 32767;
extern char print_buffer[PRINT_BUFFER_SIZE]; // the formatted text of the last list
extern WindowRecord* print_target;           // receives printed text; null: standard output

// ============================================================================
// Text laid out by the platform (text_layout.cpp)
// ============================================================================

constexpr int32_t LAYOUT_FONTS = 8; // fonts one line may draw with: its own and fallbacks

// A line of UTF-16 text laid out with USP10 in the font of a context (or, when nothing in
// it needs that, as GDI's own call draws it: see text_layout.cpp): its runs (items of
// one script and direction) in reading order, the order they show in from the left, and
// each run's glyphs, their places and its font: the context's own, or, for a run whose
// characters that font lacks, the first face that has them all among those the font links
// to (the platform's FontLink\SystemLink list) and then the installed families. Runs
// share one baseline, the context font's. Pixels count from the line's left edge.
struct TextLayout {
    HDC dc;                    // the context laid out for (its font is fonts[0])
    const wchar_t* units;      // the text, the caller's, kept while the layout is open
    int32_t count;             // its units
    int32_t runs;              // runs of the line
    int32_t glyph_count;       // glyphs of all runs
    int32_t simple;            // 1: one run drawn by GDI's own call (nothing needs layout)
    int32_t width;             // pixels the whole line advances
    int32_t ascent;            // the context font's ascent and height, for baseline and cells
    int32_t height;            //
    SCRIPT_ITEM* items;        // runs + 1: each run's first unit and analysis
    int32_t* order;            // runs: order[v] is the run shown v-th from the left
    int32_t* left;             // runs: pixels from the line's left edge to the run's
    int32_t* run_width;        // runs: pixels each run advances
    int32_t* font_of;          // runs: index into fonts
    int32_t* first_glyph;      // runs + 1: where each run's glyphs start
    WORD* glyphs;              // glyph_count
    WORD* clusters;            // count: each unit's first glyph, counted from its run's first
    SCRIPT_VISATTR* attrs;     // glyph_count
    int* advances;             // glyph_count
    GOFFSET* offsets;          // glyph_count
    HFONT fonts[LAYOUT_FONTS]; // [0] the context's; the others made here
    SCRIPT_CACHE caches[LAYOUT_FONTS];
    int32_t font_count;
    wchar_t (*faces)[LF_FACESIZE]; // heap: fallback faces in the order tried, or null
    int32_t face_count;
    void* block;       // heap: the runs' arrays
    void* glyph_block; // heap: the glyphs' arrays
};

// Lay out count units of text in dc's font; false (nothing to close) for an empty text, a
// failed layout or without memory.
bool layout_open(HDC dc, const wchar_t* units, int32_t count, TextLayout* layout);
// Release what layout_open made: fonts, caches, memory.
void layout_close(TextLayout* layout);
// Draw the laid-out line with its top left at (x, y) in the context's colours; an opaque
// background mode fills the line's cells (its advance by the font's height) first.
void layout_draw(TextLayout* layout, int32_t x, int32_t y);
// Pixels from the left edge to where a caret before unit stands (the edge where reading
// enters its character); at count, where reading leaves the last character.
int32_t layout_caret_x(const TextLayout* layout, int32_t unit);
// The unit starting the character under pixel x, or -1 outside the line; *place gets the
// unit of the nearest place between characters (0 to count).
int32_t layout_hit(const TextLayout* layout, int32_t x, int32_t* place);
// The stretches the units [from, to) cover, left to right, as (left, right) pairs in spans
// (room pairs at most); how many there are.
int32_t layout_spans(const TextLayout* layout, int32_t from, int32_t to, int32_t* spans,
                     int32_t room);
// Draw count units at dc's current position, moving it past them (TA_UPDATECP as the
// surface sets it): text outside ASCII laid out as above, ASCII and a symbol font's
// text with ExtTextOutW as it stands.
void draw_wide_text(HDC dc, const wchar_t* units, int32_t count);
// Pixels count units advance in dc's font, as draw_wide_text draws them.
int32_t wide_text_width(HDC dc, const wchar_t* units, int32_t count);

// ============================================================================
// Images and resources (image_load.cpp, picture_checks.cpp, image_draw.cpp, resources.cpp)
// ============================================================================

// Checks on size bytes of a file before a platform decoder sees them: each names what in the
// bytes would make Wine's decoder crash, hang or leak (a text for the debugger output), or is
// null when the platform may decode or refuse them itself (bytes of other kinds included).
// A bitmap file for LoadImageA or the picture decoder.
const char* bitmap_file_fault(const uint8_t* bytes, SIZE_T size);
// An icon or cursor file for LoadImageA.
const char* icon_file_fault(const uint8_t* bytes, SIZE_T size);
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
