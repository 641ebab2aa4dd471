// The smallest Win32 program that opens one window: the yardstick for the game's
// start-up time in bench.exe. Registers a class, opens a 320 x 200 window that paints its
// client area blue, and runs a message loop until the window is closed.
// Relies on USER32 and GDI32 only; links nothing of the game or the runtime.
#include <windows.h>

// ============================================================================
// Internal helpers
// ============================================================================

namespace {

LRESULT CALLBACK minimal_procedure(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
    switch (message) {
    case WM_PAINT: {
        PAINTSTRUCT paint;
        HDC dc = ::BeginPaint(window, &paint);
        HBRUSH blue = ::CreateSolidBrush(RGB(0, 0, 255));
        ::FillRect(dc, &paint.rcPaint, blue);
        ::DeleteObject(blue);
        ::EndPaint(window, &paint);
        return 0;
    }
    case WM_DESTROY:
        ::PostQuitMessage(0);
        return 0;
    default:
        return ::DefWindowProcA(window, message, wparam, lparam);
    }
}

} // namespace

// ============================================================================
// Public routines
// ============================================================================

// Open the window and run its message loop; exit code 0.
int main() {
    HINSTANCE instance = ::GetModuleHandleA(nullptr);
    WNDCLASSA window_class = {};
    window_class.lpfnWndProc = minimal_procedure;
    window_class.hInstance = instance;
    window_class.hCursor = ::LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_ARROW));
    window_class.lpszClassName = "TarrowindMinimalWindow";
    ::RegisterClassA(&window_class);
    HWND window =
        ::CreateWindowExA(0, "TarrowindMinimalWindow", "Minimal",
                          WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX, CW_USEDEFAULT,
                          CW_USEDEFAULT, 320, 200, nullptr, nullptr, instance, nullptr);
    ::ShowWindow(window, SW_SHOWNORMAL);
    ::UpdateWindow(window);
    MSG message;
    while (::GetMessageA(&message, nullptr, 0, 0) > 0) {
        ::TranslateMessage(&message);
        ::DispatchMessageA(&message);
    }
    return 0;
}
