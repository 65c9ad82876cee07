"""Under a real window manager with a dock, Window Maker: the withdrawn
clock's icon window is taken into a tile and shows the picture, while the
main window stays withdrawn; a normal clock is framed and shows it too."""

import subprocess
import tempfile
import unittest

from x11_harness import WAIT, X11_PROBE, XTestCase, drawn, wait_for

IS_UNMAPPED = 0
IS_VIEWABLE = 2
WITHDRAWN_STATE = 0
NORMAL_STATE = 1


def report_when(clock, window, condition, what):
    """Waits until the probe's report on the window meets the condition."""
    def check():
        report = clock.info(window)
        return report if condition(report) else None
    return wait_for(check, what)


class Dock(XTestCase):
    def window_manager(self, server):
        home = self.temporary_directory()
        log = tempfile.TemporaryFile()
        self.addCleanup(log.close)
        manager = subprocess.Popen(["wmaker", "--for-real"], env=server.env(HOME=home),
                                   stdin=subprocess.DEVNULL, stdout=log, stderr=log)

        def stop():
            # Window Maker sometimes sits on a SIGTERM that comes early in
            # its start; nothing of it outlives the test's folder.
            manager.kill()
            manager.wait()

        self.addCleanup(stop)
        if server.run(X11_PROBE, "wait-wm", str(WAIT), check=False).returncode != 0:
            log.seek(0)
            self.fail("Window Maker did not start (status %s): %s"
                      % (manager.poll(), log.read().decode(errors="replace")))

    def test_withdrawn_clock_in_a_tile(self):
        server = self.server()
        self.window_manager(server)
        clock = self.clock(server, "-w")
        main = clock.window
        icon = clock.icon_window()

        # Taken out of the main window into a tile of the manager's, and
        # mapped there.
        report = report_when(
            clock, icon, lambda r: r["map_state"] == IS_VIEWABLE and r["parent"] != main,
            "the icon window in a tile")
        self.assertEqual(report["geometry"][2:], [64, 64])
        self.assertShows(server, icon, drawn(64, 64), "the picture in the tile")

        main_report = clock.info()
        self.assertEqual(main_report["map_state"], IS_UNMAPPED)
        self.assertEqual(main_report["wm_state"][0], WITHDRAWN_STATE)

        server.run(X11_PROBE, "send", str(main), "WM_PROTOCOLS", "WM_DELETE_WINDOW")
        self.assertExits(clock, 0)

    def test_normal_clock_in_a_frame(self):
        server = self.server()
        self.window_manager(server)
        clock = self.clock(server, "-geometry", "90x70+100+100")
        main = clock.window
        report = report_when(
            clock, main, lambda r: r["map_state"] == IS_VIEWABLE and r["parent"] != r["root"],
            "the main window in a frame")
        self.assertEqual(report["geometry"][2:], [90, 70])
        self.assertEqual(report["wm_state"][0], NORMAL_STATE)
        self.assertShows(server, main, drawn(90, 70), "the picture in the frame")


if __name__ == "__main__":
    unittest.main()
