#!/bin/bash
# The README's first command for a fresh machine, without its apt-get part:
# configure without the tests, build, and draw the current time into
# clock.ppm in the folder it runs in.  The build tree, $1, stays for the
# package test.
. "$(dirname "$0")/common.sh"

fresh=${1:?build folder}
command='cmake -S . -B build -DQUADRIX_TESTS=OFF && cmake --build build -j && build/quadrix-image clock.ppm'
expect_in_readme "$command"

rm -rf "$fresh"
mkdir -p "$fresh"
cd "$SOURCE_DIR"
# Here the build folder is the test's own and the build shares the machine.
cmake -S . -B "$fresh" -DQUADRIX_TESTS=OFF >"$work/configure.log" 2>&1 ||
    { cat "$work/configure.log" >&2; fail "configure without tests failed"; finish; }
cmake --build "$fresh" -j 2 >"$work/build.log" 2>&1 ||
    { tail -50 "$work/build.log" >&2; fail "build without tests failed"; finish; }

cd "$work"
"$fresh/quadrix-image" clock.ppm 2>stderr.txt || fail "status $? from quadrix-image clock.ppm"
pamfile clock.ppm 2>/dev/null | grep 'PPM raw, 80 by 80' >/dev/null || fail "clock.ppm is not an 80 x 80 PPM"
[ "$(cat stderr.txt)" = 'Writing to file "clock.ppm"
Writing PPM' ] || fail "unexpected progress lines: $(cat stderr.txt)"
[ -x "$fresh/quadrix-x" ] || fail "the build has no quadrix-x"

finish
