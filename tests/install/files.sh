#!/bin/bash
# cmake --install into a temporary prefix: exactly the expected files, the
# programs run from there, the header and man pages are the project's, the
# desktop entry is valid and starts an installed program, and the pkg-config
# file leads to the header and the library, also after the prefix is moved.
. "$(dirname "$0")/common.sh"

prefix="$work/prefix"
install_into "$prefix"

expected="bin/quadrix-image
bin/quadrix-x
include/quadface.h
lib/libquadface.a
lib/pkgconfig/quadface.pc
share/applications/quadrix-x.desktop
share/man/man1/quadrix-image.1
share/man/man1/quadrix-x.1"
# quadrix-wayland, when the build has it (-DQUADRIX_WAYLAND=ON, the default).
wayland=no
if [ -x "$BUILD_DIR/quadrix-wayland" ]; then
    wayland=yes
    expected=$(printf '%s\n' "$expected" bin/quadrix-wayland \
        share/applications/quadrix-wayland.desktop share/man/man1/quadrix-wayland.1 |
        LC_ALL=C sort)
fi
programs="quadrix-image quadrix-x"
[ "$wayland" = yes ] && programs="$programs quadrix-wayland"
actual=$(cd "$prefix" && find . ! -type d | sed 's|^\./||' | LC_ALL=C sort)
[ "$actual" = "$expected" ] ||
    fail "installed files differ:$(diff <(echo "$expected") <(echo "$actual") | sed 's/^/\n  /')"

for program in $programs; do
    [ -x "$prefix/bin/$program" ] || fail "bin/$program is not executable"
done

# The installed programs are the built ones and run from their new place.
"$prefix/bin/quadrix-image" "$work/clock.ppm" -q 10 7 30 ||
    fail "installed quadrix-image failed"
reference_ppm 10 7 30 | cmp -s - "$work/clock.ppm" ||
    fail "installed quadrix-image draws another picture than the built one"
set +e
message=$(env -u DISPLAY "$prefix/bin/quadrix-x" 2>&1)
status=$?
set -e
[ "$status" -eq 1 ] && [[ "$message" == *"Cannot connect to X server"* ]] ||
    fail "installed quadrix-x without a display: status $status, output: $message"
if [ "$wayland" = yes ]; then
    set +e
    message=$(XDG_RUNTIME_DIR="$work" WAYLAND_DISPLAY=no-compositor \
        "$prefix/bin/quadrix-wayland" 2>&1)
    status=$?
    set -e
    [ "$status" -eq 1 ] &&
        [[ "$message" == *"Cannot connect to the Wayland compositor [no-compositor]"* ]] ||
        fail "installed quadrix-wayland without a compositor: status $status, output: $message"
fi

cmp -s "$prefix/include/quadface.h" "$SOURCE_DIR/lib/quadface.h" ||
    fail "include/quadface.h is not the library's header"
for program in $programs; do
    page=$program.1
    cmp -s "$prefix/share/man/man1/$page" "$SOURCE_DIR/man/$page" ||
        fail "man page $page differs from man/$page"
done
ar t "$prefix/lib/libquadface.a" | grep . >/dev/null || fail "libquadface.a is no archive"

# The desktop entries: valid, and each command is an installed program;
# a Wayland compositor finds an entry by the window's app_id, which is the
# program's name.
for entry in "$prefix"/share/applications/*.desktop; do
    report=$(desktop-file-validate "$entry" 2>&1) && [ -z "$report" ] ||
        fail "desktop-file-validate $(basename "$entry"): $report"
    exec_line=$(sed -n 's/^Exec=//p' "$entry")
    [ -x "$prefix/bin/${exec_line%% *}" ] ||
        fail "desktop entry runs '$exec_line', which is not installed"
    [ "${exec_line%% *}.desktop" = "$(basename "$entry")" ] ||
        fail "$(basename "$entry") runs '$exec_line', not the program of its name"
done

# pkg-config, in place and after the whole prefix has moved.
check_pkg_config() {
    local where=$1 cflags libs
    export PKG_CONFIG_PATH="$where/lib/pkgconfig"
    pkg-config --validate quadface || fail "quadface.pc does not validate ($where)"
    [ "$(pkg-config --modversion quadface)" = 1.0 ] ||
        fail "quadface.pc version is $(pkg-config --modversion quadface)"
    cflags=$(pkg-config --cflags quadface | xargs)
    libs=$(pkg-config --libs-only-L quadface | xargs)
    [ "$(realpath "${cflags#-I}")" = "$(realpath "$where/include")" ] ||
        fail "pkg-config --cflags gives '$cflags' for the prefix $where"
    [ "$(realpath "${libs#-L}")" = "$(realpath "$where/lib")" ] ||
        fail "pkg-config --libs gives '$libs' for the prefix $where"
    [[ "$(pkg-config --libs-only-l quadface)" == "-lquadface"* ]] ||
        fail "pkg-config --libs does not name -lquadface"
    unset PKG_CONFIG_PATH
}
check_pkg_config "$prefix"
mv "$prefix" "$work/moved"
check_pkg_config "$work/moved"

finish
