// Valid files always load: every file of the valid set (valid_files.cpp) loaded through the
// platform directly and through the runtime must come out the same, as the same kind of
// image at the same size, and every wave the platform's player plays must reach it. Then
// each refusal rule with the case that decided it, and the line a refusal sends to the
// debugger output (caught as the debugger would see it, from OutputDebugStringA).
#include <gtest/gtest.h>
#include <windows.h>

#include <mmsystem.h>
#include <ole2.h>
#include <olectl.h>

#include <cstdio>
#include <cstring>
#include <functional>
#include <ostream>
#include <string>
#include <vector>

#include "runtime/core/core_internal.h"
#include "runtime/draw/draw_internal.h"
#include "tests/faults/faults.h"

// ============================================================================
// Internal helpers
// ============================================================================

namespace {

struct Size {
    int32_t width, height;
    bool operator==(const Size&) const = default;
};
std::ostream& operator<<(std::ostream& out, const Size& size) {
    return out << size.width << " x " << size.height;
}

// The image kinds a file of the valid set is loaded as, by its extension.
std::vector<int32_t> kinds_of(const std::string& name) {
    const std::string extension = name.substr(name.rfind('.') + 1);
    return extension == "bmp"   ? std::vector<int32_t>{IMAGE_BITMAP_KIND, IMAGE_PICTURE}
           : extension == "ico" ? std::vector<int32_t>{IMAGE_ICON_KIND, IMAGE_PICTURE}
           : extension == "cur" ? std::vector<int32_t>{IMAGE_CURSOR_KIND, IMAGE_PICTURE}
           : extension == "emf" ? std::vector<int32_t>{IMAGE_METAFILE, IMAGE_PICTURE}
           : extension == "wav" ? std::vector<int32_t>{}
                                : std::vector<int32_t>{IMAGE_PICTURE};
}

Size icon_size(HICON icon) {
    ICONINFO info = {};
    BITMAP bitmap = {};
    if (!::GetIconInfo(icon, &info)) {
        return {0, 0};
    }
    ::GetObjectA(info.hbmColor != nullptr ? info.hbmColor : info.hbmMask, sizeof bitmap, &bitmap);
    for (HBITMAP made : {info.hbmColor, info.hbmMask}) {
        ::DeleteObject(made);
    }
    return {bitmap.bmWidth, info.hbmColor != nullptr ? bitmap.bmHeight : bitmap.bmHeight / 2};
}

// The size at which the platform itself loads a file as an image kind; 0 x 0 when it does not.
// A picture's is its HIMETRIC size at the screen's density, or an icon's own where its picture
// reports none.
Size platform_size(const std::string& path, const std::string& bytes, int32_t kind) {
    Size size = {0, 0};
    if (kind == IMAGE_BITMAP_KIND) {
        HANDLE bitmap = ::LoadImageA(nullptr, path.c_str(), IMAGE_BITMAP, 0, 0,
                                     LR_LOADFROMFILE | LR_CREATEDIBSECTION);
        BITMAP info = {};
        if (bitmap != nullptr && ::GetObjectA(bitmap, sizeof info, &info) != 0) {
            size = {info.bmWidth, info.bmHeight};
        }
        ::DeleteObject(bitmap);
    } else if (kind == IMAGE_ICON_KIND || kind == IMAGE_CURSOR_KIND) {
        HANDLE icon = ::LoadImageA(nullptr, path.c_str(), kind, 0, 0, LR_LOADFROMFILE);
        if (icon != nullptr) {
            size = icon_size(static_cast<HICON>(icon));
            ::DestroyIcon(static_cast<HICON>(icon));
        }
    } else if (kind == IMAGE_METAFILE) {
        HENHMETAFILE metafile = ::GetEnhMetaFileA(path.c_str());
        ENHMETAHEADER header = {};
        if (metafile != nullptr && ::GetEnhMetaFileHeader(metafile, sizeof header, &header)) {
            size = {header.rclBounds.right - header.rclBounds.left + 1,
                    header.rclBounds.bottom - header.rclBounds.top + 1};
        }
        ::DeleteEnhMetaFile(metafile);
    } else {
        HGLOBAL memory = ::GlobalAlloc(GMEM_MOVEABLE, bytes.size());
        std::memcpy(::GlobalLock(memory), bytes.data(), bytes.size());
        ::GlobalUnlock(memory);
        IStream* stream = nullptr;
        IPicture* picture = nullptr;
        ::CreateStreamOnHGlobal(memory, TRUE, &stream);
        if (SUCCEEDED(::OleLoadPicture(stream, static_cast<LONG>(bytes.size()), FALSE, IID_IPicture,
                                       reinterpret_cast<void**>(&picture)))) {
            OLE_XSIZE_HIMETRIC width = 0;
            OLE_YSIZE_HIMETRIC height = 0;
            OLE_HANDLE handle = 0;
            picture->get_Width(&width), picture->get_Height(&height), picture->get_Handle(&handle);
            HDC screen = ::GetDC(nullptr);
            size = {::MulDiv(width, ::GetDeviceCaps(screen, LOGPIXELSX), 2540),
                    ::MulDiv(height, ::GetDeviceCaps(screen, LOGPIXELSY), 2540)};
            ::ReleaseDC(nullptr, screen);
            SHORT type = 0;
            if (width == 0 && SUCCEEDED(picture->get_Type(&type)) && type == PICTYPE_ICON) {
                size = icon_size(reinterpret_cast<HICON>(static_cast<uintptr_t>(handle)));
            }
            picture->Release();
        }
        stream->Release();
    }
    return size;
}

Size runtime_size(const std::string& path, int32_t kind) {
    Size size = {0, 0};
    const ImageHandle image = image_load(path.c_str(), TAG_STRING, kind);
    image_size(image, kind, &size.width, &size.height);
    image_release(image, kind);
    return size;
}

// What the debugger output has received since the last look (OutputDebugStringA raises
// DBG_PRINTEXCEPTION_C with the text, which a vectored handler sees first).
std::vector<std::string> debugger_lines;
LONG CALLBACK catch_debugger_line(EXCEPTION_POINTERS* exception) {
    const EXCEPTION_RECORD* record = exception->ExceptionRecord;
    if (record->ExceptionCode == DBG_PRINTEXCEPTION_C && record->NumberParameters >= 2) {
        debugger_lines.emplace_back(reinterpret_cast<const char*>(record->ExceptionInformation[1]),
                                    record->ExceptionInformation[0] - 1);
    }
    return EXCEPTION_CONTINUE_SEARCH;
}

// A player in place of PlaySoundA that counts the sounds handed to it.
int32_t sounds_played = 0;
BOOL count_play(const char*, HMODULE, DWORD) {
    ++sounds_played;
    return TRUE;
}

// A wave in a block of global memory, as a program's memory-block variable holds it.
struct WaveBlock {
    void* block;
    explicit WaveBlock(const std::string& bytes) : block(::GlobalAlloc(GMEM_FIXED, bytes.size())) {
        std::memcpy(block, bytes.data(), bytes.size());
    }
    ~WaveBlock() { ::GlobalFree(block); }
};

// The offset of the first record of a type in a metafile.
size_t record_at(const std::string& bytes, uint32_t type) {
    for (size_t at = 0, length = 8; at + 8 <= bytes.size() && length >= 8; at += length) {
        uint32_t found = 0, size = 0;
        std::memcpy(&found, bytes.data() + at, 4);
        std::memcpy(&size, bytes.data() + at + 4, 4);
        if (found == type) {
            return at;
        }
        length = size;
    }
    ADD_FAILURE() << "no record of type " << type;
    return 0;
}

void put(std::string& bytes, size_t at, uint32_t value, size_t width = 4) {
    for (size_t i = 0; i < width; ++i) {
        bytes[at + i] = static_cast<char>(value >> (8 * i));
    }
}

const std::string& file_of(const std::vector<ValidFile>& files, const std::string& name) {
    for (const ValidFile& file : files) {
        if (file.name == name) {
            return file.bytes;
        }
    }
    ADD_FAILURE() << "no " << name << " in the valid set";
    static const std::string none;
    return none;
}

} // namespace

// ============================================================================
// Tests
// ============================================================================

TEST(ValidFiles, LoadAsThePlatformLoadsThem) {
    const std::string folder = faults_folder("valid");
    int32_t loads = 0, refused_by_platform = 0, waves = 0, waves_played = 0;
    play_wave_set_player(count_play);
    for (const ValidFile& file : valid_files()) {
        const std::string path = folder + file.name;
        ASSERT_TRUE(faults_write(path, file.bytes)) << path;
        for (int32_t kind : kinds_of(file.name)) {
            const Size platform = platform_size(path, file.bytes, kind);
            EXPECT_EQ(runtime_size(path, kind), platform) << file.name << " as kind " << kind;
            ++loads;
            refused_by_platform += platform == Size{0, 0} ? 1 : 0;
        }
        if (kinds_of(file.name).empty()) { // a wave the platform's player plays reaches it
            const WaveBlock wave(file.bytes);
            ++waves;
            if (::PlaySoundA(static_cast<const char*>(wave.block), nullptr,
                             SND_MEMORY | SND_SYNC | SND_NODEFAULT)) {
                ++waves_played;
                sounds_played = 0;
                play_wave(&wave.block, TAG_BLOCK, 0);
                play_wave(path.c_str(), TAG_STRING, 0);
                EXPECT_EQ(sounds_played, 2) << file.name << ": the platform's player plays it";
            }
        }
    }
    play_wave_set_player(nullptr);
    if (::waveOutGetNumDevs() > 0) {
        EXPECT_GT(waves_played, waves / 2) << "the platform's player played too few to compare";
    }
    std::printf("valid set: %d images compared (%d the platform does not load), %d of %d waves "
                "played by the platform\n",
                loads, refused_by_platform, waves_played, waves);
    faults_remove_folder(folder);
}

// Each rule that refuses a file, with the case that decided it: a valid file of the set with
// one field changed, and the reason the rule gives. The checks are asked directly, so that a
// rule that went missing fails here rather than crash or hang the platform's decoder.
TEST(ValidFiles, EachRefusalRuleWithTheCaseThatDecidedIt) {
    using Check = const char* (*)(const uint8_t*, SIZE_T);
    struct Rule {
        const char* file;
        Check check;
        std::function<void(std::string&)> damage;
        const char* reason;
    };
    const auto emf_record = [](uint32_t type, size_t field, uint32_t value) {
        return [=](std::string& b) { put(b, record_at(b, type) + field, value); };
    };
    const Rule rules[] = {
        // LoadImageA faulted on damaged bmp 40 (pixel offset 0xFFFFFFFF); the picture
        // decoder read the rows from past the file.
        {"bitmap-40-24.bmp", bitmap_file_fault, [](auto& b) { put(b, 10, 0xFFFFFFFF); },
         "pixel rows past the end of the file"},
        {"bitmap-40-24-top-down.bmp", picture_fault, [](auto& b) { put(b, 22, -5000); },
         "pixel rows past the end of the file"},
        {"bitmap-40-24.bmp", picture_fault,
         [](auto& b) { b = std::string("lt\0\0\0\0\0\0", 8) + b, put(b, 4, 62); },
         "pixel rows past the end of the file"},
        // The picture decoder faulted: 65,535 entries in 8 bytes, damaged ico 75 (offset
        // 0xFFFFFFFF), damaged cur 80 (width 0: a division by zero), damaged ico 123.
        {"icon-16-and-256-png.ico", picture_fault, [](auto& b) { put(b, 4, 0xFFFF, 2); },
         "icon directory past the end of the file"},
        {"icon-32.ico", picture_fault, [](auto& b) { put(b, 18, 0xFFFFFFFF); },
         "icon image past the end of the file"},
        {"cursor-two.cur", picture_fault, [](auto& b) { put(b, 38 + 4, 0); },
         "icon image without a width or a height"},
        {"icon-32.ico", picture_fault, [](auto& b) { put(b, 22 + 8, 0x20000040); },
         "icon image rows past the end of its entry"},
        // Wine played damaged emf 73 (a record of size 0) for ever, faulted on a text of
        // 100,000 characters in a 96-byte record and on a polyline of 10 million points, and
        // hung on an ellipse 2^21 pixels across (and faulted on an arc as large).
        {"metafile-text.emf", metafile_fault, emf_record(EMR_EXTTEXTOUTW, 4, 0),
         "a record of size 0"},
        {"metafile-text.emf", picture_fault, emf_record(EMR_EXTTEXTOUTW, 44, 100000),
         "points or text outside their record"},
        {"metafile-long-polyline.emf", metafile_fault, emf_record(EMR_POLYLINE16, 24, 10000000),
         "points or text outside their record"},
        {"metafile-long-polyline.emf", metafile_fault, emf_record(EMR_ELLIPSE, 16, 1 << 21),
         "a curve too large to draw"},
        {"metafile-far-coordinates.emf", metafile_fault,
         emf_record(EMR_SETVIEWPORTEXTEX, 8, 7000000), "a curve too large to draw"},
        // Wine's GIF decoder kept 25 KB of each: code size 9, a 21 x 26 image of 21 x 13
        // pixels' data, a block 0x99, the data cut short.
        {"gif-87a.gif", gif_fault, [](auto& b) { b[13 + 48 + 10] = 9; },
         "LZW code size 0 or above 8"},
        {"gif-87a.gif", gif_fault, [](auto& b) { put(b, 13 + 48 + 7, 26, 2); },
         "image data ends before the image"},
        {"gif-87a.gif", gif_fault, [](auto& b) { b.back() = '\x99'; }, "a block of no known kind"},
        {"gif-87a.gif", gif_fault, [](auto& b) { b.resize(b.size() - 9); },
         "blocks past the end of the file"},
        // 11,586 x 11,586 decodes to just over 512 MB; 11,585 x 11,585 (below) to just under.
        {"jpeg-baseline-grey.jpg", jpeg_fault,
         [](auto& b) { put(b, b.find("\xFF\xC0") + 5, 0x422D422D); },
         "a frame that decodes to more than 512 MB"},
        {"jpeg-baseline-grey.jpg", jpeg_fault,
         [](auto& b) { put(b, b.find("\xFF\xC0") + 5, 0x412D412D); }, nullptr},
    };
    const std::vector<ValidFile> files = valid_files();
    for (const Rule& rule : rules) {
        std::string bytes = file_of(files, rule.file);
        const auto* data = reinterpret_cast<const uint8_t*>(bytes.data());
        EXPECT_EQ(rule.check(data, bytes.size()), nullptr) << rule.file << " as made";
        rule.damage(bytes);
        data = reinterpret_cast<const uint8_t*>(bytes.data());
        const char* reason = rule.check(data, bytes.size());
        EXPECT_STREQ(reason, rule.reason) << rule.file;
    }
}

// A refused file gives 0 and one line on the debugger output that names it and the rule.
TEST(ValidFiles, RefusalsAreNamedOnTheDebuggerOutput) {
    const std::vector<ValidFile> files = valid_files();
    const std::string folder = faults_folder("refused");
    std::string bitmap = file_of(files, "bitmap-40-24.bmp");
    put(bitmap, 10, 5000); // the pixel rows 5,000 bytes in, past the end: fault 2 of the issue
    std::string wave = file_of(files, "wave-16-stereo.wav");
    put(wave, 16 + 4 * 4, 0, 2); // no block size
    const std::string bitmap_path = folder + "sprite.bmp", wave_path = folder + "shot.wav";
    faults_write(bitmap_path, bitmap);
    faults_write(wave_path, wave);
    const WaveBlock block(file_of(files, "wave-list-before-format.wav").substr(0, 60));
    debugger_lines.clear();
    PVOID handler = ::AddVectoredExceptionHandler(1, catch_debugger_line);
    play_wave_set_player(count_play);
    sounds_played = 0;
    EXPECT_EQ(image_load(bitmap_path.c_str(), TAG_STRING, IMAGE_PICTURE), 0u);
    EXPECT_EQ(image_load(bitmap_path.c_str(), TAG_STRING, IMAGE_BITMAP_KIND), 0u);
    EXPECT_EQ(play_wave(wave_path.c_str(), TAG_STRING, 1), 0);
    EXPECT_EQ(play_wave(&block.block, TAG_BLOCK, 1), 0);
    play_wave_set_player(nullptr);
    ::RemoveVectoredExceptionHandler(handler);
    EXPECT_EQ(sounds_played, 0);
    const std::vector<std::string> expected = {
        "image_load: " + bitmap_path + " refused: pixel rows past the end of the file",
        "image_load: " + bitmap_path + " refused: pixel rows past the end of the file",
        "play_wave: " + wave_path + " refused: a format with no block size",
        "play_wave: a wave in memory refused: chunks past the end of the wave"};
    EXPECT_EQ(debugger_lines, expected);
    faults_remove_folder(folder);
}
