"""An output that goes away: sway 1.7 cannot remove a headless output, so
the clock runs on a sway nested in another one, whose outputs are windows
of the outer sway.  Closing one of those windows removes that output: its
background goes, and the clock goes on with the other output, which then
fills the outer sway and gets a new size."""

import unittest

from wayland_harness import WaylandTestCase, drawn, wait_for


class Removal(WaylandTestCase):
    def test_the_output_that_stays(self):
        outer = self.sway(("800x600",))
        inner = self.sway((), nested_in=outer, wl_outputs=2)
        self.assertEqual(sorted(inner.outputs()), ["WL-1", "WL-2"])
        clock = self.clock(inner, "-background", "-interval", "1000", debug=True)
        # Each output is one half of the outer sway.
        for name in ("WL-1", "WL-2"):
            self.assertOutputShows(inner, name, drawn(400, 600), name, clock)

        outer.msg('[title="wlroots - WL-2"]', "kill")
        wait_for(lambda: sorted(inner.outputs()) == ["WL-1"], "WL-2 to go")
        self.assertOutputShows(inner, "WL-1", drawn(800, 600), "WL-1 on its own", clock)
        self.assertIsNone(clock.process.poll(), clock.stderr_text())
        # The surface of the output that went was destroyed, and the output
        # let go.
        ended = {(target.split("@")[0], request) for _, target, request, _ in clock.requests()
                 if request in ("destroy", "release")}
        for what in (("zwlr_layer_surface_v1", "destroy"), ("wl_surface", "destroy"),
                     ("wl_output", "release")):
            self.assertIn(what, ended)


if __name__ == "__main__":
    unittest.main()
