// The clipboard: UTF-8 text put on it as the platform's Unicode text (CF_UNICODETEXT) and
// read back from it as UTF-8. Relies on USER32, KERNEL32's movable global memory and the
// core's UTF-8 conversion, heap and exit hooks.
// Short texts are converted and handed to the platform at once. A long one is only copied
// and announced (delayed rendering): the platform hands every byte placed to its server,
// which took about half a second of processor time for 10 MB under Wine, so a long text
// is converted and handed over only when a program asks for it, and when the program ends
// in any orderly way: at shut-down (program_end), and when the process ends otherwise (a
// return from the main routine, exit, ExitProcess, from any thread), through a fiber-local
// slot's callback that the system calls then. A message-only window of the runtime's own,
// in a thread of its own that does nothing else, owns such text and answers the
// platform's requests for it whatever the program's threads are doing. Another program's text is
// read by a thread of its own, waited for with a bound. Threads of the program place text one at a
// time (the placing lock, whose waiters answer messages sent to them), and the announced text is
// taken and given under a short lock of its own, since the owner window's thread renders or forgets
// it while others place or read.
#include "runtime/core/core_internal.h"
#include "runtime/window/window_internal.h"

#include <cstring>
#include <cwchar>

// ============================================================================
// Types
// ============================================================================

namespace {

// Long text placed and not yet handed to the platform.
struct ClipboardState {
    HWND window;    // the message-only window that owns what the runtime placed, or null
    char* text;     // heap copy of the UTF-8 text announced and not yet rendered, or null
    size_t bytes;   // its length
    bool hooked;    // the exit hook that renders it at shut-down is registered (until it ran)
    DWORD end_slot; // the fiber-local slot whose callback renders it as the owner's thread
                    // or the process ends, or FLS_OUT_OF_INDEXES while there is none
};

// A read of the clipboard's text by a thread of its own, which the caller waits for with a
// bound and which may outlive that wait: whichever of the two lets go of it last frees it.
// Only the process heap is used, so that a read finishing late touches nothing of the
// runtime's.
struct ClipboardRead {
    LONG holders;   // 2 while both hold it, then 1
    wchar_t* units; // the text's units as read from the platform's block, or null
    size_t count;   // how many
};

// ============================================================================
// Module state
// ============================================================================

ClipboardState clipboard = {nullptr, nullptr, 0, false, FLS_OUT_OF_INDEXES};
SRWLOCK text_lock = SRWLOCK_INIT; // held only while clipboard.text and .bytes are read or set
LONG placer = 0;                  // the thread that holds the placing lock, or 0
LONG placer_depth = 0;            // how many times it took it (a handler may place meanwhile)

constexpr DWORD OPEN_WAIT_MS = 500;    // how long another program may hold the clipboard open
constexpr DWORD END_WAIT_MS = 5000;    // the same as the program ends with text still to hand over
constexpr DWORD ANSWER_WAIT_MS = 2000; // how long the clipboard's owner may take to answer
constexpr DWORD READ_WAIT_MS = 5000;   // how long a read of another's text may take in all
constexpr DWORD OPEN_RETRY_MS = 10;
constexpr size_t DELAY_BYTES = 64 * 1024; // longer texts are rendered when asked for
constexpr wchar_t OWNER_CLASS[] = L"TarrowindClipboardOwner";

// ============================================================================
// Internal helpers
// ============================================================================

// Open the clipboard for a window (or none), waiting up to wait_ms while another program
// holds it open; true when opened.
bool open_clipboard(HWND window, DWORD wait_ms) {
    const DWORD started = ::GetTickCount();
    while (!::OpenClipboard(window)) {
        if (::GetTickCount() - started >= wait_ms) {
            return false;
        }
        // Messages sent meanwhile are answered: a program pasting our text holds the
        // clipboard open until our window has rendered it.
        ::MsgWaitForMultipleObjects(0, nullptr, FALSE, OPEN_RETRY_MS, QS_SENDMESSAGE);
        MSG message;
        ::PeekMessageW(&message, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
    }
    return true;
}

// Whether the clipboard's owner, when another thread's window, answers within
// ANSWER_WAIT_MS; one that does not would hold a paste of announced text without limit.
bool owner_answers() {
    HWND owner = ::GetClipboardOwner();
    if (owner == nullptr || ::GetWindowThreadProcessId(owner, nullptr) == ::GetCurrentThreadId()) {
        return true;
    }
    DWORD_PTR result = 0;
    const bool answered =
        ::SendMessageTimeoutW(owner, WM_NULL, 0, 0, SMTO_NORMAL | SMTO_ABORTIFHUNG, ANSWER_WAIT_MS,
                              &result) != 0;
    return answered || !::IsWindow(owner); // an owner gone meanwhile holds nothing up
}

// A movable global block of the UTF-16 of bytes of UTF-8, NUL-terminated, or null.
HGLOBAL unicode_block(const char* text, size_t bytes) {
    const size_t units = utf16_units(text, bytes, nullptr);
    HGLOBAL block = ::GlobalAlloc(GMEM_MOVEABLE, (units + 1) * sizeof(wchar_t));
    wchar_t* wide = block != nullptr ? static_cast<wchar_t*>(::GlobalLock(block)) : nullptr;
    if (wide == nullptr) {
        if (block != nullptr) {
            ::GlobalFree(block);
        }
        return nullptr;
    }
    wide[utf8_to_utf16(text, bytes, wide)] = L'\0';
    ::GlobalUnlock(block);
    return block;
}

// Make text (a heap copy, or null) the announced text; the caller frees what it returns,
// the text it replaced.
char* swap_text(char* text, size_t bytes, size_t* old_bytes) {
    ::AcquireSRWLockExclusive(&text_lock);
    char* old = clipboard.text;
    if (old_bytes != nullptr) {
        *old_bytes = clipboard.bytes;
    }
    clipboard.text = text;
    clipboard.bytes = bytes;
    ::ReleaseSRWLockExclusive(&text_lock);
    return old;
}

void forget_text() {
    heap_free(swap_text(nullptr, 0, nullptr));
}

bool has_text() {
    ::AcquireSRWLockShared(&text_lock);
    const bool has = clipboard.text != nullptr;
    ::ReleaseSRWLockShared(&text_lock);
    return has;
}

// Take the placing lock, answering messages sent to this thread while another holds it (its
// placement may ask a window of this thread to forget its text). A thread that holds it may
// take it again.
void lock_placing() {
    const auto self = static_cast<LONG>(::GetCurrentThreadId());
    if (::InterlockedCompareExchange(&placer, 0, 0) == self) {
        ++placer_depth;
        return;
    }
    while (::InterlockedCompareExchange(&placer, self, 0) != 0) {
        ::MsgWaitForMultipleObjects(0, nullptr, FALSE, 1, QS_SENDMESSAGE);
        MSG message;
        ::PeekMessageW(&message, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
    }
    placer_depth = 1;
}

void unlock_placing() {
    if (--placer_depth == 0) {
        ::InterlockedExchange(&placer, 0);
    }
}

// Hand the announced text to the platform, the clipboard being open (by us or by the
// program that asked for it).
void render_text() {
    size_t bytes = 0;
    char* text = swap_text(nullptr, 0, &bytes);
    if (text == nullptr) {
        return;
    }
    HGLOBAL block = unicode_block(text, bytes);
    if (block != nullptr && ::SetClipboardData(CF_UNICODETEXT, block) == nullptr) {
        ::GlobalFree(block);
    }
    heap_free(text);
}

// Render what the runtime still owns into the clipboard, so that it outlives the owner.
void render_all(DWORD wait_ms) {
    if (has_text() && open_clipboard(clipboard.window, wait_ms)) {
        if (::GetClipboardOwner() == clipboard.window) {
            render_text();
        }
        ::CloseClipboard();
    }
    forget_text();
}

// The owner window's procedure: the platform's requests for announced text.
LRESULT CALLBACK owner_procedure(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
    switch (message) {
    case WM_RENDERFORMAT: // a program asks; the clipboard is open already
        if (wparam == CF_UNICODETEXT) {
            render_text();
        }
        return 0;
    case WM_RENDERALLFORMATS: // the window ends while it owns the clipboard
        render_all(END_WAIT_MS);
        return 0;
    case WM_DESTROYCLIPBOARD: // emptied, by us for new text or by another program
        forget_text();
        return 0;
    default:
        return ::DefWindowProcW(window, message, wparam, lparam);
    }
}

// At shut-down the process ends without destroying its windows, and the text lives in the
// runtime heap, which goes next: render announced text first.
void render_at_shutdown(intptr_t) {
    clipboard.hooked = false; // the hook list is released after this run
    render_all(END_WAIT_MS);
}

// Whether the process is ending (ExitProcess running in this thread, the others stopped).
bool process_ending() {
    using ShutdownQuery = BOOLEAN(NTAPI*)();
    static const auto query = reinterpret_cast<ShutdownQuery>(reinterpret_cast<void (*)()>(
        ::GetProcAddress(::GetModuleHandleW(L"ntdll.dll"), "RtlDllShutdownInProgress")));
    return query != nullptr && query() != 0;
}

// Render what the runtime still owns from a window made for it in this thread, as the
// process ends from a thread other than the owner's: that thread was stopped and gave up
// the clipboard with nothing rendered. Left alone when another program took it meanwhile.
void render_from_ending_thread() {
    // No lock: the other threads are stopped, one of them maybe while it held it.
    HWND taker = ::GetClipboardOwner();
    char* text = clipboard.text;
    clipboard.text = nullptr; // the owner's window could be told the clipboard was emptied
    HGLOBAL block = text != nullptr && (taker == nullptr || taker == clipboard.window)
                        ? unicode_block(text, clipboard.bytes)
                        : nullptr;
    heap_free(text);
    HWND window = block != nullptr
                      ? ::CreateWindowExW(0, OWNER_CLASS, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                          ::GetModuleHandleW(nullptr), nullptr)
                      : nullptr;
    if (window != nullptr && open_clipboard(window, END_WAIT_MS)) {
        taker = ::GetClipboardOwner();
        // NOTE: the stopped owner's announcement may be gone already under Wine: only
        // another program owning the clipboard says it took it.
        if ((taker == nullptr || taker == clipboard.window) && ::EmptyClipboard() &&
            ::SetClipboardData(CF_UNICODETEXT, block) != nullptr) {
            block = nullptr; // the clipboard's from now on
        }
        ::CloseClipboard();
    }
    if (window != nullptr) {
        ::DestroyWindow(window);
    }
    if (block != nullptr) {
        ::GlobalFree(block);
    }
}

// The system's call as a thread ends, also when the process ends in order without
// program_end (a return from the main routine, exit, ExitProcess): render announced text
// when the thread that owns it ends, or when the process ends from any other thread.
// NOTE: a static library has no DllMain, and the loader does not call a program's own TLS
// callbacks at the end of the process under Wine 8; a fiber-local slot's callback is called
// both there and on Windows, for the ending thread alone: every thread gets a value in the
// slot as it starts (see clipboard_thread_start).
void NTAPI at_thread_end(void*) {
    if (clipboard.window != nullptr &&
        ::GetWindowThreadProcessId(clipboard.window, nullptr) == ::GetCurrentThreadId()) {
        render_all(END_WAIT_MS);
        if (!process_ending()) {
            // Gone with its thread in any case: gone now, so that the next placement, from
            // another thread, makes a window of its own.
            ::DestroyWindow(clipboard.window);
        }
    } else if (process_ending() && clipboard.text != nullptr) { // the other threads stopped
        render_from_ending_thread();
    }
}

// The loader's call as the process and each new thread start (a TLS callback, which it
// makes under Wine 8 and Windows): every thread gets a value in the fiber-local slot, so
// that the slot's callback runs in whichever thread ends the process.
void NTAPI clipboard_thread_start(void*, DWORD reason, void*) {
    if (reason == DLL_PROCESS_ATTACH && clipboard.end_slot == FLS_OUT_OF_INDEXES) {
        clipboard.end_slot = ::FlsAlloc(at_thread_end);
    }
    if ((reason == DLL_PROCESS_ATTACH || reason == DLL_THREAD_ATTACH) &&
        clipboard.end_slot != FLS_OUT_OF_INDEXES) {
        ::FlsSetValue(clipboard.end_slot, &clipboard);
    }
}

// What the owner window's thread hands back as it starts.
struct OwnerStart {
    HANDLE made; // set once window holds the window or null
    HWND window;
};

// The thread of the owner window: makes it, then handles its messages (the platform's
// requests for announced text) while the process runs, whatever the program's threads do.
DWORD WINAPI owner_thread(void* argument) {
    auto* start = static_cast<OwnerStart*>(argument);
    WNDCLASSW window_class = {};
    window_class.lpfnWndProc = owner_procedure;
    window_class.hInstance = ::GetModuleHandleW(nullptr);
    window_class.lpszClassName = OWNER_CLASS;
    ::RegisterClassW(&window_class); // fails harmlessly when registered already
    HWND window = ::CreateWindowExW(0, OWNER_CLASS, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                    window_class.hInstance, nullptr);
    start->window = window;
    ::SetEvent(start->made); // start is the maker's no longer
    MSG message;
    while (window != nullptr && ::GetMessageW(&message, nullptr, 0, 0) > 0) {
        ::DispatchMessageW(&message);
    }
    return 0;
}

// A new owner window in a thread of its own; null when it cannot be made.
HWND start_owner_thread() {
    OwnerStart start = {::CreateEventW(nullptr, TRUE, FALSE, nullptr), nullptr};
    HANDLE thread = start.made != nullptr
                        ? ::CreateThread(nullptr, 0, owner_thread, &start, 0, nullptr)
                        : nullptr;
    if (thread != nullptr) {
        const HANDLE either[] = {start.made, thread}; // made, or the thread ended before
        ::WaitForMultipleObjects(2, either, FALSE, INFINITE);
        ::CloseHandle(thread);
    }
    if (start.made != nullptr) {
        ::CloseHandle(start.made);
    }
    return start.window;
}

// The message-only owner window, made at the first long text in a thread of the runtime's
// own, so that its text can be pasted whichever thread placed it and whatever that thread
// does; made again should that window be gone. Null when it cannot be made. Called with
// the placing lock held.
HWND owner_window() {
    if (clipboard.window != nullptr && !::IsWindow(clipboard.window)) {
        clipboard.window = nullptr;
    }
    if (clipboard.window == nullptr) {
        clipboard.window = start_owner_thread();
    }
    if (clipboard.window != nullptr && !clipboard.hooked) {
        clipboard.hooked = exit_hook_add(render_at_shutdown, 0) == 0;
    }
    if (clipboard.window != nullptr && clipboard.end_slot == FLS_OUT_OF_INDEXES) {
        clipboard.end_slot = ::FlsAlloc(at_thread_end); // the loader did not call us
    }
    if (clipboard.window != nullptr && clipboard.end_slot != FLS_OUT_OF_INDEXES) {
        // The callback is called only for a slot that holds a value.
        ::FlsSetValue(clipboard.end_slot, &clipboard);
    }
    return clipboard.window;
}

// Let go of a read; the last holder frees it.
void let_go(ClipboardRead* read) {
    if (::InterlockedDecrement(&read->holders) == 0) {
        if (read->units != nullptr) {
            ::HeapFree(::GetProcessHeap(), 0, read->units);
        }
        ::HeapFree(::GetProcessHeap(), 0, read);
    }
}

// The reading thread: opens the clipboard, copies its text's units, closes it. The platform
// waits without limit for an owner that renders the text, so this may end long after its
// caller stopped waiting.
DWORD WINAPI read_clipboard(void* argument) {
    auto* read = static_cast<ClipboardRead*>(argument);
    if (open_clipboard(nullptr, OPEN_WAIT_MS)) {
        HANDLE block = ::GetClipboardData(CF_UNICODETEXT);
        const wchar_t* wide =
            block != nullptr ? static_cast<const wchar_t*>(::GlobalLock(block)) : nullptr;
        if (wide != nullptr) {
            const size_t count = ::wcsnlen(wide, ::GlobalSize(block) / sizeof(wchar_t));
            read->units = static_cast<wchar_t*>(
                ::HeapAlloc(::GetProcessHeap(), 0, (count + 1) * sizeof(wchar_t)));
            if (read->units != nullptr) {
                std::memcpy(read->units, wide, count * sizeof(wchar_t));
                read->count = count;
            }
            ::GlobalUnlock(block);
        }
        ::CloseClipboard();
    }
    let_go(read);
    return 0;
}

// Wait up to wait_ms for a thread to end, answering messages sent to this thread meanwhile
// (a window of this thread may be asked for its text); true when it ended.
bool thread_ended(HANDLE thread, DWORD wait_ms) {
    const DWORD started = ::GetTickCount();
    for (;;) {
        const DWORD waited = ::GetTickCount() - started;
        const DWORD left = waited < wait_ms ? wait_ms - waited : 0;
        const DWORD woken = ::MsgWaitForMultipleObjects(1, &thread, FALSE, left, QS_SENDMESSAGE);
        if (woken == WAIT_OBJECT_0) {
            return true;
        }
        if (woken != WAIT_OBJECT_0 + 1) {
            return false;
        }
        MSG message;
        ::PeekMessageW(&message, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
    }
}

// The clipboard's text read by a thread of its own, waited for up to READ_WAIT_MS; null
// when it holds none, or the read did not end in time (it then ends by itself).
char* read_with_bound() {
    auto* read = static_cast<ClipboardRead*>(
        ::HeapAlloc(::GetProcessHeap(), HEAP_ZERO_MEMORY, sizeof(ClipboardRead)));
    if (read == nullptr) {
        return nullptr;
    }
    read->holders = 2;
    HANDLE thread = ::CreateThread(nullptr, 0, read_clipboard, read, 0, nullptr);
    if (thread == nullptr) {
        read->holders = 1;
        let_go(read);
        return nullptr;
    }
    char* text = nullptr;
    if (thread_ended(thread, READ_WAIT_MS) && read->units != nullptr) {
        text = clipboard_block_text(read->units, read->count * sizeof(wchar_t));
    }
    ::CloseHandle(thread);
    let_go(read);
    return text;
}

// The text the runtime announced and still holds, read by any thread of the program without
// asking the owner window's thread, which may be busy; false when the clipboard holds
// something else.
bool read_announced_text(char** text) {
    ::AcquireSRWLockShared(&text_lock);
    const bool own = clipboard.text != nullptr && clipboard.window != nullptr &&
                     ::GetClipboardOwner() == clipboard.window;
    HGLOBAL block = own ? unicode_block(clipboard.text, clipboard.bytes) : nullptr;
    ::ReleaseSRWLockShared(&text_lock);
    if (block != nullptr) {
        *text = clipboard_block_text(static_cast<const wchar_t*>(::GlobalLock(block)),
                                     ::GlobalSize(block));
        ::GlobalUnlock(block);
        ::GlobalFree(block);
    }
    return own;
}

// Read the clipboard's text here when a window of this thread owns it (it renders its
// own text without waiting on anyone); false, with the clipboard left closed, otherwise.
bool read_own_text(WindowRecord* owner, char** text) {
    HWND owner_window = ::GetClipboardOwner();
    if (owner_window == nullptr ||
        ::GetWindowThreadProcessId(owner_window, nullptr) != ::GetCurrentThreadId() ||
        !open_clipboard(owner != nullptr ? owner->hwnd : nullptr, OPEN_WAIT_MS)) {
        return false;
    }
    // The owner cannot change while the clipboard is open: look again now.
    owner_window = ::GetClipboardOwner();
    const bool own = owner_window != nullptr &&
                     ::GetWindowThreadProcessId(owner_window, nullptr) == ::GetCurrentThreadId();
    HANDLE block = own ? ::GetClipboardData(CF_UNICODETEXT) : nullptr;
    const wchar_t* wide =
        block != nullptr ? static_cast<const wchar_t*>(::GlobalLock(block)) : nullptr;
    if (wide != nullptr) {
        *text = clipboard_block_text(wide, ::GlobalSize(block));
        ::GlobalUnlock(block);
    }
    ::CloseClipboard();
    return own;
}

// Empty the clipboard, opened for placing, and place a block or announce a heap copy of
// long text; true when placed. What is placed is cleared to null (the clipboard's or the
// state's from now on).
bool place_opened(HGLOBAL* block, char** copy, size_t bytes) {
    // Emptying tells the previous owner (our own window too) to forget its text.
    if (::EmptyClipboard() == 0) {
        return false;
    }
    if (*copy == nullptr) {
        if (::SetClipboardData(CF_UNICODETEXT, *block) == nullptr) {
            return false;
        }
        *block = nullptr;
        return true;
    }
    heap_free(swap_text(*copy, bytes, nullptr));
    *copy = nullptr;
    // NOTE: announcing a format returns null whether or not it was taken.
    ::SetClipboardData(CF_UNICODETEXT, nullptr);
    if (::IsClipboardFormatAvailable(CF_UNICODETEXT) == 0) {
        forget_text();
        return false;
    }
    return true;
}

} // namespace

// The TLS callback's entry in the table the loader reads, kept by the linker whenever the
// clipboard is used.
#if defined(_MSC_VER)
#ifdef _WIN64
#pragma comment(linker, "/INCLUDE:_tls_used")
#pragma comment(linker, "/INCLUDE:clipboard_thread_start_entry")
#else
#pragma comment(linker, "/INCLUDE:__tls_used")
#pragma comment(linker, "/INCLUDE:_clipboard_thread_start_entry")
#endif
#pragma const_seg(".CRT$XLT")
extern "C" const PIMAGE_TLS_CALLBACK clipboard_thread_start_entry = clipboard_thread_start;
#pragma const_seg()
#else
extern "C" __attribute__((section(".CRT$XLT"), used))
const PIMAGE_TLS_CALLBACK clipboard_thread_start_entry = clipboard_thread_start;
#endif

// ============================================================================
// Public routines
// ============================================================================

// Put UTF-8 text on the clipboard as Unicode text: short text at once, long text announced
// and rendered when asked for. What is placed is made ready before the clipboard is
// emptied, so that a refusal leaves the clipboard's old contents. Threads place one at a
// time.
int32_t clipboard_set_text(WindowRecord* owner, const char* text, int32_t length) {
    const int32_t bytes = utf8_argument_bytes(text, length);
    if (owner == nullptr || owner->hwnd == nullptr || bytes < 0) {
        return 0;
    }
    const bool delay = static_cast<size_t>(bytes) > DELAY_BYTES;
    HGLOBAL block = nullptr;
    char* copy = nullptr;
    if (delay) {
        copy = static_cast<char*>(heap_alloc(static_cast<size_t>(bytes)));
        if (copy == nullptr) {
            return 0;
        }
        std::memcpy(copy, text, static_cast<size_t>(bytes));
    } else if ((block = unicode_block(text, static_cast<size_t>(bytes))) == nullptr) {
        return 0;
    }
    lock_placing();
    HWND opener = delay ? owner_window() : owner->hwnd;
    bool placed = false;
    if (opener != nullptr && open_clipboard(opener, OPEN_WAIT_MS)) {
        placed = place_opened(&block, &copy, static_cast<size_t>(bytes));
        ::CloseClipboard();
    }
    unlock_placing();
    heap_free(copy);
    if (block != nullptr) {
        ::GlobalFree(block);
    }
    return placed ? 1 : 0;
}

// The text of a clipboard block as a fresh heap string in UTF-8, up to its first NUL and
// never past its bytes.
char* clipboard_block_text(const wchar_t* units, size_t bytes) {
    return utf16_to_heap_utf8(units, ::wcsnlen(units, bytes / sizeof(wchar_t)));
}

// The clipboard's text as a fresh heap string in UTF-8, or null when it holds none or
// could not be read within a bound. The text is read up to its first NUL and never past
// its block.
// NOTE: IsClipboardFormatAvailable is not asked first: under Wine 8 it waits 5 s for an
// owner that stopped answering.
char* clipboard_get_text(WindowRecord* owner) {
    char* text = nullptr;
    if (read_announced_text(&text) || read_own_text(owner, &text)) {
        return text;
    }
    return owner_answers() ? read_with_bound() : nullptr;
}
