#!/bin/bash
# The Debian packages as Debian's checker sees them: cpack -G DEB in the
# fresh-build folder ($1), made under a loose umask, and lintian on both
# packages without a single error or warning.  Then what lintian takes on
# trust: the copyright file carries LICENSE's terms, the changelog is the
# packages' version, the man pages are the project's, the library keeps its
# symbols without its debugging sections, and the maintainer is the one
# given when configuring.
. "$(dirname "$0")/common.sh"

build=${1:?build folder}
[ -f "$build/CPackConfig.cmake" ] || { fail "no configured build in $build"; finish; }

cd "$work"
# Group-writable files and folders unless the packaging sets its own.
(umask 0002 && cpack -G DEB --config "$build/CPackConfig.cmake" -B "$work/packages") \
    >cpack.log 2>&1 || { cat cpack.log >&2; fail "cpack -G DEB failed"; finish; }

arch=$(dpkg --print-architecture)
multiarch=$(dpkg-architecture -qDEB_HOST_MULTIARCH)
programs="$work/packages/quadrantine_1.0_${arch}.deb"
development="$work/packages/libquadface-dev_1.0_${arch}.deb"
[ -f "$programs" ] && [ -f "$development" ] ||
    { fail "cpack made: $(ls "$work/packages")"; finish; }

# Errors and warnings fail; information and pedantic notes are shown only.
# As root lintian says so on stderr, and goes on.
lintian --fail-on none --tag-display-limit 0 --display-info --display-experimental --pedantic \
    "$programs" "$development" >lintian.txt 2>lintian.err ||
    { cat lintian.txt lintian.err >&2; fail "lintian itself failed"; }
cat lintian.txt
problems=$(grep -cE '^[EW]: ' lintian.txt || true)
[ "$problems" -eq 0 ] || fail "lintian reports $problems error(s) or warning(s), above"

dpkg-deb -x "$programs" root
dpkg-deb -x "$development" root

for package in quadrantine libquadface-dev; do
    doc=root/usr/share/doc/$package

    # The licence paragraph, its indentation and " ." lines undone, is
    # LICENSE from its permission notice on.
    terms=$(sed -n '/^License: /,$ { /^License: /d; s/^ \.$//; s/^ //; p }' "$doc/copyright")
    [ "$terms" = "$(sed -n '/^Permission is hereby granted/,$p' "$SOURCE_DIR/LICENSE")" ] ||
        fail "$package: the copyright file's licence text is not LICENSE's"
    holder=$(sed -n 's/^Copyright (c) //p' "$SOURCE_DIR/LICENSE")
    grep -qxF "Copyright: $holder" "$doc/copyright" ||
        fail "$package: the copyright file does not name '$holder'"
    grep -qx 'License: Expat' "$doc/copyright" || fail "$package: the copyright file names no Expat (MIT) licence"

    gzip -t "$doc/changelog.gz" || fail "$package: changelog.gz is no gzip file"
    zcat "$doc/changelog.gz" >changelog
    for field in Source Version; do
        value=$(dpkg-parsechangelog -l changelog -S "$field" 2>&1) || value="($value)"
        case $field in
        Source) want=quadrantine ;;
        Version) want=$(dpkg-deb -f "packages/${package}_1.0_${arch}.deb" Version) ;;
        esac
        [ "$value" = "$want" ] || fail "$package: the changelog's $field is '$value', not '$want'"
    done
done

for page in quadrix-image quadrix-x quadrix-wayland; do
    packed=root/usr/share/man/man1/$page.1.gz
    zcat "$packed" | cmp -s - "$SOURCE_DIR/man/$page.1" ||
        fail "the packaged $page.1.gz is not man/$page.1"
    # No name or time stamp in the gzip header: the same page packs alike.
    [ "$(od -An -tx1 -j4 -N4 "$packed" | tr -d ' ')" = 00000000 ] ||
        fail "$page.1.gz carries a time stamp"
    man -l "$packed" >/dev/null 2>&1 || fail "man cannot read the packaged $page.1.gz"
done

library=root/usr/lib/$multiarch/libquadface.a
sections=$(objdump -h "$library" 2>&1) || fail "objdump cannot read the packaged library"
grep -q '\.debug_' <<<"$sections" && fail "the packaged library keeps debugging sections"
symbols=$(nm -g --defined-only "$library" 2>&1) || fail "nm cannot read the packaged library"
grep -qw face_draw <<<"$symbols" || fail "the packaged library lost face_draw"

# The maintainer: the one configured, here the default that lintian took.
maintainer=$(dpkg-deb -f "$programs" Maintainer)
[ "$maintainer" = "$(dpkg-deb -f "$development" Maintainer)" ] ||
    fail "the packages name two maintainers: $maintainer, $(dpkg-deb -f "$development" Maintainer)"
# And another, given when configuring, reaches the packages' settings.
cmake -S "$SOURCE_DIR" -B "$work/maintained" -DQUADRIX_TESTS=OFF \
    "-DQUADRIX_PACKAGE_MAINTAINER=A Packager <packager@example.net>" >configure.log 2>&1 ||
    { cat configure.log >&2; fail "configure with a maintainer failed"; }
grep -qF 'set(CPACK_DEBIAN_PACKAGE_MAINTAINER "A Packager <packager@example.net>")' \
    "$work/maintained/CPackConfig.cmake" ||
    fail "-DQUADRIX_PACKAGE_MAINTAINER does not reach the package settings"

finish
