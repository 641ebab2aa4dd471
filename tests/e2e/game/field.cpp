// The game's field and status line as the driver sees them: its own drawings of the free
// slot and both figures, cell classification, the field's layout and the status line.
// Relies on the shared screen helpers (tests/e2e/common) and on the data files' pictures;
// knows nothing of the game's code.
#include "driver.h"

#include <olectl.h>

// ============================================================================
// Internal helpers
// ============================================================================

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

} // namespace

// ============================================================================
// Public routines
// ============================================================================

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
// Only the rows above (1,14) are compared: a paused frame draws "Paused..." there, over the
// blank bottom rows of the line.
bool read_status(const Picture& client, const StatusLine& guess, StatusLine& found) {
    auto matches = [&](const StatusLine& s) {
        const Picture& text = render_text(status_text(s));
        int rows = text.height < 13 ? text.height : 13;
        return differences_up_to(crop(client, 1, 1, text.width, rows),
                                 crop(text, 0, 0, text.width, rows), 0) == 0;
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

// The client area above and around the field (status line, pause notice, field).
Picture capture_field(HWND window) {
    return capture_client(window, 0, 0, 300, 160);
}

// True when a client picture shows "Paused..." under the status line.
bool pause_notice_shown(const Picture& client) {
    const Picture& paused = render_text("Paused...");
    return differences_up_to(crop(client, 1, 14, paused.width, paused.height), paused, 0) == 0;
}

// True when the place of "Paused..." under the status line is plain background.
bool pause_notice_gone(const Picture& client) {
    return all_of_colour(client, 1, 17, render_text("Paused...").width, 14, BLUE);
}

// Waits until a frame drew "Paused..."; true with that frame's picture.
bool wait_paused(HWND window, DWORD timeout_ms, Picture& client) {
    return poll_until(timeout_ms, [&] {
        client = capture_field(window);
        return pause_notice_shown(client);
    });
}

// Paints a red rectangle over the start of the status line on the screen.
void paint_over_status(HWND window, int width, int height) {
    RECT client = client_rect_on_screen(window);
    RECT cover{client.left + 1, client.top + 1, client.left + 1 + width, client.top + 1 + height};
    HDC screen = ::GetDC(nullptr);
    HBRUSH red = ::CreateSolidBrush(RGB(255, 0, 0));
    ::FillRect(screen, &cover, red);
    ::DeleteObject(red);
    ::ReleaseDC(nullptr, screen);
}
