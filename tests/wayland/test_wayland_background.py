"""quadrix-wayland -background on a headless sway: every output read back by
grim is quadrix-image's picture at the output's size in pixels, after
start, after a new mode, at scale 2 and on an output added later; -output
keeps it to the outputs named, and SIGTERM takes the surfaces away."""

import signal
import unittest

from wayland_harness import WaylandTestCase, drawn

# The colours of the options below, as quadrix-image takes them: navy,
# white, "Light Goldenrod Yellow" and #f00 read as X reads it (240, 0, 0).
COLOURED = ("-bg", "navy", "-fg", "white", "-sc", "Light Goldenrod Yellow", "-hc", "#f00")
COLOURED_RGB = ("-bg", "0", "0", "128", "-ic", "0", "0", "128", "-sc", "250", "250", "210",
                "-hc", "240", "0", "0", "-mc", "255", "255", "255")


class Background(WaylandTestCase):
    def test_every_output_at_its_size(self):
        sway = self.sway(("640x480", "320x240"))
        for args, colours, border in (((), (), None),
                                      (COLOURED, COLOURED_RGB, None),
                                      (("-border", "7"), (), 7)):
            with self.subTest(args=args):
                clock = self.clock(sway, "-background", *args)
                for output, size in (("HEADLESS-1", (640, 480)), ("HEADLESS-2", (320, 240))):
                    self.assertOutputShows(sway, output, drawn(*size, colours, border=border),
                                           "%s with %s" % (output, args), clock)
                clock.process.send_signal(signal.SIGTERM)
                self.assertExits(clock, 0)

    def test_only_the_outputs_named(self):
        # HEADLESS-3 comes later.
        sway = self.sway(("640x480", "320x240"))
        empty = sway.capture(output="HEADLESS-2")
        self.assertIsNotNone(empty)
        clock = self.clock(sway, "-background", "-output", "HEADLESS-3", "-output", "HEADLESS-1",
                           "-output", "NO-SUCH-OUTPUT")
        self.assertOutputShows(sway, "HEADLESS-1", drawn(640, 480), "HEADLESS-1", clock)
        sway.msg("create_output")
        sway.msg("output", "HEADLESS-3", "resolution", "200x100")
        self.assertOutputShows(sway, "HEADLESS-3", drawn(200, 100), "HEADLESS-3", clock)
        self.assertEqual(sway.capture(output="HEADLESS-2"), empty)

    def test_new_mode_scale_and_output(self):
        sway = self.sway(("640x480", "320x240"))
        clock = self.clock(sway, "-background", "-interval", "1000", debug=True)
        self.assertOutputShows(sway, "HEADLESS-1", drawn(640, 480), "the first picture", clock)
        # The time-out is far away: each new picture comes from the
        # compositor's news.
        sway.msg("output", "HEADLESS-1", "resolution", "800x600")
        self.assertOutputShows(sway, "HEADLESS-1", drawn(800, 600), "after a new mode", clock)
        sway.msg("output", "HEADLESS-2", "scale", "2")
        self.assertEqual(sway.outputs()["HEADLESS-2"]["rect"]["width"], 160)
        self.assertOutputShows(sway, "HEADLESS-2", drawn(320, 240), "at scale 2", clock)
        requests = [(request, arguments) for _, _, request, arguments in clock.requests()]
        self.assertIn(("set_buffer_scale", "2"), requests)
        self.assertTrue(any(request == "create_buffer" and ", 320, 240, 1280," in arguments
                            for request, arguments in requests), requests)
        # Back to scale 1, then an output that comes later.
        sway.msg("output", "HEADLESS-2", "scale", "1")
        self.assertOutputShows(sway, "HEADLESS-2", drawn(320, 240), "at scale 1 again", clock)
        sway.msg("create_output")
        sway.msg("output", "HEADLESS-3", "resolution", "400x300")
        self.assertOutputShows(sway, "HEADLESS-3", drawn(400, 300), "an output added", clock)
        self.assertOutputShows(sway, "HEADLESS-1", drawn(800, 600), "the first output", clock)

    def test_sigterm_and_sigint_take_the_surfaces_away(self):
        sway = self.sway(("320x240",))
        empty = sway.capture(output="HEADLESS-1")
        for sig in (signal.SIGTERM, signal.SIGINT):
            with self.subTest(signal=sig):
                clock = self.clock(sway, "-background")
                self.assertOutputShows(sway, "HEADLESS-1", drawn(320, 240), "the picture", clock)
                clock.process.send_signal(sig)
                self.assertExits(clock, 0)
                self.assertEqual(clock.stderr_text(), "")
                self.assertOutputShows(sway, "HEADLESS-1", empty, "the empty output")


if __name__ == "__main__":
    unittest.main()
