"""The PNG and SVG pictures of quadrix-image against its PPM of the same
picture.  Each PNG must pass pngcheck and decode to exactly the PPM's
pixels in Pillow, netpbm and ImageMagick; each SVG must be well-formed XML
of the promised shape, and rsvg-convert, drawing it at its own size, must
give exactly the PPM's pixels."""

import sys

sys.dont_write_bytecode = True

import os
import re
import struct
import subprocess
import tempfile
import unittest
import xml.etree.ElementTree as ET
import zlib

import quadrix_check as q

# Sizes that end a row inside a byte at each bit depth, or not; long and
# narrow pictures; borders; times of every quarter; palettes of one to five
# entries.  Two pens of one colour share an entry.
WHITE_FACE = ["-sc", "255", "255", "255", "-hc", "255", "255", "255", "-mc", "255", "255", "255"]
PICTURES = [
    ("default_10_07_30", ["10", "7", "30"], 1),
    ("21x21_five_colours", ["-width", "21", "-height", "21",
                            "-bg", "10", "20", "30", "-ic", "40", "50", "60",
                            "-sc", "70", "80", "90", "-hc", "100", "110", "120",
                            "-mc", "130", "140", "150", "3", "0", "0"], 4),
    ("22x23_four_colours", ["-width", "22", "-height", "23", "-ic", "1", "1", "1",
                            "-hc", "0", "0", "255", "-mc", "0", "0", "255", "9", "15", "0"], 2),
    ("75x50_five", ["-width", "75", "-height", "50", "-bg", "255", "0", "0",
                    "-hc", "0", "255", "0", "-mc", "0", "0", "255", "7", "41", "13"], 4),
    ("37x101_border_3_three", ["-width", "37", "-height", "101", "-border", "3",
                               "-ic", "200", "200", "200", "-sc", "255", "255", "255",
                               "11", "59", "59"], 2),
    ("123x45_three", ["-width", "123", "-height", "45", "-mc", "1", "2", "3",
                      "0", "22", "5"], 2),
    ("one_colour", ["-width", "33", "-height", "34"] + WHITE_FACE + ["6", "30", "0"], 1),
    ("border_0", ["-width", "29", "-height", "29", "-border", "0", "12", "0", "0"], 1),
    ("border_200", ["-width", "650", "-height", "421", "-border", "200",
                    "-mc", "255", "0", "0", "6", "45", "1"], 2),
    ("8192x21", ["-width", "8192", "-height", "21", "-ic", "0", "128", "0", "1", "50", "3"], 2),
    ("21x8192", ["-width", "21", "-height", "8192", "-bg", "0", "0", "0",
                 "-ic", "0", "0", "0", "-sc", "255", "255", "255", "-hc", "255", "255", "255",
                 "-mc", "255", "255", "255", "4", "10", "59"], 1),
    ("1920x1080_five", ["-width", "1920", "-height", "1080",
                        "-bg", "32", "32", "32", "-ic", "48", "48", "48", "-sc", "200", "200", "200",
                        "-mc", "201", "200", "200", "-hc", "220", "40", "40", "8", "33", "20"], 4),
]


def ppm_raster(picture):
    """(width, height, the PPM's pixel bytes) of the picture."""
    return pixels_of_ppm(q.image(["-ppm"] + picture))


def pixels_of_ppm(data):
    """(width, height, pixel bytes) of a PPM with a header of three lines,
    as this program and netpbm write them."""
    magic, size, maxval, raster = data.split(b"\n", 3)
    assert (magic, maxval) == (b"P6", b"255"), data[:20]
    width, height = size.split()
    return int(width), int(height), raster


def tool(argv, data=None):
    return subprocess.run(argv, input=data, check=True, stdout=subprocess.PIPE,
                          stderr=subprocess.PIPE, timeout=120).stdout


def png_chunks(data):
    """(type, contents) of each chunk, whose CRC zlib checks."""
    assert data[:8] == b"\x89PNG\r\n\x1a\n", data[:8]
    pos = 8
    chunks = []
    while pos < len(data):
        length, kind = struct.unpack(">I4s", data[pos:pos + 8])
        body = data[pos + 8:pos + 8 + length]
        crc, = struct.unpack(">I", data[pos + 8 + length:pos + 12 + length])
        assert crc == zlib.crc32(kind + body), "CRC of %r" % kind
        chunks.append((kind, body))
        pos += 12 + length
    return chunks


def first_difference(a, b, width):
    for i in range(min(len(a), len(b))):
        if a[i] != b[i]:
            pixel = i // 3
            return "first at x %d, y %d from the top" % (pixel % width, pixel // width)
    return "lengths %d and %d" % (len(a), len(b))


class Png(unittest.TestCase):
    def assert_same_pixels(self, decoder, got, want, width):
        if got != want:
            self.fail("%s: pixels differ, %s" % (decoder, first_difference(got, want, width)))

    def test_pictures_decode_to_the_ppm_pixels(self):
        from PIL import Image
        with tempfile.TemporaryDirectory() as work:
            path = os.path.join(work, "clock.png")
            for name, picture, depth in PICTURES:
                with self.subTest(name):
                    width, height, want = ppm_raster(picture)
                    png = q.image(["-png"] + picture)
                    with open(path, "wb") as f:
                        f.write(png)
                    check = subprocess.run(["pngcheck", path], stdout=subprocess.PIPE,
                                           stderr=subprocess.STDOUT, timeout=60)
                    self.assertEqual(check.returncode, 0, check.stdout)

                    chunks = png_chunks(png)
                    kinds = [kind for kind, _ in chunks]
                    self.assertEqual(kinds[:2], [b"IHDR", b"PLTE"])
                    self.assertEqual(kinds[-1], b"IEND")
                    self.assertEqual(set(kinds[2:-1]), {b"IDAT"})
                    self.assertEqual(struct.unpack(">IIBBBBB", chunks[0][1]),
                                     (width, height, depth, 3, 0, 0, 0))
                    palette = chunks[1][1]
                    entries = {palette[i:i + 3] for i in range(0, len(palette), 3)}
                    self.assertEqual(len(entries), len(palette) // 3, "a colour twice")
                    self.assertEqual(entries, {want[i:i + 3] for i in range(0, len(want), 3)})

                    with Image.open(path) as im:
                        self.assertEqual(im.size, (width, height))
                        self.assert_same_pixels("Pillow", im.convert("RGB").tobytes(), want, width)
                    # pngtopnm gives PBM for a black and white palette and PGM
                    # for a grey one; ppmtoppm makes each a PPM.
                    netpbm = tool(["ppmtoppm"], tool(["pngtopnm", path]))
                    self.assertEqual(pixels_of_ppm(netpbm)[:2], (width, height))
                    self.assert_same_pixels("netpbm", pixels_of_ppm(netpbm)[2], want, width)
                    magick = tool(["/usr/bin/convert", path, "-depth", "8", "rgb:-"])
                    self.assert_same_pixels("ImageMagick", magick, want, width)

    def test_file_no_larger_than_netpbm_makes_it(self):
        # The face at the largest size in the default colours and in five.
        for colours in ([], ["-ic", "1", "2", "3", "-hc", "4", "5", "6", "-mc", "7", "8", "9"]):
            with self.subTest(colours=colours):
                picture = ["-width", "8192", "-height", "8192"] + colours + ["10", "7", "30"]
                ours = q.image(["-png"] + picture)
                theirs = tool(["pnmtopng"], q.image(picture))
                self.assertLessEqual(len(ours), len(theirs))


def svg_rects(root):
    ns = "{http://www.w3.org/2000/svg}"
    return [child for child in root if child.tag == ns + "rect"]


class Svg(unittest.TestCase):
    def test_pictures_render_to_the_ppm_pixels(self):
        from PIL import Image
        hms = re.compile(r"^([0-9]|1[0-9]|2[0-3]):[0-5][0-9]:[0-5][0-9]$")
        with tempfile.TemporaryDirectory() as work:
            path = os.path.join(work, "clock.svg")
            rendered = os.path.join(work, "clock.png")
            for name, picture, _ in PICTURES:
                with self.subTest(name):
                    width, height, want = ppm_raster(picture)
                    svg = q.image(["-svg"] + picture)
                    with open(path, "wb") as f:
                        f.write(svg)
                    lint = subprocess.run(["xmllint", "--noout", path], stdout=subprocess.PIPE,
                                          stderr=subprocess.STDOUT, timeout=60)
                    self.assertEqual((lint.returncode, lint.stdout), (0, b""))

                    root = ET.fromstring(svg)
                    self.assertEqual(root.tag, "{http://www.w3.org/2000/svg}svg")
                    self.assertEqual((root.get("width"), root.get("height"), root.get("viewBox"),
                                      root.get("shape-rendering")),
                                     (str(width), str(height), "0 0 %d %d" % (width, height),
                                      "crispEdges"))
                    title = root.find("{http://www.w3.org/2000/svg}title")
                    hour, minute, second = (int(w) for w in picture[-3:])
                    self.assertEqual(title.text, "%d:%02d:%02d" % (hour % 24, minute % 60,
                                                                   second % 60))
                    self.assertRegex(title.text, hms)
                    rects = svg_rects(root)
                    # The whole image first, then the square, its inside, the
                    # hour and the minutes: at most 11 in all.
                    self.assertLessEqual(len(rects), 11)
                    self.assertEqual([rects[0].get(a) for a in ("x", "y", "width", "height")],
                                     ["0", "0", str(width), str(height)])
                    for rect in rects:
                        x, y, w, h = (int(rect.get(a)) for a in ("x", "y", "width", "height"))
                        self.assertTrue(0 <= x < x + w <= width and 0 <= y < y + h <= height,
                                        rect.attrib)
                        self.assertRegex(rect.get("fill"), "^#[0-9a-f]{6}$")

                    subprocess.run(["rsvg-convert", "-o", rendered, path], check=True,
                                   timeout=120)
                    with Image.open(rendered) as im:
                        self.assertEqual(im.size, (width, height))
                        got = im.convert("RGB").tobytes()
                    if got != want:
                        self.fail("pixels differ, " + first_difference(got, want, width))

    def test_size_does_not_grow_with_the_picture(self):
        sizes = [len(q.image(["-svg", "-width", w, "-height", h, "10", "7", "30"]))
                 for w, h in (("80", "80"), ("8192", "8192"))]
        self.assertLess(sizes[1], 4096)
        # Only the digits of the numbers grow.
        self.assertLess(sizes[1] - sizes[0], 100)


class Options(unittest.TestCase):
    def test_last_format_option_wins(self):
        time = ["1", "2", "3"]
        png, svg, ppm = (q.image([f] + time) for f in ("-png", "-svg", "-ppm"))
        self.assertEqual(q.image(["-svg", "-png"] + time), png)
        self.assertEqual(q.image(["-png", "-svg"] + time), svg)
        self.assertEqual(q.image(["-png", "-xpm", "-ppm"] + time), ppm)
        self.assertEqual(len({png, svg, ppm}), 3)

    def test_an_output_that_cannot_be_created(self):
        with tempfile.TemporaryDirectory() as work:
            for option in ("-png", "-svg"):
                with self.subTest(option):
                    path = os.path.join(work, "missing", "clock" + option)
                    self.assertEqual(q.run([path, option, "1", "2", "3"]), (1, b"", q.error(
                        'Creating file "%s": No such file or directory' % path)))
                    self.assertEqual(q.run([work, option, "1", "2", "3"]), (1, b"", q.error(
                        'Creating file "%s": Is a directory' % work)))
            self.assertEqual(os.listdir(work), [])


if __name__ == "__main__":
    q.main()
