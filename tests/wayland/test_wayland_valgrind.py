"""The window and the background under valgrind: no invalid access, no
uninitialised value, no leak, through the first pictures, a new size and
the end on SIGTERM.  The sanitizer build runs every other test under
AddressSanitizer instead, and skips this one."""

import os
import signal
import unittest

from wayland_harness import WaylandTestCase, drawn

VALGRIND = ("valgrind", "--quiet", "--error-exitcode=99", "--leak-check=full",
            "--show-leak-kinds=definite,indirect,possible",
            "--errors-for-leak-kinds=definite,indirect,possible")

FLOATING = 'for_window [app_id="quadrix-wayland"] floating enable\n'


@unittest.skipIf(os.environ.get("SANITIZE") == "ON", "valgrind does not run sanitized programs")
class Valgrind(WaylandTestCase):
    def test_window(self):
        sway = self.sway(("320x240",), config=FLOATING)
        clock = self.clock(sway, "-bg", "navy", wrapper=VALGRIND)
        colours = ("-bg", "0", "0", "128", "-ic", "0", "0", "128")
        self.assertWindowShows(sway, "quadrix-wayland", drawn(80, 80, colours), "the window",
                               clock)
        sway.msg("[app_id=quadrix-wayland]", "resize", "set", "150", "100")
        self.assertWindowShows(sway, "quadrix-wayland", drawn(150, 100, colours),
                               "after a resize", clock)
        clock.process.send_signal(signal.SIGTERM)
        self.assertExits(clock, 0)
        self.assertEqual(clock.stderr_text(), "")

    def test_background(self):
        sway = self.sway(("320x240", "200x150"))
        clock = self.clock(sway, "-background", "-border", "4", wrapper=VALGRIND)
        self.assertOutputShows(sway, "HEADLESS-2", drawn(200, 150, border=4), "HEADLESS-2", clock)
        sway.msg("output", "HEADLESS-1", "resolution", "400x300")
        self.assertOutputShows(sway, "HEADLESS-1", drawn(400, 300, border=4),
                               "after a new mode", clock)
        sway.msg("create_output")
        sway.msg("output", "HEADLESS-3", "resolution", "100x100")
        self.assertOutputShows(sway, "HEADLESS-3", drawn(100, 100, border=4), "HEADLESS-3", clock)
        clock.process.send_signal(signal.SIGTERM)
        self.assertExits(clock, 0)
        self.assertEqual(clock.stderr_text(), "")


if __name__ == "__main__":
    unittest.main()
