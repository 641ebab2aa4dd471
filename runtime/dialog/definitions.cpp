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

// True for a list that keeps its items in its control's sorted order.
bool is_sorted(const ControlDefinition* control) {
    return (control->kind == CONTROL_LIST_BOX && (control->style & LBS_SORT) != 0) ||
           (control->kind == CONTROL_COMBO_BOX && (control->style & CBS_SORT) != 0);
}

// Where a sorted list box or combo box puts a new item among its sorted items: its own
// binary search with its comparison (the user's locale, case ignored), an item equal to the
// new one giving up its place to it.
int32_t sorted_place(const char* const* items, int32_t count, const char* item) {
    int32_t low = 0;
    int32_t high = count;
    while (low < high) {
        const int32_t middle = low + (high - low) / 2;
        const int order =
            ::CompareStringA(LOCALE_USER_DEFAULT, NORM_IGNORECASE, item, -1, items[middle], -1) -
            CSTR_EQUAL;
        if (order == 0) {
            return middle;
        }
        if (order < 0) {
            high = middle;
        } else {
            low = middle + 1;
        }
    }
    return high;
}

// The items of a block (count NUL-terminated texts) in a fresh heap array; null without
// memory.
const char** item_array(const char* block, int32_t count) {
    auto** items = static_cast<const char**>(
        heap_alloc(static_cast<size_t>(count > 0 ? count : 1) * sizeof(char*)));
    for (int32_t i = 0; items != nullptr && i < count; ++i) {
        items[i] = block;
        block += string_length(block) + 1;
    }
    return items;
}

// Put a block's items in the order a sorted control gives them when they are added one
// after another: a fresh block of the same size, the old one freed; null without memory
// (the old one kept).
char* sort_items(char* block, int32_t count, int32_t size) {
    const char** order = item_array(block, count);
    char* sorted = static_cast<char*>(typed_alloc(TYPE_RAW, size + 1));
    if (order == nullptr || sorted == nullptr) {
        heap_free(order);
        global_free_if_set(sorted);
        return nullptr;
    }
    for (int32_t i = 0; i < count; ++i) {
        const char* item = order[i];
        const int32_t place = sorted_place(order, i, item);
        for (int32_t j = i; j > place; --j) {
            order[j] = order[j - 1];
        }
        order[place] = item;
    }
    int32_t used = 0;
    for (int32_t i = 0; i < count; ++i) {
        const int32_t length = string_length(order[i]) + 1;
        std::memcpy(sorted + used, order[i], static_cast<size_t>(length));
        used += length;
    }
    heap_free(order);
    global_free(block);
    return sorted;
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
    control->kind = kind;
    control->id = id;
    control->x = x;
    control->y = y;
    control->width = width;
    control->height = height;
    control->style = style;
    control->state = control_class(kind)->is_list ? -1 : 0;
    const bool kept = control_class(kind)->is_list ? definition_set_items(control, text)
                                                   : definition_set_text(control, text);
    if (!kept) {
        global_free(control);
        return 0;
    }
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

// The window style its control gets.
DWORD definition_style(const ControlDefinition* control) {
    return control_style(control->kind, control->style);
}

// The highest check state it takes.
int32_t definition_check_max(const ControlDefinition* control) {
    return check_state_max(control_class(control->kind)->name, definition_style(control));
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
    if (is_sorted(control) && count > 1) {
        char* sorted = sort_items(block, count, length);
        if (sorted == nullptr) {
            global_free(block);
            return false;
        }
        block = sorted;
    }
    return take_items(control, block, count);
}

// Add one item as it is; its index, or -1.
int32_t definition_add_item(ControlDefinition* control, const char* item) {
    const char* old = definition_text(control);
    const int32_t used = items_size(control);
    const int32_t length = item != nullptr ? string_length(item) : 0;
    int32_t place = control->item_count;
    int32_t offset = used; // where the item goes in the block
    if (is_sorted(control)) {
        const char** items = item_array(old, control->item_count);
        if (items == nullptr) {
            return -1;
        }
        place = sorted_place(items, control->item_count, item != nullptr ? item : "");
        offset = place < control->item_count ? static_cast<int32_t>(items[place] - old) : used;
        heap_free(items);
    }
    char* block = static_cast<char*>(typed_alloc(TYPE_RAW, used + length + 2));
    if (block == nullptr) {
        return -1;
    }
    std::memcpy(block, old, static_cast<size_t>(offset));
    if (length > 0) {
        std::memcpy(block + offset, item, static_cast<size_t>(length));
    }
    std::memcpy(block + offset + length + 1, old + offset, static_cast<size_t>(used - offset));
    return take_items(control, block, control->item_count + 1) ? place : -1;
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

// Add an item (text in the ANSI code page) to a list box or combo box; its index, or a
// negative error.
LRESULT list_add_item(HWND list, const char* item) {
    const UINT add = is_combo_box(list) ? CB_ADDSTRING : LB_ADDSTRING;
    wchar_t* wide = ansi_to_heap_wide(item);
    if (wide == nullptr) { // without memory, the platform converts
        return ::SendMessageA(list, add, 0, reinterpret_cast<LPARAM>(item != nullptr ? item : ""));
    }
    const LRESULT place = ::SendMessageW(list, add, 0, reinterpret_cast<LPARAM>(wide));
    heap_free(wide);
    return place;
}

// A list box's or combo box's item as a fresh heap string in the ANSI code page; null when
// there is no such item or without memory.
char* list_item_text(HWND list, int32_t index) {
    const bool combo = is_combo_box(list);
    const LRESULT length = ::SendMessageW(list, combo ? CB_GETLBTEXTLEN : LB_GETTEXTLEN,
                                          static_cast<WPARAM>(index), 0);
    if (length < 0 || length > INT32_MAX / 8) {
        return nullptr;
    }
    // Room for a pointer: a list without strings gives its items' data.
    auto* wide = static_cast<wchar_t*>(
        heap_alloc((static_cast<size_t>(length) + 1) * sizeof(wchar_t) + sizeof(void*)));
    if (wide == nullptr) {
        return nullptr;
    }
    const LRESULT copied =
        ::SendMessageW(list, combo ? CB_GETLBTEXT : LB_GETTEXT, static_cast<WPARAM>(index),
                       reinterpret_cast<LPARAM>(wide));
    const size_t units = copied > 0 && copied <= length ? static_cast<size_t>(copied) : 0;
    char* text = wide_to_heap_ansi(wide, units, nullptr);
    heap_free(wide);
    return text;
}

// Replace the items by those of a list box or combo box.
bool definition_read_items(ControlDefinition* control, HWND list) {
    const LRESULT items =
        ::SendMessageW(list, is_combo_box(list) ? CB_GETCOUNT : LB_GETCOUNT, 0, 0);
    const int32_t count = items > 0 ? static_cast<int32_t>(items) : 0;
    // Each item is converted twice: once to size the block, once into it.
    int64_t total = 0;
    for (int32_t i = 0; i < count; ++i) {
        char* item = list_item_text(list, i);
        total += (item != nullptr ? string_length(item) : 0) + 1;
        heap_free(item);
    }
    if (total > INT32_MAX / 2) {
        return false;
    }
    char* block = static_cast<char*>(typed_alloc(TYPE_RAW, static_cast<int32_t>(total) + 1));
    if (block == nullptr) {
        return false;
    }
    int64_t used = 0;
    for (int32_t i = 0; i < count; ++i) {
        char* item = list_item_text(list, i);
        const int64_t length = item != nullptr ? string_length(item) : 0;
        if (used + length < total) { // an item grown since it was sized is cut
            std::memcpy(block + used, item, static_cast<size_t>(length));
            used += length;
        }
        heap_free(item);
        block[used++] = '\0';
    }
    return take_items(control, block, count);
}

// Fill a list box or combo box with a definition's items; where item follow went.
int32_t list_fill_items(HWND list, const ControlDefinition* control, int32_t follow) {
    const char* item = definition_text(control);
    int32_t followed = -1;
    for (int32_t i = 0; i < control->item_count; ++i) {
        const LRESULT place = list_add_item(list, item);
        // An item put at or before the followed one moves it down by one.
        if (i == follow) {
            followed = place >= 0 ? static_cast<int32_t>(place) : -1;
        } else if (place >= 0 && followed >= 0 && place <= followed) {
            followed += 1;
        }
        item += string_length(item) + 1;
    }
    return followed;
}

// Fill a list box or combo box with the items of a "|"-separated text.
void list_fill(HWND list, const char* items) {
    ControlDefinition parsed = {};
    if (definition_set_items(&parsed, items)) {
        list_fill_items(list, &parsed, -1);
        global_free(parsed.extra_block);
    }
}

// True for a combo box.
bool is_combo_box(HWND control) {
    char name[16] = {};
    ::GetClassNameA(control, name, sizeof(name));
    return ::lstrcmpiA(name, "ComboBox") == 0;
}
