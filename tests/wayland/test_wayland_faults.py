"""What goes wrong while the clock runs: the compositor killed under it, and
buffers whose memory cannot be had."""

import os
import unittest

from wayland_harness import WaylandTestCase, drawn

SANITIZED = os.environ.get("SANITIZE") == "ON"


class Faults(WaylandTestCase):
    def test_killed_compositor(self):
        # The time-out is far away: only the broken connection can wake the
        # clock.
        for args in ((), ("-background",)):
            with self.subTest(args=args):
                sway = self.sway(("320x240",))
                clock = self.clock(sway, "-interval", "100000", *args)
                if args:
                    self.assertOutputShows(sway, "HEADLESS-1", drawn(320, 240), "the background",
                                           clock)
                else:
                    self.assertWindowShows(sway, "quadrix-wayland", drawn(320, 240),
                                           "the window", clock)
                sway.kill()
                self.assertExits(clock, 1, timeout=10)
                self.assertEqual(clock.stderr_text(), "\nError quadrix-wayland: Lost the "
                                 "connection to the Wayland compositor\n\n")

    @unittest.skipIf(SANITIZED, "the sanitizers need far more address space than the limit")
    def test_buffer_memory_that_cannot_be_had(self):
        # A 4000 x 3000 output takes a buffer of 48 MB: beyond an address
        # space of 32 MiB it cannot be mapped, and beyond a file size of
        # 1 MB its memory cannot be had.
        sway = self.sway(("4000x3000",))
        for limit, message in (("--as=33554432", "Out of memory"),
                               ("--fsize=1000000", "Cannot make a buffer: File too large")):
            with self.subTest(limit=limit):
                clock = self.clock(sway, "-background", wrapper=("prlimit", limit))
                self.assertExits(clock, 1)
                self.assertEqual(clock.stderr_text(),
                                 "\nError quadrix-wayland: %s\n\n" % message)


if __name__ == "__main__":
    unittest.main()
