// Tests of file variables: opening by mode, line, number and byte reads, closing, and
// the reports for wrong file variables (answered by a recording responder).
#include <gtest/gtest.h>

#include <cfloat>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "runtime/core/core_internal.h"
#include "tests/support/test_support.h"

namespace {

std::string file_bytes(const std::string& path) {
    HANDLE file = ::CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return "<missing>";
    }
    std::string bytes;
    char buffer[65536];
    DWORD got = 0;
    while (::ReadFile(file, buffer, sizeof buffer, &got, nullptr) && got > 0) {
        bytes.append(buffer, got);
    }
    ::CloseHandle(file);
    return bytes;
}

// Read every line of a text file with a given capacity.
std::vector<std::string> read_lines(const std::string& path, uint32_t capacity) {
    std::vector<std::string> lines;
    HANDLE file = nullptr;
    EXPECT_EQ(file_open(&file, TAG_TEXT_FILE, path.c_str(), "R"), 0);
    std::vector<char> line(capacity + 8, '#');
    for (int guard = 0; guard < 1000; guard++) {
        if (file_read(&file, TAG_TEXT_FILE, line.data(), TAG_STRING, capacity) != 0) {
            EXPECT_EQ(line[0], '\0') << "end of file leaves the destination empty";
            break;
        }
        EXPECT_EQ(line[capacity], '#') << "written past the capacity";
        lines.emplace_back(line.data());
    }
    file_close(&file, TAG_TEXT_FILE);
    return lines;
}

struct BoxCall {
    std::string text;
    std::string caption;
    uint32_t style;
};
std::vector<BoxCall> box_calls;

int32_t record_box(HWND, const char* text, const char* caption, uint32_t style) {
    box_calls.push_back({text, caption, style});
    return IDOK;
}

} // namespace

TEST(Files, OpenModes) {
    std::string path = temp_file("modes.txt");
    ::DeleteFileA(path.c_str());

    HANDLE file = nullptr;
    EXPECT_EQ(file_open(&file, TAG_TEXT_FILE, path.c_str(), "R"), 1);
    EXPECT_EQ(file, nullptr);
    EXPECT_EQ(file_open(&file, TAG_BINARY_FILE, path.c_str(), "r+"), 1);
    EXPECT_EQ(file, nullptr);

    ASSERT_EQ(file_open(&file, TAG_TEXT_FILE, path.c_str(), "W"), 0);
    ASSERT_NE(file, nullptr);
    EXPECT_EQ(file_close(&file, TAG_TEXT_FILE), 0);
    EXPECT_EQ(file, nullptr);
    EXPECT_EQ(file_bytes(path), "");

    write_file(path, "abc");
    ASSERT_EQ(file_open(&file, TAG_TEXT_FILE, path.c_str(), "a"), 0);
    DWORD written = 0;
    ::WriteFile(file, "de", 2, &written, nullptr);
    file_close(&file, TAG_TEXT_FILE);
    EXPECT_EQ(file_bytes(path), "abcde");

    // "A" also creates a missing file.
    ::DeleteFileA(path.c_str());
    ASSERT_EQ(file_open(&file, TAG_BINARY_FILE, path.c_str(), "A"), 0);
    file_close(&file, TAG_BINARY_FILE);
    EXPECT_EQ(file_bytes(path), "");

    // "R+" is for binary file variables only; unknown modes are refused.
    write_file(path, "xyz");
    EXPECT_EQ(file_open(&file, TAG_TEXT_FILE, path.c_str(), "R+"), 1);
    EXPECT_EQ(file, nullptr);
    for (const char* mode : {"", "RW", "rb", "R +", "x"}) {
        EXPECT_EQ(file_open(&file, TAG_BINARY_FILE, path.c_str(), mode), 1) << mode;
        EXPECT_EQ(file, nullptr) << mode;
    }
    ASSERT_EQ(file_open(&file, TAG_BINARY_FILE, path.c_str(), "R+"), 0);
    ::WriteFile(file, "Q", 1, &written, nullptr);
    file_close(&file, TAG_BINARY_FILE);
    EXPECT_EQ(file_bytes(path), "Qyz");

    // "W" empties an existing file.
    ASSERT_EQ(file_open(&file, TAG_TEXT_FILE, path.c_str(), "w"), 0);
    file_close(&file, TAG_TEXT_FILE);
    EXPECT_EQ(file_bytes(path), "");
    ::DeleteFileA(path.c_str());
}

TEST(Files, ARefusedOpenLeavesThePlatformsReason) {
    const std::string held = temp_file("held.txt"), read_only = temp_file("read-only.txt");
    write_file(held, "x");
    write_file(read_only, "y");
    ::SetFileAttributesA(read_only.c_str(), FILE_ATTRIBUTE_READONLY);
    HANDLE holder =
        ::CreateFileA(held.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    const struct {
        std::string name;
        const char* mode;
        DWORD error;
    } rows[] = {
        {temp_file("missing.txt"), "R", ERROR_FILE_NOT_FOUND},
        {temp_file("no folder\\missing.txt"), "R", ERROR_PATH_NOT_FOUND},
        {held, "R", ERROR_SHARING_VIOLATION},
        {read_only, "W", ERROR_ACCESS_DENIED}, // refused by the runtime itself
        {held, "RW", ERROR_INVALID_PARAMETER},
    };
    for (const auto& row : rows) {
        HANDLE file = nullptr;
        ::SetLastError(0);
        EXPECT_EQ(file_open(&file, TAG_BINARY_FILE, row.name.c_str(), row.mode), 1) << row.name;
        EXPECT_EQ(::GetLastError(), row.error) << row.name << " " << row.mode;
    }
    ::CloseHandle(holder);
    ::SetFileAttributesA(read_only.c_str(), FILE_ATTRIBUTE_NORMAL);
    ::DeleteFileA(read_only.c_str());
    ::DeleteFileA(held.c_str());
}

TEST(Files, WrongFileVariablesAreReported) {
    std::string path = temp_file("wrong.txt");
    write_file(path, "x");
    box_calls.clear();
    message_box_set_responder(record_box);
    HANDLE file = nullptr;
    EXPECT_EQ(file_open(&file, TAG_STRING, path.c_str(), "R"), 1);
    EXPECT_EQ(file, nullptr);
    EXPECT_EQ(file_close(&file, TAG_BLOCK), 0);
    EXPECT_EQ(file_close(&file, TAG_TEXT_FILE), 0); // a closed variable is left alone
    message_box_set_responder(nullptr);
    ASSERT_EQ(box_calls.size(), 2u);
    EXPECT_EQ(box_calls[0].text, "Runtime error (OPENFILE): file variable expected");
    EXPECT_EQ(box_calls[1].text, "Runtime Error: Invalid file variable");
    for (const BoxCall& call : box_calls) {
        EXPECT_EQ(call.caption, "Error");
        EXPECT_EQ(call.style, 0x30u);
    }
    ::DeleteFileA(path.c_str());
}

TEST(Files, LineEnds) {
    // Each line read starts a fresh 128-byte chunk: both CRs below are a chunk's last
    // byte, the first followed by an LF, the second by an ordinary character.
    std::string chunk_cr = std::string(127, 'x') + "\r\n" + std::string(127, 'y') + "\rlast";
    struct Case {
        const char* name;
        std::string bytes;
        std::vector<std::string> lines;
    } cases[] = {
        {"lf", "one\ntwo\n\nfour", {"one", "two", "", "four"}},
        {"crlf", "one\r\ntwo\r\n\r\nfour\r\n", {"one", "two", "", "four"}},
        {"lone cr", "one\rtwo\r\rfour\r", {"one", "two", "", "four"}},
        {"mixed", "a\r\n\nb\rc\n", {"a", "", "b", "c"}},
        {"cr at chunk end", chunk_cr, {std::string(127, 'x'), std::string(127, 'y'), "last"}},
        {"empty", "", {}},
    };
    std::string path = temp_file("lines.txt");
    for (const Case& c : cases) {
        write_file(path, c.bytes);
        EXPECT_EQ(read_lines(path, 300), c.lines) << c.name;
    }
    ::DeleteFileA(path.c_str());
}

TEST(Files, LongLinesAreSplitByCapacity) {
    std::string path = temp_file("long.txt");
    write_file(path, "abcdefghij\nxyz\r\n1234\n");
    // Capacity 5 holds four characters and the terminator; nothing is lost.
    std::vector<std::string> expected = {"abcd", "efgh", "ij", "xyz", "1234"};
    EXPECT_EQ(read_lines(path, 5), expected);

    // Count 1 holds no character; count 0 is a string variable of the usual 255
    // characters and terminator.
    write_file(path, std::string(300, 'L') + "\nend\n");
    HANDLE file = nullptr;
    ASSERT_EQ(file_open(&file, TAG_TEXT_FILE, path.c_str(), "R"), 0);
    std::vector<char> line(256 + 8, '#');
    EXPECT_EQ(file_read(&file, TAG_TEXT_FILE, line.data(), TAG_STRING, 1), -1);
    EXPECT_EQ(line[0], '#');
    const std::string parts[] = {std::string(255, 'L'), std::string(45, 'L'), "end"};
    for (const std::string& part : parts) {
        EXPECT_EQ(file_read(&file, TAG_TEXT_FILE, line.data(), TAG_STRING, 0), 0);
        EXPECT_EQ(std::string(line.data()), part);
        EXPECT_EQ(line[256], '#') << "written past 256 bytes";
    }
    EXPECT_EQ(file_read(&file, TAG_TEXT_FILE, line.data(), TAG_STRING, 0), -1);
    file_close(&file, TAG_TEXT_FILE);
    ::DeleteFileA(path.c_str());
}

// The bytes a value of type T leaves in memory.
template <typename T> std::string bytes_of(T value) {
    return std::string(reinterpret_cast<const char*>(&value), sizeof value);
}

TEST(Files, NumbersRoundToEvenAndClampAtTheLimits) {
    struct Case {
        const char* text;
        int32_t code;
        std::string stored; // the destination's bytes afterwards
    } cases[] = {
        {"abc -12.5;", TYPE_DOUBLE, bytes_of(-12.5)},
        {"x 0.25", TYPE_SINGLE, bytes_of(0.25f)},
        {"7.5", TYPE_INT, bytes_of(int32_t{8})},
        {"2.5", TYPE_INT, bytes_of(int32_t{2})}, // ties go to the even neighbour
        {"3.5", TYPE_UINT, bytes_of(uint32_t{4})},
        {"-2.5", TYPE_BYTE, bytes_of(int8_t{-2})},
        {"-3.5", TYPE_WORD, bytes_of(int16_t{-4})},
        {"0.5", 31, bytes_of(int8_t{0})},
        {"300", 30, bytes_of(int16_t{300})},
        {"1234567890123", TYPE_INT64, bytes_of(int64_t{1234567890123})},
        {"9210000000000000000", TYPE_INT64, bytes_of(int64_t{9210000000000000000})},
        {"9300000000000000000", TYPE_INT64, bytes_of(INT64_MAX)},
        {"-9300000000000000000", TYPE_INT64, bytes_of(INT64_MIN)},
        {"-12.5", TYPE_INT64, bytes_of(int64_t{-12})},
        {"9300000000000000000", TYPE_UINT64, bytes_of(uint64_t{9300000000000000000u})},
        {"18000000000000000000", TYPE_UINT64, bytes_of(uint64_t{18000000000000000000u})},
        {"20000000000000000000", TYPE_UINT64, bytes_of(UINT64_MAX)},
        {"-7", TYPE_UINT64, bytes_of(uint64_t{0})},
        {"400000000000000000000000000000000000000", TYPE_SINGLE, bytes_of(FLT_MAX)},
        {"-400000000000000000000000000000000000000", TYPE_SINGLE, bytes_of(-FLT_MAX)},
    };
    std::string path = temp_file("numbers.txt");
    for (const Case& c : cases) {
        write_file(path, c.text);
        HANDLE file = nullptr;
        ASSERT_EQ(file_open(&file, TAG_TEXT_FILE, path.c_str(), "r"), 0);
        char destination[16];
        std::memset(destination, 0x5A, sizeof destination);
        EXPECT_EQ(file_read(&file, TAG_TEXT_FILE, destination, type_tag(c.code), 0), 0) << c.text;
        EXPECT_EQ(std::string(destination, c.stored.size()), c.stored)
            << c.text << " into code " << c.code;
        EXPECT_EQ(destination[c.stored.size()], 0x5A) << c.text << ": written past the value";
        EXPECT_EQ(file_read(&file, TAG_TEXT_FILE, destination, type_tag(c.code), 0), -1);
        file_close(&file, TAG_TEXT_FILE);
    }
    ::DeleteFileA(path.c_str());
}

TEST(Files, BinaryReads) {
    std::string path = temp_file("bytes.bin");
    write_file(path, std::string("\x01\x02\x03\x04\x05", 5));
    HANDLE file = nullptr;
    ASSERT_EQ(file_open(&file, TAG_BINARY_FILE, path.c_str(), "R"), 0);
    unsigned char direct[3] = {};
    EXPECT_EQ(file_read(&file, TAG_BINARY_FILE, direct, type_tag(TYPE_RAW), 3), 0);
    EXPECT_EQ(direct[2], 3);
    void* block = ::GlobalAlloc(GPTR, 8);
    EXPECT_EQ(file_read(&file, TAG_BINARY_FILE, &block, TAG_BLOCK, 8), 0);
    EXPECT_EQ(static_cast<unsigned char*>(block)[1], 5);
    EXPECT_EQ(file_read(&file, TAG_BINARY_FILE, &block, TAG_BLOCK, 8), -1);
    ::GlobalFree(block);
    file_close(&file, TAG_BINARY_FILE);
    EXPECT_EQ(file_read(&file, TAG_BINARY_FILE, direct, type_tag(TYPE_RAW), 3), -1);

    // A block receives no more than it holds; the rest stays for the next read.
    ASSERT_EQ(file_open(&file, TAG_BINARY_FILE, path.c_str(), "R"), 0);
    void* small = ::GlobalAlloc(GPTR, 2);
    ASSERT_EQ(::GlobalSize(small), 2u);
    EXPECT_EQ(file_read(&file, TAG_BINARY_FILE, &small, TAG_BLOCK, 100), 0);
    unsigned char rest[8] = {};
    EXPECT_EQ(file_read(&file, TAG_BINARY_FILE, rest, type_tag(TYPE_RAW), 8), 0);
    EXPECT_EQ(rest[0], 3);
    ::GlobalFree(small);
    EXPECT_EQ(file_size(&file, TAG_BINARY_FILE), 5); // wherever the reads stand
    file_close(&file, TAG_BINARY_FILE);
    EXPECT_EQ(file_size(&file, TAG_BINARY_FILE), -1);
    EXPECT_EQ(file_size(&file, TAG_STRING), -1);
    ::DeleteFileA(path.c_str());
}

namespace {

// Every line of a file read whole with file_read_line, until it gives null.
std::vector<std::string> whole_lines(const std::string& path, TypeTag tag) {
    std::vector<std::string> lines;
    HANDLE file = nullptr;
    EXPECT_EQ(file_open(&file, tag, path.c_str(), "R"), 0);
    while (char* line = file_read_line(&file, tag)) {
        lines.emplace_back(line);
        heap_free(line);
    }
    file_close(&file, tag);
    return lines;
}

} // namespace

TEST(FileWriting, LinesOfEveryLengthAndEndReadBackWhole) {
    // Lengths on both sides of file_read's 128-byte chunk, and one far beyond any buffer.
    std::vector<std::string> lines;
    for (size_t length : {0, 1, 127, 128, 129, 100000}) {
        std::string line(length, 'a');
        for (size_t i = 0; i < length; i++) {
            line[i] = static_cast<char>('a' + i % 26);
        }
        lines.push_back(line);
    }
    std::string path = temp_file("written.txt");
    for (const char* end : {"\r", "\n", "\r\n"}) {
        HANDLE file = nullptr;
        ASSERT_EQ(file_open(&file, TAG_TEXT_FILE, path.c_str(), "W"), 0);
        std::string expected;
        for (const std::string& line : lines) {
            const int32_t length = static_cast<int32_t>(line.size());
            EXPECT_EQ(file_write(&file, TAG_TEXT_FILE, line.data(), length), length);
            EXPECT_EQ(file_write(&file, TAG_TEXT_FILE, end, static_cast<int32_t>(strlen(end))),
                      static_cast<int32_t>(strlen(end)));
            expected += line + end;
        }
        file_close(&file, TAG_TEXT_FILE);
        EXPECT_EQ(file_bytes(path), expected) << "ends " << static_cast<int>(end[0]);
        EXPECT_EQ(whole_lines(path, TAG_TEXT_FILE), lines) << "ends " << static_cast<int>(end[0]);
    }
    // file_write_line ends each line with CR LF; a last line without its end is a line too.
    HANDLE file = nullptr;
    ASSERT_EQ(file_open(&file, TAG_BINARY_FILE, path.c_str(), "W"), 0);
    for (const std::string& line : lines) {
        EXPECT_EQ(file_write_line(&file, TAG_BINARY_FILE, line.c_str()),
                  static_cast<int32_t>(line.size() + 2));
    }
    EXPECT_EQ(file_write(&file, TAG_BINARY_FILE, "tail", 4), 4);
    file_close(&file, TAG_BINARY_FILE);
    std::vector<std::string> with_tail = lines;
    with_tail.push_back("tail");
    EXPECT_EQ(whole_lines(path, TAG_BINARY_FILE), with_tail);
    ::DeleteFileA(path.c_str());
}

TEST(FileWriting, EachModeWritesWhereItShouldOrIsRefused) {
    struct Case {
        const char* mode;
        TypeTag tag;
        int32_t written; // file_write_line's result for "new"
        const char* after;
    } cases[] = {
        {"W", TAG_TEXT_FILE, 5, "new\r\n"},
        {"A", TAG_TEXT_FILE, 5, "old1\r\nold2\r\nnew\r\n"},
        {"a", TAG_BINARY_FILE, 5, "old1\r\nold2\r\nnew\r\n"},
        {"R+", TAG_BINARY_FILE, 5, "new\r\n\nold2\r\n"}, // over the start, the rest kept
        {"R", TAG_TEXT_FILE, -1, "old1\r\nold2\r\n"},    // read only: refused, file unchanged
    };
    std::string path = temp_file("modes_written.txt");
    for (const Case& c : cases) {
        write_file(path, "old1\r\nold2\r\n");
        HANDLE file = nullptr;
        ASSERT_EQ(file_open(&file, c.tag, path.c_str(), c.mode), 0) << c.mode;
        EXPECT_EQ(file_write_line(&file, c.tag, "new"), c.written) << c.mode;
        file_close(&file, c.tag);
        EXPECT_EQ(file_bytes(path), c.after) << c.mode;
    }
    // A read-only file is refused by every mode that writes, and keeps its bytes.
    write_file(path, "kept\n");
    ASSERT_TRUE(::SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_READONLY));
    for (const char* mode : {"W", "A", "R+"}) {
        HANDLE file = nullptr;
        EXPECT_EQ(file_open(&file, TAG_BINARY_FILE, path.c_str(), mode), 1) << mode;
        EXPECT_EQ(file, nullptr) << mode;
    }
    EXPECT_EQ(file_bytes(path), "kept\n");
    ::SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);

    // Refusals write nothing: a closed variable, a wrong tag, a negative length, no text.
    HANDLE file = nullptr;
    EXPECT_EQ(file_write(&file, TAG_TEXT_FILE, "x", 1), -1);
    ASSERT_EQ(file_open(&file, TAG_TEXT_FILE, path.c_str(), "W"), 0);
    EXPECT_EQ(file_write(&file, TAG_STRING, "x", 1), -1);
    EXPECT_EQ(file_write(&file, TAG_TEXT_FILE, "x", -1), -1);
    EXPECT_EQ(file_write_line(&file, TAG_TEXT_FILE, nullptr), -1);
    EXPECT_EQ(file_write(&file, TAG_TEXT_FILE, nullptr, 0), 0);
    file_close(&file, TAG_TEXT_FILE);
    EXPECT_EQ(file_bytes(path), "");
    ::DeleteFileA(path.c_str());
}

// A write that fills the disk gives -1 and leaves the file as it was, ready for the next
// write. The disk is a 16 KB volume that ./test makes where it may (as root); without one
// the test is skipped.
TEST(FileWriting, AWriteThatFillsTheDiskLeavesTheFileAsItWas) {
    const char* folder = std::getenv("TARROWIND_FULL_DISK");
    if (folder == nullptr || folder[0] == '\0') {
        GTEST_SKIP() << "no small volume to fill (TARROWIND_FULL_DISK)";
    }
    const std::string path = std::string("Z:") + folder + "/full.txt";
    write_file(path, "keep\r\n");
    const std::string big(64 * 1024, 'x');
    HANDLE file = nullptr;
    ASSERT_EQ(file_open(&file, TAG_TEXT_FILE, path.c_str(), "A"), 0);
    EXPECT_EQ(file_write_line(&file, TAG_TEXT_FILE, big.c_str()), -1);
    EXPECT_EQ(file_write(&file, TAG_TEXT_FILE, big.data(), static_cast<int32_t>(big.size())), -1);
    EXPECT_EQ(file_write_line(&file, TAG_TEXT_FILE, "next"), 6);
    file_close(&file, TAG_TEXT_FILE);
    EXPECT_EQ(file_bytes(path), "keep\r\nnext\r\n");
    ::DeleteFileA(path.c_str());
}

TEST(FileWriting, ByteOrderMarkIsSkippedAtTheStartOnly) {
    const std::string mark = "\xEF\xBB\xBF";
    struct Case {
        const char* name;
        std::string bytes;
        std::vector<std::string> lines;
    } cases[] = {
        {"mark", mark + "first\nsecond\n", {"first", "second"}},
        {"mark alone", mark, {}},
        {"mark then empty line", mark + "\r\nx", {"", "x"}},
        {"mark inside", "a\n" + mark + "b", {"a", mark + "b"}},
        {"part of a mark", "\xEF\xBBz\n", {"\xEF\xBBz"}},
    };
    std::string path = temp_file("mark.txt");
    for (const Case& c : cases) {
        write_file(path, c.bytes);
        EXPECT_EQ(whole_lines(path, TAG_TEXT_FILE), c.lines) << c.name;
        EXPECT_EQ(read_lines(path, 300), c.lines) << c.name << " through file_read";
    }
    ::DeleteFileA(path.c_str());
}

TEST(FileWriting, NamesInTheCodePageReachThePlatformAsTheyAre) {
    // Whichever of these the process's code page can write: the file on disk has the name.
    const wchar_t* names[] = {L"caf\u00e9 \u00fc", L"\u03b1\u03b2\u03b3 \u0436", L"\u4e2d\u6587"};
    wchar_t folder[MAX_PATH];
    ::GetTempPathW(MAX_PATH, folder);
    int tried = 0;
    for (const wchar_t* name : names) {
        std::wstring wide = std::wstring(folder) + L"tarrowind_" + name + L".txt";
        char* ansi = wide_name_to_heap_ansi(wide.c_str(), -1);
        if (ansi == nullptr) {
            continue; // not in this code page
        }
        tried++;
        HANDLE file = nullptr;
        EXPECT_EQ(file_open(&file, TAG_TEXT_FILE, ansi, "W"), 0);
        EXPECT_EQ(file_write_line(&file, TAG_TEXT_FILE, "x"), 3);
        file_close(&file, TAG_TEXT_FILE);
        EXPECT_NE(::GetFileAttributesW(wide.c_str()), INVALID_FILE_ATTRIBUTES);
        EXPECT_TRUE(::DeleteFileW(wide.c_str()));
        heap_free(ansi);
    }
    EXPECT_GT(tried, 0);
    if (::GetACP() == CP_UTF8) {
        HANDLE file = nullptr; // bytes that are no UTF-8 name no file
        EXPECT_EQ(file_open(&file, TAG_TEXT_FILE, temp_file("bad\xFF.txt").c_str(), "W"), 1);
    }
}
