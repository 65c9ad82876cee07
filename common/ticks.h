// When the clocks that stay on screen draw: on the wall clock's multiples
// of their interval (at an interval of 10 seconds at :00, :10, :20 ...), a
// little after each, so that the time read then is the new one.
#pragma once

#include <cstdint>

// How long to wait from now until just after the next multiple of
// interval seconds (at least 1) of the wall clock, in nanoseconds; never
// longer than the interval itself.
std::int64_t nanoseconds_to_next_tick(int interval);

// The same wait for a clock that reads the time as now_ns nanoseconds since
// the epoch.
std::int64_t wait_for_tick(std::int64_t now_ns, int interval);
