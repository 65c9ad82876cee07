#!/bin/bash
# The README's install without root, exactly as printed, from a folder
# whose build is the build under test: everything lands under ~/.local,
# man finds the pages there once ~/.local/bin is on PATH, and the README's
# pkg-config setting and compile command build a host program from there.
. "$(dirname "$0")/common.sh"

export HOME="$work/home"
mkdir -p "$HOME" "$work/checkout"
ln -s "$BUILD_DIR" "$work/checkout/build"
cd "$work/checkout"

command='cmake --install build --prefix ~/.local'
expect_in_readme "$command"
sh -c "$command" >install.log 2>&1 || { cat install.log >&2; fail "status $? from: $command"; finish; }
for file in bin/quadrix-image bin/quadrix-x share/man/man1/quadrix-image.1 \
    share/man/man1/quadrix-x.1 lib/pkgconfig/quadface.pc; do
    [ -e "$HOME/.local/$file" ] || fail "no ~/.local/$file"
done

# man looks beside the folders on PATH.
for page in quadrix-image quadrix-x; do
    found=$(env -u MANPATH PATH="$HOME/.local/bin:/usr/bin:/bin" man -w "$page" 2>&1) || true
    [ "$found" = "$HOME/.local/share/man/man1/$page.1" ] ||
        fail "man -w $page gives: $found"
done

setting='export PKG_CONFIG_PATH=~/.local/lib/pkgconfig'
compile='cc -o myclock myclock.c $(pkg-config --cflags --libs quadface)'
expect_in_readme "$setting"
expect_in_readme "$compile"
[ "$SANITIZE" = ON ] && compile=${compile/cc -o/cc -fsanitize=address,undefined -o}
cp "$SOURCE_DIR/tests/install/draw_host.c" myclock.c
sh -c "$setting
$compile" || fail "the README's pkg-config setting and compile command failed"
[ -x myclock ] && ./myclock 10 7 30 80 80 | cmp -s - <(reference_ppm 10 7 30) ||
    fail "the host built against ~/.local draws another picture"

finish
