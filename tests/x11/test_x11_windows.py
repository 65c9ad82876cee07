"""The windows and what the window manager reads from the main window, as
the server holds them: place and size, size hints, WM_HINTS in normal and
withdrawn mode, the class, the name and the close protocol."""

import os
import unittest

from x11_harness import QUADRIX_X, X11_PROBE, XTestCase

# Flags of WM_NORMAL_HINTS and WM_HINTS.
US_POSITION = 1
US_SIZE = 2
P_MIN_SIZE = 16
P_MAX_SIZE = 32
P_BASE_SIZE = 256
INPUT_HINT = 1
STATE_HINT = 2
ICON_WINDOW_HINT = 8
ICON_POSITION_HINT = 16
WINDOW_GROUP_HINT = 64
NORMAL_STATE = 1
WITHDRAWN_STATE = 0
IS_UNMAPPED = 0
IS_VIEWABLE = 2

SIZE_FLAGS = US_SIZE | P_MIN_SIZE | P_MAX_SIZE | P_BASE_SIZE  # 306

# On a 640 x 480 screen: the options, then the window's x, y, width and
# height, the hint's flags, its x and y, and the minimum size.
PLACES = (
    ((), (280, 200, 80, 80), SIZE_FLAGS, (0, 0), 21),
    (("-geometry", "10x10"), (280, 200, 21, 21), SIZE_FLAGS, (0, 0), 21),
    (("-geometry", "10x10", "-border", "5"), (280, 200, 31, 31), SIZE_FLAGS, (0, 0), 31),
    # A size without a position keeps the corner of a centred 80 x 80.
    (("-geometry", "120x90"), (280, 200, 120, 90), SIZE_FLAGS, (0, 0), 21),
    (("-geometry", "100x100-0-0"), (540, 380, 100, 100), SIZE_FLAGS | US_POSITION, (0, 0), 21),
    (("-geometry", "-10-20"), (550, 380, 80, 80), SIZE_FLAGS | US_POSITION, (-10, -20), 21),
    (("-geometry", "+30+40"), (30, 40, 80, 80), SIZE_FLAGS | US_POSITION, (30, 40), 21),
    # Larger than the screen: the screen's size, at 0, 0.
    (("-geometry", "1000x1000+5+5"), (0, 0, 640, 480), SIZE_FLAGS | US_POSITION, (5, 5), 21),
    # Beyond the right and bottom edges: moved back to end there.
    (("-geometry", "50x50+700+600"), (590, 430, 50, 50), SIZE_FLAGS | US_POSITION,
     (700, 600), 21),
    (("-geometry", "50x50+-30+-40"), (0, 0, 50, 50), SIZE_FLAGS | US_POSITION, (-30, -40), 21),
    # Only x: no USPosition, and Xlib stores no position without it.
    (("-geometry", "+15"), (15, 200, 80, 80), SIZE_FLAGS, (0, 0), 21),
    # A text that the parse rejects changes nothing.
    (("-geometry", "huge"), (280, 200, 80, 80), SIZE_FLAGS, (0, 0), 21),
    (("-geometry", "4294967295x4294967295"), (0, 0, 640, 480), SIZE_FLAGS, (0, 0), 21),
    (("-border", "200"), (219, 59, 421, 421), SIZE_FLAGS, (0, 0), 421),
    # Withdrawn mode has its own geometry, whatever -geometry says.
    (("-w",), (0, 0, 64, 64), SIZE_FLAGS | US_POSITION, (0, 0), 21),
    (("-w", "-geometry", "200x200+10+10"), (0, 0, 64, 64), SIZE_FLAGS | US_POSITION, (0, 0), 21),
    (("-geometry", "200x200+10+10", "-w"), (0, 0, 64, 64), SIZE_FLAGS | US_POSITION, (0, 0), 21),
    (("-w", "-border", "30"), (0, 0, 81, 81), SIZE_FLAGS | US_POSITION, (0, 0), 81),
)


class Windows(XTestCase):
    def test_place_size_and_hints(self):
        for args, (x, y, width, height), flags, (hint_x, hint_y), minimum in PLACES:
            with self.subTest(args=args):
                server = self.server("640x480x24")
                clock = self.clock(server, *args)
                main = clock.info()
                self.assertEqual(main["geometry"], [x, y, width, height])
                self.assertEqual(main["parent"], main["root"])
                self.assertEqual(main["map_state"], IS_VIEWABLE)
                self.assertEqual(main["normal_hints"], [
                    flags, hint_x, hint_y, width, height, minimum, minimum, 640, 480,
                    0, 0, 0, 0, 0, 0, width, height, 0])

                # The icon window: the one child, unmapped, at the same x and
                # y inside the main window, of the same size.
                self.assertEqual(len(main["children"]), 1)
                icon = clock.info(main["children"][0])
                self.assertEqual(icon["geometry"], [x, y, width, height])
                self.assertEqual(icon["map_state"], IS_UNMAPPED)

                if "-w" in args:
                    self.assertEqual(main["wm_hints"], [
                        STATE_HINT | ICON_WINDOW_HINT | ICON_POSITION_HINT | WINDOW_GROUP_HINT,
                        0, WITHDRAWN_STATE, 0, icon["window"], 0, 0, 0, main["window"]])
                else:
                    self.assertEqual(main["wm_hints"],
                                     [INPUT_HINT | STATE_HINT, 0, NORMAL_STATE, 0, 0, 0, 0, 0, 0])
                self.assertEqual(main["wm_name"], ["quadrix-x"])
                self.assertEqual(main["wm_class"], ["quadrix-x", "Quadrix-x"])
                self.assertEqual(main["wm_protocols"], ["WM_DELETE_WINDOW"])
                # Properties are set on the main window only.
                self.assertEqual(icon["wm_name"], [])
                self.assertEqual(icon["normal_hints"], [])
                clock.stop()
                server.stop()

    def test_screen_smaller_than_the_minimum(self):
        server = self.server("100x60x24")
        clock = self.clock(server, "-border", "50", "-geometry", "30x30-0+0")
        main = clock.info()
        self.assertEqual(main["geometry"], [0, 0, 100, 60])
        self.assertEqual(main["normal_hints"],
                         [SIZE_FLAGS | US_POSITION, 0, 0, 100, 60, 121, 121, 100, 60,
                          0, 0, 0, 0, 0, 0, 100, 60, 0])

    def test_class_is_the_name_with_a_capital(self):
        folder = self.temporary_directory()
        for name, wm_class in (("quadrix-x", "Quadrix-x"), ("zeit", "Zeit"),
                               ("Clock", "Clock"), ("9clock", "9clock"), ("-x", "-x")):
            with self.subTest(name=name):
                program = os.path.join(folder, name)
                os.symlink(QUADRIX_X, program)
                server = self.server()
                clock = self.clock(server, program=program)
                main = clock.info()
                self.assertEqual(main["wm_name"], [name])
                self.assertEqual(main["wm_class"], [name, wm_class])
                clock.stop()
                server.stop()

    def test_default_visual_of_another_class(self):
        # The windows take the visual the clock chose, with its own colormap,
        # so that the pixmap can be copied into them.
        for extra, screen, depth, visual_class in (
                (("-cc", "5"), "640x480x24", 24, 4),  # TrueColor
                (("-cc", "2"), "640x480x8", 8, 3)):  # PseudoColor
            with self.subTest(extra=extra):
                server = self.server(screen, extra)
                clock = self.clock(server)
                for window in (clock.window, clock.icon_window()):
                    report = clock.info(window)
                    self.assertEqual(report["depth"], depth)
                    self.assertEqual(report["visual_class"], visual_class)
                    self.assertEqual(report["default_visual"], 0)
                    self.assertEqual(report["default_colormap"], 0)
                clock.stop()
                server.stop()

        # A default visual of either class is used as it is.
        for screen in ("640x480x24", "640x480x8"):
            with self.subTest(screen=screen):
                server = self.server(screen)
                report = self.clock(server).info()
                self.assertEqual(report["default_visual"], 1)
                self.assertEqual(report["default_colormap"], 1)
                server.stop()

    def test_display_option(self):
        # Without DISPLAY, and over a DISPLAY that names another server: the
        # clock is on the server that -display names, and only there.
        server = self.server()
        other = self.server()
        for how in ({"unset": ("DISPLAY",)}, {"display": other.display}):
            with self.subTest(how=how):
                clock = self.clock(server, "-display", server.display, "-w", **how)
                main = clock.info()
                self.assertEqual(main["wm_class"], ["quadrix-x", "Quadrix-x"])
                self.assertEqual(main["geometry"], [0, 0, 64, 64])
                self.assertEqual(main["parent"], main["root"])
                self.assertEqual(other.run(X11_PROBE, "find", "quadrix-x", "0",
                                           check=False).returncode, 1)
                clock.stop()


if __name__ == "__main__":
    unittest.main()
