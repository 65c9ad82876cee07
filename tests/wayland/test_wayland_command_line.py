"""The command line and the connection, from outside: exact messages on
standard error, what goes to standard output, and the exit status; a
compositor that is not there, and compositors that lack what the clock
needs (GNOME's has no layer shell), played by a small server of the test's
own that speaks just enough of the Wayland protocol."""

import os
import shutil
import socket
import struct
import subprocess
import tempfile
import threading
import unittest

from wayland_harness import QUADRIX_WAYLAND, WAIT, sanitizer_env

USAGE = (
    "\nQuadrantine -- version 1.0d\n"
    "\nUsage: quadrix-wayland [-geometry <width>x<height>] [-border <borderwidth>]\n"
    "\t[-interval <seconds>]\n"
    "\t[-bg <colour>] [-fg <colour>]\n"
    "\t[-hc <colour>] [-mc <colour>] [-sc <colour>] [-ic <colour>]\n"
    "\t[-background] [-output <name>]\n"
    "\t[-display <name>]\n"
    "\t[-name <name>] [-title <text>]\n"
    "\t[-help] [-version]\n\n"
    "\t-background : the clock as the background of every output\n"
    "\t-output : only on the output of that name (repeatable)\n\n")


def error(message):
    return "\nError quadrix-wayland: %s\n\n" % message


class FakeCompositor:
    """A Wayland socket whose server announces the globals given, as
    (interface, version), answers the first round trip and then waits for
    the client to go; with protocol_error it answers with an error on the
    display instead, with hang_up it closes the connection at once."""

    def __init__(self, folder, globals_=(), protocol_error=False, hang_up=False):
        self.path = os.path.join(folder, "fake-wayland")
        self.listener = socket.socket(socket.AF_UNIX, socket.SOCK_STREAM)
        self.listener.bind(self.path)
        self.listener.listen(1)
        self.globals = globals_
        self.protocol_error = protocol_error
        self.hang_up = hang_up
        self.thread = threading.Thread(target=self.serve, daemon=True)
        self.thread.start()

    @staticmethod
    def message(target, opcode, payload):
        return struct.pack("<II", target, (8 + len(payload)) << 16 | opcode) + payload

    @staticmethod
    def string(text):
        data = text.encode() + b"\0"
        return struct.pack("<I", len(data)) + data + b"\0" * (-len(data) % 4)

    def serve(self):
        connection, _ = self.listener.accept()
        with connection:
            if self.hang_up:
                return
            # wl_display.get_registry (opcode 1) and sync (opcode 0), each
            # with the id of the new object.
            received = b""
            registry = callback = None
            while callback is None:
                chunk = connection.recv(4096)
                if not chunk:
                    return
                received += chunk
                while len(received) >= 8:
                    target, word = struct.unpack_from("<II", received)
                    size, opcode = word >> 16, word & 0xffff
                    if len(received) < size:
                        break
                    if target == 1 and opcode == 1:
                        registry = struct.unpack_from("<I", received, 8)[0]
                    elif target == 1 and opcode == 0:
                        callback = struct.unpack_from("<I", received, 8)[0]
                    received = received[size:]
            reply = b""
            if self.protocol_error:
                reply += self.message(1, 0, struct.pack("<II", 1, 3) + self.string("bad"))
            else:
                for name, (interface, version) in enumerate(self.globals, 1):
                    reply += self.message(registry, 0, struct.pack("<I", name)
                                          + self.string(interface) + struct.pack("<I", version))
                reply += self.message(callback, 0, struct.pack("<I", 1))
                reply += self.message(1, 1, struct.pack("<I", callback))
            connection.sendall(reply)
            while connection.recv(4096):
                pass

    def close(self):
        self.listener.close()
        self.thread.join(WAIT)


def unused_display(folder):
    return os.path.join(folder, "no-such-socket")


class CommandLine(unittest.TestCase):
    def setUp(self):
        self.folder = tempfile.mkdtemp(prefix="quadrix-wayland-test.")
        self.addCleanup(shutil.rmtree, self.folder, True)

    def run_clock(self, args, display=None, runtime=None, stdout=subprocess.PIPE):
        env = {name: value for name, value in os.environ.items()
               if not name.startswith(("WAYLAND_", "XDG_RUNTIME_DIR"))}
        env["XDG_RUNTIME_DIR"] = runtime if runtime is not None else self.folder
        if display is not None:
            env["WAYLAND_DISPLAY"] = display
        return subprocess.run([QUADRIX_WAYLAND, *args], env=sanitizer_env(env), stdout=stdout,
                              stderr=subprocess.PIPE, stdin=subprocess.DEVNULL, timeout=60)

    def assertEnds(self, result, status, errors, output=b""):
        self.assertEqual((result.returncode, result.stderr.decode(), result.stdout),
                         (status, errors, output))

    def test_bad_command_lines(self):
        # No compositor is needed: the command line is read first.
        cases = (
            (("clock",), USAGE),
            (("-",), USAGE),
            (("-root",), USAGE),
            (("-w",), USAGE),
            (("-background", "extra"), USAGE),
            (("-border", "201"), error("Value for -border out of range")),
            (("-border",), error("Missing argument for '-border'")),
            (("-fg", "red", "-interval"), error("Missing argument for '-interval'")),
            (("-background", "-output"), error("Missing argument for '-output'")),
            (("-background", "-geometry", "200x200"),
             error("-background cannot be used with -geometry")),
            (("-output", "DP-1"), error("-output cannot be used without -background")),
        )
        for args, message in cases:
            with self.subTest(args=args):
                self.assertEnds(self.run_clock(args), 1, message)

    def test_help_and_version(self):
        version = b"quadrix-wayland %s\n" % os.environ["QUADRIX_VERSION"].encode()
        for args, output in ((("-help",), USAGE.encode()), (("--help",), USAGE.encode()),
                             (("-background", "-version"), version),
                             (("--version",), version)):
            with self.subTest(args=args):
                self.assertEnds(self.run_clock(args), 0, "", output)

    def test_help_that_cannot_be_written(self):
        for args in (("-help",), ("-version",)):
            with self.subTest(args=args):
                with open("/dev/full", "wb") as full:
                    result = self.run_clock(args, stdout=full)
                self.assertEnds(result, 1, error("Writing to standard output: "
                                                 "No space left on device"), None)

    def test_no_compositor(self):
        # -display wins over WAYLAND_DISPLAY, an empty one leaves the choice
        # to it, and without both libwayland tries wayland-0; the message
        # names what was tried.
        free = unused_display(self.folder)
        for display, args, shown in (
                (free, (), free),
                (None, ("-display", free), free),
                ("wayland-7", ("-display", free, "-background"), free),
                (free, ("-display", ""), free),
                (None, (), "wayland-0"),
                (None, ("-display", "wayland-5"), "wayland-5")):
            with self.subTest(display=display, args=args):
                self.assertEnds(self.run_clock(args, display), 1,
                                error("Cannot connect to the Wayland compositor [%s]" % shown))

    def test_compositors_that_lack_what_is_needed(self):
        window_only = (("wl_compositor", 5), ("wl_shm", 1), ("xdg_wm_base", 5),
                       ("wl_output", 4))
        everything = window_only + (("zwlr_layer_shell_v1", 4),)
        cases = (
            # GNOME: no layer shell.
            (window_only, ("-background",),
             "The Wayland compositor lacks zwlr_layer_shell_v1, the layer shell that "
             "-background needs"),
            ((("wl_compositor", 4), ("wl_shm", 1), ("zwlr_layer_shell_v1", 4)), (),
             "The Wayland compositor lacks xdg_wm_base, the shell that a window needs"),
            ((("wl_compositor", 3), ("wl_shm", 1), ("xdg_wm_base", 1)), (),
             "The Wayland compositor has wl_compositor version 3; the clock needs version 4"),
            ((("wl_shm", 1), ("xdg_wm_base", 1)), (), "The Wayland compositor lacks wl_compositor"),
            ((("wl_compositor", 4), ("xdg_wm_base", 1)), (),
             "The Wayland compositor lacks wl_shm, the shared memory buffers"),
            (everything[:3] + (("wl_output", 3),) + everything[4:],
             ("-background", "-output", "DP-1"),
             "The Wayland compositor does not name its outputs (wl_output version 4), which "
             "-output needs"),
        )
        for globals_, args, message in cases:
            with self.subTest(globals_=globals_, args=args):
                fake = FakeCompositor(self.folder, globals_)
                try:
                    result = self.run_clock(args, fake.path)
                finally:
                    fake.close()
                    os.unlink(fake.path)
                self.assertEnds(result, 1, error(message))

    def test_protocol_error_and_hang_up(self):
        # libwayland reports a protocol error in its own words first.
        for kind, message in (
                ({"protocol_error": True},
                 error("The Wayland compositor reported error 3 on wl_display@1")),
                ({"hang_up": True}, error("Lost the connection to the Wayland compositor"))):
            with self.subTest(kind=kind):
                fake = FakeCompositor(self.folder, **kind)
                try:
                    result = self.run_clock((), fake.path)
                finally:
                    fake.close()
                    os.unlink(fake.path)
                self.assertEqual(result.returncode, 1)
                self.assertTrue(result.stderr.decode().endswith(message), result.stderr)


if __name__ == "__main__":
    unittest.main()
