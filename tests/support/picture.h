// Pixels read back for checking, shared by the test programs, the end-to-end checks and the
// benchmark: one picture type, and reading a bitmap or a block of a device context into it.
// Header-only; relies on GDI32 and USER32 alone (no runtime, no test framework).
// What the pixels should be is left to each check.
#pragma once

#include <windows.h>

#include <cstdint>
#include <cstring>
#include <vector>

// ============================================================================
// Types
// ============================================================================

// A block of pixels, rows top-down.
struct Picture {
    int32_t width = 0;
    int32_t height = 0;
    std::vector<uint32_t> pixels; // 0x00RRGGBB, width * height entries

    // The pixel at (x, y) as a COLORREF (red in the low byte).
    COLORREF at(int32_t x, int32_t y) const {
        const uint32_t p = pixels[static_cast<size_t>(y) * width + x];
        return RGB((p >> 16) & 0xFF, (p >> 8) & 0xFF, p & 0xFF);
    }
};

// ============================================================================
// Public routines
// ============================================================================

// The header of a w x h, 32-bit, top-down DIB: GetDIBits writes rows from the top.
inline BITMAPINFO top_down_info(int32_t w, int32_t h) {
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof(info.bmiHeader);
    info.bmiHeader.biWidth = w;
    info.bmiHeader.biHeight = -h;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    return info;
}

// The whole of a bitmap that is selected into no context; empty for no bitmap.
inline Picture picture_of_bitmap(HBITMAP bitmap) {
    Picture picture;
    BITMAP info = {};
    if (bitmap == nullptr || ::GetObjectA(bitmap, sizeof info, &info) == 0) {
        return picture;
    }
    picture.width = info.bmWidth;
    picture.height = info.bmHeight;
    picture.pixels.assign(static_cast<size_t>(picture.width) * picture.height, 0);
    BITMAPINFO header = top_down_info(picture.width, picture.height);
    HDC screen = ::GetDC(nullptr);
    ::GetDIBits(screen, bitmap, 0, picture.height, picture.pixels.data(), &header, DIB_RGB_COLORS);
    ::ReleaseDC(nullptr, screen);
    for (uint32_t& p : picture.pixels) {
        p &= 0xFFFFFF;
    }
    return picture;
}

// A w x h block of a device context (the screen's, a window's) from its point (x, y).
inline Picture picture_of_dc(HDC dc, int32_t x, int32_t y, int32_t w, int32_t h) {
    Picture picture;
    if (w <= 0 || h <= 0) {
        return picture;
    }
    picture.width = w;
    picture.height = h;
    picture.pixels.assign(static_cast<size_t>(w) * h, 0);
    HDC memory = ::CreateCompatibleDC(dc);
    BITMAPINFO info = top_down_info(w, h);
    void* bits = nullptr;
    HBITMAP dib = ::CreateDIBSection(dc, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    HGDIOBJ old = ::SelectObject(memory, dib);
    ::BitBlt(memory, 0, 0, w, h, dc, x, y, SRCCOPY);
    ::GdiFlush();
    if (bits != nullptr) {
        std::memcpy(picture.pixels.data(), bits, picture.pixels.size() * 4);
    }
    ::SelectObject(memory, old);
    ::DeleteObject(dib);
    ::DeleteDC(memory);
    for (uint32_t& p : picture.pixels) {
        p &= 0xFFFFFF;
    }
    return picture;
}

// A w x h block of the screen from its point (x, y).
inline Picture picture_of_screen(int32_t x, int32_t y, int32_t w, int32_t h) {
    HDC screen = ::GetDC(nullptr);
    Picture picture = picture_of_dc(screen, x, y, w, h);
    ::ReleaseDC(nullptr, screen);
    return picture;
}
