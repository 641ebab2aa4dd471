// The counters: adding, finding and changing them, drawing them as lines of text, their
// text for the clipboard, and the status bar's summary.
// Relies on the runtime's heap, strings, drawing and controls; files are storage.cpp's.
#include "tally.h"

namespace {

// ============================================================================
// Internal helpers
// ============================================================================

// One counter's line, "name: value", as a fresh heap string.
char* counter_line(const Counter& counter) {
    char number[24];
    return string_concat({counter.name, ": ", whole_text(counter.value, number)});
}

} // namespace

// ============================================================================
// Public routines
// ============================================================================

// Add a counter at the end; 1, or 0 when the tally is full or memory was refused.
int32_t counter_add(const char* name, int32_t value) {
    if (tally.count >= COUNTERS_MAX)
        return 0;
    char* copy = string_duplicate(name);
    if (copy == nullptr)
        return 0;
    tally.counters[tally.count++] = {copy, value};
    return 1;
}

// The index of the counter of that name, or -1.
int32_t counter_find(const char* name) {
    for (int32_t i = 0; i < tally.count; i++)
        if (string_length(name) == string_length(tally.counters[i].name) &&
            string_find(tally.counters[i].name, name, 1) == 1)
            return i;
    return -1;
}

// Remove every counter.
void counters_clear() {
    for (int32_t i = 0; i < tally.count; i++)
        heap_free(tally.counters[i].name);
    tally.count = 0;
}

// Change the counter under a client point by delta; 1 when there was one.
int32_t counter_change_at(int32_t y, int32_t delta) {
    if (y < MARGIN || tally.line_height <= 0)
        return 0;
    int32_t index = (y - MARGIN) / tally.line_height;
    if (index >= tally.count)
        return 0;
    int64_t value = int64_t(tally.counters[index].value) + delta;
    if (value > INT32_MAX || value < INT32_MIN)
        return 0; // a count stays a 32-bit number, as the file keeps it
    tally.counters[index].value = int32_t(value);
    return 1;
}

// Draw every line anew on a cleared window.
void counters_draw() {
    WindowRecord* window = &tally.window;
    set_background_color(window, rgb_color(255, 255, 255));
    set_text_color(window, rgb_color(0, 0, 0), rgb_color(255, 255, 255));
    for (int32_t i = 0; i < tally.count; i++) {
        char* line = counter_line(tally.counters[i]);
        move_to(window, MARGIN, MARGIN + i * tally.line_height);
        text_print(2, PRINT_WINDOW, window, PRINT_TEXT, line != nullptr ? line : "");
        heap_free(line);
    }
}

// The counters as lines of "name: value", each ended by CR LF, as a fresh heap string.
char* counters_text() {
    char* text = string_duplicate("");
    for (int32_t i = 0; i < tally.count && text != nullptr; i++) {
        char* line = counter_line(tally.counters[i]);
        char* longer = line != nullptr ? string_concat({text, line, "\r\n"}) : nullptr;
        heap_free(line);
        heap_free(text);
        text = longer;
    }
    return text;
}

// Show the counters, the total and the time since start in the status bar.
void status_update() {
    int64_t total = 0;
    for (int32_t i = 0; i < tally.count; i++)
        total += tally.counters[i].value;
    uint32_t seconds = (tick_count() - tally.started_ms) / 1000;
    char count[24], sum[24], minutes[24], tens[24], ones[24];
    char* text = string_concat(
        {"Counters: ", whole_text(tally.count, count), "   Total: ", whole_text(total, sum),
         "   Time: ", whole_text(seconds / 60, minutes), ":", whole_text(seconds % 60 / 10, tens),
         whole_text(seconds % 10, ones)});
    if (text != nullptr)
        control_set_text(&tally.window, STATUS_ID, text);
    heap_free(text);
}

// Write a whole number without the blank the runtime puts after it; the buffer.
char* whole_text(int64_t value, char (&buffer)[24]) {
    int32_t length = decimal_from_int64(buffer, value);
    if (length > 0 && buffer[length - 1] == ' ')
        buffer[length - 1] = '\0';
    return buffer;
}

// Parse a whole 32-bit decimal number (an optional "-" and 1 to 10 digits); 1 when it is one.
int32_t parse_whole(const char* text, int32_t* value) {
    int32_t i = text[0] == '-' ? 1 : 0;
    int64_t number = 0;
    int32_t digits = 0;
    for (; text[i] != '\0'; i++, digits++) {
        if (!char_is_digit(text[i]) || digits == 10)
            return 0;
        number = number * 10 + (text[i] - '0');
    }
    if (text[0] == '-')
        number = -number;
    if (digits == 0 || number > INT32_MAX || number < INT32_MIN)
        return 0;
    *value = int32_t(number);
    return 1;
}
