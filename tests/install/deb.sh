#!/bin/bash
# cpack -G DEB in a build folder ($1, made by the fresh-build test, so that
# the packaging never touches the build under test): the two packages, their
# files, their fields and the dependencies dpkg-shlibdeps found; the packaged
# programs run, and the packaged library builds a host program.
. "$(dirname "$0")/common.sh"

build=${1:?build folder}
[ -f "$build/CPackConfig.cmake" ] || { fail "no configured build in $build"; finish; }

# The README's command, run here in the test's own build folder.
readme_command='cd build && cpack -G DEB && sudo apt install ./quadrantine_1.0_amd64.deb'
expect_in_readme "$readme_command"

cd "$work"
cpack -G DEB --config "$build/CPackConfig.cmake" -B "$work/packages" >cpack.log 2>&1 ||
    { cat cpack.log >&2; fail "cpack -G DEB failed"; finish; }

arch=$(dpkg --print-architecture)
programs="$work/packages/quadrantine_1.0_${arch}.deb"
development="$work/packages/libquadface-dev_1.0_${arch}.deb"
[ -f "$programs" ] || fail "no $(basename "$programs"); made: $(ls "$work/packages")"
[ -f "$development" ] || fail "no $(basename "$development"); made: $(ls "$work/packages")"
[ -f "$programs" ] && [ -f "$development" ] || finish
if [ "$arch" = amd64 ]; then
    readme_deb=${readme_command##*./}
    [ -f "$work/packages/$readme_deb" ] || fail "the README installs $readme_deb, which cpack did not make"
fi

# Files of a package, without folders.
files_of() {
    dpkg-deb -c "$1" | awk '$1 !~ /^d/ { print $6 }' | LC_ALL=C sort
}
multiarch=$(dpkg-architecture -qDEB_HOST_MULTIARCH)
expected="./usr/bin/quadrix-image
./usr/bin/quadrix-wayland
./usr/bin/quadrix-x
./usr/share/applications/quadrix-wayland.desktop
./usr/share/applications/quadrix-x.desktop
./usr/share/doc/quadrantine/changelog.gz
./usr/share/doc/quadrantine/copyright
./usr/share/man/man1/quadrix-image.1.gz
./usr/share/man/man1/quadrix-wayland.1.gz
./usr/share/man/man1/quadrix-x.1.gz"
[ "$(files_of "$programs")" = "$expected" ] ||
    fail "quadrantine holds:$(files_of "$programs" | sed 's/^/\n  /')"
expected="./usr/include/quadface.h
./usr/lib/$multiarch/libquadface.a
./usr/lib/$multiarch/pkgconfig/quadface.pc
./usr/share/doc/libquadface-dev/changelog.gz
./usr/share/doc/libquadface-dev/copyright"
[ "$(files_of "$development")" = "$expected" ] ||
    fail "libquadface-dev holds:$(files_of "$development" | sed 's/^/\n  /')"

# Control fields.
field() { dpkg-deb -f "$1" "$2"; }
for check in "$programs Package quadrantine" "$programs Version 1.0" \
    "$programs Architecture $arch" "$programs Section x11" \
    "$development Package libquadface-dev" "$development Version 1.0" \
    "$development Section libdevel"; do
    read -r deb name value <<<"$check"
    [ "$(field "$deb" "$name")" = "$value" ] ||
        fail "$(basename "$deb"): $name is '$(field "$deb" "$name")', not '$value'"
done
summary=$(field "$programs" Description)
[[ "${summary%%$'\n'*}" == "clock that shows the time"* ]] ||
    fail "quadrantine's summary line is: ${summary%%$'\n'*}"
[ -n "$(field "$programs" Maintainer)" ] || fail "quadrantine has no maintainer"

# Dependencies: from the libraries the programs link, with versions.
depends=$(field "$programs" Depends)
for library in libx11-6 libxrandr2 libxinerama1; do
    grep -qE "(^|, )$library( |,|\$)" <<<"$depends" || fail "Depends lacks $library: $depends"
done
grep -qE '(^|, )libpng16-16( |,|$)' <<<"$depends" || fail "Depends lacks libpng16-16: $depends"
grep -qE '(^|, )libwayland-client0( |,|$)' <<<"$depends" ||
    fail "Depends lacks libwayland-client0: $depends"
# The colour names of quadrix-wayland come from x11-common's rgb.txt.
[ "$(field "$programs" Recommends)" = x11-common ] ||
    fail "quadrantine recommends '$(field "$programs" Recommends)', not x11-common"
grep -qE '(^|, )libc6 \(>= [0-9.]+\)' <<<"$depends" || fail "Depends lacks libc6 (>= ...): $depends"
[ -z "$(field "$development" Depends)" ] ||
    fail "libquadface-dev depends on: $(field "$development" Depends)"

# What the packages hold works once unpacked.
dpkg-deb -x "$programs" root
dpkg-deb -x "$development" root
root/usr/bin/quadrix-image clock.ppm -q 10 7 30 || fail "the packaged quadrix-image failed"
[ "$(stat -c %s clock.ppm 2>/dev/null)" = 19213 ] || fail "the packaged quadrix-image drew no 80 x 80 PPM"
for entry in quadrix-x quadrix-wayland; do
    report=$(desktop-file-validate "root/usr/share/applications/$entry.desktop" 2>&1) &&
        [ -z "$report" ] || fail "packaged desktop entry $entry: $report"
done
for program in quadrix-x quadrix-wayland; do
    kind=$(file "root/usr/bin/$program")
    [[ "$kind" == *", stripped"* ]] || fail "the packaged $program keeps its symbols: $kind"
done
set +e
message=$(XDG_RUNTIME_DIR="$work" WAYLAND_DISPLAY=no-compositor root/usr/bin/quadrix-wayland 2>&1)
status=$?
set -e
[ "$status" -eq 1 ] && [[ "$message" == *"Cannot connect to the Wayland compositor"* ]] ||
    fail "the packaged quadrix-wayland without a compositor: status $status, $message"
cp "$SOURCE_DIR/tests/install/draw_host.c" host.c
# shellcheck disable=SC2046
PKG_CONFIG_PATH="$work/root/usr/lib/$multiarch/pkgconfig" sh -c \
    'cc -o host host.c $(pkg-config --cflags --libs quadface)' ||
    fail "the packaged library does not build a host"
[ -x host ] && ./host 3 0 0 64 64 | cmp -s - <(reference_ppm -width 64 -height 64 3 0 0) ||
    fail "the host built from the package draws another picture"

finish
