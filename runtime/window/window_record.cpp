// Window record, creation and release: the runtime's window classes, open_window and
// close_window side by side, and the lookup from a platform window to its WindowRecord.
// Relies on USER32, on runtime_module() from the core, and on surface.cpp, which makes and
// releases each window's surface (surface_open; surface_close and surface_delete). The
// window procedure lives in events.cpp, MDI frames in mdi.cpp.
#include "runtime/window/window_internal.h"

#include "runtime/core/core_internal.h"

// ============================================================================
// Module state
// ============================================================================

ATOM wnd_class_atom = 0;                 // "KalvorineWndClass", 0 until registered
ATOM frame_class_atom = 0;               // "KalvorineFrameClass", 0 until registered
ATOM dialog_class_atom = 0;              // "KalvorineDlgClass"; registered by the dialog facility
ATOM mdi_client_atom = 0;                // class of MDI clients; NO_MDI_CLIENT_ATOM once a plain
                                         // window exists
WindowRecord* creating_record = nullptr; // record whose CreateWindowExA is in progress

namespace {

// ============================================================================
// Internal helpers
// ============================================================================

// Register one class with the runtime's window procedure; the atom, or 0.
ATOM register_class(const char* name, UINT style, HBRUSH background) {
    HINSTANCE module = runtime_module();
    WNDCLASSEXA wc = {};
    wc.cbSize = sizeof(wc);
    wc.style = style;
    wc.lpfnWndProc = window_procedure;
    wc.cbClsExtra = 0;
    wc.cbWndExtra = WINDOW_EXTRA_BYTES; // the record's address
    wc.hInstance = module;
    wc.hIcon = ::LoadIconA(module, MAKEINTRESOURCEA(ICON_RESOURCE));
    if (wc.hIcon == nullptr) {
        wc.hIcon = ::LoadIconA(nullptr, IDI_APPLICATION);
    }
    wc.hbrBackground = background;
    wc.lpszClassName = name;
    return ::RegisterClassExA(&wc);
}

// Destroy the accelerator table a window keeps as a property, if it has one.
void destroy_accelerators(HWND hwnd) {
    HACCEL table = static_cast<HACCEL>(::GetPropA(hwnd, ACCEL_TABLE_PROPERTY));
    if (table != nullptr) {
        ::DestroyAcceleratorTable(table);
        ::RemovePropA(hwnd, ACCEL_TABLE_PROPERTY);
    }
}

// CreateWindowExW of a runtime window; the caption (in the ANSI code page) goes to the
// platform in UTF-16.
HWND create_window(DWORD ex_style, bool frame, const char* caption, DWORD style, int32_t x,
                   int32_t y, int32_t width, int32_t height, HWND parent) {
    wchar_t* wide_caption = ansi_to_heap_wide(caption);
    if (wide_caption == nullptr) { // without memory, the platform converts
        return ::CreateWindowExA(ex_style, frame ? "KalvorineFrameClass" : "KalvorineWndClass",
                                 caption, style, x, y, width, height, parent, nullptr,
                                 runtime_module(), nullptr);
    }
    HWND hwnd = ::CreateWindowExW(ex_style, frame ? L"KalvorineFrameClass" : L"KalvorineWndClass",
                                  wide_caption, style, x, y, width, height, parent, nullptr,
                                  runtime_module(), nullptr);
    heap_free(wide_caption);
    return hwnd;
}

} // namespace

// ============================================================================
// Public routines
// ============================================================================

// Register the runtime's window classes that are not registered yet.
void register_window_classes() {
    if (wnd_class_atom == 0) {
        wnd_class_atom = register_class("KalvorineWndClass", CS_BYTEALIGNCLIENT | CS_DBLCLKS,
                                        static_cast<HBRUSH>(::GetStockObject(WHITE_BRUSH)));
    }
    if (frame_class_atom == 0) {
        frame_class_atom =
            register_class("KalvorineFrameClass", CS_BYTEALIGNWINDOW | CS_DBLCLKS,
                           reinterpret_cast<HBRUSH>(static_cast<INT_PTR>(COLOR_APPWORKSPACE + 1)));
    }
}

// Open the platform window for a record; 1 when the window exists, 0 otherwise.
int32_t open_window(WindowRecord* record, int32_t x, int32_t y, int32_t width, int32_t height,
                    uint32_t flags, WindowRecord* parent, const char* caption,
                    WindowHandler handler) {
    // A record that still holds an open window is refused: opening over it would lose
    // that window and what the record owns. The program closes it first.
    if (record == nullptr || record->hwnd != nullptr) {
        return 0;
    }
    register_window_classes();

    HWND parent_hwnd = parent != nullptr ? parent->hwnd : nullptr;
    record->surface_flags = (flags & WF_NO_BACKING) ? 0 : SURFACE_BACKING;
    if (flags & WF_BACKING_FIT_CLIENT) {
        record->surface_flags |= SURFACE_FIT_CLIENT;
    }

    DWORD style = (flags & ~WF_RUNTIME_BITS) | WS_VISIBLE;
    DWORD ex_style = 0;
    if (parent_hwnd != nullptr) {
        style |= WS_CHILD | WS_CLIPSIBLINGS;
        if (parent->mdi_client != nullptr) {
            parent_hwnd = parent->mdi_client;
            ex_style |= WS_EX_MDICHILD;
        }
    } else {
        style |= WS_POPUP | WS_CLIPCHILDREN;
    }
    if (!(flags & WF_NO_CAPTION)) {
        style |= WS_CAPTION | WS_SYSMENU;
    }
    if (flags & WF_TOOL_WINDOW) {
        ex_style |= WS_EX_TOOLWINDOW;
    }
    if (flags & WF_TOPMOST) {
        ex_style |= WS_EX_TOPMOST;
    }

    record->hwnd = nullptr;
    // Handles left from an earlier life of the record were deleted by close_window; a
    // window made without them must not delete them a second time.
    record->backing_bitmap = nullptr;
    record->font = nullptr;
    record->pen = nullptr;
    record->handler = handler;
    record->erase_dc = nullptr;
    record->draw_dc = nullptr;
    record->draw_depth = 0;
    record->kind = RECORD_WINDOW;
    record->mdi_client = nullptr;
    record->reserved_a = 0;
    record->reserved_b = nullptr;
    record->reserved_c = nullptr;
    record->reserved_d = nullptr;

    // NOTE: CreateWindowExW delivers WM_GETMINMAXINFO, WM_NCCREATE, WM_CREATE and more
    // before it returns; window_procedure routes them to creating_record. A handler that
    // opens a window of its own gets the outer record back afterwards.
    WindowRecord* outer_creating = creating_record;
    creating_record = record;
    HWND hwnd = create_window(ex_style, (flags & WF_MDI_FRAME) != 0, caption, style, x, y, width,
                              height, parent_hwnd);
    record->hwnd = hwnd;
    creating_record = outer_creating;
    record->handler = nullptr;
    if (hwnd == nullptr) {
        return 0;
    }

    if (style & WS_MAXIMIZE) {
        ::ShowWindow(hwnd, SW_SHOWMAXIMIZED);
    } else if (style & WS_MINIMIZE) {
        ::ShowWindow(hwnd, SW_MINIMIZE);
    }

    if (flags & WF_MDI_FRAME) {
        make_mdi_client(record);
    } else if (mdi_client_atom == 0) {
        mdi_client_atom = NO_MDI_CLIENT_ATOM;
    }

    if (surface_open(record, flags, width, height)) {
        record->cursor = ::LoadCursorA(nullptr, IDC_ARROW);
        record->pen_width = 1;
        record->pen_style = PS_SOLID;
        record->is_dialog = 0;
        record->handler = handler;
    }

    ::SetWindowLongPtrA(hwnd, WINDOW_RECORD_OFFSET, reinterpret_cast<LONG_PTR>(record));
    return 1;
}

// Destroy the window and release what the record owns.
int32_t close_window(WindowRecord* record) {
    if (record == nullptr || record->hwnd == nullptr || record->kind != RECORD_WINDOW) {
        return 0;
    }
    HWND hwnd = record->hwnd;
    // The record counts as closed from here on: a handler that calls close_window again
    // from WM_DESTROY or WM_NCDESTROY finds it closed and does nothing, so the window is
    // destroyed once and its surface released once.
    record->hwnd = nullptr;
    const SurfaceObjects surface = surface_close(record, hwnd);
    destroy_accelerators(hwnd);
    // Destruction messages still reach the handler: the record stays attached to the window.
    // A window the platform is destroying already (its handler closing it from WM_DESTROY
    // or WM_NCDESTROY) is left to finish: destroying it again would repeat its messages.
    HWND parent = ::GetParent(hwnd);
    if (::GetPropA(hwnd, BEING_DESTROYED_PROPERTY) == nullptr) {
        if (parent != nullptr && mdi_client_atom != 0 &&
            ::GetClassWord(parent, GCW_ATOM) == mdi_client_atom) {
            ::SendMessageA(parent, WM_MDIDESTROY, reinterpret_cast<WPARAM>(hwnd), 0);
        } else {
            ::DestroyWindow(hwnd);
        }
    }
    surface_delete(surface);
    return 0;
}

// Release what a window destroyed without close_window owned, as close_window does.
void window_destroyed(WindowRecord* record, HWND hwnd) {
    record->hwnd = nullptr;
    const SurfaceObjects surface = surface_close(record, hwnd);
    destroy_accelerators(hwnd);
    surface_delete(surface);
}

// Set the window's caption.
int32_t set_window_caption(WindowRecord* record, const char* caption) {
    if (record_is_open(record)) {
        window_set_text(record->hwnd, caption);
    }
    return 0;
}

// The record of a runtime window, or null (also for windows of any other class).
WindowRecord* window_record(HWND hwnd) {
    if (hwnd == nullptr) {
        return nullptr;
    }
    // NOTE: only the runtime's classes keep a record address in extra word 0; other
    // classes (MDICLIENT, BUTTON, ...) keep their own data there.
    if (!is_runtime_class(hwnd)) {
        return nullptr;
    }
    const ATOM atom = static_cast<ATOM>(::GetClassWord(hwnd, GCW_ATOM));
    const int offset = atom == dialog_class_atom ? DIALOG_RECORD_OFFSET : WINDOW_RECORD_OFFSET;
    return reinterpret_cast<WindowRecord*>(::GetWindowLongPtrA(hwnd, offset));
}

// True for a window of one of the runtime's classes (the ones that carry a record).
bool is_runtime_class(HWND hwnd) {
    ATOM atom = static_cast<ATOM>(::GetClassWord(hwnd, GCW_ATOM));
    return atom != 0 &&
           (atom == wnd_class_atom || atom == frame_class_atom || atom == dialog_class_atom);
}
