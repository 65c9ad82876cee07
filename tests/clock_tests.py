"""What the outside tests of the clocks on screen share, whatever shows
them: the frozen time and libfaketime that freezes it, waiting for a
condition, ending a server, the sanitizer's options beside libfaketime, and
the resident memory of a process."""

import glob
import subprocess
import time

# The frozen clock: an absolute time without "@" stands still.
FROZEN_TIME = "2026-01-01 10:07:30"
FROZEN_HMS = ("10", "7", "30")


def faketime_library():
    found = sorted(glob.glob("/usr/lib/*/faketime/libfaketime.so.1"))
    if not found:
        raise RuntimeError("libfaketime.so.1 not found (Debian package faketime)")
    return found[0]


def wait_until(condition, what, timeout, pause=0.05):
    """Calls condition until it gives a true value, which is returned."""
    end = time.monotonic() + timeout
    while True:
        value = condition()
        if value:
            return value
        if time.monotonic() > end:
            raise AssertionError("timed out waiting for " + what)
        time.sleep(pause)


def stop_process(process, timeout):
    """Ends a process politely, else by force, and waits for it."""
    if process.poll() is None:
        process.terminate()
        try:
            process.wait(timeout=timeout)
        except subprocess.TimeoutExpired:
            process.kill()
            process.wait()


def sanitizer_env(base, options=()):
    """libfaketime is preloaded ahead of the sanitizer's runtime, which
    then has to be told that this is expected; options are more of the
    sanitizer's own."""
    given = base.get("ASAN_OPTIONS", "")
    return dict(base, ASAN_OPTIONS=":".join(
        ([given] if given else []) + ["verify_asan_link_order=0", *options]))


def rss_kib(pid):
    with open("/proc/%d/status" % pid) as status:
        for line in status:
            if line.startswith("VmRSS:"):
                return int(line.split()[1])
    raise RuntimeError("no VmRSS for %d" % pid)
