// file_read against an independent model of its rules, on generated files: texts of
// numbers (signs, fractions, exponents, separators, digit runs past the 40-character limit,
// values at the rounding and range limits of each type) and lines (LF, CRLF, lone CR, empty
// and longer than a chunk or the destination), and raw bytes. Each case reads one file with
// a seeded sequence of line reads of many capacities, number reads into every type code and
// byte reads short and long into buffers and blocks; every read's result, its destination
// (guard bytes included) and the file position must be the model's. 10,000 cases,
// 1,000,000 with TARROWIND_LONG=1; TARROWIND_FUZZ_CASE=n runs case n alone.
#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "runtime/core/core_internal.h"
#include "tests/faults/faults.h"
#include "tests/support/test_support.h"

// ============================================================================
// Types
// ============================================================================

namespace {

enum class Op { LINE, NUMBER, BYTES, BLOCK };

// One read: a line into count bytes, a number into a destination of code, or count bytes
// into a buffer or into a block of block bytes (0: the variable holds none).
struct Read {
    Op op;
    int32_t code;
    uint32_t count;
    uint32_t block;
};

// ============================================================================
// Module state
// ============================================================================

constexpr size_t BUFFER = 8192; // every destination, guard bytes included
constexpr uint8_t GUARD = 0xA5; // where nothing may be written
const char* const SIGNS[] = {"", "", "", "-", "+", "--", "-+"};
const char* const SEPARATORS[] = {" ",  "\t", ",", ";",  "abc", "x",   "e",
                                  "E+", "/",  ".", "..", "-",   "\xFF"};
const char* const LINE_ENDS[] = {"\n", "\r\n", "\r", "\r\r\n", "\n\r", "\n\n"};
// Values at the rounding and range limits of each type, space-separated.
const char* const LIMITS =
    "0.5 1.5 2.5 -0.5 -2.5 127.5 128 255.5 -128.5 -129 32767.5 -32768.5 65535 2147483647.5 "
    "-2147483649 4294967295.5 4294967296 9007199254740993 9223372036854775807 "
    "-9223372036854775809 18446744073709551615 18446744073709551616 "
    "340282356779733661637539395458142568448 -0 0.1 0.7 -.5 "
    "00000000000000000000000000000000000000000000000001";
const uint32_t CAPACITIES[] = {0, 1, 2, 3, 8, 100, 127, 128, 129, 255, 256, 257, 300};
const int32_t NUMBER_CODES[] = {TYPE_BYTE,   31,         TYPE_WORD,   30,       TYPE_SINGLE,
                                TYPE_DOUBLE, TYPE_INT64, TYPE_UINT64, TYPE_INT, TYPE_UINT,
                                4,           7,          99};
const uint32_t COUNTS[] = {0, 1, 2, 7, 100, 127, 128, 129, 1000, 4000};
const uint32_t BLOCKS[] = {0, 1, 5, 128, 3000};

// ============================================================================
// Internal helpers: the generator
// ============================================================================

std::string digits(Random& random, uint32_t count) {
    std::string text;
    while (count-- > 0) {
        text += static_cast<char>('0' + random.below(10));
    }
    return text;
}

// One of the LIMITS, picked at random.
std::string limit(Random& random) {
    std::string words = LIMITS;
    size_t start = 0;
    for (uint32_t skip = random.below(28); skip > 0; --skip) {
        start = words.find(' ', start) + 1;
    }
    return words.substr(start, words.find(' ', start) - start);
}

// A number as people and programs write them, well or badly.
std::string number_text(Random& random) {
    if (random.below(4) == 0) {
        return limit(random);
    }
    std::string text = random.pick(SIGNS);
    text += digits(random, random.below(5) == 0 ? 20 + random.below(40) : random.below(8));
    const char* tails[] = {"", ".", "e", "E-", ".", "-"}; // a fraction, exponent, second sign
    for (uint32_t parts = random.below(3); parts > 0; --parts) {
        text += random.pick(tails);
        text += digits(random, random.below(5) == 0 ? 20 + random.below(30) : random.below(6));
    }
    return text;
}

// A generated file: a text of numbers, words and line ends (some right around the 128-byte
// chunks of line reads), or raw bytes.
std::string file_text(Random& random) {
    std::string text;
    const bool raw = random.below(6) == 0;
    for (uint32_t pieces = raw ? random.below(1200) : random.below(40); pieces > 0; --pieces) {
        switch (raw ? 6 : random.below(6)) {
        case 0:
        case 1:
            text += number_text(random);
            break;
        case 2:
            text += random.pick(SEPARATORS);
            break;
        case 3:
            text += random.pick(LINE_ENDS);
            break;
        case 4:
            text +=
                std::string(random.below(3) == 0 ? 100 + random.below(300) : random.below(20), 'k');
            break;
        case 5:
            text += std::string((126 + random.below(4) + 128 - text.size() % 128) % 128, 'k');
            text += random.pick(LINE_ENDS);
            break;
        default:
            text += static_cast<char>(random.below(256));
        }
    }
    return text;
}

std::vector<Read> reads_of(Random& random) {
    std::vector<Read> reads(1 + random.below(14));
    for (Read& read : reads) {
        const uint32_t kind = random.below(19);
        read = kind < 8    ? Read{Op::LINE, TYPE_STRING, random.pick(CAPACITIES), 0}
               : kind < 15 ? Read{Op::NUMBER, random.pick(NUMBER_CODES), 0, 0}
               : kind < 18
                   ? Read{Op::BYTES, random.below(2) ? TYPE_RAW : TYPE_BYTE, random.pick(COUNTS), 0}
                   : Read{Op::BLOCK, TYPE_BLOCK, random.pick(COUNTS), random.pick(BLOCKS)};
    }
    return reads;
}

// ============================================================================
// Internal helpers: the model
// ============================================================================

// A line: up to capacity - 1 characters (0: 256); LF, CR and CR LF end it and are
// consumed; a full line leaves the rest for the next read. 0 when any byte was consumed.
int32_t model_line(const std::string& file, size_t* at, uint32_t capacity, uint8_t* out) {
    capacity = capacity == 0 ? 256 : capacity;
    if (capacity < 2) {
        return -1;
    }
    const size_t start = *at;
    size_t length = 0;
    while (*at < file.size()) {
        const char byte = file[*at];
        if (byte == '\n' || byte == '\r') {
            *at += byte == '\r' && *at + 1 < file.size() && file[*at + 1] == '\n' ? 2 : 1;
            break;
        }
        if (length + 1 >= capacity) {
            break;
        }
        out[length++] = static_cast<uint8_t>(file[(*at)++]);
    }
    out[length] = 0;
    return *at > start ? 0 : -1;
}

// The value of a number's text: "-", digits, then "." and digits, each fractional digit
// added as its own product with 1 / 10^k (10^k correctly rounded); anything else ends it.
double model_value(const std::string& text) {
    size_t i = text[0] == '-' ? 1 : 0;
    double value = 0.0;
    for (; i < text.size() && std::isdigit(static_cast<uint8_t>(text[i])); ++i) {
        value = value * 10.0 + (text[i] - '0');
    }
    if (i < text.size() && text[i++] == '.') {
        for (int32_t k = 1; i < text.size() && std::isdigit(static_cast<uint8_t>(text[i]));
             ++i, ++k) {
            char power[16];
            std::snprintf(power, sizeof power, "1e%d", k);
            value = value + (1.0 / std::strtod(power, nullptr)) * (text[i] - '0');
        }
    }
    return text[0] == '-' ? -value : value;
}

// Round half to even.
double model_whole(double value) {
    double whole = std::floor(value);
    const double fraction = value - whole;
    return fraction > 0.5 || (fraction == 0.5 && std::fmod(whole, 2.0) != 0.0) ? whole + 1.0
                                                                               : whole;
}

// A number: skip to "-" or a digit, take "-", "." and digits up to 40 characters (the one
// that ends them is consumed), and store the value by the destination's code: reals
// (singles held to their range), unsigned 64-bit held to its range, and every other code
// as the low bytes of the value rounded and held to the signed 64-bit range.
int32_t model_number(const std::string& file, size_t* at, int32_t code, uint8_t* out) {
    const auto number_char = [](char c) {
        return c == '-' || c == '.' || std::isdigit(static_cast<uint8_t>(c));
    };
    while (*at < file.size() && (file[*at] == '.' || !number_char(file[*at]))) {
        ++*at;
    }
    if (*at >= file.size()) {
        return -1;
    }
    std::string text(1, file[(*at)++]);
    while (text.size() < 40 && *at < file.size() && number_char(file[*at])) {
        text += file[(*at)++];
    }
    if (text.size() < 40 && *at < file.size()) {
        ++*at;
    }
    const double value = model_value(text);
    const double whole = model_whole(value);
    const float single = value > FLT_MAX    ? FLT_MAX
                         : value < -FLT_MAX ? -FLT_MAX
                                            : static_cast<float>(value);
    const uint64_t unsigned_whole = !(whole > 0.0) ? 0
                                    : whole >= 18446744073709551616.0
                                        ? UINT64_MAX
                                        : static_cast<uint64_t>(whole);
    const int64_t signed_whole = whole >= 9223372036854775808.0    ? INT64_MAX
                                 : whole <= -9223372036854775808.0 ? INT64_MIN
                                                                   : static_cast<int64_t>(whole);
    const size_t width = code == TYPE_BYTE || code == 31   ? 1
                         : code == TYPE_WORD || code == 30 ? 2
                         : code == TYPE_INT64              ? 8
                                                           : 4;
    if (code == TYPE_SINGLE) {
        std::memcpy(out, &single, sizeof single);
    } else if (code == TYPE_DOUBLE) {
        std::memcpy(out, &value, sizeof value);
    } else if (code == TYPE_UINT64) {
        std::memcpy(out, &unsigned_whole, sizeof unsigned_whole);
    } else {
        std::memcpy(out, &signed_whole, width); // little-endian: the low bytes
    }
    return 0;
}

// The model's read, writing into out as file_read should.
int32_t model_read(const std::string& file, size_t* at, const Read& read, uint8_t* out) {
    // A block never receives more than it holds; without a block nothing is read.
    const uint32_t count = read.op == Op::BLOCK
                               ? (read.block == 0 ? 0 : std::min(read.count, read.block))
                               : read.count;
    switch (read.op) {
    case Op::LINE:
        return model_line(file, at, read.count, out);
    case Op::NUMBER:
        return model_number(file, at, read.code, out);
    default: {
        const size_t got = std::min<size_t>(count, file.size() - *at);
        std::memcpy(out, file.data() + *at, got);
        *at += got;
        return count > 0 && got > 0 ? 0 : -1;
    }
    }
}

// Run case number on the file writer writes and file reads; empty when file_read agreed
// with the model, else what differed.
std::string run_case(uint64_t number, HANDLE writer, HANDLE* file) {
    Random random = {0x7A770F00DULL * (number + 1)};
    const std::string bytes = file_text(random);
    DWORD written = 0;
    ::SetFilePointer(writer, 0, nullptr, FILE_BEGIN);
    ::WriteFile(writer, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    ::SetEndOfFile(writer);
    ::SetFilePointer(*file, 0, nullptr, FILE_BEGIN);
    static uint8_t expected[BUFFER], actual[BUFFER];
    size_t at = 0;
    int32_t index = 0;
    for (const Read& read : reads_of(random)) {
        std::memset(expected, GUARD, BUFFER);
        std::memset(actual, GUARD, BUFFER);
        void* block = read.block == 0 ? nullptr : ::GlobalAlloc(GMEM_FIXED, read.block);
        if (block != nullptr) {
            std::memset(block, GUARD, read.block);
        }
        const int32_t want = model_read(bytes, &at, read, expected);
        const int32_t got =
            read.op == Op::BLOCK ? file_read(file, TAG_BINARY_FILE, &block, TAG_BLOCK, read.count)
            : read.op == Op::BYTES
                ? file_read(file, TAG_BINARY_FILE, actual, type_tag(read.code), read.count)
                : file_read(file, TAG_TEXT_FILE, actual, type_tag(read.code), read.count);
        const uint8_t* seen = read.op == Op::BLOCK ? static_cast<uint8_t*>(block) : actual;
        const size_t compared = read.op == Op::BLOCK ? read.block : BUFFER;
        const DWORD position = ::SetFilePointer(*file, 0, nullptr, FILE_CURRENT);
        const bool same = got == want && position == at &&
                          (compared == 0 || std::memcmp(seen, expected, compared) == 0);
        ::GlobalFree(block);
        if (!same) {
            char what[200];
            std::snprintf(what, sizeof what,
                          "read %d (op %d, code %d, count %u, block %u): result %d, model %d; "
                          "position %lu, model %zu",
                          index, static_cast<int>(read.op), read.code, read.count, read.block, got,
                          want, position, at);
            return what;
        }
        ++index;
    }
    return "";
}

} // namespace

// ============================================================================
// Tests
// ============================================================================

TEST(Fuzz, FileReadAgreesWithTheModelOnGeneratedFiles) {
    const char* one = std::getenv("TARROWIND_FUZZ_CASE");
    const int64_t first = one != nullptr ? std::atoll(one) : 0;
    const int64_t last = one != nullptr ? first + 1 : faults_long() ? 1000000 : 10000;
    const std::string path = temp_file("fuzz.bin");
    HANDLE writer = ::CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                  nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    HANDLE file = nullptr;
    ASSERT_EQ(file_open(&file, TAG_TEXT_FILE, path.c_str(), "R"), 0);
    int32_t disagreed = 0;
    for (int64_t number = first; number < last; ++number) {
        const std::string differences = run_case(static_cast<uint64_t>(number), writer, &file);
        if (!differences.empty() && ++disagreed <= 20) {
            ADD_FAILURE() << "case " << number << ": " << differences
                          << " (TARROWIND_FUZZ_CASE=" << number << ")";
        }
    }
    file_close(&file, TAG_TEXT_FILE);
    ::CloseHandle(writer);
    ::DeleteFileA(path.c_str());
    std::printf("fuzz: %lld cases of file_read against the model, %d disagreed\n",
                static_cast<long long>(last - first), disagreed);
}
