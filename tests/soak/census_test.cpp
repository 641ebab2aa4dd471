// The census catches leaks: a deliberately leaked pen, menu, window, heap string and
// global block each raise the count that should see them, and releasing them
// brings the census back to where it started.
// Relies on census.cpp and the runtime heap; nothing of the game is needed.
#include <gtest/gtest.h>

#include <windows.h>

#include "tests/support/census.h"
#include "runtime/core/core_internal.h"

// ============================================================================
// Internal helpers
// ============================================================================

namespace {

// One deliberate leak: what it makes, how to release it, and the count that must see it.
struct Leak {
    const char* name;
    void* (*make)();
    void (*release)(void* object);
    int64_t (*count)(const Census& census);
};

void* make_pen() {
    return ::CreatePen(PS_SOLID, 1, RGB(1, 2, 3));
}
void release_pen(void* pen) {
    ::DeleteObject(static_cast<HGDIOBJ>(pen));
}
void* make_menu() {
    return ::CreateMenu();
}
void release_menu(void* menu) {
    ::DestroyMenu(static_cast<HMENU>(menu));
}
void* make_window() {
    return ::CreateWindowExA(0, "STATIC", "leak", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr,
                             nullptr);
}
void release_window(void* window) {
    ::DestroyWindow(static_cast<HWND>(window));
}
void* make_heap_string() {
    return string_duplicate("leaked");
}
void release_heap_string(void* text) {
    heap_free(text);
}
void* make_fixed_global() {
    return ::GlobalAlloc(GMEM_FIXED | GMEM_ZEROINIT, 100);
}
void* make_movable_global() {
    return ::GlobalAlloc(GMEM_MOVEABLE, 5000);
}
void release_global(void* block) {
    ::GlobalFree(static_cast<HGLOBAL>(block));
}
void* make_typed_block() {
    return typed_alloc(TYPE_RAW, 24);
}
void release_typed_block(void* block) {
    global_free(block);
}
void* make_temp_entry() {
    temp_push(string_duplicate("temporary"));
    return nullptr;
}
void release_temp_entry(void*) {
    temp_pop(1);
}

const Leak LEAKS[] = {
    {"pen", make_pen, release_pen,
     [](const Census& c) -> int64_t { return c.gdi_by_kind[OBJ_PEN]; }},
    {"pen (total)", make_pen, release_pen,
     [](const Census& c) -> int64_t { return c.gdi_objects; }},
    {"menu", make_menu, release_menu, [](const Census& c) -> int64_t { return c.menus; }},
    {"window", make_window, release_window, [](const Census& c) -> int64_t { return c.windows; }},
    {"heap string", make_heap_string, release_heap_string,
     [](const Census& c) -> int64_t { return c.runtime_heap_blocks; }},
    {"fixed global block", make_fixed_global, release_global,
     [](const Census& c) -> int64_t { return c.process_heap_blocks; }},
    {"movable global block", make_movable_global, release_global,
     [](const Census& c) -> int64_t { return c.process_heap_blocks; }},
    {"typed block", make_typed_block, release_typed_block,
     [](const Census& c) -> int64_t { return c.process_heap_blocks; }},
    {"TempStack entry", make_temp_entry, release_temp_entry,
     [](const Census& c) -> int64_t { return c.temp_strings; }},
};

} // namespace

// ============================================================================
// Tests
// ============================================================================

TEST(Census, TwoReadingsInARowAgree) {
    census_take(); // the first probe may itself make Wine allocate its caches
    const Census first = census_take();
    const Census second = census_take();
    EXPECT_EQ(census_changes(first, second), "");
    EXPECT_GT(first.gdi_objects, 0);
    EXPECT_GT(first.runtime_heap_blocks, -1);
    std::printf("census: %s\n", census_text(second).c_str());
}

TEST(Census, EachDeliberateLeakIsSeenAndItsReleaseUndoesIt) {
    // The first window of a process makes Wine set up its display connection for good.
    release_window(make_window());
    census_take();
    for (const Leak& leak : LEAKS) {
        SCOPED_TRACE(leak.name);
        const Census before = census_take();
        void* object = leak.make();
        const Census leaked = census_take();
        // A first window also brings the thread's default IME window: growth, not +1.
        EXPECT_GT(leak.count(leaked), leak.count(before)) << census_changes(before, leaked);
        leak.release(object);
        const Census after = census_take();
        EXPECT_EQ(census_changes(before, after), "");
    }
}

TEST(Census, HeapBlockBytesAreCounted) {
    const Census before = census_take();
    void* block = heap_alloc(1000);
    const Census after = census_take();
    EXPECT_EQ(after.runtime_heap_bytes - before.runtime_heap_bytes, 1003);
    heap_free(block);
    EXPECT_EQ(heap_busy_blocks(nullptr, nullptr), -1);
}
