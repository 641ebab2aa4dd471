// Valid files always load: the valid set (written before the tests by make_valid_files.py into
// valid-files beside this program, and metafiles recorded here through GDI) loaded through
// the platform directly and through the runtime comes out the same, each file as the same
// image at the same size, and every wave the platform's player plays reaches the player.
#include <gtest/gtest.h>
#include <windows.h>

#include <mmsystem.h>
#include <ole2.h>
#include <olectl.h>

#include <cstdio>
#include <cstring>
#include <functional>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "runtime/core/core_internal.h"
#include "runtime/draw/draw.h"
#include "tests/faults/faults.h"
#include "tests/support/launch.h"

// ============================================================================
// Internal helpers
// ============================================================================

namespace {

using Size = std::pair<int32_t, int32_t>;

// An enhanced metafile recorded through GDI by draw, 20 mm square.
std::string recorded(const std::function<void(HDC)>& draw) {
    RECT frame = {0, 0, 2000, 2000};
    HDC dc = ::CreateEnhMetaFileA(nullptr, nullptr, &frame, "valid\0set\0");
    draw(dc);
    return faults_metafile_bytes(::CloseEnhMetaFile(dc));
}

// The image kinds a file is loaded as, by its extension (none: a wave).
std::vector<int32_t> kinds_of(const std::string& name) {
    const std::map<std::string, std::vector<int32_t>> kinds = {
        {"bmp", {IMAGE_BITMAP_KIND, IMAGE_PICTURE}},
        {"ico", {IMAGE_ICON_KIND, IMAGE_PICTURE}},
        {"cur", {IMAGE_CURSOR_KIND, IMAGE_PICTURE}},
        {"emf", {IMAGE_METAFILE, IMAGE_PICTURE}},
        {"wav", {}}};
    const auto kind = kinds.find(name.substr(name.size() - 3));
    return kind != kinds.end() ? kind->second : std::vector<int32_t>{IMAGE_PICTURE};
}

Size icon_size(HICON icon) {
    ICONINFO info = {};
    BITMAP bitmap = {};
    ::GetIconInfo(icon, &info);
    ::GetObjectA(info.hbmColor != nullptr ? info.hbmColor : info.hbmMask, sizeof bitmap, &bitmap);
    ::DeleteObject(info.hbmColor), ::DeleteObject(info.hbmMask);
    return {bitmap.bmWidth, info.hbmColor != nullptr ? bitmap.bmHeight : bitmap.bmHeight / 2};
}

// The size at which the platform itself loads a file as an image kind; 0 x 0 when it does not.
// A picture's is its HIMETRIC size at the screen's density, or its icon's where it reports none.
Size platform_size(const std::string& path, const std::string& bytes, int32_t kind) {
    Size size = {0, 0};
    if (kind == IMAGE_BITMAP_KIND) {
        HANDLE bitmap = ::LoadImageA(nullptr, path.c_str(), IMAGE_BITMAP, 0, 0,
                                     LR_LOADFROMFILE | LR_CREATEDIBSECTION);
        BITMAP info = {};
        if (::GetObjectA(bitmap, sizeof info, &info) != 0) {
            size = {info.bmWidth, info.bmHeight};
        }
        ::DeleteObject(bitmap);
    } else if (kind == IMAGE_ICON_KIND || kind == IMAGE_CURSOR_KIND) {
        HANDLE icon = ::LoadImageA(nullptr, path.c_str(), kind, 0, 0, LR_LOADFROMFILE);
        size = icon != nullptr ? icon_size(static_cast<HICON>(icon)) : size;
        ::DestroyIcon(static_cast<HICON>(icon));
    } else if (kind == IMAGE_METAFILE) {
        HENHMETAFILE metafile = ::GetEnhMetaFileA(path.c_str());
        ENHMETAHEADER h = {};
        if (::GetEnhMetaFileHeader(metafile, sizeof h, &h) != 0) {
            size = {h.rclBounds.right - h.rclBounds.left + 1,
                    h.rclBounds.bottom - h.rclBounds.top + 1};
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
            SHORT type = 0;
            picture->get_Width(&width), picture->get_Height(&height);
            picture->get_Handle(&handle), picture->get_Type(&type);
            HDC screen = ::GetDC(nullptr);
            size = {::MulDiv(width, ::GetDeviceCaps(screen, LOGPIXELSX), 2540),
                    ::MulDiv(height, ::GetDeviceCaps(screen, LOGPIXELSY), 2540)};
            ::ReleaseDC(nullptr, screen);
            if (width == 0 && type == PICTYPE_ICON) {
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
    image_size(image, kind, &size.first, &size.second);
    image_release(image, kind);
    return size;
}

} // namespace

// ============================================================================
// Public routines
// ============================================================================

// The valid set by name: the files of valid-files, and metafiles with text and a bitmap, a
// long polyline and curves, far logical coordinates drawn small, HIMETRIC units, and nothing.
std::map<std::string, std::string> valid_files() {
    std::map<std::string, std::string> files;
    const std::string folder = launch_own_folder() + "valid-files\\";
    WIN32_FIND_DATAA found;
    HANDLE search = ::FindFirstFileA((folder + "*.*").c_str(), &found);
    for (BOOL more = search != INVALID_HANDLE_VALUE; more; more = ::FindNextFileA(search, &found)) {
        if ((found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
            files[found.cFileName] = faults_read(folder + found.cFileName);
        }
    }
    ::FindClose(search);
    const std::string bitmap = files["bitmap-40-24.bmp"]; // a 13 x 9 DIB after 14 bytes
    files["metafile-text-and-bitmap.emf"] = recorded([&](HDC dc) {
        const INT advances[] = {9, 9, 9, 9, 9};
        ::TextOutA(dc, 2, 2, "Valid", 5);
        ::ExtTextOutW(dc, 2, 30, ETO_OPAQUE, nullptr, L"files", 5, advances);
        if (bitmap.size() > 54) {
            ::StretchDIBits(dc, 0, 40, 26, 18, 0, 0, 13, 9, bitmap.data() + 54,
                            reinterpret_cast<const BITMAPINFO*>(bitmap.data() + 14), DIB_RGB_COLORS,
                            SRCCOPY);
        }
    });
    files["metafile-long-polyline.emf"] = recorded([](HDC dc) {
        std::vector<POINT> points;
        for (int32_t i = 0; i < 20000; ++i) {
            points.push_back({i % 70, (i * 7) % 60});
        }
        ::Polyline(dc, points.data(), static_cast<int>(points.size()));
        ::Ellipse(dc, 5, 5, 60, 40), ::Pie(dc, 10, 10, 50, 50, 0, 0, 50, 0);
    });
    files["metafile-far-coordinates.emf"] = recorded([](HDC dc) {
        ::SetMapMode(dc, MM_ANISOTROPIC);
        ::SetWindowExtEx(dc, 100000000, 100000000, nullptr);
        ::SetViewportExtEx(dc, 70, 70, nullptr);
        ::Ellipse(dc, 0, 0, 90000000, 60000000);
        ::Arc(dc, 0, 0, 90000000, 90000000, 0, 0, 90000000, 0);
        ::TextOutA(dc, 50000000, 50000000, "far", 3);
    });
    files["metafile-empty.emf"] = recorded([](HDC) {});
    files["metafile-himetric.emf"] = recorded([](HDC dc) {
        ::SetMapMode(dc, MM_HIMETRIC);
        ::Ellipse(dc, 0, 0, 2500, -2000);
    });
    return files;
}

// ============================================================================
// Tests
// ============================================================================

TEST(ValidFiles, LoadAsThePlatformLoadsThem) {
    const std::map<std::string, std::string> files = valid_files();
    ASSERT_GT(files.size(), 100u) << "valid-files is made by ctest (make_valid_files.py)";
    const std::string folder = faults_folder("valid");
    int32_t loads = 0, refused_by_platform = 0, waves = 0, waves_played = 0, played = 0;
    play_wave_set_player([](const char*, HMODULE, DWORD) { return TRUE; });
    debug_message_set_listener([](const char*) { ADD_FAILURE() << "a valid file was refused"; });
    for (const auto& [name, bytes] : files) {
        const std::string path = folder + name;
        ASSERT_TRUE(faults_write(path, bytes)) << path;
        for (int32_t kind : kinds_of(name)) {
            const Size platform = platform_size(path, bytes, kind);
            EXPECT_EQ(runtime_size(path, kind), platform) << name << " as kind " << kind;
            ++loads;
            refused_by_platform += platform == Size{0, 0} ? 1 : 0;
        }
        if (kinds_of(name).empty()) { // a wave the platform's player plays reaches the player
            void* wave = ::GlobalAlloc(GMEM_FIXED, bytes.size());
            std::memcpy(wave, bytes.data(), bytes.size());
            ++waves;
            if (::PlaySoundA(static_cast<const char*>(wave), nullptr,
                             SND_MEMORY | SND_SYNC | SND_NODEFAULT)) {
                ++waves_played;
                played = play_wave(&wave, TAG_BLOCK, 0) + play_wave(path.c_str(), TAG_STRING, 0);
                EXPECT_EQ(played, 2) << name << ": the platform's player plays it";
            }
            ::GlobalFree(wave);
        }
    }
    play_wave_set_player(nullptr);
    debug_message_set_listener(nullptr);
    if (::waveOutGetNumDevs() > 0) {
        EXPECT_GT(waves_played, waves / 2) << "the platform's player played too few to compare";
    }
    std::printf("valid set: %zu files, %d images compared (%d the platform does not load), "
                "%d of %d waves played by the platform\n",
                files.size(), loads, refused_by_platform, waves_played, waves);
    faults_remove_folder(folder);
}
