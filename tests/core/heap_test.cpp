// The runtime heap, the TempStack and its reports, typed global blocks and PtrList.
#include <gtest/gtest.h>

#include "runtime/core/core_internal.h"

#include <string>
#include <vector>

namespace {

std::vector<std::string> debug_texts;
void record_debug_text(const char* text) {
    debug_texts.push_back(text);
}

// Capture debug_message texts for the life of one test.
struct DebugCapture {
    DebugCapture() {
        debug_texts.clear();
        debug_message_set_listener(record_debug_text);
    }
    ~DebugCapture() { debug_message_set_listener(nullptr); }
};

// True when block is an allocated block of the runtime heap.
bool block_in_use(const void* block) {
    PROCESS_HEAP_ENTRY entry = {};
    while (::HeapWalk(heap_handle(), &entry)) {
        if (entry.lpData == block && (entry.wFlags & PROCESS_HEAP_ENTRY_BUSY) != 0) {
            return true;
        }
    }
    return false;
}

bool all_zero(const void* block, size_t size) {
    const auto* bytes = static_cast<const unsigned char*>(block);
    for (size_t i = 0; i < size; ++i) {
        if (bytes[i] != 0) {
            return false;
        }
    }
    return true;
}

} // namespace

TEST(Heap, EmptyAllocationIsThreeZeroedBytes) {
    void* block = heap_alloc(0);
    ASSERT_NE(block, nullptr);
    EXPECT_EQ(::HeapSize(heap_handle(), 0, block), 3u);
    EXPECT_TRUE(all_zero(block, 3));
    EXPECT_NE(heap_free(block), 0);
    EXPECT_FALSE(block_in_use(block));
    EXPECT_EQ(heap_free(nullptr), 0);
}

TEST(Heap, SecondCreateKeepsHeapAndTempStack) {
    HANDLE heap = heap_handle();
    temp_push(string_duplicate("kept"));
    EXPECT_EQ(heap_create(), 1);
    EXPECT_EQ(heap_handle(), heap);
    EXPECT_EQ(temp_count(), 1);
    temp_release_all();
    EXPECT_EQ(temp_count(), 0);
}

TEST(Heap, FailureSeamMakesAllocationReturnNull) {
    heap_set_fail_after(1);
    void* first = heap_alloc(8);
    void* second = heap_alloc(8);
    heap_set_fail_after(-1);
    void* third = heap_alloc(8);
    EXPECT_NE(first, nullptr);
    EXPECT_EQ(second, nullptr);
    EXPECT_NE(third, nullptr);
    heap_free(first);
    heap_free(third);
}

TEST(TempStack, OverflowReportsAndKeepsTheUnrecordedString) {
    DebugCapture capture;
    std::vector<char*> pushed;
    for (int i = 0; i < TEMP_STACK_SIZE; ++i) {
        pushed.push_back(string_duplicate("temporary"));
        temp_push(pushed.back());
    }
    char* unrecorded = string_duplicate("one too many");
    temp_push(unrecorded);
    EXPECT_EQ(temp_count(), TEMP_STACK_SIZE);
    EXPECT_EQ(debug_texts, std::vector<std::string>{"Heap Stack Overflow"});

    temp_pop(1);
    EXPECT_EQ(temp_count(), TEMP_STACK_SIZE - 1);
    EXPECT_FALSE(block_in_use(pushed.back()));
    EXPECT_TRUE(block_in_use(unrecorded));
    EXPECT_TRUE(block_in_use(pushed.front()));

    temp_release_all();
    EXPECT_EQ(temp_count(), 0);
    EXPECT_FALSE(block_in_use(pushed.front()));
    EXPECT_TRUE(block_in_use(unrecorded));
    heap_free(unrecorded);
}

TEST(TempStack, PopPastTheBottomReportsOncePerMissingEntry) {
    DebugCapture capture;
    char* first = string_duplicate("a");
    char* second = string_duplicate("b");
    temp_push(first);
    temp_push(second);
    temp_pop(0);
    EXPECT_EQ(temp_count(), 2);
    EXPECT_TRUE(debug_texts.empty());
    temp_pop(3);
    EXPECT_EQ(temp_count(), 0);
    EXPECT_FALSE(block_in_use(first));
    EXPECT_FALSE(block_in_use(second));
    EXPECT_EQ(debug_texts, std::vector<std::string>{"Heap Stack Underflow"});
    temp_pop(2);
    EXPECT_EQ(debug_texts.size(), 3u);
}

TEST(GlobalMemory, TypedAllocSizes) {
    struct Case {
        int32_t code, count;
        SIZE_T bytes; // 0: no block
    };
    const Case cases[] = {
        {TYPE_STRING, 2, 510},
        {TYPE_WORD, 3, 6},
        {TYPE_INT64, 1, 8},
        {TYPE_INT, 5, 20},
        {TYPE_RAW, 24, 24},
        {TYPE_BLOCK, 1, sizeof(void*)},
        {BINARY_FILE, 2, 2 * sizeof(HANDLE)},
        {TYPE_DOUBLE, 2, 16},
        {TYPE_STRING, 0, 0},
        {TYPE_INT, -1, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "code " << c.code << " count " << c.count);
        void* block = typed_alloc(c.code, c.count);
        if (c.bytes == 0) {
            EXPECT_EQ(block, nullptr);
            continue;
        }
        ASSERT_NE(block, nullptr);
        EXPECT_EQ(::GlobalSize(block), c.bytes);
        EXPECT_TRUE(all_zero(block, c.bytes));
        global_free(block);
    }
}

TEST(GlobalMemory, AllocZeroedStoresBlockOrNull) {
    void* block = nullptr;
    EXPECT_EQ(global_alloc_zeroed(&block, 4, 3), 0);
    ASSERT_NE(block, nullptr);
    EXPECT_EQ(::GlobalSize(block), 12u);
    EXPECT_TRUE(all_zero(block, 12));
    global_free_if_set(block);

    void* refused = &block;
    EXPECT_EQ(global_alloc_zeroed(&refused, 0x7FFFFFFF, 0x7FFFFFFF), -1);
    EXPECT_EQ(refused, nullptr);
    EXPECT_EQ(global_free_if_set(nullptr), 0);
}

TEST(PtrList, InsertAfterHeadPutsPayloadFirst) {
    int old_payload = 1;
    int new_payload = 2;
    int last_payload = 3;
    PtrNode* head = list_create();
    ASSERT_NE(head, nullptr);
    EXPECT_EQ(::GlobalSize(head), sizeof(PtrNode));
    EXPECT_EQ(list_insert_after(head, &old_payload), &old_payload);
    PtrNode* old_node = list_first(head);
    list_insert_after(head, &new_payload);
    list_append(head, &last_payload);

    PtrNode* new_node = list_first(head);
    EXPECT_EQ(list_payload(new_node), &new_payload);
    EXPECT_EQ(list_next(new_node), old_node);
    EXPECT_EQ(list_payload(old_node), &old_payload);
    EXPECT_EQ(list_payload(list_next(old_node)), &last_payload);
    EXPECT_EQ(list_next(list_next(old_node)), nullptr);
    EXPECT_EQ(new_node->prev, head);
    EXPECT_EQ(old_node->prev, new_node);
    EXPECT_EQ(list_next(old_node)->prev, old_node);

    PtrNode* last_node = list_next(old_node);
    EXPECT_EQ(list_remove(old_node, 0), last_node);
    EXPECT_EQ(list_next(new_node), last_node);
    EXPECT_EQ(last_node->prev, new_node);
    EXPECT_EQ(list_free(head, 0), 0);
}

TEST(PtrList, NullNodesGiveNeutralResults) {
    int payload = 0;
    EXPECT_EQ(list_insert_after(nullptr, &payload), &payload);
    EXPECT_EQ(list_append(nullptr, &payload), &payload);
    EXPECT_EQ(list_remove(nullptr, 1), nullptr);
    EXPECT_EQ(list_first(nullptr), nullptr);
    EXPECT_EQ(list_next(nullptr), nullptr);
    EXPECT_EQ(list_payload(nullptr), nullptr);
    EXPECT_EQ(list_free(nullptr, 1), 0);
}
