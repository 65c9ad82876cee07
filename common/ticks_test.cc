#include "ticks.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstdint>

namespace {

constexpr std::int64_t S = 1000 * 1000 * 1000;
constexpr std::int64_t MS = 1000 * 1000;

TEST(Ticks, WaitsUntilJustAfterTheNextMultiple) {
    struct Case {
        std::int64_t now;
        int interval;
        std::int64_t wait;
    };
    const std::int64_t t = 1767262050LL * S;  // 2026-01-01 10:07:30 UTC, a multiple of 10 s
    const Case cases[] = {
        // Exactly on a multiple (a frozen clock): a whole interval, no more.
        {t, 10, 10 * S},
        {t, 1, S},
        // Within the interval: the rest of it and a little.
        {t + 1500 * MS, 10, 8500 * MS + 2 * MS},
        {t + 999 * MS, 1, 1 * MS + 2 * MS},
        {t + 4 * S + 999 * MS, 5, 1 * MS + 2 * MS},
        // Woken just after a multiple: the next one, capped at the interval.
        {t + 1 * MS, 1, S},
        {t + 3 * MS, 1, 999 * MS},
        // Minutes: :08:00 is 30 s away.
        {t, 60, 30 * S + 2 * MS},
        // An interval below 1 counts as 1.
        {t + 250 * MS, 0, 750 * MS + 2 * MS},
        {t + 250 * MS, -7, 750 * MS + 2 * MS},
        // Before the epoch.
        {-1500 * MS, 1, 500 * MS + 2 * MS},
    };
    for (const Case &c : cases)
        EXPECT_EQ(wait_for_tick(c.now, c.interval), c.wait) << c.now << " every " << c.interval;
}

TEST(Ticks, TheLargestIntervalIsAWaitToo) {
    const std::int64_t now = 1767262050LL * S;
    const std::int64_t wait = wait_for_tick(now, INT_MAX);
    EXPECT_GT(wait, 0);
    EXPECT_LE(wait, std::int64_t(INT_MAX) * S);
    EXPECT_EQ((now + wait - 2 * MS) % (std::int64_t(INT_MAX) * S), 0);
}

TEST(Ticks, TheWallClockIsRead) {
    const std::int64_t wait = nanoseconds_to_next_tick(1);
    EXPECT_GT(wait, 0);
    EXPECT_LE(wait, S);
}

}  // namespace
