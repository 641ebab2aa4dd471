// Wave sounds: turns a typed sound argument (a file name or a memory-block variable) and
// a mode into PlaySoundA flags and plays it, never with the system's default sound.
// Relies on WINMM. Leaves the sound files and their lifetime to callers; tests may
// replace the player to see the flags.
#include "runtime/core/core_internal.h"

#include <mmsystem.h>

// ============================================================================
// Module state
// ============================================================================

namespace {

WavePlayer wave_player = nullptr; // a test's player; null: PlaySoundA

} // namespace

// ============================================================================
// Internal helpers
// ============================================================================

namespace {

BOOL platform_player(const char* sound, HMODULE module, DWORD flags) {
    return ::PlaySoundA(sound, module, flags);
}

} // namespace

// ============================================================================
// Public routines
// ============================================================================

// Play a wave file or an in-memory wave image; no sound stops the one playing.
int32_t play_wave(const void* sound, TypeTag tag, uint32_t mode) {
    DWORD flags = mode | SND_NODEFAULT;
    const char* source = nullptr;
    switch (tag_code(tag)) {
    case TYPE_STRING: {
        const char* name = static_cast<const char*>(sound);
        if (name != nullptr && name[0] != '\0') {
            source = name;
        }
        flags |= SND_FILENAME;
        break;
    }
    case TYPE_BLOCK:
        if (sound != nullptr) {
            source = *static_cast<const char* const*>(sound);
        }
        flags |= SND_MEMORY;
        break;
    default:
        break;
    }
    WavePlayer player = wave_player ? wave_player : platform_player;
    return player(source, nullptr, flags) ? 1 : 0;
}

// Replace the platform's player (null restores PlaySoundA).
void play_wave_set_player(WavePlayer player) {
    wave_player = player;
}
