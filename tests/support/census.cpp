// The resource census of the soak tests: handle probing for GDI and USER objects, heap
// walks for the runtime heap and the process heap, the TempStack count.
// Relies on Wine accepting a handle value's low 16 bits alone (generation 0) for GDI and
// USER handles, and on GlobalAlloc taking its blocks from the process heap.
// The thresholds of what counts as a leak belong to the tests.
#include "tests/support/census.h"

#include <cstdio>

#include "runtime/core/core_internal.h"

// ============================================================================
// Types
// ============================================================================

namespace {

// Windows of one process found so far by the enumeration.
struct WindowTally {
    DWORD process; // the process whose windows are counted
    int32_t windows;
    int32_t properties; // window properties on those windows
};

} // namespace

// ============================================================================
// Module state
// ============================================================================

namespace {

constexpr uintptr_t PROBE_LIMIT = 0xFFFF;     // handle table indexes live in the low 16 bits
constexpr uintptr_t USER_HANDLE_FIRST = 0x20; // the lowest USER handle value under Wine

const char* const GDI_KIND_NAMES[GDI_KINDS] = {
    "?",          "pens",         "brushes",     "dcs",       "metadcs", "palettes",
    "fonts",      "bitmaps",      "regions",     "metafiles", "memdcs",  "extpens",
    "enhmetadcs", "enhmetafiles", "colorspaces", "?15"};

// ============================================================================
// Internal helpers
// ============================================================================

void add_change(std::string& text, const char* name, int64_t before, int64_t after) {
    if (before == after) {
        return;
    }
    char line[96];
    std::snprintf(line, sizeof line, "%s%s %lld -> %lld", text.empty() ? "" : ", ", name,
                  static_cast<long long>(before), static_cast<long long>(after));
    text += line;
}

BOOL CALLBACK count_property(HWND, LPSTR, HANDLE, ULONG_PTR tally_address) {
    ++reinterpret_cast<WindowTally*>(tally_address)->properties;
    return TRUE;
}

// Count a window of the tally's process and its properties.
void count_window(HWND window, WindowTally* tally) {
    ++tally->windows;
    ::EnumPropsExA(window, count_property, reinterpret_cast<LPARAM>(tally));
}

BOOL CALLBACK count_child(HWND window, LPARAM tally_address) {
    auto* tally = reinterpret_cast<WindowTally*>(tally_address);
    DWORD owner = 0;
    ::GetWindowThreadProcessId(window, &owner);
    if (owner == tally->process) {
        count_window(window, tally);
    }
    return TRUE;
}

// Count a window of the tally's process and all its descendants.
BOOL CALLBACK count_window_tree(HWND window, LPARAM tally_address) {
    auto* tally = reinterpret_cast<WindowTally*>(tally_address);
    DWORD owner = 0;
    ::GetWindowThreadProcessId(window, &owner);
    if (owner == tally->process) {
        count_window(window, tally);
        ::EnumChildWindows(window, count_child, tally_address);
    }
    return TRUE;
}

} // namespace

// ============================================================================
// Public routines
// ============================================================================

// Count the busy blocks of a heap and their payload bytes.
int32_t heap_busy_blocks(HANDLE heap, int64_t* bytes) {
    int64_t total = 0;
    if (heap == nullptr) {
        if (bytes != nullptr) {
            *bytes = 0;
        }
        return -1;
    }
    int32_t blocks = 0;
    ::HeapLock(heap);
    PROCESS_HEAP_ENTRY entry = {};
    while (::HeapWalk(heap, &entry)) {
        if ((entry.wFlags & PROCESS_HEAP_ENTRY_BUSY) != 0) {
            ++blocks;
            total += static_cast<int64_t>(entry.cbData);
        }
    }
    ::HeapUnlock(heap);
    if (bytes != nullptr) {
        *bytes = total;
    }
    return blocks;
}

// Take a census of the process now.
Census census_take() {
    LARGE_INTEGER start;
    LARGE_INTEGER stop;
    LARGE_INTEGER frequency;
    ::QueryPerformanceFrequency(&frequency);
    ::QueryPerformanceCounter(&start);

    Census census = {};
    for (uintptr_t value = 1; value <= PROBE_LIMIT; ++value) {
        // NOTE: GetGuiResources answers 0 under Wine; probing every table index is the
        // count that works. Wine takes a handle whose high word is 0 for any generation.
        const DWORD kind = ::GetObjectType(reinterpret_cast<HGDIOBJ>(value));
        if (kind != 0) {
            ++census.gdi_objects;
            ++census.gdi_by_kind[kind < GDI_KINDS ? kind : GDI_KINDS - 1];
        }
    }
    // NOTE: Wine's USER handles are (index << 1) + 0x20 and IsMenu ignores the low bit, so
    // only even values are probed: each menu is counted once.
    for (uintptr_t value = USER_HANDLE_FIRST; value <= PROBE_LIMIT; value += 2) {
        if (::IsMenu(reinterpret_cast<HMENU>(value))) {
            ++census.menus;
        }
    }
    // Windows are enumerated rather than probed: IsWindow asks the server about every
    // handle that is not ours, which makes a full probe take seconds.
    WindowTally tally = {::GetCurrentProcessId(), 0, 0};
    ::EnumWindows(count_window_tree, reinterpret_cast<LPARAM>(&tally));
    for (HWND window = ::FindWindowExA(HWND_MESSAGE, nullptr, nullptr, nullptr); window != nullptr;
         window = ::FindWindowExA(HWND_MESSAGE, window, nullptr, nullptr)) {
        count_window_tree(window, reinterpret_cast<LPARAM>(&tally));
    }
    census.windows = tally.windows;
    census.properties = tally.properties;
    census.runtime_heap_blocks = heap_busy_blocks(heap_handle(), &census.runtime_heap_bytes);
    census.process_heap_blocks = heap_busy_blocks(::GetProcessHeap(), &census.process_heap_bytes);
    census.temp_strings = temp_count();

    ::QueryPerformanceCounter(&stop);
    census.probe_ms = 1000.0 * static_cast<double>(stop.QuadPart - start.QuadPart) /
                      static_cast<double>(frequency.QuadPart);
    return census;
}

// Take censuses until one agrees with before, or patience runs out.
Census census_settled(const Census& before, DWORD patience_ms) {
    const DWORD start = ::GetTickCount();
    Census now = census_take();
    while (!census_changes(before, now).empty() && ::GetTickCount() - start < patience_ms) {
        ::Sleep(50);
        now = census_take();
    }
    return now;
}

// Describe the counts that differ between two censuses.
std::string census_changes(const Census& before, const Census& after) {
    std::string text;
    add_change(text, "gdi_objects", before.gdi_objects, after.gdi_objects);
    for (int32_t kind = 1; kind < GDI_KINDS; ++kind) {
        add_change(text, GDI_KIND_NAMES[kind], before.gdi_by_kind[kind], after.gdi_by_kind[kind]);
    }
    add_change(text, "menus", before.menus, after.menus);
    add_change(text, "windows", before.windows, after.windows);
    add_change(text, "properties", before.properties, after.properties);
    add_change(text, "runtime_heap_blocks", before.runtime_heap_blocks, after.runtime_heap_blocks);
    add_change(text, "runtime_heap_bytes", before.runtime_heap_bytes, after.runtime_heap_bytes);
    add_change(text, "process_heap_blocks", before.process_heap_blocks, after.process_heap_blocks);
    add_change(text, "process_heap_bytes", before.process_heap_bytes, after.process_heap_bytes);
    add_change(text, "temp_strings", before.temp_strings, after.temp_strings);
    return text;
}

// Render a census as one line.
std::string census_text(const Census& census) {
    char line[320];
    std::snprintf(
        line, sizeof line,
        "gdi %d (dcs %d, memdcs %d, bitmaps %d, pens %d, brushes %d, fonts %d), "
        "menus %d, windows %d, properties %d, runtime heap %d blocks / %lld bytes, process heap "
        "%d blocks / %lld bytes, temp %d, probe %.1f ms",
        census.gdi_objects, census.gdi_by_kind[OBJ_DC], census.gdi_by_kind[OBJ_MEMDC],
        census.gdi_by_kind[OBJ_BITMAP], census.gdi_by_kind[OBJ_PEN], census.gdi_by_kind[OBJ_BRUSH],
        census.gdi_by_kind[OBJ_FONT], census.menus, census.windows, census.properties,
        census.runtime_heap_blocks, static_cast<long long>(census.runtime_heap_bytes),
        census.process_heap_blocks, static_cast<long long>(census.process_heap_bytes),
        census.temp_strings, census.probe_ms);
    return line;
}
