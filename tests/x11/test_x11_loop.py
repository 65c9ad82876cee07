"""The loop: after every time-out and every batch of events the clock sends
what changed, nothing when nothing did; a new pixmap after ConfigureNotify
and an Expose bring the whole picture; sleep in between, and the ways out:
a close request (status 0) and a lost server."""

import os
import time
import unittest

from x11_harness import WAIT, X11_PROBE, XTestCase, capture, drawn, wait_for

SCRIBBLE = 0x123456  # a pixel value that no picture here uses


def solid(width, height, rgb=(0x12, 0x34, 0x56)):
    return b"P6\n%d %d\n255\n" % (width, height) + bytes(rgb) * (width * height)


def cpu_and_waits(pid):
    """The process's CPU time in clock ticks and its count of voluntary
    context switches, which grows by one for every sleep in select."""
    with open("/proc/%d/stat" % pid) as stat:
        fields = stat.read().rpartition(")")[2].split()
    ticks = int(fields[11]) + int(fields[12])  # utime, stime
    with open("/proc/%d/status" % pid) as status:
        for line in status:
            if line.startswith("voluntary_ctxt_switches:"):
                return ticks, int(line.split()[1])
    raise AssertionError("no context switches in /proc")


class Loop(XTestCase):
    def scribble(self, server, window, size=(80, 80)):
        """Paints over the window from another client, which sends the
        clock no event, and waits until the paint shows."""
        server.run(X11_PROBE, "scribble", str(window), str(SCRIBBLE))
        wait_for(lambda: capture(server, window) == solid(*size), "the scribble")

    def test_resize_follows_the_window(self):
        server = self.server()
        clock = self.clock(server)
        window = clock.window
        self.assertShows(server, window, drawn())
        # Below the face's minimum the smallest face is drawn and clipped;
        # the clock keeps running and follows when the window grows again.
        for size, picture in (((120, 90), drawn(120, 90)),
                              ((10, 10), drawn(21, 21, crop=(10, 10))),
                              ((15, 200), drawn(21, 200, crop=(15, 200))),
                              ((100, 60), drawn(100, 60)),
                              ((21, 21), drawn(21, 21))):
            with self.subTest(size=size):
                server.run("xdotool", "windowsize", str(window), str(size[0]), str(size[1]))
                self.assertShows(server, window, picture, "the picture at %dx%d" % size)
                self.assertIsNone(clock.process.poll(), clock.stderr_text())

    def test_resize_below_the_minimum_of_a_border(self):
        server = self.server()
        clock = self.clock(server, "-border", "5")
        window = clock.window
        self.assertShows(server, window, drawn(border=5))
        server.run("xdotool", "windowsize", str(window), "20", "40")
        self.assertShows(server, window, drawn(31, 40, border=5, crop=(20, 40)))
        server.run("xdotool", "windowsize", str(window), "50", "31")
        self.assertShows(server, window, drawn(50, 31, border=5))
        self.assertIsNone(clock.process.poll(), clock.stderr_text())

    def test_move_redraws_at_once(self):
        # Interval 10: a redraw within a few seconds comes from the event.
        server = self.server()
        clock = self.clock(server)
        window = clock.window
        self.assertShows(server, window, drawn())
        self.scribble(server, window)
        started = time.monotonic()
        server.run("xdotool", "windowmove", str(window), "20", "30")
        self.assertShows(server, window, drawn(), "the picture after a move")
        self.assertLess(time.monotonic() - started, 9)
        self.assertEqual(clock.info()["geometry"], [20, 30, 80, 80])

    def test_time_outs_send_only_what_changed(self):
        # An interval below 1 is a time-out of one second.  The clock is
        # frozen: after the time-outs the scribble is still there, nothing
        # having changed; an Expose brings the whole picture back.
        server = self.server()
        clock = self.clock(server, "-interval", "0")
        window = clock.window
        self.assertShows(server, window, drawn())
        self.scribble(server, window)
        time.sleep(2.5)
        self.assertEqual(capture(server, window), solid(80, 80))
        started = time.monotonic()
        server.run(X11_PROBE, "expose", str(window))
        self.assertShows(server, window, drawn(), "the picture after an Expose")
        self.assertLess(time.monotonic() - started, 5)
        self.assertIsNone(clock.process.poll(), clock.stderr_text())

    def test_sleeps_between_redraws(self):
        # No redraw and next to no work without an event or a time-out;
        # the largest interval is a valid time-out too.
        for interval in ("10", "99999999999"):
            with self.subTest(interval=interval):
                server = self.server()
                clock = self.clock(server, "-interval", interval)
                window = clock.window
                self.assertShows(server, window, drawn())
                self.scribble(server, window)
                ticks, waits = cpu_and_waits(clock.process.pid)
                time.sleep(2)
                ticks_after, waits_after = cpu_and_waits(clock.process.pid)
                self.assertEqual(capture(server, window), solid(80, 80))
                self.assertLessEqual(ticks_after - ticks, os.sysconf("SC_CLK_TCK") // 10)
                self.assertLessEqual(waits_after - waits, 2)
                clock.stop()
                server.stop()

    def test_close_request_ends_with_status_0(self):
        for message, extra in (
                (("WM_PROTOCOLS", "WM_DELETE_WINDOW"), ()),
                # A ConfigureNotify in the same batch changes nothing.
                (("WM_PROTOCOLS", "WM_DELETE_WINDOW"), ("move",)),
                # Only the first data word is compared.
                (("WM_NAME", "WM_DELETE_WINDOW"), ())):
            with self.subTest(message=message, extra=extra):
                server = self.server()
                clock = self.clock(server)
                self.assertShows(server, clock.window, drawn())
                server.run(X11_PROBE, "send", str(clock.window), *message, *extra)
                self.assertExits(clock, 0)
                self.assertEqual(clock.stderr_text(), "")
                server.stop()

    def test_other_client_messages_change_nothing(self):
        server = self.server()
        clock = self.clock(server)
        window = clock.window
        self.assertShows(server, window, drawn())
        self.scribble(server, window)
        server.run(X11_PROBE, "send", str(window), "WM_PROTOCOLS", "WM_TAKE_FOCUS")
        time.sleep(1)
        self.assertIsNone(clock.process.poll())
        self.assertEqual(capture(server, window), solid(80, 80))
        server.run(X11_PROBE, "send", str(window), "WM_PROTOCOLS", "WM_DELETE_WINDOW")
        self.assertExits(clock, 0)

    def test_lost_server_ends_the_clock(self):
        # The time-out is far away: only the broken connection can wake it.
        server = self.server()
        clock = self.clock(server, "-interval", "100000")
        self.assertShows(server, clock.window, drawn())
        server.stop()
        self.assertExits(clock, 1, timeout=min(WAIT, 10))
        self.assertIn(server.display, clock.stderr_text())


if __name__ == "__main__":
    unittest.main()
