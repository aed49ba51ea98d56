#!/usr/bin/env bash
# Sourced: start_kwin PROGRAM... starts a headless KWin for the kde tests in
# a D-Bus session of its own and exports TARNWICK_KWIN_DISPLAY (its Wayland
# socket's absolute path) and TARNWICK_KWIN_DBUS (the bus address); the kde
# tests take them as WAYLAND_DISPLAY and DBUS_SESSION_BUS_ADDRESS, so no other
# test finds this compositor. stop_kwin ends both and removes its folder.
# KWin offers its fake input only to programs an installed .desktop file
# names by their exact path, so each PROGRAM gets one, as the Debian package
# installs one for /usr/bin/tarnwick. The packaged kwin_wayland carries a file
# capability a container may refuse to run, so a plain copy runs instead. It
# composites with OpenGL (Mesa's software renderer here): its screenshots need it.
KWIN_PID=
KWIN_DBUS_PID=
KWIN_DIR=
start_kwin() {
  if [ ! -x /usr/bin/kwin_wayland ]; then
    echo "error: kwin_wayland is not installed (scripts/install-deps.sh installs it)" >&2
    return 1
  fi
  KWIN_DIR=$(mktemp -d /tmp/tarnwick-kwin.XXXXXX)
  mkdir -p -m 700 "$KWIN_DIR/runtime"
  mkdir -p "$KWIN_DIR/data/applications" "$KWIN_DIR/cache" "$KWIN_DIR/config"
  cp /usr/bin/kwin_wayland "$KWIN_DIR/kwin_wayland"
  local program n=0
  for program in "$@"; do
    n=$((n + 1))
    cat >"$KWIN_DIR/data/applications/tarnwick-test-$n.desktop" <<DESKTOP
[Desktop Entry]
Type=Application
Name=Tarnwick test $n
Exec=$program
NoDisplay=true
X-KDE-Wayland-Interfaces=org_kde_kwin_fake_input
X-KDE-DBUS-Restricted-Interfaces=org.kde.KWin.ScreenShot2
DESKTOP
  done
  local -a env=(env -i PATH=/usr/bin:/bin HOME="$KWIN_DIR" XDG_RUNTIME_DIR="$KWIN_DIR/runtime"
    XDG_DATA_HOME="$KWIN_DIR/data" XDG_DATA_DIRS=/usr/local/share:/usr/share
    XDG_CACHE_HOME="$KWIN_DIR/cache" XDG_CONFIG_HOME="$KWIN_DIR/config" XDG_CURRENT_DESKTOP=KDE
    QT_QPA_PLATFORM=offscreen)
  # KWin finds the .desktop files through the service cache.
  "${env[@]}" kbuildsycoca5 --noincremental >"$KWIN_DIR/sycoca.log" 2>&1 || true
  local address
  address=$("${env[@]}" dbus-daemon --session --fork --nopidfile --print-address=1 \
    --print-pid=3 3>"$KWIN_DIR/dbus.pid" | head -n1)
  KWIN_DBUS_PID=$(cat "$KWIN_DIR/dbus.pid" 2>/dev/null)
  if [ -z "$address" ]; then
    echo "error: no D-Bus session for KWin" >&2
    stop_kwin
    return 1
  fi
  "${env[@]}" DBUS_SESSION_BUS_ADDRESS="$address" "$KWIN_DIR/kwin_wayland" --virtual \
    --width 1280 --height 800 --socket tarnwick-kwin --no-lockscreen --no-global-shortcuts \
    --no-kactivities >"$KWIN_DIR/kwin.log" 2>&1 &
  KWIN_PID=$!
  local i
  for i in $(seq 1 150); do
    [ -S "$KWIN_DIR/runtime/tarnwick-kwin" ] &&
      "${env[@]}" DBUS_SESSION_BUS_ADDRESS="$address" dbus-send --session --print-reply \
        --dest=org.kde.KWin /Scripting org.freedesktop.DBus.Peer.Ping >/dev/null 2>&1 && break
    kill -0 "$KWIN_PID" 2>/dev/null || break
    sleep 0.1
  done
  if ! kill -0 "$KWIN_PID" 2>/dev/null || [ ! -S "$KWIN_DIR/runtime/tarnwick-kwin" ]; then
    echo "error: KWin did not start; its log:" >&2
    cat "$KWIN_DIR/kwin.log" >&2
    stop_kwin
    return 1
  fi
  export TARNWICK_KWIN_DISPLAY="$KWIN_DIR/runtime/tarnwick-kwin" TARNWICK_KWIN_DBUS="$address"
}
stop_kwin() {
  if [ -n "${KWIN_PID:-}" ]; then
    kill "$KWIN_PID" 2>/dev/null || true
    wait "$KWIN_PID" 2>/dev/null || true
    KWIN_PID=
  fi
  if [ -n "${KWIN_DBUS_PID:-}" ]; then
    kill "$KWIN_DBUS_PID" 2>/dev/null || true
    KWIN_DBUS_PID=
  fi
  if [ -n "${KWIN_DIR:-}" ]; then
    rm -rf "$KWIN_DIR"
    KWIN_DIR=
  fi
  unset TARNWICK_KWIN_DISPLAY TARNWICK_KWIN_DBUS
}
