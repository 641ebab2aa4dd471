// Small helpers the text tests share: texts between UTF-16 and UTF-8, the runtime's heap
// strings taken over, and the folders a test copies programs and files into.
#pragma once

#include <windows.h>

#include <string>

#include "runtime/core/core.h"

// A UTF-16 text in UTF-8, however long.
inline std::string utf8_of(const std::wstring& wide) {
    std::string bytes(wide.size() * 4 + 1, '\0');
    const int n = ::WideCharToMultiByte(CP_UTF8, 0, wide.c_str(), -1, bytes.data(),
                                        static_cast<int>(bytes.size()), nullptr, nullptr);
    bytes.resize(n > 0 ? static_cast<size_t>(n - 1) : 0);
    return bytes;
}

// A runtime heap string as a std::string ("(null)" for none), freed.
inline std::string take(char* text) {
    std::string copy = text != nullptr ? text : "(null)";
    heap_free(text);
    return copy;
}

// The folder of the running test program, with its final backslash.
inline std::wstring own_folder() {
    wchar_t own[MAX_PATH] = {};
    ::GetModuleFileNameW(nullptr, own, MAX_PATH);
    std::wstring folder(own);
    folder.erase(folder.rfind(L'\\') + 1);
    return folder;
}

// The user's folder for temporary files, with its final backslash.
inline std::wstring temp_folder() {
    wchar_t temp[MAX_PATH] = {};
    ::GetTempPathW(MAX_PATH, temp);
    return temp;
}
