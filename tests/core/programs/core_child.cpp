// Child program for the runtime core tests: behaviour that ends the process.
//   core_child end    ends from a window procedure three calls deep; its exit hooks and
//                     exit routine print what they see
//   core_child oom    runs out of heap inside string_concat; a watcher thread reads the
//                     "Error" box and closes it
//   core_child fresh  uses the heap before and after heap_create, without start-up
#include "runtime/core/core_internal.h"
#include "runtime/window/window_internal.h"

#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <io.h>

namespace {

WindowRecord dialog_record = {};

void report_hook(intptr_t value) {
    bool released = dialog_definition_list == nullptr && dialog_record.dialog_def == nullptr;
    std::printf("hook %lld dialogs=%s heap=%s\n", static_cast<long long>(value),
                released ? "released" : "kept", heap_handle() != nullptr ? "alive" : "gone");
    std::fflush(stdout);
}

void report_exit(UINT code) {
    std::printf("exit %u heap=%s\n", code, heap_handle() != nullptr ? "alive" : "gone");
    std::fflush(stdout);
}

// One dialog definition with two controls, the first owning an extra block.
void build_dialog_definition() {
    auto* definition =
        static_cast<DialogDefinition*>(typed_alloc(TYPE_RAW, sizeof(DialogDefinition)));
    auto* first = static_cast<ControlDefinition*>(typed_alloc(TYPE_RAW, sizeof(ControlDefinition)));
    auto* second =
        static_cast<ControlDefinition*>(typed_alloc(TYPE_RAW, sizeof(ControlDefinition)));
    first->next = second;
    first->extra_block = typed_alloc(TYPE_RAW, 16);
    definition->first_control = first;
    dialog_record.kind = RECORD_DIALOG;
    dialog_record.dialog_def = definition;
    auto* node = static_cast<DialogListNode*>(typed_alloc(TYPE_RAW, sizeof(DialogListNode)));
    node->record = &dialog_record;
    dialog_definition_list = node;
}

LRESULT CALLBACK ending_procedure(HWND window, UINT message, WPARAM first, LPARAM second) {
    if (message == WM_APP) {
        program_end();
    }
    return ::DefWindowProcA(window, message, first, second);
}

void nested(int depth, HWND window) {
    if (depth == 0) {
        ::SendMessageA(window, WM_APP, 0, 0);
        return;
    }
    nested(depth - 1, window);
    std::printf("resumed %d\n", depth);
}

int run_end() {
    runtime_startup();
    runtime_set_exit_routine(report_exit);
    build_dialog_definition();
    exit_hook_add(report_hook, 1);
    exit_hook_add(nullptr, 9);
    exit_hook_add(report_hook, 2);
    exit_hook_add(report_hook, 3);
    temp_push(string_duplicate("left on the stack"));
    WNDCLASSA window_class = {};
    window_class.lpfnWndProc = ending_procedure;
    window_class.hInstance = runtime_module();
    window_class.lpszClassName = "CoreChildEnding";
    ::RegisterClassA(&window_class);
    HWND window = ::CreateWindowA("CoreChildEnding", "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                  runtime_module(), nullptr);
    nested(3, window);
    std::printf("resumed\n");
    return 5;
}

DWORD WINAPI close_error_box(void*) {
    for (int attempt = 0; attempt < 200; ++attempt) {
        HWND box = ::FindWindowA(nullptr, "Error");
        if (box != nullptr) {
            char text[64] = {};
            ::GetDlgItemTextA(box, 0xFFFF, text, sizeof(text));
            std::printf("box: %s\n", text);
            std::fflush(stdout);
            ::PostMessageA(box, WM_COMMAND, IDOK, 0);
            return 0;
        }
        ::Sleep(50);
    }
    std::printf("no box\n");
    std::fflush(stdout);
    ::ExitProcess(99);
}

int run_oom() {
    runtime_startup();
    HANDLE watcher = ::CreateThread(nullptr, 0, close_error_box, nullptr, 0, nullptr);
    heap_set_fail_after(0);
    char* joined = string_concat({"Level:", " 3"});
    std::printf("returned %p\n", static_cast<void*>(joined));
    ::CloseHandle(watcher);
    return 6;
}

int run_fresh() {
    int value = 0;
    bool before = heap_handle() == nullptr && heap_alloc(4) == nullptr && heap_free(&value) == 0;
    bool created = heap_create() == 1 && heap_handle() != nullptr;
    void* block = heap_alloc(0);
    std::printf("before=%d created=%d block=%d\n", before, created, block != nullptr);
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    _setmode(_fileno(stdout), _O_BINARY);
    const char* mode = argc > 1 ? argv[1] : "";
    if (std::strcmp(mode, "end") == 0) {
        return run_end();
    }
    if (std::strcmp(mode, "oom") == 0) {
        return run_oom();
    }
    if (std::strcmp(mode, "fresh") == 0) {
        return run_fresh();
    }
    return 2;
}
