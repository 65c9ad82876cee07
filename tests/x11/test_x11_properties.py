"""What a window manager, a dock and the tools that match windows to
processes read from the main window, raw as the server stores it: the names
and the class, the command line, the host and the process id; found when the
clock asks for the window to be mapped, and set before it does so.  The
titles read back right by a tool in a UTF-8 locale."""

import os
import random
import re
import signal
import subprocess
import unittest

from x11_harness import (QUADRIX_X, WAIT, X11_PROBE, XTestCase, parse_properties, probe_info,
                         raw_properties, wait_for)

NAMES = ("WM_CLASS", "WM_NAME", "WM_ICON_NAME", "_NET_WM_NAME", "_NET_WM_ICON_NAME",
         "WM_COMMAND", "WM_CLIENT_MACHINE", "_NET_WM_PID", "_NET_WM_ICON")

# Stands for the server's display name in the options below.
DISPLAY = object()

# The options, then the instance part of WM_CLASS, the title as WM_NAME and
# WM_ICON_NAME hold it (STRING, Latin-1, unless the case gives the type
# too) and as UTF-8 (in _NET_WM_NAME and _NET_WM_ICON_NAME).
CASES = (
    ((), b"quadrix-x", b"quadrix-x", b"quadrix-x"),
    (("-w",), b"quadrix-x", b"quadrix-x", b"quadrix-x"),
    (("-name", "alarm", "-title", "Big Ben"), b"alarm", b"Big Ben", b"Big Ben"),
    (("-w", "-name", "alarm"), b"alarm", b"quadrix-x", b"quadrix-x"),
    (("-title", "Big Ben", "-w"), b"quadrix-x", b"Big Ben", b"Big Ben"),
    # Values that look like options; the last one wins.
    (("-title", "-help", "-name", "-version", "-name", "-w", "-w"), b"-w", b"-help", b"-help"),
    (("-title", "", "-name", ""), b"", b"", b""),
    # UTF-8 as it is; other text read as Latin-1.  Beyond Latin-1 the old
    # names are COMPOUND_TEXT: Latin-1 where it can, UTF-8 between ESC % G
    # and ESC % @ for the rest.
    (("-title", "Uhr \u00e9t\u00e9 \u2603"), b"quadrix-x",
     ("COMPOUND_TEXT", b"Uhr \xe9t\xe9 \x1b%G\xe2\x98\x83\x1b%@"),
     "Uhr \u00e9t\u00e9 \u2603".encode()),
    (("-title", "Uhr \u00e9t\u00e9"), b"quadrix-x", b"Uhr \xe9t\xe9", "Uhr \u00e9t\u00e9".encode()),
    (("-title", b"\xe9t\xe9 \xff"), b"quadrix-x", b"\xe9t\xe9 \xff", "\u00e9t\u00e9 \u00ff".encode()),
    (("-title", b"\xc0\xaf \xed\xa0\x80 \xf4\x90\x80\x80 \xe2\x82"), b"quadrix-x",
     b"\xc0\xaf \xed\xa0\x80 \xf4\x90\x80\x80 \xe2\x82",
     "\u00c0\u00af \u00ed\u00a0\u0080 \u00f4\u0090\u0080\u0080 \u00e2\u0082".encode()),
    # Words with spaces and empty ones stay as they are in WM_COMMAND.
    (("-bg", "dark blue", "-fg", "", "-title", " two  spaces ", "-display", DISPLAY,
      "-interval", "5"), b"quadrix-x", b" two  spaces ", b" two  spaces "),
)


def read_text(path):
    with open(path, errors="replace") as text:
        return text.read()


def host_name():
    return subprocess.run(["uname", "-n"], capture_output=True, check=True).stdout.strip()


class Properties(XTestCase):
    def map_request(self, server, *args, **kwargs):
        """Starts the clock while the probe stands in for a window manager;
        returns the clock and what the probe found on the window it was asked
        to map."""
        probe = subprocess.Popen([X11_PROBE, "map-request", str(WAIT), *NAMES],
                                 env=server.env(), stdout=subprocess.PIPE)
        self.addCleanup(probe.wait)
        self.addCleanup(probe.stdout.close)
        self.assertEqual(probe.stdout.readline(), b"ready\n")
        clock = self.clock(server, *args, **kwargs)
        output = probe.stdout.read().decode()
        self.assertEqual(probe.wait(timeout=WAIT), 0, clock.stderr_text())
        lines = output.splitlines()
        self.assertTrue(lines[0].startswith("window "), output)
        self.assertIsNone(clock.process.poll(), clock.stderr_text())
        return clock, int(lines[0].split()[1]), parse_properties(lines[1:])

    def check(self, found, pid, command, instance, wm_class, title, utf8_title):
        self.assertEqual(found["WM_CLASS"], ("STRING", 8, instance + b"\0" + wm_class + b"\0"))
        kind, title = title if isinstance(title, tuple) else ("STRING", title)
        self.assertEqual(found["WM_NAME"], (kind, 8, title))
        self.assertEqual(found["WM_ICON_NAME"], (kind, 8, title))
        self.assertEqual(found["_NET_WM_NAME"], ("UTF8_STRING", 8, utf8_title))
        self.assertEqual(found["_NET_WM_ICON_NAME"], ("UTF8_STRING", 8, utf8_title))
        self.assertEqual(found["WM_COMMAND"],
                         ("STRING", 8, b"".join(os.fsencode(word) + b"\0" for word in command)))
        self.assertEqual(found["WM_CLIENT_MACHINE"], ("STRING", 8, host_name()))
        self.assertEqual(found["_NET_WM_PID"], ("CARDINAL", 32, [pid]))

    def test_properties_as_a_window_manager_finds_them(self):
        server = self.server()
        for args, instance, title, utf8_title in CASES:
            args = tuple(server.display if word is DISPLAY else word for word in args)
            with self.subTest(args=args):
                unset = ("DISPLAY",) if "-display" in args else ()
                clock, window, found = self.map_request(server, *args, unset=unset)
                self.check(found, clock.process.pid, (QUADRIX_X,) + args, instance,
                           b"Quadrix-x", title, utf8_title)

                # The taskbar icons: 32, 48 and 64 pixels square, opaque.
                kind, format_, icons = found["_NET_WM_ICON"]
                self.assertEqual((kind, format_), ("CARDINAL", 32))
                self.assertEqual(len(icons), sum(2 + size * size for size in (32, 48, 64)))
                self.assertEqual(icons[:2], [32, 32])

                # On the main window only: the icon window has none of them.
                icon = probe_info(server, window)["children"][0]
                self.assertEqual(raw_properties(server, icon, *NAMES),
                                 {name: ("None", 0, []) for name in NAMES})
                clock.stop()

    def test_command_as_typed(self):
        # argv[0] as given, spaces included; the name and class follow it.
        folder = self.temporary_directory()
        program = os.path.join(folder, "my clock")
        os.symlink(os.path.abspath(QUADRIX_X), program)
        server = self.server()
        clock, _, found = self.map_request(server, "-w", "-ic", "light grey", program=program)
        self.check(found, clock.process.pid, (program, "-w", "-ic", "light grey"), b"my clock",
                   b"My clock", b"my clock", b"my clock")

    def traced_requests(self, server, title, *args):
        """The requests of the clock whose window is called title, until it
        has drawn, as xtrace sees them between the clock and the server:
        (name, window, property) each."""
        log = os.path.join(self.temporary_directory(), "xtrace.log")
        for attempt in range(20):
            # xtrace listens on a display number of its own; one that is
            # taken in the meantime makes it end at once, and another is tried.
            number = random.randrange(600, 1000)
            if os.path.exists("/tmp/.X11-unix/X%d" % number):
                continue
            traced = subprocess.Popen(
                ["xtrace", "-n", "-d", server.display, "-D", ":%d" % number, "-o", log, "--",
                 QUADRIX_X, *args], env=server.env(TZ="UTC"), stdin=subprocess.DEVNULL,
                stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, start_new_session=True)
            def window_or_end():
                if traced.poll() is not None:
                    return "ended"
                found = server.run(X11_PROBE, "find", title, "0", check=False)
                return int(found.stdout) if found.returncode == 0 else None

            try:
                window = wait_for(window_or_end, "the clock's window through xtrace", pause=0.1)
                if window != "ended":
                    # The requests that follow the mapping are in the log once
                    # the clock has drawn.
                    wait_for(lambda: "CopyArea" in read_text(log),
                             "the first drawing in xtrace's log")
                    break
            finally:
                os.killpg(traced.pid, signal.SIGKILL)
                traced.wait()
        else:
            self.fail("xtrace found no display number to listen on")
        requests = []
        pattern = re.compile(r"^\d+:<:[0-9a-f]+:\s*\d+: Request\(\d+\): (\w+)"
                             r"(?: mode=\S+)? window=0x([0-9a-f]+)(?: property=0x[0-9a-f]+\(\"(\w+)\"\))?")
        with open(log, errors="replace") as lines:
            for line in lines:
                match = pattern.match(line)
                if match:
                    requests.append((match.group(1), int(match.group(2), 16), match.group(3)))
        return window, requests

    def test_set_before_the_window_is_mapped(self):
        server = self.server()
        for title, args in (("quadrix-x", ()), ("a clock", ("-w", "-title", "a clock"))):
            with self.subTest(args=args):
                window, requests = self.traced_requests(server, title, *args)
                mapped = requests.index(("MapWindow", window, None))
                before = {p for name, w, p in requests[:mapped]
                          if name == "ChangeProperty" and w == window}
                after = [r for r in requests[mapped + 1:] if r[0] == "ChangeProperty"]
                self.assertLessEqual(set(NAMES), before)
                self.assertEqual(after, [])
                # The clock maps nothing else.
                self.assertEqual([r for r in requests if r[0] == "MapWindow"],
                                 [("MapWindow", window, None)])

    def test_titles_read_back_in_a_utf8_locale(self):
        # xprop reads WM_NAME as its type says, in the locale's encoding.
        server = self.server()
        for title in ("Clock \u2014 \u00fc", "Uhr \u00e9t\u00e9", "\u6642\u8a08", "plain"):
            with self.subTest(title=title):
                clock = self.clock(server, "-title", title, title=title)
                env = dict(server.env(), LC_ALL="C.UTF-8")
                env.pop("LANG", None)
                result = subprocess.run(
                    ["xprop", "-id", str(clock.mapped_window()), "WM_NAME", "WM_ICON_NAME",
                     "_NET_WM_NAME", "_NET_WM_ICON_NAME"],
                    env=env, capture_output=True, check=True, timeout=WAIT)
                lines = result.stdout.decode().splitlines()
                self.assertEqual(len(lines), 4, lines)
                for line in lines:
                    self.assertTrue(line.endswith(' = "%s"' % title), line)
                clock.stop()


if __name__ == "__main__":
    unittest.main()
