#!/usr/bin/python3
"""Decodes a picture (a file, or - for standard input) with Pillow and
writes "WIDTH HEIGHT\n" and its RGB bytes, rows from the top, to standard
output: the browser tests' independent decoder for quadrix-image's PPM and
for the browser's screenshots."""
import io
import sys

from PIL import Image

source = io.BytesIO(sys.stdin.buffer.read()) if sys.argv[1] == "-" else sys.argv[1]
with Image.open(source) as picture:
    if picture.mode not in ("RGB", "RGBA"):
        sys.exit(f"rgb.py: unexpected mode {picture.mode}")
    if picture.mode == "RGBA" and picture.getextrema()[3] != (255, 255):
        sys.exit("rgb.py: the picture is not opaque")
    rgb = picture.convert("RGB")
    sys.stdout.buffer.write(b"%d %d\n" % rgb.size + rgb.tobytes())
