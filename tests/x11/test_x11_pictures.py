"""The window shows, pixel for pixel, the picture that quadrix-image draws
for the same time, size, border and colours, at every depth; so do the
taskbar icons in _NET_WM_ICON, at their sizes."""

import time
import unittest

from x11_harness import XTestCase, drawn, raw_properties, wait_for

# Colour options of quadrix-x and the same colours for quadrix-image.
BLACK_AND_WHITE = ((), ())
SATURATED = (
    ("-fg", "#0000ff", "-bg", "#ff0000", "-ic", "#ffff00"),
    ("-bg", "255", "0", "0", "-ic", "255", "255", "0", "-sc", "0", "0", "255",
     "-hc", "0", "0", "255", "-mc", "0", "0", "255"))
SATURATED_NAMES = (
    ("-sc", "cyan", "-hc", "#00ff00", "-mc", "magenta", "-bg", "black", "-ic", "white"),
    ("-bg", "0", "0", "0", "-ic", "255", "255", "255", "-sc", "0", "255", "255",
     "-hc", "0", "255", "0", "-mc", "255", "0", "255"))
SHADES = (
    ("-bg", "#123456", "-ic", "#fedcba", "-fg", "rgb:80/40/20", "-mc", "#010203"),
    ("-bg", "18", "52", "86", "-ic", "254", "220", "186", "-sc", "128", "64", "32",
     "-hc", "128", "64", "32", "-mc", "1", "2", "3"))

# The screens: a name, the size and depth, other Xvfb options, and the
# colours that the depth can show exactly.
SCREENS = (
    ("24-bit TrueColor", "640x480x24", (), (BLACK_AND_WHITE, SATURATED, SATURATED_NAMES, SHADES)),
    ("16-bit TrueColor", "640x480x16", (), (BLACK_AND_WHITE, SATURATED, SATURATED_NAMES)),
    ("8-bit PseudoColor", "640x480x8", (), (BLACK_AND_WHITE, SATURATED, SATURATED_NAMES, SHADES)),
    # The default visual is of neither class: the clock takes a TrueColor
    # visual, and a PseudoColor one, with colormaps of their own.
    ("24-bit DirectColor default", "640x480x24", ("-cc", "5"),
     (BLACK_AND_WHITE, SATURATED, SHADES)),
    ("8-bit StaticColor default", "640x480x8", ("-cc", "2"),
     (BLACK_AND_WHITE, SATURATED, SHADES)),
)


class SamePicture(XTestCase):
    def test_every_depth(self):
        for name, screen, extra, colour_sets in SCREENS:
            for x_colours, image_colours in colour_sets:
                with self.subTest(screen=name, colours=x_colours):
                    server = self.server(screen, extra)
                    clock = self.clock(server, *x_colours)
                    self.assertShows(server, clock.window, drawn(colours=image_colours))
                    clock.stop()
                    server.stop()

    def test_colour_defaults(self):
        cases = (
            # Only -fg: rim, hour and minutes; background and inside white.
            (("-fg", "red"), ("-sc", "255", "0", "0", "-hc", "255", "0", "0",
                              "-mc", "255", "0", "0")),
            # Only -bg: the inside follows it; the rest stays black.
            (("-bg", "blue"), ("-bg", "0", "0", "255", "-ic", "0", "0", "255")),
            # -ic alone leaves the background white.
            (("-ic", "#00ff00"), ("-ic", "0", "255", "0")),
            # A name the server does not know gives the default, silently.
            (("-fg", "blue", "-hc", "no such colour", "-bg", "#12"),
             ("-sc", "0", "0", "255", "-hc", "0", "0", "255", "-mc", "0", "0", "255")),
            # The last of a repeated option wins.
            (("-mc", "red", "-mc", "lime"), ("-mc", "0", "255", "0")),
        )
        for x_colours, image_colours in cases:
            with self.subTest(colours=x_colours):
                server = self.server()
                clock = self.clock(server, *x_colours)
                self.assertShows(server, clock.window, drawn(colours=image_colours))
                self.assertEqual(clock.stderr_text(), "")
                clock.stop()
                server.stop()

    def test_sizes_and_borders(self):
        cases = (
            (("-border", "0"), dict(border=0)),
            (("-border", "7"), dict(border=7)),
            (("-geometry", "200x120"), dict(width=200, height=120)),
            (("-geometry", "23x60+3+4"), dict(width=23, height=60)),
            (("-geometry", "10x10", "-border", "3"), dict(width=27, height=27, border=3)),
            (("-w",), dict(width=64, height=64)),
        )
        for args, picture in cases:
            with self.subTest(args=args):
                server = self.server()
                clock = self.clock(server, *args)
                self.assertShows(server, clock.window, drawn(**picture))
                clock.stop()
                server.stop()

    def test_screen_smaller_than_the_face(self):
        # The border asks for 221 pixels; the window gets the screen's 100,
        # and shows the top left of the face.
        server = self.server("100x100x24")
        clock = self.clock(server, "-border", "100")
        self.assertShows(server, clock.window,
                         drawn(221, 221, border=100, crop=(100, 100)))


ICON_SIZES = (32, 48, 64)


def icons(server, window):
    """The pictures in the window's _NET_WM_ICON as PPMs, by size, in the
    order they come; each must be opaque."""
    kind, format_, items = raw_properties(server, window, "_NET_WM_ICON")["_NET_WM_ICON"]
    assert (kind, format_) == ("CARDINAL", 32), (kind, format_)
    found = []
    while items:
        # The probe prints each CARDINAL as Xlib holds it, in a signed long.
        width, height = items[0], items[1]
        pixels = [item & 0xffffffff for item in items[2:2 + width * height]]
        assert len(pixels) == width * height
        assert all(pixel >> 24 == 0xff for pixel in pixels), "an icon that is not opaque"
        raster = b"".join(bytes(((p >> 16) & 0xff, (p >> 8) & 0xff, p & 0xff)) for p in pixels)
        found.append(((width, height), b"P6\n%d %d\n255\n" % (width, height) + raster))
        items = items[2 + width * height:]
    return found


class TaskbarIcons(XTestCase):
    def test_icons_are_the_picture_at_their_sizes(self):
        # In the clock's colours, with the border the library chooses,
        # whatever the window's own size and border; withdrawn too.
        for args, (x_colours, image_colours) in (
                ((), BLACK_AND_WHITE),
                (("-border", "9", "-geometry", "200x100"), SATURATED),
                (("-w",), SHADES)):
            with self.subTest(args=args, colours=x_colours):
                server = self.server()
                clock = self.clock(server, *args, *x_colours)
                want = [((size, size), drawn(size, size, colours=image_colours))
                        for size in ICON_SIZES]
                self.assertEqual(icons(server, clock.window), want)
                clock.stop()
                server.stop()

    def test_icons_follow_the_time(self):
        # From 10:14:57 the clock runs past the quarter hour, which moves
        # the bars of even the smallest icon.
        server = self.server()
        clock = self.clock(server, "-interval", "1", running_from="2026-01-01 10:14:57")
        first = icons(server, clock.window)

        def at(hour, minute, second):
            return [((size, size), drawn(size, size, time=(hour, minute, second)))
                    for size in ICON_SIZES]

        self.assertIn(first, [at(10, 14, second) for second in (57, 58, 59)])
        time.sleep(4)
        later = wait_for(lambda: icons(server, clock.window) != first and
                         icons(server, clock.window), "new icons")
        self.assertIn(later, [at(10, 15, second) for second in range(0, 10)])


if __name__ == "__main__":
    unittest.main()
