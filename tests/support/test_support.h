// Helpers shared by the test programs: temporary files and a 32-bit top-down DIB header
// for reading pixels back. Starting the real game and finding its window is
// tests/support/launch.h's, shared with the benchmark and the driver.
// Header-only; relies on KERNEL32, USER32 and GDI32 alone.
#pragma once

#include <gtest/gtest.h>
#include <windows.h>

#include <cstdint>
#include <cstring>
#include <string>

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

// The header of a w x h, 32-bit, top-down DIB: GetDIBits writes rows from the top.
inline BITMAPINFO top_down_info(int32_t w, int32_t h) {
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof(info.bmiHeader);
    info.bmiHeader.biWidth = w;
    info.bmiHeader.biHeight = -h;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    return info;
}
