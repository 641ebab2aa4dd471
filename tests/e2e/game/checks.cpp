// The driver's checks on one game at a time: window, message boxes, magnification, a new
// game's field and status line, shooting, pausing, and the ways the program ends.
// Relies on tests/e2e/common (process.cpp to start and steer the game, screen.cpp to read
// and compare what it shows) and on field.cpp; the menu's own check and the playing robot
// live elsewhere.
#include "driver.h"

#include <algorithm>

// ============================================================================
// Types
// ============================================================================

namespace {

// One main-window size pair: outer width and height at magnification 1 or 2.
struct WindowSize {
    int width;
    int height;
};

// ============================================================================
// Module state
// ============================================================================

// Outer height seen at magnification 1 (200, or 208 after the game's fit-up), 0 if unknown.
int fitted_height_1x = 0;

// ============================================================================
// Internal helpers
// ============================================================================

std::string rect_text(const RECT& r) {
    return format("(%ld,%ld)-(%ld,%ld) %ldx%ld", r.left, r.top, r.right, r.bottom, r.right - r.left,
                  r.bottom - r.top);
}

// Where the centring rule puts a top-level window of size w x h with no owner.
POINT centred_on_work_area(int w, int h) {
    RECT area = work_area();
    int x = (area.left + area.right) / 2 - w / 2;
    int y = (area.top + area.bottom) / 2 - h / 2;
    if (x < area.left)
        x = area.left;
    else if (x + w > area.right)
        x = area.right - w;
    if (y < area.top)
        y = area.top;
    else if (y + h > area.bottom)
        y = area.bottom - h;
    return POINT{x, y};
}

// Where the message box rule puts a box of size cx x cy over its owner's rectangle.
POINT centred_over_owner(const RECT& owner, int cx, int cy) {
    RECT area = work_area();
    int x = owner.left + ((owner.right - owner.left) - cx) / 2;
    int y = owner.top + ((owner.bottom - owner.top) - cy) / 2;
    if (x < 0)
        x = 0;
    else if (x + cx > area.right)
        x = area.right - cx;
    if (y < 0)
        y = 0;
    else if (y + cy > area.bottom)
        y = area.bottom - cy;
    return POINT{x, y};
}

// Checks the window's outer size against the allowed pair and its centring.
void check_size_and_centre(const RunningProgram& game, const std::string& label, WindowSize plain,
                           WindowSize fitted) {
    RECT r = window_rect(game.window);
    int w = r.right - r.left, h = r.bottom - r.top;
    RECT client{};
    ::GetClientRect(game.window, &client);
    bool size_ok = w == plain.width && (h == plain.height || h == fitted.height);
    if (size_ok && plain.width == 320) {
        // The game grows the window by 8 only when the client area was below 156.
        size_ok = h == 200 ? client.bottom >= 156 : client.bottom - 8 < 156;
        fitted_height_1x = h;
    } else if (size_ok && fitted_height_1x != 0) {
        size_ok = (fitted_height_1x == 208) == (h == fitted.height);
    }
    report(label + " size", size_ok,
           format("outer %dx%d, client %ldx%ld (want %dx%d or %dx%d after the fit-up)", w, h,
                  client.right, client.bottom, plain.width, plain.height, fitted.width,
                  fitted.height));
    POINT want = centred_on_work_area(w, h);
    report(label + " centred", r.left == want.x && r.top == want.y,
           format("window at %s, centred position is (%ld,%ld) on work area %s",
                  rect_text(r).c_str(), want.x, want.y, rect_text(work_area()).c_str()));
}

// Waits for a box, checks caption, text and placement, closes it with OK.
void check_box(const RunningProgram& game, const std::string& name, const std::string& caption,
               const std::string& text, bool text_is_prefix) {
    HWND box = wait_message_box(game, PATIENCE_MS);
    if (!report(name + " box shown", box != nullptr,
                format("no message box within %lu s", PATIENCE_MS / 1000) +
                    program_state_text(game)))
        return;
    std::string seen_caption = window_text(box);
    std::string seen_text = window_text(::GetDlgItem(box, 0xFFFF));
    bool text_ok = text_is_prefix ? seen_text.size() > text.size() + 1 &&
                                        seen_text.compare(0, text.size(), text) == 0
                                  : seen_text == text;
    report(name + " box caption and text", seen_caption == caption && text_ok,
           format("caption \"%s\", text \"%s\"", seen_caption.c_str(), seen_text.c_str()));
    // The game moves the box over its window when the box is first activated, which may
    // come after the box shows: wait for the place the rule gives.
    RECT b{}, owner{};
    POINT want{};
    bool centred = poll_until(PATIENCE_MS, [&] {
        b = window_rect(box);
        owner = window_rect(game.window);
        want = centred_over_owner(owner, b.right - b.left, b.bottom - b.top);
        return b.left == want.x && b.top == want.y;
    });
    report(name + " box centred over the window", centred,
           format("box at %s over window %s, rule gives (%ld,%ld)", rect_text(b).c_str(),
                  rect_text(owner).c_str(), want.x, want.y));
    report(name + " box closes with OK", close_message_box(box, PATIENCE_MS),
           format("the box was still open %lu s after OK", PATIENCE_MS / 1000));
}

std::string status_seen(HWND window, const StatusLine& guess) {
    Picture client = capture_client(window, 0, 0, 300, 20);
    StatusLine found{};
    StatusLine wide{guess.level, guess.score > 2 ? guess.score - 2 : 0, guess.lives + 1, 20};
    if (read_status(client, wide, found))
        return "status line reads \"" + status_text(found) + "\"";
    return "no status line near \"" + status_text(guess) + "\" on screen";
}

// Checks the window's caption, class and styles.
void check_window_identity(const RunningProgram& game) {
    std::string caption = window_text(game.window);
    report("window caption", caption == "Tarrowind", "caption \"" + caption + "\"");
    char klass[64] = {};
    ::GetClassNameA(game.window, klass, sizeof klass);
    report("window class", strcmp(klass, "KalvorineWndClass") == 0, format("class \"%s\"", klass));
    DWORD want = WS_POPUP | WS_VISIBLE | WS_CLIPCHILDREN | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;
    DWORD style = DWORD(::GetWindowLongA(game.window, GWL_STYLE));
    // NOTE: the platform adds WS_CLIPSIBLINGS to every top-level window it creates.
    report("window style", (style & ~DWORD(WS_CLIPSIBLINGS)) == want,
           format("style 0x%08lX, want 0x%08lX (WS_CLIPSIBLINGS aside)", style, want));
}

// Checks the client area is plain blue before the first game.
void check_blue_before_new(const RunningProgram& game) {
    RECT client{};
    ::GetClientRect(game.window, &client);
    uint32_t start = now_ms();
    Picture seen;
    bool blue = false;
    do {
        seen = capture_client(game.window, 0, 0, client.right, client.bottom);
        blue = all_of_colour(seen, 0, 0, seen.width, seen.height, BLUE);
        if (!blue)
            ::Sleep(50);
    } while (!blue && now_ms() - start < PATIENCE_MS);
    if (!report("before New: blue client area, no status line", blue,
                "the client area is not plain RGB 0,0,255")) {
        Picture want = seen;
        for (uint32_t& p : want.pixels)
            p = BLUE;
        save_failure_pictures("before-new", want, seen);
    }
}

// Checks the four boxes of the menu commands and the window size at both magnifications.
void check_boxes_and_zoom(const RunningProgram& game) {
    program_command(game, CMD_RULES);
    check_box(game, "Rules", "Rules",
              "Dangerous terrorists have taken innocent\r\n"
              "people as hostages. Your mission is to rescue\r\n"
              "the hostages and kill the terrorists. To kill\r\n"
              "a terrorist, click one with your mouse. Take\r\n"
              "extra care to not kill hostages. When a\r\n"
              "terrorist appears, kill him quickly before\r\n"
              "he disappears or he will shoot you.",
              false);
    program_command(game, CMD_ABOUT);
    check_box(game, "About", "About", "Tarrowind\r\n\r\n", true);

    program_command(game, CMD_ZOOM2);
    HWND box = wait_message_box(game, PATIENCE_MS);
    check_size_and_centre(game, "2x window", WindowSize{640, 360}, WindowSize{640, 376});
    if (box)
        check_box(game, "2x", "Alert", "Magnification set to 2x.\r\n(may be slow on some machines)",
                  false);
    else
        report("2x box shown", false, "no message box in time" + program_state_text(game));

    program_command(game, CMD_ZOOM1);
    box = wait_message_box(game, PATIENCE_MS);
    check_size_and_centre(game, "1x window", WindowSize{320, 200}, WindowSize{320, 208});
    if (box)
        check_box(game, "1x", "Alert", "Magnification set to 1x.", false);
    else
        report("1x box shown", false, "no message box in time" + program_state_text(game));
}

// Starts a game and checks its first field and status line. The first frame shows a figure
// only when one of the spawn's random tries finds a free slot, which a field with few slots
// can miss: then the game is started again, up to a few times, for a first frame with one.
void check_new_game(const RunningProgram& game, const CellReferences& refs) {
    constexpr int STARTS = 6;
    std::string why;
    FieldView field{};
    bool ok = false;
    Picture client;
    for (int start = 0; start < STARTS; start++) {
        if (start > 0) {
            // Two shots beside the field, held by a pause, show "Ammo: 18": no frame of this
            // game can show a new game's status line after that. Leaving the pause and "New"
            // go in one batch, so the next frame is the new game's first.
            program_click(game, 3, 30);
            program_click(game, 3, 30);
            program_command(game, CMD_PAUSE);
            Picture paused;
            if (!wait_paused(game.window, PATIENCE_MS, paused)) {
                why = "no \"Paused...\" before starting again" + program_state_text(game);
                break;
            }
            program_command(game, CMD_PAUSE);
        }
        program_command(game, CMD_NEW);
        std::string seen;
        bool shown =
            wait_status(game.window, StatusLine{1, 0, 3, 20}, PATIENCE_MS, seen, "new-status-line");
        if (start == 0 || !shown)
            report("New: status line", shown, seen + program_state_text(game));
        if (!shown)
            return;
        client = capture_field(game.window);
        field = read_field(client, 1, refs);
        why.clear();
        ok = field_layout_ok(field, 4, why);
        int slots = 0, figures = 0;
        for (auto& row : field.cells)
            for (CellLook look : row) {
                slots += look != LOOK_BLUE;
                figures += look == LOOK_HOSTAGE || look == LOOK_TERRORIST;
            }
        if (ok && slots == 0) {
            ok = false;
            why = "no slot drawn";
        }
        if (!ok || !refs.have_pictures || figures > 0)
            break;
        ok = false;
        why = format("no figure in the first frame of %d new games", start + 1);
        report_note("the first frame after New showed no figure (the spawn's tries found no free "
                    "slot): New again");
    }
    if (!ok)
        save_failure_pictures("new-field", client, client);
    report("New: field drawn (grey-ringed black cells, columns from the bottom, at most 4 high)",
           ok, why + field_text(field));
}

// One click of a sound check and the sounds it should play, in order.
struct ExpectedSounds {
    std::string check;               // the check's name
    std::vector<std::string> sounds; // wave file names without ".wav"
};

// Compares what was heard with what the clicks should have played, one check each.
void report_sounds(const std::vector<ExpectedSounds>& clicks,
                   const std::vector<HeardSound>& heard) {
    size_t next = 0;
    for (const ExpectedSounds& click : clicks) {
        std::string why;
        if (!report(click.check, sound_sequence_ok(heard, next, click.sounds, why), why))
            return;
    }
    report("sound: nothing else is heard", next == heard.size(),
           "more sounds than clicks: " + heard_text(heard));
}

// What the shooting check knows of one cell: the figure it shows and the earliest time at
// which that figure can have appeared.
struct CellWatch {
    CellLook figure = LOOK_SLOT; // LOOK_HOSTAGE or LOOK_TERRORIST; LOOK_SLOT for none
    uint32_t since = 0;          // the figure appeared after this tick (0: unknown)
    uint32_t slot_at = 0;        // the last read that showed a free slot here
    int slot_reads = 0;          // reads in a row that showed a free slot
};
using FieldWatch = CellWatch[FIELD_ROWS][FIELD_COLUMNS];

// Follows the figures from one read of the field to the next. A frame draws a figure's
// slot square before its picture, so a read may catch one figure as a free slot for a
// moment: a figure ends only after two reads in a row show the free slot. Background (the
// window cleared by leaving a pause) and half-drawn cells tell nothing.
void watch_field(FieldWatch& cells, const FieldView& field, uint32_t read_at) {
    for (int r = 0; r < FIELD_ROWS; r++)
        for (int c = 0; c < FIELD_COLUMNS; c++) {
            CellWatch& cell = cells[r][c];
            CellLook look = field.cells[r][c];
            if (look == LOOK_SLOT) {
                cell.slot_at = read_at;
                if (++cell.slot_reads >= 2)
                    cell.figure = LOOK_SLOT;
            } else if (look == LOOK_HOSTAGE || look == LOOK_TERRORIST) {
                if (look != cell.figure) {
                    cell.figure = look;
                    cell.since = cell.slot_at;
                }
                cell.slot_reads = 0;
            }
        }
}

// Starts a new game after closing any box (a lost game's): the shooting goes on there.
// The old game has too few lives or too high a score to show a new game's status line.
bool restart_game(const RunningProgram& game, StatusLine& status, FieldWatch& cells) {
    if (HWND box = find_message_box(game))
        close_message_box(box, PATIENCE_MS);
    program_command(game, CMD_NEW);
    std::string seen;
    if (!wait_status(game.window, StatusLine{1, 0, 3, 20}, PATIENCE_MS, seen, "restart-new"))
        return false;
    report_note(format("New after \"%s\": the shooting goes on in a new game",
                       status_text(status).c_str()));
    status = StatusLine{1, 0, 3, 20};
    for (auto& row : cells)
        for (CellWatch& cell : row)
            cell = CellWatch{};
    return true;
}

// Clicks at (x, y) and pauses in the same batch of events, so the frame after the shot holds
// still with its status line; reads that line, then leaves the pause and waits for the
// running game's frame. True with the status and the tick by which the click was handled.
bool shoot_and_read(const RunningProgram& game, int x, int y, const StatusLine& guess,
                    StatusLine& found, uint32_t& handled_by) {
    program_click(game, x, y);
    program_command(game, CMD_PAUSE);
    Picture client;
    // A shot that finds no lives left loses the game: its box, not a paused frame, follows.
    bool read = false;
    poll_until(PATIENCE_MS, [&] {
        client = capture_field(game.window);
        read = pause_notice_shown(client);
        return read || find_message_box(game) != nullptr;
    });
    handled_by = now_ms();
    // Lives may fall by terrorists running out of time; the score rises by one at most.
    read = read &&
           (read_status(client, guess, found) ||
            read_status(client, StatusLine{guess.level, guess.score, guess.lives - 3, 20}, found));
    program_command(game, CMD_PAUSE);
    bool running = poll_until(PATIENCE_MS, [&] {
        client = capture_field(game.window);
        StatusLine any{};
        return pause_notice_gone(client) && read_status(client, found, any);
    });
    return read && running;
}

// Reports the hits the shooting check has seen so far.
void report_hits(bool terrorist_done, bool hostage_done) {
    if (terrorist_done)
        report("shooting a terrorist raises the score", true, "");
    if (hostage_done)
        report("shooting a hostage costs a life", true, "");
}

// Shoots a terrorist and a hostage and checks each effect on the status line, then misses;
// listens to every shot. Figures come at random: the check shoots until it has hit one of
// each, starting a new game whenever lives run low or the level's end comes near, within a
// limit far beyond the few seconds this usually takes. A busy machine may let terrorists
// take the last lives between a read and the shot after it, which loses the game, or take
// a life in the frame of a hostage's shot, which then cannot be told from a hit: the check
// starts over in a new game, with a new recording, a few times at most.
void check_shooting(const RunningProgram& game, const CellReferences& refs, StatusLine& status) {
    // A figure lives 3.5 s; a frame may draw it up to a second after it came. A shot handled
    // within 2 s of the free slot last seen there surely found it alive.
    constexpr uint32_t SURELY_ALIVE_MS = 2000;
    // The recorder stops by itself after 120 s; each new start has its own recording.
    constexpr uint32_t LIMIT_MS = 100000;
    constexpr int STARTS = 3;
    // A hostage is shot only while every terrorist on show appeared within this time.
    constexpr uint32_t YOUNG_MS = 1000;
    bool terrorist_done = false, hostage_done = false;
    bool listening = sound_watch_start("shooting");
    std::vector<ExpectedSounds> clicks;
    FieldWatch cells{};
    uint32_t start = now_ms(), last_hurry = now_ms();
    int starts = 1;
    bool start_over = false; // a hostage's shot whose effect could not be told apart
    std::string failure;
    while ((!terrorist_done || !hostage_done) && now_ms() - start < LIMIT_MS) {
        if ((start_over || find_message_box(game)) && starts < STARTS) {
            report_note(format("%s (the line read before it: \"%s\"): the shooting starts "
                               "over in a new game",
                               start_over ? "a life lost at a hostage's shot while a terrorist "
                                            "may have run out of time"
                                          : "the game lost by terrorists that ran out of time "
                                            "before a shot",
                               status_text(status).c_str()));
            start_over = false;
            std::vector<HeardSound> heard;
            sound_watch_stop("shooting", heard);
            if (!restart_game(game, status, cells)) {
                failure = "New did not start a new game" + program_state_text(game);
                break;
            }
            listening = sound_watch_start("shooting");
            clicks.clear();
            terrorist_done = hostage_done = false;
            start = now_ms();
            starts++;
            continue;
        }
        if (status.lives <= 1 || status.score >= 50 || find_message_box(game)) {
            if (!restart_game(game, status, cells)) {
                failure = "New did not start a new game" + program_state_text(game);
                break;
            }
            continue;
        }
        Picture client = capture_field(game.window);
        uint32_t read_at = now_ms();
        FieldView field = read_field(client, 1, refs);
        watch_field(cells, field, read_at);
        StatusLine found{};
        bool status_read = read_status(client, status, found);
        if (status_read)
            status = found;
        // A hostage goes first while none was hit (only with a life to spare, seen on this
        // very read, so that no life lost before can pass for the hit, and only while every
        // terrorist on show is young, so that none is likely to take a life before the shot
        // is handled); then the youngest terrorist, before it costs a life.
        uint32_t oldest = read_at; // when the oldest terrorist on show appeared (0: unknown)
        for (auto& row : cells)
            for (CellWatch& seen : row)
                if (seen.figure == LOOK_TERRORIST)
                    oldest = std::min(oldest, seen.since);
        int target_r = -1, target_c = -1;
        for (int r = 0; r < FIELD_ROWS; r++)
            for (int c = 0; c < FIELD_COLUMNS; c++) {
                CellLook look = field.cells[r][c];
                if (look != cells[r][c].figure)
                    continue;
                bool hostage = look == LOOK_HOSTAGE && !hostage_done && status_read &&
                               status.lives >= 2 && oldest != 0 && read_at - oldest <= YOUNG_MS;
                if (look != LOOK_TERRORIST && !hostage)
                    continue;
                bool better = target_r < 0 ||
                              (hostage && field.cells[target_r][target_c] != LOOK_HOSTAGE) ||
                              (look == field.cells[target_r][target_c] &&
                               cells[r][c].since > cells[target_r][target_c].since);
                if (better) {
                    target_r = r;
                    target_c = c;
                }
            }
        if (target_r < 0) {
            // Leaving a pause brings the next frame at once, and with it the next figure as
            // soon as the spawn interval allows; a pause costs no ammunition and no sound.
            if (read_at - last_hurry > 500) {
                program_command(game, CMD_PAUSE);
                program_command(game, CMD_PAUSE);
                last_hurry = read_at;
            }
            ::Sleep(40);
            continue;
        }
        CellWatch& cell = cells[target_r][target_c];
        bool terrorist = cell.figure == LOOK_TERRORIST;
        StatusLine before = status;
        uint32_t handled_by = 0;
        if (!shoot_and_read(game, target_c * 20 + 20, target_r * 20 + 46, before, found,
                            handled_by)) {
            if (find_message_box(game) && starts < STARTS)
                continue; // lost by this shot: a new game above
            failure = "no status line read after a shot: " + status_seen(game.window, before) +
                      program_state_text(game);
            break;
        }
        status = found;
        bool hit = terrorist ? found.score == before.score + 1
                             : found.score == before.score && found.lives < before.lives;
        bool alive = cell.since != 0 && handled_by - cell.since <= SURELY_ALIVE_MS;
        cell = CellWatch{};
        if (!terrorist && hit && (oldest == 0 || handled_by - oldest > SURELY_ALIVE_MS) &&
            starts < STARTS) {
            // A terrorist may have taken that life: whether the shot hit cannot be told.
            start_over = true;
            continue;
        }
        std::string name =
            terrorist ? "shooting a terrorist raises the score" : "shooting a hostage costs a life";
        if (!hit && alive) {
            StatusLine want = before;
            if (terrorist)
                want.score++;
            else
                want.lives--;
            report(name, false,
                   format("status line reads \"%s\" after the shot (expected \"%s\" with any "
                          "ammunition)",
                          status_text(found).c_str(), status_text(want).c_str()) +
                       program_state_text(game));
            report_hits(terrorist_done, hostage_done);
            std::vector<HeardSound> heard;
            sound_watch_stop("shooting", heard);
            return;
        }
        if (!hit) {
            // The figure may have run out of time before the click: the shot alone.
            clicks.push_back(
                ExpectedSounds{"sound: a shot at a figure whose time ran out", {"shoot"}});
            continue;
        }
        bool first = terrorist ? !terrorist_done : !hostage_done;
        if (first) {
            clicks.push_back(
                terrorist ? ExpectedSounds{"sound: a terrorist hit plays the whole shot, then "
                                           "the terrorist's sound",
                                           {"shoot", "bgdeath"}}
                          : ExpectedSounds{"sound: a hostage hit plays the whole shot, then the "
                                           "hostage's sound",
                                           {"shoot", "ggdeath"}});
        } else {
            clicks.push_back(ExpectedSounds{"sound: another terrorist hit", {"shoot", "bgdeath"}});
        }
        // The hit's sound (0.35 s or 0.6 s) plays to its end before the next shot would cut
        // it off; the margin covers a player that starts late on a busy machine.
        uint32_t sound_end = handled_by + (terrorist ? 1100 : 1400);
        while (int32_t(sound_end - now_ms()) > 0)
            ::Sleep(20);
        if (terrorist)
            terrorist_done = true;
        else
            hostage_done = true;
    }
    if (failure.empty() && !terrorist_done)
        failure = format("no terrorist hit in %u s", LIMIT_MS / 1000);
    if (failure.empty() && !hostage_done)
        failure = format("no hostage hit in %u s", LIMIT_MS / 1000);
    report_hits(terrorist_done, hostage_done);
    if (!failure.empty()) {
        report(terrorist_done ? "shooting a hostage costs a life"
                              : "shooting a terrorist raises the score",
               false, failure);
        std::vector<HeardSound> heard;
        sound_watch_stop("shooting", heard);
        return;
    }
    // The miss needs a game with lives to spare.
    if ((status.lives <= 1 || status.score >= 50) && !restart_game(game, status, cells))
        report("New after the shooting", false, "New did not start a new game");
    if (!listening)
        return;
    // A miss beside the field: the shot alone, played to its end before the paused frame
    // (or before the box of a game that terrorists left without lives meanwhile).
    StatusLine found{};
    uint32_t handled_by = 0;
    if (!shoot_and_read(game, 3, 30, status, found, handled_by) && find_message_box(game) &&
        !restart_game(game, status, cells))
        report("New after the shooting", false, "New did not start a new game");
    clicks.push_back(ExpectedSounds{"sound: a miss plays the whole shot only", {"shoot"}});
    ::Sleep(300);
    std::vector<HeardSound> heard;
    if (sound_watch_stop("shooting", heard))
        report_sounds(clicks, heard);
}

// Reads a status line of level 1 with the score (any lives and ammunition).
bool read_status_with_score(const Picture& client, int score, StatusLine& found) {
    return read_status(client, StatusLine{1, score, 3, 20}, found) && found.level == 1 &&
           found.score == score;
}

// Empties the ammunition with clicks beside the field, then clicks without any.
// Stops the no-ammunition recording: every sound heard must be a whole shot, and none may
// begin after the click without ammunition (at `clicked` ms into the recording; a sound
// reaches the recording some tens of milliseconds after it is started, never before).
void report_no_ammo_sounds(double clicked) {
    std::vector<HeardSound> heard;
    if (!sound_watch_stop("no-ammo", heard))
        return;
    int shots = 0;
    std::string why;
    for (const HeardSound& sound_heard : heard) {
        if (sound_heard.start >= clicked - 30.0)
            why = format("a sound began %.0f ms after the click: %s", sound_heard.start - clicked,
                         heard_text(heard).c_str());
        else if (sound_heard.name != "shoot" || !played_whole(sound_heard))
            why = "not a whole shot: " + heard_text(heard);
        shots++;
    }
    if (why.empty() && shots < 20)
        why = format("%d shots heard for 20 and more", shots);
    report("sound: every shot of the ammunition is heard whole; a click without any is silent",
           why.empty(), why);
}

// Spends the ammunition with 25 clicks beside the field in one batch (20 shots, then clicks
// without any; each shot plays its sound to the end first, about a quarter of a second
// under Wine) and pauses behind them, which holds the status line still: no shot comes back
// while the game is paused. True once a paused frame shows level 1, score 0 and no shots.
bool drain_ammunition(const RunningProgram& game, Picture& client, StatusLine& found) {
    for (int i = 0; i < 25; i++)
        program_click(game, 3, 30);
    program_command(game, CMD_PAUSE);
    return wait_paused(game.window, 3 * PATIENCE_MS, client) &&
           read_status_with_score(client, 0, found) && found.ammo == 0;
}

// Starts a new game and spends its ammunition: the game to try in once terrorists that ran
// out of time have taken its lives (a game without lives is lost at the next shot attempt,
// and its box holds every frame). Closes a lost game's box first; a paused game is left to
// run for the shots. True once the new game is paused without ammunition.
bool restart_without_ammunition(const RunningProgram& game, Picture& client, StatusLine& found) {
    if (HWND box = find_message_box(game))
        close_message_box(box, PATIENCE_MS);
    program_command(game, CMD_NEW);
    // Read as far down as "Paused..." leaves it: a paused game's notice touches its last row.
    const bool started = poll_until(PATIENCE_MS, [&] {
        return read_status_with_score(capture_field(game.window), 0, found) && found.lives == 3 &&
               found.ammo == 20;
    });
    if (!started)
        return false;
    // A paused game draws "Paused..." in every frame, about once a second.
    if (poll_until(2500, [&] { return pause_notice_shown(capture_field(game.window)); })) {
        program_command(game, CMD_PAUSE);
        if (!poll_until(PATIENCE_MS, [&] { return pause_notice_gone(capture_field(game.window)); }))
            return false;
    }
    report_note("terrorists that ran out of time took the lives: a new game to try in");
    return drain_ammunition(game, client, found);
}

// Terrorists on show (or a cell being drawn, which may be one): the most lives the next
// frame can take by their running out of time.
int terrorists_on_show(const RunningProgram& game, const CellReferences& refs) {
    const FieldView field = read_field(capture_field(game.window), 1, refs);
    int count = 0;
    for (const auto& row : field.cells)
        for (CellLook look : row)
            count += look == LOOK_TERRORIST || look == LOOK_OTHER ? 1 : 0;
    return count;
}

// Listens from the first click on: every sound heard must be a whole shot, and none may
// begin after the click without ammunition.
void check_no_ammo_click(const RunningProgram& game, const CellReferences& refs) {
    const bool listening = sound_watch_start("no-ammo");
    Picture client;
    StatusLine found{};
    bool drained = drain_ammunition(game, client, found);
    uint32_t paused_at = now_ms();
    report("25 clicks beside the field spend the 20 shots and score nothing", drained,
           status_seen(game.window, StatusLine{1, 0, 3, 0}));
    if (!drained) {
        std::vector<HeardSound> heard;
        sound_watch_stop("no-ammo", heard);
        return;
    }
    // A shot comes back in a frame more than a second after the last one came back. Leaving
    // a pause of over a second brings a frame that surely gives one back, and clicks spend
    // it at once: their frame gives none back while it comes within that second. The click
    // without ammunition must then be handled before the next frame by pacing, a second
    // after the clicks. Each attempt measures both from the driver's side, and a machine too
    // busy for them tries again. Figures keep coming meanwhile, and a terrorist whose time
    // runs out takes a life in any frame: when the lives run low, a new game takes over.
    constexpr int ATTEMPTS = 16;
    constexpr uint32_t SECOND = 1000, MARGIN = 100;
    bool marker_shows = true, redrawn = false, unchanged = false, in_time = false;
    bool measured = false; // some try spent the shots within the second that tells
    uint32_t took = 0, spent_after = 0, clicked_after = 0;
    double clicked_in_recording = 0.0;
    int lives = found.lives, could_expire = 0;
    StatusLine spent{}, after{};
    bool read = false;
    for (int attempt = 0; attempt < ATTEMPTS && !in_time; attempt++) {
        if (attempt > 0) {
            program_command(game, CMD_PAUSE);
            const bool paused = wait_paused(game.window, PATIENCE_MS, client);
            if (!paused || lives <= 1) {
                if (!restart_without_ammunition(game, client, found))
                    break;
                lives = found.lives;
            }
            paused_at = now_ms();
        }
        while (now_ms() - paused_at <= SECOND + MARGIN)
            ::Sleep(20);
        uint32_t resumed_at = now_ms();
        program_command(game, CMD_PAUSE);
        // Only the status line and the notice under it are read: quick on a busy machine.
        // The frame that gives the shot back comes after the last read without it.
        StatusLine running{};
        uint32_t resumed_by = resumed_at;
        if (!poll_until(
                PATIENCE_MS,
                [&] {
                    uint32_t read_at = now_ms();
                    client = capture_client(game.window, 0, 0, 300, 32);
                    bool drawn =
                        pause_notice_gone(client) && read_status_with_score(client, 0, running);
                    if (!drawn)
                        resumed_by = read_at;
                    return drawn;
                },
                10))
            break;
        // Spend what the game has (this frame's shot included), then wait for the frame
        // after the shots: a small mark on the status line tells when it ran.
        paint_over_status(game.window, 2, 2);
        marker_shows = all_of_colour(capture_client(game.window, 1, 1, 2, 2), 0, 0, 2, 2, 0xFF0000);
        uint32_t spend_at = now_ms();
        for (int i = 0; i <= running.ammo; i++)
            program_click(game, 3, 30);
        if (!marker_shows)
            ::Sleep(600);
        if (!poll_until(
                PATIENCE_MS,
                [&] {
                    client = capture_client(game.window, 0, 0, 300, 20);
                    return client.pixels[size_t(1) * client.width + 1] != 0xFF0000 &&
                           read_status_with_score(client, 0, spent) && spent.ammo == 0;
                },
                10))
            break;
        spent_after = now_ms() - resumed_by;
        lives = spent.lives;
        // The last shot's sound (played to its end before its frame) reaches the recording
        // before the click without ammunition.
        ::Sleep(150);
        could_expire = terrorists_on_show(game, refs);
        // Cover the status line on the screen: the next frame repaints it from the game's
        // picture, which tells when that frame ran.
        const Picture& line = render_text(status_text(spent));
        paint_over_status(game.window, line.width, line.height);
        Picture covered = capture_client(game.window, 1, 1, line.width, line.height);
        marker_shows =
            marker_shows && all_of_colour(covered, 0, 0, line.width, line.height, 0xFF0000);
        uint32_t clicked = now_ms();
        clicked_in_recording = listening ? sound_watch_time() : 0.0;
        program_click(game, 3, 30);
        Picture seen_line;
        redrawn = poll_until(
            PATIENCE_MS,
            [&] {
                seen_line = capture_client(game.window, 1, 1, line.width, line.height);
                return !all_of_colour(seen_line, 0, 0, 4, line.height, 0xFF0000);
            },
            10);
        uint32_t redrawn_at = now_ms();
        took = redrawn_at - clicked;
        clicked_after = redrawn_at - spend_at;
        // Nothing of the click shows: still level 1, no score, no shot. Lives may have gone
        // only to terrorists on show before it whose time ran out in that frame.
        read =
            redrawn && poll_until(SECOND, [&] {
                return read_status_with_score(capture_client(game.window, 0, 0, 300, 20), 0, after);
            });
        lives = read ? after.lives : lives;
        unchanged = read && after.ammo == 0 && after.lives <= spent.lives &&
                    after.lives >= spent.lives - could_expire;
        // Within those seconds no frame gave a shot back, and none came by its pacing: the
        // click was handled without ammunition, and the frame came because of it.
        measured = measured || spent_after + MARGIN <= SECOND;
        in_time =
            !marker_shows || (redrawn && spent_after + MARGIN <= SECOND && clicked_after < SECOND);
        if (!in_time && attempt + 1 < ATTEMPTS)
            report_note(format("a busy machine: the shots were spent %u ms after leaving the "
                               "pause and the click's frame came %u ms after them (each must "
                               "stay within a second): again",
                               spent_after, clicked_after));
    }
    if (listening)
        report_no_ammo_sounds(clicked_in_recording);
    const std::string changed =
        format("before the click \"%s\" with %d terrorists on show, after it %s",
               status_text(spent).c_str(), could_expire,
               read ? ("\"" + status_text(after) + "\"").c_str()
                    : status_seen(game.window, StatusLine{1, 0, spent.lives, 0}).c_str());
    if (!marker_shows || !measured) {
        // A machine so busy that no try could spend the shots within a second of leaving
        // the pause cannot tell a hurried frame from a paced one.
        report_note(!marker_shows ? "the screen cannot be drawn over from another process "
                                    "here: the hurry of a click without ammunition is not "
                                    "measured"
                                  : format("a machine too busy in each of %d tries: the hurry "
                                           "of a click without ammunition is not measured",
                                           ATTEMPTS));
        report("a click without ammunition changes nothing", unchanged, changed);
        return;
    }
    if (redrawn)
        report_note(format("a click without ammunition brought the next frame after %u ms (the "
                           "shots before it came %u ms after leaving the pause, the frame %u ms "
                           "after the shots)",
                           took, spent_after, clicked_after));
    report("a click without ammunition changes nothing and hurries the frame",
           unchanged && redrawn && in_time,
           !redrawn     ? "no frame drew the status line in time"
           : !unchanged ? changed
                        : format("the next frame came %u ms after the click and %u ms after the "
                                 "shots that emptied the ammunition (pacing is 1000 ms; the "
                                 "shots came %u ms after leaving the pause) in each of %d tries",
                                 took, clicked_after, spent_after, ATTEMPTS));
}

// Starts a new game and watches it until a terrorist is on show and every terrorist on
// show appeared less than young_ms ago; true with the status line of that read.
bool new_game_with_young_terrorists(const RunningProgram& game, const CellReferences& refs,
                                    uint32_t young_ms, StatusLine& status) {
    // A lost game's box is closed first: New is for the game, not for the box's own loop.
    if (HWND box = find_message_box(game))
        close_message_box(box, PATIENCE_MS);
    // Sent, not posted: once it returns the window is cleared, so no read that follows can
    // take the old game's field or status line (which may read the same) for the new one.
    DWORD_PTR result = 0;
    if (!::SendMessageTimeoutA(game.window, WM_COMMAND, CMD_NEW, 0, SMTO_ABORTIFHUNG, PATIENCE_MS,
                               &result))
        return false;
    std::string seen;
    if (!wait_status(game.window, StatusLine{1, 0, 3, 20}, PATIENCE_MS, seen, "young-new"))
        return false;
    FieldWatch cells;
    const uint32_t new_at = now_ms();
    for (auto& row : cells)
        for (CellWatch& cell : row)
            cell.slot_at = new_at; // no figure of this game is older than New
    return poll_until(60000, [&] {
        const uint32_t read_at = now_ms();
        Picture client = capture_field(game.window);
        watch_field(cells, read_field(client, 1, refs), read_at);
        int terrorists = 0, old = 0;
        for (auto& row : cells)
            for (CellWatch& cell : row)
                if (cell.figure == LOOK_TERRORIST) {
                    terrorists++;
                    old += read_at - cell.since > young_ms;
                }
        return terrorists > 0 && old == 0 && read_status(client, StatusLine{1, 0, 3, 20}, status);
    });
}

// Pauses, checks "Paused..." and the frozen field, resumes and checks the redraw. A new game
// whose terrorists on show are all young comes first, so that none can run out of time and
// take the last life between the shots here and the pause that holds them.
void check_pause(const RunningProgram& game, const CellReferences& refs) {
    StatusLine status{};
    if (!report("a young terrorist on show before the pause",
                new_game_with_young_terrorists(game, refs, 1200, status),
                "none within 60 s of New" + program_state_text(game)))
        return;
    // Shoot the terrorists on show and pause in the same batch of events: the paused frames
    // then show the status line after the shots.
    FieldView start_field = read_field(capture_field(game.window), 1, refs);
    int shots = 0;
    for (int r = 0; r < FIELD_ROWS; r++)
        for (int c = 0; c < FIELD_COLUMNS; c++)
            if (start_field.cells[r][c] == LOOK_TERRORIST) {
                program_click(game, c * 20 + 20, r * 20 + 46);
                shots++;
            }
    program_command(game, CMD_PAUSE);
    const Picture& paused = render_text("Paused...");
    Picture client;
    bool shown = wait_paused(game.window, PATIENCE_MS, client);
    if (!report("Pause draws \"Paused...\" at (1,14)", shown, "no \"Paused...\" at (1,14)"))
        save_failure_pictures("paused-text", paused,
                              crop(client, 1, 14, paused.width, paused.height));
    // The paused frames show the status line after the shots; a shot at a terrorist whose
    // time had run out scores nothing.
    StatusLine frozen_status = status;
    for (int score = status.score; score <= status.score + shots; score++)
        if (read_status(client, StatusLine{status.level, score, status.lives, 20}, frozen_status))
            break;
    ::Sleep(100);
    Picture before = capture_field(game.window);
    ::Sleep(2600);
    Picture after = capture_field(game.window);
    int changed = count_differences(before, after);
    if (!report("Pause freezes the figures", changed == 0,
                format("%d pixels of the field and status line changed in 2.6 s", changed)))
        save_failure_pictures("pause-freeze", before, after);

    FieldView frozen = read_field(before, 1, refs);
    program_command(game, CMD_PAUSE);
    // The first frame after the pause clears "Paused..." and draws the field and the status
    // line again.
    Picture resumed;
    StatusLine found{};
    bool status_back = poll_until(PATIENCE_MS, [&] {
        resumed = capture_field(game.window);
        return pause_notice_gone(resumed) && read_status(resumed, frozen_status, found) &&
               found.level == frozen_status.level && found.score == frozen_status.score;
    });
    FieldView field = read_field(resumed, 1, refs);
    std::string why;
    bool ok = status_back;
    if (!status_back)
        why = pause_notice_gone(resumed) ? status_seen(game.window, frozen_status)
                                         : "\"Paused...\" is still drawn under the status line";
    for (int r = 0; ok && r < FIELD_ROWS; r++)
        for (int c = 0; ok && c < FIELD_COLUMNS; c++)
            if ((field.cells[r][c] == LOOK_BLUE) != (frozen.cells[r][c] == LOOK_BLUE)) {
                ok = false;
                why = format("cell (%d,%d) was not redrawn as before", r, c) + field_text(field);
            }
    if (!report("Pause again clears \"Paused...\" and redraws field and status line", ok, why))
        save_failure_pictures("pause-resume", before, resumed);
}

// A pause of 5 s with terrorists on the field costs no life: leaving it gives every figure
// the time it had left when the pause began. A fresh game is watched until every terrorist
// on show appeared less than 1.2 s ago (a figure lives 3.5 s) and paused at once; the old
// fault cost one life per terrorist in the first frame after the pause.
void check_pause_keeps_time(const RunningProgram& game, const CellReferences& refs) {
    constexpr uint32_t YOUNG_MS = 1200;
    constexpr DWORD PAUSE_MS = 5000;
    StatusLine before{};
    if (!report("a young terrorist on show before the long pause",
                new_game_with_young_terrorists(game, refs, YOUNG_MS, before),
                "none within 60 s of New" + program_state_text(game)))
        return;
    program_command(game, CMD_PAUSE);
    Picture client;
    StatusLine frozen{};
    bool paused = wait_paused(game.window, PATIENCE_MS, client) &&
                  read_status(client, StatusLine{1, 0, 3, 20}, frozen);
    if (!report("the long pause shows its status line", paused, status_seen(game.window, frozen)))
        return;
    ::Sleep(PAUSE_MS); // the pause itself: the time the figures must not be charged for
    program_command(game, CMD_PAUSE);
    Picture resumed;
    StatusLine found{};
    bool back = poll_until(PATIENCE_MS, [&] {
        resumed = capture_field(game.window);
        return pause_notice_gone(resumed) && read_status(resumed, frozen, found);
    });
    report("a 5 s pause with terrorists on show costs no life", back && found.lives == frozen.lives,
           back ? format("lives %d before the pause, %d in the first frame after it", frozen.lives,
                         found.lives)
                : status_seen(game.window, frozen));
}

// Presses and lets go of each key in turn through the real input queue.
void press_keys(std::initializer_list<WORD> keys) {
    std::vector<INPUT> in;
    for (WORD key : keys)
        for (DWORD up : {DWORD(0), DWORD(KEYEVENTF_KEYUP)}) {
            INPUT one{};
            one.type = INPUT_KEYBOARD;
            one.ki.wVk = key;
            one.ki.dwFlags = up;
            in.push_back(one);
        }
    ::SendInput(UINT(in.size()), in.data(), sizeof(INPUT));
}

// A menu held open for 6 s with young terrorists on the field costs no life: the frames
// stand still while it is open, and closing it gives every figure the time it had left.
// The menu is opened and closed by keys (Alt, Down, Right: the Options menu); a mark
// painted on the status line's first pixels shows that no frame ran while it was open,
// and the first frame after it closed draws the status line over the mark. The old fault
// cost one life per terrorist in that first frame.
void check_menu_keeps_time(const RunningProgram& game, const CellReferences& refs) {
    constexpr uint32_t YOUNG_MS = 1200;
    constexpr DWORD HOLD_MS = 6000;
    StatusLine before{};
    if (!report("a young terrorist on show before the menu opens",
                new_game_with_young_terrorists(game, refs, YOUNG_MS, before),
                "none within 60 s of New" + program_state_text(game)))
        return;
    poll_until(PATIENCE_MS / 4, [&] {
        ::SetForegroundWindow(game.window);
        return ::GetForegroundWindow() == game.window;
    });
    press_keys({VK_MENU, VK_DOWN, VK_RIGHT});
    // Down opens the first menu, over the status line's start, and Right then moves to
    // Options: a busy game may show the first one for a while.
    HWND popup = nullptr;
    bool open = false, mark_free = false;
    poll_until(PATIENCE_MS, [&] {
        popup = launch_find_window(game.info.dwProcessId, "#32768", LAUNCH_VISIBLE);
        open = popup != nullptr;
        mark_free = open && window_rect(popup).left > client_rect_on_screen(game.window).left + 4;
        return mark_free;
    });
    if (!report("the Options menu opens by keys, clear of the status line's start",
                open && mark_free,
                open ? "the open menu covers the status line's first pixels"
                     : "no menu opened" + program_state_text(game))) {
        ::PostMessageA(game.window, WM_CANCELMODE, 0, 0);
        return;
    }
    paint_over_status(game.window, 2, 2);
    ::Sleep(HOLD_MS); // the menu held open: the time the figures must not be charged for
    bool held = all_of_colour(capture_client(game.window, 1, 1, 2, 2), 0, 0, 2, 2, 0xFF0000);
    press_keys({VK_ESCAPE, VK_ESCAPE});
    Picture after;
    StatusLine found{};
    bool drawn = poll_until(PATIENCE_MS, [&] {
        after = capture_field(game.window);
        return after.pixels[size_t(1) * after.width + 1] != 0xFF0000 &&
               read_status(after, before, found);
    });
    bool closed = launch_find_window(game.info.dwProcessId, "#32768", LAUNCH_VISIBLE) == nullptr;
    report("no frame runs while a menu is open", held,
           "the mark on the status line was drawn over while the menu was open");
    report("a menu held open 6 s with terrorists on show costs no life",
           closed && drawn && found.lives == before.lives,
           !closed  ? "the menu was still open after two Escapes"
           : !drawn ? status_seen(game.window, before)
                    : format("lives %d before the menu, %d in the first frame after it",
                             before.lives, found.lives));
}

// Saves the game window as the screenshot of a game in progress.
void save_screenshot(const RunningProgram& game, const CellReferences& refs) {
    uint32_t start = now_ms();
    int figures = 0;
    while (now_ms() - start < 8000) {
        FieldView field = read_field(capture_field(game.window), 1, refs);
        figures = 0;
        for (auto& row : field.cells)
            for (CellLook look : row)
                figures += look == LOOK_HOSTAGE || look == LOOK_TERRORIST;
        if (figures >= 2)
            break;
        ::Sleep(100);
    }
    RECT r = window_rect(game.window);
    Picture shot = capture_screen(r.left, r.top, r.right - r.left, r.bottom - r.top);
    std::string path = launch_own_folder() + "e2e-screenshot.png";
    report("screenshot written", png_write(path, shot), "could not write " + path);
}

// Ends the game through a way that must give exit code 0.
void check_exit(RunningProgram& game, const std::string& name) {
    DWORD code = 0;
    bool ended = program_wait_exit(game, PATIENCE_MS, code);
    report(name, ended && code == 0,
           ended ? format("exit code %lu", code) : "the game still ran long after");
}

std::string make_temp_folder() {
    char temp[MAX_PATH];
    ::GetTempPathA(MAX_PATH, temp);
    std::string folder = format("%starrowind-e2e-%lu\\", temp, ::GetCurrentProcessId());
    ::CreateDirectoryA(folder.c_str(), nullptr);
    return folder;
}

// Plays a copy of tarrowind.exe alone in a folder without graphics\ and sound\.
void check_without_data(const CellReferences& refs) {
    std::string folder = make_temp_folder();
    std::string exe = folder + "tarrowind.exe";
    if (!report("no data folders: copy the program alone",
                ::CopyFileA((launch_own_folder() + "tarrowind.exe").c_str(), exe.c_str(), FALSE) !=
                    0,
                "CopyFile to " + exe + " failed")) {
        ::RemoveDirectoryA(folder.c_str());
        return;
    }
    RunningProgram game;
    std::string why;
    if (report("no data folders: the game starts", game_start(game, folder, why), why)) {
        program_command(game, CMD_NEW);
        std::string seen;
        bool ok =
            wait_status(game.window, StatusLine{1, 0, 3, 20}, PATIENCE_MS, seen, "nodata-new");
        FieldView field = read_field(capture_field(game.window), 1, refs);
        for (auto& row : field.cells)
            for (CellLook look : row)
                if (ok && look != LOOK_BLUE && look != LOOK_SLOT) {
                    ok = false;
                    seen = "a cell shows something other than a bare square" + field_text(field);
                }
        if (ok && !field_layout_ok(field, 4, seen))
            ok = false;
        report("no data folders: New draws the field and status line (figures as bare squares)", ok,
               seen);
        const bool listening = sound_watch_start("no-data");
        // The pause behind the shot holds "Ammo: 19" on the status line: the shot does not
        // come back while the game is paused. Lives may have gone to terrorists meanwhile.
        program_click(game, 3, 30);
        program_command(game, CMD_PAUSE);
        StatusLine shot{};
        report("no data folders: a shot without sound files goes on at once",
               poll_until(PATIENCE_MS,
                          [&] {
                              return read_status_with_score(capture_field(game.window), 0, shot) &&
                                     shot.ammo == 19;
                          }),
               status_seen(game.window, StatusLine{1, 0, 3, 19}));
        std::vector<HeardSound> heard;
        if (listening) {
            ::Sleep(500);
            if (sound_watch_stop("no-data", heard))
                report("sound: without sound files a shot is silent", heard.empty(),
                       "heard: " + heard_text(heard));
        }
        program_command(game, CMD_QUIT);
        check_exit(game, "no data folders: Quit ends with exit code 0");
    }
    program_kill(game);
    ::DeleteFileA(exe.c_str());
    ::RemoveDirectoryA(folder.c_str());
}

} // namespace

// ============================================================================
// Public routines
// ============================================================================

// Runs the checks on one game from start to "Quit".
void run_main_checks(const CellReferences& refs) {
    RunningProgram game;
    std::string why;
    if (!report("the game starts and shows its window", game_start(game, launch_own_folder(), why),
                why)) {
        program_kill(game);
        return;
    }
    check_window_identity(game);
    check_size_and_centre(game, "window", WindowSize{320, 200}, WindowSize{320, 208});
    check_blue_before_new(game);
    // Each stage runs only while the game still answers: a hung or ended game is reported
    // once, with what it was doing, instead of failing every later wait in turn.
    const char* stage = "the menu check";
    robot_hold(true);
    run_menu_checks(game);
    robot_hold(false);
    if (program_state_text(game).empty()) {
        stage = "the message boxes";
        check_boxes_and_zoom(game);
    }
    if (program_state_text(game).empty()) {
        stage = "New and shooting";
        check_new_game(game, refs);
        StatusLine status{1, 0, 3, 20};
        check_shooting(game, refs, status);
        save_screenshot(game, refs);
        stage = "the pause";
        check_pause(game, refs);
        stage = "the long pause";
        check_pause_keeps_time(game, refs);
        stage = "the menu held open";
        robot_hold(true);
        check_menu_keeps_time(game, refs);
        robot_hold(false);
    }
    std::string state = program_state_text(game);
    if (!report("the game still runs and answers after the checks", state.empty(),
                std::string("after ") + stage + state)) {
        program_kill(game);
        return;
    }
    program_command(game, CMD_QUIT);
    check_exit(game, "Quit ends the program with exit code 0");
    program_kill(game);
}

// Runs the close-request checks, the run without data folders and the run from a folder
// named in Cyrillic and Chinese.
void run_closing_checks(const CellReferences& refs) {
    RunningProgram game;
    std::string why;
    if (report("second start", game_start(game, launch_own_folder(), why), why)) {
        program_command(game, CMD_NEW);
        std::string seen;
        if (report(
                "second game: New",
                wait_status(game.window, StatusLine{1, 0, 3, 20}, PATIENCE_MS, seen, "second-new"),
                seen))
            check_no_ammo_click(game, refs);
        ::PostMessageA(game.window, WM_CLOSE, 0, 0);
        check_exit(game, "a close request (WM_CLOSE) ends the program with exit code 0");
    }
    program_kill(game);

    if (report("third start", game_start(game, launch_own_folder(), why), why)) {
        program_command(game, CMD_RULES);
        HWND box = wait_message_box(game, PATIENCE_MS);
        report("Rules box open before the close request", box != nullptr, "no message box in time");
        ::PostMessageA(game.window, WM_CLOSE, 0, 0);
        check_exit(game, "a close request while a message box is open ends with exit code 0");
    }
    program_kill(game);

    check_without_data(refs);
    check_from_named_folder(refs);
}
