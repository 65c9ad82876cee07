#!/bin/bash
# The configure step and quadrix-wayland: -DQUADRIX_WAYLAND=OFF leaves the
# program and its tests out, and QUADRIX_LAYER_SHELL_XML names the layer
# shell's protocol file when it lies elsewhere (or fails plainly when it
# names none), the code being made from that file by wayland-scanner.
. "$(dirname "$0")/common.sh"

cd "$work"
configure() {
    cmake -S "$SOURCE_DIR" -B "$1" "${@:2}" >"$1.log" 2>&1
}

if configure off -DQUADRIX_WAYLAND=OFF -DQUADRIX_TESTS=ON; then
    tests=$(ctest --test-dir off -N)
    grep -q 'x11\.' <<<"$tests" || fail "-DQUADRIX_WAYLAND=OFF lost the other tests"
    ! grep -q ' wayland\.' <<<"$tests" || fail "-DQUADRIX_WAYLAND=OFF keeps tests: $(grep ' wayland\.' <<<"$tests")"
    targets=$(cmake --build off --target help)
    ! grep -q 'quadrix-wayland' <<<"$targets" || fail "-DQUADRIX_WAYLAND=OFF keeps quadrix-wayland"
    grep -q 'quadrix-x' <<<"$targets" || fail "-DQUADRIX_WAYLAND=OFF lost quadrix-x"
else
    cat off.log >&2
    fail "configure with -DQUADRIX_WAYLAND=OFF failed"
fi

if configure missing -DQUADRIX_TESTS=OFF -DQUADRIX_LAYER_SHELL_XML=/nonexistent/layer-shell.xml; then
    fail "configure with a layer shell file that does not exist succeeded"
else
    grep -q 'QUADRIX_LAYER_SHELL_XML' missing.log ||
        fail "the failed configure does not name QUADRIX_LAYER_SHELL_XML: $(cat missing.log)"
fi

found=(/usr/share/cargo/registry/wayland-protocols-*/wlr-protocols/unstable/wlr-layer-shell-unstable-v1.xml)
if [ -f "${found[0]}" ]; then
    # A copy elsewhere with a mark of its own in a description, which the
    # header made from it carries.
    mkdir protocols
    sed 's|Clients can use this interface|Clients (elsewhere) can use this interface|' \
        "${found[0]}" >protocols/wlr-layer-shell-unstable-v1.xml
    if configure elsewhere -DQUADRIX_TESTS=OFF \
        -DQUADRIX_LAYER_SHELL_XML="$work/protocols/wlr-layer-shell-unstable-v1.xml" &&
        cmake --build elsewhere --target quadrix_wayland_protocols >build.log 2>&1; then
        grep -q 'Clients (elsewhere) can use' \
            elsewhere/wayland/protocols/wlr-layer-shell-unstable-v1-client-protocol.h ||
            fail "the layer shell's code was not made from the file named"
    else
        cat elsewhere.log build.log >&2
        fail "configure and build with QUADRIX_LAYER_SHELL_XML failed"
    fi
else
    fail "no layer shell file under /usr/share/cargo (librust-wayland-protocols-dev)"
fi

finish
