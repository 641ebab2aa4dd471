// Child program for the clipboard tests: places long text, then ends in the way asked, so
// that the test, a second process, reads what outlived it.
//   clipboard_child WAY BYTES
//     end     program_end
//     return  returns 3 from its main routine
//     exit    ExitProcess(4)
//     closed  closes its window, then returns 5
//     held    waits for the event "TarrowindClipboardHeld" (set while the test holds the
//             clipboard open), then program_end
//     hang    announces text it never renders, then stops answering until it is ended
#include "runtime/core/core.h"
#include "runtime/window/window.h"

#include <cstdlib>
#include <cstring>
#include <string>

namespace {

// About bytes of text in several scripts; the test builds the same.
std::string long_text(size_t bytes) {
    const std::string line = "Crème brûlée, Привет, 中文字体, مرحبا, 😀 and plain ASCII words\r\n";
    std::string text;
    while (text.size() + line.size() <= bytes) {
        text += line;
    }
    return text;
}

// Announce Unicode text without giving it, and never answer a request for it.
[[noreturn]] void hang(HWND window) {
    if (::OpenClipboard(window)) {
        ::EmptyClipboard();
        ::SetClipboardData(CF_UNICODETEXT, nullptr);
        ::CloseClipboard();
    }
    for (;;) {
        ::Sleep(1000);
    }
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        return 2;
    }
    runtime_startup();
    WindowRecord record = {};
    if (open_window(&record, 0, 0, 100, 50, 0, nullptr, "Clipboard child", nullptr) != 1) {
        return 2;
    }
    const std::string way = argv[1];
    if (way == "hang") {
        hang(record.hwnd);
    }
    const std::string text = long_text(std::strtoul(argv[2], nullptr, 10));
    if (clipboard_set_text(&record, text.c_str(), -1) != 1) {
        return 2;
    }
    if (way == "held") {
        HANDLE held = ::OpenEventA(SYNCHRONIZE, FALSE, "TarrowindClipboardHeld");
        if (held == nullptr || ::WaitForSingleObject(held, 60000) != WAIT_OBJECT_0) {
            return 2;
        }
        ::CloseHandle(held);
    }
    if (way == "end" || way == "held") {
        program_end();
    }
    if (way == "exit") {
        ::ExitProcess(4);
    }
    if (way == "closed") {
        close_window(&record);
        return 5;
    }
    return way == "return" ? 3 : 2;
}
