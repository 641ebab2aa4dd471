// Child program for the clipboard tests: places BYTES of long text, then ends in the way
// asked, so that the test, a second process, reads what outlived it.
//   clipboard_child WAY BYTES
//   WAY: end (program_end), return (3 from main), exit (ExitProcess 4), closed (its window
//   closed, then 5 from main), held (program_end once the test, holding the clipboard open,
//   sets the event "TarrowindClipboardHeld"), hang (announces text it never renders and
//   stops answering)
#include "runtime/core/core.h"
#include "runtime/window/window.h"

#include <cstdlib>
#include <string>

int main(int argc, char** argv) {
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
    HANDLE held =
        way == "held" ? ::OpenEventA(SYNCHRONIZE, FALSE, "TarrowindClipboardHeld") : nullptr;
    if (clipboard_set_text(&record, text.c_str(), -1) != 1 ||
        (held != nullptr && ::WaitForSingleObject(held, 60000) != WAIT_OBJECT_0)) {
        return 2;
    }
    if (way == "exit") {
        ::ExitProcess(4);
    } else if (way == "closed") {
        close_window(&record);
        return 5;
    } else if (way == "return") {
        return 3;
    }
    program_end();
}
