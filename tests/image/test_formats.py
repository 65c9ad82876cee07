"""The pictures of quadrix-image as files: the worked examples, what the
colour options change in each format, and the XBM output as C source."""

import sys

sys.dont_write_bytecode = True

import os
import subprocess
import tempfile
import unittest

import quadrix_check as q
from quadrix_check import run

CUSTOM = ["-bg", "1", "2", "3", "-ic", "4", "5", "6", "-sc", "255", "255", "255",
          "-hc", "7", "8", "9", "-mc", "10", "11", "12"]

XPM_21_AT_3 = """/* XPM */
static char *Quadrix[] = {
/* width height num_colors chars_per_pixel */
"    21    21        5            1",
/* colors */
". c #ffffff",
", c #ffffff",
"# c #000000",
"@ c #000000",
"% c #000000",
/* pixels */
".........%%%.........",
".....................",
".........%%%.........",
".....................",
".........%%%.........",
".....................",
".........%%%.........",
".....................",
".........%%%.........",
".....................",
".....###########.....",
".....#,,,,,,,,,#.....",
".....#,,,,,,,,,#.....",
".....#,,,,,,,,,#.....",
".....#,,,@@@@@@#.....",
".....#,,,@@@@@@#.....",
".....#,,,@@@@@@#.....",
".....#,,,,,,,,,#.....",
".....#,,,,,,,,,#.....",
".....#,,,,,,,,,#.....",
".....###########....."
};
"""

XBM_PROGRAM = r"""
#include <stdio.h>
#include "clock.xbm"
int main(void) {
    printf("%d %d\n", Quadrix_width, Quadrix_height);
    fwrite(Quadrix_bits, 1, sizeof Quadrix_bits, stdout);
    return 0;
}
"""


def reverse_bits(byte):
    return int("{:08b}".format(byte)[::-1], 2)


class Formats(unittest.TestCase):
    def test_clock_ppm_example(self):
        with tempfile.TemporaryDirectory() as cwd:
            self.assertEqual(run(["clock.ppm", "-q", "10", "7", "30"], cwd=cwd), (0, b"", ""))
            with open(os.path.join(cwd, "clock.ppm"), "rb") as f:
                data = f.read()
        self.assertEqual(len(data), 19213)
        self.assertEqual(data[:13], b"P6\n80 80\n255\n")
        self.assertLessEqual(set(data[13:]), {0, 255})
        self.assertEqual(data, q.image(["10", "7", "30"]))

    def test_xpm_21_by_21_example(self):
        self.assertEqual(q.image(["-xpm", "-width", "21", "-height", "21", "3", "0", "0"]),
                         XPM_21_AT_3.encode())

    def test_colour_options(self):
        pictures = [
            ["10", "7", "30"],
            ["-width", "21", "-height", "37", "3", "0", "0"],
            ["-width", "75", "-height", "50", "-border", "4", "7", "41", "13"],
        ]
        for picture in pictures:
            with self.subTest(" ".join(picture)):
                self.check_colour_options(picture)

    def check_colour_options(self, picture):
        # Nothing at all in the one-bit formats.
        for option in ("-xbm", "-pbm"):
            self.assertEqual(q.image([option] + CUSTOM + picture), q.image([option] + picture))

        # Only the five used palette entries in BMP, in blue, green, red order.
        colours = q.colours_of(CUSTOM)
        for option, palette, entry in (("-bmp", 26, 3), ("-bmpwin", 54, 4)):
            plain = q.image([option] + picture)
            custom = q.image([option] + CUSTOM + picture)
            self.assertEqual(len(custom), len(plain))
            self.assertEqual(custom[:palette], plain[:palette])
            for pen in range(16):
                start = palette + pen * entry
                red, green, blue = colours[pen] if pen < 5 else (0, 0, 0)
                self.assertEqual(custom[start:start + entry],
                                 bytes([blue, green, red] + [0] * (entry - 3)), pen)
            self.assertEqual(custom[palette + 16 * entry:], plain[palette + 16 * entry:])

        # The colour lines only in XPM; the pixel characters stay.
        plain = q.image(["-xpm"] + picture).decode().split("\n")
        custom = q.image(["-xpm"] + CUSTOM + picture).decode().split("\n")
        self.assertEqual(custom[:5] + custom[10:], plain[:5] + plain[10:])
        self.assertEqual(custom[5:10], ['"%s c #%02x%02x%02x",' % ((q.PEN_CHARS[pen],) + colours[pen])
                                        for pen in range(5)])

        # Every pixel in PPM, each as the colour of its pen.
        width, height, pens = q.pens_of_xpm("\n".join(custom))
        ppm = q.image(CUSTOM + picture)
        header = b"P6\n%d %d\n255\n" % (width, height)
        self.assertEqual(ppm, header + b"".join(bytes(colours[pen]) for pen in pens))

    def test_xbm_compiles_as_c(self):
        sizes = [("21", "21"), ("80", "80"), ("75", "50")]
        with tempfile.TemporaryDirectory() as work:
            with open(os.path.join(work, "main.c"), "w") as f:
                f.write(XBM_PROGRAM)
            for width, height in sizes:
                with self.subTest(width + "x" + height):
                    picture = ["-width", width, "-height", height, "9", "48", "0"]
                    with open(os.path.join(work, "clock.xbm"), "wb") as f:
                        f.write(q.image(["-xbm"] + picture))
                    subprocess.run(["cc", "-std=c99", "-o", "show", "main.c"],
                                   cwd=work, check=True, timeout=60)
                    shown = subprocess.run([os.path.join(work, "show")], check=True,
                                           stdout=subprocess.PIPE, timeout=60).stdout
                    pbm = q.image(["-pbm"] + picture)
                    header = b"%s %s\n" % (width.encode(), height.encode())
                    self.assertEqual(shown[:len(header)], header)
                    self.assertEqual(shown[len(header):],
                                     bytes(reverse_bits(b) for b in pbm[len(b"P4\n") + len(header):]))


if __name__ == "__main__":
    q.main()
