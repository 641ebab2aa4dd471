// Tests of play_wave: the PlaySoundA flags made from each source kind and mode (through
// a recording player), and real playback through the sound server, recorded from its
// monitor and compared with the wave files sample for sample (tests/support/listen.py).
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "runtime/core/core_internal.h"
#include "tests/support/test_support.h"
#include "tests/support/listen_client.h"

#include <mmsystem.h>

namespace {

struct PlayCall {
    bool called;
    const char* sound;
    HMODULE module;
    DWORD flags;
};
PlayCall last_play;

BOOL record_play(const char* sound, HMODULE module, DWORD flags) {
    last_play = {true, sound, module, flags};
    return TRUE;
}

} // namespace

TEST(Sound, FlagsBySourceAndMode) {
    static char wave_image[64] = "RIFF";
    void* block_variable = wave_image;
    void* empty_block_variable = nullptr;
    int32_t number = 5;
    struct Case {
        const char* name;
        const void* sound;
        TypeTag tag;
        uint32_t mode;
        const char* expected_sound;
        DWORD expected_flags;
    } cases[] = {
        {"file, wait", "sound\\shoot.wav", TAG_STRING, 0, "sound\\shoot.wav",
         SND_SYNC | SND_NODEFAULT | SND_FILENAME},
        {"file, no wait", "sound\\bgdeath.wav", TAG_STRING, 1, "sound\\bgdeath.wav",
         SND_ASYNC | SND_NODEFAULT | SND_FILENAME},
        {"file, extra bits pass", "a.wav", TAG_STRING, SND_ASYNC | SND_LOOP, "a.wav",
         SND_ASYNC | SND_LOOP | SND_NODEFAULT | SND_FILENAME},
        {"empty name stops", "", TAG_STRING, 1, nullptr, SND_ASYNC | SND_NODEFAULT | SND_FILENAME},
        {"block", &block_variable, TAG_BLOCK, 1, wave_image,
         SND_ASYNC | SND_NODEFAULT | SND_MEMORY},
        {"empty block stops", &empty_block_variable, TAG_BLOCK, 0, nullptr,
         SND_SYNC | SND_NODEFAULT | SND_MEMORY},
        {"other kind stops", &number, type_tag(TYPE_INT), 1, nullptr, SND_ASYNC | SND_NODEFAULT},
    };
    play_wave_set_player(record_play);
    for (const Case& c : cases) {
        last_play = {};
        EXPECT_EQ(play_wave(c.sound, c.tag, c.mode), 1) << c.name;
        ASSERT_TRUE(last_play.called) << c.name;
        if (c.expected_sound == nullptr) {
            EXPECT_EQ(last_play.sound, nullptr) << c.name;
        } else {
            EXPECT_STREQ(last_play.sound, c.expected_sound) << c.name;
        }
        EXPECT_EQ(last_play.module, nullptr) << c.name;
        EXPECT_EQ(last_play.flags, c.expected_flags) << c.name;
    }
    play_wave_set_player(nullptr);
}

// ---- Real playback, recorded ----

namespace {

// Records what the test between start() and stop() plays; skips the test where sound
// cannot be recorded (not under Wine, or no sound server).
class SoundPlayback : public ::testing::Test {
  protected:
    void SetUp() override {
        std::string why;
        if (!listen_available(why)) {
            GTEST_SKIP() << why;
        }
        sound_folder = launch_own_folder() + "sound\\";
    }
    void start() {
        const ::testing::TestInfo* info = ::testing::UnitTest::GetInstance()->current_test_info();
        std::string why;
        ASSERT_TRUE(listen_start(listening, std::string("core_") + info->name(), why)) << why;
    }
    std::vector<HeardSound> stop() {
        std::vector<HeardSound> heard;
        std::string why;
        EXPECT_TRUE(listen_stop(listening, heard, why)) << why;
        return heard;
    }
    std::string path(const char* name) const { return sound_folder + name; }
    Listening listening;
    std::string sound_folder;
};

// Milliseconds that one play_wave call takes.
uint32_t timed_play(const void* sound, TypeTag tag, uint32_t mode, int32_t* result) {
    DWORD start = ::GetTickCount();
    *result = play_wave(sound, tag, mode);
    return ::GetTickCount() - start;
}

} // namespace

// Mode 0 returns only after the whole sound: the next sound, which would cut off one
// still playing, finds the first finished, and the first is heard to its end.
TEST_F(SoundPlayback, WaitModeReturnsAfterTheWholeSound) {
    start();
    int32_t first = 0;
    int32_t second = 0;
    const uint32_t took = timed_play(path("ggdeath.wav").c_str(), TAG_STRING, 0, &first);
    timed_play(path("shoot.wav").c_str(), TAG_STRING, 0, &second);
    std::vector<HeardSound> heard = stop();
    EXPECT_EQ(first, 1);
    EXPECT_EQ(second, 1);
    EXPECT_GE(took, 600u) << "returned before a 600 ms sound could have played";
    ASSERT_EQ(heard.size(), 2u) << heard_text(heard);
    EXPECT_EQ(heard[0].name, "ggdeath");
    EXPECT_NEAR(heard[0].length, 600.0, 0.1) << "the file's own length";
    EXPECT_TRUE(played_whole(heard[0])) << heard_text(heard);
    EXPECT_EQ(heard[1].name, "shoot");
    EXPECT_TRUE(played_whole(heard[1])) << heard_text(heard);
}

// Mode 1 returns at once; a second sound started while the first plays cuts it off. The
// second starts once the first has been heard for 160 ms, however late the server plays it.
TEST_F(SoundPlayback, NoWaitModeReturnsAtOnceAndTheNextSoundCutsIn) {
    start();
    int32_t result = 0;
    const uint32_t took = timed_play(path("ggdeath.wav").c_str(), TAG_STRING, 1, &result);
    EXPECT_EQ(result, 1);
    EXPECT_LT(took, 300u) << "mode 1 waited for part of a 600 ms sound";
    EXPECT_TRUE(listen_wait_sounding(listening, 160, 10000)) << "the first sound was not heard";
    timed_play(path("bgdeath.wav").c_str(), TAG_STRING, 1, &result);
    ::Sleep(700);
    std::vector<HeardSound> heard = stop();
    ASSERT_EQ(heard.size(), 2u) << heard_text(heard);
    EXPECT_EQ(heard[0].name, "ggdeath");
    EXPECT_GT(heard[0].reached, 100.0) << heard_text(heard);
    EXPECT_LT(heard[0].reached, heard[0].length - 10) << "not cut off: " << heard_text(heard);
    EXPECT_EQ(heard[1].name, "bgdeath");
    EXPECT_TRUE(played_whole(heard[1])) << heard_text(heard);
}

// A wave file image in memory, passed as a memory-block variable, plays like the file.
TEST_F(SoundPlayback, MemoryImagePlays) {
    HANDLE file = ::CreateFileA(path("bgdeath.wav").c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    std::vector<char> image(::GetFileSize(file, nullptr));
    DWORD read = 0;
    ::ReadFile(file, image.data(), static_cast<DWORD>(image.size()), &read, nullptr);
    ::CloseHandle(file);
    void* block_variable = image.data();
    start();
    int32_t result = 0;
    timed_play(&block_variable, TAG_BLOCK, 0, &result);
    std::vector<HeardSound> heard = stop();
    EXPECT_EQ(result, 1);
    ASSERT_EQ(heard.size(), 1u) << heard_text(heard);
    EXPECT_EQ(heard[0].name, "bgdeath");
    EXPECT_TRUE(played_whole(heard[0])) << heard_text(heard);
}

// No sound (an empty name, or a value of another kind) stops the sound that plays.
TEST_F(SoundPlayback, NoSoundStopsThePlayingOne) {
    int32_t number = 5;
    struct Case {
        const void* sound;
        TypeTag tag;
    } stops[] = {{"", TAG_STRING}, {&number, type_tag(TYPE_INT)}};
    start();
    for (const Case& c : stops) {
        int32_t result = 0;
        timed_play(path("ggdeath.wav").c_str(), TAG_STRING, 1, &result);
        ::Sleep(200);
        timed_play(c.sound, c.tag, 0, &result);
        ::Sleep(700);
    }
    std::vector<HeardSound> heard = stop();
    ASSERT_EQ(heard.size(), 2u) << heard_text(heard);
    for (const HeardSound& sound : heard) {
        EXPECT_EQ(sound.name, "ggdeath");
        EXPECT_LT(sound.reached, 500.0) << "not stopped: " << heard_text(heard);
    }
}

// A missing or broken file plays nothing, never the default sound, and returns at once;
// in mode 0 with 0 (mode 1 hands the file to the player before it is read).
TEST_F(SoundPlayback, MissingOrBrokenFilePlaysNothing) {
    const std::string broken = temp_file("broken.wav");
    write_file(broken, std::string("RIFF\x10\0\0\0WAVEfmt \xff\xff\xff\x7f", 20));
    const std::string missing = path("no_such_sound.wav");
    start();
    for (const std::string& name : {missing, broken}) {
        for (uint32_t mode : {0u, 1u}) {
            int32_t result = 1;
            const uint32_t took = timed_play(name.c_str(), TAG_STRING, mode, &result);
            if (mode == 0) {
                EXPECT_EQ(result, 0) << name;
            }
            EXPECT_LT(took, 1000u) << name << " mode " << mode;
        }
    }
    ::Sleep(300);
    // A sound that does play marks the end: the recording did hear.
    int32_t result = 0;
    timed_play(path("shoot.wav").c_str(), TAG_STRING, 0, &result);
    std::vector<HeardSound> heard = stop();
    ::DeleteFileA(broken.c_str());
    ASSERT_EQ(heard.size(), 1u) << heard_text(heard);
    EXPECT_EQ(heard[0].name, "shoot");
}
