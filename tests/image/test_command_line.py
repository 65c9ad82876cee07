"""quadrix-image run from outside: status, standard error and the bytes of
standard output for command lines, and what a failed run does to the output
file."""

import sys

sys.dont_write_bytecode = True

import os
import subprocess
import tempfile
import unittest

import quadrix_check as q
from quadrix_check import error, run, usage

BORDER = error("Value for -border out of range")
WIDTH = error("width out of range, must be in [21, 8192]")
HEIGHT = error("height out of range, must be in [21, 8192]")
LIBRARY_BORDER = "Quadface: border too large for size\n"

# Each format: its option, its progress line, how its 80 by 80 picture
# begins and how long it is.
FORMATS = [
    ("-xbm", "Writing XBM\n", b"#define Quadrix_width 80\n#define Quadrix_height 80\n", None),
    ("-xpm", "Writing XPM\n", b"/* XPM */\n", None),
    ("-pbm", "Writing PBM\n", b"P4\n80 80\n", 9 + 800),
    ("-ppm", "Writing PPM\n", b"P6\n80 80\n255\n", 13 + 3 * 80 * 80),
    ("-bmp", "Writing BMP\n", b"BM\xca\x0c\0\0", 74 + 80 * 40),
    ("-bmpwin", "Writing BMP Windows\n", b"BM\xf6\x0c\0\0", 118 + 80 * 40),
    ("-png", "Writing PNG\n", b"\x89PNG\r\n\x1a\n\0\0\0\rIHDR\0\0\0\x50\0\0\0\x50", None),
    ("-svg", "Writing SVG\n", b'<?xml version="1.0" encoding="UTF-8"?>\n<svg ', None),
]

# Command lines that fail.  OUT stands for the output file name; each runs
# once with an existing file there and once with a name that does not exist.
FAILURES = [
    ("option_for_file_name", ["-xpm", "OUT"], usage()),
    ("capital_option", ["OUT", "-XPM"], usage()),
    ("option_with_a_letter_more", ["OUT", "-qq"], usage()),
    ("lone_dash_as_option", ["OUT", "-", "1", "2", "3"], usage()),
    ("negative_number_as_option", ["OUT", "-5", "0", "0"], usage()),
    ("two_time_words", ["OUT", "10", "7"], usage()),
    ("four_time_words", ["OUT", "1", "2", "3", "4"], usage()),
    ("option_after_time", ["OUT", "1", "2", "3", "-q"], usage()),
    ("border_201", ["OUT", "-border", "201"], BORDER),
    ("border_minus_1", ["OUT", "-border", "-1"], BORDER),
    ("border_beyond_int", ["OUT", "-border", "4294967296"], BORDER),
    ("border_value_like_option", ["OUT", "-border", "-5", "1", "2", "3"], BORDER),
    ("width_20", ["OUT", "-width", "20"], WIDTH),
    ("width_8193", ["OUT", "-width", "8193"], WIDTH),
    ("height_20", ["OUT", "-q", "-height", "20"], HEIGHT),
    ("height_8193", ["OUT", "-height", "8193"], HEIGHT),
    ("border_last", ["OUT", "-border"], error("Missing argument for '-border'")),
    ("width_last", ["OUT", "-width"], error("Missing argument for '-width'")),
    ("colour_last", ["OUT", "-mc"], error("Missing argument for '-mc'")),
    ("colour_two_values", ["OUT", "-bg", "300", "0"], error("Missing argument for '0'")),
    ("bg_256", ["OUT", "-bg", "0", "0", "256"], error("Invalid color for -bg")),
    ("ic_minus_1", ["OUT", "-ic", "-1", "0", "0"], error("Invalid color for -ic")),
    ("sc_256", ["OUT", "-sc", "0", "256", "0"], error("Invalid color for -sc")),
    ("hc_beyond_int", ["OUT", "-hc", "0", "0", "4294967296"], error("Invalid color for -hc")),
    ("mc_minus_1", ["OUT", "-mc", "0", "-1", "0"], error("Invalid color for -mc")),
    # The command line passes; the face cannot be laid out.
    ("border_too_large_for_21", ["OUT", "-width", "21", "-border", "1", "1", "2", "3"],
     LIBRARY_BORDER),
    ("border_200_at_80", ["OUT", "-border", "200"], LIBRARY_BORDER),
    # The new formats fail in the same ways.
    ("png_capital", ["OUT", "-PNG"], usage()),
    ("svg_with_a_letter_more", ["OUT", "-svgz"], usage()),
    ("png_width_8193", ["OUT", "-png", "-width", "8193"], WIDTH),
    ("svg_colour_256", ["OUT", "-svg", "-bg", "0", "256", "0"], error("Invalid color for -bg")),
    ("png_border_too_large", ["OUT", "-png", "-width", "21", "-border", "1", "1", "2", "3"],
     LIBRARY_BORDER),
    ("svg_border_too_large", ["OUT", "-width", "21", "-svg", "-border", "1", "1", "2", "3"],
     LIBRARY_BORDER),
]

# Time words that draw the same picture as others.
SAME_TIME = [
    (["24", "60", "60"], ["0", "0", "0"]),
    (["25", "-1", "61"], ["1", "15", "1"]),
    (["7", "-5", "3"], ["7", "11", "3"]),  # 4294967291 modulo 60
    (["x", "", "+9z"], ["0", "0", "9"]),
    (["4294967296", "0", "0"], ["7", "0", "0"]),  # INT_MAX modulo 24
]


class CommandLine(unittest.TestCase):
    def setUp(self):
        self.dir = tempfile.TemporaryDirectory()
        self.addCleanup(self.dir.cleanup)

    def path(self, name):
        return os.path.join(self.dir.name, name)

    def test_no_arguments(self):
        self.assertEqual(run([]), (1, b"", usage()))

    def test_program_name_is_the_last_part_of_argv0(self):
        self.assertEqual(run([], argv0="some/dir/clockface"), (1, b"", usage("clockface")))
        self.assertEqual(run(["-", "-width", "20"], argv0="/x/y/z"),
                         (1, b"", error("width out of range, must be in [21, 8192]", "z")))
        self.assertEqual(run([], argv0="plain"), (1, b"", usage("plain")))

    def test_failures_leave_the_output_file_alone(self):
        original = b"earlier content\n\x00\xff"
        runs = []
        for name, args, _ in FAILURES:
            with open(self.path("existing-" + name), "wb") as f:
                f.write(original)
            for out in (self.path("existing-" + name), self.path("absent-" + name)):
                runs.append([out if w == "OUT" else w for w in args])
        results = iter(q.run_many(runs))
        for name, _, expected in FAILURES:
            with self.subTest(name):
                self.assertEqual(next(results), (1, b"", expected), "existing file")
                self.assertEqual(next(results), (1, b"", expected), "absent file")
                with open(self.path("existing-" + name), "rb") as f:
                    self.assertEqual(f.read(), original)
                self.assertFalse(os.path.exists(self.path("absent-" + name)))

    def test_output_file_cannot_be_created(self):
        cases = [
            (self.path("no/such/dir.ppm"), "No such file or directory"),
            (self.dir.name, "Is a directory"),
            ("", "No such file or directory"),
        ]
        for path, reason in cases:
            with self.subTest(path):
                self.assertEqual(run([path, "1", "2", "3"]),
                                 (1, b"", error('Creating file "%s": %s' % (path, reason))))
        self.assertEqual(os.listdir(self.dir.name), [])

    def test_formats_to_standard_output(self):
        for option, progress, start, size in FORMATS:
            for quiet in ([], ["-q"]):
                with self.subTest(option + " " + " ".join(quiet)):
                    status, out, err = run(["-"] + quiet + [option, "1", "2", "3"])
                    self.assertEqual((status, err), (0, "" if quiet else progress))
                    self.assertEqual(out[:len(start)], start)
                    if size is not None:
                        self.assertEqual(len(out), size)

    def test_formats_to_a_file(self):
        for option, progress, start, size in FORMATS:
            on_stdout = q.image([option, "1", "2", "3"])
            for quiet in ([], ["-q"]):
                with self.subTest(option + " " + " ".join(quiet)):
                    out_path = self.path("clock" + option)
                    with open(out_path, "wb") as f:
                        f.write(b"x" * 50000)  # longer than any of the pictures
                    status, out, err = run([out_path] + quiet + [option, "1", "2", "3"])
                    line = 'Writing to file "%s"\n' % out_path
                    self.assertEqual((status, out, err), (0, b"", "" if quiet else line + progress))
                    with open(out_path, "rb") as f:
                        written = f.read()
                    self.assertEqual(written, on_stdout)
                    if size is not None:
                        self.assertEqual(len(written), size)

    def test_last_format_option_wins(self):
        self.assertEqual(q.image(["-xpm", "-pbm", "1", "2", "3"]), q.image(["-pbm", "1", "2", "3"]))
        self.assertEqual(q.image(["-pbm", "-ppm", "1", "2", "3"]), q.image(["1", "2", "3"]))
        self.assertEqual(q.image(["-svg", "-png", "1", "2", "3"]), q.image(["-png", "1", "2", "3"]))
        self.assertEqual(q.image(["-png", "-svg", "1", "2", "3"]), q.image(["-svg", "1", "2", "3"]))
        self.assertEqual(q.image(["-svg", "-ppm", "1", "2", "3"]), q.image(["1", "2", "3"]))

    def test_sizes_at_the_limits(self):
        cases = [
            (["-width", "21", "-height", "21"], b"P4\n21 21\n", 3 * 21),
            (["-width", "8192", "-height", "21"], b"P4\n8192 21\n", 1024 * 21),
            (["-width", "21", "-height", "8192"], b"P4\n21 8192\n", 3 * 8192),
            (["-width", "650", "-height", "650", "-border", "200"], b"P4\n650 650\n", 82 * 650),
            (["-border", "0"], b"P4\n80 80\n", 800),
        ]
        for args, header, data in cases:
            with self.subTest(" ".join(args)):
                out = q.image(["-pbm"] + args + ["1", "2", "3"])
                self.assertEqual(out[:len(header)], header)
                self.assertEqual(len(out), len(header) + data)

    def test_time_words(self):
        results = iter(q.run_many(["-", "-q", "-xpm"] + words
                                  for pair in SAME_TIME for words in pair))
        for words, _ in SAME_TIME:
            with self.subTest(" ".join(words)):
                given, same = next(results), next(results)
                self.assertEqual(given[0], 0)
                self.assertEqual(given, same)
        # Different times do give different pictures.
        self.assertNotEqual(q.image(["7", "11", "3"]), q.image(["7", "12", "3"]))

    def test_local_time_when_no_time_words(self):
        status, out, err = run(["-", "-q", "-pbm"])
        self.assertEqual((status, err), (0, ""))
        self.assertEqual(len(out), 9 + 800)

    def test_write_failures(self):
        # At 80 by 80 the PBM and BMP pictures fit in the stream's buffer, so
        # only the final flush fails; the others fail in a write before it.
        for option, progress, _, _ in FORMATS:
            with self.subTest(option + " to /dev/full"):
                status, out, err = run(["/dev/full", option, "1", "2", "3"])
                self.assertEqual((status, out), (1, b""))
                self.assertEqual(err, 'Writing to file "/dev/full"\n' + progress + error(
                    'Writing file "/dev/full": No space left on device'))
            with self.subTest(option + " standard output on /dev/full"):
                with open("/dev/full", "wb") as full:
                    status, _, err = run(["-", "-q", option, "1", "2", "3"], stdout=full)
                self.assertEqual((status, err), (1, error(
                    "Writing to standard output: No space left on device")))
        with self.subTest("standard output closed"):
            status, _, err = run(["-", "-q", "1", "2", "3"], stdout=None,
                                 preexec_fn=lambda: os.close(1))
            self.assertEqual((status, err),
                             (1, error("Writing to standard output: Bad file descriptor")))
        for option in ("-png", "-svg"):
            with self.subTest(option + " standard output closed"):
                status, _, err = run(["-", "-q", option, "1", "2", "3"], stdout=None,
                                     preexec_fn=lambda: os.close(1))
                self.assertEqual((status, err),
                                 (1, error("Writing to standard output: Bad file descriptor")))


if __name__ == "__main__":
    q.main()
