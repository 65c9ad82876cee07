# Shared by the installation tests; sourced by bash.
#   SOURCE_DIR, BUILD_DIR  the source tree and the build tree under test
#   SANITIZE               ON when the build uses the sanitizers
set -euo pipefail

: "${SOURCE_DIR:?}" "${BUILD_DIR:?}"
SANITIZE=${SANITIZE:-OFF}

work=$(mktemp -d "${TMPDIR:-/tmp}/quadrix-install.XXXXXX")
started_pids=()

finished=0
last_error=

cleanup() {
    local status=$? pid
    if [ "$status" -ne 0 ] && [ "$finished" -eq 0 ]; then
        echo "FAIL: the test stopped early (status $status)${last_error:+ at $last_error}" >&2
    fi
    for pid in "${started_pids[@]}"; do
        kill "$pid" 2>/dev/null || true
        wait "$pid" 2>/dev/null || true
    done
    rm -rf "$work"
}
trap cleanup EXIT
# Remembers the last failing command, for a test that stops unexpectedly.
trap 'last_error="line $LINENO: $BASH_COMMAND"' ERR

failures=0

# Records a failed check and goes on with the next one.
fail() {
    echo "FAIL: $*" >&2
    failures=$((failures + 1))
}

# Ends the test with its verdict.
finish() {
    finished=1
    if [ "$failures" -ne 0 ]; then
        echo "$failures check(s) failed" >&2
        exit 1
    fi
    echo "all checks passed"
}

# Installs the build tree under the prefix $1.
install_into() {
    cmake --install "$BUILD_DIR" --prefix "$1" >"$work/install.log" 2>&1 ||
        { cat "$work/install.log" >&2; echo "cmake --install failed" >&2; exit 1; }
}

# True when README.md contains the text $1 exactly (several lines allowed).
readme_has() {
    /usr/bin/python3 - "$SOURCE_DIR/README.md" "$1" <<'PY'
import sys
text = open(sys.argv[1], encoding="utf-8").read()
sys.exit(0 if sys.argv[2] in text else 1)
PY
}

# Checks that the README shows the command $1, so that the test runs what a
# reader copies.
expect_in_readme() {
    readme_has "$1" || fail "README.md does not show: $1"
}

# The PPM that quadrix-image gives for the arguments, on standard output.
reference_ppm() {
    "$BUILD_DIR/quadrix-image" - -q "$@"
}

# Starts an X server of our own on a free display with the screen $1
# (WIDTHxHEIGHTxDEPTH) and exports DISPLAY for it.
start_xvfb() {
    local fd_file="$work/displayfd.$RANDOM" i
    : >"$fd_file"
    # -noreset: without it the server resets when its last client leaves, and
    # the root window loses what xsetroot gave it; a real session never resets.
    Xvfb -displayfd 3 -nolisten tcp -noreset -screen 0 "$1" 3>"$fd_file" \
        >"$work/xvfb.log" 2>&1 &
    started_pids+=("$!")
    for i in $(seq 200); do
        if [ "$(wc -l <"$fd_file")" -ge 1 ]; then
            DISPLAY=":$(head -1 "$fd_file")"
            export DISPLAY
            return 0
        fi
        kill -0 "$!" 2>/dev/null || break
        sleep 0.05
    done
    cat "$work/xvfb.log" >&2
    echo "Xvfb did not start" >&2
    exit 1
}

# Runs the command $1 until it succeeds, for up to about $2 seconds.
wait_until() {
    local i
    for i in $(seq $(($2 * 10))); do
        if eval "$1" >/dev/null 2>&1; then
            return 0
        fi
        sleep 0.1
    done
    return 1
}

# A stopped clock for the programs run under it: 10:07:30 UTC.
frozen_clock_env() {
    local lib
    for lib in /usr/lib/*/faketime/libfaketime.so.1; do
        [ -e "$lib" ] && break
    done
    [ -e "$lib" ] || { echo "libfaketime not found" >&2; exit 1; }
    local asan=${ASAN_OPTIONS:-}
    # The preloaded library comes before the sanitizer runtime.
    printf '%s\n' "LD_PRELOAD=$lib" "FAKETIME=2026-01-01 10:07:30" "TZ=UTC" \
        "ASAN_OPTIONS=${asan:+$asan:}verify_asan_link_order=0"
}

# Captures the window $1 as a PPM with maxval 255.
capture_window() {
    xwd -id "$1" -silent | xwdtopnm 2>/dev/null | pamdepth 255
}
