// Settings files: values of every kind surviving a fresh load, missing and damaged files
// giving defaults, a save that fails before its rename leaving the old file whole, and
// the names refused. Each test works in a settings folder of its own process's name in
// the prefix's application-data folder, removed before and after.
#include <shlobj.h>

#include "runtime/core/core_internal.h"
#include "tests/support/launch.h"
#include "tests/support/test_support.h"

#include <sstream>

namespace {

const std::string PROGRAM = "Tarrowind test " + std::to_string(::GetCurrentProcessId());

std::wstring settings_path(const wchar_t* leaf) {
    wchar_t folder[MAX_PATH] = {};
    ::SHGetFolderPathW(nullptr, CSIDL_APPDATA, nullptr, SHGFP_TYPE_CURRENT, folder);
    return std::wstring(folder) + L"\\" + std::wstring(PROGRAM.begin(), PROGRAM.end()) + leaf;
}
const std::wstring FOLDER = settings_path(L""), FILE_PATH = settings_path(L"\\settings.ini"),
                   TEMPORARY = settings_path(
                       (L"\\settings.ini." + std::to_wstring(::GetCurrentProcessId()) + L".tmp")
                           .c_str());

std::string read_bytes(const std::wstring& path) {
    HANDLE file = ::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                0, nullptr);
    std::string bytes(1 << 16, '\0');
    DWORD got = 0;
    if (file == INVALID_HANDLE_VALUE || !::ReadFile(file, bytes.data(), 1 << 16, &got, nullptr)) {
        got = 0;
    }
    ::CloseHandle(file);
    return file == INVALID_HANDLE_VALUE ? "(missing)" : bytes.substr(0, got);
}

void write_bytes(const std::wstring& path, const std::string& bytes) {
    HANDLE file = ::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    DWORD wrote = 0;
    ::WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &wrote, nullptr);
    ::CloseHandle(file);
}

std::string text_of(const Settings& s, const char* name) {
    char* value = settings_get_text(&s, name, "(fallback)");
    std::string copy = value;
    heap_free(value);
    return copy;
}

class SettingsFile : public ::testing::Test {
  protected:
    void SetUp() override { TearDown(); }
    void TearDown() override {
        settings_set_fail_step(SETTINGS_FAIL_NONE);
        settings_release(&s);
        ::DeleteFileW(FILE_PATH.c_str());
        ::RemoveDirectoryW(TEMPORARY.c_str());
        ::DeleteFileW(TEMPORARY.c_str());
        ::RemoveDirectoryW(FOLDER.c_str());
    }
    Settings s = {};
};

const struct {
    const char* name;
    const char* value;
} TEXTS[] = {
    {"folder", "C:\\Users\\Zoë\\文档\\"},
    {"scripts", "Привет Καλημέρα مرحبا नमस्ते שלום 😀"},
    {"lines", "first\nsecond\r\nthird \\n \\\\ end\r"},
    {"empty", ""},
    {"equals", "a=b=[end]"},
    {"bytes", "\xFF\xC3("}, // kept as they are, well formed or not
    {"x123456789012345678901234567890123456789012345678901234567890.-_", "64"},
};

TEST_F(SettingsFile, ValuesSurviveAFreshLoad) {
    EXPECT_EQ(settings_load(&s, PROGRAM.c_str()), 0); // no file yet: the fallbacks
    EXPECT_EQ(settings_get_number(&s, "width", 640), 640);
    EXPECT_EQ(text_of(s, "folder"), "(fallback)");
    EXPECT_EQ(settings_get_text(&s, "folder", nullptr), nullptr);

    ASSERT_EQ(settings_set_text(&s, "folder", "replaced below"), 1);
    for (const auto& t : TEXTS) {
        ASSERT_EQ(settings_set_text(&s, t.name, t.value), 1) << t.name;
    }
    ASSERT_EQ(settings_set_number(&s, "low", INT32_MIN), 1);
    ASSERT_EQ(settings_set_number(&s, "high", INT32_MAX), 1);
    ASSERT_EQ(settings_set_text(&s, "gone", "soon"), 1);
    ASSERT_EQ(settings_set_text(&s, "gone", nullptr), 1);
    ASSERT_EQ(settings_save(&s), 1);
    EXPECT_EQ(read_bytes(TEMPORARY), "(missing)");

    Settings fresh = {};
    ASSERT_EQ(settings_load(&fresh, PROGRAM.c_str()), 1);
    for (const auto& t : TEXTS) {
        EXPECT_EQ(text_of(fresh, t.name), t.value) << t.name;
    }
    EXPECT_EQ(settings_get_number(&fresh, "low", 0), INT32_MIN);
    EXPECT_EQ(settings_get_number(&fresh, "high", 0), INT32_MAX);
    EXPECT_EQ(text_of(fresh, "gone"), "(fallback)");
    EXPECT_EQ(fresh.count, static_cast<int32_t>(std::size(TEXTS)) + 2);
    // Loading a loaded record releases it first.
    ASSERT_EQ(settings_load(&fresh, PROGRAM.c_str()), 1);
    EXPECT_EQ(fresh.count, static_cast<int32_t>(std::size(TEXTS)) + 2);
    settings_release(&fresh);
    EXPECT_EQ(fresh.entries, nullptr);

    // Values that are no whole number give the fallback.
    for (const char* text : {"12x", "", "-", "+5", " 5", "1.0", "2147483648", "-2147483649"}) {
        settings_set_text(&s, "n", text);
        EXPECT_EQ(settings_get_number(&s, "n", 7), 7) << text;
    }
}

// The record's values in the order first set: "name=value|...".
std::string values_of(const Settings& s) {
    std::string text;
    for (int32_t i = 0; i < s.count; ++i) {
        if (s.entries[i].value != nullptr) {
            text.append(text.empty() ? "" : "|").append(s.entries[i].name).append("=");
            text.append(s.entries[i].value);
        }
    }
    return text;
}

std::string first_report; // the first debugger output text since it was emptied

// Each kind of file: what a load reads and reports, and that a save keeps a damaged file
// beside the new one, whole, with the good values carried over.
TEST_F(SettingsFile, EveryGoodLineIsReadAndADamagedFileIsKept) {
    std::string nul = "[settings]\r\nname=va";
    nul += '\0';
    nul += "lue\r\nother=2\r\n[end]\r\n";
    const struct {
        const char* what;
        std::string bytes;
        int32_t state;
        const char* values;
        int32_t bad_line; // named on the debugger output; 0: none
    } files[] = {
        {"whole", "[settings]\r\nname=value\r\nother=line\\nend\r\n[end]\r\n", SETTINGS_READ,
         "name=value|other=line\nend", 0},
        {"as editors leave it", "\xEF\xBB\xBF[settings]\n; note\n\nname=1\nname=2\n[end]\n\r\n\n",
         SETTINGS_READ, "name=2", 0},
        {"a comment above the header", "; mine\r\n\r\n[settings]\r\na=1\r\n[end]\r\n",
         SETTINGS_READ, "a=1", 0},
        {"an unknown escape", "[settings]\r\na=1\r\nname=\\t\r\nb=2\r\n[end]\r\n", SETTINGS_DAMAGED,
         "a=1|b=2", 3},
        {"a bad name", "[settings]\r\nbad name=1\r\nb=2\r\n[end]\r\n", SETTINGS_DAMAGED, "b=2", 2},
        {"a bare CR", "[settings]\r\nname=a\rb\r\nc=3\r\n[end]\r\n", SETTINGS_DAMAGED, "c=3", 2},
        {"a NUL byte", nul, SETTINGS_DAMAGED, "other=2", 2},
        {"text after the end line", "[settings]\r\na=1\r\n[end]\r\nb=2\r\n", SETTINGS_DAMAGED,
         "a=1|b=2", 4},
        {"cut inside a line", "[settings]\r\na=1\r\nb=val", SETTINGS_DAMAGED, "a=1", 3},
        {"no first line", "a=1\r\n[end]\r\n", SETTINGS_DAMAGED, "a=1", 1},
        {"rubbish", "garbage: no settings at all", SETTINGS_DAMAGED, "", 1},
    };
    debug_message_set_listener(
        [](const char* text) { first_report = first_report.empty() ? text : first_report; });
    ::CreateDirectoryW(FOLDER.c_str(), nullptr);
    const std::wstring kept = settings_path(L"\\settings.ini.bad");
    for (const auto& f : files) {
        write_bytes(FILE_PATH, f.bytes);
        first_report.clear();
        EXPECT_EQ(settings_load(&s, PROGRAM.c_str()), f.state) << f.what;
        EXPECT_EQ(values_of(s), f.values) << f.what;
        const std::string line = " line " + std::to_string(f.bad_line) + ": ";
        EXPECT_TRUE(f.bad_line == 0 ? first_report.empty()
                                    : first_report.find(line) != std::string::npos)
            << f.what << ": " << first_report;
        ASSERT_EQ(settings_save(&s), 1) << f.what;
        EXPECT_EQ(read_bytes(kept), f.state == SETTINGS_DAMAGED ? f.bytes : "(missing)") << f.what;
        EXPECT_EQ(settings_load(&s, PROGRAM.c_str()), SETTINGS_READ) << f.what;
        EXPECT_EQ(values_of(s), f.values) << f.what;
        ::DeleteFileW(kept.c_str());
    }
    debug_message_set_listener(nullptr);

    // Cut short anywhere before its end line: never a value cut with it.
    const std::string whole = files[0].bytes;
    for (size_t cut = 0; cut + 2 < whole.size(); ++cut) {
        write_bytes(FILE_PATH, whole.substr(0, cut));
        EXPECT_EQ(settings_load(&s, PROGRAM.c_str()), SETTINGS_DAMAGED) << cut;
        for (const char* name : {"name", "other"}) {
            const std::string value = text_of(s, name);
            EXPECT_TRUE(value == "(fallback)" || value == (*name == 'n' ? "value" : "line\nend"))
                << cut << " " << name << "=" << value;
        }
    }
    // A second damaged file is kept under the next name; one too large is read as damaged.
    const std::wstring second = settings_path(L"\\settings.ini.2.bad");
    for (const std::string& bytes :
         {std::string("rubbish"), "[settings]\r\nname=" + std::string(SETTINGS_FILE_MAX, 'x')}) {
        write_bytes(FILE_PATH, bytes);
        EXPECT_EQ(settings_load(&s, PROGRAM.c_str()), SETTINGS_DAMAGED);
        EXPECT_EQ(settings_save(&s), 1);
    }
    EXPECT_EQ(read_bytes(kept), "rubbish");
    EXPECT_NE(::GetFileAttributesW(second.c_str()), INVALID_FILE_ATTRIBUTES);
    ::DeleteFileW(kept.c_str());
    ::DeleteFileW(second.c_str());
}

// A file another program holds without sharing for longer than a load waits gives
// SETTINGS_UNREADABLE, and a save from that record leaves the file as it was.
TEST_F(SettingsFile, AFileHeldByAnotherProgramIsNeverReplaced) {
    settings_load(&s, PROGRAM.c_str());
    settings_set_text(&s, "name", "theirs");
    ASSERT_EQ(settings_save(&s), 1);
    const std::string old = read_bytes(FILE_PATH);
    HANDLE held =
        ::CreateFileW(FILE_PATH.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    first_report.clear();
    debug_message_set_listener([](const char* text) { first_report = text; });
    EXPECT_EQ(settings_load(&s, PROGRAM.c_str()), SETTINGS_UNREADABLE);
    debug_message_set_listener(nullptr);
    EXPECT_NE(first_report.find("could not be read (error 32)"), std::string::npos) << first_report;
    EXPECT_EQ(s.count, 0);
    settings_set_text(&s, "name", "ours");
    ::CloseHandle(held);
    EXPECT_EQ(settings_save(&s), 0); // even once the file is free again
    EXPECT_EQ(read_bytes(FILE_PATH), old);
    EXPECT_EQ(read_bytes(TEMPORARY), "(missing)");
    EXPECT_EQ(settings_load(&s, PROGRAM.c_str()), SETTINGS_READ);
    EXPECT_EQ(text_of(s, "name"), "theirs");
}

// Saves and loads of other processes at the same moment: every save and load succeeds,
// each waiting its turn (a save tried once failed 7 to 19 times in 200).
TEST_F(SettingsFile, SavesAndLoadsOfOtherProcessesWaitTheirTurn) {
    settings_load(&s, PROGRAM.c_str());
    settings_set_text(&s, "name", "value");
    ASSERT_EQ(settings_save(&s), 1);
    for (const char* mode : {"load", "save"}) {
        ChildProcess child;
        ASSERT_TRUE(launch_start(launch_own_folder(), "settings_child.exe",
                                 "\"" + PROGRAM + "\" " + mode + " 200", 0, &child));
        int32_t saves = 0, failed = 0;
        const DWORD start = ::GetTickCount();
        while (::WaitForSingleObject(child.info.hProcess, 0) == WAIT_TIMEOUT &&
               ::GetTickCount() - start < 120000) {
            settings_set_number(&s, "saves", saves++);
            failed += settings_save(&s) == 1 ? 0 : 1;
        }
        EXPECT_EQ(launch_end(child, 0), 0) << mode << ": the child's failures";
        EXPECT_EQ(failed, 0) << mode << ": of " << saves << " saves here";
        EXPECT_GT(saves, 0) << mode;
    }
}

TEST_F(SettingsFile, ASaveThatFailsBeforeTheRenameKeepsTheOldFile) {
    settings_load(&s, PROGRAM.c_str());
    settings_set_text(&s, "name", "old");
    ASSERT_EQ(settings_save(&s), 1);
    const std::string old = read_bytes(FILE_PATH);
    settings_set_text(&s, "name", std::string(100000, 'n').c_str());
    for (SettingsFailStep step :
         {SETTINGS_FAIL_CREATE, SETTINGS_FAIL_WRITE, SETTINGS_FAIL_FLUSH, SETTINGS_FAIL_RENAME}) {
        settings_set_fail_step(step);
        EXPECT_EQ(settings_save(&s), 0) << step;
        EXPECT_EQ(read_bytes(FILE_PATH), old) << step;
        EXPECT_EQ(read_bytes(TEMPORARY), "(missing)") << step;
    }
    settings_set_fail_step(SETTINGS_FAIL_NONE);
    // A real refusal: a folder stands where the temporary file would be made.
    ASSERT_TRUE(::CreateDirectoryW(TEMPORARY.c_str(), nullptr));
    EXPECT_EQ(settings_save(&s), 0);
    EXPECT_EQ(read_bytes(FILE_PATH), old);
    ::RemoveDirectoryW(TEMPORARY.c_str());
    EXPECT_EQ(settings_save(&s), 1);
    EXPECT_NE(read_bytes(FILE_PATH), old);
}

TEST_F(SettingsFile, NamesAreRefused) {
    settings_load(&s, PROGRAM.c_str());
    const std::string longest(SETTINGS_NAME_MAX, 'n');
    EXPECT_EQ(settings_set_text(&s, longest.c_str(), "v"), 1);
    for (const std::string& name :
         {longest + "n", std::string(), std::string("a b"), std::string("a=b"), std::string("Zoë"),
          std::string("a\n"), std::string("[end]"), std::string(";x")}) {
        EXPECT_EQ(settings_set_text(&s, name.c_str(), "v"), 0) << name;
        EXPECT_EQ(settings_set_number(&s, name.c_str(), 1), 0) << name;
    }
    EXPECT_EQ(settings_set_text(&s, nullptr, "v"), 0);
    EXPECT_EQ(settings_set_text(nullptr, "name", "v"), 0);
    EXPECT_EQ(s.count, 1);

    // Program names become a folder: nothing that leaves it, hides it or names a device.
    for (const std::string& program :
         {std::string(), std::string(".."), std::string(".hidden"), std::string("end."),
          std::string(" lead"), std::string("a/b"), std::string("a\\b"), std::string("a:b"),
          std::string("CON"), std::string("nul.txt"), std::string("com1"), std::string("LPT9"),
          std::string("Aux .log"), std::string("prn.Con Man"), std::string("Zoë"),
          std::string(SETTINGS_NAME_MAX + 1, 'p')}) {
        EXPECT_EQ(settings_load(&s, program.c_str()), 0) << program;
        EXPECT_EQ(s.program, nullptr) << program;
        settings_set_text(&s, "name", "v");
        EXPECT_EQ(settings_save(&s), 0) << program;
    }
    EXPECT_EQ(settings_load(&s, nullptr), 0);
    EXPECT_EQ(settings_load(nullptr, PROGRAM.c_str()), 0);
    EXPECT_EQ(settings_save(nullptr), 0);
    EXPECT_EQ(::GetFileAttributesW(FOLDER.c_str()), INVALID_FILE_ATTRIBUTES); // none made

    // Longer names that start with a device's name are folders like any other.
    for (const char* program :
         {"Con Man", "Aux Mixer", "Nul Points", "COM1 Monitor", "LPT1 Spooler"}) {
        EXPECT_EQ(settings_load(&s, program), SETTINGS_NO_FILE) << program;
        settings_set_text(&s, "name", program);
        EXPECT_EQ(settings_save(&s), 1) << program;
        EXPECT_EQ(settings_load(&s, program), SETTINGS_READ) << program;
        EXPECT_EQ(text_of(s, "name"), program);
        wchar_t folder[MAX_PATH] = {};
        ::SHGetFolderPathW(nullptr, CSIDL_APPDATA, nullptr, SHGFP_TYPE_CURRENT, folder);
        const std::wstring path =
            std::wstring(folder) + L"\\" + std::wstring(program, program + std::strlen(program));
        EXPECT_TRUE(::DeleteFileW((path + L"\\settings.ini").c_str())) << program;
        EXPECT_TRUE(::RemoveDirectoryW(path.c_str())) << program;
    }
}

// Removed names and their entries compacted away: what is left is found and changed as
// itself ("-name" removes).
TEST_F(SettingsFile, RemovalsKeepTheRestInPlace) {
    const struct {
        const char* steps;
        const char* lines;
    } sequences[] = {
        {"a=1 b=2 c=3 d=4 e=5 f=6 g=7 h=8 -b -c -d -e -f g=new i=9 -h", "a=1|g=new|i=9"},
        {"a=1 b=2 c=3 -a -b -c b=4 c=5", "b=4|c=5"},
        {"a=1 b=2 -a a=3 -b -a b=6 a=7", "b=6|a=7"},
    };
    for (const auto& q : sequences) {
        settings_release(&s);
        std::istringstream steps(q.steps);
        for (std::string step; steps >> step;) {
            const size_t equals = step.find('=');
            if (step[0] == '-') {
                settings_set_text(&s, step.c_str() + 1, nullptr);
            } else {
                settings_set_text(&s, step.substr(0, equals).c_str(), step.c_str() + equals + 1);
            }
        }
        EXPECT_EQ(values_of(s), q.lines) << q.steps;
    }
}

// A file of a hundred thousand values: they load, are read, changed and removed, and saved
// and loaded again, in a time that grows with their number, not with its square (a search
// through every value for each line took about 45 s to load them alone).
TEST_F(SettingsFile, ManyValuesLoadAndChangeQuickly) {
    constexpr int32_t VALUES = 100000;
    std::string text = "[settings]\r\n";
    for (int32_t i = 0; i < VALUES; ++i) {
        text += "value." + std::to_string(i) + "=" + std::to_string(i) + "\r\n";
    }
    ::CreateDirectoryW(FOLDER.c_str(), nullptr);
    write_bytes(FILE_PATH, text + "value.7=last\r\n[end]\r\n"); // the last of a name holds
    const DWORD start = ::GetTickCount();
    ASSERT_EQ(settings_load(&s, PROGRAM.c_str()), 1);
    int32_t wrong = 0;
    for (int32_t i = 0; i < VALUES; ++i) {
        const std::string name = "value." + std::to_string(i);
        wrong += settings_get_number(&s, name.c_str(), -1) != (i == 7 ? -1 : i);
        settings_set_number(&s, name.c_str(), -i);
        settings_set_number(&s, ("new." + std::to_string(i)).c_str(), i);
        if (i % 2 == 1) {
            settings_set_text(&s, name.c_str(), nullptr);
        }
    }
    ASSERT_EQ(settings_save(&s), 1);
    ASSERT_EQ(settings_load(&s, PROGRAM.c_str()), 1);
    const DWORD elapsed = ::GetTickCount() - start;
    EXPECT_EQ(wrong, 0);
    EXPECT_EQ(s.count, VALUES + VALUES / 2);
    EXPECT_EQ(text_of(s, "value.7"), "(fallback)");
    EXPECT_EQ(settings_get_number(&s, "value.8", 0), -8);
    EXPECT_EQ(settings_get_number(&s, "new.99999", 0), 99999);
    EXPECT_LT(elapsed, 15000u); // about 1 s on a loaded machine
}

// A save deletes the temporary files of saves whose process ended before they were renamed
// (whether or not anything still holds the ended process), and keeps those of running
// processes and other files of the folder.
TEST_F(SettingsFile, ASaveDeletesTheTemporaryFilesOfEndedSaves) {
    ChildProcess gone, ended, running;
    for (ChildProcess* child : {&gone, &ended}) {
        ASSERT_TRUE(launch_start(launch_own_folder(), "core_child.exe", "", 0, child));
        ASSERT_EQ(::WaitForSingleObject(child->info.hProcess, 30000), WAIT_OBJECT_0);
    }
    const std::wstring gone_id = std::to_wstring(gone.info.dwProcessId);
    launch_end(gone, 0); // no handle of it is left
    ASSERT_TRUE(
        launch_start(launch_own_folder(), "core_child.exe", "", LAUNCH_SUSPENDED, &running));
    const struct {
        std::wstring middle; // settings.ini.<middle>.tmp
        bool deleted;
    } temporaries[] = {
        {gone_id, true},
        {std::to_wstring(ended.info.dwProcessId), true},
        {L"4294967292", true}, // no process has that number
        {std::to_wstring(running.info.dwProcessId), false},
        {L"old", false},
        {L"99999999999", false},
    };
    ::CreateDirectoryW(FOLDER.c_str(), nullptr);
    for (const auto& t : temporaries) {
        write_bytes(settings_path((L"\\settings.ini." + t.middle + L".tmp").c_str()),
                    "[settings]\r\nname=cut sh");
    }
    settings_load(&s, PROGRAM.c_str());
    settings_set_text(&s, "name", "value");
    EXPECT_EQ(settings_save(&s), 1);
    for (const auto& t : temporaries) {
        const std::wstring path = settings_path((L"\\settings.ini." + t.middle + L".tmp").c_str());
        EXPECT_EQ(read_bytes(path), t.deleted ? "(missing)" : "[settings]\r\nname=cut sh")
            << std::string(t.middle.begin(), t.middle.end());
        ::DeleteFileW(path.c_str());
    }
    launch_end(running, 0);
    launch_end(ended, 0);
}

} // namespace
