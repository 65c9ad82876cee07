"""Large pictures in every format, byte for byte against encodings made here.

Started as
    /usr/bin/python3 test_large_pictures.py QUADRIX_IMAGE REFERENCE_CANVAS
REFERENCE_CANVAS draws the face into a plain one-byte-a-pixel block and
prints its pens, the top row first; the encoders below turn those pens into
each format the plain way, one whole image at a time, so any row that the
program encodes, repeats or drops wrongly shows as a difference.  PNG and
SVG leave the encoder choices (compression, the order of the rectangles),
so they are decoded instead: the PNG by Pillow, the SVG by painting its
rectangles here, one after the other.
"""

import io
import re
import struct
import subprocess
import sys
import unittest

PROGRAM = None
REFERENCE = None

DEFAULT_RGB = [(255, 255, 255), (255, 255, 255), (0, 0, 0), (0, 0, 0), (0, 0, 0)]
COLOUR_OPTIONS = ("-bg", "-ic", "-sc", "-hc", "-mc")


def columns(width):
    return (width + 7) // 8 * 8


def table(values):
    """A bytes.translate table: pen p becomes values[p]."""
    out = bytearray(256)
    for pen, value in enumerate(values):
        out[pen] = value
    return bytes(out)


def rows_of(pens, width, height):
    return [pens[i * width:(i + 1) * width] for i in range(height)]


def padded_rows(pens, width, height):
    pad = bytes(columns(width) - width)
    return [row + pad for row in rows_of(pens, width, height)]


def ppm(pens, width, height, rgb):
    body = bytearray(3 * width * height)
    for channel in range(3):
        body[channel::3] = pens.translate(table([c[channel] for c in rgb]))
    return b"P6\n%d %d\n255\n" % (width, height) + bytes(body)


def xpm(pens, width, height, rgb):
    chars = pens.translate(table(b".,#@%"))
    head = (b"/* XPM */\n"
            b"static char *Quadrix[] = {\n"
            b"/* width height num_colors chars_per_pixel */\n"
            b"\"    %d    %d        5            1\",\n"
            b"/* colors */\n" % (width, height))
    for pen in range(5):
        head += b"\"%c c #%02x%02x%02x\",\n" % ((b".,#@%"[pen],) + tuple(rgb[pen]))
    head += b"/* pixels */\n"
    lines = [b"\"" + row + b"\"" for row in rows_of(chars, width, height)]
    return head + b",\n".join(lines) + b"\n};\n"


def one_bit_rows(pens, width, height):
    """Each row as bytes, the leftmost pixel in bit 7; padding bits 0."""
    ones = pens.translate(table(b"00111"))
    pad = b"0" * (columns(width) - width)
    size = columns(width) // 8
    return [int(row + pad, 2).to_bytes(size, "big") for row in rows_of(ones, width, height)]


def pbm(pens, width, height, _rgb):
    return b"P4\n%d %d\n" % (width, height) + b"".join(one_bit_rows(pens, width, height))


REVERSED_BITS = bytes(int("{:08b}".format(v)[::-1], 2) for v in range(256))


def xbm(pens, width, height, _rgb):
    data = b"".join(one_bit_rows(pens, width, height)).translate(REVERSED_BITS)
    names = [b"0x%02x" % v for v in range(256)]
    values = [names[v] for v in data]
    lines = [b",".join(values[k:k + 15]) for k in range(0, len(values), 15)]
    return (b"#define Quadrix_width %d\n#define Quadrix_height %d\n"
            b"static char Quadrix_bits[] = {\n" % (width, height)
            + b",\n".join(lines) + b"};\n")


def bmp(pens, width, height, rgb, windows):
    grid = b"".join(reversed(padded_rows(pens, width, height)))
    high = grid[0::2].translate(table([p << 4 for p in range(5)]))
    low = grid[1::2]
    data = (int.from_bytes(high, "big") | int.from_bytes(low, "big")).to_bytes(len(low), "big")
    header_size = 118 if windows else 74
    head = struct.pack("<2sIHHI", b"BM", len(data) + header_size, 0, 0, header_size)
    if windows:
        head += struct.pack("<IiiHHIIiiII", 40, width, height, 1, 4, 0, 0, 0, 0, 0, 0)
    else:
        head += struct.pack("<IHHHH", 12, width, height, 1, 4)
    for entry in range(16):
        r, g, b = rgb[entry] if entry < 5 else (0, 0, 0)
        head += bytes((b, g, r)) + (b"\0" if windows else b"")
    return head + data


ENCODERS = {
    "-ppm": ppm,
    "-xpm": xpm,
    "-xbm": xbm,
    "-pbm": pbm,
    "-bmp": lambda p, w, h, rgb: bmp(p, w, h, rgb, False),
    "-bmpwin": lambda p, w, h, rgb: bmp(p, w, h, rgb, True),
}


def colour_ids(rgb):
    """Each pen's number among the distinct colours, and those colours."""
    distinct = sorted(set(rgb))
    return [distinct.index(c) for c in rgb], distinct


def png_matches(data, pens, width, height, rgb):
    """The PNG's pixels, as Pillow decodes them, against the pens; returns
    the first pixel that differs, or None."""
    from PIL import Image
    with Image.open(io.BytesIO(data)) as im:
        if im.size != (width, height) or im.mode != "P":
            return "a %s picture of %s" % (im.mode, im.size)
        palette = im.getpalette()
        colours = [tuple(palette[3 * i:3 * i + 3]) for i in range(len(palette) // 3)]
        ids, distinct = colour_ids(rgb)
        # Entry e of the palette, as a number among the distinct colours.
        entry_ids = bytes(distinct.index(c) if c in distinct else 255 for c in colours)
        got = im.tobytes().translate(entry_ids + bytes(256 - len(entry_ids)))
    want = pens.translate(table(ids))
    return None if got == want else "pixel %d" % first_difference(got, want)


RECT = re.compile(rb'<rect x="(\d+)" y="(\d+)" width="(\d+)" height="(\d+)" '
                  rb'fill="#([0-9a-f]{6})"/>')


def svg_matches(data, pens, width, height, rgb):
    """The SVG's rectangles painted in their order against the pens."""
    if len(data) >= 4096:
        return "an SVG of %d bytes" % len(data)
    ids, distinct = colour_ids(rgb)
    painted = bytearray(b"\xff" * (width * height))
    for m in RECT.finditer(data):
        x, y, w, h = (int(v) for v in m.groups()[:4])
        colour = tuple(bytes.fromhex(m.group(5).decode()))
        if colour not in distinct or x + w > width or y + h > height:
            return "a rectangle %r" % m.group(0)
        line = bytes([distinct.index(colour)]) * w
        for row in range(y, y + h):
            painted[row * width + x:row * width + x + w] = line
    want = pens.translate(table(ids))
    return None if painted == want else "pixel %d" % first_difference(bytes(painted), want)


DECODED = {"-png": png_matches, "-svg": svg_matches}


def first_difference(a, b):
    for i in range(0, min(len(a), len(b)), 65536):
        if a[i:i + 65536] != b[i:i + 65536]:
            return i + next(k for k, (x, y) in enumerate(zip(a[i:i + 65536], b[i:i + 65536]))
                            if x != y)
    return min(len(a), len(b))


class LargePictures(unittest.TestCase):
    # width, height, border (-1: automatic), time, colours (None: default).
    # The widths give rows of 1024, 1023 and 514 packed bytes: the XBM line
    # breaks come round after 15, 5 and 15 rows.
    PICTURES = [
        (8191, 4097, -1, (10, 7, 30), None),
        (8192, 8192, -1, (5, 42, 17),
         [(250, 240, 230), (20, 40, 60), (1, 2, 3), (200, 0, 100), (0, 128, 255)]),
        (8184, 1500, 40, (0, 0, 0), None),
        (4105, 2100, 200, (1, 58, 59), None),
    ]

    def test_every_format_matches_the_plain_encoding(self):
        for width, height, border, when, rgb in self.PICTURES:
            pens = subprocess.run(
                [REFERENCE, str(width), str(height), str(border)] + [str(t) for t in when],
                check=True, stdout=subprocess.PIPE).stdout
            self.assertEqual(len(pens), width * height)
            options = ["-width", str(width), "-height", str(height)]
            if border >= 0:
                options += ["-border", str(border)]
            for option, colour in zip(COLOUR_OPTIONS, rgb or []):
                options += [option] + [str(c) for c in colour]
            for fmt in list(ENCODERS) + list(DECODED):
                with self.subTest(width=width, height=height, format=fmt):
                    run = subprocess.run(
                        [PROGRAM, "-", "-q", fmt] + options + [str(t) for t in when],
                        stdout=subprocess.PIPE, stderr=subprocess.PIPE)
                    self.assertEqual((run.returncode, run.stderr), (0, b""))
                    if fmt in DECODED:
                        wrong = DECODED[fmt](run.stdout, pens, width, height, rgb or DEFAULT_RGB)
                        if wrong:
                            self.fail(wrong)
                        continue
                    expected = ENCODERS[fmt](pens, width, height, rgb or DEFAULT_RGB)
                    if run.stdout != expected:
                        self.fail("%d bytes, expected %d; first difference at byte %d"
                                  % (len(run.stdout), len(expected),
                                     first_difference(run.stdout, expected)))


if __name__ == "__main__":
    PROGRAM, REFERENCE = sys.argv[1], sys.argv[2]
    unittest.main(argv=[sys.argv[0]] + sys.argv[3:])
