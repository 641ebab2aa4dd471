// What the loaders refuse: each rule with the case that decided it (a file of the valid set
// with one field changed, which made Wine's decoder or player crash, hang or leak), and the
// line a refusal sends to the debugger output, caught as a debugger would see it.
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "runtime/core/core_internal.h"
#include "runtime/draw/draw_internal.h"
#include "tests/faults/faults.h"

namespace {

void put(std::string& bytes, size_t at, uint32_t value, size_t width = 4) {
    for (size_t i = 0; i < width && at + i < bytes.size(); ++i) {
        bytes[at + i] = static_cast<char>(value >> (8 * i));
    }
}

// The offset of the first record of a type in a metafile.
size_t record_at(const std::string& bytes, uint32_t type) {
    size_t at = 0;
    for (uint32_t found = 0, length = 8; at + 8 <= bytes.size() && length >= 8; at += length) {
        std::memcpy(&found, bytes.data() + at, 4);
        std::memcpy(&length, bytes.data() + at + 4, 4);
        if (found == type) {
            return at;
        }
    }
    ADD_FAILURE() << "no record of type " << type;
    return at;
}

// What the debugger receives: OutputDebugStringA raises DBG_PRINTEXCEPTION_C with the text,
// which a vectored handler sees first.
std::vector<std::string> debugger_lines;
LONG CALLBACK catch_debugger_line(EXCEPTION_POINTERS* exception) {
    const EXCEPTION_RECORD* record = exception->ExceptionRecord;
    if (record->ExceptionCode == DBG_PRINTEXCEPTION_C && record->NumberParameters >= 2) {
        debugger_lines.emplace_back(reinterpret_cast<const char*>(record->ExceptionInformation[1]),
                                    record->ExceptionInformation[0] - 1);
    }
    return EXCEPTION_CONTINUE_SEARCH;
}

} // namespace

// The checks are asked directly, so that a rule gone missing fails here instead of crashing
// or hanging the platform's decoder.
TEST(Refusals, EachRuleWithTheCaseThatDecidedIt) {
    const auto field = [](size_t at, uint32_t value, size_t width = 4) {
        return [=](std::string& b) { put(b, at, value, width); };
    };
    const auto record = [](uint32_t type, size_t at, uint32_t value) {
        return [=](std::string& b) { put(b, record_at(b, type) + at, value); };
    };
    const auto sof = [](const std::string& b) { // a JPEG's frame header, baseline or progressive
        return std::min(b.find("\xFF\xC0"), b.find("\xFF\xC2"));
    };
    const auto frame = [=](uint32_t side) { // its height and width, big-endian
        return [=](std::string& b) {
            const size_t at = sof(b) + 5;
            b[at] = b[at + 2] = static_cast<char>(side >> 8);
            b[at + 1] = b[at + 3] = static_cast<char>(side);
        };
    };
    const auto before_frame = [=](uint32_t side, std::string bytes) { // put before its marker
        return [=](std::string& b) { frame(side)(b), b.insert(sof(b), bytes); };
    };
    const struct {
        const char* file;
        const char* (*check)(const uint8_t*, SIZE_T);
        std::function<void(std::string&)> damage;
        const char* reason;
    } rules[] = {
        // LoadImageA faulted on damaged bmp 40 (pixel offset 0xFFFFFFFF); the picture
        // decoder read the rows of a bitmap 5,000 bytes past its end, also wrapped in "lt".
        {"bitmap-40-24.bmp", bitmap_file_fault, field(10, 0xFFFFFFFF),
         "pixel rows past the end of the file"},
        {"bitmap-40-24-top-down.bmp", picture_fault, field(10, 5000),
         "pixel rows past the end of the file"},
        {"bitmap-40-24.bmp", picture_fault,
         [](std::string& b) { b = std::string("lt\0\0\x3E\0\0\0", 8) + b; },
         "pixel rows past the end of the file"},
        // The picture decoder faulted on 65,535 entries, damaged ico 75 (image offset
        // 0xFFFFFFFF), damaged cur 80 (width 0, a division by zero) and ico 123 (rows).
        {"icon-16-and-256-png.ico", picture_fault, field(4, 0xFFFF, 2),
         "icon directory past the end of the file"},
        {"icon-32.ico", picture_fault, field(18, 0xFFFFFFFF),
         "icon image past the end of the file"},
        {"cursor-two.cur", picture_fault, field(38 + 4, 0),
         "icon image without a width or a height"},
        {"icon-32.ico", picture_fault, field(22 + 8, 0x20000040),
         "icon image rows past the end of its entry"},
        // Wine keeps the whole decoded picture of an icon's PNG that does not decode whole
        // (16 MB a load at 2,000 x 2,000): its checksum wrong, or its rows cut short.
        {"icon-png.ico", icon_file_fault, [](std::string& b) { put(b, b.find("IEND") - 12, 0); },
         "PNG image data that does not decode to the whole image"},
        {"icon-png.ico", picture_fault, field(22 + 23, 65, 1),
         "PNG image data that does not decode to the whole image"},
        // Wine played damaged emf 73 (a record of size 0) for ever, faulted on a text of
        // 100,000 characters in a 96-byte record and a polyline of 10,000,000 points in 24
        // bytes, and hung on an ellipse 2^21 pixels across (and faulted on an arc as large).
        {"metafile-text-and-bitmap.emf", metafile_fault, record(EMR_EXTTEXTOUTW, 4, 0),
         "a record of size 0"},
        {"metafile-text-and-bitmap.emf", picture_fault, record(EMR_EXTTEXTOUTW, 44, 100000),
         "points or text outside their record"},
        {"metafile-long-polyline.emf", metafile_fault, record(EMR_POLYLINE16, 24, 10000000),
         "points or text outside their record"},
        {"metafile-long-polyline.emf", metafile_fault, record(EMR_ELLIPSE, 16, 1 << 21),
         "a curve too large to draw"},
        {"metafile-far-coordinates.emf", metafile_fault, record(EMR_SETVIEWPORTEXTEX, 8, 7000000),
         "a curve too large to draw"},
        // Wine's GIF decoder kept 25 KB of each: code size 9, a height of 26 over 13 rows'
        // data, a height of 0, a block 0x99, the data cut short.
        {"gif-87a.gif", gif_fault, field(71, 9, 1), "LZW code size 0 or above 8"},
        {"gif-87a.gif", gif_fault, field(68, 26, 2), "image data ends before the image"},
        {"gif-87a.gif", gif_fault, field(68, 0, 2), "an image with a width but no height"},
        {"gif-87a.gif", gif_fault, [](std::string& b) { b.back() = '\x99'; },
         "a block of no known kind"},
        {"gif-87a.gif", gif_fault, [](std::string& b) { b.resize(b.size() - 9); },
         "blocks past the end of the file"},
        // 11,586 x 11,586 decodes to just over 512 MB, 11,585 x 11,585 to just under. Wine
        // finds the frame past fill bytes, a restart marker and stray bytes (32,768 x 32,768
        // so found ended the process).
        {"jpeg-baseline-grey.jpg", jpeg_fault, frame(11586),
         "a frame that decodes to more than 512 MB"},
        {"jpeg-baseline-grey.jpg", jpeg_fault, frame(11585), nullptr},
        {"jpeg-baseline-grey.jpg", picture_fault, before_frame(32768, "\xFF\xFF"),
         "a frame that decodes to more than 512 MB"},
        {"jpeg-progressive-444.jpg", jpeg_fault, before_frame(11586, "\xFF\xD0\x7F"),
         "a frame that decodes to more than 512 MB"},
    };
    std::map<std::string, std::string> files = valid_files();
    for (const auto& rule : rules) {
        std::string bytes = files[rule.file];
        const auto check = [&] {
            return rule.check(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
        };
        EXPECT_EQ(check(), nullptr) << rule.file << " as made";
        rule.damage(bytes);
        EXPECT_STREQ(check(), rule.reason) << rule.file;
    }
}

// Each row of a bitmap's pixels takes a whole number of 4-byte words: a file that ends
// inside the last row's padding is short of its rows, whichever way up and however deep.
TEST(Refusals, BitmapRowsCountTheirPadding) {
    const struct {
        const char* file; // 13 pixels a row
        size_t padding;   // bytes of padding a row: 13 x 24 bits in 40 bytes, 13 x 8 in 16...
    } files[] = {
        {"bitmap-40-24.bmp", 1},  {"bitmap-40-24-top-down.bmp", 1},
        {"bitmap-40-8.bmp", 3},   {"bitmap-40-1.bmp", 2},
        {"bitmap-core-4.bmp", 1}, {"bitmap-v5-bitfields-16.bmp", 2},
    };
    std::map<std::string, std::string> valid = valid_files();
    for (const auto& f : files) {
        const std::string& bytes = valid[f.file];
        ASSERT_FALSE(bytes.empty()) << f.file;
        for (size_t cut = 0; cut <= f.padding; ++cut) {
            const auto* data = reinterpret_cast<const uint8_t*>(bytes.data());
            const char* want = cut == 0 ? nullptr : "pixel rows past the end of the file";
            EXPECT_STREQ(bitmap_file_fault(data, bytes.size() - cut), want)
                << f.file << ", " << cut;
            EXPECT_STREQ(picture_fault(data, bytes.size() - cut), want) << f.file << ", " << cut;
        }
    }
}

// A refused file gives 0 and one line on the debugger output that names it and the rule;
// a refused wave never reaches the player (a counting one here).
TEST(Refusals, AreNamedOnTheDebuggerOutput) {
    std::map<std::string, std::string> files = valid_files();
    const std::string folder = faults_folder("refused");
    const std::string bitmap_path = folder + "sprite.bmp", wave_path = folder + "shot.wav";
    std::string bitmap = files["bitmap-40-24.bmp"], wave = files["wave-16-stereo.wav"];
    put(bitmap, 10, 5000); // the rows 5,000 bytes in, past the end
    put(wave, 32, 0, 2);   // no block size
    faults_write(bitmap_path, bitmap), faults_write(wave_path, wave);
    const std::string cut = files["wave-list-before-format.wav"].substr(0, 60); // format cut
    void* block = ::GlobalAlloc(GMEM_FIXED, cut.size());
    std::memcpy(block, cut.data(), cut.size());
    static int32_t played = 0;
    play_wave_set_player([](const char*, HMODULE, DWORD) { return ++played, TRUE; });
    PVOID handler = ::AddVectoredExceptionHandler(1, catch_debugger_line);
    debugger_lines.clear();
    EXPECT_EQ(image_load(bitmap_path.c_str(), TAG_STRING, IMAGE_PICTURE), 0u);
    EXPECT_EQ(image_load(bitmap_path.c_str(), TAG_STRING, IMAGE_BITMAP_KIND), 0u);
    EXPECT_EQ(play_wave(wave_path.c_str(), TAG_STRING, 1), 0);
    EXPECT_EQ(play_wave(&block, TAG_BLOCK, 1), 0);
    ::RemoveVectoredExceptionHandler(handler);
    play_wave_set_player(nullptr);
    EXPECT_EQ(played, 0);
    const std::string rows = " refused: pixel rows past the end of the file";
    EXPECT_EQ(debugger_lines,
              (std::vector<std::string>{
                  "image_load: " + bitmap_path + rows, "image_load: " + bitmap_path + rows,
                  "play_wave: " + wave_path + " refused: a format with no block size",
                  "play_wave: a wave in memory refused: chunks past the end of the wave"}));
    ::GlobalFree(block);
    faults_remove_folder(folder);
}

// Waves are followed chunk by chunk as Wine's player follows them: from memory every chunk it
// walks must lie in the block; from a file only sizes of 2 GB and more, and walks that go
// round, are refused, and what the player refuses itself reaches it.
TEST(Refusals, WavesAsThePlayerWalksThem) {
    std::map<std::string, std::string> files = valid_files();
    const std::string& plain = files["wave-16-stereo.wav"];        // fmt at 12, data at 36
    const std::string list = files["wave-list-before-format.wav"]; // LIST at 12, fmt at 38
    const struct {
        std::string wave;
        bool memory;
        const char* reason; // null: handed to the player
    } cases[] = {
        {plain.substr(0, 100), true, "chunks past the end of the wave"},
        {plain.substr(0, 100), false, nullptr},
        {list.substr(0, 16) + std::string("\xA0\x86\x01\x00", 4) + list.substr(20), true,
         "chunks past the end of the wave"},
        {list.substr(0, 16) + std::string("\xF8\xFF\xFF\xFF", 4) + list.substr(20), false,
         "a chunk size that leads back to an earlier chunk"},
        {plain.substr(0, 40) + std::string("\x00\x00\x00\x80", 4) + plain.substr(44), false,
         "a chunk of 2 GB or more"},
        {plain.substr(0, 22) + std::string(2, '\0') + plain.substr(24), true,
         "a format with no channels"},
        {plain.substr(0, 24) + std::string("\x80\x1A\x06\x00", 4) + plain.substr(28), false,
         "more than 384,000 samples a second"},
        {plain.substr(0, 4) + std::string("\xFF\xFF\xFF\xFF", 4) + plain.substr(8), true, nullptr},
    };
    static std::string reason;
    static int32_t played = 0;
    play_wave_set_player([](const char*, HMODULE, DWORD) { return ++played, TRUE; });
    debug_message_set_listener([](const char* text) {
        reason =
            std::strstr(text, "refused: ") != nullptr ? std::strstr(text, "refused: ") + 9 : text;
    });
    const std::string path = faults_folder("waves") + "wave.wav";
    for (const auto& c : cases) {
        played = 0, reason.clear();
        void* block = ::GlobalAlloc(GMEM_FIXED, c.wave.size());
        std::memcpy(block, c.wave.data(), c.wave.size());
        faults_write(path, c.wave);
        const int32_t result =
            c.memory ? play_wave(&block, TAG_BLOCK, 0) : play_wave(path.c_str(), TAG_STRING, 0);
        EXPECT_EQ(result, c.reason == nullptr ? 1 : 0) << (c.reason ? c.reason : "played");
        EXPECT_EQ(reason, c.reason != nullptr ? c.reason : "");
        ::GlobalFree(block);
    }
    play_wave_set_player(nullptr);
    debug_message_set_listener(nullptr);
    faults_remove_folder(path.substr(0, path.rfind('\\') + 1));
}
