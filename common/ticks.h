// The wall clock of the clocks that stay on screen: the local time of day
// they show, and when they draw, on the wall clock's multiples of their
// interval (at an interval of 10 seconds at :00, :10, :20 ...), a little
// after each, so that the time read then is the new one.
#pragma once

#include <cstdint>
#include <ctime>

// The local time of day; "Cannot read the local time" ends the process
// when there is none.
void read_local_time(int &hour, int &minute, int &second);

// The wall clock now, in nanoseconds since the epoch.
std::int64_t wall_clock_ns();

// How long to wait from now until just after the next multiple of
// interval seconds (at least 1) of the wall clock, in nanoseconds; never
// longer than the interval itself.
std::int64_t nanoseconds_to_next_tick(int interval);

// The same wait for a clock that reads the time as now_ns nanoseconds since
// the epoch.
std::int64_t wait_for_tick(std::int64_t now_ns, int interval);

// A span of nanoseconds as a time-out for pselect or ppoll.
timespec as_timespec(std::int64_t nanoseconds);
