"""quadrix-x -root, from outside: the root window shows, pixel for pixel,
quadrix-image's picture at the screen's size; the two root properties name
the one pixmap shown, which outlives the clock after SIGTERM, SIGINT or
SIGKILL and is freed by the next setter; the clock yields to the next
setter, and of two clocks started together one remains; a new screen size
is followed at once; and under Window Maker the clock is the background."""

import os
import signal
import subprocess
import tempfile
import time
import unittest

from test_x11_pictures import BLACK_AND_WHITE, SATURATED, SATURATED_NAMES, SHADES
from x11_harness import QUADRIX_IMAGE, WAIT, X11_PROBE, XTestCase, describe_difference, drawn, \
    normalised, split_ppm, wait_for

PROPERTIES = ("_XROOTPMAP_ID", "ESETROOT_PMAP_ID")

# The screens: a name, the size and depth, other Xvfb options, and the
# colours that the root window's visual can show exactly.  The root window
# has the default visual, whatever its class; in a grey one the clock is
# black and white.
SCREENS = (
    ("24-bit TrueColor", "640x480x24", (), (BLACK_AND_WHITE, SATURATED, SATURATED_NAMES, SHADES)),
    ("16-bit TrueColor", "640x480x16", (), (BLACK_AND_WHITE, SATURATED, SATURATED_NAMES)),
    ("8-bit PseudoColor", "640x480x8", (), (BLACK_AND_WHITE, SATURATED, SATURATED_NAMES, SHADES)),
    ("8-bit StaticColor", "640x480x8", ("-cc", "2"), (BLACK_AND_WHITE, SATURATED)),
    ("24-bit DirectColor", "640x480x24", ("-cc", "5"), (BLACK_AND_WHITE, SATURATED, SHADES)),
    ("8-bit GrayScale", "640x480x8", ("-cc", "1"),
     (BLACK_AND_WHITE, (SATURATED[0], BLACK_AND_WHITE[1]))),
)


def capture_root(server):
    """The whole screen as the root window shows it, or None.  netpbm's
    xwdtopnm misreads DirectColor dumps; ImageMagick reads them right."""
    dump = server.run("xwd", "-root", "-silent", check=False)
    if dump.returncode != 0 or not dump.stdout:
        return None
    if not hasattr(server, "root_visual_class"):
        server.root_visual_class = default_visual_class(server.run("xdpyinfo").stdout.decode())
    decoder = ["xwdtopnm"]
    if server.root_visual_class == "DirectColor":
        decoder = ["/usr/bin/convert", "xwd:-", "ppm:-"]
    pnm = subprocess.run(decoder, input=dump.stdout, capture_output=True)
    return normalised(pnm.stdout) if pnm.returncode == 0 else None


def default_visual_class(xdpyinfo):
    """The class of the default visual, from xdpyinfo's report."""
    lines = xdpyinfo.splitlines()
    default = None
    for number, line in enumerate(lines):
        words = line.split()
        if words[:3] == ["default", "visual", "id:"]:
            default = words[3]
        elif words[:2] == ["visual", "id:"] and words[2] == default:
            return lines[number + 1].split()[1]
    return None


def named_pixmaps(server):
    """The pixmap ids that the two properties name, None for one that is
    missing; each must be of type PIXMAP, format 32, one item."""
    ids = []
    lines = server.run(X11_PROBE, "properties", "root", *PROPERTIES).stdout.decode()
    for line in lines.splitlines():
        name, *words = line.split()
        if words == ["None", "0"]:
            ids.append(None)
        elif words[:2] != ["PIXMAP", "32"] or len(words) != 3:
            raise AssertionError("%s is %s" % (name, " ".join(words)))
        else:
            ids.append(int(words[2]))
    return ids


def pixmap_size(server, pixmap):
    """Width, height and depth of a pixmap that exists, else None."""
    result = server.run(X11_PROBE, "pixmap", str(pixmap), check=False)
    return tuple(int(v) for v in result.stdout.split()) if result.returncode == 0 else None


def pixmaps_by_client(server):
    """The server's pixmaps, per client and all together, as xrestop reads
    them from the X-Resource extension: ({resource base: (mask, count)},
    total)."""
    text = server.run("xrestop", "-b", "-m", "1").stdout.decode()
    clients = {}
    base = mask = None
    for line in text.splitlines():
        key, _, value = line.strip().partition(":")
        key = key.strip()
        if key == "res_base":
            base = int(value, 16)
        elif key == "res_mask":
            mask = int(value, 16)
        elif key == "pixmaps":
            clients[base] = (mask, int(value))
    return clients, sum(count for _, count in clients.values())


def pixmaps_of_owner(server, resource):
    """How many pixmaps the client that made the resource holds."""
    clients, _ = pixmaps_by_client(server)
    for base, (mask, count) in clients.items():
        if resource & ~mask == base:
            return count
    return None


def mask_rectangles(ppm, rectangles):
    """The picture with the rectangles (x, y, width, height) painted black."""
    head = ppm[:len(ppm) - 3 * ppm_width(ppm) * ppm_height(ppm)]
    raster = bytearray(ppm[len(head):])
    width, height = ppm_width(ppm), ppm_height(ppm)
    for x, y, w, h in rectangles:
        for row in range(max(y, 0), min(y + h, height)):
            left, right = max(x, 0), min(x + w, width)
            if left < right:
                raster[3 * (row * width + left):3 * (row * width + right)] = bytes(
                    3 * (right - left))
    return head + bytes(raster)


def ppm_fields(ppm):
    return ppm.split(None, 4)[1:3]


def ppm_width(ppm):
    return int(ppm_fields(ppm)[0])


def ppm_height(ppm):
    return int(ppm_fields(ppm)[1])


def children(pid, name):
    """The processes that the process pid started and that are called
    name."""
    found = []
    for entry in os.listdir("/proc"):
        if not entry.isdigit():
            continue
        try:
            with open("/proc/%s/stat" % entry) as stat:
                text = stat.read()
        except OSError:
            continue
        command = text[text.index("(") + 1:text.rindex(")")]
        parent = int(text[text.rindex(")") + 1:].split()[1])
        if parent == pid and command == name:
            found.append(int(entry))
    return found


class RootTestCase(XTestCase):
    def root_clock(self, server, *args, **kwargs):
        return self.clock(server, "-root", *args, **kwargs)

    def assertRootShows(self, server, want, what="the picture on the root window",
                        covered=lambda: ()):
        """Waits until the root window shows the picture want, outside the
        rectangles that covered gives."""
        last = [None, want]

        def same():
            got = capture_root(server)
            rectangles = covered()
            expected = mask_rectangles(want, rectangles) if got else want
            last[:] = [mask_rectangles(got, rectangles) if got else None, expected]
            return last[0] == last[1]

        try:
            wait_for(same, what)
        except AssertionError:
            self.fail("%s: %s" % (what, describe_difference(*last)))

    def assertShown(self, server, clock, size, depth=24, earlier=None):
        """Waits until both properties name one pixmap other than earlier,
        then checks that it has the given size and depth and is the only
        one of its client; returns its id."""
        def named():
            first, second = named_pixmaps(server)
            return first if first == second and first not in (None, earlier) else None

        shown = wait_for(named, "both properties naming a new pixmap")
        self.assertIsNone(clock.process.poll(), clock.stderr_text())
        self.assertEqual(pixmap_size(server, shown), size + (depth,))
        self.assertEqual(pixmaps_of_owner(server, shown), 1)
        return shown

    def assertFreed(self, server, pixmap):
        wait_for(lambda: pixmap_size(server, pixmap) is None, "pixmap %d to be freed" % pixmap)

    def end(self, clock, sig=signal.SIGTERM):
        clock.process.send_signal(sig)
        self.assertExits(clock, 0)
        self.assertEqual(clock.stderr_text(), "")


class RootPictures(RootTestCase):
    def test_every_depth(self):
        for name, screen, extra, colour_sets in SCREENS:
            for x_colours, image_colours in colour_sets:
                with self.subTest(screen=name, colours=x_colours):
                    server = self.server(screen, extra)
                    clock = self.root_clock(server, *x_colours)
                    self.assertRootShows(server, drawn(640, 480, colours=image_colours))
                    self.assertShown(server, clock, (640, 480), int(screen.split("x")[2]))
                    clock.stop()
                    server.stop()

    def test_sizes_and_borders(self):
        cases = (
            ("800x600x24", ("-border", "7"), drawn(800, 600, border=7)),
            ("300x700x24", ("-interval", "3"), drawn(300, 700)),
            # The screen is smaller than the face that the border asks
            # for: the drawing keeps the face's size and the screen shows
            # its top left.
            ("100x100x24", ("-border", "100"), drawn(221, 221, border=100, crop=(100, 100))),
        )
        for screen, args, picture in cases:
            with self.subTest(screen=screen, args=args):
                server = self.server(screen)
                self.root_clock(server, *args)
                self.assertRootShows(server, picture)
                server.stop()


    def test_display_option(self):
        # -display names the server; DISPLAY is not there at all.
        server = self.server()
        clock = self.root_clock(server, "-display", server.display, unset=("DISPLAY",))
        self.assertRootShows(server, drawn(640, 480))
        self.assertShown(server, clock, (640, 480))


class RootEnd(RootTestCase):
    def test_signals_leave_the_picture_and_a_live_pixmap(self):
        for sig in (signal.SIGTERM, signal.SIGINT):
            with self.subTest(signal=sig.name):
                server = self.server()
                colours = SATURATED
                clock = self.root_clock(server, *colours[0])
                want = drawn(640, 480, colours=colours[1])
                self.assertRootShows(server, want)
                shown = self.assertShown(server, clock, (640, 480))
                _, total = pixmaps_by_client(server)
                self.end(clock, sig)

                # Kept in the server for the client that has gone.
                self.assertEqual(named_pixmaps(server), [shown, shown])
                self.assertEqual(pixmap_size(server, shown), (640, 480, 24))
                self.assertEqual(capture_root(server), want)
                self.assertEqual(pixmaps_by_client(server)[1], total)
                server.stop()

    def test_next_setter_frees_the_retained_pixmap(self):
        # Three clocks one after the other: each frees the pixmap that the
        # one before left, and the server holds as many pixmaps after each
        # as after the first.
        server = self.server()
        _, before = pixmaps_by_client(server)
        left = None
        for run in range(3):
            with self.subTest(run=run):
                clock = self.root_clock(server)
                shown = self.assertShown(server, clock, (640, 480), earlier=left)
                if left is not None:
                    self.assertFreed(server, left)
                self.assertEqual(pixmaps_by_client(server)[1], before + 1)
                self.end(clock)
                self.assertEqual(pixmaps_by_client(server)[1], before + 1)
                left = shown
        self.assertRootShows(server, drawn(640, 480))

    def test_earlier_setters(self):
        # What another setter left in the two properties, and whether the
        # clock frees that setter's pixmap: only when both name it.
        cases = (
            ("both properties", PROPERTIES, True),
            ("only _XROOTPMAP_ID", ("_XROOTPMAP_ID",), False),
            ("only ESETROOT_PMAP_ID", ("ESETROOT_PMAP_ID",), False),
        )
        for what, names, freed in cases:
            with self.subTest(what):
                server = self.server()
                earlier = int(server.run(X11_PROBE, "retain", *names).stdout)
                self.assertEqual(pixmap_size(server, earlier), (4, 4, 24))
                clock = self.root_clock(server)
                self.assertShown(server, clock, (640, 480), earlier=earlier)
                if freed:
                    self.assertFreed(server, earlier)
                else:
                    self.assertEqual(pixmap_size(server, earlier), (4, 4, 24))
                self.end(clock)
                server.stop()

        # The properties name different pixmaps, or one that no longer
        # exists: nothing is freed, and the clock runs on.
        server = self.server()
        first = int(server.run(X11_PROBE, "retain", "_XROOTPMAP_ID").stdout)
        second = int(server.run(X11_PROBE, "retain", "ESETROOT_PMAP_ID").stdout)
        clock = self.root_clock(server)
        self.assertShown(server, clock, (640, 480))
        self.assertEqual(pixmap_size(server, first), (4, 4, 24))
        self.assertEqual(pixmap_size(server, second), (4, 4, 24))
        self.end(clock)
        server.stop()

        server = self.server()
        for name in PROPERTIES:
            server.run(X11_PROBE, "name-pixmap", name, str(0x5a00001))
        clock = self.root_clock(server)
        self.assertRootShows(server, drawn(640, 480))
        self.assertShown(server, clock, (640, 480), earlier=0x5a00001)

    def test_killed_clock_leaves_a_live_pixmap(self):
        server = self.server()
        clock = self.root_clock(server)
        self.assertRootShows(server, drawn(640, 480))
        shown = self.assertShown(server, clock, (640, 480))
        clock.process.kill()
        clock.wait()
        self.assertEqual(named_pixmaps(server), [shown, shown])
        self.assertEqual(pixmap_size(server, shown), (640, 480, 24))
        self.assertEqual(capture_root(server), drawn(640, 480))
        # The next one frees it.
        after = self.root_clock(server)
        self.assertShown(server, after, (640, 480), earlier=shown)
        self.assertFreed(server, shown)

    def test_lost_server_ends_the_clock(self):
        server = self.server()
        clock = self.root_clock(server, "-interval", "100000")
        self.assertShown(server, clock, (640, 480))
        server.stop()
        self.assertExits(clock, 1, timeout=min(WAIT, 10))
        self.assertIn(server.display, clock.stderr_text())


class RootAmongSetters(RootTestCase):
    def test_clock_clock_feh(self):
        # Each setter replaces the one before: a clock that is replaced
        # ends within 2 s with status 0, its pixmap freed, and at the end
        # the server holds feh's pixmap alone.
        server = self.server()
        _, before = pixmaps_by_client(server)
        first = self.root_clock(server, "-interval", "1", frozen=False)
        first_pixmap = self.assertShown(server, first, (640, 480))
        second = self.root_clock(server, "-interval", "1", "-bg", "gray", frozen=False)
        second_pixmap = self.assertShown(server, second, (640, 480), earlier=first_pixmap)
        self.assertExits(first, 0, timeout=2)
        self.assertEqual(first.stderr_text(), "")
        self.assertFreed(server, first_pixmap)
        self.assertEqual(pixmaps_by_client(server)[1], before + 1)

        wallpaper = os.path.join(self.temporary_directory(), "w.png")
        subprocess.run([QUADRIX_IMAGE, wallpaper, "-png", "-q", "-width", "640", "-height",
                        "480"], check=True, timeout=WAIT)
        subprocess.run(["feh", "--no-fehbg", "--bg-fill", wallpaper], env=server.env(),
                       check=True, capture_output=True, timeout=WAIT)
        self.assertExits(second, 0, timeout=2)
        self.assertEqual(second.stderr_text(), "")
        self.assertFreed(server, second_pixmap)
        # feh's pixmap; its id may be one that a freed pixmap had.
        feh_pixmap = named_pixmaps(server)[0]
        self.assertEqual(pixmap_size(server, feh_pixmap), (640, 480, 24))
        self.assertEqual(pixmaps_by_client(server)[1], before + 1)
        self.assertEqual(pixmaps_of_owner(server, feh_pixmap), 1)

    def test_two_clocks_started_together(self):
        # One remains; the other ends with status 0, and from then on the
        # properties keep naming the one pixmap while the clock runs on.
        for attempt in range(4):
            with self.subTest(attempt=attempt):
                server = self.server()
                _, before = pixmaps_by_client(server)
                clocks = [self.root_clock(server, "-interval", "1", "-bg", colour,
                                          frozen=False) for colour in ("gray", "navy")]

                def one_ended():
                    ended = [c for c in clocks if c.process.poll() is not None]
                    return ended[0] if len(ended) == 1 else None

                ended = wait_for(one_ended, "one of the two clocks to end")
                self.assertEqual(ended.process.returncode, 0, ended.stderr_text())
                remaining = clocks[1 - clocks.index(ended)]
                shown = wait_for(lambda: named_pixmaps(server)[0], "a named pixmap")
                for _ in range(6):
                    time.sleep(0.5)
                    self.assertEqual(named_pixmaps(server), [shown, shown])
                self.assertIsNone(remaining.process.poll(), remaining.stderr_text())
                self.assertEqual(pixmaps_by_client(server)[1], before + 1)
                self.assertEqual(pixmaps_of_owner(server, shown), 1)
                for clock in clocks:
                    clock.stop()
                server.stop()


class RootScreenSize(RootTestCase):
    def test_new_screen_size_at_once(self):
        # Xvfb's screen can become smaller than it started, and grow back;
        # the interval is far away, so only the server's notice redraws.
        server = self.server("640x480x24")
        clock = self.root_clock(server, "-interval", "100000", "-border", "3")
        self.assertRootShows(server, drawn(640, 480, border=3))
        old = self.assertShown(server, clock, (640, 480))
        for size, picture in (((400, 300), drawn(400, 300, border=3)),
                              ((20, 25), drawn(27, 27, border=3, crop=(20, 25))),
                              ((640, 480), drawn(640, 480, border=3))):
            with self.subTest(size=size):
                # xrandr reports an error for the output, which no longer
                # fits, but the screen takes the new size.
                server.run("xrandr", "--fb", "%dx%d" % size, check=False)
                self.assertEqual(self.screen_size(server), size)
                self.assertRootShows(server, picture, "the picture at %dx%d" % size)
                drawing = (max(size[0], 27), max(size[1], 27))
                new = self.assertShown(server, clock, drawing, earlier=old)
                self.assertFreed(server, old)
                old = new
        self.end(clock)

    @staticmethod
    def screen_size(server):
        for line in server.run("xdpyinfo").stdout.decode().splitlines():
            if "dimensions:" in line:
                width, height = line.split()[1].split("x")
                return int(width), int(height)
        raise AssertionError("xdpyinfo gave no dimensions")


class RootUnderWindowMaker(RootTestCase):
    def window_manager(self, server, home):
        """Window Maker, started with the home folder given; returns its
        process."""
        log = tempfile.TemporaryFile()
        self.addCleanup(log.close)
        manager = subprocess.Popen(["wmaker", "--for-real"], env=server.env(HOME=home),
                                   stdin=subprocess.DEVNULL, stdout=log, stderr=log)

        def stop():
            manager.kill()
            manager.wait()

        self.addCleanup(stop)
        if server.run(X11_PROBE, "wait-wm", str(WAIT), check=False).returncode != 0:
            log.seek(0)
            self.fail("Window Maker did not start (status %s): %s"
                      % (manager.poll(), log.read().decode(errors="replace")))
        return manager

    def covered(self, server):
        """The rectangles of the root window's viewable children, borders
        included: Window Maker's dock, clip and icons."""
        root = int(server.run("xwininfo", "-root").stdout.split()[3], 16)
        rectangles = []
        report = self.report(server, root)
        for child in report.get("children", []):
            info = self.report(server, child)
            if info.get("map_state") == 2:
                x, y, w, h = info["geometry"]
                border = info["border_width"]
                rectangles.append((x, y, w + 2 * border, h + 2 * border))
        return rectangles

    @staticmethod
    def report(server, window):
        result = server.run(X11_PROBE, "info", str(window), check=False)
        report = {}
        for line in result.stdout.decode().splitlines():
            key, _, rest = line.partition(" ")
            if key in ("geometry", "children"):
                report[key] = [int(word) for word in rest.split()]
            elif key in ("map_state", "border_width"):
                report[key] = int(rest)
        return report

    def test_clock_after_window_maker(self):
        # Window Maker has its own background painted at start, by a helper
        # program, wmsetbg, that ends the client that set the background
        # before; a clock started once the helper has finished replaces
        # that background.  The picture has many colours, Xvfb's own
        # background two; the middle rows of the screen show no window.
        server = self.server()
        manager = self.window_manager(server, self.temporary_directory())

        def painted():
            raster = split_ppm(capture_root(server))[1]
            middle = raster[3 * 640 * 200:3 * 640 * 280]
            return len(set(middle)) > 2 and not children(manager.pid, "wmsetbg")

        wait_for(painted, "Window Maker's background")
        clock = self.root_clock(server)
        self.assertRootShows(server, drawn(640, 480), covered=lambda: self.covered(server))
        self.assertShown(server, clock, (640, 480))
        uncovered = 640 * 480 - sum(w * h for _, _, w, h in self.covered(server))
        self.assertGreater(uncovered, 640 * 480 * 3 // 4)

    def test_window_maker_that_leaves_the_background_alone(self):
        # With an empty WorkspaceBack Window Maker sets no background: a
        # clock that was there first stays.
        server = self.server()
        home = self.temporary_directory()
        defaults = os.path.join(home, "GNUstep", "Defaults")
        os.makedirs(defaults)
        subprocess.run(["wdwrite", "WindowMaker", "WorkspaceBack", "()"],
                       env=dict(os.environ, HOME=home), check=True, timeout=WAIT)
        clock = self.root_clock(server)
        self.assertRootShows(server, drawn(640, 480))
        shown = self.assertShown(server, clock, (640, 480))
        self.window_manager(server, home)
        # Window Maker's dock shows up: it has finished starting.
        wait_for(lambda: self.covered(server), "Window Maker's dock")
        self.assertRootShows(server, drawn(640, 480), covered=lambda: self.covered(server))
        self.assertEqual(named_pixmaps(server), [shown, shown])
        self.assertIsNone(clock.process.poll(), clock.stderr_text())


if __name__ == "__main__":
    unittest.main()
