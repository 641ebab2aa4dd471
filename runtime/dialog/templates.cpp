// Control classes and dialog templates: what the platform needs to make a control of each
// kind, the dialog window class "KalvorineDlgClass", and the in-memory dialog template
// (DLGTEMPLATE with DS_SETFONT, wide characters) built from a dialog's definition; texts
// too long for a template are left out of it and given to the windows once they exist.
// Relies on USER32, COMCTL32 (InitCommonControls), KERNEL32 (the rich edit library) and the
// core's conversion of texts in the ANSI code page. Showing the template is dialogs.cpp's.
#include "runtime/dialog/dialog_internal.h"

#include <commctrl.h>
#include <richedit.h>

#include <cstring>
#include <cwchar>

// ============================================================================
// Module state
// ============================================================================

namespace {

constexpr DWORD BUTTON_TAB = WS_TABSTOP;
constexpr DWORD BORDERED = WS_BORDER | WS_TABSTOP;

// Indexed by ControlKind - 1.
const ControlClass CONTROL_CLASSES[CONTROL_KIND_COUNT] = {
    {"BUTTON", 0x0080, BS_PUSHBUTTON | BUTTON_TAB, 0, false},
    {"BUTTON", 0x0080, BS_DEFPUSHBUTTON | BUTTON_TAB, 0, false},
    {"BUTTON", 0x0080, BS_AUTOCHECKBOX | BUTTON_TAB, 0, false},
    {"BUTTON", 0x0080, BS_AUTORADIOBUTTON | BUTTON_TAB, 0, false},
    {"BUTTON", 0x0080, BS_GROUPBOX, 0, false},
    {"BUTTON", 0x0080, BS_OWNERDRAW | BUTTON_TAB, 0, false},
    {"EDIT", 0x0081, ES_AUTOHSCROLL | BORDERED, 0, false},
    {"EDIT", 0x0081, ES_MULTILINE | ES_AUTOVSCROLL | ES_WANTRETURN | WS_VSCROLL | BORDERED, 0,
     false},
    // Lists always hold texts, owner-drawn ones too: their items are the definition's.
    {"LISTBOX", 0x0083, LBS_NOTIFY | LBS_HASSTRINGS | WS_VSCROLL | BORDERED, 0, true},
    {"COMBOBOX", 0x0085, CBS_DROPDOWNLIST | CBS_HASSTRINGS | WS_VSCROLL | WS_TABSTOP, 0, true},
    {"STATIC", 0x0082, SS_LEFT | SS_NOTIFY, 0, false},
    {"SCROLLBAR", 0x0084, SBS_HORZ, 0, false},
    {"RichEdit20A", 0, ES_AUTOHSCROLL | BORDERED, 0, false},
    {"SysListView32", 0, LVS_REPORT | BORDERED, 0, false},
    {"msctls_statusbar32", 0, 0, 0, false},
    {"SysTreeView32", 0, TVS_HASLINES | TVS_HASBUTTONS | TVS_LINESATROOT | BORDERED, 0, false},
};

constexpr const char* DIALOG_CLASS = "KalvorineDlgClass";
constexpr const wchar_t* DIALOG_FONT = L"MS Sans Serif";
constexpr WORD DIALOG_FONT_POINTS = 8;
constexpr DWORD DIALOG_STYLE = WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | DS_SETFONT;

// Texts up to this length go into a template; longer ones are given to the window.
constexpr int32_t TEMPLATE_TEXT_MAX = 4096;

bool common_controls_ready = false;  // InitCommonControls has run
HMODULE rich_edit_library = nullptr; // riched20.dll, loaded once and kept

// ============================================================================
// Internal helpers
// ============================================================================

// Writes a template into a block sized beforehand; every write stays within it.
struct TemplateWriter {
    BYTE* start; // the block
    size_t used; // bytes written so far
};

void put_bytes(TemplateWriter* w, const void* bytes, size_t size) {
    std::memcpy(w->start + w->used, bytes, size);
    w->used += size;
}

void put_word(TemplateWriter* w, WORD value) {
    put_bytes(w, &value, sizeof(value));
}

// A text in the ANSI code page as a NUL-terminated wide string.
void put_text(TemplateWriter* w, const char* text) {
    const int32_t length = text != nullptr ? string_length(text) : 0;
    auto* out = reinterpret_cast<wchar_t*>(w->start + w->used);
    const size_t written = ansi_to_wide(text, static_cast<size_t>(length), out);
    out[written] = L'\0';
    w->used += (written + 1) * sizeof(wchar_t);
}

void put_wide(TemplateWriter* w, const wchar_t* text) {
    put_bytes(w, text, (std::wcslen(text) + 1) * sizeof(wchar_t));
}

void align_dword(TemplateWriter* w) {
    w->used = (w->used + 3) & ~static_cast<size_t>(3);
}

// The text a template holds for a text: itself, or "" when it is given to the window later.
const char* template_text(const char* text) {
    return text_fits_template(text) ? text : "";
}

// A control's text in the template: a list's items are added once it exists.
const char* control_template_text(const ControlDefinition* c) {
    return control_class(c->kind)->is_list ? "" : template_text(definition_text(c));
}

// Bytes a wide copy of an 8-bit text can take, terminator included.
size_t wide_room(const char* text) {
    return (static_cast<size_t>(text != nullptr ? string_length(text) : 0) + 1) * sizeof(wchar_t);
}

// An upper bound of the template's size: every field, string and alignment counted.
size_t template_size(const DialogDefinition* definition) {
    size_t size = sizeof(DLGTEMPLATE) + 3 * sizeof(WORD) + wide_room(DIALOG_CLASS) +
                  wide_room(template_text(definition->caption)) +
                  (std::wcslen(DIALOG_FONT) + 1) * 2;
    for (const ControlDefinition* c = definition->first_control; c != nullptr; c = c->next) {
        const ControlClass* kind = control_class(c->kind);
        size += 3 + sizeof(DLGITEMTEMPLATE) + 2 * sizeof(WORD) + wide_room(kind->name) +
                wide_room(control_template_text(c)) + sizeof(WORD);
    }
    return size;
}

// One control of the template.
void put_control(TemplateWriter* w, const ControlDefinition* c) {
    const ControlClass* kind = control_class(c->kind);
    align_dword(w);
    DLGITEMTEMPLATE item = {};
    item.style = control_style(c->kind, c->style);
    item.dwExtendedStyle = kind->ex_style;
    // dialog_add_control took only values that these fields hold.
    item.x = static_cast<short>(c->x);
    item.y = static_cast<short>(c->y);
    item.cx = static_cast<short>(c->width);
    item.cy = static_cast<short>(c->height);
    item.id = static_cast<WORD>(control_id_key(c->id));
    put_bytes(w, &item, sizeof(item));
    if (kind->atom != 0) {
        put_word(w, 0xFFFF);
        put_word(w, kind->atom);
    } else {
        put_text(w, kind->name);
    }
    put_text(w, control_template_text(c));
    put_word(w, 0); // no creation data
}

} // namespace

// ============================================================================
// Public routines
// ============================================================================

// The class of a kind, or null.
const ControlClass* control_class(int32_t kind) {
    if (kind < 1 || kind > CONTROL_KIND_COUNT) {
        return nullptr;
    }
    return &CONTROL_CLASSES[kind - 1];
}

// The window style of a control of a kind with the extra styles given.
DWORD control_style(int32_t kind, uint32_t style) {
    DWORD own = control_class(kind)->style;
    const DWORD type = style & BS_TYPEMASK;
    const bool check_type = type == BS_CHECKBOX || type == BS_AUTOCHECKBOX || type == BS_3STATE ||
                            type == BS_AUTO3STATE;
    const bool radio_type = type == BS_RADIOBUTTON || type == BS_AUTORADIOBUTTON;
    if ((kind == CONTROL_CHECK_BOX && check_type) || (kind == CONTROL_RADIO_BUTTON && radio_type)) {
        own &= ~static_cast<DWORD>(BS_TYPEMASK);
    }
    return WS_CHILD | WS_VISIBLE | own | style;
}

// The highest check state of a control of a class and style.
int32_t check_state_max(const char* class_name, DWORD style) {
    if (::lstrcmpiA(class_name, "Button") != 0) {
        return 0;
    }
    switch (style & BS_TYPEMASK) {
    case BS_3STATE:
    case BS_AUTO3STATE:
        return 2;
    case BS_CHECKBOX:
    case BS_AUTOCHECKBOX:
    case BS_RADIOBUTTON:
    case BS_AUTORADIOBUTTON:
        return 1;
    default:
        return 0;
    }
}

// True when control_set_colors changes how a control of a class and style looks.
bool takes_colors(const char* class_name, DWORD style) {
    if (::lstrcmpiA(class_name, STATUSCLASSNAMEA) == 0) {
        return false; // NOTE: its SB_SETBKCOLOR is taken but not shown under Wine's theme
    }
    if (::lstrcmpiA(class_name, "Button") != 0) {
        return true;
    }
    switch (style & BS_TYPEMASK) {
    case BS_PUSHBUTTON:
    case BS_DEFPUSHBUTTON:
    case BS_SPLITBUTTON:
    case BS_DEFSPLITBUTTON:
    case BS_COMMANDLINK:
    case BS_DEFCOMMANDLINK:
        return false;
    default:
        return (style & BS_PUSHLIKE) == 0 || check_state_max(class_name, style) == 0;
    }
}

// Make the common controls' classes and the rich edit's before a control of kind is made.
void control_classes_prepare(int32_t kind) {
    if (!common_controls_ready) {
        ::InitCommonControls();
        common_controls_ready = true;
    }
    if (kind == CONTROL_RICH_EDIT && rich_edit_library == nullptr) {
        // From the system folder only: a file of that name beside the program is not it.
        rich_edit_library = ::LoadLibraryExA("riched20.dll", nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
    }
}

// Register "KalvorineDlgClass" once; its atom, or 0.
ATOM dialog_register_class() {
    if (dialog_class_atom != 0) {
        return dialog_class_atom;
    }
    HINSTANCE module = runtime_module();
    WNDCLASSEXA wc = {};
    wc.cbSize = sizeof(wc);
    wc.style = CS_DBLCLKS;
    wc.lpfnWndProc = ::DefDlgProcA;
    // The dialog manager's bytes, then the record's address and how the dialog is shown.
    wc.cbWndExtra = DIALOG_RECORD_OFFSET + 2 * static_cast<int>(sizeof(WindowRecord*));
    wc.hInstance = module;
    wc.hIcon = ::LoadIconA(module, MAKEINTRESOURCEA(ICON_RESOURCE));
    if (wc.hIcon == nullptr) {
        wc.hIcon = ::LoadIconA(nullptr, IDI_APPLICATION);
    }
    wc.hCursor = ::LoadCursorA(nullptr, IDC_ARROW);
    wc.hbrBackground = reinterpret_cast<HBRUSH>(static_cast<INT_PTR>(COLOR_BTNFACE + 1));
    wc.lpszClassName = DIALOG_CLASS;
    dialog_class_atom = ::RegisterClassExA(&wc);
    return dialog_class_atom;
}

// True when a text goes into the template.
bool text_fits_template(const char* text) {
    return text == nullptr || string_length(text) <= TEMPLATE_TEXT_MAX;
}

// Build the in-memory template of a definition in a new global block; null without memory.
void* dialog_template_build(const DialogDefinition* definition) {
    void* block = typed_alloc(TYPE_RAW, static_cast<int32_t>(template_size(definition)));
    if (block == nullptr) {
        return nullptr;
    }
    TemplateWriter w = {static_cast<BYTE*>(block), 0};
    DLGTEMPLATE header = {};
    header.style = DIALOG_STYLE;
    // dialog_begin and dialog_add_control took only values that these fields hold.
    header.cdit = static_cast<WORD>(definition->control_count);
    header.x = static_cast<short>(definition->x < 0 ? 0 : definition->x);
    header.y = static_cast<short>(definition->y < 0 ? 0 : definition->y);
    header.cx = static_cast<short>(definition->width);
    header.cy = static_cast<short>(definition->height);
    put_bytes(&w, &header, sizeof(header));
    put_word(&w, 0); // no menu
    put_text(&w, DIALOG_CLASS);
    put_text(&w, template_text(definition->caption));
    put_word(&w, DIALOG_FONT_POINTS);
    put_wide(&w, DIALOG_FONT);
    for (const ControlDefinition* c = definition->first_control; c != nullptr; c = c->next) {
        put_control(&w, c);
    }
    return block;
}
