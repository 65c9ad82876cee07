"""quadrix-wayland in a window on a headless sway: the window read back by
grim is quadrix-image's picture at the window's size, tiled at the size
sway gives it, floating at the size it asks for, after a resize and on an
output of scale 2; its app_id and title, and the ways it ends."""

import signal
import unittest

from wayland_harness import WaylandTestCase, drawn, wait_for

# Windows whose app_id starts with "float" float, at the size they ask for,
# however small.
FLOATING = 'for_window [app_id="^float"] floating enable\nfloating_minimum_size -1 x -1\n'


class Window(WaylandTestCase):
    def test_tiled_at_the_size_sway_gives(self):
        sway = self.sway(("640x480",))
        clock = self.clock(sway, "-bg", "gray20", "-fg", "white")
        colours = ("-bg", "51", "51", "51", "-ic", "51", "51", "51", "-sc", "255", "255", "255",
                   "-hc", "255", "255", "255", "-mc", "255", "255", "255")
        self.assertWindowShows(sway, "quadrix-wayland", drawn(640, 480, colours), "tiled", clock)
        # A second window halves the first one's place.
        other = self.clock(sway, "-name", "other")
        self.assertWindowShows(sway, "quadrix-wayland", drawn(320, 480, colours),
                               "the left half", clock)
        self.assertWindowShows(sway, "other", drawn(320, 480), "the right half", other)
        # Tiled windows follow a resize of their container.
        sway.msg("[app_id=other]", "resize", "grow", "width", "100", "px")
        rect = wait_for(lambda: (lambda r: r if r["width"] == 420 else None)(
            sway.window("other")["rect"]), "the resize")
        self.assertWindowShows(sway, "other", drawn(rect["width"], rect["height"]),
                               "after swaymsg resize", other)
        self.assertWindowShows(sway, "quadrix-wayland", drawn(220, 480, colours),
                               "the other after the resize", clock)

    def test_tiled_below_the_smallest_face(self):
        # Tiling gives each of two windows 20 pixels of width: the smallest
        # face, cut to the window.
        sway = self.sway(("40x30",))
        clock = self.clock(sway, "-border", "3")
        other = self.clock(sway, "-name", "other")
        self.assertWindowShows(sway, "quadrix-wayland", drawn(27, 30, border=3, crop=(20, 30)),
                               "the left window", clock)
        self.assertWindowShows(sway, "other", drawn(21, 30, crop=(20, 30)), "the right window",
                               other)

    def test_floating_asks_for_its_geometry(self):
        sway = self.sway(("640x480",), config=FLOATING)
        for args, size in (((), (80, 80)),
                           (("-geometry", "120x90-0+0"), (120, 90)),
                           (("-geometry", "15x200"), (21, 200)),
                           (("-geometry", "60x60", "-border", "25"), (71, 71)),
                           (("-geometry", "no geometry"), (80, 80))):
            with self.subTest(args=args):
                clock = self.clock(sway, "-name", "floating", *args)
                border = 25 if "-border" in args else None
                self.assertWindowShows(sway, "floating", drawn(*size, border=border),
                                       "floating with %s" % (args,), clock)
                sway.msg("[app_id=floating]", "kill")
                self.assertExits(clock, 0)
                wait_for(lambda: sway.window("floating") is None, "the window to go")

    def test_resize_and_scale(self):
        sway = self.sway(("640x480",), config=FLOATING)
        clock = self.clock(sway, "-name", "floating", "-interval", "1000")
        self.assertWindowShows(sway, "floating", drawn(80, 80), "the first picture", clock)
        # Sizes from the compositor, from the time-out's point of view at
        # once; below the face's minimum the window shows the top left of
        # the smallest face.
        for width, height in ((200, 150), (30, 300), (21, 21), (10, 15)):
            with self.subTest(size=(width, height)):
                sway.msg("[app_id=floating]", "resize", "set", str(width), str(height))
                picture = drawn(max(width, 21), max(height, 21), crop=(width, height))
                self.assertWindowShows(sway, "floating", picture,
                                       "after resize set %d %d" % (width, height), clock)
        sway.msg("[app_id=floating]", "resize", "set", "100", "100")
        self.assertWindowShows(sway, "floating", drawn(100, 100), "at 100 x 100", clock)
        # Twice the pixels at scale 2: the face drawn at that size.  The
        # output's half size leaves room at its top left.
        sway.msg("[app_id=floating]", "move", "position", "0", "0")
        sway.msg("output", "HEADLESS-1", "scale", "2")
        self.assertWindowShows(sway, "floating", drawn(200, 200), "at scale 2", clock)

    def test_asks_for_the_smallest_face_and_the_display_named(self):
        # -display wins over WAYLAND_DISPLAY.
        sway = self.sway(("320x240",))
        for args, smallest in (((), "21, 21"), (("-border", "10"), "41, 41")):
            with self.subTest(args=args):
                env = sway.env(TZ="UTC", WAYLAND_DISPLAY="no-such-display")
                clock = self.clock(sway, "-display", sway.socket, "-interval", "100000", *args,
                                   env=env, debug=True)
                border = 10 if args else None
                self.assertWindowShows(sway, "quadrix-wayland", drawn(320, 240, border=border),
                                       "the window", clock)
                self.assertIn(("set_min_size", smallest),
                              [(request, arguments) for _, _, request, arguments
                               in clock.requests()])
                clock.process.send_signal(signal.SIGTERM)
                self.assertExits(clock, 0)
                wait_for(lambda: sway.window("quadrix-wayland") is None, "the window to go")

    def test_app_id_and_title(self):
        sway = self.sway(("320x240",))
        for args, app_id, title in (
                ((), "quadrix-wayland", "quadrix-wayland"),
                (("-name", "clock-a", "-title", "Clock A"), "clock-a", "Clock A"),
                # UTF-8 as it is; other text read as Latin-1.
                (("-name", "uhr", "-title", "Uhr \u00e9t\u00e9"), "uhr", "Uhr \u00e9t\u00e9"),
                (("-name", "latin", "-title", b"Uhr \xe9t\xe9"), "latin", "Uhr \u00e9t\u00e9")):
            with self.subTest(args=args):
                clock = self.clock(sway, *args)
                node = wait_for(lambda: sway.window(app_id), "a window " + app_id)
                self.assertEqual(node["name"], title)
                self.assertEqual(node["pid"], clock.process.pid)
                clock.process.send_signal(signal.SIGINT)
                self.assertExits(clock, 0)
                wait_for(lambda: sway.window(app_id) is None, "the window to go")

    def test_close_ends_with_status_0(self):
        sway = self.sway(("320x240",))
        clock = self.clock(sway, "-interval", "100000")
        self.assertWindowShows(sway, "quadrix-wayland", drawn(320, 240), "the picture", clock)
        sway.msg("[app_id=quadrix-wayland]", "kill")
        self.assertExits(clock, 0)
        self.assertEqual(clock.stderr_text(), "")

    def test_sigterm_takes_the_window_away(self):
        sway = self.sway(("320x240",))
        clock = self.clock(sway)
        self.assertWindowShows(sway, "quadrix-wayland", drawn(320, 240), "the picture", clock)
        clock.process.send_signal(signal.SIGTERM)
        self.assertExits(clock, 0)
        self.assertEqual(clock.stderr_text(), "")
        self.assertIsNone(sway.window("quadrix-wayland"))


if __name__ == "__main__":
    unittest.main()
