#include "ticks.h"

#include <time.h>

namespace {

constexpr std::int64_t NANOSECONDS = 1000 * 1000 * 1000;

// How far after the multiple the clock wakes: enough for the time it reads
// to have passed the multiple, little enough not to be seen.
constexpr std::int64_t LATE_BY = 2 * 1000 * 1000;

}  // namespace

std::int64_t wait_for_tick(std::int64_t now_ns, int interval) {
    const std::int64_t period = (interval < 1 ? 1 : interval) * NANOSECONDS;
    // The next multiple strictly after now, also before the epoch.
    std::int64_t into = now_ns % period;
    if (into < 0)
        into += period;
    const std::int64_t wait = period - into + LATE_BY;
    return wait < period ? wait : period;
}

std::int64_t nanoseconds_to_next_tick(int interval) {
    timespec now{};
    clock_gettime(CLOCK_REALTIME, &now);
    return wait_for_tick(static_cast<std::int64_t>(now.tv_sec) * NANOSECONDS + now.tv_nsec,
                         interval);
}
