"""The README's examples for Wayland, as printed there, with the programs
installed from the build: the clock in a window, and the line for sway's
configuration that makes it the background, alone and in a configuration
that also asks sway for a background of its own (as sway's example
configuration does), with the line the README gives against that.  Hyprland's line is only looked for: Debian 12 has no
Hyprland."""

import os
import shutil
import subprocess
import tempfile
import time
import unittest

from wayland_harness import WAIT, WaylandTestCase, drawn

SOURCE_DIR = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..")
BUILD_DIR = os.environ.get("BUILD_DIR", "")

WINDOW = "quadrix-wayland -bg navy -fg white -interval 1 &"
SWAY_LINE = "exec quadrix-wayland -background\n"
NO_SWAYBG = "swaybg_command -\n"
SWAYS_BACKGROUND = "output * bg #ff0000 solid_color\n"
HYPRLAND_LINE = "exec-once = quadrix-wayland -background\n"


def readme():
    with open(os.path.join(SOURCE_DIR, "README.md"), encoding="utf-8") as f:
        return f.read()


class Readme(WaylandTestCase):
    def install(self):
        """The build installed under a prefix that nobody may read, whose
        bin folder is returned."""
        prefix = tempfile.mkdtemp(prefix="quadrix-wayland-prefix.")
        self.addCleanup(shutil.rmtree, prefix, True)
        os.chmod(prefix, 0o755)
        subprocess.run(["cmake", "--install", BUILD_DIR, "--prefix", prefix], check=True,
                       capture_output=True, timeout=WAIT)
        return os.path.join(prefix, "bin")

    def test_lines_printed(self):
        text = readme()
        for example in (WINDOW, "```\n" + SWAY_LINE + "```", "```\n" + NO_SWAYBG + "```",
                        "```\n" + HYPRLAND_LINE + "```"):
            self.assertIn(example, text)

    def test_window(self):
        bin_folder = self.install()
        sway = self.sway(("640x480",))
        env = sway.env(PATH=bin_folder + ":" + os.environ["PATH"], TZ="UTC")
        pid_file = os.path.join(sway.runtime, "pid")
        subprocess.run(["sh", "-c", WINDOW + '\necho $! >"$0"', pid_file], env=env,
                       stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                       stderr=subprocess.DEVNULL, check=True, timeout=WAIT)
        with open(pid_file) as f:
            pid = int(f.read())
        self.addCleanup(lambda: subprocess.run(["kill", str(pid)], capture_output=True))
        colours = ("-bg", "0", "0", "128", "-ic", "0", "0", "128", "-sc", "255", "255", "255",
                   "-hc", "255", "255", "255", "-mc", "255", "255", "255")
        self.assertShows(lambda: self.shows_a_recent_time(
            lambda: sway.capture(region="0,0 640x480"), 640, 480, colours, 2),
            True, "the window, white on navy")

    def test_background_from_sways_configuration(self):
        bin_folder = self.install()
        for config in (SWAY_LINE, NO_SWAYBG + SWAYS_BACKGROUND + SWAY_LINE):
            with self.subTest(config=config):
                sway = self.sway(("640x480", "320x240"), base_config="xwayland disable\n",
                                 config=config,
                                 env={"PATH": bin_folder + ":/usr/bin:/bin", "TZ": "UTC"})
                for output, size in (("HEADLESS-1", (640, 480)), ("HEADLESS-2", (320, 240))):
                    self.assertShows(lambda: self.shows_a_recent_time(
                        lambda: sway.capture(output=output), *size, (), 11), True, output)
                sway.stop()

    @staticmethod
    def shows_a_recent_time(capture, width, height, colours, seconds):
        """True when the picture captured is quadrix-image's for one of the
        last seconds, in UTC."""
        now = int(time.time())
        got = capture()
        for moment in range(now, now - seconds - 1, -1):
            hms = time.gmtime(moment)[3:6]
            if got == drawn(width, height, colours, hms=hms):
                return True
        return None


if __name__ == "__main__":
    unittest.main()
