"""quadrix-x -root on a screen of several monitors: each monitor shows
quadrix-image's picture at its own size and place, the rest of the root
window the background colour; monitors that show one place get one face;
and a change of the monitors shows at once.  The monitors come from RandR
1.5 on Xorg with the dummy driver (real outputs switched with xrandr) and on
Xvfb (xrandr --setmonitor), and from Xinerama on Xephyr without RandR."""

import os
import shutil
import subprocess
import tempfile
import unittest

from test_x11_root import RootTestCase
from x11_harness import XServer, drawn, split_ppm

# Red background, yellow inside, blue rim, hour and minutes.
COLOURS = (("-fg", "#0000ff", "-bg", "#ff0000", "-ic", "#ffff00"),
           ("-bg", "255", "0", "0", "-ic", "255", "255", "0", "-sc", "0", "0", "255",
            "-hc", "0", "0", "255", "-mc", "0", "0", "255"))
BACKGROUND = (255, 0, 0)

# The clock waits for the server's notices alone.
FAR_AWAY = ("-interval", "100000")

MODES = ((1024, 768), (800, 600), (640, 480))


def composed(size, faces):
    """The screen of the given size in the background colour, with
    quadrix-image's picture of each face (x, y, width, height) at its place,
    later ones over earlier ones."""
    width, height = size
    raster = bytearray(bytes(BACKGROUND) * (width * height))
    for x, y, w, h in faces:
        picture = split_ppm(drawn(w, h, colours=COLOURS[1]))[1]
        for row in range(h):
            if 0 <= y + row < height:
                left, right = max(x, 0), min(x + w, width)
                raster[3 * ((y + row) * width + left):3 * ((y + row) * width + right)] = \
                    picture[3 * (row * w + left - x):3 * (row * w + right - x)]
    return b"P6\n%d %d\n255\n" % size + bytes(raster)


def modeline(width, height):
    """A mode the dummy driver takes, as gtf makes it."""
    text = subprocess.run(["gtf", str(width), str(height), "60"], capture_output=True,
                          check=True).stdout.decode()
    for line in text.splitlines():
        words = line.split()
        if words and words[0] == "Modeline":
            return "%dx%d " % (width, height) + " ".join(words[2:])
    raise RuntimeError("gtf gave no mode for %dx%d" % (width, height))


XORG_CONFIG = """\
Section "Monitor"
  Identifier "Monitor0"
  HorizSync 5.0-1000.0
  VertRefresh 5.0-200.0
%s
EndSection
Section "Device"
  Identifier "Card0"
  Driver "dummy"
  VideoRam 256000
EndSection
Section "Screen"
  Identifier "Screen0"
  Device "Card0"
  Monitor "Monitor0"
  DefaultDepth 24
  SubSection "Display"
    Depth 24
    Modes "1024x768"
    Virtual 2048 1536
  EndSubSection
EndSection
Section "ServerFlags"
  Option "AutoAddDevices" "false"
  Option "AutoAddGPU" "false"
EndSection
"""


def xorg_dummy(test):
    """Xorg with the dummy video driver: real RandR outputs DUMMY0 to
    DUMMY15, DUMMY0 on at 1024x768.  It needs root."""
    if os.geteuid() != 0:
        test.skipTest("Xorg with the dummy driver runs as root here")
    if not os.path.exists("/usr/lib/xorg/modules/drivers/dummy_drv.so"):
        test.skipTest("no dummy video driver (Debian's xserver-xorg-video-dummy)")
    folder = tempfile.mkdtemp(prefix="quadrix-xorg.")
    test.addCleanup(shutil.rmtree, folder, True)
    os.mkdir(os.path.join(folder, "empty"))
    config = os.path.join(folder, "xorg.conf")
    with open(config, "w") as out:
        out.write(XORG_CONFIG % "\n".join('  Modeline "%s' % modeline(*mode).replace(" ", '" ', 1)
                                          for mode in MODES))
    server = XServer(command=["Xorg"], extra=(
        "-config", config, "-configdir", os.path.join(folder, "empty"), "-sharevts",
        "-novtswitch", "-logfile", os.path.join(folder, "Xorg.log")))
    test.addCleanup(server.stop)
    return server


def monitors(server):
    """The active monitors as xrandr lists them: (x, y, width, height)."""
    found = []
    for line in server.run("xrandr", "--listactivemonitors").stdout.decode().splitlines()[1:]:
        geometry = line.split()[2]
        size, x, y = geometry.split("+")
        width, height = (int(part.split("/")[0]) for part in size.split("x"))
        found.append((int(x), int(y), width, height))
    return found


class Monitors(RootTestCase):
    def assertScreenShows(self, server, size, faces, what, nowhere=()):
        """Waits until the root window shows the faces at their places on
        the background, but for the rectangles nowhere that no screen
        shows."""
        self.assertRootShows(server, composed(size, faces), what, covered=lambda: nowhere)

    def test_outputs_switched_on_and_off(self):
        server = xorg_dummy(self)
        clock = self.root_clock(server, *FAR_AWAY, *COLOURS[0])
        self.assertScreenShows(server, (1024, 768), [(0, 0, 1024, 768)], "one monitor")

        # A second one of another size, to the right: the screen grows,
        # and below the smaller monitor is the background.
        server.run("xrandr", "--addmode", "DUMMY1", "800x600")
        server.run("xrandr", "--output", "DUMMY1", "--mode", "800x600", "--pos", "1024x0")
        self.assertEqual(monitors(server), [(0, 0, 1024, 768), (1024, 0, 800, 600)])
        self.assertScreenShows(server, (1824, 768), [(0, 0, 1024, 768), (1024, 0, 800, 600)],
                               "two monitors side by side")

        # Below the first, at another size.
        server.run("xrandr", "--addmode", "DUMMY1", "640x480")
        server.run("xrandr", "--output", "DUMMY1", "--mode", "640x480", "--pos", "0x768")
        self.assertScreenShows(server, (1024, 1248), [(0, 0, 1024, 768), (0, 768, 640, 480)],
                               "a monitor below the first")

        # The same place as the first: one face.
        server.run("xrandr", "--addmode", "DUMMY1", "1024x768")
        server.run("xrandr", "--output", "DUMMY1", "--mode", "1024x768", "--pos", "0x0")
        self.assertEqual(len(monitors(server)), 2)
        self.assertScreenShows(server, (1024, 768), [(0, 0, 1024, 768)], "a mirrored monitor")

        server.run("xrandr", "--output", "DUMMY1", "--off")
        self.assertScreenShows(server, (1024, 768), [(0, 0, 1024, 768)], "one monitor again")
        self.assertIsNone(clock.process.poll(), clock.stderr_text())
        self.end(clock)

    def test_monitors_set_by_hand(self):
        # Two monitors on Xvfb's one output: the server tells of them only
        # by a ConfigureNotify of the root window.
        server = self.server()
        clock = self.root_clock(server, *FAR_AWAY, *COLOURS[0])
        self.assertScreenShows(server, (640, 480), [(0, 0, 640, 480)], "the whole screen")
        server.run("xrandr", "--setmonitor", "left", "400/100x480/100+0+0", "screen")
        server.run("xrandr", "--setmonitor", "right", "240/100x300/100+400+0", "none")
        self.assertScreenShows(server, (640, 480), [(0, 0, 400, 480), (400, 0, 240, 300)],
                               "two monitors set by hand")
        server.run("xrandr", "--delmonitor", "right")
        server.run("xrandr", "--delmonitor", "left")
        self.assertScreenShows(server, (640, 480), [(0, 0, 640, 480)], "the whole screen again")
        self.end(clock)

    def test_xinerama_screens(self):
        # Xephyr in a window of Xvfb, two screens joined by Xinerama and no
        # RandR at all.
        host = self.server("1280x800x24")
        server = XServer(command=["Xephyr"], env=host.env(), extra=(
            "+xinerama", "-extension", "RANDR", "-screen", "640x480", "-screen", "400x300"))
        self.addCleanup(server.stop)
        clock = self.root_clock(server, *FAR_AWAY, *COLOURS[0])
        # Below the smaller screen the root window has no pixels to read.
        self.assertScreenShows(server, (1040, 480), [(0, 0, 640, 480), (640, 0, 400, 300)],
                               "two Xinerama screens", nowhere=[(640, 300, 400, 180)])
        self.end(clock)


if __name__ == "__main__":
    unittest.main()
