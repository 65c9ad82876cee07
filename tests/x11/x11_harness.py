"""What the outside tests of quadrix-x share: an X server of their own, the
clock started with a frozen time, the probes, what the server holds for the
clock and what the clock costs, and pictures captured from the server and
drawn by quadrix-image, both decoded by netpbm.

The programs come from the environment: QUADRIX_X and QUADRIX_IMAGE always,
X11_PROBE (x11_probe.c) and X_FAULT_PROBE (tests/faults/x_fault_probe.c) for
the tests that ask them.
"""

import os
import select
import shutil
import signal
import subprocess
import tempfile
import sys
import time
import unittest

sys.path.insert(0, os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
from clock_tests import (FROZEN_HMS, FROZEN_TIME, faketime_library, rss_kib,  # noqa: E402,F401
                         sanitizer_env, stop_process, wait_until)

QUADRIX_X = os.environ["QUADRIX_X"]
QUADRIX_IMAGE = os.environ["QUADRIX_IMAGE"]
X11_PROBE = os.environ.get("X11_PROBE")
X_FAULT_PROBE = os.environ.get("X_FAULT_PROBE")

# Everything is slower under the sanitizers; the waits are for conditions,
# so a generous limit costs nothing when all is well.
WAIT = float(os.environ.get("X11_TEST_WAIT", "20"))




def wait_for(condition, what, timeout=WAIT, pause=0.05):
    """Calls condition until it gives a true value, which is returned."""
    return wait_until(condition, what, timeout, pause)


class XServer:
    """An Xvfb of its own, on the first free display number; command
    another X server that takes the same first options (-displayfd,
    -nolisten, -noreset), started with env, with the rest of its options
    in extra instead."""

    def __init__(self, screen="640x480x24", extra=(), command=None, env=None):
        self.log = tempfile.TemporaryFile()
        read_end, write_end = os.pipe()
        if command is None:
            command = ["Xvfb"]
            extra = ["-screen", "0", screen, *extra]
        self.name = os.path.basename(command[0])
        self.process = subprocess.Popen(
            [*command, "-displayfd", str(write_end), "-nolisten", "tcp", "-noreset", *extra],
            pass_fds=(write_end,), stdin=subprocess.DEVNULL, env=env,
            stdout=subprocess.DEVNULL, stderr=self.log)
        os.close(write_end)
        number = b""
        end = time.monotonic() + WAIT
        try:
            while not number.endswith(b"\n"):
                left = end - time.monotonic()
                if left <= 0 or not select.select([read_end], [], [], left)[0]:
                    raise RuntimeError("%s did not start: %s" % (self.name, self.log_text()))
                chunk = os.read(read_end, 16)
                if not chunk:
                    raise RuntimeError("%s failed: %s" % (self.name, self.log_text()))
                number += chunk
        except BaseException:
            self.stop()
            raise
        finally:
            os.close(read_end)
        self.display = ":" + number.decode().strip()

    def log_text(self):
        self.log.seek(0)
        return self.log.read().decode(errors="replace")

    def env(self, **extra):
        env = dict(os.environ, DISPLAY=self.display)
        env.pop("XAUTHORITY", None)
        env.update(extra)
        return env

    def run(self, *args, check=True, **kwargs):
        return subprocess.run(list(args), env=self.env(), check=check,
                              capture_output=True, timeout=WAIT, **kwargs)

    def kill(self, sig=signal.SIGKILL):
        """Ends the server with the signal sig, as a crash or a shutdown
        would, and waits for it."""
        if self.process.poll() is None:
            self.process.send_signal(sig)
        self.process.wait(timeout=WAIT)

    def stop(self):
        stop_process(self.process, WAIT)
        self.log.close()



# For a clock whose memory is measured from outside: the leaks that matter
# show there, and freed memory is not held back in a large quarantine.
MEASURED_ASAN_OPTIONS = ("detect_leaks=0", "quarantine_size_mb=1")


class Clock:
    """quadrix-x running on a server, at the frozen time; running_from a
    time at which a clock that runs starts instead; unset names the
    variables of the environment that the clock does not get, display what
    DISPLAY says instead of the server's name, and title the title that its
    window is found by when it is not the program's name."""

    def __init__(self, server, *args, program=QUADRIX_X, frozen=True, asan_options=(),
                 unset=(), display=None, title=None, running_from=None):
        self.server = server
        env = server.env(TZ="UTC")
        if display is not None:
            env["DISPLAY"] = display
        for name in unset:
            env.pop(name, None)
        if running_from is not None:
            env["LD_PRELOAD"] = faketime_library()
            env["FAKETIME"] = "@" + running_from
        elif frozen:
            env["LD_PRELOAD"] = faketime_library()
            env["FAKETIME"] = FROZEN_TIME
        self.stderr = tempfile.TemporaryFile()
        self.process = subprocess.Popen(
            [program, *args], env=sanitizer_env(env, asan_options), stdin=subprocess.DEVNULL,
            stdout=subprocess.DEVNULL, stderr=self.stderr)
        self.name = title if title is not None else os.path.basename(program)
        self._window = None

    @property
    def window(self):
        """The main window, found by its name."""
        if self._window is None:
            result = subprocess.run(
                [X11_PROBE, "find", self.name, str(WAIT)], env=self.server.env(),
                capture_output=True, timeout=WAIT + 5)
            if result.returncode != 0:
                raise AssertionError("no window %r; the clock said: %s"
                                     % (self.name, self.stderr_text()))
            self._window = int(result.stdout)
        return self._window

    def mapped_window(self):
        """The main window once it is mapped, found by xdotool; fails at
        once when the clock ends first."""
        def found():
            if self.process.poll() is not None:
                raise AssertionError("the clock ended with status %d: %s"
                                     % (self.process.returncode, self.stderr_text()))
            ids = self.server.run("xdotool", "search", "--onlyvisible", "--name",
                                  "^%s$" % self.name, check=False).stdout.split()
            return int(ids[0]) if ids else None

        return wait_for(found, "a mapped window called " + self.name, pause=0.1)

    def info(self, window=None):
        return probe_info(self.server, self.window if window is None else window)

    def icon_window(self):
        """The icon window named in WM_HINTS, or else the main window's
        child."""
        report = self.info()
        if report["wm_hints"] and report["wm_hints"][0] & 8:  # IconWindowHint
            return report["wm_hints"][4]
        return report["children"][0]

    def stderr_text(self):
        self.stderr.seek(0)
        return self.stderr.read().decode(errors="replace")

    def wait(self, timeout=WAIT):
        return self.process.wait(timeout=timeout)

    def stop(self):
        if self.process.poll() is None:
            self.process.kill()
            self.process.wait()
        self.stderr.close()


SINGLE_NUMBERS = ("window", "parent", "root", "border_width", "map_state", "depth",
                  "visual_class", "default_visual", "default_colormap")


def probe_info(server, window):
    """The probe's report on a window: each line a key and its numbers or
    words."""
    result = server.run(X11_PROBE, "info", str(window))
    report = {}
    # Names are bytes as the clock was given them.
    for line in result.stdout.decode(errors="surrogateescape").splitlines():
        key, _, rest = line.partition(" ")
        if key in ("wm_class", "wm_name"):
            report[key] = [part.strip("[]") for part in rest.split("] [")] if rest else []
        elif key == "wm_protocols":
            report[key] = rest.split()
        elif key in SINGLE_NUMBERS:
            report[key] = int(rest)
        else:
            report[key] = [int(word) for word in rest.split()]
    return report


def parse_properties(lines):
    """The probe's lines on raw properties: name -> (type, format, items),
    the items as bytes for format 8 and as numbers otherwise."""
    found = {}
    for line in lines:
        words = line.split()
        name, kind, format_ = words[0], words[1], int(words[2])
        if format_ == 8:
            items = bytes.fromhex(words[3]) if len(words) > 3 else b""
        else:
            items = [int(word) for word in words[3:]]
        found[name] = (kind, format_, items)
    return found


def raw_properties(server, window, *names):
    """The properties of the window as they are stored, by name."""
    result = server.run(X11_PROBE, "properties", str(window), *names)
    return parse_properties(result.stdout.decode().splitlines())


def window_size(server, window):
    """The window's width and height, as xdotool reports them."""
    result = server.run("xdotool", "getwindowgeometry", str(window))
    for line in result.stdout.decode().splitlines():
        line = line.strip()
        if line.startswith("Geometry:"):
            width, height = line.split()[1].split("x")
            return int(width), int(height)
    raise RuntimeError("xdotool gave no geometry for %d" % window)


def resources(server, window):
    """Resource type -> count for the client that owns the window, as the
    server's X-Resource extension reports them, and "pixmap_bytes"."""
    result = server.run(X_FAULT_PROBE, "resources", str(window), check=False)
    if result.returncode != 0:
        raise RuntimeError(result.stderr.decode())
    counts = {}
    for line in result.stdout.decode().splitlines():
        name, value = line.split()
        counts[name] = int(value)
    return counts


def scribble_red(server, window):
    """Paints the window red from another client; no event tells the clock."""
    server.run(X_FAULT_PROBE, "scribble", str(window))



def cpu_seconds(pid):
    """User and system time used so far by a running process."""
    with open("/proc/%d/stat" % pid) as stat:
        fields = stat.read().rsplit(")", 1)[1].split()
    return (int(fields[11]) + int(fields[12])) / os.sysconf("SC_CLK_TCK")


def normalised(ppm):
    """Any netpbm image as a PPM of maxval 255, as netpbm writes it."""
    colour = subprocess.run(["ppmtoppm"], input=ppm, capture_output=True, check=True)
    return subprocess.run(["pamdepth", "255"], input=colour.stdout, capture_output=True,
                          check=True).stdout


def capture(server, window):
    """The window's content, or None when it cannot be read (yet)."""
    dump = server.run("xwd", "-id", str(window), "-silent", check=False)
    if dump.returncode != 0 or not dump.stdout:
        return None
    pnm = subprocess.run(["xwdtopnm"], input=dump.stdout, capture_output=True)
    if pnm.returncode != 0:
        return None
    return normalised(pnm.stdout)


def drawn(width=80, height=80, border=None, colours=(), crop=None, time=None):
    """quadrix-image's picture of the frozen time, or of the hour, minute
    and second in time; colours are its own options, such as ("-bg", "255",
    "0", "0"); crop is a width and height to cut from the top left."""
    args = [QUADRIX_IMAGE, "-", "-q", "-width", str(width), "-height", str(height)]
    if border is not None:
        args += ["-border", str(border)]
    args += list(colours) + (list(FROZEN_HMS) if time is None else [str(t) for t in time])
    ppm = subprocess.run(args, capture_output=True, check=True).stdout
    if crop is not None:
        ppm = subprocess.run(["pamcut", "-left", "0", "-top", "0", "-width", str(crop[0]),
                              "-height", str(crop[1])], input=ppm, capture_output=True,
                             check=True).stdout
    return normalised(ppm)


def shows_frozen_picture(server, window, seconds=5):
    """Waits up to seconds until the window shows quadrix-image's picture of
    the frozen time at the window's size; returns the last difference found,
    or None when they matched."""
    end = time.monotonic() + seconds
    while True:
        size = window_size(server, window)
        got = capture(server, window)
        want = drawn(*size)
        if got == want:
            return None
        if time.monotonic() > end:
            return "window %dx%d: %s" % (size + (describe_difference(got, want),))
        time.sleep(0.2)


def describe_difference(got, want):
    if got is None:
        return "nothing captured"
    head_got, raster_got = split_ppm(got)
    head_want, raster_want = split_ppm(want)
    if head_got != head_want:
        return "sizes differ: %s against %s" % (head_got, head_want)
    width = head_got[0]
    wrong = [i // 3 for i in range(0, len(raster_got), 3)
             if raster_got[i:i + 3] != raster_want[i:i + 3]]
    if not wrong:
        return "rasters of %d and %d bytes" % (len(raster_got), len(raster_want))
    first = wrong[0]
    return "%d pixels differ, the first at x %d, y %d from the top: %s instead of %s" % (
        len(wrong), first % width, first // width, tuple(raster_got[3 * first:3 * first + 3]),
        tuple(raster_want[3 * first:3 * first + 3]))


def split_ppm(ppm):
    """Width, height and maxval of a raw PPM, and its raster."""
    fields = []
    position = 0
    while len(fields) < 4:
        while ppm[position:position + 1].isspace():
            position += 1
        start = position
        while not ppm[position:position + 1].isspace():
            position += 1
        fields.append(ppm[start:position])
    assert fields[0] == b"P6", fields[0]
    return tuple(int(f) for f in fields[1:]), ppm[position + 1:]


class Damage:
    """The rectangles that the server reports as painted in a window, from
    now on for the given seconds, read by the probe with the DAMAGE
    extension."""

    def __init__(self, server, window, seconds):
        self.seconds = seconds
        self.process = subprocess.Popen([X11_PROBE, "damage", str(window), str(seconds)],
                                        env=server.env(), stdout=subprocess.PIPE)
        ready = self.process.stdout.readline()
        if ready != b"ready\n":
            self.process.kill()
            self.process.wait()
            raise AssertionError("the damage probe did not start: %r" % ready)

    def rectangles(self):
        """Waits for the end; (time, x, y, width, height) for each
        rectangle, time the wall clock's seconds."""
        output, _ = self.process.communicate(timeout=self.seconds + WAIT)
        if self.process.returncode != 0:
            raise AssertionError("the damage probe failed")
        found = []
        for line in output.decode().splitlines():
            words = line.split()
            found.append((float(words[0]),) + tuple(int(word) for word in words[1:]))
        return found


class XTestCase(unittest.TestCase):
    """A test with servers and clocks that are cleaned up after it."""

    def server(self, screen="640x480x24", extra=()):
        server = XServer(screen, extra)
        self.addCleanup(server.stop)
        return server

    def clock(self, server, *args, **kwargs):
        clock = Clock(server, *args, **kwargs)
        self.addCleanup(clock.stop)
        return clock

    def temporary_directory(self):
        path = tempfile.mkdtemp(prefix="quadrix-x-test.")
        self.addCleanup(shutil.rmtree, path, True)
        return path

    def assertShows(self, server, window, want, what="the picture"):
        """Waits until the window shows exactly the picture want."""
        last = [None]

        def same():
            last[0] = capture(server, window)
            return last[0] == want

        try:
            wait_for(same, what)
        except AssertionError:
            self.fail("%s: %s" % (what, describe_difference(last[0], want)))

    def assertExits(self, clock, status, timeout=WAIT):
        try:
            got = clock.wait(timeout)
        except subprocess.TimeoutExpired:
            self.fail("quadrix-x still runs; it said: " + clock.stderr_text())
        self.assertEqual(got, status, clock.stderr_text())
