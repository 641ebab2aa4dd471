// The fault sweep: each routine of the injection table fails at its 1st, 2nd, 3rd ... call
// in turn while the game starts, draws a frame with figures and takes a shot, and while
// the viewer opens its frame, opens and closes a document of each kind and lives through
// its dialogs. Each case must end, leave the records it touched sound and the census where
// it was. Exhausting the runtime heap ends the process, so those cases run in children: they
// end with "Out of memory" and EXIT_OUT_OF_MEMORY, or go on unharmed.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <io.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

// The game and the viewer both name a menu command MENU_ABOUT.
#define MENU_ABOUT GAME_MENU_ABOUT
#include "game/game.h"
#undef MENU_ABOUT
#include "examples/viewer/viewer.h"
#include "runtime/core/core_internal.h"
#include "runtime/window/window_internal.h"
#include "tests/faults/faults.h"
#include "tests/faults/injection.h"
#include "tests/support/census.h"

// ============================================================================
// Types
// ============================================================================

namespace {

// One use of the programs: run() once (null when its outcome is right, else what is
// wrong), made ready by prepare() and put away by tidy(), both unarmed.
struct Scenario {
    const char* name;
    const char* file; // the document a viewer scenario opens; null: the samples
    void (*prepare)();
    const char* (*run)(const char* file);
    void (*tidy)();
};

// A case that once found a fault, run in every sweep.
struct Regression {
    const char* scenario;
    const char* routine;
    int32_t call;
};

// ============================================================================
// Module state
// ============================================================================

constexpr uint32_t NOW = 500000; // the game's tick clock: no figure expires
constexpr int32_t SHOT_CELL = 5 * GRID_COLUMNS + 4;
constexpr int32_t FORM_ENDED = 7, ID_EDIT = 10, ID_CHECK = 11, ID_LIST = 12, ID_PICTURE = 13;
constexpr int32_t TEXT_LINES = 5;       // lines of text.txt
constexpr int32_t QUICK_CALLS = 3;      // calls failed in turn in the quick sweep, and the last
constexpr DWORD CASE_LIMIT_MS = 120000; // a case takes well under a second: far longer hangs
constexpr Regression REGRESSIONS[] = {{"viewer frame", "AppendMenuW", 4},
                                      {"viewer frame", "AppendMenuW", 17},
                                      {"viewer text", "CreateCompatibleDC", 49},
                                      {"viewer samples", "CreateCompatibleDC", 47},
                                      {"dialogs", "SetPropA", 53}};

WindowRecord form = {};
std::string documents; // the folder of the viewer's documents
char case_label[200] = "";
volatile DWORD case_started = 0;

// ============================================================================
// Internal helpers: the game's scenarios
// ============================================================================

uint32_t fixed_clock() {
    return NOW;
}

// What is wrong with an open record: a handle of no live object, or drawing left open.
const char* record_fault(const WindowRecord& record) {
    if (record.hwnd == nullptr) {
        return nullptr;
    }
    if (!::IsWindow(record.hwnd)) {
        return "the record holds a destroyed window";
    }
    if ((record.backing_bitmap && ::GetObjectType(record.backing_bitmap) != OBJ_BITMAP) ||
        (record.pen && ::GetObjectType(record.pen) != OBJ_PEN) ||
        (record.font && ::GetObjectType(record.font) != OBJ_FONT)) {
        return "the record holds a deleted bitmap, pen or font";
    }
    return record.draw_dc || record.draw_depth || record.erase_dc ? "drawing was left open"
                                                                  : nullptr;
}

// Forget a runtime window class, so that the next window registers it again.
void forget_class(const char* name, ATOM* atom) {
    if (::UnregisterClassA(name, runtime_module())) {
        *atom = 0;
    }
}

void nothing() {}

// The game started, laid out and with figures in a third of its slots, its timer stopped.
void ensure_game() {
    tick_source_set(fixed_clock);
    if (game.main_window.hwnd == nullptr) {
        start_up_game();
        ::KillTimer(game.main_window.hwnd, 1);
        random_seed(11);
        new_game();
        for (int32_t cell = 0; cell < GRID_CELLS; cell += 3) {
            if (game.target_grid[cell] == CELL_SLOT) {
                game.target_grid[cell] = cell % 2 == 0 ? CELL_HOSTAGE : CELL_TERRORIST;
                game.shown_at[cell] = NOW;
            }
        }
    }
}

void close_game() {
    close_window(&game.main_window);
    image_release(game.hostage_picture, IMAGE_PICTURE);
    image_release(game.terrorist_picture, IMAGE_PICTURE);
    game = GameState{};
    process_events(1);
}

void forget_game_classes() {
    close_game();
    forget_class("KalvorineWndClass", &wnd_class_atom);
    forget_class("KalvorineFrameClass", &frame_class_atom);
}

const char* start_game(const char*) {
    start_up_game();
    return record_fault(game.main_window);
}

const char* draw_one_frame(const char*) {
    draw_frame();
    return record_fault(game.main_window);
}

void load_shot() {
    ensure_game();
    game.target_grid[SHOT_CELL] = CELL_TERRORIST;
    game.ammo = AMMO_LIMIT;
    game.score = 0;
}

// A click on a terrorist: the shot counts whatever failed around it.
const char* shoot(const char*) {
    const int32_t x = (SHOT_CELL % GRID_COLUMNS) * CELL_SIZE + FIELD_LEFT + CELL_SIZE / 2;
    const int32_t y = (SHOT_CELL / GRID_COLUMNS) * CELL_SIZE + FIELD_TOP + CELL_SIZE / 2;
    ::PostMessageA(game.main_window.hwnd, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(x, y));
    process_events(1);
    if (game.ammo != AMMO_LIMIT - 1 || game.score != 1 ||
        game.target_grid[SHOT_CELL] != CELL_SLOT) {
        return "the shot did not count";
    }
    return record_fault(game.main_window);
}

// ============================================================================
// Internal helpers: the viewer's scenarios
// ============================================================================

void ensure_viewer() {
    if (viewer.frame.hwnd == nullptr) {
        viewer_open_frame();
        ::KillTimer(viewer.frame.hwnd, 1);
    }
}

void close_viewer() {
    viewer_close_all();
    process_events(1);
}

void forget_frame_class() {
    close_viewer();
    forget_class("KalvorineFrameClass", &frame_class_atom);
}

const char* open_frame(const char*) {
    viewer_open_frame();
    ::KillTimer(viewer.frame.hwnd, 1);
    return record_fault(viewer.frame);
}

// What is wrong with an open document: it must show its content or say why not.
const char* document_fault(const Document& document) {
    const bool text = std::strcmp(document.name, "text.txt") == 0;
    if (document.message != nullptr) {
        return record_fault(document.window);
    }
    if (document.kind == DOC_PICTURE && document.image == 0) {
        return "a picture document shows nothing and says nothing";
    }
    if (document.kind == DOC_TEXT &&
        (document.lines.count == 0 || (text && document.lines.count != TEXT_LINES))) {
        return "a text document shows lines missing and says nothing";
    }
    return record_fault(document.window);
}

// Open a document (null: the samples), read it whole, check and close what opened.
const char* open_document(const char* file) {
    if (file == nullptr) {
        viewer_open_samples();
    } else {
        viewer_open_file((documents + file).c_str());
    }
    process_events(1);
    for (int32_t slice = 0; slice < 1000 && viewer_reading() != 0; ++slice) {
        viewer_read_some(40);
    }
    const char* fault = viewer_reading() != 0 ? "a document is still being read" : nullptr;
    for (Document& document : viewer.documents) {
        if (document.kind != DOC_FREE) {
            fault = fault != nullptr ? fault : document_fault(document);
            viewer_close_document(&document);
        }
    }
    process_events(1);
    return fault;
}

void prepare_dialogs() {
    ensure_viewer();
    forget_class("KalvorineDlgClass", &dialog_class_atom);
}

HBITMAP button_picture() {
    return reinterpret_cast<HBITMAP>(image_load(FIND_NORMAL, TAG_STRING, IMAGE_BITMAP_KIND));
}

// The form's handler: set values and settings of every kind while shown, then end it.
intptr_t on_form() {
    if (event_state.event_class == WM_INITDIALOG) {
        control_set_colors(&form, ID_EDIT, RGB(0, 0, 128), RGB(255, 255, 200));
        control_set_hot(&form, ID_CHECK, RGB(200, 230, 255));
        control_set_notify(&form, ID_EDIT, 1, 1);
        control_set_bitmaps(&form, ID_PICTURE, button_picture(), button_picture(), button_picture(),
                            2);
        control_list_add(&form, ID_LIST, "Violet");
        control_set_text(&form, ID_EDIT, "changed");
        dialog_end(&form, FORM_ENDED);
    }
    return 0;
}

// A dialog's whole life: a modal form with a control of most kinds, the viewer's Find
// shown modeless and used, and a subclassed control on a window.
const char* live_dialogs(const char*) {
    const struct {
        int32_t kind, id;
        const char* text;
    } controls[] = {{CONTROL_LABEL, -1, "Name:"},
                    {CONTROL_EDIT, ID_EDIT, "first"},
                    {CONTROL_CHECK_BOX, ID_CHECK, "Check"},
                    {CONTROL_LIST_BOX, ID_LIST, "Red|Green"},
                    {CONTROL_COMBO_BOX, 14, "One|Two"},
                    {CONTROL_BITMAP_BUTTON, ID_PICTURE, ""},
                    {CONTROL_RADIO_BUTTON, 15, "Radio"},
                    {CONTROL_EDIT_MULTILINE, 16, "a\r\nb"},
                    {CONTROL_SCROLL_BAR, 17, ""},
                    {CONTROL_GROUP_BOX, 18, "Group"},
                    {CONTROL_RICH_EDIT, 19, "rich"},
                    {CONTROL_LIST_VIEW, 20, ""},
                    {CONTROL_TREE_VIEW, 21, ""},
                    {CONTROL_STATUS_BAR, 22, "status"},
                    {CONTROL_DEFAULT_BUTTON, 1, "OK"}};
    dialog_begin(&form, DIALOG_CENTRED, DIALOG_CENTRED, 220, 150, "Form", on_form);
    int32_t y = 0;
    for (const auto& control : controls) {
        dialog_add_control(&form, control.kind, control.id, 5, y += 9, 100, 8, control.text, 0);
    }
    control_list_select(&form, ID_LIST, 1);
    const int32_t result = dialog_show_modal(&form, &viewer.frame);
    heap_free(control_get_text(&form, ID_EDIT));
    dialog_release(&form);
    WindowRecord* find = &viewer.find_dialog;
    viewer_show_find();
    if (find->hwnd != nullptr) {
        control_set_text(find, ID_FIND_TEXT, "two");
        ::SendMessageA(find->hwnd, WM_COMMAND, MAKEWPARAM(ID_FIND_NEXT, BN_CLICKED),
                       reinterpret_cast<LPARAM>(::GetDlgItem(find->hwnd, ID_FIND_NEXT)));
        dialog_end(find, 0);
        process_events(1);
    }
    dialog_release(find);
    if (control_create(&viewer.frame, CONTROL_EDIT, 900, 0, 0, 60, 20, "on", 0) != 0) {
        control_set_colors(&viewer.frame, 900, RGB(0, 90, 0), RGB(240, 240, 240));
        control_set_hot(&viewer.frame, 900, RGB(255, 255, 0));
        ::DestroyWindow(::GetDlgItem(viewer.frame.hwnd, 900));
    }
    if (result != FORM_ENDED && result != -1) {
        return "the form returned neither its value nor -1";
    }
    if (form.hwnd || form.dialog_def || find->hwnd || find->dialog_def) {
        return "a dialog outlived its release";
    }
    return record_fault(viewer.frame);
}

const Scenario SCENARIOS[] = {
    {"game start-up", nullptr, forget_game_classes, start_game, close_game},
    {"game frame", nullptr, ensure_game, draw_one_frame, nothing},
    {"game shot", nullptr, load_shot, shoot, nothing},
    {"viewer frame", nullptr, forget_frame_class, open_frame, close_viewer},
    {"viewer text", "text.txt", ensure_viewer, open_document, nothing},
    {"viewer bmp", "picture.bmp", ensure_viewer, open_document, nothing},
    {"viewer ico", "picture.ico", ensure_viewer, open_document, nothing},
    {"viewer emf", "picture.emf", ensure_viewer, open_document, nothing},
    {"viewer gif", "picture.gif", ensure_viewer, open_document, nothing},
    {"viewer jpg", "picture.jpg", ensure_viewer, open_document, nothing},
    {"viewer png", "picture.png", ensure_viewer, open_document, nothing},
    {"viewer samples", nullptr, ensure_viewer, open_document, nothing},
    {"dialogs", nullptr, prepare_dialogs, live_dialogs, nothing},
};

// ============================================================================
// Internal helpers: the sweep
// ============================================================================

int32_t answer_box(HWND, const char*, const char*, uint32_t) {
    return IDOK;
}

BOOL WINAPI quiet_player(LPCSTR, HMODULE, DWORD) {
    return TRUE;
}

BOOL WINAPI quiet_player_wide(LPCWSTR, HMODULE, DWORD) {
    return TRUE;
}

// A child's MessageBoxA: say what the box said and press OK.
int WINAPI print_box(HWND, LPCSTR text, LPCSTR caption, UINT) {
    std::printf("box: %s|%s\n", text, caption);
    return IDOK;
}

// The same for MessageBoxW, saying the texts in UTF-8.
int WINAPI print_box_wide(HWND, LPCWSTR text, LPCWSTR caption, UINT) {
    char said[2][512] = {};
    ::WideCharToMultiByte(CP_UTF8, 0, text, -1, said[0], sizeof said[0], nullptr, nullptr);
    ::WideCharToMultiByte(CP_UTF8, 0, caption, -1, said[1], sizeof said[1], nullptr, nullptr);
    std::printf("box: %s|%s\n", said[0], said[1]);
    return IDOK;
}

// Send the platform's players to ones that play nothing (quiet) or back (not quiet).
void players_quiet(bool quiet) {
    injection_replace(injection_find("PlaySoundA"),
                      quiet ? reinterpret_cast<void*>(quiet_player) : nullptr);
    injection_replace(injection_find("PlaySoundW"),
                      quiet ? reinterpret_cast<void*>(quiet_player_wide) : nullptr);
}

void print_exit(UINT code) {
    std::printf("exit %u\n", code);
    std::fflush(stdout);
}

LONG WINAPI report_crash(EXCEPTION_POINTERS* exception) {
    std::fprintf(stderr, "crash 0x%08lx in %s\n", exception->ExceptionRecord->ExceptionCode,
                 case_label);
    return EXCEPTION_CONTINUE_SEARCH;
}

// Stop the program when a case takes too long, naming it.
DWORD WINAPI watch_cases(void*) {
    for (;; ::Sleep(500)) {
        const DWORD started = case_started;
        if (started != 0 && ::GetTickCount() - started > CASE_LIMIT_MS) {
            std::fprintf(stderr, "hang in %s\n", case_label);
            ::TerminateProcess(::GetCurrentProcess(), 3);
        }
    }
}

// Set the process up for the scenarios: the table patched, boxes answered, a watch on
// each case's time, documents made.
void set_up() {
    injection_install();
    message_box_set_responder(answer_box);
    if (documents.empty()) {
        ::CloseHandle(::CreateThread(nullptr, 0, watch_cases, nullptr, 0, nullptr));
        char temp[MAX_PATH] = {}; // one folder, made again by each child
        ::GetTempPathA(MAX_PATH, temp);
        documents = std::string(temp) + "tarrowind-faults-documents\\";
        ::CreateDirectoryA(documents.c_str(), nullptr);
        faults_write(documents + "text.txt", "one\ntwo\r\nthree\rfour\tfive\r\n\xC3\xA9t\xC3\xA9");
        for (const char* kind : {"bmp", "ico", "emf", "gif", "jpg", "png"}) {
            faults_write(documents + "picture." + kind, faults_seed(kind));
        }
    }
}

// One run with calls first .. first + span - 1 of routine failing (span 0: all from first
// on), made ready again; what went wrong.
const char* run_case(const Scenario& scenario, int32_t routine, int32_t first, int32_t span) {
    case_started = ::GetTickCount();
    injection_arm(routine, first, span);
    const char* fault = scenario.run(scenario.file);
    injection_disarm();
    scenario.tidy();
    scenario.prepare();
    case_started = 0;
    return fault;
}

// The calls of a routine in a scenario, after one run to warm it up.
std::vector<int32_t> count_calls(const Scenario& scenario) {
    scenario.prepare();
    run_case(scenario, -1, 0, 0);
    run_case(scenario, -1, 0, 0);
    std::vector<int32_t> calls(injection_count());
    for (int32_t routine = 0; routine < injection_count(); ++routine) {
        calls[routine] = injection_calls(routine);
    }
    return calls;
}

// The calls to fail: all in the long sweep, else the first few, the last and regressions.
bool chosen(const Scenario& scenario, int32_t routine, int32_t call, int32_t calls, int32_t few) {
    bool regression = false;
    for (const Regression& r : REGRESSIONS) {
        regression =
            regression || (std::strcmp(r.scenario, scenario.name) == 0 &&
                           std::strcmp(r.routine, injection_name(routine)) == 0 && r.call == call);
    }
    return faults_long() || call <= few || call == calls || regression;
}

} // namespace

// ============================================================================
// Tests
// ============================================================================

TEST(Sweep, EveryFailingCallIsSurvivedAndLeavesNothing) {
    set_up();
    ASSERT_STREQ(injection_install(), "") << "routines the program does not import";
    players_quiet(true);
    ::SetUnhandledExceptionFilter(report_crash);
    int32_t cases = 0, faults = 0, kept_once = 0;
    for (const Scenario& scenario : SCENARIOS) {
        const std::vector<int32_t> calls = count_calls(scenario);
        Census base = census_take(); // every census is taken made ready for the next run
        int32_t scenario_cases = 0;
        for (int32_t routine = 0; routine < injection_count(); ++routine) {
            const std::string name = injection_name(routine);
            if (name == "HeapAlloc" || name == "HeapCreate" || name == "MessageBoxA" ||
                name == "MessageBoxW") {
                continue; // the heap's failures end processes: in children
            }
            for (int32_t call = 1; call <= calls[routine]; ++call) {
                if (!chosen(scenario, routine, call, calls[routine], QUICK_CALLS)) {
                    continue;
                }
                std::snprintf(case_label, sizeof case_label, "%s, %s call %d", scenario.name,
                              name.c_str(), call);
                const char* fault = run_case(scenario, routine, call, 1);
                const Census after = census_take();
                std::string changes = census_changes(base, after);
                // What the platform makes once and keeps (a cache) does not grow again.
                if (fault == nullptr && !changes.empty() &&
                    (fault = run_case(scenario, routine, call, 1)) == nullptr &&
                    census_changes(after, census_take()).empty()) {
                    std::printf("sweep: kept once by the platform after %s: %s\n", case_label,
                                changes.c_str());
                    ++kept_once;
                    changes.clear();
                }
                base = after;
                ++scenario_cases;
                if (fault != nullptr || !changes.empty()) {
                    ++faults;
                    ADD_FAILURE() << case_label << ": " << (fault ? fault : "") << " " << changes;
                }
            }
        }
        scenario.tidy();
        std::printf("sweep: %-15s %4d cases\n", scenario.name, scenario_cases);
        cases += scenario_cases;
    }
    players_quiet(false);
    close_game();
    close_viewer();
    std::printf(
        "sweep: %d cases in this process, %d faults, %d growths kept once by the platform\n", cases,
        faults, kept_once);
}

// In a child each: the runtime heap exhausted from its Nth allocation on (never made, for
// HeapCreate), and the rich edit's library refused at its first use in the process.
TEST(Sweep, HeapExhaustionAndFirstUsesInChildren) {
    set_up();
    int32_t cases = 0, stops = 0;
    const int32_t heap = injection_find("HeapAlloc");
    for (int32_t index = 0; index < static_cast<int32_t>(std::size(SCENARIOS)); ++index) {
        const std::vector<int32_t> calls = count_calls(SCENARIOS[index]);
        const std::string scenario = std::to_string(index);
        std::vector<std::string> modes;
        for (int32_t call = 1; call <= calls[heap]; ++call) {
            if (chosen(SCENARIOS[index], heap, call, calls[heap], 1)) {
                modes.push_back(scenario + " HeapAlloc " + std::to_string(call) + " 0 warm");
            }
        }
        if (index == 0) {
            modes.push_back(scenario + " HeapCreate 1 0 warm");
        }
        if (std::strcmp(SCENARIOS[index].name, "dialogs") == 0) {
            modes.push_back(scenario + " LoadLibraryExA 1 1 cold");
        }
        for (const std::string& mode : modes) {
            const ChildRun run = faults_run_child("Sweep.Child", mode, CASE_LIMIT_MS);
            const bool stopped = run.exit_code == EXIT_OUT_OF_MEMORY &&
                                 run.output.find("box: Out of memory|Error") != std::string::npos;
            const bool survived = run.exit_code == 0 &&
                                  run.output.find("outcome right") != std::string::npos &&
                                  run.output.find("census \n") != std::string::npos;
            EXPECT_TRUE(stopped || survived)
                << SCENARIOS[index].name << ", " << mode << ": exit code " << run.exit_code
                << (run.stopped ? " (hung)\n" : "\n") << run.output;
            stops += stopped ? 1 : 0;
            ++cases;
        }
    }
    close_game();
    close_viewer();
    std::printf("sweep: %d cases in children, %d ended with \"Out of memory\"\n", cases, stops);
}

// A child of the sweep: mode is "scenario routine call span warm|cold" (span 0: every call
// from call on fails); a cold run makes what the platform keeps for good, so its census is
// not compared.
TEST(Sweep, Child) {
    const char* mode = faults_child_mode();
    if (mode == nullptr) {
        GTEST_SKIP() << "runs only as a child of HeapExhaustionAndFirstUsesInChildren";
    }
    int32_t index = 0, call = 0, span = 0;
    char name[64] = {}, warmth[8] = {};
    ASSERT_EQ(std::sscanf(mode, "%d %63s %d %d %7s", &index, name, &call, &span, warmth), 5);
    _setmode(_fileno(stdout), _O_BINARY);
    faults_child_crashes_end_it();
    set_up();
    injection_replace(injection_find("MessageBoxA"), reinterpret_cast<void*>(print_box));
    injection_replace(injection_find("MessageBoxW"), reinterpret_cast<void*>(print_box_wide));
    players_quiet(true);
    runtime_set_exit_routine(print_exit);
    const Scenario& scenario = SCENARIOS[index];
    const bool warm = std::strcmp(warmth, "warm") == 0;
    scenario.prepare();
    if (warm) {
        run_case(scenario, -1, 0, 0);
    }
    const Census before = census_take();
    if (std::strcmp(name, "HeapCreate") == 0) {
        heap_destroy();
        injection_arm(injection_find(name), call, span);
        heap_create();
    }
    const char* fault = run_case(scenario, injection_find(name), call, span);
    std::printf("outcome %s\ncensus %s\n", fault != nullptr ? fault : "right",
                warm ? census_changes(before, census_take()).c_str() : "");
    std::fflush(stdout);
}

// Faults the sweep found outside its scenarios' reach: the game without its window ends
// instead of waiting for ever, and pictures handed to no control are deleted.
TEST(Sweep, FaultsFoundStayMended) {
    set_up();
    close_game();
    std::snprintf(case_label, sizeof case_label, "the game without its window");
    case_started = ::GetTickCount();
    injection_arm(injection_find("CreateWindowExW"), 1, 1);
    game_main(); // returns: without the failure it would wait for "New"
    injection_disarm();
    case_started = 0;
    close_game();
    WindowRecord closed = {};
    HBITMAP picture = button_picture();
    control_set_bitmaps(&closed, 1, picture, picture, nullptr, 1);
    EXPECT_EQ(::GetObjectType(picture), 0u);
}
