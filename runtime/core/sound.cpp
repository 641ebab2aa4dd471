// Wave sounds: turns a typed sound argument (a file name or a memory-block variable) and
// a mode into PlaySoundA flags and plays it, never with the system's default sound. A
// wave whose headers would make the player read past its end, divide by zero or hang is
// refused first, with a line on the debugger output that names it and says why. Relies on
// WINMM, the core's files and debugger output. Leaves the sound files and their lifetime to
// callers; tests may replace the player to see the flags.
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

constexpr int64_t MAX_COPIED_WAVE = 64 << 20; // the largest file played from a copy

} // namespace

// ============================================================================
// Module state
// ============================================================================

namespace {

WavePlayer wave_player = nullptr; // a test's player; null: PlaySoundA
uint8_t* played_copy = nullptr;   // a file's wave played from memory, kept while it plays

} // namespace

// ============================================================================
// Internal helpers
// ============================================================================

namespace {

// A file's bytes whole in a fresh runtime heap block, or null.
uint8_t* file_copy(const char* name) {
    HANDLE file = nullptr;
    if (file_open(&file, TAG_BINARY_FILE, name, "R") != 0) {
        return nullptr;
    }
    const int64_t size = file_size(&file, TAG_BINARY_FILE);
    auto* bytes = size > 0 && size <= MAX_COPIED_WAVE
                      ? static_cast<uint8_t*>(heap_alloc(static_cast<size_t>(size)))
                      : nullptr;
    if (bytes != nullptr && file_read(&file, TAG_BINARY_FILE, bytes, type_tag(TYPE_RAW),
                                      static_cast<uint32_t>(size)) != 0) {
        heap_free(bytes);
        bytes = nullptr;
    }
    file_close(&file, TAG_BINARY_FILE);
    return bytes;
}

// Play a file's wave from a copy in memory. NOTE: Wine's player cannot open a file whose
// name takes MAX_PATH bytes or more in the code page (about 80 Chinese letters), even by
// its UTF-16 name, and says nothing of it when asked to play without waiting. The copy
// stays until a later call stops or replaces the sound.
BOOL play_copy(const char* sound, HMODULE module, DWORD flags) {
    uint8_t* bytes = file_copy(sound);
    if (bytes == nullptr) {
        return FALSE;
    }
    const DWORD memory = (flags & ~static_cast<DWORD>(SND_FILENAME)) | SND_MEMORY;
    const BOOL played = ::PlaySoundW(reinterpret_cast<const wchar_t*>(bytes), module, memory);
    if (!played || (flags & SND_ASYNC) == 0) {
        heap_free(bytes); // refused, or played to its end already
        return played;
    }
    played_copy = bytes;
    return played;
}

// Play a sound with the platform's player, a file's name given in UTF-16.
BOOL play_by_platform(const char* sound, HMODULE module, DWORD flags) {
    if ((flags & SND_FILENAME) == 0 || sound == nullptr) {
        return ::PlaySoundA(sound, module, flags);
    }
    if (std::strlen(sound) >= MAX_PATH) {
        return play_copy(sound, module, flags);
    }
    wchar_t* name = ansi_to_heap_wide(sound);
    if (name == nullptr) { // without memory, the platform converts
        return ::PlaySoundA(sound, module, flags);
    }
    const BOOL played = ::PlaySoundW(name, module, flags);
    heap_free(name);
    return played;
}

// The platform's player. A copy played from memory is freed once a later call stopped or
// replaced its sound (the player stops the sound playing before it answers); a refused
// call leaves it playing.
BOOL platform_player(const char* sound, HMODULE module, DWORD flags) {
    uint8_t* earlier = played_copy;
    played_copy = nullptr;
    const BOOL played = play_by_platform(sound, module, flags);
    if (earlier != nullptr && (played || sound == nullptr)) {
        heap_free(earlier);
    } else if (earlier != nullptr) {
        played_copy = earlier; // a refused call starts no copy of its own
    }
    return played;
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

// Why the player must not see a wave, following its chunks as Wine's PlaySoundA does: from
// the RIFF header to the first "fmt " chunk, then on to the first "data" chunk, each search
// begun only within the RIFF chunk's size and walked with 32-bit positions; null when the
// player may play it or refuse it itself.
// NOTE: Wine's player reads a wave in memory without knowing its size, so that a chunk that
// reaches past the block makes it read past it; reads a file's format and data chunks for the
// sizes their headers give, which from 2 GB on it takes for negative and faults or never ends
// on; goes round for ever when a chunk's size takes its position back; divides by the block
// size; and plays for ever a format of no channels or above about 387,000 samples a second.
const char* wave_fault(const WaveSource& wave) {
    constexpr uint32_t MOST_RATE = 384000; // samples a second a sound server takes
    constexpr uint32_t MOST_FILE_CHUNK = 0x7FFFFFFF;
    const bool memory = wave.file == nullptr;
    uint8_t header[12];
    uint8_t fields[16] = {};
    if (!read_wave(wave, 0, header, 12) || std::memcmp(header, "RIFF", 4) != 0 ||
        std::memcmp(header + 8, "WAVE", 4) != 0) {
        return nullptr; // the player finds it no wave
    }
    uint32_t riff_size = 0;
    std::memcpy(&riff_size, header + 4, 4);
    uint32_t at = 12;
    for (const char* wanted : {"fmt ", "data"}) {
        if (at >= 8 + uint64_t{riff_size}) {
            return nullptr; // past the RIFF chunk: the player finds no such chunk
        }
        uint32_t length = 0;
        for (;;) {
            if (!read_wave(wave, at, header, 8)) {
                return memory ? "chunks past the end of the wave" : nullptr;
            }
            std::memcpy(&length, header + 4, 4);
            if (std::memcmp(header, wanted, 4) == 0) {
                break;
            }
            const uint32_t next = at + 8 + ((length + 1) & ~1u);
            if (next <= at) {
                return "a chunk size that leads back to an earlier chunk";
            }
            at = next;
        }
        if (memory && uint64_t{at} + 8 + length > wave.size) {
            return "chunks past the end of the wave";
        }
        if (!memory && length > MOST_FILE_CHUNK) {
            return "a chunk of 2 GB or more";
        }
        if (wanted[0] == 'f' &&
            (length < sizeof fields || !read_wave(wave, uint64_t{at} + 8, fields, sizeof fields))) {
            return nullptr; // the player needs 16 bytes of format and refuses it itself
        }
        at += 8 + ((length + 1) & ~1u);
    }
    // WAVEFORMAT: format tag, channels, samples a second, bytes a second, block size.
    uint16_t channels = 0, block = 0;
    uint32_t rate = 0;
    std::memcpy(&channels, fields + 2, 2);
    std::memcpy(&rate, fields + 4, 4);
    std::memcpy(&block, fields + 12, 2);
    return block == 0         ? "a format with no block size"
           : channels == 0    ? "a format with no channels"
           : rate > MOST_RATE ? "more than 384,000 samples a second"
                              : nullptr;
}

// True for a sound the player must not see (said on the debugger output).
bool wave_refused(const char* source, DWORD flags) {
    const char* reason = nullptr;
    if ((flags & SND_MEMORY) != 0) {
        // NOTE: a block of no global memory has no size to go by: the player has it.
        const SIZE_T size = ::GlobalSize(const_cast<char*>(source));
        reason = size == 0 ? nullptr
                           : wave_fault({nullptr, reinterpret_cast<const uint8_t*>(source), size});
    } else {
        HANDLE file = nullptr;
        if (file_open(&file, TAG_BINARY_FILE, source, "R") != 0) {
            return false; // the player finds out for itself
        }
        const int64_t size = file_size(&file, TAG_BINARY_FILE);
        reason = size > 0 ? wave_fault({file, nullptr, static_cast<uint64_t>(size)}) : nullptr;
        file_close(&file, TAG_BINARY_FILE);
    }
    if (reason != nullptr) {
        debug_refusal("play_wave", (flags & SND_MEMORY) != 0 ? "a wave in memory" : source, reason);
    }
    return reason != nullptr;
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
