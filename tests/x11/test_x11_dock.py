"""Under a real window manager with a dock, Window Maker: the withdrawn
clock's icon window is taken into a tile and shows the picture, while the
main window stays withdrawn; a normal clock is framed and shows it too.  A
clock dragged onto the dock is recorded in Window Maker's saved state with
its command line, and started again from there at the next start, docked."""

import os
import re
import shlex
import signal
import subprocess
import tempfile
import unittest

from x11_harness import (FROZEN_TIME, QUADRIX_X, WAIT, X11_PROBE, XTestCase, drawn,
                         faketime_library, probe_info, raw_properties, sanitizer_env, wait_for)

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
    def window_manager(self, server, home=None, **env):
        """Window Maker on the server, with a new HOME unless given one, and
        env added to its environment; returns its process."""
        if home is None:
            home = self.temporary_directory()
        log = tempfile.TemporaryFile()
        self.addCleanup(log.close)
        manager = subprocess.Popen(["wmaker", "--for-real"], env=server.env(HOME=home, **env),
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
        return manager

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

    def test_docked_saved_and_started_again(self):
        server = self.server()
        home = self.temporary_directory()
        state = os.path.join(home, "GNUstep", "Defaults", "WMState")
        manager = self.window_manager(server, home)
        # A word with a space, to be quoted in the command that is recorded.
        args = ("-w", "-title", "Big Ben", "-interval", "3")
        clock = self.clock(server, *args, title="Big Ben")
        main = clock.window
        icon = clock.icon_window()
        report = report_when(
            clock, icon, lambda r: r["map_state"] == IS_VIEWABLE and r["parent"] != main,
            "the icon window in a tile")

        # The dock stands at the top right, one tile below the other; the
        # clock goes into the first free place, below those of the state
        # that Window Maker starts with.
        wait_for(lambda: os.path.exists(state), "Window Maker's state")
        slot = 1 + max(int(n) for n in re.findall(r'Position = "0,(\d+)"',
                                                    dock_section(read_text(state))))
        screen_width = report["screen_size"][0]
        place = [screen_width - 64, 64 * slot]

        def docked():
            return clock.info(icon)["root_position"] == place

        for attempt in range(3):
            x, y = report["root_position"]
            drag(server, (x + 32, y + 32), (place[0] + 32, place[1] + 32))
            try:
                wait_for(docked, "the tile in the dock", timeout=5)
                break
            except AssertionError:
                report = clock.info(icon)
        else:
            self.fail("the tile never reached the dock at %s: %s" % (place, clock.info(icon)))
        self.assertShows(server, icon, drawn(64, 64), "the picture in the dock")

        # Asked to end, Window Maker saves its state: the dock records the
        # clock's command line, and the clock goes on without it.
        manager.send_signal(signal.SIGTERM)

        def ended():
            if manager.poll() is not None:
                return True
            # Window Maker acts on the signal when it next wakes up; a move
            # of the pointer wakes it.
            server.run("xdotool", "mousemove_relative", "1", "0")
            return False

        wait_for(ended, "Window Maker to end on SIGTERM", pause=0.5)
        saved = read_text(state)
        entries = clock_entries(saved)
        self.assertTrue(entries, saved)
        for entry in entries:
            self.assertEqual(shlex.split(plist_string(entry, "Command")), [QUADRIX_X, *args])
            self.assertEqual(plist_word(entry, "Position"), '"0,%d"' % slot)
            self.assertEqual(plist_word(entry, "AutoLaunch"), "No")
        self.assertIsNone(clock.process.poll(), clock.stderr_text())
        first_pid = clock.process.pid
        clock.stop()

        # Started on login: the same command starts the clock again with
        # Window Maker, into the same place in the dock, with its picture.
        # Only the clock gets the frozen time.
        with open(state, "w") as rewritten:
            rewritten.write(set_auto_launch(saved))
        self.window_manager(server, home, TZ="UTC", LD_PRELOAD=faketime_library(),
                            FAKETIME=FROZEN_TIME, FAKETIME_ONLY_CMDS="quadrix-x",
                            ASAN_OPTIONS=sanitizer_env(os.environ)["ASAN_OPTIONS"])
        found = subprocess.run([X11_PROBE, "find", "Big Ben", str(WAIT)], env=server.env(),
                               capture_output=True, timeout=WAIT + 5)
        self.assertEqual(found.returncode, 0, "Window Maker did not start the clock")
        again = int(found.stdout)
        pid = raw_properties(server, again, "_NET_WM_PID")["_NET_WM_PID"][2][0]
        self.addCleanup(end_process, pid)
        self.assertNotEqual(pid, first_pid)
        command = raw_properties(server, again, "WM_COMMAND")["WM_COMMAND"][2]
        self.assertEqual(command.split(b"\0")[:-1], [os.fsencode(w) for w in (QUADRIX_X, *args)])

        info = probe_info(server, again)
        self.assertEqual(info["map_state"], IS_UNMAPPED)
        new_icon = info["wm_hints"][4]
        wait_for(lambda: probe_info(server, new_icon)["root_position"] == place
                 and probe_info(server, new_icon)["map_state"] == IS_VIEWABLE,
                 "the clock started again in its place in the dock")
        self.assertEqual(probe_info(server, again)["wm_state"][0], WITHDRAWN_STATE)
        self.assertShows(server, new_icon, drawn(64, 64), "the picture of the clock started again")

        server.run(X11_PROBE, "send", str(again), "WM_PROTOCOLS", "WM_DELETE_WINDOW")
        wait_for(lambda: not running(pid), "the clock started again to end when closed")


def read_text(path):
    with open(path, errors="replace") as text:
        return text.read()


def dock_section(state):
    return state[state.index("Dock = {"):state.index("Clip = {")]


def clock_entries(state):
    """The dock's entries for the clock, one for each list it keeps (one
    list for the current screen height, one for any height)."""
    entries = []
    for found in re.finditer(r'Name = "quadrix-x\.Quadrix-x";', state):
        entries.append(state[state.rindex("{", 0, found.start()):state.index("}", found.end())])
    return entries


def plist_word(entry, key):
    return re.search(r"\b%s = ([^;]*);" % key, entry).group(1)


def plist_string(entry, key):
    """A quoted string of the saved state, with its escapes undone."""
    quoted = re.search(r'\b%s = "((?:[^"\\]|\\.)*)";' % key, entry).group(1)
    return re.sub(r"\\(.)", r"\1", quoted)


def set_auto_launch(state):
    """The state with the clock's tiles marked to start with Window Maker."""
    return re.sub(r'(\{[^{}]*Name = "quadrix-x\.Quadrix-x";[^{}]*\})',
                  lambda m: m.group(1).replace("AutoLaunch = No;", "AutoLaunch = Yes;"), state)


def drag(server, start, end, steps=8):
    """Presses the first button at start, moves to end in steps, releases."""
    words = ["mousemove", str(start[0]), str(start[1]), "sleep", "0.2", "mousedown", "1"]
    for step in range(1, steps + 1):
        x = start[0] + (end[0] - start[0]) * step // steps
        y = start[1] + (end[1] - start[1]) * step // steps
        words += ["sleep", "0.1", "mousemove", str(x), str(y)]
    words += ["sleep", "0.3", "mouseup", "1"]
    server.run("xdotool", *words)


def running(pid):
    """Whether the process runs; one that has ended and waits for its parent
    to collect it does not."""
    try:
        with open("/proc/%d/stat" % pid) as stat:
            return stat.read().rsplit(")", 1)[1].split()[0] != "Z"
    except (FileNotFoundError, ProcessLookupError):
        # Gone before or while its status is read.
        return False


def end_process(pid):
    """Kills the clock that Window Maker started, if it is still the clock."""
    try:
        with open("/proc/%d/cmdline" % pid, "rb") as cmdline:
            if cmdline.read().split(b"\0")[0] == os.fsencode(QUADRIX_X):
                os.kill(pid, signal.SIGKILL)
    except (FileNotFoundError, ProcessLookupError):
        pass


if __name__ == "__main__":
    unittest.main()
