// What the fault tests share: a seeded generator, the long-run switch, this program started
// again as a child for behaviour that may end a process (its mode in TARROWIND_FAULTS_CHILD),
// folders for made files, valid seed files of every kind the runtime loads or plays, and the
// valid set (valid_test.cpp).
// Relies on KERNEL32, GDI32, OLE32 and the platform's image encoders (WIC) for seeds it
// cannot take from the build; what a test does with them is its own.
#pragma once

#include <windows.h>

#include <cstdint>
#include <map>
#include <string>

// ============================================================================
// Types
// ============================================================================

// A seeded generator (SplitMix64): the same seed gives the same cases everywhere.
struct Random {
    uint64_t state;
    uint64_t next() {
        uint64_t z = (state += 0x9E3779B97F4A7C15ull);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        return z ^ (z >> 31);
    }
    uint32_t below(uint32_t n) { return static_cast<uint32_t>(next() % n); }
    template <typename T, size_t N> const T& pick(const T (&items)[N]) { return items[below(N)]; }
};

// What a child run left: its output, its exit code, and whether it had to be stopped.
struct ChildRun {
    std::string output;
    DWORD exit_code;
    bool stopped;
};

// ============================================================================
// Public routines
// ============================================================================

// True for the long sets (TARROWIND_LONG=1).
bool faults_long();
// The mode this process was started in as a child, or null when it is no child.
const char* faults_child_mode();
// In a child: end at once, with the exception's code, when an exception is not handled
// (rather than wait for a debugger), saying so on standard output.
void faults_child_crashes_end_it();
// Run this program again as a child that runs only test (a GoogleTest name) in mode;
// stopped once it has written nothing for timeout_ms.
ChildRun faults_run_child(const char* test, const std::string& mode, DWORD timeout_ms);
// A fresh, empty folder of this process in the temporary folder, with its backslash.
std::string faults_folder(const char* name);
// Remove a folder made by faults_folder with the files in it.
void faults_remove_folder(const std::string& folder);
// Write bytes to a file; false when it could not be written.
bool faults_write(const std::string& path, const std::string& bytes);
// The bytes of a file, empty when it cannot be read.
std::string faults_read(const std::string& path);
// The bytes of an enhanced metafile, which is then deleted.
std::string faults_metafile_bytes(HENHMETAFILE metafile);
// A valid file of a kind, by its extension: "bmp", "ico", "cur", "emf", "gif", "jpg",
// "png", "wav". Empty for an unknown kind.
std::string faults_seed(const std::string& extension);
// The valid set by file name: pictures and waves of every variant (valid-files, written by
// make_valid_files.py before the tests run) and metafiles recorded through GDI.
std::map<std::string, std::string> valid_files();
