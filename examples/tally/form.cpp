// The "Add counter" form: a modal dialog made with the runtime's dialog facility, that
// checks its values before it lets the user go on.
// Relies on the runtime's dialogs and message boxes; the counters are counters.cpp's.
#include "tally.h"

namespace {

// ============================================================================
// Constants
// ============================================================================

constexpr int32_t NAME_ID = 10;  // the name's edit
constexpr int32_t START_ID = 11; // the start value's edit

// ============================================================================
// Internal helpers
// ============================================================================

// What is wrong with the form's values, or null when they make a new counter; *field is
// the control to put right.
const char* form_problem(int32_t* field) {
    char* name = control_get_text(&tally.form, NAME_ID);
    char* start = control_get_text(&tally.form, START_ID);
    int32_t value = 0;
    const char* problem = nullptr;
    *field = NAME_ID;
    if (name == nullptr || start == nullptr)
        problem = "Out of memory.";
    else if (name[0] == '\0' || name[0] == ' ')
        problem = "Give the counter a name that starts with a letter or digit.";
    else if (string_length(name) > NAME_MAX)
        problem = "A counter's name has at most 40 characters.";
    else if (counter_find(name) >= 0)
        problem = "There is a counter of that name already.";
    else if (!parse_whole(start, &value)) {
        problem = "The start value must be a whole number, such as 0, 12 or -3.";
        *field = START_ID;
    } else if (tally.count >= COUNTERS_MAX)
        problem = "The tally holds 200 counters already.";
    heap_free(name);
    heap_free(start);
    return problem;
}

// The form's handler: OK checks the values and ends the form only when they are right.
intptr_t on_form_event() {
    const EventState& e = event_state;
    if (e.event_class == EV_CONTROL && e.control_id == IDOK) {
        int32_t field = 0;
        const char* problem = form_problem(&field);
        if (problem == nullptr) {
            dialog_end(&tally.form, 1);
        } else {
            message_box(&tally.form, problem, "Add counter", MB_OK | MB_ICONEXCLAMATION);
            control_focus(&tally.form, field);
        }
    } else if (e.event_class == EV_CLOSE_REQUEST ||
               (e.event_class == EV_CONTROL && e.control_id == IDCANCEL)) {
        dialog_end(&tally.form, 0);
    }
    return 0;
}

} // namespace

// ============================================================================
// Public routines
// ============================================================================

// Ask for a new counter's name and start value with a modal form, and add it; 1 when added.
int32_t ask_new_counter() {
    WindowRecord* form = &tally.form;
    dialog_begin(form, DIALOG_CENTRED, DIALOG_CENTRED, 170, 66, "Add counter", on_form_event);
    dialog_add_control(form, CONTROL_LABEL, -1, 7, 9, 40, 8, "&Name:", 0);
    dialog_add_control(form, CONTROL_EDIT, NAME_ID, 50, 7, 113, 12, "", 0);
    dialog_add_control(form, CONTROL_LABEL, -1, 7, 27, 40, 8, "&Start at:", 0);
    dialog_add_control(form, CONTROL_EDIT, START_ID, 50, 25, 50, 12, "0", 0);
    dialog_add_control(form, CONTROL_DEFAULT_BUTTON, IDOK, 59, 46, 50, 14, "OK", 0);
    dialog_add_control(form, CONTROL_BUTTON, IDCANCEL, 113, 46, 50, 14, "Cancel", 0);
    int32_t added = 0;
    if (dialog_show_modal(form, &tally.window) == 1) {
        // The form keeps its values once it has ended: read them from its definition.
        char* name = control_get_text(form, NAME_ID);
        int32_t value = 0;
        char* start = control_get_text(form, START_ID);
        added = name != nullptr && start != nullptr && parse_whole(start, &value) &&
                counter_add(name, value);
        heap_free(name);
        heap_free(start);
    }
    dialog_release(form);
    return added;
}
