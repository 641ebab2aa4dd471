// Dialog definitions: a dialog's definition buffer and its list of control definitions in
// global memory, on the runtime's DialogDefinitionList from dialog_begin until
// dialog_release (or shut-down, where the core's dialog_definitions_release frees what is
// left); and the items that list controls keep, each NUL-terminated, in their extra block.
// Relies on the core's typed_alloc, global_free and heap strings. Showing dialogs is
// dialogs.cpp's.
#include <cstring>

#include "runtime/dialog/dialog_internal.h"

// ============================================================================
// Internal helpers
// ============================================================================

namespace {

constexpr char ITEM_SEPARATOR = '|';

// A fresh zeroed global block holding a copy of length bytes of text and a NUL; null
// without memory.
void* text_block(const char* text, int32_t length) {
    void* block = typed_alloc(TYPE_RAW, length + 1);
    if (block != nullptr && length > 0) {
        std::memcpy(block, text, static_cast<size_t>(length));
    }
    return block;
}

void* text_block(const char* text) {
    return text_block(text, text != nullptr ? string_length(text) : 0);
}

// Bytes a list definition's items take, each with its NUL.
int32_t items_size(const ControlDefinition* control) {
    const char* items = definition_text(control);
    int32_t size = 0;
    for (int32_t i = 0; i < control->item_count; ++i) {
        size += string_length(items + size) + 1;
    }
    return size;
}

// Take a new items block and count, freeing the old block; false (nothing changed) for a
// null block.
bool take_items(ControlDefinition* control, void* block, int32_t count) {
    if (block == nullptr) {
        return false;
    }
    global_free_if_set(control->extra_block);
    control->extra_block = block;
    control->item_count = count;
    return true;
}

// True when a place and a size fit a template's 16-bit fields.
bool fits_template(int32_t x, int32_t y, int32_t width, int32_t height) {
    const auto place = [](int32_t v) {
        return v >= -DIALOG_UNITS_MAX - 1 && v <= DIALOG_UNITS_MAX;
    };
    const auto size = [](int32_t v) { return v >= 0 && v <= DIALOG_UNITS_MAX; };
    return place(x) && place(y) && size(width) && size(height);
}

// Take a record's node off the DialogDefinitionList and free it.
void unlist(const WindowRecord* record) {
    DialogListNode** link = &dialog_definition_list;
    while (*link != nullptr) {
        DialogListNode* node = *link;
        if (node->record == record) {
            *link = node->next;
            global_free(node);
            return;
        }
        link = &node->next;
    }
}

// Free the record's definition and list node, if it has them.
void release_definition(WindowRecord* record) {
    DialogDefinition* definition = dialog_definition(record);
    if (definition == nullptr) {
        return;
    }
    unlist(record);
    dialog_definition_free(definition);
    record->dialog_def = nullptr;
}

} // namespace

// ============================================================================
// Public routines
// ============================================================================

// Begin a dialog's definition on a record; 1, or 0 when refused.
int32_t dialog_begin(WindowRecord* record, int32_t x, int32_t y, int32_t width, int32_t height,
                     const char* caption, WindowHandler handler) {
    // An open window, or a dialog that is shown, keeps what it has. A negative place
    // centres the dialog: the template holds 0 there.
    if (record == nullptr || record->hwnd != nullptr ||
        !fits_template(x < 0 ? 0 : x, y < 0 ? 0 : y, width, height)) {
        return 0;
    }
    release_definition(record);
    const int32_t length = caption != nullptr ? string_length(caption) : 0;
    auto* definition = static_cast<DialogDefinition*>(
        typed_alloc(TYPE_RAW, static_cast<int32_t>(sizeof(DialogDefinition)) + length));
    auto* node = static_cast<DialogListNode*>(typed_alloc(TYPE_RAW, sizeof(DialogListNode)));
    if (definition == nullptr || node == nullptr) {
        global_free_if_set(definition);
        global_free_if_set(node);
        return 0;
    }
    definition->x = x;
    definition->y = y;
    definition->width = width;
    definition->height = height;
    if (length > 0) {
        std::memcpy(definition->caption, caption, static_cast<size_t>(length));
    }
    node->record = record;
    node->next = dialog_definition_list;
    dialog_definition_list = node;

    // A dialog record draws straight onto its window, with the context's defaults.
    *record = WindowRecord{};
    record->kind = RECORD_DIALOG;
    record->dialog_def = definition;
    record->handler = handler;
    record->bk_mode = OPAQUE;
    record->rop2 = R2_COPYPEN;
    record->pen_width = 1;
    record->bk_color = RGB(255, 255, 255);
    record->back_color = ::GetSysColor(COLOR_BTNFACE);
    record->cursor = ::LoadCursorA(nullptr, IDC_ARROW);
    return 1;
}

// Add a control to a begun dialog; 1, or 0 when refused.
int32_t dialog_add_control(WindowRecord* record, int32_t kind, int32_t id, int32_t x, int32_t y,
                           int32_t width, int32_t height, const char* text, uint32_t style) {
    DialogDefinition* definition = dialog_definition(record);
    if (definition == nullptr || record->hwnd != nullptr || control_class(kind) == nullptr ||
        !control_id_valid(id) || !fits_template(x, y, width, height) ||
        definition->control_count >= DIALOG_CONTROLS_MAX) {
        return 0;
    }
    auto* control =
        static_cast<ControlDefinition*>(typed_alloc(TYPE_RAW, sizeof(ControlDefinition)));
    if (control == nullptr) {
        return 0;
    }
    const bool kept = control_class(kind)->is_list ? definition_set_items(control, text)
                                                   : definition_set_text(control, text);
    if (!kept) {
        global_free(control);
        return 0;
    }
    control->kind = kind;
    control->id = id;
    control->x = x;
    control->y = y;
    control->width = width;
    control->height = height;
    control->style = style;
    control->state = control_class(kind)->is_list ? -1 : 0;
    if (definition->last_control != nullptr) {
        definition->last_control->next = control;
    } else {
        definition->first_control = control;
    }
    definition->last_control = control;
    definition->control_count += 1;
    return 1;
}

// Release a dialog's definition, ending the dialog first when it is shown.
int32_t dialog_release(WindowRecord* record) {
    if (record == nullptr || record->kind != RECORD_DIALOG) {
        return 0;
    }
    const int32_t ended = record->hwnd != nullptr ? dialog_end(record, 0) : 0;
    const bool had = dialog_definition(record) != nullptr;
    release_definition(record);
    return ended != 0 || had ? 1 : 0;
}

// The definition of a dialog record, or null.
DialogDefinition* dialog_definition(const WindowRecord* record) {
    if (record == nullptr || record->kind != RECORD_DIALOG) {
        return nullptr;
    }
    return static_cast<DialogDefinition*>(record->dialog_def);
}

// The definition of a dialog's first control of an identifier, or null.
ControlDefinition* control_definition(const WindowRecord* record, int32_t id) {
    DialogDefinition* definition = dialog_definition(record);
    for (ControlDefinition* c = definition != nullptr ? definition->first_control : nullptr;
         c != nullptr; c = c->next) {
        if (control_id_key(c->id) == control_id_key(id)) {
            return c;
        }
    }
    return nullptr;
}

// The text a control definition holds.
const char* definition_text(const ControlDefinition* control) {
    if (control == nullptr || control->extra_block == nullptr) {
        return "";
    }
    return static_cast<const char*>(control->extra_block);
}

// Replace a control definition's text; false when memory was refused.
bool definition_set_text(ControlDefinition* control, const char* text) {
    void* block = text_block(text);
    if (block == nullptr) {
        return false;
    }
    global_free_if_set(control->extra_block);
    control->extra_block = block;
    return true;
}

// Replace the items by those of a "|"-separated text.
bool definition_set_items(ControlDefinition* control, const char* items) {
    const int32_t length = items != nullptr ? string_length(items) : 0;
    char* block = static_cast<char*>(text_block(items, length));
    if (block == nullptr) {
        return false;
    }
    int32_t count = length > 0 ? 1 : 0;
    for (int32_t i = 0; i < length; ++i) {
        if (block[i] == ITEM_SEPARATOR) {
            block[i] = '\0';
            count += 1;
        }
    }
    return take_items(control, block, count);
}

// Add one item as it is.
bool definition_add_item(ControlDefinition* control, const char* item) {
    const int32_t used = items_size(control);
    const int32_t length = item != nullptr ? string_length(item) : 0;
    char* block = static_cast<char*>(typed_alloc(TYPE_RAW, used + length + 2));
    if (block == nullptr) {
        return false;
    }
    std::memcpy(block, definition_text(control), static_cast<size_t>(used));
    if (length > 0) {
        std::memcpy(block + used, item, static_cast<size_t>(length));
    }
    return take_items(control, block, control->item_count + 1);
}

// Item index, or null.
const char* definition_item(const ControlDefinition* control, int32_t index) {
    if (control == nullptr || index < 0 || index >= control->item_count) {
        return nullptr;
    }
    const char* item = definition_text(control);
    for (int32_t i = 0; i < index; ++i) {
        item += string_length(item) + 1;
    }
    return item;
}

// Replace the items by those of a list box or combo box.
bool definition_read_items(ControlDefinition* control, HWND list) {
    const bool combo = is_combo_box(list);
    const UINT get_length = combo ? CB_GETLBTEXTLEN : LB_GETTEXTLEN;
    const LRESULT items = ::SendMessageA(list, combo ? CB_GETCOUNT : LB_GETCOUNT, 0, 0);
    const int32_t count = items > 0 ? static_cast<int32_t>(items) : 0;
    int32_t total = 0;
    for (int32_t i = 0; i < count; ++i) {
        const LRESULT length = ::SendMessageA(list, get_length, static_cast<WPARAM>(i), 0);
        total += (length > 0 ? static_cast<int32_t>(length) : 0) + 1;
    }
    // Room for a pointer past the end: a list without strings gives its items' data.
    char* block =
        static_cast<char*>(typed_alloc(TYPE_RAW, total + static_cast<int32_t>(sizeof(void*))));
    if (block == nullptr) {
        return false;
    }
    int32_t used = 0;
    for (int32_t i = 0; i < count; ++i) {
        const LRESULT length = ::SendMessageA(list, get_length, static_cast<WPARAM>(i), 0);
        if (length > 0) {
            // The length may be more than the text (double-byte code pages): its NUL ends it.
            ::SendMessageA(list, combo ? CB_GETLBTEXT : LB_GETTEXT, static_cast<WPARAM>(i),
                           reinterpret_cast<LPARAM>(block + used));
            used += string_length(block + used);
        }
        block[used++] = '\0';
    }
    return take_items(control, block, count);
}

// Fill a list box or combo box with a definition's items.
void list_fill_items(HWND list, const ControlDefinition* control) {
    const UINT add = is_combo_box(list) ? CB_ADDSTRING : LB_ADDSTRING;
    const char* item = definition_text(control);
    for (int32_t i = 0; i < control->item_count; ++i) {
        ::SendMessageA(list, add, 0, reinterpret_cast<LPARAM>(item));
        item += string_length(item) + 1;
    }
}

// Fill a list box or combo box with the items of a "|"-separated text.
void list_fill(HWND list, const char* items) {
    ControlDefinition parsed = {};
    if (definition_set_items(&parsed, items)) {
        list_fill_items(list, &parsed);
        global_free(parsed.extra_block);
    }
}

// True for a combo box.
bool is_combo_box(HWND control) {
    char name[16] = {};
    ::GetClassNameA(control, name, sizeof(name));
    return ::lstrcmpiA(name, "ComboBox") == 0;
}
