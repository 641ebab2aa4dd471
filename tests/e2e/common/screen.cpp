// Screen reading and the checks' own drawings: canvases, captures, comparisons and
// rendered texts. Owns the per-thread cache of rendered texts. Relies on GDI32 (screen and
// memory device contexts, the default font) and OLE32/OLEAUT32 (OleLoadPicture); knows
// nothing of the programs it checks. The game's field and status line are in game/field.cpp.
#include "tests/e2e/common/e2e.h"

#include <map>
#include <olectl.h>

// ============================================================================
// Module state
// ============================================================================

namespace {

// Rendered texts by content; one cache per thread (the robot runs on its own).
thread_local std::map<std::string, Picture> text_cache;

} // namespace

// ============================================================================
// Public routines
// ============================================================================

// Opens a canvas of the size; canvas_close reads its pixels and frees it.
Canvas canvas_open(int width, int height) {
    Canvas c{};
    c.screen = ::GetDC(nullptr);
    c.dc = ::CreateCompatibleDC(c.screen);
    c.bitmap = ::CreateCompatibleBitmap(c.screen, width, height);
    c.old_bitmap = ::SelectObject(c.dc, c.bitmap);
    c.width = width;
    c.height = height;
    return c;
}

Picture canvas_close(Canvas& c) {
    ::SelectObject(c.dc, c.old_bitmap);
    Picture picture = picture_of_bitmap(c.bitmap);
    ::DeleteObject(c.bitmap);
    ::DeleteDC(c.dc);
    ::ReleaseDC(nullptr, c.screen);
    return picture;
}

// Loads a picture file through OleLoadPicture; null when it cannot be read.
IPicture* load_picture(const std::string& path) {
    HANDLE file = ::CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                0, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return nullptr;
    DWORD size = ::GetFileSize(file, nullptr);
    HGLOBAL block =
        size > 0 && size != INVALID_FILE_SIZE ? ::GlobalAlloc(GMEM_MOVEABLE, size) : nullptr;
    DWORD read = 0;
    if (block) {
        void* bytes = ::GlobalLock(block);
        ::ReadFile(file, bytes, size, &read, nullptr);
        ::GlobalUnlock(block);
    }
    ::CloseHandle(file);
    if (!block)
        return nullptr;
    if (read != size) {
        ::GlobalFree(block);
        return nullptr;
    }
    IStream* stream = nullptr;
    if (FAILED(::CreateStreamOnHGlobal(block, TRUE, &stream)) || !stream) {
        ::GlobalFree(block);
        return nullptr;
    }
    IPicture* picture = nullptr;
    HRESULT hr = ::OleLoadPicture(stream, LONG(size), FALSE, IID_IPicture,
                                  reinterpret_cast<void**>(&picture));
    stream->Release();
    return SUCCEEDED(hr) ? picture : nullptr;
}

// Number of pixels that differ, counting no further than limit + 1.
int differences_up_to(const Picture& a, const Picture& b, int limit) {
    if (a.width != b.width || a.height != b.height)
        return a.width * a.height + b.width * b.height + 1;
    int n = 0;
    for (size_t i = 0; i < a.pixels.size() && n <= limit; i++)
        n += a.pixels[i] != b.pixels[i];
    return n;
}

// Reads a rectangle of the screen.
Picture capture_screen(int x, int y, int width, int height) {
    return picture_of_screen(x, y, width, height);
}

// Reads a rectangle of a window's client area as it shows on the screen.
Picture capture_client(HWND window, int x, int y, int width, int height) {
    POINT origin{x, y};
    ::ClientToScreen(window, &origin);
    return capture_screen(origin.x, origin.y, width, height);
}

// Copies part of a picture (parts outside read as 0xFF000000).
Picture crop(const Picture& picture, int x, int y, int width, int height) {
    Picture out;
    out.width = width;
    out.height = height;
    out.pixels.assign(size_t(width) * height, 0xFF000000u);
    for (int row = 0; row < height; row++) {
        int sy = y + row;
        if (sy < 0 || sy >= picture.height)
            continue;
        for (int col = 0; col < width; col++) {
            int sx = x + col;
            if (sx >= 0 && sx < picture.width)
                out.pixels[size_t(row) * width + col] =
                    picture.pixels[size_t(sy) * picture.width + sx];
        }
    }
    return out;
}

// Number of pixels that differ; pictures of other sizes differ everywhere.
int count_differences(const Picture& a, const Picture& b) {
    return differences_up_to(a, b, a.width * a.height + b.width * b.height);
}

// True when every pixel of the rectangle has the colour.
bool all_of_colour(const Picture& picture, int x, int y, int width, int height, uint32_t colour) {
    for (int row = y; row < y + height; row++)
        for (int col = x; col < x + width; col++) {
            if (row < 0 || col < 0 || row >= picture.height || col >= picture.width)
                return false;
            if (picture.pixels[size_t(row) * picture.width + col] != colour)
                return false;
        }
    return true;
}

// Draws text with the default font: black on an opaque white background, cached.
const Picture& render_text(const std::string& text) {
    auto found = text_cache.find(text);
    if (found != text_cache.end())
        return found->second;
    HDC screen = ::GetDC(nullptr);
    HDC measure = ::CreateCompatibleDC(screen);
    SIZE extent{};
    ::GetTextExtentPoint32A(measure, text.c_str(), int(text.size()), &extent);
    ::DeleteDC(measure);
    ::ReleaseDC(nullptr, screen);
    Canvas c = canvas_open(extent.cx > 0 ? extent.cx : 1, extent.cy > 0 ? extent.cy : 1);
    ::SetBkMode(c.dc, OPAQUE);
    ::SetBkColor(c.dc, RGB(255, 255, 255));
    ::SetTextColor(c.dc, RGB(0, 0, 0));
    ::TextOutA(c.dc, 0, 0, text.c_str(), int(text.size()));
    return text_cache[text] = canvas_close(c);
}
