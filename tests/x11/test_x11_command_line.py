"""The command line and the connection, from outside: exact messages on
standard error, nothing on standard output, and the exit status."""

import os
import subprocess
import unittest

from x11_harness import QUADRIX_X, sanitizer_env

USAGE = (
    "\nQuadrantine -- version 1.0d\n"
    "\nUsage: quadrix-x [-geometry <geo>] [-border <borderwidth>]\n"
    "\t[-interval <seconds>]\n"
    "\t[-bg <colour>] [-fg <colour>]\n"
    "\t[-hc <colour>] [-mc <colour>] [-sc <colour>] [-ic <colour>]\n"
    "\t[-w]\n"
    "\t[-root]\n"
    "\t[-display <name>]\n"
    "\t[-name <name>] [-title <text>]\n"
    "\t[-help] [-version]\n\n"
    "\t-w : withdrawn state (for use as docked application)\n"
    "\t-root : the clock as the desktop background\n"
    "\t        (a face of its own on each monitor)\n\n")


def error(message):
    return "\nError quadrix-x: %s\n\n" % message


def unused_display():
    """A display number without a server, looked for from the top."""
    for number in range(65000, 64000, -1):
        if not os.path.exists("/tmp/.X11-unix/X%d" % number):
            return ":%d" % number
    raise RuntimeError("no free display number")


class CommandLine(unittest.TestCase):
    def run_clock(self, args, display=None):
        env = dict(os.environ)
        env.pop("DISPLAY", None)
        if display is not None:
            env["DISPLAY"] = display
        return subprocess.run([QUADRIX_X, *args], env=sanitizer_env(env), capture_output=True,
                              stdin=subprocess.DEVNULL, timeout=60)

    def test_bad_command_lines(self):
        # No display is needed: the command line is read first.
        cases = (
            (("clock",), USAGE),
            (("-",), USAGE),
            (("",), USAGE),
            (("-w2",), USAGE),
            (("-W",), USAGE),
            (("-w", "-geometry", "64x64", "extra"), USAGE),
            (("-border", "201"), error("Value for -border out of range")),
            (("-border", "-1"), error("Value for -border out of range")),
            (("-border", "4294967296"), error("Value for -border out of range")),
            (("-border",), error("Missing argument for '-border'")),
            (("-fg", "red", "-interval"), error("Missing argument for '-interval'")),
            (("-geometry",), error("Missing argument for '-geometry'")),
            (("-ic",), error("Missing argument for '-ic'")),
            (("-root", "-w"), error("-root cannot be used with -w")),
            (("-geometry", "+0+0", "-root"), error("-root cannot be used with -geometry")),
            (("-root", "-geometry"), error("Missing argument for '-geometry'")),
            (("-root", "root"), USAGE),
        )
        for args, message in cases:
            with self.subTest(args=args):
                result = self.run_clock(args, display=unused_display())
                self.assertEqual(result.returncode, 1)
                self.assertEqual(result.stdout, b"")
                self.assertEqual(result.stderr.decode(), message)

    def test_no_server(self):
        free = unused_display()
        for display, shown in ((free, free), (None, ""), ("no-colon", "no-colon")):
            with self.subTest(display=display):
                # A valid command line, up to the connection.
                result = self.run_clock(("-border", "abc", "-interval", "0"), display)
                self.assertEqual(result.returncode, 1)
                self.assertEqual(result.stdout, b"")
                self.assertEqual(result.stderr.decode(),
                                 "\nCannot connect to X server [%s]\n\n" % shown)

    def test_no_server_on_the_display_asked_for(self):
        # -display wins over DISPLAY, and the message names what was tried;
        # an empty name leaves the choice to DISPLAY.
        free = unused_display()
        for display, args, shown in (
                (None, ("-display", free), free),
                (":0.0", ("-display", free, "-w"), free),
                (free, ("-display", ""), free),
                (None, ("-display", ""), ""),
                (None, ("-display", ":0", "-display", free), free),
                # The word after -display is its value, whatever it looks like.
                (None, ("-display", "-w"), "-w"),
                (":0", ("-root", "-display", free), free)):
            with self.subTest(display=display, args=args):
                result = self.run_clock(args, display)
                self.assertEqual(result.returncode, 1)
                self.assertEqual(result.stdout, b"")
                self.assertEqual(result.stderr.decode(),
                                 "\nCannot connect to X server [%s]\n\n" % shown)

        result = self.run_clock(("-w", "-display"), display=free)
        self.assertEqual((result.returncode, result.stdout, result.stderr.decode()),
                         (1, b"", error("Missing argument for '-display'")))

    def test_help_and_version(self):
        # Asked for, they go to standard output with status 0, and no
        # display is needed; the words before them are read as usual.
        version = "quadrix-x %s\n" % os.environ["QUADRIX_VERSION"]
        self.assertRegex(version, r"^quadrix-x [0-9]+(\.[0-9]+)+\n$")
        free = unused_display()
        for args, status, output, errors in (
                (("-help",), 0, USAGE, ""),
                (("--help",), 0, USAGE, ""),
                (("-w", "-title", "clock", "-help", "-border", "999"), 0, USAGE, ""),
                (("-version",), 0, version, ""),
                (("--version", "--help"), 0, version, ""),
                (("-border", "999", "-help"), 1, "", error("Value for -border out of range")),
                (("-title", "-help"), 1, "", "\nCannot connect to X server [%s]\n\n" % free),
                (("-name", "-version", "-title"), 1, "", error("Missing argument for '-title'")),
                (("-h",), 1, "", USAGE),
                (("-Help",), 1, "", USAGE),
                (("---version",), 1, "", USAGE),
                (("-v",), 1, "", USAGE),
                (("clock", "--help"), 1, "", USAGE)):
            with self.subTest(args=args):
                result = self.run_clock(args, display=free)
                self.assertEqual((result.returncode, result.stdout.decode(),
                                  result.stderr.decode()), (status, output, errors))


if __name__ == "__main__":
    unittest.main()
