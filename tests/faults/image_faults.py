"""quadrix-image under faults: bad command lines, an exhausted heap, outputs
that cannot be created or written.  Every failure must give its exact
message and status 1, and leave an existing output file as it was.

    /usr/bin/python3 image_faults.py PROGRAM [--sanitized] [unittest arguments]
"""

import os
import resource
import shutil
import signal
import subprocess
import sys
import tempfile
import unittest

# The expectations shared with the other tests of quadrix-image.
sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "image"))
import quadrix_check  # noqa: E402

PROGRAM = None
SANITIZED = False
NAME = "quadrix-image"
PRECIOUS = b"an image that must survive\n" * 3

USAGE = quadrix_check.usage(NAME)

FORMATS = [
    ("-xbm", "Writing XBM\n"),
    ("-xpm", "Writing XPM\n"),
    ("-pbm", "Writing PBM\n"),
    ("-ppm", "Writing PPM\n"),
    ("-bmp", "Writing BMP\n"),
    ("-bmpwin", "Writing BMP Windows\n"),
    ("-png", "Writing PNG\n"),
    ("-svg", "Writing SVG\n"),
]

# Formats whose 80 by 80 picture is smaller than the file size limit below
# get a larger one.
LARGER = {"-png": ["-width", "1000", "-height", "1000"]}


def error(message):
    return "\nError %s: %s\n\n" % (NAME, message)


def run(args, program=None, stdout=subprocess.PIPE, preexec_fn=None):
    result = subprocess.run([program or PROGRAM] + list(args), stdout=stdout,
                            stderr=subprocess.PIPE, preexec_fn=preexec_fn, timeout=120)
    return result.returncode, result.stdout, result.stderr.decode("latin-1")


# Runs that fail before the output is opened: the command line and the
# library.  "OUT" stands for the path of an existing output file.
FAILURES = [
    ("no time words but two", ["OUT", "-q", "7", "30"], USAGE),
    ("an option after the time", ["OUT", "10", "7", "30", "-q"], USAGE),
    ("an unknown option", ["OUT", "-Q"], USAGE),
    ("an option with a letter more", ["OUT", "-qq", "1", "2", "3"], USAGE),
    ("a lone dash after the name", ["OUT", "-", "1", "2", "3"], USAGE),
    ("an option for the file name", ["-xpm", "OUT", "1", "2", "3"], USAGE),
    ("a value-taking option last", ["OUT", "-border"],
     error("Missing argument for '-border'")),
    ("a colour with two values", ["OUT", "-bg", "300", "0"],
     error("Missing argument for '0'")),
    ("a colour without values", ["OUT", "-mc"],
     error("Missing argument for '-mc'")),
    ("a border of 201", ["OUT", "-border", "201", "1", "2", "3"],
     error("Value for -border out of range")),
    ("a border beyond the int range", ["OUT", "-border", "4294967296"],
     error("Value for -border out of range")),
    ("a negative border", ["OUT", "-border", "-1"],
     error("Value for -border out of range")),
    ("a width of 20", ["OUT", "-width", "20"],
     error("width out of range, must be in [21, 8192]")),
    ("a width of 8193", ["OUT", "-width", "8193"],
     error("width out of range, must be in [21, 8192]")),
    ("a width beyond the int range", ["OUT", "-width", "99999999999"],
     error("width out of range, must be in [21, 8192]")),
    ("a height of 20", ["OUT", "-height", "20"],
     error("height out of range, must be in [21, 8192]")),
    ("a height far below", ["OUT", "-height", "-99999999999"],
     error("height out of range, must be in [21, 8192]")),
    ("a colour component of 256", ["OUT", "-ic", "0", "0", "256"],
     error("Invalid color for -ic")),
    ("a negative colour component", ["OUT", "-sc", "-1", "0", "0"],
     error("Invalid color for -sc")),
    ("a border the size cannot take",
     ["OUT", "-width", "21", "-border", "1", "1", "2", "3"],
     "Quadface: border too large for size\n"),
    ("a border the height cannot take",
     ["OUT", "-width", "500", "-height", "60", "-border", "20"],
     "Quadface: border too large for size\n"),
]


class Folder(unittest.TestCase):
    def setUp(self):
        self.dir = tempfile.mkdtemp(prefix="quadrix-faults.")
        self.addCleanup(shutil.rmtree, self.dir, ignore_errors=True)
        self.out = os.path.join(self.dir, "clock.ppm")

    def existing_output(self):
        with open(self.out, "wb") as f:
            f.write(PRECIOUS)
        return self.out

    def assert_untouched(self, path=None):
        with open(path or self.out, "rb") as f:
            self.assertEqual(f.read(), PRECIOUS, "the output file was changed")

    def assert_absent(self):
        self.assertFalse(os.path.exists(self.out), "a failed run created its output")


class CommandLineAndLibrary(Folder):
    def test_every_early_failure(self):
        for what, args, expected in FAILURES:
            for existing in (True, False):
                with self.subTest(what, existing=existing):
                    if existing:
                        self.existing_output()
                    elif os.path.exists(self.out):
                        os.remove(self.out)
                    status, out, err = run([self.out if a == "OUT" else a for a in args])
                    self.assertEqual((status, err), (1, expected))
                    self.assertEqual(out, b"")
                    if existing:
                        self.assert_untouched()
                    else:
                        self.assert_absent()

    def test_no_argument_at_all(self):
        self.assertEqual(run([]), (1, b"", USAGE))


class ExhaustedHeap(Folder):
    # The address space a small image needs, but far from the 64 MiB that an
    # 8192 x 8192 canvas takes.
    LIMIT = 40 * 1024 * 1024

    def setUp(self):
        if SANITIZED:
            self.skipTest("the sanitizers reserve far more address space than any small limit")
        if shutil.which("prlimit") is None:
            self.skipTest("prlimit (util-linux) is not installed")
        super().setUp()

    def limited(self, args):
        return run(["--as=%d" % self.LIMIT, PROGRAM] + args, program="prlimit")

    def test_a_small_image_still_fits(self):
        status, _, err = self.limited([self.out, "-q", "10", "7", "30"])
        self.assertEqual((status, err), (0, ""))
        self.assertEqual(os.path.getsize(self.out), 19213)

    def test_the_largest_canvas_is_out_of_memory(self):
        for existing in (False, True):
            with self.subTest(existing=existing):
                if existing:
                    self.existing_output()
                status, out, err = self.limited(
                    [self.out, "-width", "8192", "-height", "8192", "1", "2", "3"])
                self.assertEqual((status, err), (1, error("Out of memory")))
                if existing:
                    self.assert_untouched()
                else:
                    self.assert_absent()

    def test_png_writer_out_of_memory(self):
        # The PNG writer takes the compressor's memory, some hundreds of KiB,
        # after the canvas: just enough address space for the PPM of the
        # largest picture leaves it short.
        large = ["-width", "8192", "-height", "8192", "1", "2", "3"]

        def fits(limit, option):
            return run(["--as=%d" % limit, PROGRAM, "-", "-q", option] + large,
                       program="prlimit", stdout=subprocess.DEVNULL)[0] == 0
        low, high = 8 * 1024 * 1024, 256 * 1024 * 1024
        self.assertTrue(fits(high, "-ppm"))
        while high - low > 16 * 1024:
            middle = (low + high) // 2
            if fits(middle, "-ppm"):
                high = middle
            else:
                low = middle
        status, _, err = run(["--as=%d" % high, PROGRAM, "-", "-q", "-png"] + large,
                             program="prlimit", stdout=subprocess.DEVNULL)
        self.assertEqual((status, err), (1, error("Out of memory")))
        for existing in (False, True):
            with self.subTest(existing=existing):
                if existing:
                    self.existing_output()
                status, _, err = run(["--as=%d" % high, PROGRAM, self.out, "-q", "-png"] + large,
                                     program="prlimit")
                self.assertEqual((status, err), (1, error("Out of memory")))
                if existing:
                    self.assert_untouched()
                else:
                    self.assert_absent()
                self.assertEqual(os.listdir(self.dir), ["clock.ppm"] if existing else [])
        self.assertTrue(fits(high + 4 * 1024 * 1024, "-png"))

    def test_out_of_memory_on_standard_output(self):
        status, out, err = self.limited(["-", "-width", "8192", "-height", "8192"])
        self.assertEqual((status, out, err), (1, b"", error("Out of memory")))


def nobody():
    """Runs as a user whom permissions stop, when started as root."""
    os.setgroups([])
    os.setgid(65534)
    os.setuid(65534)


class Outputs(Folder):
    def test_a_missing_directory(self):
        path = os.path.join(self.dir, "missing", "clock.ppm")
        status, _, err = run([path, "1", "2", "3"])
        self.assertEqual((status, err),
                         (1, error('Creating file "%s": No such file or directory' % path)))
        self.assertFalse(os.path.exists(os.path.dirname(path)))

    def test_a_directory(self):
        path = os.path.join(self.dir, "images")
        os.mkdir(path)
        inside = os.path.join(path, "kept")
        with open(inside, "wb") as f:
            f.write(PRECIOUS)
        status, _, err = run([path, "1", "2", "3"])
        self.assertEqual((status, err), (1, error('Creating file "%s": Is a directory' % path)))
        self.assertEqual(os.listdir(path), ["kept"])
        self.assert_untouched(inside)

    def test_a_read_only_file(self):
        self.existing_output()
        os.chmod(self.out, 0o444)
        preexec, program = None, PROGRAM
        if os.geteuid() == 0:
            # Permissions do not stop root.  The program runs as nobody, from
            # a copy that nobody may execute, in a folder nobody may enter.
            os.chmod(self.dir, 0o755)
            program = os.path.join(self.dir, NAME)
            shutil.copy(PROGRAM, program)
            os.chmod(program, 0o755)
            preexec = nobody
        status, _, err = run([self.out, "1", "2", "3"], program=program,
                             preexec_fn=preexec)
        self.assertEqual((status, err),
                         (1, error('Creating file "%s": Permission denied' % self.out)))
        self.assert_untouched()

    def test_dev_full_in_every_format(self):
        # A small image fails only in the final flush, a large one while the
        # rows are written.
        for option, line in FORMATS:
            for size in ("21", "900"):
                with self.subTest(option, size=size):
                    args = [option, "-width", size, "-height", size, "3", "0", "0"]
                    status, _, err = run(["/dev/full", "-q"] + args)
                    self.assertEqual((status, err), (1, error(
                        'Writing file "/dev/full": No space left on device')))
                    with open("/dev/full", "wb") as full:
                        status, _, err = run(["-", "-q"] + args, stdout=full)
                    self.assertEqual((status, err), (1, error(
                        "Writing to standard output: No space left on device")))

    def test_dev_full_with_progress_lines(self):
        status, _, err = run(["/dev/full", "-xpm", "1", "2", "3"])
        self.assertEqual((status, err), (1, 'Writing to file "/dev/full"\nWriting XPM\n'
                                         + error('Writing file "/dev/full": No space left on device')))

    def test_standard_output_closed(self):
        status, _, err = run(["-", "-q", "1", "2", "3"], stdout=subprocess.DEVNULL,
                             preexec_fn=lambda: os.close(1))
        self.assertEqual((status, err),
                         (1, error("Writing to standard output: Bad file descriptor")))

    def test_a_file_size_limit(self):
        # A write past the file size limit fails with an error, not the
        # signal: its message and status are checked here.  That the old
        # picture survives such a run is checked by the replacing tests.
        def limit():
            signal.signal(signal.SIGXFSZ, signal.SIG_IGN)
            resource.setrlimit(resource.RLIMIT_FSIZE, (500, 500))
        for option, _ in FORMATS:
            with self.subTest(option):
                status, _, err = run([self.out, "-q", option] + LARGER.get(option, [])
                                     + ["1", "2", "3"], preexec_fn=limit)
                self.assertEqual((status, err),
                                 (1, error('Writing file "%s": File too large' % self.out)))


class Valgrind(Folder):
    """Every writer, and the ways of failing, under memcheck."""

    CHECK = ["valgrind", "--quiet", "--error-exitcode=99", "--leak-check=full",
             "--errors-for-leak-kinds=definite,indirect"]

    def setUp(self):
        if SANITIZED:
            self.skipTest("valgrind cannot run a program built with the sanitizers")
        if shutil.which("valgrind") is None:
            self.skipTest("valgrind is not installed")
        super().setUp()

    def checked(self, args, stdout=subprocess.PIPE):
        return run(self.CHECK[1:] + [PROGRAM] + args, program=self.CHECK[0], stdout=stdout)

    def test_every_format(self):
        # An odd width, so that the padding columns take part.
        for option, line in FORMATS:
            with self.subTest(option):
                args = [option, "-width", "75", "-height", "33", "10", "7", "30"]
                status, _, err = self.checked([self.out] + args)
                self.assertEqual((status, err),
                                 (0, 'Writing to file "%s"\n%s' % (self.out, line)))
                _, expected, _ = run(["-", "-q"] + args)
                with open(self.out, "rb") as f:
                    self.assertEqual(f.read(), expected)
                status, image, err = self.checked(["-", "-q"] + args)
                self.assertEqual((status, image, err), (0, expected, ""))

    def test_failures(self):
        for args, expected in [
            (["/dev/full", "-q", "-bmpwin", "1", "2", "3"],
             error('Writing file "/dev/full": No space left on device')),
            ([self.out, "-width", "21", "-border", "1", "1", "2", "3"],
             "Quadface: border too large for size\n"),
            ([self.out, "-hc", "1", "2", "999"], error("Invalid color for -hc")),
            ([self.out, "1", "2"], USAGE),
        ]:
            with self.subTest(args[1:]):
                self.assertEqual(self.checked(args)[0::2], (1, expected))


if __name__ == "__main__":
    PROGRAM = os.path.abspath(sys.argv.pop(1))
    if len(sys.argv) > 1 and sys.argv[1] == "--sanitized":
        SANITIZED = True
        sys.argv.pop(1)
    unittest.main()
