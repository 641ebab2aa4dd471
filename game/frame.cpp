// Frame drawing and the status line: the field's squares and figures, expiring old
// figures as they are drawn, then "Level: Score: Lives: Ammo:" and the pause notice.
// Relies on the runtime's drawing, images, text output, strings and TempStack.
// Draws over what is there and clears nothing; clearing is the background colour's job.
#include "game/game.h"

// ============================================================================
// Internal helpers
// ============================================================================

namespace {

// A number's text (" 5", " -1") as a fresh heap string.
char* number_piece(int32_t value) {
    char* made = number_to_string(value);
    char* piece = string_duplicate(made);
    heap_free(made);
    return piece;
}

// Join a piece onto the text built so far, releasing both operands.
char* append_piece(char* text, char* piece) {
    char* joined = string_concat({text, piece});
    heap_free(text);
    heap_free(piece);
    return joined;
}

// "Level: 1 Score: 0 Lives: 3 Ammo: 20  " as a fresh heap string.
char* build_status_line() {
    char* level = number_piece(game.level);
    char* text = string_concat({"Level:", level});
    heap_free(level);
    text = append_piece(text, string_duplicate(" Score:"));
    text = append_piece(text, number_piece(game.score));
    text = append_piece(text, string_duplicate(" Lives:"));
    text = append_piece(text, number_piece(game.lives));
    text = append_piece(text, string_duplicate(" Ammo:"));
    text = append_piece(text, number_piece(game.ammo));
    // The two trailing blanks are part of the line: they cover the tail of a longer one.
    text = append_piece(text, string_duplicate("  "));
    return text;
}

// Print one line of text at the window's current position.
void print_line(const char* text) {
    text_print(4, PRINT_WINDOW, &game.main_window, PRINT_TEXT, text, PRINT_CHAR, 13, PRINT_CHAR,
               10);
}

// Draw one cell that holds a slot or a figure.
void draw_cell(int32_t row, int32_t column) {
    const int32_t cell = row * GRID_COLUMNS + column;
    const int32_t x = (column * CELL_SIZE + FIELD_LEFT) * game.zoom;
    const int32_t y = (row * CELL_SIZE + FIELD_TOP) * game.zoom;
    const int32_t side = CELL_SIZE * game.zoom;
    draw_rect(&game.main_window, x, y, side, side, rgb_color(128, 128, 128), rgb_color(0, 0, 0));

    const int32_t state = game.target_grid[cell];
    if (state != CELL_HOSTAGE && state != CELL_TERRORIST) {
        return;
    }
    // The picture is drawn even when the figure has just expired; the next frame's
    // square covers it.
    expire_figure(cell);
    const ImageHandle picture =
        state == CELL_HOSTAGE ? game.hostage_picture : game.terrorist_picture;
    image_draw(&game.main_window, picture, IMAGE_PICTURE, x, y, side, side, 0);
}

} // namespace

// ============================================================================
// Public routines
// ============================================================================

// Draw the field (expiring old figures) and the status line.
void draw_frame() {
    for (int32_t row = 0; row < GRID_ROWS; ++row) {
        for (int32_t column = 0; column < GRID_COLUMNS; ++column) {
            // While paused the field is not drawn, and so no figure expires either.
            if (game.target_grid[row * GRID_COLUMNS + column] != CELL_EMPTY && game.paused == 0) {
                draw_cell(row, column);
            }
        }
    }

    move_to(&game.main_window, 1, 1);
    char* status = build_status_line();
    temp_push(status);
    print_line(status);
    temp_pop(1);

    if (game.paused == 1) {
        move_to(&game.main_window, 1, 14);
        print_line("Paused...");
    }
}
