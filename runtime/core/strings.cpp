// Strings and number conversion: joining, the executable's folder, upper case, length,
// copy, search, character tests, numbers to text and text to numbers, and powers.
// Relies on heap.cpp for fresh heap strings, on KERNEL32/USER32 for the module file
// name and ANSI upper-casing, and on the C library's formatter for number text.
// Printing typed values to a window is left to runtime/draw.
#include "runtime/core/core_internal.h"

#include <cmath>
#include <cstdio>
#include <cstring>
#include <cwchar>

// ============================================================================
// Module state
// ============================================================================

int32_t decimal_places = 2;

namespace {

constexpr DWORD PATH_UNITS = 32768; // the longest path the platform has, terminator included
wchar_t path_buffer[PATH_UNITS];    // the executable's path, reused by start_path

constexpr size_t NUMBER_TEXT_SIZE = 512;

constexpr int32_t REAL_DIGITS = 18;         // digits decimal_from_real writes before trimming
constexpr int32_t REAL_DECIMALS_LIMIT = 17; // keeps one digit before the point
constexpr long double REAL_DIGITS_LIMIT = 1e18L;

// ============================================================================
// Internal helpers
// ============================================================================

// 2^(y * log2 x) for x > 0, in extended precision, rounded to double once.
double positive_power(double x, double y) {
    long double t = static_cast<long double>(y) * ::log2l(static_cast<long double>(x));
    if (std::isnan(t)) {
        return static_cast<double>(t);
    }
    // Beyond these exponents the result has over- or underflowed any double already.
    if (t > 20000.0L) {
        return HUGE_VAL;
    }
    if (t < -20000.0L) {
        return 0.0;
    }
    long double n = ::nearbyintl(t);
    return static_cast<double>(::ldexpl(::exp2l(t - n), static_cast<int>(n)));
}

// Write the digits of magnitude, most significant first, then a blank and the NUL.
int32_t write_unsigned(char* buffer, uint64_t magnitude) {
    char reversed[20];
    int32_t count = 0;
    do {
        reversed[count++] = static_cast<char>('0' + magnitude % 10);
        magnitude /= 10;
    } while (magnitude != 0);
    for (int32_t i = 0; i < count; ++i) {
        buffer[i] = reversed[count - 1 - i];
    }
    buffer[count] = ' ';
    buffer[count + 1] = '\0';
    return count + 1;
}

} // namespace

// ============================================================================
// Strings
// ============================================================================

// Join the strings into a fresh heap string.
char* string_concat(std::initializer_list<const char*> parts) {
    size_t total = 0;
    for (const char* part : parts) {
        total += part != nullptr ? std::strlen(part) : 0;
    }
    char* result = static_cast<char*>(heap_alloc_or_stop(total + 1));
    char* end = result;
    for (const char* part : parts) {
        if (part != nullptr) {
            size_t length = std::strlen(part);
            std::memcpy(end, part, length);
            end += length;
        }
    }
    return result;
}

// Return the running executable's folder with its trailing backslash.
char* start_path() {
    // Read in UTF-16, so that a folder named in any script comes whole; a folder whose name
    // the ANSI code page cannot hold (a program that keeps the system's) is given by its
    // short name, which opens the same files.
    const DWORD length = ::GetModuleFileNameW(runtime_module(), path_buffer, PATH_UNITS - 1);
    path_buffer[length < PATH_UNITS ? length : PATH_UNITS - 1] = L'\0';
    wchar_t* last_backslash = std::wcsrchr(path_buffer, L'\\');
    if (last_backslash != nullptr) {
        last_backslash[1] = L'\0';
    }
    bool lossless = true;
    char* folder = wide_to_heap_ansi(path_buffer, std::wcslen(path_buffer), &lossless);
    if (folder != nullptr && !lossless) {
        const DWORD units = ::GetShortPathNameW(path_buffer, path_buffer, PATH_UNITS);
        if (units > 0 && units < PATH_UNITS) {
            heap_free(folder);
            folder = wide_to_heap_ansi(path_buffer, units, nullptr);
        }
    }
    return folder != nullptr ? folder : string_duplicate("");
}

// Return the number's text with a leading blank: " 5", " -5", " 2.50".
char* number_to_string(double value) {
    char* text = static_cast<char*>(heap_alloc_or_stop(NUMBER_TEXT_SIZE));
    // Only values inside the 64-bit range are converted: the cast is undefined outside.
    bool integral = false;
    int64_t whole = 0;
    if (value >= -9223372036854775808.0 && value < 9223372036854775808.0) {
        whole = static_cast<int64_t>(value);
        integral = static_cast<double>(whole) == value;
    }
    if (integral && whole >= INT32_MIN && whole <= INT32_MAX) {
        std::snprintf(text, NUMBER_TEXT_SIZE, " %d", static_cast<int>(whole));
    } else if (integral) {
        std::snprintf(text, NUMBER_TEXT_SIZE, " %lld", static_cast<long long>(whole));
    } else {
        std::snprintf(text, NUMBER_TEXT_SIZE, " %.*f", static_cast<int>(decimal_places), value);
    }
    return text;
}

// Return an upper-case copy, following the user's ANSI code page.
char* string_upper(const char* text) {
    char* copy = string_duplicate(text);
    ::CharUpperA(copy);
    return copy;
}

// Return the number of characters before the NUL.
int32_t string_length(const char* text) {
    return text != nullptr ? static_cast<int32_t>(std::strlen(text)) : 0;
}

// Copy source into destination, terminator included; the destination.
char* string_copy(char* destination, const char* source) {
    return std::strcpy(destination, source);
}

// Append source at destination's terminator; the destination.
char* string_append(char* destination, const char* source) {
    return std::strcat(destination, source);
}

// Return the 1-based position of find in text at or after start, or 0.
int32_t string_find(const char* text, const char* find, int32_t start) {
    int32_t length = string_length(text);
    if (length == 0 || string_length(find) == 0 || start > length) {
        return 0;
    }
    if (start < 1) {
        start = 1;
    }
    const char* found = std::strstr(text + (start - 1), find);
    return found != nullptr ? static_cast<int32_t>(found - text) + 1 : 0;
}

// Return the code (0 to 255) of the first character; 0 for an empty string.
int32_t first_char_code(const char* text) {
    return text != nullptr ? static_cast<unsigned char>(text[0]) : 0;
}

// Return 1 when the low 8 bits of character are a digit "0" to "9".
int32_t char_is_digit(int32_t character) {
    int32_t code = character & 0xFF;
    return code >= '0' && code <= '9' ? 1 : 0;
}

// ============================================================================
// Numbers
// ============================================================================

// Read a leading decimal number (blanks, "-", digits, "." and digits); 0 when none.
double text_to_number(const char* text) {
    double result = 0.0;
    if (text == nullptr) {
        return result;
    }
    const char* at = text;
    while (*at == ' ' || *at == '\t') {
        ++at;
    }
    bool negative = false;
    if (*at == '-') {
        negative = true;
        ++at;
    }
    while (*at >= '0' && *at <= '9') {
        result = result * 10.0;
        result = result + (*at - '0');
        ++at;
    }
    if (*at == '.') {
        ++at;
        for (int32_t k = 1; *at >= '0' && *at <= '9'; ++k, ++at) {
            double weight = 1.0 / real_power(10.0, k);
            result = result + weight * (*at - '0');
        }
    }
    return negative ? -result : result;
}

// Return x raised to y; 0 for a negative x with a fractional y, and for x = 0.
double real_power(double x, double y) {
    if (y == 0.0 || std::isnan(y)) {
        return 1.0;
    }
    if (x < 0.0) {
        if (y != std::trunc(y)) {
            return 0.0;
        }
        double magnitude = positive_power(-x, y);
        bool odd = std::fabs(std::fmod(y, 2.0)) == 1.0;
        return odd ? -magnitude : magnitude;
    }
    if (x == 0.0) {
        return 0.0;
    }
    return positive_power(x, y);
}

// Return the absolute value of x.
double real_abs(double x) {
    return x < 0.0 ? -x : x;
}

// Write a signed integer followed by a blank; the characters written before the NUL.
int32_t decimal_from_int64(char* buffer, int64_t value) {
    if (value < 0) {
        buffer[0] = '-';
        return 1 + write_unsigned(buffer + 1, 0 - static_cast<uint64_t>(value));
    }
    return write_unsigned(buffer, static_cast<uint64_t>(value));
}

// Write an unsigned integer followed by a blank; the characters written before the NUL.
int32_t decimal_from_uint64(char* buffer, uint64_t value) {
    return write_unsigned(buffer, value);
}

// Write value with decimals digits after the point behind a sign column; the length.
// Values whose scaled magnitude reaches 10^18 are written as the largest 18-digit
// magnitude with their sign; NaN is written as 0. decimals is kept within 0 to 17.
int32_t decimal_from_real(char* buffer, double value, int32_t decimals) {
    if (decimals < 0) {
        decimals = 0;
    }
    if (decimals > REAL_DECIMALS_LIMIT) {
        decimals = REAL_DECIMALS_LIMIT;
    }
    uint64_t scale = 1;
    for (int32_t i = 0; i < decimals; ++i) {
        scale *= 10;
    }
    long double scaled =
        std::isnan(value) ? 0.0L : ::nearbyintl(value * static_cast<long double>(scale));
    bool negative = std::signbit(scaled);
    long double magnitude_real = negative ? -scaled : scaled;
    uint64_t magnitude = magnitude_real < REAL_DIGITS_LIMIT ? static_cast<uint64_t>(magnitude_real)
                                                            : 999999999999999999ull;

    // Sign column, then 18 digits with the point inserted before the last decimals.
    char text[1 + REAL_DIGITS + 1 + 1];
    int32_t length = 0;
    text[length++] = negative ? '-' : ' ';
    int32_t point_at = REAL_DIGITS - decimals; // digits before the point
    char digits[REAL_DIGITS];
    for (int32_t i = REAL_DIGITS - 1; i >= 0; --i) {
        digits[i] = static_cast<char>('0' + magnitude % 10);
        magnitude /= 10;
    }
    // Leading zeros go, but one zero stays before the point or the end.
    int32_t first = 0;
    while (first < point_at - 1 && digits[first] == '0') {
        ++first;
    }
    for (int32_t i = first; i < REAL_DIGITS; ++i) {
        if (i == point_at && decimals != 0) {
            text[length++] = '.';
        }
        text[length++] = digits[i];
    }
    text[length] = '\0';
    std::memcpy(buffer, text, static_cast<size_t>(length) + 1);
    return length;
}

// Write a single-precision value as decimal_from_real does.
int32_t decimal_from_real_single(char* buffer, float value, int32_t decimals) {
    return decimal_from_real(buffer, static_cast<double>(value), decimals);
}
