// The generator's exact draws, its ranges and seeding, and the clock, with a test clock.
#include <gtest/gtest.h>

#include "runtime/core/core_internal.h"

#include <vector>

namespace {

uint32_t fake_now = 0;
uint32_t fake_clock() {
    return fake_now;
}

// Install the test clock for the life of one test; the generator starts unseeded.
struct FakeClock {
    explicit FakeClock(uint32_t now) {
        fake_now = now;
        tick_source_set(fake_clock);
        random_forget_seed();
    }
    ~FakeClock() { tick_source_set(nullptr); }
};

// The raw 16-bit draw: a span that exceeds every draw leaves it unchanged.
int32_t raw_draw() {
    return random_range(-3, 0);
}

std::vector<int32_t> draws(int count, int32_t low, int32_t high) {
    std::vector<int32_t> results;
    for (int i = 0; i < count; ++i) {
        results.push_back(random_range(low, high));
    }
    return results;
}

} // namespace

TEST(Random, SeedOneGivesTheKnownDraws) {
    random_seed(1);
    EXPECT_EQ(draws(5, -3, 0), (std::vector<int32_t>{41, 51235, 6334, 59268, 51937}));
    random_seed(1);
    EXPECT_EQ(draws(5, 1, 3), (std::vector<int32_t>{3, 2, 2, 1, 2}));
    random_seed(1);
    EXPECT_EQ(random_range(5, 0), 5);
    random_seed(1);
    EXPECT_EQ(random_range(10, 2), 51);
    random_seed(1);
    EXPECT_EQ(random_real(0, 1), 0.001251220703125f);
}

TEST(Random, BothDrawsShareOneStepPerCall) {
    random_seed(1);
    EXPECT_EQ(raw_draw(), 41);
    EXPECT_EQ(random_real(0, 1), (51235 & 0x7FFF) / 32768.0f);
    EXPECT_EQ(random_real(5, 5), 5 * (6334 / 32768.0f));
    EXPECT_EQ(random_real(5, 2), 5 * (59268 & 0x7FFF) / 32768.0f);
    EXPECT_EQ(random_real(-1, 3), -1 + 4 * ((51937 & 0x7FFF) / 32768.0f));
}

TEST(Random, ZeroSpanGivesLowAndStillSteps) {
    random_seed(1);
    EXPECT_EQ(random_range(5, 4), 5);
    EXPECT_EQ(random_range(-1, 0), -1);
    EXPECT_EQ(raw_draw(), 6334);
}

TEST(Random, RangesStayInsideTheirBounds) {
    random_seed(7);
    bool saw_low = false;
    bool saw_high = false;
    for (int i = 0; i < 3000; ++i) {
        int32_t cell = random_range(0, 13);
        ASSERT_GE(cell, 0);
        ASSERT_LE(cell, 13);
        saw_low = saw_low || cell == 0;
        saw_high = saw_high || cell == 13;
        int32_t centred = random_range(-5, 5);
        ASSERT_GE(centred, -5);
        ASSERT_LE(centred, 5);
        float real = random_real(2, 3);
        ASSERT_GE(real, 2.0f);
        ASSERT_LT(real, 3.0f);
    }
    EXPECT_TRUE(saw_low);
    EXPECT_TRUE(saw_high);
}

TEST(Random, FirstDrawSeedsFromTheClockOnce) {
    FakeClock clock(5001); // seeds with 2500
    uint32_t state = 2500u * 214013u + 2531011u;
    EXPECT_EQ(raw_draw(), static_cast<int32_t>(state >> 16));
    fake_now = 90001;
    state = state * 214013u + 2531011u;
    EXPECT_EQ(raw_draw(), static_cast<int32_t>(state >> 16));

    FakeClock negative(0xFFFFFFF0u); // -16 halves to -8
    state = 0xFFFFFFF8u * 214013u + 2531011u;
    EXPECT_EQ(random_real(0, 1), ((state >> 16) & 0x7FFF) / 32768.0f);
}

TEST(Clock, SecondsTruncateTheSignedTickCount) {
    const struct {
        uint32_t ticks;
        int32_t seconds;
    } cases[] = {
        {2500, 2}, {999, 0}, {0x7FFFFFFF, 2147483}, {0x80000000u, -2147483}, {0xFFFFFFFFu, 0}};
    FakeClock clock(0);
    for (const auto& c : cases) {
        fake_now = c.ticks;
        EXPECT_EQ(tick_count(), c.ticks);
        EXPECT_EQ(clock_seconds(), c.seconds) << c.ticks;
    }
}
