// Dialog definitions in memory: the lists' layout, their release (early, and at shut-down
// without freeing twice), and the values a form holds while it is not shown.
#include <gtest/gtest.h>

#include <cstddef>
#include <cstring>
#include <string>

#include "runtime/dialog/dialog_internal.h"
#include "tests/support/census.h"

namespace {

intptr_t no_handler() {
    return 0;
}

// A definition with a caption, an edit, a check box and a list.
void define_form(WindowRecord* record) {
    ASSERT_EQ(dialog_begin(record, 10, 20, 200, 100, "Form", no_handler), 1);
    ASSERT_EQ(dialog_add_control(record, CONTROL_EDIT, 11, 5, 5, 80, 12, "text", 0), 1);
    ASSERT_EQ(dialog_add_control(record, CONTROL_CHECK_BOX, 12, 5, 20, 80, 10, "Check", 0), 1);
    ASSERT_EQ(dialog_add_control(record, CONTROL_LIST_BOX, 13, 5, 35, 80, 40, "Red|Green|Blue", 0),
              1);
}

std::string take(char* text) {
    std::string copy = text != nullptr ? text : "(null)";
    heap_free(text);
    return copy;
}

} // namespace

// Each node starts with its successor; the list node holds the record after it.
static_assert(offsetof(DialogListNode, next) == 0);
static_assert(offsetof(DialogListNode, record) == sizeof(void*));
static_assert(offsetof(DialogDefinition, first_control) == 0);
static_assert(offsetof(ControlDefinition, next) == 0);
static_assert(offsetof(ControlDefinition, extra_block) > offsetof(ControlDefinition, next));

TEST(DialogDefinitions, ListsHoldTheControlsInOrderWithTheirTexts) {
    WindowRecord record = {};
    define_form(&record);
    EXPECT_EQ(record.kind, 1);
    EXPECT_EQ(record.hwnd, nullptr);
    ASSERT_NE(dialog_definition_list, nullptr);
    EXPECT_EQ(dialog_definition_list->record, &record);
    const auto* definition = static_cast<const DialogDefinition*>(record.dialog_def);
    ASSERT_NE(definition, nullptr);
    EXPECT_STREQ(definition->caption, "Form");
    // A list keeps its items each NUL-terminated.
    const std::string texts[] = {"text", "Check", std::string("Red\0Green\0Blue", 14)};
    int32_t i = 0;
    for (const ControlDefinition* c = definition->first_control; c != nullptr; c = c->next, ++i) {
        ASSERT_LT(i, 3);
        EXPECT_EQ(c->id, 11 + i);
        ASSERT_NE(c->extra_block, nullptr);
        ASSERT_GE(::GlobalSize(c->extra_block), texts[i].size() + 1); // global memory
        EXPECT_EQ(std::string(static_cast<const char*>(c->extra_block), texts[i].size() + 1),
                  texts[i] + '\0');
    }
    EXPECT_EQ(definition->first_control->next->next->item_count, 3);
    EXPECT_EQ(i, 3);
    dialog_release(&record);
    EXPECT_EQ(record.dialog_def, nullptr);
}

TEST(DialogDefinitions, ReleaseEarlyAndAtShutDownFreesEveryBlockOnce) {
    const Census before = census_take();
    WindowRecord early = {};
    WindowRecord late = {};
    WindowRecord again = {};
    define_form(&early);
    define_form(&late);
    define_form(&again);
    define_form(&again); // beginning again releases the first definition
    dialog_release(&early);
    for (const DialogListNode* n = dialog_definition_list; n != nullptr; n = n->next) {
        EXPECT_NE(n->record, &early);
    }
    // Shut-down's step frees what is still listed, and only that.
    dialog_definitions_release();
    EXPECT_EQ(dialog_definition_list, nullptr);
    EXPECT_EQ(late.dialog_def, nullptr);
    EXPECT_EQ(again.dialog_def, nullptr);
    dialog_release(&early); // nothing left to release: no second free
    const Census after = census_take();
    EXPECT_EQ(census_changes(before, after), "");
}

TEST(DialogDefinitions, AFormIsFilledAndReadWhileNotShown) {
    WindowRecord record = {};
    define_form(&record);
    EXPECT_EQ(take(control_get_text(&record, 11)), "text");
    control_set_text(&record, 11, "changed");
    EXPECT_EQ(take(control_get_text(&record, 11)), "changed");
    control_set_check(&record, 12, 1);
    EXPECT_EQ(control_get_check(&record, 12), 1);

    EXPECT_EQ(control_list_count(&record, 13), 3);
    EXPECT_EQ(control_list_add(&record, 13, "Black"), 3);
    EXPECT_EQ(take(control_list_text(&record, 13, 3)), "Black");
    EXPECT_EQ(control_list_selection(&record, 13), -1);
    control_list_select(&record, 13, 1);
    EXPECT_EQ(take(control_get_text(&record, 13)), "Green");
    control_list_select(&record, 13, 9); // no such item: nothing selected
    EXPECT_EQ(control_list_selection(&record, 13), -1);
    control_list_clear(&record, 13);
    EXPECT_EQ(control_list_count(&record, 13), 0);
    EXPECT_EQ(control_list_add(&record, 13, "Only"), 0);

    EXPECT_EQ(take(control_get_text(&record, 99)), ""); // no such control
    dialog_release(&record);
}

TEST(DialogDefinitions, NumbersAreWholeSigned32BitTexts) {
    struct Row {
        const char* text;
        int32_t valid;
        int32_t value;
    };
    const Row rows[] = {
        {"42", 1, 42},
        {" -7 ", 1, -7},
        {"+3", 1, 3},
        {"2147483647", 1, INT32_MAX},
        {"-2147483648", 1, INT32_MIN},
        {"2147483648", 0, 0},
        {"12a", 0, 0},
        {"", 0, 0},
        {"-", 0, 0},
        {"1 2", 0, 0},
        {"3.5", 0, 0},
    };
    WindowRecord record = {};
    define_form(&record);
    for (const Row& row : rows) {
        SCOPED_TRACE(row.text);
        control_set_text(&record, 11, row.text);
        int32_t valid = -1;
        EXPECT_EQ(control_get_number(&record, 11, &valid), row.value);
        EXPECT_EQ(valid, row.valid);
    }
    control_set_number(&record, 11, -1234);
    EXPECT_EQ(take(control_get_text(&record, 11)), "-1234");
    dialog_release(&record);
}

TEST(DialogDefinitions, RefusedWithoutADefinitionOrForAnOpenWindow) {
    WindowRecord record = {};
    EXPECT_EQ(dialog_add_control(&record, CONTROL_EDIT, 1, 0, 0, 10, 10, "", 0), 0);
    EXPECT_EQ(dialog_show_modal(&record, nullptr), -1);
    EXPECT_EQ(dialog_show(&record, nullptr), 0);
    ASSERT_EQ(dialog_begin(&record, 0, 0, 50, 50, "", no_handler), 1);
    EXPECT_EQ(dialog_add_control(&record, 0, 1, 0, 0, 10, 10, "", 0), 0); // no such kind
    dialog_release(&record);
    WindowRecord window = {};
    ASSERT_EQ(open_window(&window, 0, 0, 100, 100, 0, nullptr, "", no_handler), 1);
    EXPECT_EQ(dialog_begin(&window, 0, 0, 50, 50, "", no_handler), 0);
    EXPECT_EQ(window.kind, 0);
    close_window(&window);
}

// What a template cannot hold is refused, never cut, and a refusal leaves the definition
// as it was; list routines answer for a control of another kind as without a control,
// shown or not; *valid is 0 for anything but a number read from a control.
TEST(DialogDefinitions, ValuesOutOfRangeAndControlsOfAnotherKindAreRefused) {
    struct Begin {
        int32_t x, y, width, height, result;
    };
    const Begin begins[] = {{40000, 0, 50, 50, 0},   {0, 32768, 50, 50, 0},
                            {0, 0, 40000, 50, 0},    {0, 0, 50, -1, 0},
                            {-5, -70000, 50, 50, 1}, {32767, 0, 32767, 0, 1}};
    WindowRecord record = {};
    for (const Begin& b : begins) {
        EXPECT_EQ(dialog_begin(&record, b.x, b.y, b.width, b.height, "", no_handler), b.result)
            << b.x << " " << b.y << " " << b.width << " " << b.height;
    }
    struct Add {
        int32_t id, x, width, result;
    };
    const Add adds[] = {{70000, 0, 10, 0},  {-2, 0, 10, 0},     {65535, 0, 10, 1}, {-1, 0, 10, 1},
                        {1, -32769, 10, 0}, {1, -32768, 10, 1}, {1, 0, 32768, 0},  {1, 0, -1, 0}};
    for (const Add& a : adds) {
        EXPECT_EQ(dialog_add_control(&record, CONTROL_EDIT, a.id, a.x, 0, a.width, 10, "", 0),
                  a.result)
            << a.id << " " << a.x << " " << a.width;
    }
    EXPECT_EQ(dialog_begin(&record, 0, 0, 50, 70000, "", no_handler), 0);
    EXPECT_EQ(static_cast<DialogDefinition*>(record.dialog_def)->control_count, 3); // kept
    while (static_cast<DialogDefinition*>(record.dialog_def)->control_count < DIALOG_CONTROLS_MAX) {
        ASSERT_EQ(dialog_add_control(&record, CONTROL_LABEL, 2, 0, 0, 1, 1, nullptr, 0), 1);
    }
    EXPECT_EQ(dialog_add_control(&record, CONTROL_LABEL, 2, 0, 0, 1, 1, nullptr, 0), 0);

    define_form(&record);
    int32_t valid = -1;
    for (int32_t shown = 0; shown < 2; ++shown) {
        SCOPED_TRACE(shown);
        EXPECT_EQ(control_list_add(&record, 11, "x"), -1); // an edit
        EXPECT_EQ(control_list_selection(&record, 11), -1);
        EXPECT_EQ(control_list_count(&record, 11), 0);
        control_get_number(&record, 99, &valid); // no such control
        EXPECT_EQ(valid, 0);
        ASSERT_EQ(dialog_show(&record, nullptr), 1 - shown);
    }
    EXPECT_EQ(dialog_add_control(&record, CONTROL_EDIT, 1, 0, 0, 10, 10, "", 0), 0); // shown
    dialog_release(&record);
    WindowRecord window = {};
    ASSERT_EQ(open_window(&window, 0, 0, 100, 100, 0, nullptr, "", no_handler), 1);
    EXPECT_EQ(control_create(&window, CONTROL_EDIT, 70000, 0, 0, 10, 10, "", 0), 0);
    EXPECT_EQ(::GetWindow(window.hwnd, GW_CHILD), nullptr);
    control_get_number(&window, 1, &valid);
    EXPECT_EQ(valid, 0);
    close_window(&window);
}
