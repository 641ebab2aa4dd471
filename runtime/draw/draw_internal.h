// What the runtime's drawing files share among themselves, beside the public draw.h: the
// print buffer, the checks on picture files, and resource numbers for the loaders.
// Programs include draw.h only; this header is not installed.
#pragma once

#include "runtime/draw/draw.h"

// ============================================================================
// Text output (text_output.cpp)
// ============================================================================

constexpr int32_t PRINT_BUFFER_SIZE = 32767;
extern char print_buffer[PRINT_BUFFER_SIZE]; // the formatted text of the last list
extern WindowRecord* print_target;           // receives printed text; null: standard output

// ============================================================================
// Images and resources (image_load.cpp, picture_checks.cpp, image_draw.cpp, resources.cpp)
// ============================================================================

// Checks on size bytes of a picture file, each true for bytes the platform's decoders must
// not see; bytes of another kind of file pass each check but is_unknown_picture.
// A bitmap file that ends before its two headers do.
bool is_cut_bitmap(const uint8_t* bytes, SIZE_T size);
// A bitmap file whose colour table or pixel rows lie past its end, or with no pixels.
bool is_overrun_bitmap(const uint8_t* bytes, SIZE_T size);
// An icon or cursor whose directory points past its end, or whose image holds fewer rows
// than its header counts.
bool is_overrun_icon(const uint8_t* bytes, SIZE_T size);
// An enhanced metafile whose header or records lead outside its bytes or past any picture's
// size, or that never reaches its end record.
bool is_broken_metafile(const uint8_t* bytes, SIZE_T size);
// A GIF whose blocks do not lead, within its bytes, through an image on its screen to its
// trailer.
bool is_broken_gif(const uint8_t* bytes, SIZE_T size);
// A JPEG whose frame holds more than 8,192 x 8,192 pixels.
bool is_outsize_jpeg(const uint8_t* bytes, SIZE_T size);
// Bytes that begin as none of the kinds the picture decoder reads.
bool is_unknown_picture(const uint8_t* bytes, SIZE_T size);

constexpr LONG HIMETRIC_PER_INCH = 2540; // a picture's sizes are in hundredths of a millimetre

// A picture object (IPicture) from a file (no module) or an "RTIMAGE" resource; or 0.
ImageHandle picture_load(HMODULE module, const char* name);
// The resource number of a code-2 or code-19 argument (read from the variable when the
// tag says so); false when there is none or it is 0x10000 or more, which names no
// resource of the program.
bool resource_number(const void* argument, TypeTag tag, WORD* number);
