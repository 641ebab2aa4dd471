// File dialogs: the platform's Open (one or several files) and Save As dialogs, with
// filters, a start folder and an owner window, their names given and returned in the
// process's ANSI code page and a cancel told apart from a failure.
// Relies on COMDLG32's wide calls (so that names in any script come through) and on the
// core's conversions and heap. Reading or writing the chosen file is the caller's.
#include <windows.h>

#include <commdlg.h>

#include <cwchar>
#include <iterator>

#include "runtime/core/core_internal.h"
#include "runtime/dialog/dialog.h"
#include "runtime/window/window_internal.h"

// ============================================================================
// Types
// ============================================================================

namespace {

// What one dialog call holds while it runs; every block is the runtime heap's.
struct FileDialogCall {
    wchar_t* filter;               // the filter pairs, NUL-separated and ended by two NULs, or null
    wchar_t* folder;               // the start folder, or null
    wchar_t* names;                // the name buffer: the start name in, the chosen names out
    DWORD units;                   // units of names
    wchar_t default_extension[16]; // from the first filter, or empty
};

} // namespace

// ============================================================================
// Module state
// ============================================================================

namespace {

constexpr DWORD ONE_NAME_UNITS = 32768;       // the longest path the platform takes, NUL included
constexpr DWORD SEVERAL_NAMES_UNITS = 262144; // a folder and the names of a large choice

} // namespace

// ============================================================================
// Internal helpers
// ============================================================================

namespace {

// The platform's filter list of "Text files|*.txt|All files|*.*": '|' turned into NULs,
// ended by a second NUL; an unpaired last description is left out. Null for none, or
// when the text is not valid in the code page (*bad set).
wchar_t* make_filter(const char* filters, bool* bad) {
    if (filters == nullptr || filters[0] == '\0') {
        return nullptr;
    }
    wchar_t* wide = ansi_to_heap_wide(filters);
    if (wide == nullptr) {
        *bad = true;
        return nullptr;
    }
    const size_t length = ::wcslen(wide);
    auto* filter = static_cast<wchar_t*>(heap_alloc((length + 2) * sizeof(wchar_t)));
    size_t pieces = 1;
    size_t last_bar = 0;
    for (size_t i = 0; filter != nullptr && i < length; i++) {
        filter[i] = wide[i] == L'|' ? L'\0' : wide[i];
        if (wide[i] == L'|') {
            pieces++;
            last_bar = i;
        }
    }
    heap_free(wide);
    if (filter == nullptr || pieces == 1) {
        *bad = filter == nullptr;
        heap_free(filter);
        return nullptr;
    }
    // Pairs only: an odd piece at the end (a description without patterns) is cut off.
    const size_t end = pieces % 2 == 1 ? last_bar : length;
    filter[end] = L'\0';
    filter[end + 1] = L'\0';
    return filter;
}

// The first filter's extension when its first pattern is a plain "*.ext", else empty.
void first_extension(const wchar_t* filter, wchar_t* extension, size_t size) {
    extension[0] = L'\0';
    if (filter == nullptr) {
        return;
    }
    const wchar_t* pattern = filter + ::wcslen(filter) + 1;
    if (pattern[0] != L'*' || pattern[1] != L'.') {
        return;
    }
    size_t length = 0;
    for (const wchar_t* c = pattern + 2; *c != L'\0' && *c != L';'; c++, length++) {
        if (*c == L'*' || *c == L'?' || *c == L'.' || *c == L' ' || length + 1 >= size) {
            return;
        }
    }
    ::wmemcpy(extension, pattern + 2, length);
    extension[length] = L'\0';
}

void release_call(FileDialogCall* call) {
    heap_free(call->filter);
    heap_free(call->folder);
    heap_free(call->names);
    *call = {};
}

// Make what a dialog call needs; false when a text is not valid in the code page, the start
// name is too long or there is no memory (what was made is released).
bool prepare_call(FileDialogCall* call, const char* filters, const char* folder, const char* name,
                  DWORD units) {
    *call = {};
    bool bad = false;
    call->filter = make_filter(filters, &bad);
    first_extension(call->filter, call->default_extension, std::size(call->default_extension));
    call->folder = folder != nullptr ? ansi_name_to_heap_wide(folder) : nullptr;
    call->names = static_cast<wchar_t*>(heap_alloc(units * sizeof(wchar_t)));
    call->units = units;
    wchar_t* start_name = name != nullptr ? ansi_name_to_heap_wide(name) : nullptr;
    bool ready = !bad && call->names != nullptr && (folder == nullptr || call->folder != nullptr) &&
                 (name == nullptr || start_name != nullptr);
    if (ready && start_name != nullptr) {
        const size_t length = ::wcslen(start_name);
        ready = length < units;
        if (ready) {
            ::wmemcpy(call->names, start_name, length + 1);
        }
    }
    heap_free(start_name);
    if (!ready) {
        release_call(call);
    }
    return ready;
}

OPENFILENAMEW dialog_description(WindowRecord* owner, FileDialogCall* call, DWORD flags) {
    OPENFILENAMEW description = {};
    description.lStructSize = sizeof(description);
    description.hwndOwner = record_is_open(owner) ? owner->hwnd : nullptr;
    description.lpstrFilter = call->filter;
    description.nFilterIndex = 1;
    description.lpstrFile = call->names;
    description.nMaxFile = call->units;
    description.lpstrInitialDir = call->folder;
    description.lpstrDefExt =
        call->default_extension[0] != L'\0' ? call->default_extension : nullptr;
    description.Flags = flags | OFN_EXPLORER | OFN_HIDEREADONLY | OFN_NOCHANGEDIR;
    return description;
}

// Several names as the platform gives them (the folder, then each name, each ended by a
// NUL, and a second NUL after the last) as full paths joined by '\n', in a heap block.
wchar_t* join_several(const wchar_t* names) {
    const wchar_t* folder = names;
    const size_t folder_length = ::wcslen(folder);
    const bool has_separator = folder_length > 0 && folder[folder_length - 1] == L'\\';
    size_t units = 1;
    for (const wchar_t* name = folder + folder_length + 1; *name != L'\0';
         name += ::wcslen(name) + 1) {
        units += folder_length + 1 + ::wcslen(name) + 1;
    }
    auto* joined = static_cast<wchar_t*>(heap_alloc(units * sizeof(wchar_t)));
    if (joined == nullptr) {
        return nullptr;
    }
    wchar_t* out = joined;
    for (const wchar_t* name = folder + folder_length + 1; *name != L'\0';
         name += ::wcslen(name) + 1) {
        if (out != joined) {
            *out++ = L'\n';
        }
        out = ::wmemcpy(out, folder, folder_length) + folder_length;
        if (!has_separator) {
            *out++ = L'\\';
        }
        const size_t length = ::wcslen(name);
        out = ::wmemcpy(out, name, length) + length;
    }
    *out = L'\0';
    return joined;
}

// The chosen names in the code page: one full path, or several joined; null when a name
// has no form there or without memory.
char* chosen_names(const OPENFILENAMEW& description) {
    const wchar_t* names = description.lpstrFile;
    // With several allowed, one file comes as its full path; several as the folder and a
    // NUL in front of the first name's offset.
    const bool several = (description.Flags & OFN_ALLOWMULTISELECT) != 0 &&
                         description.nFileOffset > 0 && names[description.nFileOffset - 1] == L'\0';
    if (!several) {
        return wide_name_to_heap_ansi(names, -1);
    }
    wchar_t* joined = join_several(names);
    char* chosen = joined != nullptr ? wide_name_to_heap_ansi(joined, -1) : nullptr;
    heap_free(joined);
    return chosen;
}

// Run an Open or Save As dialog; 1 chosen (*chosen set), 0 cancelled, -1 failed.
int32_t run_dialog(OPENFILENAMEW* description, bool save, char** chosen) {
    const BOOL picked = save ? ::GetSaveFileNameW(description) : ::GetOpenFileNameW(description);
    if (!picked) {
        // NOTE: the platform answers a cancel and a failure alike; only its extended error
        // tells them apart (0 for a cancel).
        return ::CommDlgExtendedError() == 0 ? 0 : -1;
    }
    *chosen = chosen_names(*description);
    return *chosen != nullptr ? 1 : -1;
}

} // namespace

// ============================================================================
// Public routines
// ============================================================================

// Ask for one or several existing files to open; 1 chosen, 0 cancelled, -1 failed.
int32_t choose_file_to_open(WindowRecord* owner, const char* filters, const char* folder,
                            int32_t several, char** chosen) {
    if (chosen == nullptr) {
        return -1;
    }
    *chosen = nullptr;
    FileDialogCall call;
    if (!prepare_call(&call, filters, folder, nullptr,
                      several != 0 ? SEVERAL_NAMES_UNITS : ONE_NAME_UNITS)) {
        return -1;
    }
    DWORD flags = OFN_FILEMUSTEXIST | OFN_PATHMUSTEXIST;
    if (several != 0) {
        flags |= OFN_ALLOWMULTISELECT;
    }
    OPENFILENAMEW description = dialog_description(owner, &call, flags);
    // The default extension is for names typed to save; an open finds names as they are.
    description.lpstrDefExt = nullptr;
    const int32_t result = run_dialog(&description, false, chosen);
    release_call(&call);
    return result;
}

// Ask for a file name to save as; 1 chosen, 0 cancelled, -1 failed.
int32_t choose_file_to_save(WindowRecord* owner, const char* filters, const char* folder,
                            const char* name, char** chosen) {
    if (chosen == nullptr) {
        return -1;
    }
    *chosen = nullptr;
    FileDialogCall call;
    if (!prepare_call(&call, filters, folder, name, ONE_NAME_UNITS)) {
        return -1;
    }
    OPENFILENAMEW description =
        dialog_description(owner, &call, OFN_OVERWRITEPROMPT | OFN_PATHMUSTEXIST);
    const int32_t result = run_dialog(&description, true, chosen);
    release_call(&call);
    return result;
}
