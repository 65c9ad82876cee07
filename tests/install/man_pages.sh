#!/bin/bash
# The man pages render without a single warning, and they keep up with the
# programs: every option of a program's usage text is described, and the
# size limits are the ones the program enforces.
. "$(dirname "$0")/common.sh"

pages="quadrix-image quadrix-x"
[ -x "$BUILD_DIR/quadrix-wayland" ] && pages="$pages quadrix-wayland"
for page in $pages; do
    source_page="$SOURCE_DIR/man/$page.1"
    for device in "-z" "-Tutf8"; do
        if ! warnings=$(groff -man -ww "$device" "$source_page" 2>&1 >/dev/null) ||
            [ -n "$warnings" ]; then
            fail "groff -man -ww $device $page.1: $warnings"
        fi
    done

    [ "$(sed -n 's/^\.TH \([^ ]*\) 1 .*/\1/p' "$source_page")" = "${page^^}" ] ||
        fail "$page.1 has no title line for section 1"
    for section in NAME SYNOPSIS DESCRIPTION OPTIONS "EXIT STATUS" ENVIRONMENT EXAMPLES; do
        grep -qx "\.SH \"\{0,1\}$section\"\{0,1\}" "$source_page" ||
            fail "$page.1 has no $section section"
    done
    grep -q "^$page \\\\- " "$source_page" || fail "$page.1: NAME line does not start with '$page \\-'"

    # The options the program itself lists when misused.
    usage=$("$BUILD_DIR/$page" -no-such-option 2>&1 >/dev/null || true)
    options=$(grep -oE '(^|[[[:space:]])-[a-z]+' <<<"$usage" | tr -d "[ \t" | sort -u || true)
    [ -n "$options" ] || fail "no options found in the usage text of $page"
    for option in $options; do
        grep -qE "^\.(B|BI|BR|RB|TP|TQ).*\\\\${option}( |\$|\")" "$source_page" ||
            fail "$page.1 does not describe $option"
    done

    grep -q 'TZ' "$source_page" || fail "$page.1 does not name TZ"
done

grep -q '^\.B DISPLAY' "$SOURCE_DIR/man/quadrix-x.1" || fail "quadrix-x.1 does not name DISPLAY"
wayland_page="$SOURCE_DIR/man/quadrix-wayland.1"
for name in WAYLAND_DISPLAY XDG_RUNTIME_DIR; do
    grep -q "^\.B $name" "$wayland_page" || fail "quadrix-wayland.1 does not name $name"
done
# Its largest window is the one the program enforces.
if [ -x "$BUILD_DIR/quadrix-wayland" ]; then
    largest=$(sed -n 's/^constexpr int LARGEST_WINDOW = \([0-9]*\);/\1/p' \
        "$SOURCE_DIR/wayland/options.h")
    [ -n "$largest" ] && grep -q "at most $largest in each" "$wayland_page" ||
        fail "quadrix-wayland.1 does not give the largest window, $largest"
fi

# The size range in the page is the one in the program's message.
message=$("$BUILD_DIR/quadrix-image" - -width 20 2>&1 >/dev/null || true)
if [[ "$message" =~ must\ be\ in\ \[([0-9]+),\ ([0-9]+)\] ]]; then
    range="${BASH_REMATCH[1]} to ${BASH_REMATCH[2]}"
    grep -q "$range" "$SOURCE_DIR/man/quadrix-image.1" ||
        fail "quadrix-image.1 does not give the size range $range"
else
    fail "no size range in: $message"
fi

finish
