#!/usr/bin/env bash
# screenshots.sh [PROGRAM [PANES]]: photographs the start page and the editor,
# in Japanese and in English, into docs/images/ (start-ja.png, editor-ja.png,
# start-en.png, editor-en.png), and every kind's pane and the run settings for
# the manual into docs/images/manual/ (<side>-<kind>-<lang>.png).
#
# PROGRAM defaults to build/release/bin/tarnwick (./run.sh builds it), PANES to
# the screenshot_panes tool of the test build (build/asan/bin, ./test.sh). The
# program runs on a virtual X display of its own with a throw-away HOME and
# configuration, so the user's settings and desktop are never touched.
# Needs Xvfb, xdotool and imagemagick (scripts/install-deps.sh brings them,
# and the Japanese font the texts need).
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
program=${1:-$top/build/release/bin/tarnwick}
panes=${2:-$top/build/asan/bin/screenshot_panes}
out=$top/docs/images

if [ ! -x "$panes" ]; then
  echo "error: $panes is not an executable; build the tests first (./test.sh) or pass its path" >&2
  exit 1
fi
if [ ! -x "$program" ]; then
  echo "error: $program is not an executable; build it first (./run.sh) or pass its path" >&2
  exit 1
fi
for tool in Xvfb xdotool import; do
  if ! command -v "$tool" >/dev/null 2>&1; then
    echo "error: $tool is missing; run scripts/install-deps.sh" >&2
    exit 1
  fi
done

. "$top/scripts/xvfb.sh"
scratch=$(mktemp -d)
app_pid=
cleanup() {
  if [ -n "$app_pid" ]; then
    kill "$app_pid" 2>/dev/null || true
    wait "$app_pid" 2>/dev/null || true
  fi
  stop_xvfb
  rm -rf "$scratch"
}
trap cleanup EXIT
start_xvfb
mkdir -p "$out"

# Waits until the program's window is mapped and prints its id.
find_window() {
  local id
  for _ in $(seq 1 100); do
    id=$(xdotool search --onlyvisible --pid "$app_pid" --name 'Tarnwick Free' 2>/dev/null | head -n1 || true)
    if [ -n "$id" ]; then
      echo "$id"
      return 0
    fi
    sleep 0.1
  done
  echo "error: the window did not appear" >&2
  return 1
}

# Lets the window finish painting before it is photographed.
settle() { sleep 1; }

# shoot LANG JAPANESE: one program start, two pictures.
shoot() {
  local lang=$1 japanese=$2
  local home=$scratch/$lang
  mkdir -p "$home/.config/tarnwick" "$home/Desktop"
  # A configuration that has seen the welcome already, with Help Mode off so
  # no tooltip covers the window.
  cat >"$home/.config/tarnwick/tarnwick_free.json" <<JSON
{
    "is_used_this": true,
    "is_help": false,
    "is_japanese": $japanese
}
JSON
  HOME=$home XDG_CONFIG_HOME=$home/.config XDG_RUNTIME_DIR=$home QT_QPA_PLATFORM=xcb \
    LANG=C.UTF-8 ASAN_OPTIONS=detect_leaks=0 "$program" >"$scratch/$lang.log" 2>&1 &
  app_pid=$!
  local window
  window=$(find_window)
  settle
  import -window "$window" "$out/start-$lang.png"

  # "新しいプロジェクトを作成" / "Create New Project" fills the top of the window.
  xdotool mousemove --window "$window" 315 40 click 1
  # Move the pointer off the window so nothing is drawn hovered.
  settle
  xdotool mousemove 1200 1000
  settle
  import -window "$window" "$out/editor-$lang.png"

  kill "$app_pid" 2>/dev/null || true
  wait "$app_pid" 2>/dev/null || true
  app_pid=

  # The panes, drawn by the same window code in the same configuration.
  HOME=$home XDG_CONFIG_HOME=$home/.config XDG_RUNTIME_DIR=$home QT_QPA_PLATFORM=xcb \
    LANG=C.UTF-8 ASAN_OPTIONS=detect_leaks=0 "$panes" "$out/manual" "$lang" >>"$scratch/$lang.log" 2>&1 ||
    { echo "error: the panes could not be photographed:" >&2; cat "$scratch/$lang.log" >&2; exit 1; }
}

shoot ja true
shoot en false
echo "Saved: $out/start-ja.png $out/editor-ja.png $out/start-en.png $out/editor-en.png $out/manual/"
