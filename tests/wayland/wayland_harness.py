"""What the outside tests of quadrix-wayland share: a sway of their own,
headless (or nested in another sway), the clock started with a frozen time,
outputs read back with grim, quadrix-image's pictures, and the clock's
requests as WAYLAND_DEBUG prints them.

Sway refuses to run as root, so it runs as nobody, in a runtime folder of
that user; the clocks, grim and swaymsg stay root and reach its sockets
from there.

The programs come from the environment: QUADRIX_WAYLAND and QUADRIX_IMAGE.
"""

import glob
import io
import json
import os
import re
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

from PIL import Image

QUADRIX_WAYLAND = os.environ.get("QUADRIX_WAYLAND", "")
QUADRIX_IMAGE = os.environ.get("QUADRIX_IMAGE", "")

# Everything is slower under the sanitizers; the waits are for conditions,
# so a generous limit costs nothing when all is well.
WAIT = float(os.environ.get("WAYLAND_TEST_WAIT", "20"))

NOBODY = 65534


# Sway's own settings for every test: no X, no borders or gaps around
# windows, no background program of its own.
BASE_CONFIG = """xwayland disable
default_border none
default_floating_border none
swaybg_command -
"""



def wait_for(condition, what, timeout=WAIT, pause=0.05):
    """Calls condition until it gives a true value, which is returned."""
    return wait_until(condition, what, timeout, pause)


class Sway:
    """A sway as nobody, in a runtime folder of its own.  outputs are the
    headless outputs' resolutions, in the order of their names; nested_in
    makes it a client of another sway instead, with WL_OUTPUTS windows as
    its outputs."""

    def __init__(self, outputs=("640x480", "320x240"), nested_in=None, wl_outputs=2,
                 config="", base_config=BASE_CONFIG, env=None):
        self.runtime = tempfile.mkdtemp(prefix="quadrix-wayland-sway.")
        os.chown(self.runtime, NOBODY, NOBODY)
        self.config = os.path.join(self.runtime, "config")
        lines = [base_config]
        for number, resolution in enumerate(outputs, 1):
            lines.append("output HEADLESS-%d resolution %s\n" % (number, resolution))
        lines.append(config)
        with open(self.config, "w") as f:
            f.write("".join(lines))
        os.chown(self.config, NOBODY, NOBODY)
        env = {"PATH": "/usr/bin:/bin", "HOME": self.runtime, "XDG_RUNTIME_DIR": self.runtime,
               "WLR_RENDERER": "pixman", "WLR_LIBINPUT_NO_DEVICES": "1", **(env or {})}
        if nested_in is None:
            env.update(WLR_BACKENDS="headless", WLR_HEADLESS_OUTPUTS=str(len(outputs)))
        else:
            env.update(WLR_BACKENDS="wayland", WLR_WL_OUTPUTS=str(wl_outputs),
                       WAYLAND_DISPLAY=nested_in.socket)
        self.log = tempfile.TemporaryFile()
        self.process = subprocess.Popen(
            ["setpriv", "--reuid=%d" % NOBODY, "--regid=%d" % NOBODY, "--clear-groups",
             "sway", "-c", self.config],
            env=env, stdin=subprocess.DEVNULL, stdout=self.log, stderr=self.log)
        try:
            self.socket = wait_for(self._socket, "sway's socket")
            self.ipc = wait_for(self._ipc, "sway's IPC socket")
            wait_for(lambda: self.msg("-t", "get_version", check=False).returncode == 0,
                     "sway to answer")
        except BaseException:
            self.stop()
            raise

    def _socket(self):
        self._check_running()
        for path in glob.glob(os.path.join(self.runtime, "wayland-*")):
            if not path.endswith(".lock"):
                return path
        return None

    def _ipc(self):
        self._check_running()
        found = glob.glob(os.path.join(self.runtime, "sway-ipc.*.sock"))
        return found[0] if found else None

    def _check_running(self):
        if self.process.poll() is not None:
            raise RuntimeError("sway ended with status %d: %s"
                               % (self.process.returncode, self.log_text()))

    def log_text(self):
        self.log.seek(0)
        return self.log.read().decode(errors="replace")[-4000:]

    def env(self, **extra):
        """The environment of a client of this sway."""
        env = {name: value for name, value in os.environ.items()
               if not name.startswith(("WAYLAND_", "SWAYSOCK", "XDG_RUNTIME_DIR", "DISPLAY"))}
        env.update(XDG_RUNTIME_DIR=self.runtime, WAYLAND_DISPLAY=os.path.basename(self.socket),
                   SWAYSOCK=self.ipc)
        env.update(extra)
        return env

    def msg(self, *args, check=True):
        result = subprocess.run(["swaymsg", "-s", self.ipc, *args], env=self.env(),
                                capture_output=True, timeout=WAIT)
        if check and result.returncode != 0:
            raise AssertionError("swaymsg %s: %s %s" % (" ".join(args), result.stdout.decode(),
                                                         result.stderr.decode()))
        return result

    def outputs(self):
        """Name -> the output's state as sway reports it."""
        found = json.loads(self.msg("-t", "get_outputs").stdout)
        return {output["name"]: output for output in found}

    def windows(self):
        """Every window, as the nodes of sway's tree that have an app_id."""
        found = []

        def walk(node):
            if node.get("app_id") is not None:
                found.append(node)
            for child in node.get("nodes", []) + node.get("floating_nodes", []):
                walk(child)

        walk(json.loads(self.msg("-t", "get_tree").stdout))
        return found

    def window(self, app_id):
        for node in self.windows():
            if node["app_id"] == app_id:
                return node
        return None

    def capture(self, output=None, region=None):
        """An output, or a region "X,Y WxH" of the layout, read back by grim
        as RGB: (width, height, bytes), or None when grim fails."""
        args = ["grim", "-t", "ppm"]
        if output is not None:
            args += ["-o", output]
        if region is not None:
            args += ["-g", region]
        result = subprocess.run(args + ["-"], env=self.env(), capture_output=True, timeout=WAIT)
        if result.returncode != 0 or not result.stdout:
            return None
        return decoded(result.stdout)

    def kill(self, sig=signal.SIGKILL):
        if self.process.poll() is None:
            self.process.send_signal(sig)
        self.process.wait(timeout=WAIT)

    def stop(self):
        stop_process(self.process, WAIT)
        self.log.close()
        shutil.rmtree(self.runtime, ignore_errors=True)


def decoded(data):
    """Any picture Pillow reads, as (width, height, RGB bytes)."""
    image = Image.open(io.BytesIO(data)).convert("RGB")
    return image.width, image.height, image.tobytes()



# For a clock whose memory is measured from outside: freed memory is not
# held back in a large quarantine, and leaks show at the end anyway.
MEASURED_ASAN_OPTIONS = ("quarantine_size_mb=1",)


class Clock:
    """quadrix-wayland running on a sway, by default at the frozen time;
    debug prints the requests it sends (WAYLAND_DEBUG) into a file of its
    own, read by requests()."""

    def __init__(self, sway, *args, frozen=True, faketime=None, debug=False, env=None,
                 asan_options=(), wrapper=()):
        self.sway = sway
        environment = sway.env(TZ="UTC") if env is None else env
        if frozen or faketime is not None:
            environment["LD_PRELOAD"] = faketime_library()
            environment["FAKETIME"] = faketime if faketime is not None else FROZEN_TIME
        if debug:
            environment["WAYLAND_DEBUG"] = "1"
        self.stderr = tempfile.TemporaryFile()
        self.started = time.time()
        self.process = subprocess.Popen(
            [*wrapper, QUADRIX_WAYLAND, *args], env=sanitizer_env(environment, asan_options),
            stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, stderr=self.stderr)

    def stderr_text(self):
        self.stderr.seek(0)
        return self.stderr.read().decode(errors="replace")

    def requests(self):
        """The requests printed so far: (time in ms as printed, object,
        request, arguments)."""
        found = []
        for line in self.stderr_text().splitlines():
            m = REQUEST.match(line)
            if m:
                found.append((float(m.group(1)), m.group(2), m.group(3), m.group(4)))
        return found

    def wait(self, timeout=WAIT):
        return self.process.wait(timeout=timeout)

    def stop(self):
        if self.process.poll() is None:
            self.process.kill()
            self.process.wait()
        self.stderr.close()


# "[1234567.890]  -> wl_surface@3.damage_buffer(0, 0, 80, 80)"
REQUEST = re.compile(r"^\[\s*(\d+\.\d+)\]\s+-> (\w+@\d+)\.(\w+)\((.*)\)$")


def drawn(width, height, colours=(), border=None, crop=None, hms=FROZEN_HMS):
    """quadrix-image's picture of the frozen time, or of the time hms, as
    (width, height, RGB bytes); colours are its own options, such as ("-bg",
    "255", "0", "0"); crop is a width and height to cut from the top
    left."""
    args = [QUADRIX_IMAGE, "-", "-q", "-width", str(width), "-height", str(height)]
    if border is not None:
        args += ["-border", str(border)]
    args += list(colours) + [str(part) for part in hms]
    picture = decoded(subprocess.run(args, capture_output=True, check=True).stdout)
    if crop is None:
        return picture
    image = Image.frombytes("RGB", picture[:2], picture[2]).crop((0, 0) + tuple(crop))
    return image.width, image.height, image.tobytes()


def describe_difference(got, want):
    if got is None:
        return "nothing captured"
    if got[:2] != want[:2]:
        return "sizes differ: %dx%d against %dx%d" % (got[:2] + want[:2])
    width = got[0]
    wrong = [i // 3 for i in range(0, len(got[2]), 3) if got[2][i:i + 3] != want[2][i:i + 3]]
    first = wrong[0]
    return "%d pixels differ, the first at x %d, y %d: %s instead of %s" % (
        len(wrong), first % width, first // width, tuple(got[2][3 * first:3 * first + 3]),
        tuple(want[2][3 * first:3 * first + 3]))



def cpu_and_wakeups(pid):
    """The process's CPU time in seconds and its count of voluntary context
    switches, which grows by one for every sleep."""
    with open("/proc/%d/stat" % pid) as stat:
        fields = stat.read().rpartition(")")[2].split()
    seconds = (int(fields[11]) + int(fields[12])) / os.sysconf("SC_CLK_TCK")
    with open("/proc/%d/status" % pid) as status:
        for line in status:
            if line.startswith("voluntary_ctxt_switches:"):
                return seconds, int(line.split()[1])
    raise AssertionError("no context switches in /proc")


class WaylandTestCase(unittest.TestCase):
    """A test with compositors and clocks that are cleaned up after it."""

    def sway(self, *args, **kwargs):
        sway = Sway(*args, **kwargs)
        self.addCleanup(sway.stop)
        return sway

    def clock(self, sway, *args, **kwargs):
        clock = Clock(sway, *args, **kwargs)
        self.addCleanup(clock.stop)
        return clock

    def assertShows(self, capture, want, what, clock=None):
        """Waits until capture() gives exactly the picture want; fails at
        once when the clock ends first."""
        last = [None]

        def same():
            if clock is not None and clock.process.poll() is not None:
                self.fail("%s: the clock ended with status %d: %s"
                          % (what, clock.process.returncode, clock.stderr_text()))
            last[0] = capture()
            return last[0] == want

        try:
            wait_for(same, what, pause=0.1)
        except AssertionError:
            self.fail("%s: %s" % (what, describe_difference(last[0], want)))

    def assertOutputShows(self, sway, output, want, what, clock=None):
        self.assertShows(lambda: sway.capture(output=output), want, what, clock)

    def assertWindowShows(self, sway, app_id, want, what, clock=None):
        def capture():
            node = sway.window(app_id)
            if node is None:
                return None
            rect = node["rect"]
            return sway.capture(region="%d,%d %dx%d" % (rect["x"], rect["y"], rect["width"],
                                                        rect["height"]))

        self.assertShows(capture, want, what, clock)

    def assertExits(self, clock, status, timeout=WAIT):
        try:
            got = clock.wait(timeout)
        except subprocess.TimeoutExpired:
            self.fail("quadrix-wayland still runs; it said: " + clock.stderr_text())
        self.assertEqual(got, status, clock.stderr_text())
