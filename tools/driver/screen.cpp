// Screen reading, the driver's own reference drawings, and comparisons against them.
// Owns the per-thread cache of rendered texts. Relies on GDI32 (screen and memory device
// contexts, the default font) and OLE32/OLEAUT32 (OleLoadPicture) to draw what the game
// should show, the same way the game draws it; knows nothing of the game's code.
#include "driver.h"

#include <map>
#include <olectl.h>

// ============================================================================
// Module state
// ============================================================================

namespace {

// Rendered texts by content; one cache per thread (the robot runs on its own).
thread_local std::map<std::string, Picture> text_cache;

// ============================================================================
// Internal helpers
// ============================================================================

// Reads a device-dependent bitmap into a picture.
Picture read_bitmap(HDC dc, HBITMAP bitmap, int width, int height) {
    Picture picture;
    picture.width = width;
    picture.height = height;
    picture.pixels.assign(size_t(width) * height, 0);
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    ::GetDIBits(dc, bitmap, 0, height, picture.pixels.data(), &info, DIB_RGB_COLORS);
    for (uint32_t& p : picture.pixels)
        p &= 0xFFFFFF;
    return picture;
}

} // namespace

// Shared with the viewer's check (declared in driver.h).
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
    Picture picture = read_bitmap(c.dc, c.bitmap, c.width, c.height);
    ::DeleteObject(c.bitmap);
    ::DeleteDC(c.dc);
    ::ReleaseDC(nullptr, c.screen);
    return picture;
}

namespace {

// Draws the free-slot square: grey one-pixel outline, black inside.
void draw_slot(HDC dc, int size) {
    HPEN pen = ::CreatePen(PS_SOLID, 1, RGB(128, 128, 128));
    HBRUSH brush = ::CreateSolidBrush(RGB(0, 0, 0));
    HGDIOBJ old_pen = ::SelectObject(dc, pen);
    HGDIOBJ old_brush = ::SelectObject(dc, brush);
    ::Rectangle(dc, 0, 0, size, size);
    ::SelectObject(dc, old_pen);
    ::SelectObject(dc, old_brush);
    ::DeleteObject(pen);
    ::DeleteObject(brush);
}

} // namespace

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

namespace {

// Draws a figure as the game does: the slot square, then the picture stretched over it.
Picture render_figure(IPicture* picture, int size) {
    Canvas c = canvas_open(size, size);
    draw_slot(c.dc, size);
    OLE_XSIZE_HIMETRIC w = 0;
    OLE_YSIZE_HIMETRIC h = 0;
    picture->get_Width(&w);
    picture->get_Height(&h);
    picture->Render(c.dc, 0, 0, size, size, 0, h, w, -h, nullptr);
    return canvas_close(c);
}

int differences_up_to(const Picture& a, const Picture& b, int limit) {
    if (a.width != b.width || a.height != b.height)
        return a.width * a.height + b.width * b.height + 1;
    int n = 0;
    for (size_t i = 0; i < a.pixels.size() && n <= limit; i++)
        n += a.pixels[i] != b.pixels[i];
    return n;
}

} // namespace

// ============================================================================
// Public routines
// ============================================================================

// Reads a rectangle of the screen.
Picture capture_screen(int x, int y, int width, int height) {
    if (width <= 0 || height <= 0)
        return Picture{};
    Canvas c = canvas_open(width, height);
    ::BitBlt(c.dc, 0, 0, width, height, c.screen, x, y, SRCCOPY);
    return canvas_close(c);
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

// The status line text for the four numbers.
std::string status_text(const StatusLine& s) {
    return format("Level: %d Score: %d Lives: %d Ammo: %d  ", s.level, s.score, s.lives, s.ammo);
}

// Draws the cell references (slot square, both figure pictures) at both zooms.
void make_cell_references(CellReferences& refs, const std::string& graphics_folder) {
    IPicture* hostage = load_picture(graphics_folder + "goodguy.bmp");
    IPicture* terrorist = load_picture(graphics_folder + "badguy.bmp");
    refs.have_pictures = hostage && terrorist;
    for (int zoom = 1; zoom <= 2; zoom++) {
        Canvas c = canvas_open(20 * zoom, 20 * zoom);
        draw_slot(c.dc, 20 * zoom);
        refs.slot[zoom] = canvas_close(c);
        if (hostage)
            refs.hostage[zoom] = render_figure(hostage, 20 * zoom);
        if (terrorist)
            refs.terrorist[zoom] = render_figure(terrorist, 20 * zoom);
    }
    if (hostage)
        hostage->Release();
    if (terrorist)
        terrorist->Release();
}

// Classifies one cell picture; exact picks only exact matches, else the nearest.
CellLook classify_cell(const Picture& cell, int zoom, const CellReferences& refs, bool exact) {
    int size = 20 * zoom;
    if (all_of_colour(cell, 0, 0, size, size, BLUE))
        return LOOK_BLUE;
    const Picture* candidates[3] = {&refs.slot[zoom], &refs.hostage[zoom], &refs.terrorist[zoom]};
    const CellLook looks[3] = {LOOK_SLOT, LOOK_HOSTAGE, LOOK_TERRORIST};
    int limit = exact ? 0 : size * size / 8;
    int best = -1;
    int best_count = limit + 1;
    for (int i = 0; i < 3; i++) {
        int n = differences_up_to(cell, *candidates[i], best_count);
        if (n < best_count) {
            best_count = n;
            best = i;
        }
    }
    return best < 0 ? LOOK_OTHER : looks[best];
}

// Classifies every cell of the field in a client picture taken at the given zoom.
FieldView read_field(const Picture& client, int zoom, const CellReferences& refs) {
    FieldView field{};
    for (int r = 0; r < FIELD_ROWS; r++)
        for (int c = 0; c < FIELD_COLUMNS; c++) {
            Picture cell =
                crop(client, (c * 20 + 10) * zoom, (r * 20 + 36) * zoom, 20 * zoom, 20 * zoom);
            field.cells[r][c] = classify_cell(cell, zoom, refs, true);
        }
    return field;
}

// Checks the columns rise from the bottom row and none is higher than max_height.
bool field_layout_ok(const FieldView& field, int max_height, std::string& why) {
    for (int c = 0; c < FIELD_COLUMNS; c++) {
        int height = 0;
        while (height < FIELD_ROWS && field.cells[FIELD_ROWS - 1 - height][c] != LOOK_BLUE)
            height++;
        for (int r = 0; r < FIELD_ROWS; r++) {
            if (field.cells[r][c] == LOOK_OTHER) {
                why = format("cell (%d,%d) is neither background, slot nor figure", r, c);
                return false;
            }
        }
        for (int r = 0; r < FIELD_ROWS - height; r++) {
            if (field.cells[r][c] != LOOK_BLUE) {
                why =
                    format("column %d has a gap: cell (%d,%d) is drawn above background", c, r, c);
                return false;
            }
        }
        if (height > max_height) {
            why = format("column %d is %d cells high (at most %d)", c, height, max_height);
            return false;
        }
    }
    return true;
}

// Draws a field view as text, one row per line, for failure messages.
std::string field_text(const FieldView& field) {
    std::string out;
    for (int r = 0; r < FIELD_ROWS; r++) {
        out += "\n    ";
        for (int c = 0; c < FIELD_COLUMNS; c++)
            out += ".sHT?"[field.cells[r][c]];
    }
    return out;
}

// Finds which status line near the guess shows at client (1,1); true when one matched.
bool read_status(const Picture& client, const StatusLine& guess, StatusLine& found) {
    auto matches = [&](const StatusLine& s) {
        const Picture& expected = render_text(status_text(s));
        Picture seen = crop(client, 1, 1, expected.width, expected.height);
        return differences_up_to(seen, expected, 0) == 0;
    };
    if (matches(guess)) {
        found = guess;
        return true;
    }
    for (int level = guess.level; level <= guess.level + 1 && level <= 3; level++)
        for (int score = guess.score; score <= guess.score + 3; score++)
            for (int lives = guess.lives; lives >= guess.lives - 3; lives--)
                for (int ammo = 20; ammo >= 0; ammo--) {
                    StatusLine s{level, score, lives, ammo};
                    if (matches(s)) {
                        found = s;
                        return true;
                    }
                }
    return false;
}

// Waits until the status line equals the expected one; saves pictures on failure.
bool wait_status(HWND window, const StatusLine& expected, DWORD timeout_ms, std::string& seen,
                 const std::string& failure_name) {
    const Picture& want = render_text(status_text(expected));
    uint32_t start = now_ms();
    Picture got;
    for (;;) {
        got = capture_client(window, 1, 1, want.width, want.height);
        if (count_differences(got, want) == 0)
            return true;
        if (now_ms() - start > timeout_ms)
            break;
        ::Sleep(40);
    }
    Picture client = capture_client(window, 0, 0, 320, 40);
    StatusLine found{};
    StatusLine guess{expected.level, expected.score > 2 ? expected.score - 2 : 0,
                     expected.lives + 1, 20};
    if (read_status(client, guess, found))
        seen = "status line reads \"" + status_text(found) + "\"";
    else
        seen = format("status line is not \"%s\" (%d of %dx%d pixels differ)",
                      status_text(expected).c_str(), count_differences(got, want), want.width,
                      want.height);
    if (!failure_name.empty())
        save_failure_pictures(failure_name, want, got);
    return false;
}
