"""A minute of quadrix-x -root -interval 1: the server holds as many pixmaps
at the end as after the first seconds, all clients together; the time-outs
of a frozen clock send nothing, and its pixmap still holds the whole
picture.

It takes more than a minute, so it is not part of ctest; CI runs it once,
as a step of its own, with the programs of the first build:

    cd tests/x11 && QUADRIX_X=../../build/quadrix-x \\
    QUADRIX_IMAGE=../../build/quadrix-image \\
    X11_PROBE=../../build/tests/x11/x11_probe \\
        /usr/bin/python3 -m unittest -v test_x11_root_minute

ROOT_MINUTE_SECONDS sets another length.
"""

import os
import time
import unittest

from test_x11_root import RootTestCase, capture_root, pixmaps_by_client, pixmaps_of_owner
from x11_harness import X11_PROBE, MEASURED_ASAN_OPTIONS, cpu_seconds, drawn, rss_kib

SECONDS = float(os.environ.get("ROOT_MINUTE_SECONDS", "60"))


class RootMinute(RootTestCase):
    def test_pixmaps_steady_over_a_minute(self):
        server = self.server("1280x1024x24")
        clock = self.root_clock(server, "-interval", "1", asan_options=MEASURED_ASAN_OPTIONS)
        want = drawn(1280, 1024)
        self.assertRootShows(server, want)
        shown = self.assertShown(server, clock, (1280, 1024))
        time.sleep(3)
        _, before = pixmaps_by_client(server)
        rss_before = rss_kib(clock.process.pid)
        cpu_before = cpu_seconds(clock.process.pid)
        started = time.monotonic()

        time.sleep(SECONDS)
        self.assertIsNone(clock.process.poll(), clock.stderr_text())
        _, after = pixmaps_by_client(server)
        elapsed = time.monotonic() - started
        cpu = cpu_seconds(clock.process.pid) - cpu_before
        rss_after = rss_kib(clock.process.pid)
        print("\nroot minute: %.0f s; pixmaps in the server %d before, %d after; the clock's "
              "own %d; CPU %.3f s; RSS %d KiB before, %d KiB after"
              % (elapsed, before, after, pixmaps_of_owner(server, shown), cpu, rss_before,
                 rss_after))
        self.assertEqual(after, before)
        self.assertEqual(pixmaps_of_owner(server, shown), 1)
        self.assertLessEqual(rss_after - rss_before, 256)

        # Painted over from outside, with no event: the frozen picture has
        # not changed, so the time-outs send nothing; the background
        # pixmap still holds the whole picture, which the root window shows
        # once it is cleared to its background.
        server.run(X11_PROBE, "scribble", "root", "0x123456")
        scribbled = capture_root(server)
        self.assertNotEqual(scribbled, want)
        time.sleep(2.5)
        self.assertEqual(capture_root(server), scribbled)
        server.run(X11_PROBE, "expose", "root")
        self.assertRootShows(server, want, "the picture after a scribble and a clear")


if __name__ == "__main__":
    unittest.main()
