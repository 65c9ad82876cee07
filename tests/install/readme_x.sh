#!/bin/bash
# The README's examples that need a display, on an X server of the test's
# own: the clock as the live desktop background, the root-window wallpaper
# set once and from the crontab line, the PNG wallpaper set by feh, the
# clock in the screen's corner, and the withdrawn clock in Window Maker.
. "$(dirname "$0")/common.sh"

prefix="$work/prefix"
install_into "$prefix"
home="$work/home"
mkdir -p "$home" "$work/run"
cd "$work/run"
export HOME="$home"
unset XAUTHORITY
start_xvfb 1920x1080x24
mapfile -t frozen < <(frozen_clock_env)

# The root window shows the bitmap $1, black on white, one to one.
root_shows_bitmap() {
    xbmtopbm "$1" | pnmtopnm -plain >"$work/want.pbm" 2>/dev/null &&
        xwd -root -silent | xwdtopnm 2>/dev/null | ppmtopgm |
        pamthreshold -simple -threshold=0.5 2>/dev/null | pnmtopnm -plain >"$work/have.pbm" &&
        cmp -s "$work/want.pbm" "$work/have.pbm"
}

# --- The wallpaper, set once.
once='quadrix-image ~/.clock.xbm -xbm -q -width 1920 -height 1080 && xsetroot -bitmap ~/.clock.xbm'
expect_in_readme "$once"
PATH="$prefix/bin:$PATH" sh -c "$once" || fail "status $? from: $once"
[ -s "$home/.clock.xbm" ] || fail "no ~/.clock.xbm"
root_shows_bitmap "$home/.clock.xbm" || fail "the root window does not show ~/.clock.xbm"

# --- The crontab lines, run as cron runs them: only HOME and the crontab's
# PATH in the environment (the PATH line names the test's prefix instead of
# /usr/local), and DISPLAY pointing at the test's server instead of :0.
path_line='PATH=/usr/local/bin:/usr/bin:/bin'
cron_line='* * * * * quadrix-image $HOME/.clock.xbm -xbm -q -width 1920 -height 1080 && DISPLAY=:0 xsetroot -bitmap $HOME/.clock.xbm'
expect_in_readme "$path_line
$cron_line"
cron_command=${cron_line#'* * * * * '}
cron_command=${cron_command//DISPLAY=:0/DISPLAY=$DISPLAY}
rm -f "$home/.clock.xbm"
xsetroot -solid grey
env -i HOME="$home" PATH="$prefix/bin:/usr/bin:/bin" SHELL=/bin/sh /bin/sh -c "$cron_command" ||
    fail "status $? from the crontab line"
root_shows_bitmap "$home/.clock.xbm" ||
    fail "after the crontab line the root window does not show ~/.clock.xbm"

# --- The wallpaper in full colour from a PNG, set by feh: the root window
# shows the picture one to one.
feh_once='quadrix-image ~/.clock.png -png -q -width 1920 -height 1080 && feh --bg-fill ~/.clock.png'
expect_in_readme "$feh_once"
xsetroot -solid grey
PATH="$prefix/bin:$PATH" sh -c "$feh_once" || fail "status $? from: $feh_once"
if [ -s "$home/.clock.png" ]; then
    pngtopam "$home/.clock.png" | ppmtoppm >"$work/want.ppm" &&
        xwd -root -silent | xwdtopnm 2>/dev/null | ppmtoppm >"$work/have.ppm" &&
        cmp -s "$work/want.ppm" "$work/have.ppm" || fail "the root window does not show ~/.clock.png"
else
    fail "no ~/.clock.png"
fi

# The SVG for desktops that take one: drawn at its own size it is the
# picture of the time in its title.
svg_once='quadrix-image ~/.clock.svg -svg -q -width 1920 -height 1080'
expect_in_readme "$svg_once"
PATH="$prefix/bin:$PATH" sh -c "$svg_once" || fail "status $? from: $svg_once"
xmllint --noout "$home/.clock.svg" || fail "~/.clock.svg is not well-formed"
shown=$(sed -n 's|^<title>\([0-9]*\):\([0-9]*\):\([0-9]*\)</title>$|\1 \2 \3|p' "$home/.clock.svg")
[ -n "$shown" ] || fail "~/.clock.svg has no title with the time"
# shellcheck disable=SC2086
reference_ppm -width 1920 -height 1080 $shown >"$work/want.ppm"
rsvg-convert "$home/.clock.svg" -o "$work/clock-svg.png" &&
    pngtopam -mix "$work/clock-svg.png" | ppmtoppm | cmp -s - "$work/want.ppm" ||
    fail "~/.clock.svg does not draw the picture of $shown"

# Starts the README command $1, which ends in "&", with a stopped clock and
# records the background program's process id.
start_example() {
    expect_in_readme "$1"
    : >"$work/pid"
    env "${frozen[@]}" PATH="$prefix/bin:$PATH" \
        sh -c "$1"'
echo $! >"$0"' "$work/pid" </dev/null >>"$work/x.log" 2>&1 || fail "status $? from: $1"
    local pid
    pid=$(cat "$work/pid")
    [ -n "$pid" ] && started_pids+=("$pid")
    example_pid=$pid
}

stop_example() {
    kill "$example_pid" 2>/dev/null || true
    while kill -0 "$example_pid" 2>/dev/null; do sleep 0.05; done
}

# --- The clock as the desktop background, white on gray20 (51, 51, 51),
# at 10:07:30; SIGTERM ends it and leaves the picture.
start_example 'quadrix-x -root -bg gray20 -fg white -interval 1 &'
reference_ppm -width 1920 -height 1080 -bg 51 51 51 -ic 51 51 51 \
    -sc 255 255 255 -hc 255 255 255 -mc 255 255 255 10 7 30 >"$work/background.ppm"
capture_root() {
    xwd -root -silent | xwdtopnm 2>/dev/null | pamdepth 255
}
wait_until 'capture_root | cmp -s - "$work/background.ppm"' 10 ||
    fail "the root window does not show 10:07:30 white on gray20"
kill -TERM "$example_pid"
wait_until '! kill -0 "$example_pid"' 10 || fail "quadrix-x -root did not end on SIGTERM"
capture_root | cmp -s - "$work/background.ppm" ||
    fail "after SIGTERM the root window no longer shows the clock"
xprop -root _XROOTPMAP_ID | grep -q 'pixmap id #' || fail "no _XROOTPMAP_ID after the end"

# --- The clock in the top right corner, white on navy, at 10:07:30.
start_example 'quadrix-x -geometry 120x120-0+0 -bg navy -fg white -interval 1 &'
window=
wait_until 'window=$(xdotool search --name "^quadrix-x\$" | head -1); [ -n "$window" ]' 10 ||
    fail "no quadrix-x window appeared"
if [ -n "$window" ]; then
    info=$(xwininfo -id "$window")
    for want in "Absolute upper-left X:  1800" "Absolute upper-left Y:  0" \
        "Width: 120" "Height: 120" "Map State: IsViewable"; do
        grep -qF "$want" <<<"$info" || fail "corner clock: no '$want' in xwininfo"
    done
    reference_ppm -width 120 -height 120 -bg 0 0 128 -ic 0 0 128 \
        -sc 255 255 255 -hc 255 255 255 -mc 255 255 255 10 7 30 >"$work/corner.ppm"
    wait_until 'capture_window "$window" | cmp -s - "$work/corner.ppm"' 10 ||
        fail "the corner clock does not show 10:07:30 white on navy"
fi
stop_example

# --- Withdrawn, under Window Maker: the main window stays unmapped and the
# 64 x 64 icon window is shown in the window manager's tile.
mkdir -p "$work/wmaker-home"
HOME="$work/wmaker-home" wmaker --for-real >"$work/wmaker.log" 2>&1 &
started_pids+=("$!")
wait_until 'xprop -root _NET_SUPPORTING_WM_CHECK | grep "window id" >/dev/null' 20 ||
    fail "Window Maker did not start: $(cat "$work/wmaker.log")"

start_example 'quadrix-x -w &'
main=
wait_until 'main=$(xdotool search --class "^Quadrix-x\$" | head -1); [ -n "$main" ]' 10 ||
    fail "no window of class Quadrix-x appeared"
if [ -n "$main" ]; then
    icon=$(xprop -id "$main" WM_HINTS | sed -n 's/.*window id # to use for icon: *\(0x[0-9a-f]*\).*/\1/ip')
    [ -n "$icon" ] || fail "withdrawn clock: no icon window in WM_HINTS: $(xprop -id "$main" WM_HINTS)"
    xwininfo -id "$main" | grep 'Map State: IsUnMapped' >/dev/null || fail "the main window was mapped"
    if [ -n "$icon" ]; then
        wait_until 'xwininfo -id "$icon" | grep "Map State: IsViewable" >/dev/null' 10 ||
            fail "Window Maker does not show the icon window"
        reference_ppm -width 64 -height 64 10 7 30 >"$work/tile.ppm"
        wait_until 'capture_window "$icon" | cmp -s - "$work/tile.ppm"' 10 ||
            fail "the docked clock does not show 10:07:30"
    fi
fi
stop_example

finish
