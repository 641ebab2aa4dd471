// Text through routines whose platform side counts in bytes of the code page: a rich edit
// read back, a wave named by a long path, and typed output cut at the print buffer's end.
// This program runs with UTF-8 as its ANSI code page.
#include <gtest/gtest.h>

#include <string>

#include "runtime/dialog/dialog.h"
#include "runtime/draw/draw_internal.h"

#include <mmsystem.h>

#include "tests/text/text_test_support.h"

namespace {

// Texts whose UTF-8 bytes outnumber their UTF-16 units, and one whose do not.
const char* const RICH_TEXTS[] = {"plain", "Νερό", "水水水", "ЖЖЖЖЖЖЖЖЖЖ", "مرحبا 12", "🙂"};

intptr_t no_handler() {
    return 0;
}

// A rich edit gives back the text it holds, on a window, in a shown dialog and in the
// dialog's definition after it ended.
TEST(CodePageBytes, RichEditTextComesBackWhole) {
    WindowRecord window = {};
    ASSERT_EQ(open_window(&window, 0, 0, 300, 200, 0, nullptr, "rich", nullptr), 1);
    ASSERT_EQ(control_create(&window, CONTROL_RICH_EDIT, 1, 0, 0, 200, 100, "", 0), 1);
    WindowRecord dialog = {};
    ASSERT_EQ(dialog_begin(&dialog, 0, 0, 160, 60, "rich", no_handler), 1);
    ASSERT_EQ(dialog_add_control(&dialog, CONTROL_RICH_EDIT, 1, 5, 5, 150, 40, "", 0), 1);
    ASSERT_EQ(dialog_show(&dialog, nullptr), 1);
    for (const char* text : RICH_TEXTS) {
        SCOPED_TRACE(text);
        control_set_text(&window, 1, text);
        EXPECT_EQ(take(control_get_text(&window, 1)), text) << "on a window";
        control_set_text(&dialog, 1, text);
        EXPECT_EQ(take(control_get_text(&dialog, 1)), text) << "in a shown dialog";
    }
    dialog_end(&dialog, 0);
    EXPECT_EQ(take(control_get_text(&dialog, 1)), RICH_TEXTS[std::size(RICH_TEXTS) - 1])
        << "kept after the dialog ended";
    dialog_release(&dialog);
    close_window(&window);
}

// A wave whose path is shorter than MAX_PATH in UTF-16 plays, however many bytes its
// name takes in UTF-8 (the game's sounds in a folder named in Chinese).
TEST(CodePageBytes, WaveWithALongPathPlays) {
    if (::waveOutGetNumDevs() == 0) {
        GTEST_SKIP() << "no sound device";
    }
    const std::wstring bin = own_folder(), temp = temp_folder();
    const struct {
        int32_t count;
        wchar_t letter;
    } rows[] = {{150, L'a'}, {60, L'水'}, {80, L'水'}, {120, L'Ж'}, {110, L'水'}};
    for (const auto& r : rows) {
        const std::wstring folder = temp + std::wstring(static_cast<size_t>(r.count), r.letter);
        const std::wstring wave = folder + L"\\s.wav";
        ::CreateDirectoryW(folder.c_str(), nullptr);
        ASSERT_TRUE(::CopyFileW((bin + L"sound\\shoot.wav").c_str(), wave.c_str(), FALSE));
        const std::string name = utf8_of(wave);
        EXPECT_EQ(play_wave(name.c_str(), TAG_STRING, 0), 1)
            << wave.size() << " units, " << name.size() << " bytes";
        ::DeleteFileW(wave.c_str());
        ::RemoveDirectoryW(folder.c_str());
    }
}

// Typed output keeps every byte that is not part of a character the cut splits: a byte
// that starts no character stays (and draws as U+FFFD), and a character split between two
// items at the buffer's end is dropped as one split inside an item is.
TEST(CodePageBytes, PrintCutKeepsWhatItDoesNotSplit) {
    WindowRecord window = {};
    ASSERT_EQ(open_window(&window, 0, 0, 300, 200, 0, nullptr, "cut", nullptr), 1);
    const int32_t full = PRINT_BUFFER_SIZE - 1;
    const struct {
        const char* name;
        std::string first; // the first item after the "a"s
        int32_t ascii;
        int32_t second; // a PRINT_CHAR item after it, or -1
        int32_t kept;
    } rows[] = {
        {"C0 starts nothing", "\xC0\x80", full - 1, -1, full},
        {"FF starts nothing", "\xFF\x80", full - 1, -1, full},
        {"lone lead byte, text ends there", "\xE6", full - 1, -1, full},
        {"Zhe split between items", "\xD0", full - 1, 0x96, full - 1},
        {"Zhe whole inside the buffer", "\xD0\x96", full - 2, 'b', full},
    };
    for (const auto& r : rows) {
        const std::string text = std::string(static_cast<size_t>(r.ascii), 'a') + r.first;
        move_to(&window, 0, 0);
        if (r.second < 0) {
            text_print(2, PRINT_WINDOW, &window, PRINT_TEXT, text.c_str());
        } else {
            text_print(3, PRINT_WINDOW, &window, PRINT_TEXT, text.c_str(), PRINT_CHAR, r.second);
        }
        EXPECT_EQ(static_cast<int32_t>(std::string(print_buffer).size()), r.kept) << r.name;
    }
    close_window(&window);
}

} // namespace
