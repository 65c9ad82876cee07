"""The soak: quadrix-x -interval 1 for two minutes on an Xvfb of its own,
resized every few seconds.  Its resident memory and what the server holds
for it must stay as they were after the first seconds, and at the end it
must still draw the right picture: after a time-out nothing when nothing
changed, the whole picture after an Expose.

It takes more than two minutes, so it is not part of ctest; CI runs it as
a step of its own:

    QUADRIX_X=build/quadrix-x QUADRIX_IMAGE=build/quadrix-image \\
    X_FAULT_PROBE=build/tests/faults/x_fault_probe X11_TEST_WAIT=60 \\
        /usr/bin/python3 tests/faults/x11_soak.py [SECONDS]
"""

import os
import random
import sys
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "x11"))
import x11_harness as harness  # noqa: E402

SIZES = [(80, 80), (64, 64), (200, 120), (21, 21), (10, 300), (333, 222), (97, 61)]


def main():
    seconds = float(sys.argv[1]) if len(sys.argv) > 1 else 120
    server = harness.XServer("1280x1024x24")
    clock = None
    try:
        clock = harness.Clock(server, "-interval", "1",
                              asan_options=harness.MEASURED_ASAN_OPTIONS)
        pid = clock.process.pid
        window = clock.mapped_window()
        rng = random.Random(11)
        start = time.monotonic()

        def resize(size):
            server.run("xdotool", "windowsize", str(window), *(str(v) for v in size),
                       "windowmove", str(window), str(rng.randint(0, 900)),
                       str(rng.randint(0, 700)))

        # The first seconds let both sides reach their working size.
        for size in SIZES:
            resize(size)
            time.sleep(0.5)
        time.sleep(2)
        rss = [harness.rss_kib(pid)]
        held_before = harness.resources(server, window)
        cpu_before = harness.cpu_seconds(pid)

        resizes = 0
        while time.monotonic() - start < seconds:
            resize(rng.choice(SIZES))
            resizes += 1
            time.sleep(2.5)
            rss.append(harness.rss_kib(pid))
            if clock.process.poll() is not None:
                raise AssertionError("the clock ended with status %d: %s"
                                     % (clock.process.returncode, clock.stderr_text()))

        resize((150, 100))
        time.sleep(1.5)
        held_after = harness.resources(server, window)
        rss.append(harness.rss_kib(pid))
        cpu = harness.cpu_seconds(pid) - cpu_before
        elapsed = time.monotonic() - start

        failures = []
        difference = harness.shows_frozen_picture(server, window, seconds=3)
        if difference:
            failures.append(difference)
        # Painted over from outside, with no event: the frozen picture has
        # not changed, so the time-outs send nothing; shown again, the
        # window gets an Expose and the whole picture.
        harness.scribble_red(server, window)
        time.sleep(2.5)
        if harness.shows_frozen_picture(server, window, seconds=0) is None:
            failures.append("after a scribble, the time-out sent a picture that had not changed")
        server.run("xdotool", "windowunmap", "--sync", str(window), "windowmap", "--sync",
                   str(window))
        difference = harness.shows_frozen_picture(server, window, seconds=3)
        if difference:
            failures.append("after an Expose, not the whole picture: " + difference)

        print("soak: %.0f s, %d resizes, CPU %.2f s; RSS %d KiB after warm-up, %d KiB at the "
              "end (lowest %d, highest %d); pixmaps %d before, %d after; GCs %d before, %d "
              "after; windows %d before, %d after"
              % (elapsed, resizes, cpu, rss[0], rss[-1], min(rss), max(rss),
                 held_before.get("PIXMAP", 0), held_after.get("PIXMAP", 0),
                 held_before.get("GC", 0), held_after.get("GC", 0),
                 held_before.get("WINDOW", 0), held_after.get("WINDOW", 0)))
        if rss[-1] - rss[0] > 256:
            failures.append("resident memory grew by %d KiB" % (rss[-1] - rss[0]))
        for kind in ("PIXMAP", "GC", "WINDOW"):
            if held_after.get(kind) != held_before.get(kind):
                failures.append("%s count changed" % kind)
        if held_after.get("PIXMAP") != 1:
            failures.append("the clock holds %s pixmaps" % held_after.get("PIXMAP"))
        if cpu > 0.05 * elapsed:
            failures.append("the clock used %.1f s of CPU" % cpu)
        for failure in failures:
            print("soak: FAILED: " + failure)
        return 1 if failures else 0
    finally:
        if clock is not None:
            clock.stop()
        server.stop()


if __name__ == "__main__":
    sys.exit(main())
