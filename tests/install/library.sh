#!/bin/bash
# Another program draws the face with the installed library: the README's
# compile command, with the installed header and pkg-config file, builds a
# C host that draws the same pixels as quadrix-image; the same source also
# builds as C++, and the header is clean under strict warnings in both.
. "$(dirname "$0")/common.sh"

prefix="$work/prefix"
install_into "$prefix"
export PKG_CONFIG_PATH="$prefix/lib/pkgconfig"

cd "$work"
cp "$SOURCE_DIR/tests/install/draw_host.c" myclock.c

command='cc -o myclock myclock.c $(pkg-config --cflags --libs quadface)'
expect_in_readme "$command"
if [ "$SANITIZE" = ON ]; then
    # The library was built with the sanitizers; its users link them too.
    command=${command/cc -o/cc -fsanitize=address,undefined -o}
fi
sh -c "$command" || fail "the README's compile command failed"

strict="-Wall -Wextra -Wpedantic -Werror"
[ "$SANITIZE" = ON ] && strict="$strict -fsanitize=address,undefined"
# shellcheck disable=SC2046,SC2086
cc -std=c99 $strict -o myclock-c99 myclock.c $(pkg-config --cflags --libs quadface) ||
    fail "the C host does not build as C99 with strict warnings"
# shellcheck disable=SC2046,SC2086
c++ -std=c++20 $strict -x c++ -o myclock-cxx myclock.c -x none \
    $(pkg-config --cflags --libs quadface) ||
    fail "the host does not build as C++ against the installed header"

# hour minute second width height
cases="3 0 0 64 64
10 7 30 80 80
9 45 0 200 120
0 57 45 21 21"
while read -r hour minute second width height; do
    expected=$(reference_ppm -width "$width" -height "$height" "$hour" "$minute" "$second" |
        od -An -tx1 | md5sum)
    for host in myclock myclock-cxx; do
        [ -x "$host" ] || continue
        actual=$("./$host" "$hour" "$minute" "$second" "$width" "$height" | od -An -tx1 | md5sum)
        [ "$actual" = "$expected" ] ||
            fail "$host at $hour:$minute:$second, $width x $height differs from quadrix-image"
    done
done <<<"$cases"

finish
