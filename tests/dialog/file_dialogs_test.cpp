// The Open and Save As dialogs driven as a user would: a second thread finds the shown
// dialog, types a name into its file name box and presses OK, or presses Cancel.
#include <process.h>

#include <string>

#include "runtime/dialog/dialog.h"
#include "tests/dialog/dialog_test_support.h"

namespace {

using FileDialogs = WindowTest;

// What the helper thread does with the dialog it finds, and what it saw.
struct DialogDriver {
    DWORD thread_id;   // the thread whose dialog to drive
    const char* typed; // the text typed into the file name box; null: press Cancel
    HWND owner_seen;   // the dialog's owner
    bool found;        // a dialog was found within the bound
};

// Enumerates a thread's windows for its visible dialog.
BOOL CALLBACK find_dialog(HWND hwnd, LPARAM found) {
    char name[16] = {};
    ::GetClassNameA(hwnd, name, sizeof(name));
    if (::IsWindowVisible(hwnd) && std::string(name) == "#32770") {
        *reinterpret_cast<HWND*>(found) = hwnd;
        return FALSE;
    }
    return TRUE;
}

// The file name box: a combo box (cmb13) in the dialogs of newer systems, an edit (edt1)
// in older ones.
HWND file_name_box(HWND dialog) {
    HWND box = ::GetDlgItem(dialog, 0x47C);
    return box != nullptr ? box : ::GetDlgItem(dialog, 0x480);
}

unsigned __stdcall drive_dialog(void* data) {
    auto* driver = static_cast<DialogDriver*>(data);
    HWND dialog = nullptr;
    const DWORD start = ::GetTickCount();
    while (::GetTickCount() - start < 30000) {
        ::EnumThreadWindows(driver->thread_id, find_dialog, reinterpret_cast<LPARAM>(&dialog));
        if (dialog != nullptr && (driver->typed == nullptr || file_name_box(dialog))) {
            break;
        }
        dialog = nullptr;
        ::Sleep(50);
    }
    if (dialog == nullptr) {
        return 0;
    }
    driver->found = true;
    driver->owner_seen = ::GetWindow(dialog, GW_OWNER);
    if (driver->typed == nullptr) {
        ::PostMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
        return 0;
    }
    ::SendMessageA(file_name_box(dialog), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(driver->typed));
    ::PostMessageW(dialog, WM_COMMAND, IDOK, 0);
    return 0;
}

// A folder of its own with a few files, removed afterwards.
struct Folder {
    std::string path;
    Folder() : path(temp_file("dialog_folder")) {
        ::CreateDirectoryA(path.c_str(), nullptr);
        for (const char* name : {"a.txt", "b.txt", "c.dat"}) {
            write_file(path + "\\" + name, "x");
        }
    }
    ~Folder() {
        for (const char* name : {"a.txt", "b.txt", "c.dat"}) {
            ::DeleteFileA((path + "\\" + name).c_str());
        }
        ::RemoveDirectoryA(path.c_str());
    }
};

} // namespace

TEST_F(FileDialogs, NamesTypedSeveralChosenAndCancel) {
    WindowRecord& owner = open(10, 10, 300, 200, 0);
    Folder folder;
    const std::string in = folder.path + "\\";
    const char* filters = "Text files|*.txt|All files|*.*";
    struct Case {
        const char* name;
        bool save;
        int32_t several;
        const char* typed; // null: cancelled
        int32_t result;
        std::string chosen;
    } cases[] = {
        {"open one", false, 0, "b.txt", 1, in + "b.txt"},
        {"open several", false, 1, "\"a.txt\" \"c.dat\"", 1, in + "a.txt\n" + in + "c.dat"},
        {"open one of several", false, 1, "c.dat", 1, in + "c.dat"},
        {"open cancelled", false, 0, nullptr, 0, ""},
        {"save typed without extension", true, 0, "saved", 1, in + "saved.txt"},
        {"save cancelled", true, 0, nullptr, 0, ""},
    };
    for (const Case& c : cases) {
        DialogDriver driver = {::GetCurrentThreadId(), c.typed, nullptr, false};
        HANDLE thread = reinterpret_cast<HANDLE>(
            ::_beginthreadex(nullptr, 0, drive_dialog, &driver, 0, nullptr));
        ASSERT_NE(thread, nullptr);
        char* chosen = reinterpret_cast<char*>(1);
        const int32_t result =
            c.save ? choose_file_to_save(&owner, filters, folder.path.c_str(), "", &chosen)
                   : choose_file_to_open(&owner, filters, folder.path.c_str(), c.several, &chosen);
        ::WaitForSingleObject(thread, INFINITE);
        ::CloseHandle(thread);
        EXPECT_TRUE(driver.found) << c.name;
        EXPECT_EQ(driver.owner_seen, owner.hwnd) << c.name;
        EXPECT_EQ(result, c.result) << c.name;
        EXPECT_EQ(chosen != nullptr ? std::string(chosen) : std::string(), c.chosen) << c.name;
        if (c.result != 1) {
            EXPECT_EQ(chosen, nullptr) << c.name;
        }
        heap_free(chosen);
    }
}

TEST_F(FileDialogs, FailuresAreToldFromCancel) {
    // A start name longer than any path: the dialog cannot be made, no window shows.
    const std::string long_name(40000, 'n');
    char* chosen = reinterpret_cast<char*>(1);
    EXPECT_EQ(choose_file_to_save(nullptr, nullptr, nullptr, long_name.c_str(), &chosen), -1);
    EXPECT_EQ(chosen, nullptr);
    EXPECT_EQ(choose_file_to_open(nullptr, nullptr, nullptr, 0, nullptr), -1);
    if (::GetACP() == CP_UTF8) {
        chosen = reinterpret_cast<char*>(1);
        EXPECT_EQ(choose_file_to_open(nullptr, "Bad\xFF|*.*", nullptr, 0, &chosen), -1);
        EXPECT_EQ(chosen, nullptr);
    }
}
