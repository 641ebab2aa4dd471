// Child program for the clipboard tests: places BYTES of long text, then ends in the way
// asked, so that the test, a second process, reads what outlived it.
//   clipboard_child WAY BYTES
//   WAY: end (program_end), return (3 from main), exit (ExitProcess 4), closed (its window
//   closed, then 5 from main), thread (ExitProcess 6 from another thread), held (program_end once
//   the test, holding the clipboard open, sets the event "TarrowindClipboardHeld"), worker
//   (program_end after a thread that placed other long text has ended), asleep (program_end once
//   a thread that placed the text, then waited handling no events for "TarrowindClipboardHeld",
//   ended), hang (announces text it
//   never renders and stops answering), render MS (announces text and renders "rendered" when
//   asked, once the event "TarrowindClipboardRender" is set or after MS ms; "stop": only once it is
//   set)
#include "runtime/core/core.h"
#include "runtime/window/window.h"

#include <cstdlib>
#include <cstring>
#include <string>

namespace {

DWORD render_wait_ms = 0;

// Render "rendered" when asked, after waiting as told; answers everything else at once.
LRESULT CALLBACK slow_owner(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
    if (message != WM_RENDERFORMAT) {
        return ::DefWindowProcW(window, message, wparam, lparam);
    }
    HANDLE go = ::OpenEventA(SYNCHRONIZE, FALSE, "TarrowindClipboardRender");
    ::WaitForSingleObject(go, render_wait_ms);
    ::CloseHandle(go);
    const wchar_t text[] = L"rendered";
    HGLOBAL block = ::GlobalAlloc(GMEM_MOVEABLE, sizeof(text));
    std::memcpy(::GlobalLock(block), text, sizeof(text));
    ::GlobalUnlock(block);
    ::SetClipboardData(CF_UNICODETEXT, block);
    return 0;
}

// Announce text from a window of the platform's own and handle messages until killed.
int render_when_asked(const std::string& wait) {
    render_wait_ms = wait == "stop" ? INFINITE : std::strtoul(wait.c_str(), nullptr, 10);
    WNDCLASSW window_class = {};
    window_class.lpfnWndProc = slow_owner;
    window_class.lpszClassName = L"SlowClipboardOwner";
    ::RegisterClassW(&window_class);
    HWND window = ::CreateWindowExW(0, window_class.lpszClassName, L"", 0, 0, 0, 0, 0, HWND_MESSAGE,
                                    nullptr, nullptr, nullptr);
    if (window == nullptr || !::OpenClipboard(window)) {
        return 2;
    }
    ::EmptyClipboard();
    ::SetClipboardData(CF_UNICODETEXT, nullptr);
    ::CloseClipboard();
    MSG message;
    while (::GetMessageW(&message, nullptr, 0, 0) > 0) {
        ::DispatchMessageW(&message);
    }
    return 0;
}

// Place other long text and end.
DWORD WINAPI place_other(void* record) {
    const std::string other(100000, 'w');
    return static_cast<DWORD>(
        clipboard_set_text(static_cast<WindowRecord*>(record), other.c_str(), -1));
}

// Place the text, then wait without handling events until the test sets its event.
DWORD WINAPI place_then_sleep(void* argument) {
    auto* arguments = static_cast<void**>(argument);
    const bool placed = clipboard_set_text(static_cast<WindowRecord*>(arguments[0]),
                                           static_cast<const char*>(arguments[1]), -1) == 1;
    HANDLE held = ::OpenEventA(SYNCHRONIZE, FALSE, "TarrowindClipboardHeld");
    const bool woken = ::WaitForSingleObject(held, 60000) == WAIT_OBJECT_0;
    ::CloseHandle(held);
    return placed && woken ? 1 : 0;
}

// End the process from a thread other than the one that placed the text.
DWORD WINAPI end_process(void*) {
    ::ExitProcess(6);
}

} // namespace

int main(int argc, char** argv) {
    if (argc >= 3 && std::string(argv[1]) == "render") {
        return render_when_asked(argv[2]);
    }
    WindowRecord record = {};
    runtime_startup();
    if (argc < 3 || open_window(&record, 0, 0, 100, 50, 0, nullptr, "Child", nullptr) != 1) {
        return 2;
    }
    const std::string way = argv[1];
    if (way == "hang" && ::OpenClipboard(record.hwnd)) {
        ::EmptyClipboard();
        ::SetClipboardData(CF_UNICODETEXT, nullptr);
        ::CloseClipboard();
        for (;;) {
            ::Sleep(1000);
        }
    }
    // The same text as the test's long_text.
    const std::string line = "Crème brûlée, Привет, 中文字体, مرحبا, 😀 and plain ASCII words\r\n";
    std::string text;
    while (text.size() + line.size() <= std::strtoul(argv[2], nullptr, 10)) {
        text += line;
    }
    if (way == "worker") {
        HANDLE placer = ::CreateThread(nullptr, 0, place_other, &record, 0, nullptr);
        DWORD placed = 0;
        if (::WaitForSingleObject(placer, 60000) != WAIT_OBJECT_0 ||
            !::GetExitCodeThread(placer, &placed) || placed != 1) {
            return 2;
        }
        ::CloseHandle(placer);
    }
    if (way == "asleep") {
        void* arguments[] = {&record, text.data()};
        HANDLE sleeper = ::CreateThread(nullptr, 0, place_then_sleep, arguments, 0, nullptr);
        while (::MsgWaitForMultipleObjects(1, &sleeper, FALSE, 60000, QS_ALLINPUT) ==
               WAIT_OBJECT_0 + 1) {
            process_events(1);
        }
        DWORD done = 0;
        ::GetExitCodeThread(sleeper, &done);
        ::CloseHandle(sleeper);
        if (done == 1) {
            program_end();
        }
        return 2;
    }
    HANDLE held =
        way == "held" ? ::OpenEventA(SYNCHRONIZE, FALSE, "TarrowindClipboardHeld") : nullptr;
    if (clipboard_set_text(&record, text.c_str(), -1) != 1 ||
        (held != nullptr && ::WaitForSingleObject(held, 60000) != WAIT_OBJECT_0)) {
        return 2;
    }
    if (way == "exit") {
        ::ExitProcess(4);
    } else if (way == "thread") {
        HANDLE ender = ::CreateThread(nullptr, 0, end_process, nullptr, 0, nullptr);
        ::WaitForSingleObject(ender, INFINITE); // the process ends meanwhile
    } else if (way == "closed") {
        close_window(&record);
        return 5;
    } else if (way == "return") {
        return 3;
    }
    program_end();
}
