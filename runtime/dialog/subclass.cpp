// Subclassed controls: every control the facility makes keeps its own procedure in "LPFN"
// and passes through control_procedure, which answers its colours under REFLECTED_CTLCOLOR,
// turns Enter and Tab into notifications for its owner, tracks the mouse for hot colours
// and pictures, and draws bitmap buttons. The settings live in window properties of the
// control, and in a copy in this process that its messages are answered from; the control
// owns its brushes and bitmaps and releases them, with every property, when it is
// destroyed.
// Relies on USER32 (properties, subclassing), GDI32 (brushes, drawing) and COMCTL32's
// _TrackMouseEvent. Making controls is controls.cpp's and dialogs.cpp's.
#include "runtime/dialog/dialog_internal.h"

#include <commctrl.h>
#include <richedit.h>

// ============================================================================
// Module state
// ============================================================================

namespace {

// Every property a control may carry; all are removed when it is destroyed.
const char* const ALL_PROPERTIES[] = {
    PROP_ORIGINAL,     PROP_BACK_BRUSH,    PROP_BACK_COLOR,     PROP_TEXT_COLOR, PROP_NOTIFY_TAB,
    PROP_NOTIFY_ENTER, PROP_HOT,           PROP_HOT_BRUSH,      PROP_HOT_COLOR,  PROP_BORDER,
    PROP_HOT_BITMAP,   PROP_NORMAL_BITMAP, PROP_PRESSED_BITMAP,
};
constexpr int32_t PROPERTY_COUNT = sizeof(ALL_PROPERTIES) / sizeof(ALL_PROPERTIES[0]);
// The objects among them, deleted when the control is destroyed.
const char* const OWNED_OBJECTS[] = {PROP_BACK_BRUSH, PROP_HOT_BRUSH, PROP_NORMAL_BITMAP,
                                     PROP_HOT_BITMAP, PROP_PRESSED_BITMAP};

// A subclassed control's properties as this process last set them. The properties are the
// settings' store; the control answers its messages from this copy, because every property
// look-up is a call to Wine's server, and a control reads several for each message.
struct ControlState {
    HWND control;                     // the subclassed control
    uintptr_t values[PROPERTY_COUNT]; // in the order of ALL_PROPERTIES; 0 where not set
    bool bitmap_button;               // one of the facility's bitmap buttons
};

ControlState* states = nullptr; // the subclassed controls, a global block; null when none
int32_t state_count = 0;        // controls in it
int32_t state_capacity = 0;     // room in it

// ============================================================================
// Internal helpers
// ============================================================================

// The copy of a subclassed control's properties, or null. Valid until the next control
// is subclassed or destroyed.
ControlState* find_state(HWND control) {
    for (int32_t i = 0; i < state_count; ++i) {
        if (states[i].control == control) {
            return &states[i];
        }
    }
    return nullptr;
}

// A new, empty copy for a control; null without memory.
ControlState* add_state(HWND control) {
    if (state_count == state_capacity) {
        const int32_t capacity = state_capacity > 0 ? state_capacity * 2 : 16;
        auto* grown = static_cast<ControlState*>(
            typed_alloc(TYPE_RAW, capacity * static_cast<int32_t>(sizeof(ControlState))));
        if (grown == nullptr) {
            return nullptr;
        }
        for (int32_t i = 0; i < state_count; ++i) {
            grown[i] = states[i];
        }
        global_free_if_set(states);
        states = grown;
        state_capacity = capacity;
    }
    states[state_count] = ControlState{control, {}, false};
    return &states[state_count++];
}

// Forget a control's copy; the block goes with the last one.
void remove_state(HWND control) {
    ControlState* state = find_state(control);
    if (state == nullptr) {
        return;
    }
    *state = states[--state_count];
    if (state_count == 0) {
        global_free(states);
        states = nullptr;
        state_capacity = 0;
    }
}

int32_t property_index(const char* name) {
    for (int32_t i = 0; i < PROPERTY_COUNT; ++i) {
        if (ALL_PROPERTIES[i] == name) {
            return i;
        }
    }
    return -1;
}

// A property of a subclassed control, as last set; 0 when not set or not subclassed.
uintptr_t property(HWND control, const char* name) {
    const ControlState* state = find_state(control);
    return state != nullptr ? state->values[property_index(name)] : 0;
}

// Set (or with 0 remove) a property of a subclassed control and its copy. The copy follows
// what the property holds: a property the platform refused keeps its old value.
void set_property(HWND control, const char* name, uintptr_t value) {
    ControlState* state = find_state(control);
    const int32_t index = property_index(name);
    if (state == nullptr || state->values[index] == value) {
        return;
    }
    bool stored = true;
    if (value == 0) {
        ::RemovePropA(control, name);
    } else {
        stored = ::SetPropA(control, name, reinterpret_cast<HANDLE>(value)) != FALSE;
    }
    if (stored) {
        find_state(control)->values[index] = value;
    }
}

// A colour property's colour, or NO_COLOR when it is not set.
COLORREF property_color(HWND control, const char* name) {
    uintptr_t value = property(control, name);
    return (value & COLOR_SET) != 0 ? static_cast<COLORREF>(value & 0xFFFFFF) : NO_COLOR;
}

// True when one of the control's owned object properties holds the object.
bool owns_object(HWND control, HGDIOBJ object) {
    for (const char* name : OWNED_OBJECTS) {
        if (reinterpret_cast<HGDIOBJ>(property(control, name)) == object) {
            return true;
        }
    }
    return false;
}

// Replace an owned object property, deleting the object it held unless another of the
// control's properties still holds it. An object the property could not take is deleted:
// the control owns it from the call on.
void replace_object(HWND control, const char* name, HGDIOBJ object) {
    HGDIOBJ old = reinterpret_cast<HGDIOBJ>(property(control, name));
    set_property(control, name, reinterpret_cast<uintptr_t>(object));
    if (old != nullptr && !owns_object(control, old)) {
        ::DeleteObject(old);
    }
    if (object != nullptr && !owns_object(control, object)) {
        ::DeleteObject(object);
    }
}

// Set a colour property and the brush made for it, or remove both with NO_COLOR.
void set_color_and_brush(HWND control, const char* color_name, const char* brush_name,
                         COLORREF color) {
    if (color == NO_COLOR) {
        set_property(control, color_name, 0);
        replace_object(control, brush_name, nullptr);
        return;
    }
    set_property(control, color_name, color_setting(color));
    replace_object(control, brush_name, ::CreateSolidBrush(color & 0xFFFFFF));
}

// A kept colour setting as a colour, NO_COLOR for none.
COLORREF setting_color(uint32_t setting) {
    return (setting & COLOR_SET) != 0 ? static_cast<COLORREF>(setting & 0xFFFFFF) : NO_COLOR;
}

// Answer REFLECTED_CTLCOLOR: the context holds the platform's colours for the control;
// set the control's own over them and give its brush, or 0 to keep the platform's
// background (a text colour alone changes only the text).
LRESULT answer_colors(HWND control, HDC dc) {
    const COLORREF text = property_color(control, PROP_TEXT_COLOR);
    const COLORREF back = property_color(control, PROP_BACK_COLOR);
    const COLORREF hot = property_color(control, PROP_HOT_COLOR);
    if (text != NO_COLOR) {
        ::SetTextColor(dc, text);
    }
    if (property(control, PROP_HOT) == HOT_OVER && hot != NO_COLOR) {
        ::SetBkColor(dc, hot);
        return static_cast<LRESULT>(property(control, PROP_HOT_BRUSH));
    }
    if (back != NO_COLOR) {
        ::SetBkColor(dc, back);
        return static_cast<LRESULT>(property(control, PROP_BACK_BRUSH));
    }
    return 0;
}

// Repaint a control that is on the screen; one that is not (a dialog's, before the dialog
// is shown) paints with its settings when it is.
void repaint(HWND control) {
    if (::IsWindowVisible(control)) {
        ::InvalidateRect(control, nullptr, TRUE);
    }
}

bool is_class(HWND control, const char* name) {
    char found[32] = {};
    ::GetClassNameA(control, found, sizeof(found));
    return ::lstrcmpiA(found, name) == 0;
}

// Give the colours to a control that does not ask its parent for them, through its own
// messages (NO_COLOR: its own default).
void apply_own_colors(HWND control, COLORREF text, COLORREF back) {
    const COLORREF text_rgb = text & 0xFFFFFF;
    const COLORREF back_rgb = back & 0xFFFFFF;
    if (is_class(control, "RichEdit20A")) {
        ::SendMessageA(control, EM_SETBKGNDCOLOR, back == NO_COLOR ? 1 : 0, back_rgb);
        CHARFORMATA format = {};
        format.cbSize = sizeof(format);
        format.dwMask = CFM_COLOR;
        format.dwEffects = text == NO_COLOR ? CFE_AUTOCOLOR : 0;
        format.crTextColor = text_rgb;
        // The text it holds, and what is typed or set later.
        ::SendMessageA(control, EM_SETCHARFORMAT, SCF_ALL, reinterpret_cast<LPARAM>(&format));
        ::SendMessageA(control, EM_SETCHARFORMAT, SCF_DEFAULT, reinterpret_cast<LPARAM>(&format));
    } else if (is_class(control, WC_LISTVIEWA)) {
        ::SendMessageA(control, LVM_SETBKCOLOR, 0,
                       back == NO_COLOR ? ::GetSysColor(COLOR_WINDOW) : back_rgb);
        ::SendMessageA(control, LVM_SETTEXTBKCOLOR, 0, back == NO_COLOR ? CLR_DEFAULT : back_rgb);
        ::SendMessageA(control, LVM_SETTEXTCOLOR, 0, text == NO_COLOR ? CLR_DEFAULT : text_rgb);
    } else if (is_class(control, WC_TREEVIEWA)) {
        // -1: the system's colour.
        ::SendMessageA(control, TVM_SETBKCOLOR, 0, back == NO_COLOR ? -1 : back_rgb);
        ::SendMessageA(control, TVM_SETTEXTCOLOR, 0, text == NO_COLOR ? -1 : text_rgb);
    }
}

// Colour a subclassed control and repaint it.
void apply_colors(HWND control, COLORREF text, COLORREF back) {
    set_property(control, PROP_TEXT_COLOR, color_setting(text));
    set_color_and_brush(control, PROP_BACK_COLOR, PROP_BACK_BRUSH, back);
    apply_own_colors(control, text, back);
    repaint(control);
}

// True when control_set_colors changes how the control looks.
bool window_takes_colors(HWND control) {
    char name[32] = {};
    ::GetClassNameA(control, name, sizeof(name));
    return takes_colors(name, static_cast<DWORD>(::GetWindowLongA(control, GWL_STYLE)));
}

void apply_notify(HWND control, uint32_t notify) {
    set_property(control, PROP_NOTIFY_ENTER, (notify & NOTIFY_ENTER_BIT) != 0 ? 1 : 0);
    set_property(control, PROP_NOTIFY_TAB, (notify & NOTIFY_TAB_BIT) != 0 ? 1 : 0);
}

// Turn a subclassed control's hot tracking on with a colour, or off with NO_COLOR.
void apply_hot(HWND control, COLORREF hot_color) {
    set_color_and_brush(control, PROP_HOT_COLOR, PROP_HOT_BRUSH, hot_color);
    // A hot picture keeps the tracking on without a colour.
    const bool tracking = hot_color != NO_COLOR || property(control, PROP_HOT_BITMAP) != 0;
    if (!tracking) {
        set_property(control, PROP_HOT, 0);
    } else if (property(control, PROP_HOT) == 0) {
        set_property(control, PROP_HOT, HOT_ON);
    }
    repaint(control);
}

// Tell the owner's handler that Enter or Tab was pressed in the control.
void notify_owner(HWND control, int32_t code) {
    const int id = ::GetDlgCtrlID(control);
    ::SendMessageA(::GetParent(control), WM_COMMAND,
                   MAKEWPARAM(static_cast<WORD>(id), static_cast<WORD>(code)),
                   reinterpret_cast<LPARAM>(control));
}

// The key's notification code when the control turns it into one, else 0.
int32_t key_notification(HWND control, WPARAM key) {
    if (key == VK_RETURN && property(control, PROP_NOTIFY_ENTER) != 0) {
        return CN_ENTER;
    }
    if (key == VK_TAB && property(control, PROP_NOTIFY_TAB) != 0) {
        return CN_TAB;
    }
    return 0;
}

// The mouse came over a hot-tracking control: repaint it hot and ask to hear when it leaves.
void mouse_entered(HWND control) {
    if (property(control, PROP_HOT) != HOT_ON) {
        return;
    }
    set_property(control, PROP_HOT, HOT_OVER);
    TRACKMOUSEEVENT track = {};
    track.cbSize = sizeof(track);
    track.dwFlags = TME_LEAVE;
    track.hwndTrack = control;
    ::_TrackMouseEvent(&track);
    ::InvalidateRect(control, nullptr, TRUE);
}

void mouse_left(HWND control) {
    if (property(control, PROP_HOT) == HOT_OVER) {
        set_property(control, PROP_HOT, HOT_ON);
        ::InvalidateRect(control, nullptr, TRUE);
    }
}

// Draw a bitmap button: its frame, then the picture of its state stretched inside.
void draw_bitmap_button(HWND control, const DRAWITEMSTRUCT* item) {
    HBITMAP picture = reinterpret_cast<HBITMAP>(property(control, PROP_NORMAL_BITMAP));
    HBITMAP hot = reinterpret_cast<HBITMAP>(property(control, PROP_HOT_BITMAP));
    HBITMAP pressed = reinterpret_cast<HBITMAP>(property(control, PROP_PRESSED_BITMAP));
    if ((item->itemState & ODS_SELECTED) != 0 && pressed != nullptr) {
        picture = pressed;
    } else if (property(control, PROP_HOT) == HOT_OVER && hot != nullptr) {
        picture = hot;
    }
    const int border = static_cast<int>(property(control, PROP_BORDER));
    const COLORREF text = property_color(control, PROP_TEXT_COLOR);
    RECT inner = item->rcItem;
    if (border > 0) {
        HBRUSH frame = ::CreateSolidBrush(text != NO_COLOR ? text : RGB(0, 0, 0));
        ::FillRect(item->hDC, &item->rcItem, frame);
        ::DeleteObject(frame);
        ::InflateRect(&inner, -border, -border);
    }
    BITMAP size = {};
    HDC memory = picture != nullptr ? ::CreateCompatibleDC(item->hDC) : nullptr;
    if (memory != nullptr && ::GetObjectA(picture, sizeof(size), &size) != 0) {
        HGDIOBJ old = ::SelectObject(memory, picture);
        ::SetStretchBltMode(item->hDC, COLORONCOLOR);
        ::StretchBlt(item->hDC, inner.left, inner.top, inner.right - inner.left,
                     inner.bottom - inner.top, memory, 0, 0, size.bmWidth, size.bmHeight, SRCCOPY);
        ::SelectObject(memory, old);
    } else {
        ::FillRect(item->hDC, &inner, ::GetSysColorBrush(COLOR_BTNFACE));
    }
    if (memory != nullptr) {
        ::DeleteDC(memory);
    }
    if ((item->itemState & ODS_FOCUS) != 0) {
        ::InflateRect(&inner, -2, -2);
        ::DrawFocusRect(item->hDC, &inner);
    }
}

// Delete what the control owns, remove every property and give it its procedure back.
WNDPROC release_control(HWND control) {
    const ControlState* state = find_state(control);
    if (state == nullptr) {
        return nullptr;
    }
    const ControlState kept = *state;
    remove_state(control);
    HGDIOBJ deleted[sizeof(OWNED_OBJECTS) / sizeof(OWNED_OBJECTS[0])] = {};
    int count = 0;
    for (int32_t i = 0; i < PROPERTY_COUNT; ++i) {
        if (kept.values[i] == 0) {
            continue;
        }
        ::RemovePropA(control, ALL_PROPERTIES[i]);
        bool owned = false;
        for (const char* name : OWNED_OBJECTS) {
            owned = owned || name == ALL_PROPERTIES[i];
        }
        HGDIOBJ object = reinterpret_cast<HGDIOBJ>(kept.values[i]);
        bool seen = false; // one bitmap may serve two states: delete it once
        for (int j = 0; j < count; ++j) {
            seen = seen || deleted[j] == object;
        }
        if (owned && !seen) {
            ::DeleteObject(object);
            deleted[count++] = object;
        }
    }
    WNDPROC original = reinterpret_cast<WNDPROC>(kept.values[0]);
    ::SetWindowLongPtrW(control, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(original));
    return original;
}

// The control of a record by identifier, not subclassed yet; null when there is none.
HWND record_control(WindowRecord* record, int32_t id) {
    return record_is_open(record) && control_id_valid(id)
               ? ::GetDlgItem(record->hwnd, control_id_key(id))
               : nullptr;
}

// The control of a record by identifier, subclassed; null when there is none.
HWND subclassed_control(WindowRecord* record, int32_t id) {
    HWND control = record_control(record, id);
    return control != nullptr && control_subclass(control) ? control : nullptr;
}

} // namespace

// ============================================================================
// Public routines
// ============================================================================

// Subclass a control once: its own procedure goes into "LPFN".
bool control_subclass(HWND control) {
    if (find_state(control) != nullptr) {
        return true;
    }
    // NOTE: the subclass is wide (GetWindowLongPtrW, SetWindowLongPtrW, CallWindowProcW),
    // which makes the control a Unicode window: a character typed in any script, and text
    // set wide, reach the control's own procedure as themselves. ANSI callers lose nothing:
    // the platform converts their messages on the way in.
    LONG_PTR original = ::GetWindowLongPtrW(control, GWLP_WNDPROC);
    if (original == 0 || add_state(control) == nullptr) {
        return false;
    }
    if (!::SetPropA(control, PROP_ORIGINAL, reinterpret_cast<HANDLE>(original))) {
        remove_state(control);
        return false;
    }
    find_state(control)->values[0] = static_cast<uintptr_t>(original);
    answers_own_colors = is_subclassed;
    draws_itself = is_bitmap_button;
    ::SetWindowLongPtrW(control, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(control_procedure));
    return true;
}

// True for a control subclassed by control_subclass.
bool is_subclassed(HWND control) {
    return find_state(control) != nullptr;
}

// Make a subclassed control one of the facility's bitmap buttons.
void mark_bitmap_button(HWND control) {
    if (ControlState* state = find_state(control); state != nullptr) {
        state->bitmap_button = true;
    }
}

// True for one of the facility's bitmap buttons: subclassed, marked and owner-drawn.
bool is_bitmap_button(HWND control) {
    const ControlState* state = find_state(control);
    return state != nullptr && state->bitmap_button &&
           (::GetWindowLongA(control, GWL_STYLE) & BS_TYPEMASK) == BS_OWNERDRAW;
}

// The subclass procedure of every control the facility makes.
LRESULT CALLBACK control_procedure(HWND control, UINT message, WPARAM wparam, LPARAM lparam) {
    WNDPROC original = reinterpret_cast<WNDPROC>(property(control, PROP_ORIGINAL));
    if (original == nullptr) {
        return ::DefWindowProcW(control, message, wparam, lparam);
    }
    switch (message) {
    case REFLECTED_CTLCOLOR:
        // Never the control's own procedure: it would read 0x19 as the 16-bit WM_CTLCOLOR.
        return answer_colors(control, reinterpret_cast<HDC>(wparam));
    case WM_DRAWITEM:
        if (is_bitmap_button(control)) {
            draw_bitmap_button(control, reinterpret_cast<const DRAWITEMSTRUCT*>(lparam));
            return TRUE;
        }
        break;
    case WM_GETDLGCODE: {
        // The dialog manager hands Enter and Tab to a control only when it asks for them.
        LRESULT code = ::CallWindowProcW(original, control, message, wparam, lparam);
        const MSG* key = reinterpret_cast<const MSG*>(lparam);
        if (key != nullptr && key->message == WM_KEYDOWN &&
            key_notification(control, key->wParam) != 0) {
            code |= key->wParam == VK_TAB ? DLGC_WANTTAB | DLGC_WANTMESSAGE : DLGC_WANTMESSAGE;
        }
        return code;
    }
    case WM_KEYDOWN: {
        const int32_t code = key_notification(control, wparam);
        if (code != 0) {
            notify_owner(control, code);
            return 0;
        }
        break;
    }
    case WM_CHAR:
        // The character of a key that became a notification is dropped, not typed.
        if ((wparam == '\r' && key_notification(control, VK_RETURN) != 0) ||
            (wparam == '\t' && key_notification(control, VK_TAB) != 0)) {
            return 0;
        }
        break;
    case WM_MOUSEMOVE:
        mouse_entered(control);
        break;
    case WM_MOUSELEAVE:
        mouse_left(control);
        break;
    case WM_NCDESTROY:
        return ::CallWindowProcW(release_control(control), control, message, wparam, lparam);
    default:
        break;
    }
    return ::CallWindowProcW(original, control, message, wparam, lparam);
}

// A colour as the colour properties and the kept settings hold it: 0 for NO_COLOR.
uint32_t color_setting(COLORREF color) {
    return color != NO_COLOR ? static_cast<uint32_t>((color & 0xFFFFFF) | COLOR_SET) : 0;
}

// Give a subclassed control the settings its definition keeps.
void control_settings_apply(HWND control, const ControlDefinition* definition) {
    if (definition->text_color != 0 || definition->back_color != 0) {
        apply_colors(control, setting_color(definition->text_color),
                     setting_color(definition->back_color));
    }
    if (definition->hot_color != 0) {
        apply_hot(control, setting_color(definition->hot_color));
    }
    if (definition->notify != 0) {
        apply_notify(control, definition->notify);
    }
}

// Colour a control's text and background; 0 for a push button, whose face is the
// platform's.
int32_t control_set_colors(WindowRecord* record, int32_t id, COLORREF text, COLORREF back) {
    ControlDefinition* kept = control_definition(record, id);
    HWND control = record_control(record, id);
    const bool takes = control != nullptr
                           ? window_takes_colors(control)
                           : kept != nullptr && takes_colors(control_class(kept->kind)->name,
                                                             definition_style(kept));
    if (!takes) {
        return 0;
    }
    if (kept != nullptr) {
        kept->text_color = color_setting(text);
        kept->back_color = color_setting(back);
    }
    if (control != nullptr && control_subclass(control)) {
        apply_colors(control, text, back);
    }
    return 1;
}

// Turn Enter and Tab notifications on or off.
int32_t control_set_notify(WindowRecord* record, int32_t id, int32_t enter, int32_t tab) {
    const uint32_t notify = (enter != 0 ? NOTIFY_ENTER_BIT : 0) | (tab != 0 ? NOTIFY_TAB_BIT : 0);
    ControlDefinition* kept = control_definition(record, id);
    if (kept != nullptr) {
        kept->notify = notify;
    }
    HWND control = subclassed_control(record, id);
    if (control != nullptr) {
        apply_notify(control, notify);
    }
    return kept != nullptr || control != nullptr ? 1 : 0;
}

// Turn hot tracking on with a colour, or off with NO_COLOR.
int32_t control_set_hot(WindowRecord* record, int32_t id, COLORREF hot_color) {
    ControlDefinition* kept = control_definition(record, id);
    if (kept != nullptr) {
        kept->hot_color = color_setting(hot_color);
    }
    HWND control = subclassed_control(record, id);
    if (control != nullptr) {
        apply_hot(control, hot_color);
    }
    return kept != nullptr || control != nullptr ? 1 : 0;
}

// Give a bitmap button its pictures (owned from now on) and its frame width.
int32_t control_set_bitmaps(WindowRecord* record, int32_t id, HBITMAP normal, HBITMAP hot,
                            HBITMAP pressed, int32_t border_width) {
    HWND control = subclassed_control(record, id);
    if (control == nullptr) {
        // No control takes the pictures, which were handed over: delete each once.
        const HBITMAP pictures[] = {normal, hot, pressed};
        for (int32_t i = 0; i < 3; ++i) {
            const bool seen =
                (i > 0 && pictures[i] == pictures[0]) || (i > 1 && pictures[i] == pictures[1]);
            if (pictures[i] != nullptr && !seen) {
                ::DeleteObject(pictures[i]);
            }
        }
        return 0;
    }
    mark_bitmap_button(control);
    replace_object(control, PROP_NORMAL_BITMAP, normal);
    replace_object(control, PROP_HOT_BITMAP, hot);
    replace_object(control, PROP_PRESSED_BITMAP, pressed);
    set_property(control, PROP_BORDER, border_width > 0 ? static_cast<uintptr_t>(border_width) : 0);
    if (hot != nullptr && property(control, PROP_HOT) == 0) {
        set_property(control, PROP_HOT, HOT_ON);
    }
    ::InvalidateRect(control, nullptr, TRUE);
    return 1;
}
