// The viewer's dialogs, made with the runtime's dialog facility: Go to line (modal, a
// number that submits on Enter), Find (modeless: a text, "Match case", "Whole word", the
// direction, a bitmap button "Find next" and a status line, while the documents keep
// working) and Colours (modal: named colours in two list boxes, each previewed in a label
// of that colour, never one colour for both), About (modal: name, version, what it is);
// and the platform's font dialog through the runtime.
// Relies on the runtime's dialogs and controls, font choice and message boxes; USER32 for
// the Find box's text in UTF-16; finding and scrolling are text_find.cpp's and text_view.cpp's.
#include "examples/viewer/viewer.h"

#include <cstdio>
#include <cstring>

// ============================================================================
// Module state
// ============================================================================

namespace {

// A colour a person can name.
struct NamedColor {
    const char* name;
    COLORREF color;
};

const NamedColor NAMED_COLORS[] = {
    {"Black", RGB(0, 0, 0)},       {"White", RGB(255, 255, 255)},
    {"Navy", RGB(0, 0, 128)},      {"Dark green", RGB(0, 100, 0)},
    {"Maroon", RGB(128, 0, 0)},    {"Teal", RGB(0, 128, 128)},
    {"Purple", RGB(128, 0, 128)},  {"Olive", RGB(128, 128, 0)},
    {"Grey", RGB(128, 128, 128)},  {"Light grey", RGB(211, 211, 211)},
    {"Ivory", RGB(255, 255, 240)}, {"Yellow", RGB(255, 255, 0)},
};
constexpr int32_t NAMED_COLOR_COUNT = sizeof(NAMED_COLORS) / sizeof(NAMED_COLORS[0]);

Document* go_to_document = nullptr; // the document Go to line moves in

// ============================================================================
// Internal helpers
// ============================================================================

// The active document when it shows text, else null.
Document* active_text() {
    Document* document = viewer_document_of(mdi_active(&viewer.frame));
    return document != nullptr && document->kind == DOC_TEXT ? document : nullptr;
}

// Go to line: take the number, or say which numbers there are and let the person type
// again. While the text is read, any line past those read so far is taken: the document
// goes there once it is read, or says then that there is no such line.
void submit_line() {
    WindowRecord* dialog = &viewer.go_to_dialog;
    int32_t valid = 0;
    const int32_t line = control_get_number(dialog, ID_LINE, &valid);
    const int32_t count = go_to_document->lines.count;
    const bool reading = go_to_document->reader.file != nullptr;
    if (valid == 0 || line < 1 || (line > count && !reading)) {
        char text[96];
        std::snprintf(text, sizeof(text), "This document has lines 1 to %d.", count);
        message_box(dialog, text, "Go to line", MB_OK | MB_ICONEXCLAMATION);
        control_focus(dialog, ID_LINE);
        return;
    }
    dialog_end(dialog, line);
}

intptr_t go_to_event() {
    const EventState& e = event_state;
    switch (e.event_class) {
    case WM_INITDIALOG:
        control_set_notify(&viewer.go_to_dialog, ID_LINE, 1, 0);
        return 0;
    case EV_CONTROL:
        if (e.control_id == ID_OK || (e.control_id == ID_LINE && e.notify_code == CN_ENTER)) {
            submit_line();
        } else if (e.control_id == ID_CANCEL) {
            dialog_end(&viewer.go_to_dialog, 0);
        }
        return 0;
    case EV_CLOSE_REQUEST:
        dialog_end(&viewer.go_to_dialog, 0);
        return 0;
    default:
        return 0;
    }
}

// A text message (WM_GETTEXT, WM_SETTEXT) to the Find dialog's box in UTF-16.
LRESULT find_box_text(UINT message, WPARAM wparam, LPARAM lparam) {
    // NOTE: the runtime gives and takes a control's text in the ANSI code page, which lacks
    // the letters of most scripts, and its controls hand every message on in it, so that
    // even a wide message to the box loses them. The search is in every script: the message
    // goes straight to the procedure of the box's class (USER32's edit, which keeps its
    // text in UTF-16), past the runtime's handling, which has no part in the box's text.
    HWND box = ::GetDlgItem(viewer.find_dialog.hwnd, ID_FIND_TEXT);
    const auto procedure =
        box != nullptr ? reinterpret_cast<WNDPROC>(::GetClassLongPtrW(box, GCLP_WNDPROC)) : nullptr;
    return procedure != nullptr ? ::CallWindowProcW(procedure, box, message, wparam, lparam) : 0;
}

// Take the search and its options from the Find dialog, when it is shown.
void read_find_dialog() {
    WindowRecord* dialog = &viewer.find_dialog;
    if (dialog->hwnd == nullptr) {
        return;
    }
    // A longer search is cut at FIND_LENGTH - 1 units, never inside a surrogate pair.
    wchar_t text[FIND_LENGTH + 1] = {};
    int32_t kept = static_cast<int32_t>(
        find_box_text(WM_GETTEXT, FIND_LENGTH + 1, reinterpret_cast<LPARAM>(text)));
    kept = kept < FIND_LENGTH - 1 ? kept : FIND_LENGTH - 1;
    kept -= kept > 0 && is_high_surrogate(text[kept - 1]) ? 1 : 0;
    std::memcpy(viewer.find.text, text, static_cast<size_t>(kept) * sizeof(wchar_t));
    viewer.find.text[kept] = L'\0';
    viewer.find.match_case = control_get_check(dialog, ID_MATCH_CASE) == 1 ? 1 : 0;
    viewer.find.whole_word = control_get_check(dialog, ID_WHOLE_WORD) == 1 ? 1 : 0;
    viewer.find.up = control_get_check(dialog, ID_UP) == 1 ? 1 : 0;
}

intptr_t find_event() {
    const EventState& e = event_state;
    WindowRecord* dialog = &viewer.find_dialog;
    switch (e.event_class) {
    case WM_INITDIALOG:
        control_set_notify(dialog, ID_FIND_TEXT, 1, 0);
        // The button owns its pictures: loaded again for every dialog.
        control_set_bitmaps(
            dialog, ID_FIND_NEXT,
            reinterpret_cast<HBITMAP>(image_load(FIND_NORMAL, TAG_STRING, IMAGE_BITMAP_KIND)),
            reinterpret_cast<HBITMAP>(image_load(FIND_HOT, TAG_STRING, IMAGE_BITMAP_KIND)),
            reinterpret_cast<HBITMAP>(image_load(FIND_PRESSED, TAG_STRING, IMAGE_BITMAP_KIND)), 1);
        viewer_add_shortcuts(dialog);
        return 0;
    case EV_CONTROL:
        if (e.control_id == ID_FIND_NEXT ||
            (e.control_id == ID_FIND_TEXT && e.notify_code == CN_ENTER)) {
            read_find_dialog();
            text_find(active_text(), viewer.find.up);
        } else if (e.control_id == ID_CANCEL) {
            dialog_end(dialog, 0);
        }
        return 0;
    case EV_CLOSE_REQUEST:
        dialog_end(dialog, 0);
        return 0;
    case EV_MENU_PICK:
        // The viewer's shortcuts work in the dialog too, on the active document.
        return viewer_command(e.menu_id, viewer_document_of(mdi_active(&viewer.frame)));
    default:
        return 0;
    }
}

// Show a list's choice in its preview label.
void preview(int32_t list, int32_t sample) {
    const int32_t index = control_list_selection(&viewer.colors_dialog, list);
    if (index >= 0 && index < NAMED_COLOR_COUNT) {
        control_set_colors(&viewer.colors_dialog, sample, NO_COLOR, NAMED_COLORS[index].color);
    }
}

// The index of a named colour, or -1.
int32_t color_index(COLORREF color) {
    for (int32_t i = 0; i < NAMED_COLOR_COUNT; ++i) {
        if (NAMED_COLORS[i].color == color) {
            return i;
        }
    }
    return -1;
}

// The colour a list has chosen, or the one it started from when it shows none.
COLORREF chosen(int32_t list, COLORREF before) {
    const int32_t index = control_list_selection(&viewer.colors_dialog, list);
    return index >= 0 && index < NAMED_COLOR_COUNT ? NAMED_COLORS[index].color : before;
}

intptr_t colors_event() {
    const EventState& e = event_state;
    WindowRecord* dialog = &viewer.colors_dialog;
    switch (e.event_class) {
    case WM_INITDIALOG:
        preview(ID_TEXT_COLORS, ID_TEXT_SAMPLE);
        preview(ID_BACK_COLORS, ID_BACK_SAMPLE);
        return 0;
    case EV_CONTROL:
        if (e.notify_code == LBN_SELCHANGE && e.control_id == ID_TEXT_COLORS) {
            preview(ID_TEXT_COLORS, ID_TEXT_SAMPLE);
        } else if (e.notify_code == LBN_SELCHANGE && e.control_id == ID_BACK_COLORS) {
            preview(ID_BACK_COLORS, ID_BACK_SAMPLE);
        } else if (e.control_id == ID_OK && chosen(ID_TEXT_COLORS, viewer.text_color) ==
                                                chosen(ID_BACK_COLORS, viewer.back_color)) {
            message_box(dialog, "The text and its background must differ: choose two colours.",
                        "Colours", MB_OK | MB_ICONEXCLAMATION);
        } else if (e.control_id == ID_OK || e.control_id == ID_CANCEL) {
            dialog_end(dialog, e.control_id == ID_OK ? 1 : 0);
        }
        return 0;
    case EV_CLOSE_REQUEST:
        dialog_end(dialog, 0);
        return 0;
    default:
        return 0;
    }
}

intptr_t about_event() {
    const EventState& e = event_state;
    // OK, Enter (its default button) and Escape (the dialog manager's Cancel) close it.
    if ((e.event_class == EV_CONTROL && (e.control_id == ID_OK || e.control_id == ID_CANCEL)) ||
        e.event_class == EV_CLOSE_REQUEST) {
        dialog_end(&viewer.about_dialog, 0);
    }
    return 0;
}

} // namespace

// ============================================================================
// Public routines
// ============================================================================

// Ask for a line number and scroll the document there.
void viewer_go_to_line(Document* document) {
    if (document == nullptr || document->kind != DOC_TEXT || document->message != nullptr) {
        return;
    }
    WindowRecord* dialog = &viewer.go_to_dialog;
    char prompt[64];
    std::snprintf(prompt, sizeof(prompt),
                  document->reader.file != nullptr ? "&Line number (1 to %d read so far):"
                                                   : "&Line number (1 to %d):",
                  document->lines.count);
    dialog_begin(dialog, DIALOG_CENTRED, DIALOG_CENTRED, 180, 54, "Go to line", go_to_event);
    dialog_add_control(dialog, CONTROL_LABEL, -1, 7, 7, 166, 9, prompt, 0);
    dialog_add_control(dialog, CONTROL_EDIT, ID_LINE, 7, 18, 166, 12, "", 0);
    dialog_add_control(dialog, CONTROL_DEFAULT_BUTTON, ID_OK, 69, 35, 50, 14, "OK", 0);
    dialog_add_control(dialog, CONTROL_BUTTON, ID_CANCEL, 123, 35, 50, 14, "Cancel", 0);
    control_set_number(dialog, ID_LINE, document->top + 1);
    go_to_document = document;
    const int32_t line = dialog_show_modal(dialog, &viewer.frame);
    dialog_release(dialog);
    go_to_document = nullptr;
    if (line > 0 && viewer_document_of(&document->window) == document) {
        text_go_to_line(document, line - 1);
    }
}

// Show the Find dialog, or give its text the focus when it is shown already.
void viewer_show_find() {
    WindowRecord* dialog = &viewer.find_dialog;
    if (dialog->hwnd != nullptr) {
        control_focus(dialog, ID_FIND_TEXT);
        return;
    }
    dialog_begin(dialog, DIALOG_CENTRED, DIALOG_CENTRED, 226, 84, "Find", find_event);
    dialog_add_control(dialog, CONTROL_LABEL, -1, 7, 9, 34, 9, "Fi&nd:", 0);
    dialog_add_control(dialog, CONTROL_EDIT, ID_FIND_TEXT, 42, 7, 177, 12, "", 0);
    dialog_add_control(dialog, CONTROL_CHECK_BOX, ID_MATCH_CASE, 42, 25, 80, 10, "Match &case", 0);
    dialog_add_control(dialog, CONTROL_CHECK_BOX, ID_WHOLE_WORD, 42, 38, 80, 10, "&Whole word", 0);
    dialog_add_control(dialog, CONTROL_GROUP_BOX, -1, 132, 21, 87, 29, "Direction", 0);
    dialog_add_control(dialog, CONTROL_RADIO_BUTTON, ID_UP, 139, 33, 34, 10, "&Up", WS_GROUP);
    dialog_add_control(dialog, CONTROL_RADIO_BUTTON, ID_DOWN, 177, 33, 38, 10, "&Down", 0);
    dialog_add_control(dialog, CONTROL_BITMAP_BUTTON, ID_FIND_NEXT, 42, 55, 70, 16, "Find next",
                       WS_GROUP);
    dialog_add_control(dialog, CONTROL_BUTTON, ID_CANCEL, 169, 55, 50, 16, "Close", 0);
    dialog_add_control(dialog, CONTROL_LABEL, ID_FIND_STATUS, 7, 74, 212, 9, "", 0);
    control_set_check(dialog, ID_MATCH_CASE, viewer.find.match_case);
    control_set_check(dialog, ID_WHOLE_WORD, viewer.find.whole_word);
    control_set_check(dialog, ID_UP, viewer.find.up);
    control_set_check(dialog, ID_DOWN, viewer.find.up == 0 ? 1 : 0);
    if (dialog_show(dialog, &viewer.frame) != 0) {
        // The last search, in its own characters (see find_box_text).
        find_box_text(WM_SETTEXT, 0, reinterpret_cast<LPARAM>(viewer.find.text));
        control_focus(dialog, ID_FIND_TEXT);
    }
}

// Say in the Find dialog's status line what the last search did (when it is shown).
void viewer_find_status(const char* text) {
    if (viewer.find_dialog.hwnd != nullptr) {
        control_set_text(&viewer.find_dialog, ID_FIND_STATUS, text);
    }
}

// Find the last search again (F3), or the other way (Shift+F3); without one, ask for it.
void viewer_find_next(Document* document, int32_t reverse) {
    read_find_dialog();
    if (viewer.find.text[0] == L'\0') {
        viewer_show_find();
        return;
    }
    if (document != nullptr && document->kind == DOC_TEXT) {
        text_find(document, reverse != 0 ? 1 - viewer.find.up : viewer.find.up);
    }
}

// Choose the text and background colours of text documents.
void viewer_choose_colors() {
    WindowRecord* dialog = &viewer.colors_dialog;
    char* names = string_duplicate(NAMED_COLORS[0].name);
    for (int32_t i = 1; i < NAMED_COLOR_COUNT; ++i) {
        char* longer = string_concat({names, "|", NAMED_COLORS[i].name});
        heap_free(names);
        names = longer;
    }
    dialog_begin(dialog, DIALOG_CENTRED, DIALOG_CENTRED, 200, 130, "Colours", colors_event);
    dialog_add_control(dialog, CONTROL_LABEL, -1, 7, 7, 90, 9, "&Text", 0);
    dialog_add_control(dialog, CONTROL_LIST_BOX, ID_TEXT_COLORS, 7, 18, 90, 70, names, 0);
    dialog_add_control(dialog, CONTROL_LABEL, ID_TEXT_SAMPLE, 7, 90, 90, 12, "", SS_SUNKEN);
    dialog_add_control(dialog, CONTROL_LABEL, -1, 103, 7, 90, 9, "&Background", 0);
    dialog_add_control(dialog, CONTROL_LIST_BOX, ID_BACK_COLORS, 103, 18, 90, 70, names, 0);
    dialog_add_control(dialog, CONTROL_LABEL, ID_BACK_SAMPLE, 103, 90, 90, 12, "", SS_SUNKEN);
    dialog_add_control(dialog, CONTROL_DEFAULT_BUTTON, ID_OK, 89, 110, 50, 14, "OK", 0);
    dialog_add_control(dialog, CONTROL_BUTTON, ID_CANCEL, 143, 110, 50, 14, "Cancel", 0);
    heap_free(names);
    control_list_select(dialog, ID_TEXT_COLORS, color_index(viewer.text_color));
    control_list_select(dialog, ID_BACK_COLORS, color_index(viewer.back_color));
    if (dialog_show_modal(dialog, &viewer.frame) == 1) {
        viewer.text_color = chosen(ID_TEXT_COLORS, viewer.text_color);
        viewer.back_color = chosen(ID_BACK_COLORS, viewer.back_color);
        viewer_redraw_texts();
        viewer_save_settings();
    }
    dialog_release(dialog);
}

// Choose the font of text documents with the platform's font dialog.
void viewer_choose_font() {
    FontChoice choice = viewer.font;
    if (choose_font(&viewer.frame, &choice) == 1) {
        // Sizes outside those the viewer remembers are brought inside them, so that what
        // shows now is what shows after a restart.
        choice.points = choice.points < SMALLEST_FONT_POINTS  ? SMALLEST_FONT_POINTS
                        : choice.points > LARGEST_FONT_POINTS ? LARGEST_FONT_POINTS
                                                              : choice.points;
        viewer.font = choice;
        viewer_redraw_texts();
        viewer_save_settings();
    }
}

// Say what the program is: its name, version and a line on what it does. Each label has
// room for its text at least a third wider than the dialog's font draws it, the
// description two lines, so that none is cut where the platform maps the font otherwise.
void viewer_show_about() {
    WindowRecord* dialog = &viewer.about_dialog;
    char* title = string_concat({"About ", VIEWER_NAME});
    char* name = string_concat({VIEWER_NAME, ", version ", VIEWER_VERSION});
    dialog_begin(dialog, DIALOG_CENTRED, DIALOG_CENTRED, 250, 80, title, about_event);
    dialog_add_control(dialog, CONTROL_LABEL, -1, 10, 8, 230, 10, name, 0);
    dialog_add_control(dialog, CONTROL_LABEL, -1, 10, 22, 230, 20,
                       "Shows text files and pictures, each in a window of its own.", 0);
    dialog_add_control(dialog, CONTROL_LABEL, -1, 10, 42, 230, 10,
                       "Written on the Tarrowind runtime alone.", 0);
    dialog_add_control(dialog, CONTROL_DEFAULT_BUTTON, ID_OK, 190, 60, 50, 14, "OK", 0);
    heap_free(name);
    heap_free(title);
    dialog_show_modal(dialog, &viewer.frame);
    dialog_release(dialog);
}
