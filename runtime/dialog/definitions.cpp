// Dialog definitions: a dialog's definition buffer and its list of control definitions in
// global memory, on the runtime's DialogDefinitionList from dialog_begin until
// dialog_release (or shut-down, where the core's dialog_definitions_release frees what is
// left); and the "|"-separated item lists that list controls keep in their text.
// Relies on the core's typed_alloc, global_free and heap strings. Showing dialogs is
// dialogs.cpp's.
#include <cstring>

#include "runtime/dialog/dialog_internal.h"

// ============================================================================
// Internal helpers
// ============================================================================

namespace {

constexpr char ITEM_SEPARATOR = '|';

// A fresh zeroed global block holding a copy of text; null without memory.
void* text_block(const char* text) {
    const int32_t length = text != nullptr ? string_length(text) : 0;
    void* block = typed_alloc(TYPE_RAW, length + 1);
    if (block != nullptr && length > 0) {
        std::memcpy(block, text, static_cast<size_t>(length));
    }
    return block;
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

// A fresh heap string of length bytes of text.
char* heap_copy(const char* text, int32_t length) {
    char* copy = static_cast<char*>(heap_alloc_or_stop(static_cast<size_t>(length) + 1));
    std::memcpy(copy, text, static_cast<size_t>(length));
    copy[length] = '\0';
    return copy;
}

} // namespace

// ============================================================================
// Public routines
// ============================================================================

// Begin a dialog's definition on a record; 1, or 0 when refused.
int32_t dialog_begin(WindowRecord* record, int32_t x, int32_t y, int32_t width, int32_t height,
                     const char* caption, WindowHandler handler) {
    // An open window, or a dialog that is shown, keeps what it has.
    if (record == nullptr || record->hwnd != nullptr) {
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
    if (definition == nullptr || control_class(kind) == nullptr) {
        return 0;
    }
    auto* control =
        static_cast<ControlDefinition*>(typed_alloc(TYPE_RAW, sizeof(ControlDefinition)));
    void* block = text_block(text);
    if (control == nullptr || block == nullptr) {
        global_free_if_set(control);
        global_free_if_set(block);
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
    control->extra_block = block;
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
    if (record->hwnd != nullptr) {
        dialog_end(record, 0);
    }
    release_definition(record);
    return 0;
}

// The definition of a dialog record, or null.
DialogDefinition* dialog_definition(const WindowRecord* record) {
    if (record == nullptr || record->kind != RECORD_DIALOG) {
        return nullptr;
    }
    return static_cast<DialogDefinition*>(record->dialog_def);
}

// The definition of a dialog's control by identifier, or null.
ControlDefinition* control_definition(const WindowRecord* record, int32_t id) {
    DialogDefinition* definition = dialog_definition(record);
    for (ControlDefinition* c = definition != nullptr ? definition->first_control : nullptr;
         c != nullptr; c = c->next) {
        if (c->id == id) {
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

// The number of items of a "|"-separated list text.
int32_t list_text_count(const char* items) {
    if (items == nullptr || items[0] == '\0') {
        return 0;
    }
    int32_t count = 1;
    for (const char* p = items; *p != '\0'; ++p) {
        count += *p == ITEM_SEPARATOR ? 1 : 0;
    }
    return count;
}

// Item index of a "|"-separated list text as a fresh heap string.
char* list_text_item(const char* items, int32_t index) {
    if (index < 0 || index >= list_text_count(items)) {
        return heap_copy("", 0);
    }
    const char* start = items;
    for (int32_t i = 0; i < index; ++i) {
        start = std::strchr(start, ITEM_SEPARATOR) + 1;
    }
    const char* end = std::strchr(start, ITEM_SEPARATOR);
    const int32_t length =
        end != nullptr ? static_cast<int32_t>(end - start) : string_length(start);
    return heap_copy(start, length);
}

// Fill a list box or combo box with the items of a "|"-separated text.
void list_fill(HWND control, const char* items) {
    const UINT add = is_combo_box(control) ? CB_ADDSTRING : LB_ADDSTRING;
    const int32_t count = list_text_count(items);
    for (int32_t i = 0; i < count; ++i) {
        char* item = list_text_item(items, i);
        ::SendMessageA(control, add, 0, reinterpret_cast<LPARAM>(item));
        heap_free(item);
    }
}

// Every item of a list box or combo box, "|"-separated, as a fresh heap string.
char* list_items_text(HWND control) {
    const bool combo = is_combo_box(control);
    const int32_t count =
        static_cast<int32_t>(::SendMessageA(control, combo ? CB_GETCOUNT : LB_GETCOUNT, 0, 0));
    int32_t total = 0;
    for (int32_t i = 0; i < count; ++i) {
        LRESULT length = ::SendMessageA(control, combo ? CB_GETLBTEXTLEN : LB_GETTEXTLEN, i, 0);
        total += (length > 0 ? static_cast<int32_t>(length) : 0) + 1;
    }
    char* text = static_cast<char*>(heap_alloc_or_stop(static_cast<size_t>(total) + 1));
    int32_t used = 0;
    for (int32_t i = 0; i < count; ++i) {
        LRESULT length = ::SendMessageA(control, combo ? CB_GETLBTEXTLEN : LB_GETTEXTLEN, i, 0);
        if (i > 0) {
            text[used++] = ITEM_SEPARATOR;
        }
        // The item is read into the room its length left (heap blocks have three spare
        // bytes, and the room of every later separator follows).
        if (length > 0 && used + length <= total) {
            ::SendMessageA(control, combo ? CB_GETLBTEXT : LB_GETTEXT, i,
                           reinterpret_cast<LPARAM>(text + used));
            used += static_cast<int32_t>(length);
        }
    }
    text[used] = '\0';
    return text;
}

// True for a combo box.
bool is_combo_box(HWND control) {
    char name[16] = {};
    ::GetClassNameA(control, name, sizeof(name));
    return ::lstrcmpiA(name, "ComboBox") == 0;
}
