// Text in every script through every routine family that takes or gives a char*: the same
// texts (five scripts and one string of ill-formed bytes) go in through the runtime and are
// read back through the platform's UTF-16 side (window, menu, box and control texts, a
// file's name on disk) and through the runtime's own readers. This program, like every
// program built with the runtime's package, runs with UTF-8 as its ANSI code page.
#include <gtest/gtest.h>

#include <string>

#include "runtime/draw/draw.h"
#include "runtime/draw/draw_internal.h"
#include "tests/dialog/dialog_test_support.h"

#include <mmsystem.h>

#include "tests/text/text_test_support.h"

namespace {

// A text as the program writes it (UTF-8) and as the platform must hold it.
struct Sample {
    const char* name;
    const char* text;
    const wchar_t* wide;
};

// Each ill-formed piece is one U+FFFD: a byte that starts nothing (FF), a sequence cut off
// by the next character (C3, E6 B0) and a surrogate's encoding (ED A0 80: three pieces).
const Sample SAMPLES[] = {
    {"Greek", "Καλημέρα κόσμε", L"Καλημέρα κόσμε"},
    {"Cyrillic", "Привет, мир", L"Привет, мир"},
    {"Chinese", "你好，世界", L"你好，世界"},
    {"Arabic with digits", "مرحبا 123 عالم", L"مرحبا 123 عالم"},
    {"emoji", "🙂 ok 🎉", L"🙂 ok 🎉"},
    {"ill-formed bytes",
     "a\xFF"
     "b\xC3"
     "c\xE6\xB0"
     "d\xED\xA0\x80"
     "e",
     L"a\xFFFD"
     L"b\xFFFD"
     L"c\xFFFD"
     L"d\xFFFD\xFFFD\xFFFD"
     L"e"},
};

std::wstring text_of(HWND window) {
    wchar_t text[256] = {};
    ::GetWindowTextW(window, text, 256);
    return text;
}

// The message box on screen: its text and caption, read by a timer inside its loop.
struct BoxSeen {
    std::wstring text, caption;
};
BoxSeen box_seen;

BOOL CALLBACK read_box(HWND window, LPARAM found) {
    wchar_t name[16] = {};
    ::GetClassNameW(window, name, 16);
    if (std::wstring(name) != L"#32770" || !::IsWindowVisible(window)) {
        return TRUE;
    }
    box_seen.caption = text_of(window);
    box_seen.text = text_of(::GetDlgItem(window, 0xFFFF));
    ::PostMessageW(window, WM_COMMAND, IDOK, 0);
    *reinterpret_cast<bool*>(found) = true;
    return FALSE;
}

void CALLBACK box_timer(HWND, UINT, UINT_PTR id, DWORD) {
    bool found = false;
    ::EnumThreadWindows(::GetCurrentThreadId(), read_box, reinterpret_cast<LPARAM>(&found));
    if (found) {
        ::KillTimer(nullptr, id);
    }
}

// A file of a sample's name in a fresh folder, holding a copy of a file of the build.
struct NamedFile {
    std::wstring wide; // its path, as the platform names it
    std::string path;  // the same path as the program passes it
};
NamedFile copy_named(const Sample& s, const wchar_t* source, const wchar_t* extension) {
    NamedFile f;
    f.wide = temp_folder() + L"tarrowind-scripts\\";
    ::CreateDirectoryW(f.wide.c_str(), nullptr);
    f.wide += std::wstring(s.wide) + extension;
    ::CopyFileW(source, f.wide.c_str(), FALSE);
    f.path = utf8_of(f.wide.c_str());
    return f;
}

class ScriptsTest : public DialogTest {};

TEST_F(ScriptsTest, TheProgramRunsInUtf8) {
    EXPECT_EQ(::GetACP(), static_cast<UINT>(CP_UTF8));
}

TEST_F(ScriptsTest, WindowCaptionsAndMenus) {
    for (const Sample& s : SAMPLES) {
        SCOPED_TRACE(s.name);
        WindowRecord window = {};
        ASSERT_EQ(open_window(&window, 0, 0, 300, 200, 0, nullptr, s.text, nullptr), 1);
        EXPECT_EQ(text_of(window.hwnd), s.wide) << "open_window";
        set_window_caption(&window, s.text);
        EXPECT_EQ(text_of(window.hwnd), s.wide) << "set_window_caption";
        close_window(&window);

        HMENU menu = create_menu(1);
        append_menu_item(menu, s.text, MF_STRING, 7);
        insert_menu_item(menu, 0, s.text, MF_STRING, 8);
        for (UINT id : {7u, 8u}) {
            wchar_t item[256] = {};
            ::GetMenuStringW(menu, id, item, 256, MF_BYCOMMAND);
            EXPECT_EQ(std::wstring(item), s.wide) << "menu item " << id;
        }
        ::DestroyMenu(menu);
    }
}

TEST_F(ScriptsTest, MessageBoxes) {
    for (const Sample& s : SAMPLES) {
        SCOPED_TRACE(s.name);
        box_seen = BoxSeen{};
        const UINT_PTR timer = ::SetTimer(nullptr, 0, 20, box_timer);
        EXPECT_EQ(message_box(nullptr, s.text, s.text, MB_OK), IDOK);
        ::KillTimer(nullptr, timer);
        EXPECT_EQ(box_seen.text, s.wide);
        EXPECT_EQ(box_seen.caption, s.wide);
    }
}

TEST_F(ScriptsTest, ControlsOnAWindow) {
    WindowRecord& window = open(0, 0, 400, 300, WF_NO_BACKING);
    constexpr int32_t EDIT = 1, LABEL = 2, LIST = 3, COMBO = 4, STATUS = 5;
    for (const Sample& s : SAMPLES) {
        SCOPED_TRACE(s.name);
        ASSERT_EQ(control_create(&window, CONTROL_EDIT, EDIT, 5, 5, 300, 20, s.text, 0), 1);
        ASSERT_EQ(control_create(&window, CONTROL_LABEL, LABEL, 5, 30, 300, 20, "", 0), 1);
        ASSERT_EQ(control_create(&window, CONTROL_LIST_BOX, LIST, 5, 55, 300, 60, s.text, 0), 1);
        ASSERT_EQ(control_create(&window, CONTROL_COMBO_BOX, COMBO, 5, 120, 300, 80, "", 0), 1);
        ASSERT_EQ(control_create(&window, CONTROL_STATUS_BAR, STATUS, 0, 0, 0, 0, "", 0), 1);
        control_set_text(&window, LABEL, s.text);
        control_set_text(&window, STATUS, s.text);
        control_list_add(&window, COMBO, s.text);
        EXPECT_EQ(text_of(::GetDlgItem(window.hwnd, EDIT)), s.wide) << "edit";
        EXPECT_EQ(text_of(::GetDlgItem(window.hwnd, LABEL)), s.wide) << "label";
        EXPECT_EQ(text_of(::GetDlgItem(window.hwnd, STATUS)), s.wide) << "status bar";
        wchar_t item[256] = {};
        ::SendMessageW(::GetDlgItem(window.hwnd, LIST), LB_GETTEXT, 0, LPARAM(item));
        EXPECT_EQ(std::wstring(item), s.wide) << "list item";
        ::SendMessageW(::GetDlgItem(window.hwnd, COMBO), CB_GETLBTEXT, 0, LPARAM(item));
        EXPECT_EQ(std::wstring(item), s.wide) << "combo item";

        const std::string back = utf8_of(s.wide);
        for (int32_t id : {EDIT, LABEL, STATUS}) {
            EXPECT_EQ(take(control_get_text(&window, id)), back) << "control_get_text " << id;
        }
        EXPECT_EQ(take(control_list_text(&window, LIST, 0)), back) << "list";
        EXPECT_EQ(take(control_list_text(&window, COMBO, 0)), back) << "combo";
        for (int32_t id : {EDIT, LABEL, LIST, COMBO, STATUS}) {
            ::DestroyWindow(::GetDlgItem(window.hwnd, id));
        }
    }
}

TEST_F(ScriptsTest, DialogsShownAndReadAfterTheyEnd) {
    constexpr int32_t LABEL = 1, EDIT = 2, LIST = 3;
    for (const Sample& s : SAMPLES) {
        SCOPED_TRACE(s.name);
        ASSERT_EQ(dialog_begin(&dialog, 0, 0, 200, 100, s.text, recording_handler), 1);
        dialog_add_control(&dialog, CONTROL_LABEL, LABEL, 5, 5, 190, 10, s.text, 0);
        dialog_add_control(&dialog, CONTROL_EDIT, EDIT, 5, 20, 190, 12, s.text, 0);
        dialog_add_control(&dialog, CONTROL_LIST_BOX, LIST, 5, 40, 190, 40, s.text, 0);
        ASSERT_EQ(dialog_show(&dialog, nullptr), 1);
        EXPECT_EQ(text_of(dialog.hwnd), s.wide) << "caption";
        EXPECT_EQ(text_of(::GetDlgItem(dialog.hwnd, control_id_key(LABEL))), s.wide) << "label";
        EXPECT_EQ(text_of(::GetDlgItem(dialog.hwnd, control_id_key(EDIT))), s.wide) << "edit";
        dialog_end(&dialog, 0);
        const std::string back = utf8_of(s.wide);
        EXPECT_EQ(take(control_get_text(&dialog, EDIT)), back) << "edit after the end";
        EXPECT_EQ(take(control_list_text(&dialog, LIST, 0)), back) << "list after the end";
        dialog_release(&dialog);
    }
}

TEST_F(ScriptsTest, FilesNamedInEveryScriptAreFound) {
    wchar_t folder[MAX_PATH] = {};
    ::GetModuleFileNameW(nullptr, folder, MAX_PATH);
    std::wstring bin(folder);
    bin.erase(bin.rfind(L'\\') + 1);
    const bool can_play = ::waveOutGetNumDevs() > 0;
    for (const Sample& s : SAMPLES) {
        SCOPED_TRACE(s.name);
        const NamedFile picture = copy_named(s, (bin + L"graphics\\goodguy.bmp").c_str(), L".bmp");
        ASSERT_NE(::GetFileAttributesW(picture.wide.c_str()), INVALID_FILE_ATTRIBUTES);
        const ImageHandle bitmap = image_load(picture.path.c_str(), TAG_STRING, IMAGE_BITMAP_KIND);
        EXPECT_NE(bitmap, 0u) << "image_load, bitmap";
        image_release(bitmap, IMAGE_BITMAP_KIND);
        const ImageHandle shown = image_load(picture.path.c_str(), TAG_STRING, IMAGE_PICTURE);
        EXPECT_NE(shown, 0u) << "image_load, picture";
        image_release(shown, IMAGE_PICTURE);
        ::DeleteFileW(picture.wide.c_str());

        const NamedFile sound = copy_named(s, (bin + L"sound\\shoot.wav").c_str(), L".wav");
        if (can_play) {
            EXPECT_EQ(play_wave(sound.path.c_str(), TAG_STRING, 0), 1) << "play_wave";
        }
        ::DeleteFileW(sound.wide.c_str());
    }
}

// A program copied with its data files into a folder named in Cyrillic and Chinese finds
// them from its own folder, in UTF-8 and keeping the system's code page alike.
TEST_F(ScriptsTest, ProgramsFindTheirFilesFromAFolderNamedInTwoScripts) {
    const std::wstring bin = own_folder(), temp = temp_folder();
    const std::wstring folder = temp + L"Игра 游戏\\";
    for (const wchar_t* sub : {L"", L"graphics", L"sound"}) {
        ::CreateDirectoryW((folder + sub).c_str(), nullptr);
    }
    for (const wchar_t* file : {L"graphics\\goodguy.bmp", L"sound\\shoot.wav"}) {
        ASSERT_TRUE(::CopyFileW((bin + file).c_str(), (folder + file).c_str(), FALSE));
    }
    for (const wchar_t* program : {L"folder_child.exe", L"folder_child_system.exe"}) {
        SCOPED_TRACE(utf8_of(program));
        ASSERT_TRUE(::CopyFileW((bin + program).c_str(), (folder + program).c_str(), FALSE));
        std::wstring command = L"\"" + folder + program + L"\"";
        STARTUPINFOW start = {};
        start.cb = sizeof start;
        PROCESS_INFORMATION child = {};
        ASSERT_TRUE(::CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr,
                                     temp.c_str(), &start, &child));
        EXPECT_EQ(::WaitForSingleObject(child.hProcess, 60000), WAIT_OBJECT_0);
        DWORD code = 99;
        ::GetExitCodeProcess(child.hProcess, &code);
        EXPECT_EQ(code, 0u) << "1: the picture was not found, 2: the sound was not";
        ::CloseHandle(child.hThread);
        ::CloseHandle(child.hProcess);
    }
}

} // namespace

// Typed output measures and advances as the UTF-8 routines do: ill-formed bytes become the
// same replacement characters, and a text longer than the print buffer is measured whole.
TEST_F(ScriptsTest, TypedOutputMeasuresAsTheUtf8Routines) {
    WindowRecord window = {};
    ASSERT_EQ(open_window(&window, 0, 0, 300, 200, 0, nullptr, "measure", nullptr), 1);
    std::string long_text;
    for (int32_t i = 0; i < 40000; ++i) {
        long_text += "Ж";
    }
    const std::string texts[] = {"\xE0\x80\xAF", "\xED\xA0\x80", "\xF4\x90\x80\x80", long_text};
    for (const std::string& t : texts) {
        int32_t typed = 0, utf8 = 0, height = 0;
        measure_text(&window, t.c_str(), static_cast<int32_t>(t.size()), &typed, &height);
        measure_text_utf8(&window, t.c_str(), -1, &utf8, &height);
        EXPECT_EQ(typed, utf8) << t.size() << " bytes";
        if (t.size() < 16) {
            move_to(&window, 0, 0);
            text_print(2, PRINT_WINDOW, &window, PRINT_TEXT, t.c_str());
            const int32_t advance = window.current_pos.x;
            move_to(&window, 0, 0);
            text_print_utf8(&window, t.c_str(), -1);
            EXPECT_EQ(advance, window.current_pos.x) << t.size() << " bytes";
        }
    }
    close_window(&window);
}

// Typed output cuts its formatted text at the print buffer's end, never inside a character,
// and drops the items after the cut.
TEST_F(ScriptsTest, TypedOutputCutsLongTextBetweenCharacters) {
    WindowRecord window = {};
    ASSERT_EQ(open_window(&window, 0, 0, 300, 200, 0, nullptr, "cut", nullptr), 1);
    const int32_t full = PRINT_BUFFER_SIZE - 1;
    struct Row {
        int32_t ascii;   // bytes of "a" before the character
        const char* end; // the character the buffer's end meets
        int32_t kept;    // bytes print_buffer keeps
    };
    const Row rows[] = {
        {full - 1, "Ж", full - 1},    // cut after its first byte
        {full - 2, "Ж", full},        // fits exactly
        {full - 2, "水", full - 2},   // two of its three bytes fit
        {full - 3, "🙂", full - 3}, // three of its four bytes fit
    };
    for (const Row& r : rows) {
        const std::string text = std::string(static_cast<size_t>(r.ascii), 'a') + r.end;
        move_to(&window, 0, 0);
        text_print(3, PRINT_WINDOW, &window, PRINT_TEXT, text.c_str(), PRINT_CHAR, 'b');
        EXPECT_EQ(std::string(print_buffer), text.substr(0, static_cast<size_t>(r.kept)))
            << r.ascii << " + " << r.end;
    }
    close_window(&window);
}
