// Settings files: values of every kind surviving a fresh load, missing and damaged files
// giving defaults, a save that fails before its rename leaving the old file whole, and
// the names refused. Each test works in a settings folder of its own process's name in
// the prefix's application-data folder, removed before and after.
#include <shlobj.h>

#include "runtime/core/core_internal.h"
#include "tests/support/test_support.h"

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

TEST_F(SettingsFile, MissingOrDamagedFilesGiveNoValues) {
    settings_load(&s, PROGRAM.c_str());
    settings_set_text(&s, "name", "value");
    settings_set_text(&s, "other", "line\nend");
    ASSERT_EQ(settings_save(&s), 1);
    const std::string good = read_bytes(FILE_PATH);
    ASSERT_EQ(good, "[settings]\r\nname=value\r\nother=line\\nend\r\n[end]\r\n");

    std::string binary = "[settings]\r\nname=va";
    binary += '\0';
    binary += "lue\r\n[end]\r\n";
    std::vector<std::string> damaged = {
        "garbage: no settings at all",
        binary,
        "[settings]\r\nname=\\t\r\n[end]\r\n",  // an unknown escape
        "[settings]\r\nname=a\rb\r\n[end]\r\n", // a bare CR
        "[settings]\r\nbad name=1\r\n[end]\r\n",
        "[settings]\r\nno value\r\n[end]\r\n",
        good + "more",
        "[settings]\r\nname=" + std::string(SETTINGS_FILE_MAX, 'x') + "\r\n[end]\r\n", // too large
    };
    for (size_t cut = 0; cut < good.size(); ++cut) {
        damaged.push_back(good.substr(0, cut)); // cut short anywhere
    }
    for (const std::string& bytes : damaged) {
        write_bytes(FILE_PATH, bytes);
        EXPECT_EQ(settings_load(&s, PROGRAM.c_str()), 0) << bytes.substr(0, 60);
        EXPECT_EQ(s.count, 0) << bytes.substr(0, 60);
        EXPECT_EQ(text_of(s, "name"), "(fallback)");
    }
    // What editors do to a file is read: a byte-order mark, LF line ends, blank and
    // comment lines, a name given twice (the last holds).
    write_bytes(FILE_PATH, "\xEF\xBB\xBF[settings]\n; note\n\nname=first\nname=last\n[end]\n");
    EXPECT_EQ(settings_load(&s, PROGRAM.c_str()), 1);
    EXPECT_EQ(text_of(s, "name"), "last");
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
          std::string("Zoë"), std::string(SETTINGS_NAME_MAX + 1, 'p')}) {
        EXPECT_EQ(settings_load(&s, program.c_str()), 0) << program;
        EXPECT_EQ(s.program, nullptr) << program;
        settings_set_text(&s, "name", "v");
        EXPECT_EQ(settings_save(&s), 0) << program;
    }
    EXPECT_EQ(settings_load(&s, nullptr), 0);
    EXPECT_EQ(settings_load(nullptr, PROGRAM.c_str()), 0);
    EXPECT_EQ(settings_save(nullptr), 0);
    EXPECT_EQ(::GetFileAttributesW(FOLDER.c_str()), INVALID_FILE_ATTRIBUTES); // none made
}

} // namespace
