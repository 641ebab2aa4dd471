// The floor of a frame's cost for bench.exe: the least a program can do to show a sequence
// of drawings one by one, each on the screen before the next begins. For every rectangle
// it fills that rectangle of a memory bitmap, invalidates exactly that rectangle of its
// window and updates the window; the paint copies the rectangle from the bitmap.
// Relies on USER32 and GDI32 only; links nothing of the game or the runtime.
// Usage: floor_window.exe CLIENT_WIDTH CLIENT_HEIGHT LEFT,TOP,RIGHT,BOTTOM ...
// After 10 unmeasured passes it reads standard input: for each line it makes one pass over
// all rectangles and prints its time in milliseconds on a line; it ends at end of input.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <io.h>
#include <vector>

// ============================================================================
// Module state
// ============================================================================

namespace {

HDC memory_dc = nullptr; // holds the window's picture; the paint copies from it

// ============================================================================
// Internal helpers
// ============================================================================

LRESULT CALLBACK floor_procedure(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
    switch (message) {
    case WM_PAINT: {
        PAINTSTRUCT paint;
        HDC dc = ::BeginPaint(window, &paint);
        const RECT& r = paint.rcPaint;
        ::BitBlt(dc, r.left, r.top, r.right - r.left, r.bottom - r.top, memory_dc, r.left, r.top,
                 SRCCOPY);
        ::EndPaint(window, &paint);
        return 0;
    }
    case WM_ERASEBKGND:
        return 1; // the paint covers everything it is asked to
    default:
        return ::DefWindowProcA(window, message, wparam, lparam);
    }
}

void pump() {
    MSG message;
    while (::PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
        ::TranslateMessage(&message);
        ::DispatchMessageA(&message);
    }
}

double now_ms(const LARGE_INTEGER& frequency) {
    LARGE_INTEGER counter;
    ::QueryPerformanceCounter(&counter);
    return 1000.0 * static_cast<double>(counter.QuadPart) / static_cast<double>(frequency.QuadPart);
}

} // namespace

// ============================================================================
// Public routines
// ============================================================================

// Answer each line of standard input with one timed pass; exit code 0, or 2 for bad
// arguments.
int main(int argc, char** argv) {
    _setmode(_fileno(stdout), _O_BINARY);
    if (argc < 4) {
        std::fprintf(stderr, "usage: floor_window.exe WIDTH HEIGHT L,T,R,B ...\n");
        return 2;
    }
    const int width = std::atoi(argv[1]);
    const int height = std::atoi(argv[2]);
    std::vector<RECT> rects;
    for (int i = 3; i < argc; ++i) {
        RECT r = {};
        if (std::sscanf(argv[i], "%ld,%ld,%ld,%ld", &r.left, &r.top, &r.right, &r.bottom) != 4) {
            std::fprintf(stderr, "bad rectangle: %s\n", argv[i]);
            return 2;
        }
        rects.push_back(r);
    }

    HINSTANCE instance = ::GetModuleHandleA(nullptr);
    WNDCLASSA window_class = {};
    window_class.lpfnWndProc = floor_procedure;
    window_class.hInstance = instance;
    window_class.hCursor = ::LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_ARROW));
    window_class.lpszClassName = "TarrowindFloorWindow";
    ::RegisterClassA(&window_class);
    const DWORD style = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;
    RECT outer = {0, 0, width, height};
    ::AdjustWindowRect(&outer, style, FALSE);
    HWND window =
        ::CreateWindowExA(0, "TarrowindFloorWindow", "Floor", style, 0, 0, outer.right - outer.left,
                          outer.bottom - outer.top, nullptr, nullptr, instance, nullptr);

    HDC window_dc = ::GetDC(window);
    memory_dc = ::CreateCompatibleDC(window_dc);
    HBITMAP bitmap = ::CreateCompatibleBitmap(window_dc, width, height);
    ::ReleaseDC(window, window_dc);
    HGDIOBJ previous_bitmap = ::SelectObject(memory_dc, bitmap);
    HGDIOBJ previous_brush = ::SelectObject(memory_dc, ::GetStockObject(DC_BRUSH));
    ::SetDCBrushColor(memory_dc, RGB(0, 0, 255));
    ::PatBlt(memory_dc, 0, 0, width, height, PATCOPY);

    ::ShowWindow(window, SW_SHOWNORMAL);
    ::UpdateWindow(window);
    pump();

    LARGE_INTEGER frequency;
    ::QueryPerformanceFrequency(&frequency);
    char line[64];
    for (int pass = 0; pass < 10 || std::fgets(line, sizeof line, stdin) != nullptr; ++pass) {
        // Alternate two colours so that every pass really changes the pixels.
        ::SetDCBrushColor(memory_dc, pass % 2 == 0 ? RGB(0, 0, 0) : RGB(128, 128, 128));
        const double start = now_ms(frequency);
        for (const RECT& r : rects) {
            ::PatBlt(memory_dc, r.left, r.top, r.right - r.left, r.bottom - r.top, PATCOPY);
            ::InvalidateRect(window, &r, FALSE);
            ::UpdateWindow(window);
        }
        const double stop = now_ms(frequency);
        if (pass >= 10) {
            std::printf("%.4f\n", stop - start);
            std::fflush(stdout);
        }
        pump();
    }

    ::SelectObject(memory_dc, previous_brush);
    ::SelectObject(memory_dc, previous_bitmap);
    ::DeleteObject(bitmap);
    ::DeleteDC(memory_dc);
    ::DestroyWindow(window);
    return 0;
}
