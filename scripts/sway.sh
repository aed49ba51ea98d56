#!/usr/bin/env bash
# Sourced: start_sway starts a headless sway for the wayland tests and
# exports WAYLAND_DISPLAY (the socket's absolute path) and SWAYSOCK (its IPC
# socket); stop_sway ends it and removes its folder.
# sway refuses to run as root, so it runs as an unprivileged system user made
# for it; the tests, as root, may connect to its sockets all the same. Two
# outputs side by side, the second at scale 2, so positions are checked
# across the layout and on a scaled output.
SWAY_PID=
SWAY_DIR=
SWAY_USER=${SWAY_USER:-tarnwick-sway}
start_sway() {
  if ! command -v sway >/dev/null 2>&1; then
    echo "error: sway is not installed (scripts/install-deps.sh installs it)" >&2
    return 1
  fi
  if ! id -u "$SWAY_USER" >/dev/null 2>&1; then
    useradd -r -M -d /nonexistent -s /usr/sbin/nologin "$SWAY_USER" || return 1
  fi
  SWAY_DIR=$(mktemp -d /tmp/tarnwick-sway.XXXXXX)
  mkdir -m 700 "$SWAY_DIR/runtime"
  cat >"$SWAY_DIR/config" <<'CONFIG'
xwayland disable
default_border none
default_floating_border none
font pango:monospace 1
gaps inner 0
gaps outer 0
focus_follows_mouse no
mouse_warping none
output HEADLESS-1 mode 1024x768 position 0 0 scale 1 bg #202020 solid_color
output HEADLESS-2 mode 1280x960 position 1024 0 scale 2 bg #202020 solid_color
workspace 1 output HEADLESS-1
workspace 2 output HEADLESS-2
# A user's own bindings, which a run must leave as they are: one of some
# other command, one that stops runs itself, one in an included file.
bindsym Ctrl+Alt+F11 exec true
bindsym Ctrl+Alt+F10 exec tarnwick --stop
include config.d/*
CONFIG
  mkdir "$SWAY_DIR/config.d"
  echo 'bindsym Ctrl+Alt+F9 exec true' >"$SWAY_DIR/config.d/keys"
  chown -R "$SWAY_USER" "$SWAY_DIR"
  runuser -u "$SWAY_USER" -- env -i PATH=/usr/bin:/bin HOME="$SWAY_DIR" \
    XDG_RUNTIME_DIR="$SWAY_DIR/runtime" WLR_BACKENDS=headless WLR_HEADLESS_OUTPUTS=2 \
    WLR_LIBINPUT_NO_DEVICES=1 WLR_RENDERER=pixman \
    sway --config "$SWAY_DIR/config" >"$SWAY_DIR/sway.log" 2>&1 &
  SWAY_PID=$!
  local socket= ipc= i
  for i in $(seq 1 100); do
    socket=$(find "$SWAY_DIR/runtime" -maxdepth 1 -type s -name 'wayland-*' 2>/dev/null | head -n1)
    ipc=$(find "$SWAY_DIR/runtime" -maxdepth 1 -type s -name 'sway-ipc.*' 2>/dev/null | head -n1)
    [ -n "$socket" ] && [ -n "$ipc" ] && break
    if ! kill -0 "$SWAY_PID" 2>/dev/null; then
      break
    fi
    sleep 0.1
  done
  if [ -z "$socket" ] || [ -z "$ipc" ]; then
    echo "error: sway did not start; its log:" >&2
    cat "$SWAY_DIR/sway.log" >&2
    stop_sway
    return 1
  fi
  export WAYLAND_DISPLAY="$socket" SWAYSOCK="$ipc"
}
stop_sway() {
  if [ -n "${SWAY_PID:-}" ]; then
    kill "$SWAY_PID" 2>/dev/null || true
    wait "$SWAY_PID" 2>/dev/null || true
    SWAY_PID=
  fi
  if [ -n "${SWAY_DIR:-}" ]; then
    rm -rf "$SWAY_DIR"
    SWAY_DIR=
  fi
}
