// Helpers shared by the test programs: temporary files. Pixels read back are
// tests/support/picture.h's and starting a child process is tests/support/launch.h's, both
// shared with the end-to-end checks and the benchmark.
// Header-only; relies on KERNEL32, USER32 and GDI32 alone.
#pragma once

#include <gtest/gtest.h>
#include <windows.h>

#include <cstdint>
#include <cstring>
#include <string>

#include "tests/support/picture.h"

// A path in the temporary folder, private to this process.
inline std::string temp_file(const char* name) {
    char folder[MAX_PATH];
    ::GetTempPathA(MAX_PATH, folder);
    return std::string(folder) + "tarrowind_test_" + std::to_string(::GetCurrentProcessId()) + "_" +
           name;
}

// Write bytes to a file, replacing what it held.
inline void write_file(const std::string& path, const std::string& bytes) {
    HANDLE file = ::CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE) << path;
    DWORD written = 0;
    ::WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    ::CloseHandle(file);
}
