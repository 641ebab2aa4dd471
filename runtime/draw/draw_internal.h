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
