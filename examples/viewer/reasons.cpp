// Why a file does not open, in words a person understands: no such file, a folder, access
// denied, in use by another program, too large, not a picture the viewer can show. Each
// document of a file that does not open shows its line instead of the content.
// Relies on the runtime's files (file_open keeps the platform's reason for GetLastError),
// KERNEL32 for a file's attributes and for the platform's own words on a rarer reason.
#include "examples/viewer/viewer.h"

#include <cstdio>

// ============================================================================
// Module state
// ============================================================================

namespace {

// A platform error code and what it means to a person who opens a file.
struct Reason {
    DWORD error;
    const char* words;
};

const Reason REASONS[] = {
    {ERROR_FILE_NOT_FOUND, "there is no such file"},
    {ERROR_PATH_NOT_FOUND, "there is no such folder"},
    {ERROR_BAD_NETPATH, "there is no such file"},
    {ERROR_INVALID_NAME, "that is not a file name"},
    {ERROR_ACCESS_DENIED, "access to it is denied"},
    {ERROR_SHARING_VIOLATION, "another program is using it"},
    {ERROR_LOCK_VIOLATION, "another program is using it"},
    {ERROR_NOT_READY, "its drive is not ready"},
};

constexpr int64_t MEGABYTE = 1024 * 1024;
// The largest files the viewer takes: a text is held whole in UTF-16 (up to twice its
// bytes) with an index of its lines, and a picture is read whole by the platform's loader.
constexpr int64_t LARGEST_TEXT = (WIDE_WORDS ? 1024 : 256) * MEGABYTE;
constexpr int64_t LARGEST_PICTURE = 256 * MEGABYTE;

// ============================================================================
// Internal helpers
// ============================================================================

// "Cannot open NAME: WORDS" as a fresh heap string.
char* refusal(const char* name, const char* words) {
    return string_concat({"Cannot open ", name, ": ", words});
}

// The platform's own words for an error code that the table does not know.
char* platform_words(const char* name, DWORD error) {
    char words[256] = {};
    // NOTE: the runtime has no words for the platform's error codes; KERNEL32 has.
    const DWORD length =
        ::FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, error,
                         0, words, sizeof(words), nullptr);
    if (length == 0) {
        std::snprintf(words, sizeof(words), "the system gives error %lu",
                      static_cast<unsigned long>(error));
    }
    // One line without its full stop: the message is a line of the document.
    for (char* p = words; *p != '\0'; ++p) {
        *p = *p == '\r' || *p == '\n' ? '\0' : *p;
    }
    const int32_t end = string_length(words);
    if (end > 0 && words[end - 1] == '.') {
        words[end - 1] = '\0';
    }
    return refusal(name, words);
}

// Why a file that file_open refused does not open, from the platform's code.
char* reason_of(const char* name, DWORD error) {
    for (const Reason& reason : REASONS) {
        if (reason.error == error) {
            return refusal(name, reason.words);
        }
    }
    return platform_words(name, error);
}

} // namespace

// ============================================================================
// Public routines
// ============================================================================

// Why a file cannot be opened as a text (picture 0) or a picture (1): a fresh heap string
// "Cannot open NAME: REASON", or null when it opens and is not too large.
char* viewer_open_refusal(const char* path, const char* name, int32_t picture) {
    // NOTE: the runtime's files do not say whether a name is a folder; KERNEL32 does. The
    // platform refuses to open a folder as a file with the same code as a file it may not
    // read.
    const DWORD attributes = ::GetFileAttributesA(path);
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
        return refusal(name, "it is a folder");
    }
    HANDLE file = nullptr;
    if (file_open(&file, TAG_BINARY_FILE, path, "R") != 0) {
        return reason_of(name, ::GetLastError());
    }
    const int64_t size = file_size(&file, TAG_BINARY_FILE);
    file_close(&file, TAG_BINARY_FILE);
    const int64_t largest = picture != 0 ? LARGEST_PICTURE : LARGEST_TEXT;
    if (size > largest) {
        char words[128];
        std::snprintf(words, sizeof(words), "it is too large (%lld MB; %s up to %lld MB show)",
                      static_cast<long long>(size / MEGABYTE), picture != 0 ? "pictures" : "texts",
                      static_cast<long long>(largest / MEGABYTE));
        return refusal(name, words);
    }
    return nullptr;
}

// The line of a picture file that opens but that the platform's loaders cannot show.
char* viewer_unshowable_picture(const char* name) {
    return refusal(name, "it is not a picture the viewer can show");
}
