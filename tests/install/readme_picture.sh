#!/bin/bash
# The README's picture is what scripts/make-readme-picture draws today with
# the built quadrix-image: same size, same pixels.
. "$(dirname "$0")/common.sh"

expect_in_readme '![The clock at 12:00, 3:15, 6:30 and 9:45](docs/clock-faces.png)'
expect_in_readme 'scripts/make-readme-picture'

"$SOURCE_DIR/scripts/make-readme-picture" "$BUILD_DIR/quadrix-image" "$work/faces.png" ||
    fail "scripts/make-readme-picture failed"
pngtopam "$SOURCE_DIR/docs/clock-faces.png" >"$work/committed.pam" ||
    fail "docs/clock-faces.png cannot be read"
pngtopam "$work/faces.png" >"$work/made.pam" || fail "the new picture cannot be read"
cmp -s "$work/committed.pam" "$work/made.pam" ||
    fail "docs/clock-faces.png is out of date: run scripts/make-readme-picture"

finish
