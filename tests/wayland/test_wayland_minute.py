"""A minute of quadrix-wayland -interval 1 with a running clock, as a
background on two outputs and in a window: resident memory stays where it
was after the first seconds, the clocks go on sending their changes every
second, and SIGTERM still ends them with status 0.

It takes more than a minute, so it is not part of ctest; CI runs it once,
as a step of its own, with the programs of the first build:

    cd tests/wayland && QUADRIX_WAYLAND=../../build/quadrix-wayland \\
    QUADRIX_IMAGE=../../build/quadrix-image \\
        /usr/bin/python3 -m unittest -v test_wayland_minute

MINUTE_SECONDS sets another length.
"""

import os
import signal
import time
import unittest

from wayland_harness import MEASURED_ASAN_OPTIONS, WaylandTestCase, rss_kib, wait_for

SECONDS = float(os.environ.get("MINUTE_SECONDS", "60"))


class Minute(WaylandTestCase):
    def test_memory_flat_over_a_minute(self):
        sway = self.sway(("1280x720", "640x480"))
        clocks = {
            "background": self.clock(sway, "-background", "-interval", "1", frozen=False,
                                     debug=True, asan_options=MEASURED_ASAN_OPTIONS),
            "window": self.clock(sway, "-interval", "1", frozen=False, debug=True,
                                 asan_options=MEASURED_ASAN_OPTIONS),
        }

        def commits(clock):
            return sum(1 for _, _, request, _ in clock.requests() if request == "commit")

        for clock in clocks.values():
            wait_for(lambda: commits(clock) >= 3, "the first pictures")
        time.sleep(5)
        before = {name: (rss_kib(clock.process.pid), commits(clock))
                  for name, clock in clocks.items()}
        time.sleep(SECONDS)
        for name, clock in clocks.items():
            with self.subTest(clock=name):
                self.assertIsNone(clock.process.poll(), clock.stderr_text())
                rss, sent = before[name]
                rss_after = rss_kib(clock.process.pid)
                sent_after = commits(clock)
                print("\n%s, %.0f s at -interval 1: RSS %d KiB before, %d KiB after; %d commits"
                      % (name, SECONDS, rss, rss_after, sent_after - sent))
                self.assertLessEqual(rss_after - rss, 256)
                # The face changes most seconds, at the least with the
                # minute bars.
                self.assertGreaterEqual(sent_after - sent, SECONDS / 10)
                clock.process.send_signal(signal.SIGTERM)
                self.assertExits(clock, 0)


if __name__ == "__main__":
    unittest.main()
