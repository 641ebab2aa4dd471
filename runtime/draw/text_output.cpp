// Typed text output: text_print formats a counted list of typed items into print_buffer
// and prints it to print_target's window at its current position, or to standard output.
// The text is in the process's ANSI code page: ASCII (and any text in a symbol font) is
// drawn byte for byte with TextOutA; other text is converted with CP_ACP and laid out by
// the platform (text_layout.cpp), since GDI's ANSI calls convert by the font's character
// set, not by the process's code page. Relies on GDI32, on begin_draw/end_draw of
// runtime/window and on the core's 64-bit decimal conversions and decimal_places.
#include <cfloat>
#include <cstdarg>
#include <cstdio>

#include "runtime/core/core_internal.h"
#include "runtime/draw/draw_internal.h"

// ============================================================================
// Types
// ============================================================================

namespace {

// The text formatted so far into print_buffer.
struct PrintText {
    int32_t length; // characters in print_buffer, NUL excluded
    bool cut;       // the buffer is full: later items are dropped
};

} // namespace

// ============================================================================
// Module state
// ============================================================================

char print_buffer[PRINT_BUFFER_SIZE] = {};         // the formatted text of the last list
WindowRecord* print_target = nullptr;              // receives printed text; null: standard output
static wchar_t print_wide[PRINT_BUFFER_SIZE] = {}; // print_buffer in UTF-16, to lay out

// ============================================================================
// Internal helpers
// ============================================================================

namespace {

// The bytes of text before a UTF-8 sequence that its end cuts off: length when the last
// sequence is whole (or no sequence at all: a stray byte stays as it was).
int32_t before_cut_sequence(const char* text, int32_t length) {
    int32_t lead = length;
    while (lead > 0 && length - lead < 3 &&
           (static_cast<unsigned char>(text[lead - 1]) & 0xC0) == 0x80) {
        --lead;
    }
    if (lead == 0) {
        return length;
    }
    const unsigned char first = static_cast<unsigned char>(text[lead - 1]);
    const int32_t needs = first >= 0xF0 ? 4 : first >= 0xE0 ? 3 : first >= 0xC0 ? 2 : 1;
    const bool leads = first >= 0xC2 && first <= 0xF4; // C0, C1 and F5 to FF never lead
    return leads && length - (lead - 1) < needs ? lead - 1 : length;
}

// Append to print_buffer; text that does not fit is cut at the buffer's end, before the
// last whole character when the code page is UTF-8.
void print_append(PrintText* text, const char* format, ...) {
    // A full buffer still formats the item (into no room) to learn whether it cuts one off.
    int32_t room = PRINT_BUFFER_SIZE - text->length;
    if (room < 1 || text->cut) {
        return;
    }
    va_list args;
    va_start(args, format);
    int written = std::vsnprintf(print_buffer + text->length, room, format, args);
    va_end(args);
    if (written >= room) {
        text->length = PRINT_BUFFER_SIZE - 1;
        text->cut = true;
        if (::GetACP() == CP_UTF8) {
            text->length = before_cut_sequence(print_buffer, text->length);
            print_buffer[text->length] = '\0';
        }
    } else if (written > 0) {
        text->length += written;
    }
}

// Convert length bytes of ANSI text into out (room for length units) when the platform must
// lay them out: some byte outside ASCII and a font that is not a symbol font. The units, or
// 0 to draw the bytes as they stand. The runtime's own conversion, so that ill-formed bytes
// become the same U+FFFD as in every other routine.
int32_t ansi_to_lay_out(HDC dc, const char* text, int32_t length, wchar_t* out) {
    int32_t i = 0;
    while (i < length && static_cast<unsigned char>(text[i]) < 0x80) {
        ++i;
    }
    if (i == length || ::GetTextCharset(dc) == SYMBOL_CHARSET) {
        return 0;
    }
    return static_cast<int32_t>(ansi_to_wide(text, static_cast<size_t>(length), out));
}

} // namespace

// ============================================================================
// Public routines
// ============================================================================

// Print a counted list of typed items: text_print(count, code, value, code, value, ...).
// A window item first selects print_target; the text goes to that window at its current
// position (one trailing line end dropped), or to standard output while there is none.
void text_print(int32_t count, ...) {
    HANDLE output = ::GetStdHandle(STD_OUTPUT_HANDLE);
    PrintText text = {0, false};
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
    const int32_t units = ansi_to_lay_out(dc, print_buffer, text.length, print_wide);
    if (units > 0) {
        draw_wide_text(dc, print_wide, units);
    } else {
        ::TextOutA(dc, 0, 0, print_buffer, text.length);
    }
    end_draw(print_target, dc, 1);
}

// Measure the first length characters of a text in the window's font.
int32_t measure_text(WindowRecord* record, const char* text, int32_t length, int32_t* width,
                     int32_t* height) {
    SIZE size = {};
    HDC dc = begin_draw(record);
    if (dc != nullptr) {
        TEXTMETRICA metrics = {};
        ::GetTextMetricsA(dc, &metrics);
        // A text longer than the print buffer is converted into a heap block of its own.
        wchar_t* wide =
            length <= PRINT_BUFFER_SIZE
                ? print_wide
                : static_cast<wchar_t*>(heap_alloc(sizeof(wchar_t) * static_cast<size_t>(length)));
        const int32_t units = text != nullptr && length > 0 && wide != nullptr
                                  ? ansi_to_lay_out(dc, text, length, wide)
                                  : 0;
        if (units > 0) {
            size.cx = wide_text_width(dc, wide, units);
        } else if (text != nullptr && length > 0) {
            ::GetTextExtentPoint32A(dc, text, length, &size);
        }
        if (wide != print_wide) {
            heap_free(wide);
        }
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
