#!/usr/bin/env bash
# Runs a test of the Windows build under Wine with two monitors side by
# side, the primary one on the right, so that the left one has negative
# coordinates, as Windows gives a monitor left of the main one. Xvfb has a
# single output: two RandR monitors split it, Wine sees them through
# Xinerama (told not to ask XRandR, which reports the one output), and the
# display is put back as it was afterwards. Arguments go to wine-test.sh.
set -uo pipefail
top=$(cd "$(dirname "$0")/../.." && pwd)
if [ -z "${DISPLAY:-}" ] || ! command -v xrandr >/dev/null 2>&1; then
  echo "wine_twomonitors: FAIL: needs DISPLAY and xrandr (x11-xserver-utils)" >&2
  exit 1
fi
size=$(xdpyinfo | awk '/dimensions:/ { print $2; exit }')
width=${size%x*}
height=${size#*x}
output=$(xrandr | awk '/ connected/ { print $1; exit }')
half=$((width / 2))
restore() {
  xrandr --output "$output" --auto >/dev/null 2>&1
  xrandr --delmonitor tarnwick-left >/dev/null 2>&1
  xrandr --delmonitor tarnwick-right >/dev/null 2>&1
}
trap restore EXIT
trap 'exit 143' TERM INT
xrandr --setmonitor tarnwick-left "$half/169x$height/271+0+0" none || exit 1
# The asterisk makes it the primary one, which Xinerama lists first.
xrandr --setmonitor '*tarnwick-right' "$((width - half))/169x$height/271+$half+0" none || exit 1
# Otherwise the output's own monitor covers both. Xvfb then complains that
# it cannot shrink the screen, and keeps its size, as wanted.
xrandr --output "$output" --off >/dev/null 2>&1
"$top/scripts/wine-test.sh" --no-xrandr "$@"
