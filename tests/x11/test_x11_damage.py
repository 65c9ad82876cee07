"""What the updates of quadrix-x send, as the server's DAMAGE extension
reports the painted rectangles: only what changed, nothing at all when
nothing did, and each update just after the wall clock's multiple of the
interval; the root properties are rewritten only with a new picture."""

import subprocess
import time
import unittest

from x11_harness import Damage, XTestCase, capture, drawn, wait_for

# From here on the square slides up the screen: as much changes from one
# second to the next as at any time of the hour.
SLIDING = "2026-01-01 10:12:00"


def area(rectangles):
    return sum(w * h for _, _, _, w, h in rectangles)


def updates(rectangles, gap=0.05):
    """The times at which the updates began: rectangles less than gap
    seconds apart belong to one update."""
    begun = []
    last = None
    for moment, *_ in rectangles:
        if last is None or moment - last > gap:
            begun.append(moment)
        last = moment
    return begun


class Sent(XTestCase):
    def target(self, server, clock, root):
        """The window to watch, once the clock shows its first picture."""
        if root:
            wait_for(lambda: xprop_root_pixmap(server) is not None, "the clock's background")
            return "root"
        window = clock.mapped_window()
        wait_for(lambda: capture(server, window) is not None, "the clock's window")
        return window

    def test_repainted_area_of_a_running_clock(self):
        # 12 s at -interval 1: the part of the window repainted per second.
        cases = (
            ("-root at 1920x1080", "1920x1080x24", ("-root",), True, 1920 * 1080, 0.005),
            ("window 400x400", "640x480x24", ("-geometry", "400x400+0+0"), False, 400 * 400,
             0.01),
            ("window 80x80", "640x480x24", ("-geometry", "80x80+0+0"), False, 80 * 80, 0.01),
        )
        for what, screen, args, root, pixels, limit in cases:
            with self.subTest(what):
                server = self.server(screen)
                clock = self.clock(server, "-interval", "1", *args, running_from=SLIDING)
                target = self.target(server, clock, root)
                time.sleep(1)
                rectangles = Damage(server, target, 12).rectangles()
                share = area(rectangles) / 12 / pixels
                print("%s: %.4f %% repainted per second, %d rectangles in %d updates"
                      % (what, 100 * share, len(rectangles), len(updates(rectangles))))
                self.assertLessEqual(share, limit)
                # The clock runs: something changed in twelve seconds.
                self.assertGreater(share, 0)
                self.assertIsNone(clock.process.poll(), clock.stderr_text())
                clock.stop()
                server.stop()

    def test_nothing_changed_nothing_sent(self):
        # A frozen clock at -interval 1: after the first picture, three
        # time-outs paint nothing, and the root properties stay as written.
        for what, args, root in (("window", (), False), ("-root", ("-root",), True)):
            with self.subTest(what):
                server = self.server()
                clock = self.clock(server, "-interval", "1", *args)
                target = self.target(server, clock, root)
                spy = subprocess.Popen(["xprop", "-root", "-spy", "_XROOTPMAP_ID"],
                                       env=server.env(), stdout=subprocess.PIPE)
                self.addCleanup(spy.wait)
                self.addCleanup(spy.kill)
                rectangles = Damage(server, target, 3.5).rectangles()
                spy.kill()
                written = spy.communicate()[0].decode().splitlines()
                self.assertEqual(rectangles, [])
                # xprop prints the property once as it starts, and again at
                # every change.
                self.assertEqual(len(written), 1, written)
                if root:
                    self.assertIn("pixmap id", written[0])
                if not root:
                    self.assertEqual(capture(server, target), drawn())
                clock.stop()
                server.stop()

    def test_updates_fall_on_the_wall_clock(self):
        # The real time: every update begins within 0.15 s after a multiple
        # of the interval.
        cases = (
            ("window, -interval 1", ("-geometry", "400x400+0+0"), 1, False, 12),
            ("window, -interval 5", ("-geometry", "400x400+0+0"), 5, False, 16),
            ("-root, -interval 1", ("-root",), 1, True, 12),
        )
        for what, args, interval, root, seconds in cases:
            with self.subTest(what):
                server = self.server("1920x1080x24")
                clock = self.clock(server, "-interval", str(interval), *args, frozen=False)
                target = self.target(server, clock, root)
                begun = updates(Damage(server, target, seconds).rectangles())
                late = [round(moment % interval, 3) for moment in begun]
                print("%s: %d updates, after the multiple by %s s" % (what, len(begun), late))
                # Not every second changes the picture of a window.
                self.assertGreaterEqual(len(begun), seconds // interval // 2)
                self.assertTrue(all(0 <= offset < 0.15 for offset in late), late)
                clock.stop()
                server.stop()


def xprop_root_pixmap(server):
    result = server.run("xprop", "-root", "_XROOTPMAP_ID", check=False)
    text = result.stdout.decode()
    return text if "pixmap id" in text else None


if __name__ == "__main__":
    unittest.main()
