// UTF-8 and UTF-16: the conversions behind the routines that take and give UTF-8 (text in
// every script, the clipboard, settings files, font names). Each ill-formed piece of input
// becomes one U+FFFD, the same on every platform, instead of depending on the platform's
// converter: a byte that starts no sequence, and the longest start of a sequence that
// breaks off (as browsers and Unicode's own advice do it); a lone surrogate of UTF-16.
// Relies on nothing but the runtime heap.
#include "runtime/core/core_internal.h"

#include <cstring>

// ============================================================================
// Internal helpers
// ============================================================================

namespace {

constexpr uint32_t REPLACEMENT = 0xFFFD;

// Decode the character at text[*at] (*at < bytes) and move *at past it: its code point, or
// REPLACEMENT for an ill-formed piece (then *clean is cleared).
uint32_t decode_one(const uint8_t* text, size_t bytes, size_t* at, bool* clean) {
    const uint8_t lead = text[*at];
    *at += 1;
    if (lead < 0x80) {
        return lead;
    }
    // Trailing bytes and the range the first of them must lie in (which rules out
    // overlong forms, surrogates and code points past U+10FFFF).
    int32_t trail = 0;
    uint8_t low = 0x80, high = 0xBF;
    if (lead >= 0xC2 && lead <= 0xDF) {
        trail = 1;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        trail = 2;
        low = lead == 0xE0 ? 0xA0 : 0x80;
        high = lead == 0xED ? 0x9F : 0xBF;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        trail = 3;
        low = lead == 0xF0 ? 0x90 : 0x80;
        high = lead == 0xF4 ? 0x8F : 0xBF;
    } else {
        *clean = false;
        return REPLACEMENT;
    }
    uint32_t code = lead & (0x3F >> trail);
    for (int32_t i = 0; i < trail; ++i) {
        if (*at >= bytes || text[*at] < low || text[*at] > high) {
            *clean = false; // the bytes taken so far are the ill-formed piece
            return REPLACEMENT;
        }
        code = (code << 6) | (text[*at] & 0x3F);
        *at += 1;
        low = 0x80;
        high = 0xBF;
    }
    return code;
}

// The code point of the UTF-16 at text[*at] (*at < units), moving *at past it; a lone
// surrogate gives REPLACEMENT.
uint32_t decode_wide(const wchar_t* text, size_t units, size_t* at) {
    const uint32_t first = static_cast<uint16_t>(text[*at]);
    *at += 1;
    if (first < 0xD800 || first > 0xDFFF) {
        return first;
    }
    if (first <= 0xDBFF && *at < units) {
        const uint32_t second = static_cast<uint16_t>(text[*at]);
        if (second >= 0xDC00 && second <= 0xDFFF) {
            *at += 1;
            return 0x10000 + ((first - 0xD800) << 10) + (second - 0xDC00);
        }
    }
    return REPLACEMENT;
}

// Bytes of a code point in UTF-8.
size_t encoded_size(uint32_t code) {
    return code < 0x80 ? 1 : code < 0x800 ? 2 : code < 0x10000 ? 3 : 4;
}

} // namespace

// ============================================================================
// Internal routines
// ============================================================================

// The bytes of a UTF-8 argument: length itself, or the bytes before the NUL for -1; -1 for
// null text or another negative length.
int32_t utf8_argument_bytes(const char* text, int32_t length) {
    if (text == nullptr || length < -1) {
        return -1;
    }
    if (length >= 0) {
        return length;
    }
    size_t bytes = std::strlen(text);
    return bytes > static_cast<size_t>(INT32_MAX) ? INT32_MAX : static_cast<int32_t>(bytes);
}

// Count the UTF-16 units of bytes of UTF-8 (never more than bytes); *clean, when given,
// says whether it was well formed.
size_t utf16_units(const char* text, size_t bytes, bool* clean) {
    const uint8_t* in = reinterpret_cast<const uint8_t*>(text);
    bool well_formed = true;
    size_t units = 0;
    size_t at = 0;
    while (at < bytes) {
        if (in[at] < 0x80) { // the common case, one unit per byte
            ++at;
            ++units;
            continue;
        }
        units += decode_one(in, bytes, &at, &well_formed) >= 0x10000 ? 2 : 1;
    }
    if (clean != nullptr) {
        *clean = well_formed;
    }
    return units;
}

// Convert bytes of UTF-8 into out, which holds utf16_units of them; the units written (no
// terminator).
size_t utf8_to_utf16(const char* text, size_t bytes, wchar_t* out) {
    const uint8_t* in = reinterpret_cast<const uint8_t*>(text);
    bool clean = true;
    size_t units = 0;
    size_t at = 0;
    while (at < bytes) {
        if (in[at] < 0x80) {
            out[units++] = static_cast<wchar_t>(in[at++]);
            continue;
        }
        uint32_t code = decode_one(in, bytes, &at, &clean);
        if (code >= 0x10000) {
            code -= 0x10000;
            out[units++] = static_cast<wchar_t>(0xD800 + (code >> 10));
            out[units++] = static_cast<wchar_t>(0xDC00 + (code & 0x3FF));
        } else {
            out[units++] = static_cast<wchar_t>(code);
        }
    }
    return units;
}

// Count the UTF-8 bytes of units of UTF-16 (a lone surrogate as U+FFFD's three).
size_t utf8_bytes(const wchar_t* text, size_t units) {
    size_t bytes = 0;
    size_t at = 0;
    while (at < units) {
        bytes += encoded_size(decode_wide(text, units, &at));
    }
    return bytes;
}

// Convert units of UTF-16 into out, which holds utf8_bytes of them; the bytes written (no
// terminator).
size_t utf16_to_utf8(const wchar_t* text, size_t units, char* out) {
    uint8_t* o = reinterpret_cast<uint8_t*>(out);
    size_t bytes = 0;
    size_t at = 0;
    while (at < units) {
        const uint32_t code = decode_wide(text, units, &at);
        switch (encoded_size(code)) {
        case 1:
            o[bytes++] = static_cast<uint8_t>(code);
            break;
        case 2:
            o[bytes++] = static_cast<uint8_t>(0xC0 | (code >> 6));
            o[bytes++] = static_cast<uint8_t>(0x80 | (code & 0x3F));
            break;
        case 3:
            o[bytes++] = static_cast<uint8_t>(0xE0 | (code >> 12));
            o[bytes++] = static_cast<uint8_t>(0x80 | ((code >> 6) & 0x3F));
            o[bytes++] = static_cast<uint8_t>(0x80 | (code & 0x3F));
            break;
        default:
            o[bytes++] = static_cast<uint8_t>(0xF0 | (code >> 18));
            o[bytes++] = static_cast<uint8_t>(0x80 | ((code >> 12) & 0x3F));
            o[bytes++] = static_cast<uint8_t>(0x80 | ((code >> 6) & 0x3F));
            o[bytes++] = static_cast<uint8_t>(0x80 | (code & 0x3F));
            break;
        }
    }
    return bytes;
}

// A fresh heap string of units of UTF-16 in UTF-8, or null without memory.
char* utf16_to_heap_utf8(const wchar_t* text, size_t units) {
    const size_t bytes = utf8_bytes(text, units);
    char* out = static_cast<char*>(heap_alloc(bytes + 1));
    if (out != nullptr) {
        out[utf16_to_utf8(text, units, out)] = '\0';
    }
    return out;
}

// A fresh heap block of the UTF-16 of bytes of UTF-8, NUL-terminated, or null without
// memory; *units (when given) receives its length.
wchar_t* utf8_to_heap_utf16(const char* text, size_t bytes, size_t* units) {
    const size_t count = utf16_units(text, bytes, nullptr);
    if (count > (SIZE_MAX - 3) / sizeof(wchar_t) - 1) {
        return nullptr;
    }
    wchar_t* out = static_cast<wchar_t*>(heap_alloc((count + 1) * sizeof(wchar_t)));
    if (out != nullptr) {
        out[utf8_to_utf16(text, bytes, out)] = L'\0';
        if (units != nullptr) {
            *units = count;
        }
    }
    return out;
}

// Record where each UTF-16 unit of bytes of UTF-8 comes from: starts[u] is the byte offset
// of the piece unit u converts (both units of a pair name the same byte), and
// starts[units] is bytes; starts holds utf16_units of them plus one.
void utf8_unit_starts(const char* text, size_t bytes, int32_t* starts) {
    const uint8_t* in = reinterpret_cast<const uint8_t*>(text);
    bool clean = true;
    size_t units = 0;
    size_t at = 0;
    while (at < bytes) {
        const size_t start = at;
        const uint32_t code = in[at] < 0x80 ? in[at++] : decode_one(in, bytes, &at, &clean);
        starts[units++] = static_cast<int32_t>(start);
        if (code >= 0x10000) {
            starts[units++] = static_cast<int32_t>(start);
        }
    }
    starts[units] = static_cast<int32_t>(bytes);
}
