// Strings and number conversion: exact texts and exact doubles.
#include <gtest/gtest.h>

#include "runtime/core/core_internal.h"

#include <cmath>
#include <cstring>
#include <limits>
#include <string>

namespace {

// Take a fresh heap string's text and free the block.
std::string take(char* text) {
    std::string copy = text;
    heap_free(text);
    return copy;
}

bool same_bits(double a, double b) {
    return std::memcmp(&a, &b, sizeof(a)) == 0;
}

} // namespace

TEST(Strings, ConcatJoinsIntoAFreshBlock) {
    EXPECT_EQ(take(string_concat({"Level:", " 3"})), "Level: 3");
    EXPECT_EQ(take(string_concat({"a", "", "bc", "d"})), "abcd");
    const char* single = "alone";
    char* copy = string_concat({single});
    EXPECT_NE(copy, single);
    EXPECT_EQ(take(copy), "alone");
    char* empty = string_concat({"", ""});
    EXPECT_EQ(::HeapSize(heap_handle(), 0, empty), 4u);
    EXPECT_EQ(take(empty), "");
}

TEST(Strings, StartPathIsTheProgramFolder) {
    char module[MAX_PATH] = {};
    ::GetModuleFileNameA(nullptr, module, MAX_PATH);
    std::string expected = module;
    expected.erase(expected.rfind('\\') + 1);
    char* first = start_path();
    char* second = start_path();
    EXPECT_NE(first, second);
    EXPECT_EQ(take(first), expected);
    char* child = string_concat({second, "core_child.exe"});
    EXPECT_NE(::GetFileAttributesA(child), INVALID_FILE_ATTRIBUTES);
    heap_free(child);
    heap_free(second);
}

TEST(Strings, NumberToString) {
    const struct {
        double value;
        const char* text;
    } cases[] = {
        {5, " 5"},
        {-5, " -5"},
        {0, " 0"},
        {-0.0, " 0"},
        {2.5, " 2.50"},
        {3.14159, " 3.14"},
        {-0.25, " -0.25"},
        {1e20, " 100000000000000000000.00"},
        {2147483647.0, " 2147483647"},
        {2147483648.0, " 2147483648"},
        {-4294967296.0, " -4294967296"},
        {-9223372036854775808.0, " -9223372036854775808"},
        {9223372036854775808.0, " 9223372036854775808.00"},
    };
    for (const auto& c : cases) {
        char* text = number_to_string(c.value);
        EXPECT_EQ(::HeapSize(heap_handle(), 0, text), 512u + 3u);
        EXPECT_EQ(take(text), c.text) << c.value;
    }
}

TEST(Strings, TextToNumber) {
    const struct {
        const char* text;
        double value;
    } cases[] = {
        {"  -12.5x", -12.5},
        {"\t42abc", 42},
        {".5", 0.5},
        {"+7", 0},
        {"12e3", 12},
        {"", 0},
        {"-", -0.0},
        {"0.7", 0.7000000000000001},
        {"0.3", 0.30000000000000004},
        {"7 8", 7},
        {"1.25", 1.25},
    };
    for (const auto& c : cases) {
        double value = text_to_number(c.text);
        EXPECT_TRUE(same_bits(value, c.value)) << '"' << c.text << "\" gave " << value;
    }
}

TEST(Strings, RealPower) {
    const double inf = std::numeric_limits<double>::infinity();
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const struct {
        double x, y, result;
    } cases[] = {
        {2, 10, 1024},  {-2, 3, -8},    {-2, 2, 4},         {-2, 0.5, 0},   {0, -1, 0},
        {5, 0, 1},      {0, 0, 1},      {3, nan, 1},        {10, 1, 10},    {4, 0.5, 2},
        {10, 22, 1e22}, {2, -3, 0.125}, {-3, -1, -1.0 / 3}, {2, 2000, inf}, {2, -2000, 0},
    };
    for (const auto& c : cases) {
        EXPECT_TRUE(same_bits(real_power(c.x, c.y), c.result))
            << c.x << " ^ " << c.y << " gave " << real_power(c.x, c.y);
    }
    EXPECT_EQ(real_abs(-2.5), 2.5);
    EXPECT_EQ(real_abs(3.0), 3.0);
}

TEST(Strings, DecimalFromIntegers) {
    char buffer[32];
    EXPECT_EQ(decimal_from_int64(buffer, -42), 4);
    EXPECT_STREQ(buffer, "-42 ");
    EXPECT_EQ(decimal_from_int64(buffer, 0), 2);
    EXPECT_STREQ(buffer, "0 ");
    EXPECT_EQ(decimal_from_int64(buffer, std::numeric_limits<int64_t>::min()), 21);
    EXPECT_STREQ(buffer, "-9223372036854775808 ");
    EXPECT_EQ(decimal_from_uint64(buffer, 42), 3);
    EXPECT_STREQ(buffer, "42 ");
    EXPECT_EQ(decimal_from_uint64(buffer, std::numeric_limits<uint64_t>::max()), 21);
    EXPECT_STREQ(buffer, "18446744073709551615 ");
}

TEST(Strings, DecimalFromReal) {
    const struct {
        double value;
        int32_t decimals;
        const char* text;
    } cases[] = {
        {2.5, 2, " 2.50"},
        {-0.5, 1, "-0.5"},
        {7, 0, " 7"},
        {0, 0, " 0"},
        {0.001, 2, " 0.00"},
        {0.5, 0, " 0"},
        {1.5, 0, " 2"},
        {2.5, 0, " 2"},
        {123456.789, 2, " 123456.79"},
        {-1234, 3, "-1234.000"},
        {999999999999999999.0, 0, " 999999999999999999"}, // rounds up to 10^18: saturates
        {-1e30, 2, "-9999999999999999.99"},
        {std::nan(""), 2, " 0.00"},
        {0.25, 40, " 0.25000000000000000"},
    };
    for (const auto& c : cases) {
        char buffer[40];
        std::memset(buffer, '#', sizeof(buffer));
        int32_t length = decimal_from_real(buffer, c.value, c.decimals);
        EXPECT_STREQ(buffer, c.text) << c.value << " with " << c.decimals;
        EXPECT_EQ(length, static_cast<int32_t>(std::strlen(c.text)));
        EXPECT_EQ(buffer[length + 1], '#');
    }
    char single[40];
    EXPECT_EQ(decimal_from_real_single(single, 2.5f, 2), 5);
    EXPECT_STREQ(single, " 2.50");
}

TEST(Strings, UpperIsAFreshCopy) {
    const char* text = "Tarrowind 2x";
    EXPECT_EQ(take(string_upper(text)), "TARROWIND 2X");
    EXPECT_STREQ(text, "Tarrowind 2x");
}

TEST(Strings, CharacterCodes) {
    EXPECT_EQ(first_char_code(""), 0);
    EXPECT_EQ(first_char_code("\\"), 92);
    EXPECT_EQ(first_char_code("\xE9t\xE9"), 233);
    const struct {
        int32_t character, digit;
    } cases[] = {{'/', 0}, {':', 0}, {'0', 1}, {'9', 1}, {0x130, 1}, {0x3A, 0}, {-208, 1}};
    for (const auto& c : cases) {
        EXPECT_EQ(char_is_digit(c.character), c.digit) << c.character;
    }
}

TEST(Strings, Find) {
    const struct {
        const char* text;
        const char* find;
        int32_t start, position;
    } cases[] = {
        {"hello", "l", 1, 3},      {"hello", "l", 4, 4}, {"hello", "lo", 0, 4},
        {"hello", "x", 1, 0},      {"hello", "", 1, 0},  {"", "a", 1, 0},
        {"hello", "h", 6, 0},      {"hello", "o", 5, 5}, {"hello", "h", -3, 1},
        {"hello", "hello!", 1, 0},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(string_find(c.text, c.find, c.start), c.position)
            << c.text << " / " << c.find << " from " << c.start;
    }
}

// ---- UTF-8 and UTF-16 ----

// The edges of each range the first trailing byte must lie in: just inside converts, just
// outside is one U+FFFD per ill-formed piece, and the count agrees with what is written.
TEST(Utf8, EachRangeEdgeDecodesOrIsOneReplacement) {
    const struct {
        const char* bytes;
        std::wstring wide;
    } cases[] = {
        {"\xE0\xA0\x80", L"\x0800"},                       // the first three-byte character
        {"\xE0\x9F\xBF", L"\xFFFD\xFFFD\xFFFD"},           // overlong: E0 must go on with A0..BF
        {"\xE0\x90\x80", L"\xFFFD\xFFFD\xFFFD"},           // overlong, from the middle of 80..9F
        {"\xED\x9F\xBF", L"\xD7FF"},                       // the last before the surrogates
        {"\xED\xA0\x80", L"\xFFFD\xFFFD\xFFFD"},           // an encoded surrogate
        {"\xEF\xBF\xBF", L"\xFFFF"},                       // the last three-byte character
        {"\xF0\x90\x80\x80", L"\xD800\xDC00"},             // the first four-byte character
        {"\xF0\x8F\xBF\xBF", L"\xFFFD\xFFFD\xFFFD\xFFFD"}, // overlong: F0 goes on with 90..BF
        {"\xF4\x8F\xBF\xBF", L"\xDBFF\xDFFF"},             // U+10FFFF
        {"\xF4\x90\x80\x80", L"\xFFFD\xFFFD\xFFFD\xFFFD"}, // past U+10FFFF
        {"\xC2\x80", L"\x0080"},
        {"\xC1\xBF", L"\xFFFD\xFFFD"}, // overlong two-byte form
        {"\xE0\xA0", L"\xFFFD"},       // cut short: one piece
    };
    for (const auto& c : cases) {
        const size_t bytes = std::strlen(c.bytes);
        size_t units = 0;
        wchar_t* wide = utf8_to_heap_utf16(c.bytes, bytes, &units);
        ASSERT_NE(wide, nullptr);
        EXPECT_EQ(std::wstring(wide, units), c.wide) << "bytes of " << c.bytes[0] + 0;
        bool clean = false;
        EXPECT_EQ(utf16_units(c.bytes, bytes, &clean), c.wide.size());
        EXPECT_EQ(clean, c.wide.find(L'\xFFFD') == std::wstring::npos);
        heap_free(wide);
    }
}

// A surrogate pairs only as high then low; any other is lone and becomes U+FFFD's three
// bytes, the count agreeing with what is written.
TEST(Utf8, OnlyAHighThenALowSurrogateMakeAPair) {
    const struct {
        std::wstring wide;
        const char* bytes;
    } cases[] = {
        {L"\xD83D\xDE00", "\xF0\x9F\x98\x80"},
        {L"\xDC00\xDC00", "\xEF\xBF\xBD\xEF\xBF\xBD"}, // two low halves are no pair
        {L"\xDE00\xD83D", "\xEF\xBF\xBD\xEF\xBF\xBD"}, // nor low then high
        {L"\xD800\xD800", "\xEF\xBF\xBD\xEF\xBF\xBD"}, // nor two high halves
        {L"\xDBFF\xDFFF", "\xF4\x8F\xBF\xBF"},
        {L"a\xD800", "a\xEF\xBF\xBD"}, // a high half at the end
        {L"\xDFFF"
         L"b",
         "\xEF\xBF\xBD"
         "b"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(utf8_bytes(c.wide.data(), c.wide.size()), std::strlen(c.bytes));
        EXPECT_EQ(take(utf16_to_heap_utf8(c.wide.data(), c.wide.size())), c.bytes)
            << "units from " << std::hex << int(c.wide[0]);
    }
}
