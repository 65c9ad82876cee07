"""Every format of quadrix-image read back by decoders that share no code
with it: netpbm, ImageMagick and Pillow.  The colour formats must give the
colour of each pixel's pen, the one-bit formats the one-bit rule (rim, hour
and minutes set, background and inside clear) of the same picture.  The pens
come from the program's own XPM, whose characters name them."""

import sys

sys.dont_write_bytecode = True

import os
import subprocess
import tempfile
import unittest

import quadrix_check as q

# Several times, sizes that are not multiples of 8, borders and colours; a
# white rim on a white background is still foreground in the one-bit formats.
PICTURES = [
    ("default_10_07_30", ["10", "7", "30"]),
    ("21x21_custom", ["-width", "21", "-height", "21",
                      "-bg", "10", "20", "30", "-ic", "40", "50", "60", "-sc", "70", "80", "90",
                      "-hc", "100", "110", "120", "-mc", "130", "140", "150", "3", "0", "0"]),
    ("75x50", ["-width", "75", "-height", "50",
               "-bg", "255", "0", "0", "-hc", "0", "255", "0", "-mc", "0", "0", "255",
               "7", "41", "13"]),
    ("37x101_border_3", ["-width", "37", "-height", "101", "-border", "3",
                         "-ic", "200", "200", "200", "-sc", "255", "255", "255", "11", "59", "59"]),
    ("123x45", ["-width", "123", "-height", "45", "-mc", "1", "2", "3", "0", "22", "5"]),
]

# Format option, file name, colour or one-bit.
FORMATS = [
    ("-ppm", "clock.ppm", True),
    ("-xpm", "clock.xpm", True),
    ("-bmp", "clock-os2.bmp", True),
    ("-bmpwin", "clock-windows.bmp", True),
    ("-png", "clock.png", True),
    ("-pbm", "clock.pbm", False),
    ("-xbm", "clock.xbm", False),
]

BLACK = (0, 0, 0)
WHITE = (255, 255, 255)


def netpbm(option, path):
    tool = {"-ppm": "pamtopnm", "-pbm": "pamtopnm", "-xpm": "xpmtoppm", "-xbm": "xbmtopbm",
            "-bmp": "bmptopnm", "-bmpwin": "bmptopnm", "-png": "pngtopnm"}[option]
    out = subprocess.run([tool, path], check=True, stdout=subprocess.PIPE,
                         stderr=subprocess.DEVNULL, timeout=60).stdout
    return q.read_pnm(out)


def imagemagick(option, path):
    # Without -depth 8 a 4-bit BMP comes out with a maxval of 15.
    out = subprocess.run(["/usr/bin/convert", path, "-depth", "8", "ppm:-"], check=True,
                         stdout=subprocess.PIPE, stderr=subprocess.PIPE, timeout=60).stdout
    return q.read_pnm(out)


def pillow(option, path):
    from PIL import Image
    with Image.open(path) as im:
        im.load()
        if option == "-xbm":
            # Pillow reads the set bits of an XBM as the white of its mode "1".
            assert im.mode == "1"
            pixels = [BLACK if v else WHITE for v in im.getdata()]
        else:
            pixels = list(im.convert("RGB").getdata())
        return im.size[0], im.size[1], pixels


class Decoders(unittest.TestCase):
    # Formats the decoder cannot read at all.
    skipped = ()

    def check(self, decode):
        with tempfile.TemporaryDirectory() as work:
            for name, picture in PICTURES:
                xpm = q.image(["-xpm"] + picture).decode()
                width, height, pens = q.pens_of_xpm(xpm)
                colours = q.colours_of(picture)
                as_colour = [colours[pen] for pen in pens]
                as_bits = [BLACK if pen >= 2 else WHITE for pen in pens]
                for option, file_name, colour in FORMATS:
                    if option in self.skipped:
                        continue
                    with self.subTest(picture=name, format=option):
                        path = os.path.join(work, file_name)
                        with open(path, "wb") as f:
                            f.write(q.image([option] + picture))
                        got_width, got_height, pixels = decode(option, path)
                        self.assertEqual((got_width, got_height), (width, height))
                        expected = as_colour if colour else as_bits
                        if pixels != expected:
                            wrong = [i for i in range(len(expected)) if pixels[i] != expected[i]]
                            first = wrong[0]
                            self.fail("%d pixels differ, first at x %d, y %d from the top: %s for %s"
                                      % (len(wrong), first % width, first // width,
                                         pixels[first], expected[first]))


class Netpbm(Decoders):
    def test_every_format(self):
        self.check(netpbm)


class ImageMagick(Decoders):
    def test_every_format(self):
        self.check(imagemagick)


class Pillow(Decoders):
    # Pillow's XPM reader wants single blanks between the four numbers of the
    # values line; ours has runs of blanks, which XPM allows.
    skipped = ("-xpm",)

    def test_every_format(self):
        self.check(pillow)


if __name__ == "__main__":
    q.main()
