#include "ticks.h"

#include "host.h"

#include <time.h>

namespace {

constexpr std::int64_t NANOSECONDS = 1000 * 1000 * 1000;

// How far after the multiple the clock wakes: enough for the time it reads
// to have passed the multiple, little enough not to be seen.
constexpr std::int64_t LATE_BY = 2 * 1000 * 1000;

}  // namespace

void read_local_time(int &hour, int &minute, int &second) {
    const std::time_t now = std::time(nullptr);
    const std::tm *local = std::localtime(&now);
    if (local == nullptr)
        fatal_error("Cannot read the local time");
    hour = local->tm_hour;
    minute = local->tm_min;
    second = local->tm_sec;
}

std::int64_t wall_clock_ns() {
    timespec now{};
    clock_gettime(CLOCK_REALTIME, &now);
    return static_cast<std::int64_t>(now.tv_sec) * NANOSECONDS + now.tv_nsec;
}

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
    return wait_for_tick(wall_clock_ns(), interval);
}

timespec as_timespec(std::int64_t nanoseconds) {
    return timespec{static_cast<std::time_t>(nanoseconds / NANOSECONDS),
                    static_cast<long>(nanoseconds % NANOSECONDS)};
}
