"""What the clock costs while it runs: asleep between the multiples of its
interval, nothing sent while the picture stays the same, and with a running
clock damage over the changed pixels only, sent just after each multiple of
the wall clock.  Requests are read from WAYLAND_DEBUG's lines."""

import calendar
import time
import unittest

from wayland_harness import WaylandTestCase, cpu_and_wakeups, drawn, wait_for

# A running clock from 10:14:55: the square slides towards its place for
# the quarter, and the minute turns.
START = "2026-01-01 10:14:55"
START_US = calendar.timegm(time.strptime(START, "%Y-%m-%d %H:%M:%S")) * 10**6


def commits(requests):
    """Each commit with the damage sent before it: (time printed in ms,
    surface, boxes as (x, y, width, height))."""
    found = []
    damage = {}
    for printed, target, request, arguments in requests:
        if request == "damage_buffer":
            damage.setdefault(target, []).append(tuple(int(a) for a in arguments.split(", ")))
        elif request == "commit":
            found.append((printed, target, damage.pop(target, [])))
    return found


def wall_clock_us(printed, near_us):
    """The time of a WAYLAND_DEBUG line in microseconds since the epoch:
    libwayland prints it modulo 2 ** 32 microseconds; near_us is a time
    within half an hour of it."""
    low = round(printed * 1000)
    return low + round((near_us - low) / 2**32) * 2**32


class Cost(WaylandTestCase):
    def test_asleep_and_silent_while_nothing_changes(self):
        # A frozen clock at -interval 2, a background on two outputs and a
        # window: over 10 s each wakes about once a tick, uses next to no
        # CPU and sends nothing after its first pictures.
        sway = self.sway(("640x480", "320x240"))
        background = self.clock(sway, "-background", "-interval", "2", debug=True)
        window = self.clock(sway, "-interval", "2", debug=True)
        self.assertOutputShows(sway, "HEADLESS-2", drawn(320, 240), "the background", background)
        self.assertWindowShows(sway, "quadrix-wayland", drawn(640, 480), "the window", window)
        time.sleep(1)
        before = {clock: (cpu_and_wakeups(clock.process.pid), len(clock.requests()))
                  for clock in (background, window)}
        time.sleep(10)
        for clock, name in ((background, "background"), (window, "window")):
            (cpu, wakeups), sent = before[clock]
            cpu_after, wakeups_after = cpu_and_wakeups(clock.process.pid)
            print("\n%s, 10 s idle at -interval 2: %.3f s CPU, %d wakeups"
                  % (name, cpu_after - cpu, wakeups_after - wakeups))
            with self.subTest(clock=name):
                self.assertLessEqual(cpu_after - cpu, 0.05)
                self.assertLessEqual(wakeups_after - wakeups, 7)
                self.assertGreaterEqual(wakeups_after - wakeups, 4)
                self.assertEqual(clock.requests()[sent:], [])

    def test_damage_and_timing_with_a_running_clock(self):
        sway = self.sway(("1280x720", "640x480"))
        started = time.monotonic()
        clock = self.clock(sway, "-background", "-interval", "1", faketime="@" + START,
                           frozen=False, debug=True)
        wait_for(lambda: len([c for c in commits(clock.requests()) if c[2]]) >= 2,
                 "the first pictures")
        time.sleep(12)
        self.assertIsNone(clock.process.poll(), clock.stderr_text())
        elapsed_us = (time.monotonic() - started) * 10**6
        found = commits(clock.requests())
        pixels = 1280 * 720 + 640 * 480

        # After the first pictures, which cover every output whole (a
        # surface's very first commit, which makes it, has none).
        first = {}
        late = []
        for printed, surface, boxes in found:
            when = wall_clock_us(printed, START_US + elapsed_us / 2)
            if surface not in first and boxes:
                first[surface] = when
                self.assertEqual(len(boxes), 1)
            elif surface in first:
                late.append((when, boxes))
        self.assertEqual(len(first), 2)
        settled = max(first.values()) + 10**6
        measured = [(when, boxes) for when, boxes in late if when >= settled]
        seconds = (measured[-1][0] - settled) / 10**6 if measured else 0
        area = sum(width * height for _, boxes in measured for _, _, width, height in boxes)
        late_by = [when % 10**6 / 10**6 for when, _ in measured]
        print("\nrunning clock at -interval 1 over %.1f s: %d commits, %.0f damaged pixels a "
              "second (%.4f %% of %d), at most %.3f s after the second"
              % (seconds, len(measured), area / max(seconds, 1), 100 * area / max(seconds, 1)
                 / pixels, pixels, max(late_by, default=0)))
        self.assertGreaterEqual(seconds, 8)
        # Both outputs change every second or so; none is painted whole.
        self.assertGreaterEqual(len(measured), 10)
        self.assertLessEqual(area / seconds, 0.005 * pixels)
        for offset in late_by:
            self.assertLess(offset, 0.15)
        # Every box lies inside its buffer.
        for _, boxes in measured:
            for x, y, width, height in boxes:
                self.assertTrue(x >= 0 and y >= 0 and width > 0 and height > 0
                                and x + width <= 1280 and y + height <= 720, (x, y, width, height))


if __name__ == "__main__":
    unittest.main()
