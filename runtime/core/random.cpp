// Random numbers: one linear congruential generator shared by the integer and the real
// draw, seeded from the tick clock (clock.cpp) on the first draw unless the program seeds it.
// Choosing seeds and ranges is left to the program.
#include "runtime/core/core_internal.h"

// ============================================================================
// Types
// ============================================================================

namespace {

struct RandomState {
    uint32_t state;  // the generator's state, arithmetic modulo 2^32
    uint32_t seeded; // 0 until the state has been set, then 1
};

} // namespace

// ============================================================================
// Module state
// ============================================================================

namespace {

RandomState random_state = {};

constexpr uint32_t LCG_MULTIPLIER = 214013; // 0x343FD
constexpr uint32_t LCG_INCREMENT = 2531011; // 0x269EC3

// ============================================================================
// Internal helpers
// ============================================================================

// Seed from the tick clock on the first draw, then advance the generator one step.
uint32_t next_state() {
    if (random_state.seeded == 0) {
        random_state.state = static_cast<uint32_t>(static_cast<int32_t>(tick_count()) / 2);
        random_state.seeded = 1;
    }
    random_state.state = random_state.state * LCG_MULTIPLIER + LCG_INCREMENT;
    return random_state.state;
}

} // namespace

// ============================================================================
// Public routines
// ============================================================================

// Draw an integer in low..high, or in 0..low when high is 0; low when the span is 0.
int32_t random_range(int32_t low, int32_t high) {
    uint32_t draw = next_state() >> 16;
    uint32_t span = high == 0 ? static_cast<uint32_t>(low) + 1u
                              : static_cast<uint32_t>(high) - static_cast<uint32_t>(low) + 1u;
    if (span == 0) {
        return low;
    }
    uint32_t result = draw % span;
    if (high != 0) {
        result += static_cast<uint32_t>(low);
    }
    return static_cast<int32_t>(result);
}

// Draw a real in [low, high) when high > low, otherwise between 0 and low.
float random_real(float low, float high) {
    uint32_t draw = (next_state() >> 16) & 0x7FFF;
    float unit = static_cast<float>(draw) / 32768.0f;
    if (high > low) {
        float width = high - low;
        float offset = width * unit;
        return low + offset;
    }
    return low * unit;
}

// Set the generator's state without drawing.
int32_t random_seed(uint32_t seed) {
    random_state.state = seed;
    random_state.seeded = 1;
    return 0;
}

// Return the generator to its unseeded state.
void random_forget_seed() {
    random_state = {};
}
