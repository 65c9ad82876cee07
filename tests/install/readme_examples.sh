#!/bin/bash
# The README's quadrix-image examples, exactly as printed there, run with
# the installed programs on PATH in an empty folder; each result is decoded
# by netpbm or ImageMagick and checked against what the README says.
. "$(dirname "$0")/common.sh"

prefix="$work/prefix"
install_into "$prefix"
export PATH="$prefix/bin:$PATH"
mkdir "$work/run"
cd "$work/run"

# Runs the README command $1 with sh; its standard error goes to stderr.txt.
run_example() {
    expect_in_readme "$1"
    sh -c "$1" 2>stderr.txt || fail "status $? from: $1 ($(cat stderr.txt))"
}

# The colours of a PNM picture, "r g b count" per line, most frequent first.
colours() {
    ppmhist -noheader "$1" | awk '{ print $1, $2, $3, $5 }' | sort -k4,4nr
}

# 10:07:30, the worked example: 19,213 bytes, no progress lines.
run_example 'quadrix-image clock.ppm -q 10 7 30'
[ ! -s stderr.txt ] || fail "-q still wrote: $(cat stderr.txt)"
[ "$(stat -c %s clock.ppm)" -eq 19213 ] || fail "clock.ppm has $(stat -c %s clock.ppm) bytes"
pamfile clock.ppm | grep 'PPM raw, 80 by 80' >/dev/null || fail "clock.ppm: $(pamfile clock.ppm)"
reference_ppm 10 7 30 | cmp -s - clock.ppm || fail "clock.ppm is not 10:07:30"

# And that picture turned into a PNG, as the README suggests for clock.ppm.
run_example 'pnmtopng clock.ppm > clock.png'
# pnmtopng keeps a grey picture grey; back in PPM form it is the same.
pngtopam clock.png | ppmtoppm | pamdepth 255 | cmp -s - clock.ppm || fail "clock.png does not hold clock.ppm's pixels"

# A 160 x 160 PNG in the default black and white, with the pixels of the
# PPM of the same time (the one drawn just after it, unless the clock has
# moved on in between), and the SVG of it.
for attempt in 1 2 3; do
    run_example 'quadrix-image clock.png -png -q -width 160 -height 160'
    reference_ppm -width 160 -height 160 >clock-160.ppm
    pngtopam clock.png | ppmtoppm | cmp -s - clock-160.ppm && break
done
[ ! -s stderr.txt ] || fail "-q still wrote: $(cat stderr.txt)"
file clock.png | grep 'PNG image data, 160 x 160' >/dev/null || fail "clock.png: $(file clock.png)"
pngcheck -q clock.png >/dev/null || fail "pngcheck: $(pngcheck clock.png)"
pngtopam clock.png | ppmtoppm | cmp -s - clock-160.ppm || fail "clock.png is not the PPM's picture"
[ "$(colours clock-160.ppm | cut -d' ' -f1-3 | sort | xargs)" = "0 0 0 255 255 255" ] ||
    fail "clock.png is not black and white: $(colours clock-160.ppm | xargs)"

for attempt in 1 2 3; do
    run_example 'quadrix-image clock.svg -svg -q -width 160 -height 160'
    reference_ppm -width 160 -height 160 >clock-160.ppm
    rsvg-convert clock.svg -o clock-svg.png && pngtopam -mix clock-svg.png | ppmtoppm |
        cmp -s - clock-160.ppm && break
done
xmllint --noout clock.svg || fail "clock.svg is not well-formed"
rsvg-convert clock.svg -o clock-svg.png || fail "rsvg-convert cannot draw clock.svg"
pngtopam -mix clock-svg.png | ppmtoppm | cmp -s - clock-160.ppm ||
    fail "clock.svg does not draw the PPM's picture"

# XPM on standard output, its progress line on standard error.
run_example 'quadrix-image - -xpm -width 200 -height 200 > clock.xpm'
[ "$(cat stderr.txt)" = "Writing XPM" ] || fail "XPM example wrote '$(cat stderr.txt)' to stderr"
xpmtoppm clock.xpm >clock-xpm.ppm 2>/dev/null || fail "xpmtoppm cannot read clock.xpm"
pamfile clock-xpm.ppm | grep '200 by 200' >/dev/null || fail "clock.xpm: $(pamfile clock-xpm.ppm)"
/usr/bin/convert clock.xpm -depth 8 clock-im.ppm && cmp -s clock-xpm.ppm clock-im.ppm ||
    fail "ImageMagick and netpbm read clock.xpm differently"

# The dark wallpaper in Windows BMP form: the background is the dark grey,
# the hour block red, and no other colours than the given ones appear.
run_example 'quadrix-image wall.bmp -bmpwin -width 1920 -height 1080 \
    -bg 32 32 32 -ic 48 48 48 -sc 200 200 200 -mc 200 200 200 -hc 220 40 40'
file wall.bmp | grep 'PC bitmap, Windows 3.x format, 1920 x 1080 x 4' >/dev/null ||
    fail "wall.bmp: $(file wall.bmp)"
grep -q 'Writing to file "wall.bmp"' stderr.txt || fail "no progress line for wall.bmp"
bmptopnm wall.bmp >wall.ppm 2>/dev/null || fail "bmptopnm cannot read wall.bmp"
/usr/bin/convert wall.bmp -depth 8 wall-im.ppm && cmp -s wall.ppm wall-im.ppm ||
    fail "ImageMagick and netpbm read wall.bmp differently"
[ "$(colours wall.ppm | head -1 | cut -d' ' -f1-3)" = "32 32 32" ] ||
    fail "the wallpaper's background is not 32 32 32: $(colours wall.ppm | xargs)"
colours wall.ppm | grep '^220 40 40 ' >/dev/null || fail "the wallpaper has no red hour block"
[ -z "$(colours wall.ppm | cut -d' ' -f1-3 |
    grep -vxE '32 32 32|48 48 48|200 200 200|220 40 40')" ] ||
    fail "the wallpaper has other colours: $(colours wall.ppm | xargs)"

finish
