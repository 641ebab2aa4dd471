// Wave sounds: turns a typed sound argument (a file name or a memory-block variable) and
// a mode into PlaySoundA flags and plays it, never with the system's default sound. A
// wave whose headers would make the player read past its end, divide by zero or ask the
// device for the impossible is refused first. Relies on WINMM and the core's files. Leaves the
// sound files and their lifetime to callers; tests may replace the player to see the flags.
#include "runtime/core/core_internal.h"

#include <mmsystem.h>

#include <cstring>

// ============================================================================
// Types
// ============================================================================

namespace {

// A wave to look into before it is played: an open file, or bytes in memory.
struct WaveSource {
    HANDLE file;          // the open file, or null for bytes in memory
    const uint8_t* bytes; // the wave in memory
    uint64_t size;        // bytes the wave has
};

} // namespace

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

// Read count bytes of the wave at offset; false past its end.
bool read_wave(const WaveSource& wave, uint64_t offset, void* bytes, uint32_t count) {
    if (offset + count > wave.size) {
        return false;
    }
    if (wave.file == nullptr) {
        std::memcpy(bytes, wave.bytes + offset, count);
        return true;
    }
    LARGE_INTEGER at = {};
    at.QuadPart = static_cast<LONGLONG>(offset);
    HANDLE file = wave.file;
    return ::SetFilePointerEx(file, at, nullptr, FILE_BEGIN) &&
           file_read(&file, TAG_BINARY_FILE, bytes, type_tag(TYPE_RAW), count) == 0;
}

// True for a wave whose format or data chunk claims more bytes than the wave holds, or
// whose format has no channels, no block size, or a rate no sound device takes.
// NOTE: Wine's PlaySoundA reads both chunks for the sizes their headers give, divides by
// the block size and hands the rate to the device, and faults or plays for ever when
// they are damaged.
bool is_damaged_wave(const WaveSource& wave) {
    constexpr int32_t MOST_CHUNKS = 64;    // chunks looked at
    constexpr uint32_t MOST_RATE = 384000; // samples a second a sound server takes
    uint8_t header[8];
    bool format_seen = false;
    uint64_t at = 12; // after "RIFF", its size and "WAVE"
    for (int32_t chunk = 0; chunk < MOST_CHUNKS && read_wave(wave, at, header, 8); ++chunk) {
        uint32_t length = 0;
        std::memcpy(&length, header + 4, sizeof length);
        const bool format = std::memcmp(header, "fmt ", 4) == 0;
        if ((format || std::memcmp(header, "data", 4) == 0) && length > wave.size - at - 8) {
            return true;
        }
        if (format) {
            // WAVEFORMAT: format tag, channels, samples a second, bytes a second, block size.
            uint8_t fields[16] = {};
            uint16_t channels = 0;
            uint32_t rate = 0;
            uint16_t block = 0;
            if (length < sizeof fields || !read_wave(wave, at + 8, fields, sizeof fields)) {
                return true;
            }
            std::memcpy(&channels, fields + 2, 2);
            std::memcpy(&rate, fields + 4, 4);
            std::memcpy(&block, fields + 12, 2);
            if (channels == 0 || block == 0 || rate == 0 || rate > MOST_RATE) {
                return true;
            }
            format_seen = true;
        } else if (format_seen && std::memcmp(header, "data", 4) == 0) {
            return false;
        }
        at += 8 + static_cast<uint64_t>(length) + (length & 1);
    }
    return false;
}

// True for a sound the player must not see: a damaged wave file or block.
bool wave_refused(const char* source, DWORD flags) {
    if ((flags & SND_MEMORY) != 0) {
        const SIZE_T size = ::GlobalSize(const_cast<char*>(source));
        return is_damaged_wave({nullptr, reinterpret_cast<const uint8_t*>(source), size});
    }
    HANDLE file = nullptr;
    if (file_open(&file, TAG_BINARY_FILE, source, "R") != 0) {
        return false; // the player finds out for itself
    }
    const int64_t size = file_size(&file, TAG_BINARY_FILE);
    const bool refused = size > 0 && is_damaged_wave({file, nullptr, static_cast<uint64_t>(size)});
    file_close(&file, TAG_BINARY_FILE);
    return refused;
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
    if (source != nullptr && wave_refused(source, flags)) {
        return 0;
    }
    WavePlayer player = wave_player ? wave_player : platform_player;
    return player(source, nullptr, flags) ? 1 : 0;
}

// Replace the platform's player (null restores PlaySoundA).
void play_wave_set_player(WavePlayer player) {
    wave_player = player;
}
