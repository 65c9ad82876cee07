"""What the tests of quadrix-image share: running the program, the pens of
a picture and the reading of netpbm's output.

Each test script is started as
    /usr/bin/python3 SCRIPT PROGRAM [unittest arguments]
with PROGRAM the path of the built quadrix-image.
"""

import concurrent.futures
import os
import subprocess
import sys
import unittest

PROGRAM = None

USAGE = (
    "\n"
    "Quadrantine -- version 1.0b\n"
    "create image file\n"
    "\n"
    "Usage: %s <filename> [options] [<hour> <minute> <second>]\n"
    "\n"
    "<filename> : use - for stdout\n"
    "\n"
    "If no time is specified, the current time will be used\n"
    "\n"
    "options:\n"
    "-border <int> : border width\n"
    "-width <int> : width\n"
    "-height <int> : height\n"
    "-xbm : create XBM image file\n"
    "-xpm : create XPM image file\n"
    "-pbm : create PBM image file\n"
    "-ppm : create PPM image file\n"
    "-bmp : create BMP image file\n"
    "-bmpwin : create BMP Windows image file\n"
    "-png : create PNG image file\n"
    "-svg : create SVG image file\n"
    "-bg <red> <green <blue> : set background colour\n"
    "-hc <red> <green <blue> : set colour for hours\n"
    "-mc <red> <green <blue> : set colour for minutes\n"
    "-sc <red> <green <blue> : set border colour for square\n"
    "-ic <red> <green <blue> : set inside colour for square\n"
    "-q : quiet\n"
    "<red>, <green>, <blue> must be 0 - 255\n"
    "\n"
)


def usage(name="quadrix-image"):
    return USAGE % name


def error(message, name="quadrix-image"):
    return "\nError %s: %s\n\n" % (name, message)


def run(args, cwd=None, stdout=subprocess.PIPE, argv0=None, preexec_fn=None):
    """Runs the program; returns (status, stdout bytes, stderr text)."""
    result = subprocess.run(
        [argv0 or PROGRAM] + list(args),
        executable=PROGRAM,
        cwd=cwd,
        stdin=subprocess.DEVNULL,
        stdout=stdout,
        stderr=subprocess.PIPE,
        preexec_fn=preexec_fn,
        timeout=60,
    )
    return result.returncode, result.stdout or b"", result.stderr.decode("utf-8", "replace")


def run_many(arg_lists):
    """run for each list of arguments, a few at a time; the results in order.
    Most of a run's time is spent waiting for the process to start and end,
    more so under the sanitizers."""
    with concurrent.futures.ThreadPoolExecutor(max_workers=4) as pool:
        return list(pool.map(run, arg_lists))


def image(args):
    """The bytes the program writes to standard output, quietly, for args
    that follow the "-"; any failure fails the test."""
    status, out, err = run(["-", "-q"] + list(args))
    if status != 0 or err:
        raise AssertionError("quadrix-image %s: status %d, %r" % (args, status, err))
    return out


PEN_CHARS = ".,#@%"
DEFAULT_COLOURS = [(255, 255, 255), (255, 255, 255), (0, 0, 0), (0, 0, 0), (0, 0, 0)]
COLOUR_OPTIONS = ["-bg", "-ic", "-sc", "-hc", "-mc"]


def colours_of(options):
    """The colour of each pen that the command-line words leave."""
    colours = list(DEFAULT_COLOURS)
    for i, word in enumerate(options):
        if word in COLOUR_OPTIONS:
            colours[COLOUR_OPTIONS.index(word)] = tuple(int(v) for v in options[i + 1:i + 4])
    return colours


def pens_of_xpm(text):
    """(width, height, pens top row first) of the program's own XPM."""
    lines = text.split("\n")
    start = lines.index("/* pixels */") + 1
    end = lines.index("};")
    rows = [line.rstrip(",").strip('"') for line in lines[start:end]]
    pens = [PEN_CHARS.index(c) for row in rows for c in row]
    return len(rows[0]), len(rows), pens


def read_pnm(data):
    """(width, height, RGB triples top row first) of a raw PBM, PGM or PPM,
    as netpbm writes them; black is a set bit of a PBM."""
    fields = []
    pos = 0
    wanted = 3 if data[:2] == b"P4" else 4
    while len(fields) < wanted:
        while data[pos:pos + 1].isspace():
            pos += 1
        if data[pos:pos + 1] == b"#":
            pos = data.index(b"\n", pos)
            continue
        start = pos
        while not data[pos:pos + 1].isspace():
            pos += 1
        fields.append(data[start:pos])
    pos += 1  # the single white space before the raster
    magic, width, height = fields[0], int(fields[1]), int(fields[2])
    raster = data[pos:]
    if magic == b"P4":
        row_bytes = (width + 7) // 8
        if len(raster) != row_bytes * height:
            raise AssertionError("PBM raster of %d bytes" % len(raster))
        pixels = []
        for y in range(height):
            row = raster[y * row_bytes:(y + 1) * row_bytes]
            for x in range(width):
                bit = row[x // 8] >> (7 - x % 8) & 1
                pixels.append((0, 0, 0) if bit else (255, 255, 255))
        return width, height, pixels
    maxval = int(fields[3])
    if maxval > 255:
        raise AssertionError("maxval %d" % maxval)

    def scale(v):
        return v * 255 // maxval

    if magic == b"P5":
        if len(raster) != width * height:
            raise AssertionError("PGM raster of %d bytes" % len(raster))
        return width, height, [(scale(v),) * 3 for v in raster]
    if magic == b"P6":
        if len(raster) != 3 * width * height:
            raise AssertionError("PPM raster of %d bytes" % len(raster))
        return width, height, [tuple(scale(v) for v in raster[i:i + 3])
                               for i in range(0, len(raster), 3)]
    raise AssertionError("not a raw netpbm image: %r" % magic)


def main():
    global PROGRAM
    PROGRAM = os.path.abspath(sys.argv.pop(1))
    unittest.main(module="__main__")
