// Files and settings: the counters written to and read from a file the user picks (one
// counter a line: its name, a tab and its count), the question before unsaved changes are
// lost, and what the program remembers (the window's place, the last file).
// Relies on the runtime's files, file dialogs, message boxes and settings.
#include "tally.h"

namespace {

// ============================================================================
// Internal helpers
// ============================================================================

// Where the file name starts in a path: after its last '\' or '/'.
const char* file_name_of(const char* path) {
    const char* name = path;
    for (const char* c = path; *c != '\0'; c++)
        if (*c == '\\' || *c == '/')
            name = c + 1;
    return name;
}

// The folder of a path as a fresh heap string (null for none or a path without one).
char* folder_of(const char* path) {
    if (path == nullptr || file_name_of(path) == path)
        return nullptr;
    char* folder = string_duplicate(path);
    if (folder != nullptr)
        folder[file_name_of(path) - path - 1] = '\0';
    return folder;
}

// Tell the user what went wrong: the parts of a message, joined.
void file_problem(std::initializer_list<const char*> parts) {
    char* text = string_concat(parts);
    message_box(&tally.window, text != nullptr ? text : "Out of memory.", PROGRAM,
                MB_OK | MB_ICONEXCLAMATION);
    heap_free(text);
}

// Make path the tally's file, unchanged since, and show and remember it.
void file_adopt(char* path) {
    if (path != tally.file) {
        heap_free(tally.file);
        tally.file = path;
    }
    tally.changed = 0;
    caption_update();
    tally_remember();
}

// Write every counter to an open file; 1 when each line was written whole.
int32_t write_counters(HANDLE* file) {
    for (int32_t i = 0; i < tally.count; i++) {
        char number[24];
        char* line = string_concat(
            {tally.counters[i].name, "\t", whole_text(tally.counters[i].value, number)});
        int32_t written = line != nullptr ? file_write_line(file, TAG_TEXT_FILE, line) : -1;
        heap_free(line);
        if (written != string_length(tally.counters[i].name) + 1 + string_length(number) + 2)
            return 0;
    }
    return 1;
}

// One line of a file as a counter into *counter; 1 when it is one (name, tab, number).
int32_t parse_line(char* line, Counter* counter) {
    int32_t tab = -1;
    for (int32_t i = 0; line[i] != '\0'; i++)
        if (line[i] == '\t')
            tab = i;
    if (tab <= 0 || !parse_whole(line + tab + 1, &counter->value))
        return 0;
    line[tab] = '\0';
    counter->name = line; // the line is handed over: its name is its start
    return 1;
}

// Read every line of an open file into list; the number read, or -1 with *bad the
// 1-based line that is no counter (0: more than COUNTERS_MAX). Empty lines are skipped.
int32_t read_counters(HANDLE* file, Counter* list, int32_t* bad) {
    int32_t count = 0;
    int32_t number = 0;
    for (char* line; (line = file_read_line(file, TAG_TEXT_FILE)) != nullptr;) {
        number++;
        if (line[0] == '\0') {
            heap_free(line);
            continue;
        }
        if (count == COUNTERS_MAX || !parse_line(line, &list[count])) {
            heap_free(line);
            *bad = count == COUNTERS_MAX ? 0 : number;
            for (int32_t i = 0; i < count; i++)
                heap_free(list[i].name);
            return -1;
        }
        count++;
    }
    return count;
}

} // namespace

// ============================================================================
// Public routines
// ============================================================================

// Write the counters to the tally's file, or to one the user picks; 1 when written.
int32_t tally_save(int32_t ask) {
    char* path = tally.file;
    if (ask != 0 || path == nullptr) {
        char* folder = folder_of(tally.file);
        int32_t chosen = choose_file_to_save(
            &tally.window, FILTERS, folder,
            tally.file != nullptr ? file_name_of(tally.file) : "counters.tally", &path);
        heap_free(folder);
        if (chosen != 1) {
            if (chosen < 0)
                file_problem({"The Save As dialog could not be shown."});
            return 0;
        }
    }
    HANDLE file = nullptr;
    int32_t written = file_open(&file, TAG_TEXT_FILE, path, "W") == 0 && write_counters(&file);
    file_close(&file, TAG_TEXT_FILE);
    if (!written) {
        file_problem({"Could not write ", path, "."});
        if (path != tally.file)
            heap_free(path);
        return 0;
    }
    file_adopt(path);
    return 1;
}

// Let the user pick a file and read the counters from it; 1 when read.
int32_t tally_open() {
    char* folder = folder_of(tally.file);
    char* path = nullptr;
    int32_t chosen = choose_file_to_open(&tally.window, FILTERS, folder, 0, &path);
    heap_free(folder);
    if (chosen < 0)
        file_problem({"The Open dialog could not be shown."});
    int32_t read = chosen == 1 && tally_read(path, 0);
    heap_free(path);
    return read;
}

// Read the counters from a file; 1 when read, 0 (counters unchanged) with a message when
// quiet is 0.
int32_t tally_read(const char* path, int32_t quiet) {
    HANDLE file = nullptr;
    if (file_open(&file, TAG_TEXT_FILE, path, "R") != 0) {
        if (!quiet)
            file_problem({"Could not open ", path, "."});
        return 0;
    }
    Counter list[COUNTERS_MAX];
    int32_t bad = 0;
    int32_t count = read_counters(&file, list, &bad);
    file_close(&file, TAG_TEXT_FILE);
    char* copy = count >= 0 ? string_duplicate(path) : nullptr;
    if (copy == nullptr) {
        char line[24];
        if (!quiet && count < 0 && bad > 0)
            file_problem({path, ", line ", whole_text(bad, line),
                          ": not a counter (a name, a tab and a whole number)."});
        else if (!quiet && count < 0)
            file_problem({path, " holds more than 200 counters."});
        for (int32_t i = 0; i < count; i++)
            heap_free(list[i].name);
        return 0;
    }
    counters_clear();
    for (int32_t i = 0; i < count; i++)
        tally.counters[i] = list[i];
    tally.count = count;
    file_adopt(copy);
    counters_draw();
    status_update();
    return 1;
}

// Ask before the counters' unsaved changes are lost: 1 to go on, 0 to stay.
int32_t tally_may_discard() {
    if (!tally.changed)
        return 1;
    switch (message_box(&tally.window, "Save the changes to the counters?", PROGRAM,
                        MB_YESNOCANCEL | MB_ICONQUESTION)) {
    case IDYES:
        return tally_save(0);
    case IDNO:
        return 1;
    default:
        return 0;
    }
}

// Put the window's place and the last file into the settings file.
void tally_remember() {
    save_window_place(&tally.window, &tally.settings, "window");
    settings_set_text(&tally.settings, "last_file", tally.file);
    settings_save(&tally.settings);
}

// Show the file's name and whether it changed in the caption.
void caption_update() {
    char* caption = string_concat({PROGRAM, " - ",
                                   tally.file != nullptr ? file_name_of(tally.file) : "untitled",
                                   tally.changed ? " *" : ""});
    if (caption != nullptr)
        set_window_caption(&tally.window, caption);
    heap_free(caption);
}
