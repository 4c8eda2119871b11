#!/usr/bin/env bash
# The window opens inside the screen, whatever its size and scale factor: at
# a scale factor of 2 on a 1366x768 screen, and on a 1024x768 one (a second
# Xvfb display).
#   screens.sh MOLVERA
. "$(dirname "$0")/lib.sh" "$1"
xvfb2=0
trap '[ "$xvfb2" != 0 ] && kill "$xvfb2" 2>/dev/null; stop_all' EXIT

# The window's frame inside a screen of W x H, and at least MIN pixels wide
# (the scale factor took effect).
inside() {
  local X Y WIDTH HEIGHT SCREEN WINDOW
  eval "$(xdotool getwindowgeometry --shell "$wid")"
  [ "$X" -ge 0 ] && [ "$Y" -ge 0 ] && [ $((X + WIDTH)) -le "$1" ] && [ $((Y + HEIGHT)) -le "$2" ] ||
    fail "the window at ${X},${Y} ${WIDTH}x${HEIGHT} is not inside the $1x$2 screen"
  [ "$WIDTH" -ge "${3:-0}" ] || fail "the window is ${WIDTH} pixels wide, expected ${3} or more"
}

export QT_SCALE_FACTOR=2
start scale-2 && inside 1366 768 1300
unset QT_SCALE_FACTOR

Xvfb -displayfd 4 -screen 0 1024x768x24 -nolisten tcp 4>"$work/display2" 2>>"$work/xvfb.log" &
xvfb2=$!
for _ in $(seq 100); do [ -s "$work/display2" ] && break; sleep 0.1; done
export DISPLAY=":$(head -1 "$work/display2")"
start small-screen && inside 1024 768 900

finish
