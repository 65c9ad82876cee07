"""What the X fault tests and the soak share: an Xvfb of their own, finding
the clock's window, what the server holds for it, its memory, and the
picture in the window against quadrix-image's for the same time.

The programs come from the environment: QUADRIX_X, QUADRIX_IMAGE and
X_FAULT_PROBE (x_fault_probe.c); QUADRIX_SANITIZED=1 for a sanitizer build.
"""

import os
import select
import signal
import subprocess
import tempfile
import time

QUADRIX_X = os.environ.get("QUADRIX_X")
QUADRIX_IMAGE = os.environ.get("QUADRIX_IMAGE")
X_FAULT_PROBE = os.environ.get("X_FAULT_PROBE")
SANITIZED = os.environ.get("QUADRIX_SANITIZED") == "1"

FAKETIME = "/usr/lib/x86_64-linux-gnu/faketime/libfaketime.so.1"
# A stopped clock: every picture is the one for 10:07:30.
FROZEN = "2026-01-01 10:07:30"
FROZEN_WORDS = ["10", "7", "30"]


class Xvfb:
    """An X server of the test's own, on the first free display."""

    def __init__(self, screen="1280x1024x24"):
        read_end, write_end = os.pipe()
        self.process = subprocess.Popen(
            ["Xvfb", "-displayfd", str(write_end), "-nolisten", "tcp",
             "-screen", "0", screen],
            pass_fds=[write_end], stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        os.close(write_end)
        number = b""
        deadline = time.monotonic() + 30
        while not number.endswith(b"\n"):
            left = deadline - time.monotonic()
            if left <= 0 or not select.select([read_end], [], [], left)[0]:
                self.stop()
                raise RuntimeError("Xvfb did not start")
            chunk = os.read(read_end, 32)
            if not chunk:
                self.stop()
                raise RuntimeError("Xvfb ended at start")
            number += chunk
        os.close(read_end)
        self.display = ":" + number.decode().strip()

    def env(self, **extra):
        env = dict(os.environ, DISPLAY=self.display)
        env.update(extra)
        return env

    def kill(self, sig=signal.SIGKILL):
        if self.process.poll() is None:
            self.process.send_signal(sig)
        self.process.wait(timeout=10)

    def stop(self):
        if self.process.poll() is None:
            self.process.terminate()
            try:
                self.process.wait(timeout=10)
            except subprocess.TimeoutExpired:
                self.process.kill()
                self.process.wait()

    def run(self, args, **kwargs):
        return subprocess.run(args, env=self.env(), capture_output=True, timeout=60,
                              **kwargs)


def clock_env(server, frozen=True):
    """The environment of a clock on this server, stopped at FROZEN."""
    env = server.env(TZ="UTC")
    if frozen:
        env["LD_PRELOAD"] = FAKETIME
        env["FAKETIME"] = FROZEN
    if SANITIZED:
        # libfaketime comes before the sanitizer's runtime, and the leaks
        # that matter here are measured from outside.
        env["ASAN_OPTIONS"] = "verify_asan_link_order=0:detect_leaks=0:quarantine_size_mb=1"
    return env


def start_clock(server, args, frozen=True):
    return subprocess.Popen([QUADRIX_X] + list(args), env=clock_env(server, frozen),
                            stdout=subprocess.PIPE, stderr=subprocess.PIPE)


def find_window(server, process, name="quadrix-x", seconds=30):
    """The clock's main window, once it is there and mapped."""
    deadline = time.monotonic() + seconds
    while time.monotonic() < deadline:
        if process.poll() is not None:
            raise RuntimeError("the clock ended: %r" % (process.communicate(),))
        found = server.run(["xdotool", "search", "--onlyvisible", "--name", "^%s$" % name])
        ids = found.stdout.split()
        if ids:
            return int(ids[0])
        time.sleep(0.1)
    raise RuntimeError("no window called %s" % name)


def resources(server, window):
    """Resource type -> count for the client that owns the window."""
    result = server.run([X_FAULT_PROBE, "resources", str(window)])
    if result.returncode != 0:
        raise RuntimeError(result.stderr.decode())
    counts = {}
    for line in result.stdout.decode().splitlines():
        name, value = line.split()
        counts[name] = int(value)
    return counts


def scribble(server, window):
    """Paints the window red from another client; no event tells the clock."""
    server.run([X_FAULT_PROBE, "scribble", str(window)], check=True)


def rss_kib(pid):
    with open("/proc/%d/status" % pid) as f:
        for line in f:
            if line.startswith("VmRSS:"):
                return int(line.split()[1])
    raise RuntimeError("no VmRSS")


def cpu_seconds(pid):
    with open("/proc/%d/stat" % pid) as f:
        fields = f.read().rsplit(")", 1)[1].split()
    return (int(fields[11]) + int(fields[12])) / os.sysconf("SC_CLK_TCK")


def read_ppm(data):
    """(width, height, pixel bytes) of a raw PPM with maxval 255."""
    fields = []
    pos = 0
    while len(fields) < 4:
        while data[pos:pos + 1].isspace():
            pos += 1
        if data[pos:pos + 1] == b"#":
            pos = data.index(b"\n", pos)
            continue
        end = pos
        while not data[end:end + 1].isspace():
            end += 1
        fields.append(data[pos:end])
        pos = end
    pos += 1
    if fields[0] != b"P6" or fields[3] != b"255":
        raise ValueError("not a raw PPM with maxval 255: %r" % fields)
    width, height = int(fields[1]), int(fields[2])
    return width, height, data[pos:pos + 3 * width * height]


def window_picture(server, window):
    """The window's pixels, decoded by netpbm."""
    with tempfile.TemporaryFile() as xwd:
        subprocess.run(["xwd", "-id", str(window), "-silent"], env=server.env(),
                       stdout=xwd, check=True, timeout=60)
        xwd.seek(0)
        pnm = subprocess.run(["xwdtopnm"], stdin=xwd, capture_output=True, check=True)
    ppm = subprocess.run(["pamdepth", "255"], input=pnm.stdout, capture_output=True,
                         check=True)
    return read_ppm(ppm.stdout)


def expected_picture(width, height):
    """quadrix-image's picture for FROZEN at this size."""
    result = subprocess.run([QUADRIX_IMAGE, "-", "-q", "-width", str(width),
                             "-height", str(height)] + FROZEN_WORDS,
                            capture_output=True, check=True, timeout=60)
    return read_ppm(result.stdout)


def window_size(server, window):
    result = server.run(["xdotool", "getwindowgeometry", str(window)], check=True)
    for line in result.stdout.decode().splitlines():
        line = line.strip()
        if line.startswith("Geometry:"):
            w, h = line.split()[1].split("x")
            return int(w), int(h)
    raise RuntimeError("no geometry")


def shows_frozen_picture(server, window, seconds=5):
    """Waits until the window shows the picture for its size; returns the
    last difference found (None when it matched)."""
    deadline = time.monotonic() + seconds
    while True:
        size = window_size(server, window)
        got = window_picture(server, window)
        want = expected_picture(*size)
        if got == want:
            return None
        if time.monotonic() > deadline:
            return "window %dx%d: picture %dx%d differs from quadrix-image's" % (
                size + got[:2])
        time.sleep(0.2)
