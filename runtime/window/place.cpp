// Window place and state: a window's outer rectangle, its restore rectangle and its state
// (normal, minimised, maximised), read and set, and kept in a Settings record so that a
// program's window comes back where the user left it, and never off every screen.
// Relies on USER32 (window placement, monitors) and on the core's settings records. Every
// routine does nothing on a closed record (null hwnd).
#include "runtime/window/window_internal.h"

#include <algorithm>
#include <cstring>

#include "runtime/core/core.h"

// ============================================================================
// Module state
// ============================================================================

namespace {

// The values a window's place is kept as, after the caller's prefix.
constexpr const char* PLACE_SUFFIXES[] = {".x", ".y", ".width", ".height", ".state"};
constexpr size_t LONGEST_SUFFIX = 7; // ".height"
constexpr const char* DEFAULT_PREFIX = "window";
// A value that no saved place holds: a missing one.
constexpr int32_t MISSING = INT32_MIN;

} // namespace

// ============================================================================
// Internal helpers
// ============================================================================

namespace {

bool is_child(HWND hwnd) {
    return (::GetWindowLongPtrW(hwnd, GWL_STYLE) & WS_CHILD) != 0;
}

// The offset from screen to workspace coordinates, in which the platform's placement of a
// top-level window is given: the work area's corner against its monitor's (non-zero when
// a task bar sits at the top or left). Children and tool windows use no offset.
POINT workspace_offset(HWND hwnd, const RECT* screen_rect) {
    POINT offset = {0, 0};
    if (is_child(hwnd) || (::GetWindowLongPtrW(hwnd, GWL_EXSTYLE) & WS_EX_TOOLWINDOW) != 0) {
        return offset;
    }
    HMONITOR monitor = screen_rect != nullptr
                           ? ::MonitorFromRect(screen_rect, MONITOR_DEFAULTTONEAREST)
                           : ::MonitorFromWindow(hwnd, MONITOR_DEFAULTTONEAREST);
    MONITORINFO info = {};
    info.cbSize = sizeof(info);
    if (monitor != nullptr && ::GetMonitorInfoW(monitor, &info)) {
        offset.x = info.rcWork.left - info.rcMonitor.left;
        offset.y = info.rcWork.top - info.rcMonitor.top;
    }
    return offset;
}

// Move a top-level rectangle that no screen shows onto the nearest screen's work area,
// shrunk to fit it.
void keep_on_a_screen(RECT* rect) {
    if (::MonitorFromRect(rect, MONITOR_DEFAULTTONULL) != nullptr) {
        return;
    }
    MONITORINFO info = {};
    info.cbSize = sizeof(info);
    HMONITOR nearest = ::MonitorFromRect(rect, MONITOR_DEFAULTTONEAREST);
    if (nearest == nullptr || !::GetMonitorInfoW(nearest, &info)) {
        return;
    }
    const RECT& work = info.rcWork;
    const LONG width = std::min(rect->right - rect->left, work.right - work.left);
    const LONG height = std::min(rect->bottom - rect->top, work.bottom - work.top);
    const LONG left = std::clamp(rect->left, work.left, work.right - width);
    const LONG top = std::clamp(rect->top, work.top, work.bottom - height);
    *rect = {left, top, left + width, top + height};
}

int32_t show_command(int32_t state) {
    switch (state) {
    case WINDOW_NORMAL:
        return SW_SHOWNORMAL;
    case WINDOW_MINIMISED:
        return SW_SHOWMINIMIZED;
    case WINDOW_MAXIMISED:
        return SW_SHOWMAXIMIZED;
    default:
        return -1;
    }
}

// Settle a window shown normal. A minimised window that was maximised before may come back
// maximised when asked for normal: it is then restored once more.
// NOTE: Wine restores such a window to maximised for SW_SHOWNORMAL (Windows does not).
void settle_state(HWND hwnd, int32_t state) {
    if (state == WINDOW_NORMAL && ::IsZoomed(hwnd)) {
        ::ShowWindow(hwnd, SW_SHOWNORMAL);
    }
}

// The settings name of one value of a place: prefix and suffix; false when too long.
bool place_name(char* name, size_t size, const char* prefix, const char* suffix) {
    const size_t length = ::strlen(prefix);
    if (length + ::strlen(suffix) + 1 > size) {
        return false;
    }
    ::memcpy(name, prefix, length);
    ::strcpy(name + length, suffix);
    return true;
}

const char* prefix_or_default(const char* prefix) {
    return prefix == nullptr || prefix[0] == '\0' ? DEFAULT_PREFIX : prefix;
}

} // namespace

// ============================================================================
// Public routines
// ============================================================================

// Read the window's outer rectangle as it is now; 1, or 0 for a closed record.
int32_t get_window_rect(WindowRecord* record, int32_t* x, int32_t* y, int32_t* width,
                        int32_t* height) {
    RECT rect = {};
    const bool open = record_is_open(record) && ::GetWindowRect(record->hwnd, &rect);
    if (open && is_child(record->hwnd)) {
        ::MapWindowPoints(nullptr, ::GetAncestor(record->hwnd, GA_PARENT),
                          reinterpret_cast<POINT*>(&rect), 2);
    }
    if (!open) {
        rect = {};
    }
    int32_t* outputs[] = {x, y, width, height};
    const int32_t values[] = {rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top};
    for (int i = 0; i < 4; i++) {
        if (outputs[i] != nullptr) {
            *outputs[i] = values[i];
        }
    }
    return open ? 1 : 0;
}

// Read the window's restore rectangle and state; 1, or 0 for a closed record.
int32_t get_window_place(WindowRecord* record, WindowPlace* place) {
    if (place == nullptr) {
        return 0;
    }
    *place = {};
    WINDOWPLACEMENT placement = {};
    placement.length = sizeof(placement);
    if (!record_is_open(record) || !::GetWindowPlacement(record->hwnd, &placement)) {
        return 0;
    }
    const RECT& normal = placement.rcNormalPosition;
    const POINT offset = workspace_offset(record->hwnd, nullptr);
    place->x = normal.left + offset.x;
    place->y = normal.top + offset.y;
    place->width = normal.right - normal.left;
    place->height = normal.bottom - normal.top;
    place->state = get_window_state(record);
    return 1;
}

// Give the window a restore rectangle and show it in a state; 1, or 0 when refused.
int32_t set_window_place(WindowRecord* record, const WindowPlace* place) {
    if (!record_is_open(record) || place == nullptr || place->width < 1 || place->height < 1 ||
        show_command(place->state) < 0) {
        return 0;
    }
    WINDOWPLACEMENT placement = {};
    placement.length = sizeof(placement);
    if (!::GetWindowPlacement(record->hwnd, &placement)) {
        return 0;
    }
    // A corner so far off that its far edge would pass the numbers' end moves back by the
    // overflow: such a rectangle is off every screen whichever way it is kept.
    const LONG left = std::min(place->x, INT32_MAX - place->width);
    const LONG top = std::min(place->y, INT32_MAX - place->height);
    RECT rect = {left, top, left + place->width, top + place->height};
    if (!is_child(record->hwnd)) {
        keep_on_a_screen(&rect);
    }
    const POINT offset = workspace_offset(record->hwnd, &rect);
    ::OffsetRect(&rect, -offset.x, -offset.y);
    placement.rcNormalPosition = rect;
    placement.flags = 0;
    placement.showCmd = static_cast<UINT>(show_command(place->state));
    if (!::SetWindowPlacement(record->hwnd, &placement)) {
        return 0;
    }
    settle_state(record->hwnd, place->state);
    return 1;
}

// The window's state, or -1 for a closed record.
int32_t get_window_state(WindowRecord* record) {
    if (!record_is_open(record)) {
        return -1;
    }
    if (::IsIconic(record->hwnd)) {
        return WINDOW_MINIMISED;
    }
    return ::IsZoomed(record->hwnd) ? WINDOW_MAXIMISED : WINDOW_NORMAL;
}

// Show the window normal, minimised or maximised; 1, or 0 when refused.
int32_t set_window_state(WindowRecord* record, int32_t state) {
    const int32_t command = show_command(state);
    if (!record_is_open(record) || command < 0) {
        return 0;
    }
    ::ShowWindow(record->hwnd, command);
    settle_state(record->hwnd, state);
    return 1;
}

// Put the window's place into a Settings record; 1, or 0.
int32_t save_window_place(WindowRecord* record, Settings* settings, const char* prefix) {
    WindowPlace place = {};
    WINDOWPLACEMENT placement = {};
    placement.length = sizeof(placement);
    if (settings == nullptr || !get_window_place(record, &place) ||
        !::GetWindowPlacement(record->hwnd, &placement)) {
        return 0;
    }
    if (place.state == WINDOW_MINIMISED) {
        // Kept as the state it comes back in: a program should not start minimised.
        place.state =
            (placement.flags & WPF_RESTORETOMAXIMIZED) != 0 ? WINDOW_MAXIMISED : WINDOW_NORMAL;
    }
    const int32_t values[] = {place.x, place.y, place.width, place.height, place.state};
    char name[SETTINGS_NAME_MAX + LONGEST_SUFFIX + 1];
    int32_t saved = 1;
    for (int i = 0; i < 5; i++) {
        if (!place_name(name, sizeof(name), prefix_or_default(prefix), PLACE_SUFFIXES[i]) ||
            !settings_set_number(settings, name, values[i])) {
            saved = 0;
        }
    }
    return saved;
}

// Put back a place kept by save_window_place; 1, or 0 when refused.
int32_t restore_window_place(WindowRecord* record, const Settings* settings, const char* prefix) {
    if (!record_is_open(record) || settings == nullptr) {
        return 0;
    }
    int32_t values[5] = {};
    char name[SETTINGS_NAME_MAX + LONGEST_SUFFIX + 1];
    for (int i = 0; i < 5; i++) {
        if (!place_name(name, sizeof(name), prefix_or_default(prefix), PLACE_SUFFIXES[i])) {
            return 0;
        }
        values[i] = settings_get_number(settings, name, MISSING);
        if (values[i] == MISSING) {
            return 0;
        }
    }
    WindowPlace place = {values[0], values[1], values[2], values[3], values[4]};
    if (place.state == WINDOW_MINIMISED) {
        place.state = WINDOW_NORMAL;
    }
    return set_window_place(record, &place);
}
