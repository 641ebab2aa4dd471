// Tests of play_wave: the PlaySoundA flags made from each source kind and mode (through
// a recording player), and the real player's silent, immediate failure on a missing file.
#include <gtest/gtest.h>

#include <string>

#include "runtime/core/core.h"

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

TEST(Sound, MissingFileFailsAtOnceWithoutDefaultSound) {
    std::string name =
        "no_such_folder\\missing_" + std::to_string(::GetCurrentProcessId()) + ".wav";
    DWORD start = ::GetTickCount();
    EXPECT_EQ(play_wave(name.c_str(), TAG_STRING, 0), 0);
    DWORD spent = ::GetTickCount() - start;
    EXPECT_LT(spent, 1000u);
    // An empty name only stops whatever plays; it must not block either.
    start = ::GetTickCount();
    play_wave("", TAG_STRING, 0);
    EXPECT_LT(::GetTickCount() - start, 1000u);
}
