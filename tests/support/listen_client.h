// Recording what the sound server plays, from a Windows program under Wine: starts
// tests/support/listen.py (copied beside the programs in bin/) as a Unix program, waits until it
// records, and after the sounds reads which of the game's sounds it heard and for how long.
// Relies on KERNEL32 only, on launch.h and on Wine starting Unix programs through
// CreateProcess; the files go to bin/recordings/. Used by the sound tests and the end-to-end
// driver.
#pragma once

#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "tests/support/launch.h"

// ============================================================================
// Types
// ============================================================================

// One sound found in a recording (all times in milliseconds).
struct HeardSound {
    std::string name; // the wave file's name without ".wav", or "?" for an unknown sound
    double start;     // where it starts in the recording
    double reached;   // how far into the file playback got (length when played to its end)
    double length;    // the file's own length
    double heard;     // how much of it was heard sample for sample
    double gap;       // silence that interrupted it
};

// One recording in progress.
struct Listening {
    std::string folder; // bin/, with a trailing backslash
    std::string stem;   // recordings/NAME, relative to folder, with forward slashes
    bool running = false;
};

// ============================================================================
// Routines
// ============================================================================

namespace listen_detail {

inline bool file_exists(const std::string& path) {
    return ::GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

inline std::string windows_path(const std::string& folder, const std::string& relative) {
    std::string path = folder + relative;
    for (char& c : path) {
        c = c == '/' ? '\\' : c;
    }
    return path;
}

inline bool wait_for_file(const std::string& path, DWORD timeout_ms) {
    DWORD start = ::GetTickCount();
    while (!file_exists(path)) {
        if (::GetTickCount() - start > timeout_ms) {
            return false;
        }
        ::Sleep(20);
    }
    return true;
}

} // namespace listen_detail

// True when sound can be recorded here: under Wine, with a sound server given.
inline bool listen_available(std::string& why) {
    if (::GetProcAddress(::GetModuleHandleA("ntdll.dll"), "wine_get_version") == nullptr) {
        why = "not under Wine: the recorder is a Unix program";
        return false;
    }
    char server[512] = {};
    if (::GetEnvironmentVariableA("PULSE_SERVER", server, sizeof server) == 0) {
        why = "no sound server (PULSE_SERVER is not set; ./test starts one)";
        return false;
    }
    if (!listen_detail::file_exists(launch_own_folder() + "listen.py")) {
        why = "listen.py is not beside the program";
        return false;
    }
    return true;
}

// Starts recording; name makes the files' names (recordings/NAME.*). Waits until the
// recorder runs; false with the reason when it did not start within 20 s.
inline bool listen_start(Listening& listening, const std::string& name, std::string& why) {
    using namespace listen_detail;
    listening.folder = launch_own_folder();
    listening.stem = "recordings/" + name;
    listening.running = false;
    ::CreateDirectoryA((listening.folder + "recordings").c_str(), nullptr);
    for (const char* ending : {".txt", ".ready", ".stop", ".txt.wav", ".sounding"}) {
        ::DeleteFileA(windows_path(listening.folder, listening.stem + ending).c_str());
    }
    const std::string arguments = "watch " + listening.stem +
                                  ".txt sound/shoot.wav sound/ggdeath.wav sound/bgdeath.wav "
                                  "--ready " +
                                  listening.stem + ".ready --stop " + listening.stem +
                                  ".stop --sounding " + listening.stem + ".sounding --seconds 120";
    // NOTE: Wine starts a Unix program here without giving a process handle back, so
    // the recorder is followed through its files alone.
    ChildProcess recorder;
    if (!launch_start(listening.folder, "listen.py", arguments, 0, &recorder)) {
        why = "listen.py could not be started";
        return false;
    }
    if (recorder.info.hProcess != nullptr) {
        ::CloseHandle(recorder.info.hProcess);
    }
    if (recorder.info.hThread != nullptr) {
        ::CloseHandle(recorder.info.hThread);
    }
    if (!wait_for_file(windows_path(listening.folder, listening.stem + ".ready"), 20000)) {
        // Whatever started stops at its time limit, or at once on the stop file.
        std::FILE* stop =
            std::fopen(windows_path(listening.folder, listening.stem + ".stop").c_str(), "w");
        if (stop != nullptr) {
            std::fclose(stop);
        }
        why = "the recorder did not start within 20 s";
        return false;
    }
    listening.running = true;
    return true;
}

// Waits until the recording has held sound for more than ms milliseconds since the first
// sound in it was heard; false when it has not within timeout_ms.
inline bool listen_wait_sounding(const Listening& listening, double ms, DWORD timeout_ms) {
    const std::string path =
        listen_detail::windows_path(listening.folder, listening.stem + ".sounding");
    for (DWORD start = ::GetTickCount(); ::GetTickCount() - start <= timeout_ms; ::Sleep(10)) {
        std::FILE* file = std::fopen(path.c_str(), "r");
        double sounding = 0;
        const bool read = file != nullptr && std::fscanf(file, "%lf", &sounding) == 1;
        if (file != nullptr) {
            std::fclose(file);
        }
        if (read && sounding > ms) {
            return true;
        }
    }
    return false;
}

// Stops recording and reads what was heard, in order; false with the reason.
inline bool listen_stop(Listening& listening, std::vector<HeardSound>& heard, std::string& why) {
    using namespace listen_detail;
    heard.clear();
    if (!listening.running) {
        why = "not recording";
        return false;
    }
    listening.running = false;
    std::FILE* stop =
        std::fopen(windows_path(listening.folder, listening.stem + ".stop").c_str(), "w");
    if (stop != nullptr) {
        std::fclose(stop);
    }
    const std::string report = windows_path(listening.folder, listening.stem + ".txt");
    if (!wait_for_file(report, 60000)) {
        why = "no report from the recorder within 60 s";
        return false;
    }
    std::FILE* file = std::fopen(report.c_str(), "r");
    if (file == nullptr) {
        why = "the report could not be read";
        return false;
    }
    char text[256];
    bool ok = true;
    while (std::fgets(text, sizeof text, file) != nullptr) {
        char name[64] = {};
        HeardSound sound{};
        if (std::strncmp(text, "error ", 6) == 0) {
            why = std::string("the recorder failed: ") + (text + 6);
            ok = false;
        } else if (text[0] == '?' &&
                   std::sscanf(text, "? %lf %lf", &sound.start, &sound.reached) == 2) {
            sound.name.assign(1, '?');
            heard.push_back(sound);
        } else if (std::sscanf(text, "%63s %lf %lf %lf %lf %lf", name, &sound.start, &sound.reached,
                               &sound.length, &sound.heard, &sound.gap) == 6) {
            sound.name = name;
            heard.push_back(sound);
        }
    }
    std::fclose(file);
    return ok;
}

// True when the sound played to its end: reached its last 10 ms (a player may drop a few),
// and at least 80 % of it was heard sample for sample (a busy machine inserts gaps, and
// the edges of each gap are lost).
inline bool played_whole(const HeardSound& sound) {
    return sound.name != "?" && sound.reached >= sound.length - 10.0 &&
           sound.heard >= 0.8 * sound.length;
}

// The sounds as text for messages: "shoot 120/120 ms at 1200, ...", or "silence".
inline std::string heard_text(const std::vector<HeardSound>& heard) {
    if (heard.empty()) {
        return "silence";
    }
    std::string text;
    for (const HeardSound& sound : heard) {
        char part[128];
        std::snprintf(part, sizeof part, "%s%s %.0f/%.0f ms (%.0f exact) at %.0f",
                      text.empty() ? "" : ", ", sound.name.c_str(), sound.reached, sound.length,
                      sound.heard, sound.start);
        text += part;
    }
    return text;
}
