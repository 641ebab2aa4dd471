// The driver's checks on one game at a time: window, message boxes, magnification, a new
// game's field and status line, shooting, pausing, and the ways the program ends.
// Relies on game_process.cpp to start and steer the game and on screen.cpp to read and
// compare what it shows; the menu's own check and the playing robot live elsewhere.
#include "driver.h"

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
void check_size_and_centre(const GameProcess& game, const std::string& label, WindowSize plain,
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
void check_box(const GameProcess& game, const std::string& name, const std::string& caption,
               const std::string& text, bool text_is_prefix) {
    HWND box = wait_message_box(game, 5000);
    if (!report(name + " box shown", box != nullptr,
                "no message box within 5 s" + game_state_text(game)))
        return;
    std::string seen_caption = window_text(box);
    std::string seen_text = window_text(::GetDlgItem(box, 0xFFFF));
    bool text_ok = text_is_prefix ? seen_text.size() > text.size() + 1 &&
                                        seen_text.compare(0, text.size(), text) == 0
                                  : seen_text == text;
    report(name + " box caption and text", seen_caption == caption && text_ok,
           format("caption \"%s\", text \"%s\"", seen_caption.c_str(), seen_text.c_str()));
    RECT b = window_rect(box);
    RECT owner = window_rect(game.window);
    POINT want = centred_over_owner(owner, b.right - b.left, b.bottom - b.top);
    report(name + " box centred over the window", b.left == want.x && b.top == want.y,
           format("box at %s over window %s, rule gives (%ld,%ld)", rect_text(b).c_str(),
                  rect_text(owner).c_str(), want.x, want.y));
    report(name + " box closes with OK", close_message_box(box, 3000),
           "the box was still open 3 s after OK");
}

// Waits until the status line shows the given level, score and lives (any ammunition).
bool wait_status_numbers(HWND window, int level, int score, int lives, DWORD timeout_ms,
                         StatusLine& found) {
    uint32_t start = now_ms();
    do {
        Picture client = capture_client(window, 0, 0, 300, 20);
        StatusLine guess{level, score, lives, 20};
        if (read_status(client, guess, found) && found.level == level && found.score == score &&
            found.lives == lives)
            return true;
        ::Sleep(40);
    } while (now_ms() - start < timeout_ms);
    return false;
}

std::string status_seen(HWND window, const StatusLine& guess) {
    Picture client = capture_client(window, 0, 0, 300, 20);
    StatusLine found{};
    StatusLine wide{guess.level, guess.score > 2 ? guess.score - 2 : 0, guess.lives + 1, 20};
    if (read_status(client, wide, found))
        return "status line reads \"" + status_text(found) + "\"";
    return "no status line near \"" + status_text(guess) + "\" on screen";
}

Picture capture_field(const GameProcess& game) {
    return capture_client(game.window, 0, 0, 300, 160);
}

// Checks the window's caption, class and styles.
void check_window_identity(const GameProcess& game) {
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
void check_blue_before_new(const GameProcess& game) {
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
    } while (!blue && now_ms() - start < 3000);
    if (!report("before New: blue client area, no status line", blue,
                "the client area is not plain RGB 0,0,255")) {
        Picture want = seen;
        for (uint32_t& p : want.pixels)
            p = BLUE;
        save_failure_pictures("before-new", want, seen);
    }
}

// Checks the four boxes of the menu commands and the window size at both magnifications.
void check_boxes_and_zoom(const GameProcess& game) {
    game_command(game, CMD_RULES);
    check_box(game, "Rules", "Rules",
              "Dangerous terrorists have taken innocent\r\n"
              "people as hostages. Your mission is to rescue\r\n"
              "the hostages and kill the terrorists. To kill\r\n"
              "a terrorist, click one with your mouse. Take\r\n"
              "extra care to not kill hostages. When a\r\n"
              "terrorist appears, kill him quickly before\r\n"
              "he disappears or he will shoot you.",
              false);
    game_command(game, CMD_ABOUT);
    check_box(game, "About", "About", "Tarrowind\r\n\r\n", true);

    game_command(game, CMD_ZOOM2);
    HWND box = wait_message_box(game, 5000);
    check_size_and_centre(game, "2x window", WindowSize{640, 360}, WindowSize{640, 376});
    if (box)
        check_box(game, "2x", "Alert", "Magnification set to 2x.\r\n(may be slow on some machines)",
                  false);
    else
        report("2x box shown", false, "no message box within 5 s" + game_state_text(game));

    game_command(game, CMD_ZOOM1);
    box = wait_message_box(game, 5000);
    check_size_and_centre(game, "1x window", WindowSize{320, 200}, WindowSize{320, 208});
    if (box)
        check_box(game, "1x", "Alert", "Magnification set to 1x.", false);
    else
        report("1x box shown", false, "no message box within 5 s" + game_state_text(game));
}

// Starts a game and checks its first field and status line; returns the field seen.
FieldView check_new_game(const GameProcess& game, const CellReferences& refs) {
    game_command(game, CMD_NEW);
    std::string seen;
    bool shown = wait_status(game.window, StatusLine{1, 0, 3, 20}, 5000, seen, "new-status-line");
    report("New: status line", shown, seen + game_state_text(game));
    Picture client = capture_field(game);
    FieldView field = read_field(client, 1, refs);
    std::string why;
    bool ok = field_layout_ok(field, 4, why);
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
    if (ok && refs.have_pictures && figures == 0) {
        ok = false;
        why = "no figure in the first frame";
    }
    if (!ok)
        save_failure_pictures("new-field", client, client);
    report("New: field drawn (grey-ringed black cells, columns from the bottom, at most 4 high)",
           ok, why + field_text(field));
    return field;
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

// Shoots a terrorist and a hostage and checks each effect on the status line, then misses;
// listens to every shot.
void check_shooting(const GameProcess& game, const CellReferences& refs, StatusLine& status) {
    bool terrorist_done = false, hostage_done = false;
    const bool listening = sound_watch_start("shooting");
    std::vector<ExpectedSounds> clicks;
    uint32_t start = now_ms();
    // Only figures seen to appear are shot, within 1.5 s of their 3.5 s: an older one may
    // have run out of time already and still show, and a click finds a free slot there.
    // Shots now last as long as their sound, which makes that race likelier.
    uint32_t seen_since[FIELD_ROWS][FIELD_COLUMNS] = {};
    CellLook seen_look[FIELD_ROWS][FIELD_COLUMNS];
    for (auto& row : seen_look)
        for (CellLook& look : row)
            look = LOOK_OTHER; // figures on show at the start count as old
    bool first_read = true;
    while ((!terrorist_done || !hostage_done) && now_ms() - start < 30000) {
        FieldView field = read_field(capture_field(game), 1, refs);
        uint32_t read_at = now_ms();
        for (int r = 0; r < FIELD_ROWS; r++)
            for (int c = 0; c < FIELD_COLUMNS; c++) {
                CellLook look = field.cells[r][c];
                if (look != seen_look[r][c])
                    seen_since[r][c] = first_read ? 0 : read_at;
                seen_look[r][c] = look;
            }
        first_read = false;
        // A fresh hostage goes first while none was shot: terrorists come often enough that
        // shooting each one first could use up the whole 30 s.
        int target_r = -1, target_c = -1, old_r = -1, old_c = -1;
        CellLook target = LOOK_BLUE;
        for (int r = 0; r < FIELD_ROWS; r++)
            for (int c = 0; c < FIELD_COLUMNS; c++) {
                CellLook look = field.cells[r][c];
                bool fresh = seen_since[r][c] != 0 && read_at - seen_since[r][c] < 1500;
                bool wanted = look == LOOK_TERRORIST || (look == LOOK_HOSTAGE && !hostage_done);
                if (fresh && wanted && (target_r < 0 || look == LOOK_HOSTAGE) &&
                    target != LOOK_HOSTAGE) {
                    target_r = r;
                    target_c = c;
                    target = look;
                } else if (!fresh && look == LOOK_TERRORIST && old_r < 0) {
                    old_r = r;
                    old_c = c;
                }
            }
        if (target_r < 0 && old_r >= 0) {
            // An old terrorist is shot too, or it would soon cost a life; it may have run
            // out of time already, so the status tells whether it was hit.
            game_click(game, old_c * 20 + 20, old_r * 20 + 46);
            StatusLine found{};
            bool hit = false, missed = false;
            for (uint32_t waited = now_ms(); !hit && !missed && now_ms() - waited < 3000;)
                for (int lives = status.lives; lives >= status.lives - 3 && lives >= 0; lives--) {
                    hit = hit || wait_status_numbers(game.window, status.level, status.score + 1,
                                                     lives, 0, found);
                    missed = missed || (now_ms() - waited > 1000 &&
                                        wait_status_numbers(game.window, status.level, status.score,
                                                            lives, 0, found));
                }
            if (!hit && !missed)
                break;
            status = found;
            clicks.push_back(
                hit ? ExpectedSounds{"sound: another terrorist hit", {"shoot", "bgdeath"}}
                    : ExpectedSounds{"sound: a shot at a figure whose time ran out", {"shoot"}});
            ::Sleep(hit ? 700 : 300);
            continue;
        }
        if (target_r < 0) {
            ::Sleep(60);
            continue;
        }
        game_click(game, target_c * 20 + 20, target_r * 20 + 46);
        bool terrorist = target == LOOK_TERRORIST;
        StatusLine want = status;
        if (terrorist)
            want.score++;
        else
            want.lives--;
        StatusLine found{};
        // Old terrorists left standing may run out of time meanwhile and cost lives too.
        bool ok = false;
        for (uint32_t waited = now_ms(); !ok && now_ms() - waited < 3000;)
            for (int lives = want.lives; !ok && lives >= want.lives - 3 && lives >= 0; lives--)
                ok = wait_status_numbers(game.window, want.level, want.score, lives, 0, found);
        Picture cell = crop(capture_field(game), target_c * 20 + 10, target_r * 20 + 36, 20, 20);
        CellLook after = classify_cell(cell, 1, refs, true);
        std::string name =
            terrorist ? "shooting a terrorist raises the score" : "shooting a hostage costs a life";
        std::string seen = ok ? "" : status_seen(game.window, want);
        if (ok && after != LOOK_SLOT && after != LOOK_HOSTAGE && after != LOOK_TERRORIST) {
            ok = false;
            seen = format("cell (%d,%d) is not a slot after the hit", target_r, target_c);
        }
        if (!ok) {
            seen += " (expected \"" + status_text(want) + "\" with any ammunition)" +
                    game_state_text(game);
            const Picture& expected = render_text(status_text(want));
            save_failure_pictures(
                name, expected, capture_client(game.window, 1, 1, expected.width, expected.height));
        }
        bool first = terrorist ? !terrorist_done : !hostage_done;
        if (first || !ok)
            report(name, ok, seen);
        if (ok) {
            status = found;
        } else {
            std::vector<HeardSound> heard;
            sound_watch_stop("shooting", heard);
            return;
        }
        if (first)
            clicks.push_back(
                terrorist ? ExpectedSounds{"sound: a terrorist hit plays the whole shot, then "
                                           "the terrorist's sound",
                                           {"shoot", "bgdeath"}}
                          : ExpectedSounds{"sound: a hostage hit plays the whole shot, then the "
                                           "hostage's sound",
                                           {"shoot", "ggdeath"}});
        else
            clicks.push_back(ExpectedSounds{"sound: another terrorist hit",
                                            {"shoot", terrorist ? "bgdeath" : "ggdeath"}});
        // The hit's sound plays to its end before the next shot would cut it off.
        ::Sleep(terrorist ? 700 : 950);
        if (terrorist)
            terrorist_done = true;
        else
            hostage_done = true;
    }
    if (!terrorist_done)
        report("shooting a terrorist raises the score", false, "no terrorist seen in 30 s");
    if (!hostage_done)
        report("shooting a hostage costs a life", false, "no hostage seen in 30 s");
    if (!listening)
        return;
    // A miss beside the field: the shot alone.
    game_click(game, 3, 30);
    clicks.push_back(ExpectedSounds{"sound: a miss plays the whole shot only", {"shoot"}});
    ::Sleep(700);
    std::vector<HeardSound> heard;
    if (sound_watch_stop("shooting", heard))
        report_sounds(clicks, heard);
}

// Reads the status line until it shows the score with no ammunition (lives may fall as
// terrorists run out of time); true with what it showed.
bool wait_no_ammo(HWND window, int score, DWORD timeout_ms, StatusLine& found) {
    uint32_t start = now_ms();
    do {
        Picture client = capture_client(window, 0, 0, 300, 20);
        for (int lives = 3; lives >= 1; lives--)
            if (read_status(client, StatusLine{1, score, lives, 0}, found) && found.ammo == 0 &&
                found.score == score)
                return true;
        ::Sleep(40);
    } while (now_ms() - start < timeout_ms);
    return false;
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

// Listens from the first click on: every sound heard must be a whole shot, and none may
// begin after the click without ammunition.
void check_no_ammo_click(const GameProcess& game) {
    const bool listening = sound_watch_start("no-ammo");
    // 25 clicks in one batch: 20 spend the ammunition, the rest find none. Each shot
    // plays its sound to the end first (about a quarter of a second under Wine).
    for (int i = 0; i < 25; i++)
        game_click(game, 3, 30);
    StatusLine found{};
    bool drained = wait_no_ammo(game.window, 0, 15000, found);
    report("25 clicks beside the field spend the 20 shots and score nothing", drained,
           status_seen(game.window, StatusLine{1, 0, 3, 0}));
    if (!drained) {
        std::vector<HeardSound> heard;
        sound_watch_stop("no-ammo", heard);
        return;
    }
    // The frame that drew "Ammo: 0" refilled one shot (the first refill of a game is due at
    // once); two quick clicks use it up, so the game now has none and no refill is due for
    // a second.
    game_click(game, 3, 30);
    game_click(game, 3, 30);
    // Their two shots end before the click without ammunition (a refill is a second away).
    ::Sleep(listening ? 600 : 250);
    // Cover the status line on the screen: the next frame repaints it from the game's
    // picture, which tells when that frame ran.
    RECT client = client_rect_on_screen(game.window);
    const Picture& line = render_text(status_text(found));
    HDC screen = ::GetDC(nullptr);
    HBRUSH red = ::CreateSolidBrush(RGB(255, 0, 0));
    RECT cover{client.left + 1, client.top + 1, client.left + 1 + line.width,
               client.top + 1 + line.height};
    ::FillRect(screen, &cover, red);
    ::DeleteObject(red);
    ::ReleaseDC(nullptr, screen);
    Picture covered = capture_client(game.window, 1, 1, line.width, line.height);
    bool marker_shows = all_of_colour(covered, 0, 0, line.width, line.height, 0xFF0000);
    uint32_t clicked = now_ms();
    const double clicked_in_recording = listening ? sound_watch_time() : 0.0;
    game_click(game, 3, 30);
    bool redrawn = false;
    uint32_t took = 0;
    while (now_ms() - clicked < 2500) {
        Picture seen_line = capture_client(game.window, 1, 1, line.width, line.height);
        if (!all_of_colour(seen_line, 0, 0, 4, line.height, 0xFF0000)) {
            redrawn = true;
            took = now_ms() - clicked;
            break;
        }
        ::Sleep(10);
    }
    StatusLine after{};
    bool unchanged = wait_no_ammo(game.window, 0, 1000, after);
    if (listening)
        report_no_ammo_sounds(clicked_in_recording);
    if (!marker_shows) {
        report_note("the screen cannot be drawn over from another process here: the hurry "
                    "of a click without ammunition is not measured");
        report("a click without ammunition changes nothing", unchanged,
               status_seen(game.window, found));
        return;
    }
    if (redrawn)
        report_note(format("a click without ammunition brought the next frame after %u ms", took));
    report("a click without ammunition changes nothing and hurries the frame",
           unchanged && redrawn && took < 450,
           !unchanged ? status_seen(game.window, found)
           : !redrawn
               ? "no frame drew the status line within 2.5 s"
               : format("the next frame came %u ms after the click (pacing is 1000 ms)", took));
}

// Pauses, checks "Paused..." and the frozen field, resumes and checks the redraw.
void check_pause(const GameProcess& game, const CellReferences& refs, StatusLine status) {
    // Shoot the terrorists on show and pause in the same batch of events: no terrorist can
    // run out of time while paused and cost a life when the pause ends.
    FieldView start_field = read_field(capture_field(game), 1, refs);
    for (int r = 0; r < FIELD_ROWS; r++)
        for (int c = 0; c < FIELD_COLUMNS; c++)
            if (start_field.cells[r][c] == LOOK_TERRORIST) {
                game_click(game, c * 20 + 20, r * 20 + 46);
                status.score++;
            }
    game_command(game, CMD_PAUSE);
    const Picture& paused = render_text("Paused...");
    uint32_t start = now_ms();
    Picture seen;
    bool shown = false;
    while (!shown && now_ms() - start < 3000) {
        ::Sleep(40);
        seen = capture_client(game.window, 1, 14, paused.width, paused.height);
        shown = count_differences(seen, paused) == 0;
    }
    if (!report("Pause draws \"Paused...\" at (1,14)", shown, "no \"Paused...\" at (1,14)"))
        save_failure_pictures("paused-text", paused, seen);
    ::Sleep(100);
    Picture before = capture_field(game);
    ::Sleep(2600);
    Picture after = capture_field(game);
    int changed = count_differences(before, after);
    if (!report("Pause freezes the figures", changed == 0,
                format("%d pixels of the field and status line changed in 2.6 s", changed)))
        save_failure_pictures("pause-freeze", before, after);

    FieldView frozen = read_field(before, 1, refs);
    game_command(game, CMD_PAUSE);
    StatusLine found{};
    bool status_back =
        wait_status_numbers(game.window, status.level, status.score, status.lives, 3000, found) ||
        wait_status_numbers(game.window, status.level, status.score, status.lives - 1, 500, found);
    ::Sleep(100);
    Picture resumed = capture_field(game);
    FieldView field = read_field(resumed, 1, refs);
    std::string why;
    bool ok = status_back && all_of_colour(resumed, 1, 17, paused.width, 14, BLUE);
    if (!status_back)
        why = status_seen(game.window, status);
    else if (!ok)
        why = "\"Paused...\" is still drawn under the status line";
    for (int r = 0; ok && r < FIELD_ROWS; r++)
        for (int c = 0; ok && c < FIELD_COLUMNS; c++)
            if ((field.cells[r][c] == LOOK_BLUE) != (frozen.cells[r][c] == LOOK_BLUE)) {
                ok = false;
                why = format("cell (%d,%d) was not redrawn as before", r, c) + field_text(field);
            }
    if (!report("Pause again clears \"Paused...\" and redraws field and status line", ok, why))
        save_failure_pictures("pause-resume", before, resumed);
}

// Saves the game window as the screenshot of a game in progress.
void save_screenshot(const GameProcess& game, const CellReferences& refs) {
    uint32_t start = now_ms();
    int figures = 0;
    while (now_ms() - start < 8000) {
        FieldView field = read_field(capture_field(game), 1, refs);
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
    std::string path = driver_folder() + "e2e-screenshot.png";
    report("screenshot written", png_write(path, shot), "could not write " + path);
}

// Ends the game through a way that must give exit code 0.
void check_exit(GameProcess& game, const std::string& name) {
    DWORD code = 0;
    bool ended = game_wait_exit(game, 5000, code);
    report(name, ended && code == 0,
           ended ? format("exit code %lu", code) : "the game still ran 5 s later");
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
                ::CopyFileA((driver_folder() + "tarrowind.exe").c_str(), exe.c_str(), FALSE) != 0,
                "CopyFile to " + exe + " failed")) {
        ::RemoveDirectoryA(folder.c_str());
        return;
    }
    GameProcess game;
    std::string why;
    if (report("no data folders: the game starts", game_start(game, folder, why), why)) {
        game_command(game, CMD_NEW);
        std::string seen;
        bool ok = wait_status(game.window, StatusLine{1, 0, 3, 20}, 5000, seen, "nodata-new");
        FieldView field = read_field(capture_field(game), 1, refs);
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
        game_click(game, 3, 30);
        report("no data folders: a shot without sound files goes on at once",
               wait_status(game.window, StatusLine{1, 0, 3, 19}, 3000, seen, "nodata-shot"), seen);
        std::vector<HeardSound> heard;
        if (listening) {
            ::Sleep(500);
            if (sound_watch_stop("no-data", heard))
                report("sound: without sound files a shot is silent", heard.empty(),
                       "heard: " + heard_text(heard));
        }
        game_command(game, CMD_QUIT);
        check_exit(game, "no data folders: Quit ends with exit code 0");
    }
    game_kill(game);
    ::DeleteFileA(exe.c_str());
    ::RemoveDirectoryA(folder.c_str());
}

} // namespace

// ============================================================================
// Public routines
// ============================================================================

// Runs the checks on one game from start to "Quit".
void run_main_checks(const CellReferences& refs) {
    GameProcess game;
    std::string why;
    if (!report("the game starts and shows its window", game_start(game, driver_folder(), why),
                why)) {
        game_kill(game);
        return;
    }
    check_window_identity(game);
    check_size_and_centre(game, "window", WindowSize{320, 200}, WindowSize{320, 208});
    check_blue_before_new(game);
    // Each stage runs only while the game still answers: a hung or ended game is reported
    // once, with what it was doing, instead of failing every later wait in turn.
    const char* stage = "the menu check";
    run_menu_checks(game);
    if (game_state_text(game).empty()) {
        stage = "the message boxes";
        check_boxes_and_zoom(game);
    }
    if (game_state_text(game).empty()) {
        stage = "New and shooting";
        check_new_game(game, refs);
        StatusLine status{1, 0, 3, 20};
        check_shooting(game, refs, status);
        save_screenshot(game, refs);
        stage = "the pause";
        check_pause(game, refs, status);
    }
    std::string state = game_state_text(game);
    if (!report("the game still runs and answers after the checks", state.empty(),
                std::string("after ") + stage + state)) {
        game_kill(game);
        return;
    }
    game_command(game, CMD_QUIT);
    check_exit(game, "Quit ends the program with exit code 0");
    game_kill(game);
}

// Runs the close-request checks and the run without data folders.
void run_closing_checks(const CellReferences& refs) {
    GameProcess game;
    std::string why;
    if (report("second start", game_start(game, driver_folder(), why), why)) {
        game_command(game, CMD_NEW);
        std::string seen;
        if (report("second game: New",
                   wait_status(game.window, StatusLine{1, 0, 3, 20}, 5000, seen, "second-new"),
                   seen))
            check_no_ammo_click(game);
        ::PostMessageA(game.window, WM_CLOSE, 0, 0);
        check_exit(game, "a close request (WM_CLOSE) ends the program with exit code 0");
    }
    game_kill(game);

    if (report("third start", game_start(game, driver_folder(), why), why)) {
        game_command(game, CMD_RULES);
        HWND box = wait_message_box(game, 5000);
        report("Rules box open before the close request", box != nullptr,
               "no message box within 5 s");
        ::PostMessageA(game.window, WM_CLOSE, 0, 0);
        check_exit(game, "a close request while a message box is open ends with exit code 0");
    }
    game_kill(game);

    check_without_data(refs);
}
