#!/usr/bin/env bash
# Sourced: start_gnome starts a headless GNOME Shell on Wayland for the gnome
# tests and exports GNOME_WAYLAND_DISPLAY (its socket's absolute path) and
# GNOME_SESSION_BUS (the address of its session bus); stop_gnome ends it and
# removes its folder. The tests point WAYLAND_DISPLAY and
# DBUS_SESSION_BUS_ADDRESS at them, so the sway of scripts/sway.sh and this
# shell can run side by side.
# gnome-shell runs as an unprivileged system user made for it, inside a
# session bus of its own that lets root (the tests) in, beside a private
# system bus (its login-manager code dies without one), PipeWire and
# WirePlumber (the screen cast's stream). Our shell extension, from the source
# tree, is enabled before the shell starts.
GNOME_PID=
GNOME_DIR=
GNOME_USER=${GNOME_USER:-tarnwick-gnome}
GNOME_EXTENSION_UUID=tarnwick@tarnwick.example
start_gnome() {
  local top
  top=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
  if ! command -v gnome-shell >/dev/null 2>&1 || ! command -v pipewire >/dev/null 2>&1; then
    echo "error: gnome-shell or pipewire is not installed (scripts/install-deps.sh installs them)" >&2
    return 1
  fi
  if ! id -u "$GNOME_USER" >/dev/null 2>&1; then
    useradd -r -M -d /nonexistent -s /usr/sbin/nologin "$GNOME_USER" || return 1
  fi
  GNOME_DIR=$(mktemp -d /tmp/tarnwick-gnome.XXXXXX)
  chmod 755 "$GNOME_DIR"
  mkdir -m 700 "$GNOME_DIR/runtime"
  mkdir -p "$GNOME_DIR/home/.local/share/gnome-shell/extensions"
  cp -r "$top/src/platform/gnome/extension" \
    "$GNOME_DIR/home/.local/share/gnome-shell/extensions/$GNOME_EXTENSION_UUID"
  # Both buses let any user connect, so the tests (root) reach the shell.
  cat >"$GNOME_DIR/session.conf" <<CONF
<!DOCTYPE busconfig PUBLIC "-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN"
 "http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd">
<busconfig>
  <type>session</type>
  <listen>unix:path=$GNOME_DIR/session-bus</listen>
  <auth>EXTERNAL</auth>
  <standard_session_servicedirs/>
  <policy context="default">
    <allow user="*"/>
    <allow send_destination="*" eavesdrop="true"/>
    <allow eavesdrop="true"/>
    <allow own="*"/>
  </policy>
</busconfig>
CONF
  sed -e 's/<type>session</<type>system</' -e "s|$GNOME_DIR/session-bus|$GNOME_DIR/system-bus|" \
    -e '/standard_session_servicedirs/d' "$GNOME_DIR/session.conf" >"$GNOME_DIR/system.conf"
  cat >"$GNOME_DIR/session.sh" <<'SESSION'
#!/usr/bin/env bash
dir=$1
dbus-daemon --config-file="$dir/system.conf" --nofork --nopidfile &
for i in $(seq 1 50); do [ -S "$dir/system-bus" ] && break; sleep 0.05; done
export DBUS_SYSTEM_BUS_ADDRESS="unix:path=$dir/system-bus"
pipewire >"$dir/pipewire.log" 2>&1 &
wireplumber >"$dir/wireplumber.log" 2>&1 &
gsettings set org.gnome.shell enabled-extensions "['tarnwick@tarnwick.example']"
gsettings set org.gnome.shell disable-user-extensions false
gsettings set org.gnome.desktop.interface enable-animations false
gsettings set org.gnome.desktop.screensaver lock-enabled false
gsettings set org.gnome.desktop.session idle-delay 0
gsettings set org.gnome.mutter center-new-windows true
exec gnome-shell --headless --wayland --no-x11 --virtual-monitor 1280x800 \
  --wayland-display "$dir/runtime/wayland-gnome"
SESSION
  chmod +x "$GNOME_DIR/session.sh"
  chown -R "$GNOME_USER" "$GNOME_DIR"
  # setsid: one process group to end, whatever the shell left running.
  setsid runuser -u "$GNOME_USER" -- env -i PATH=/usr/bin:/bin HOME="$GNOME_DIR/home" \
    XDG_RUNTIME_DIR="$GNOME_DIR/runtime" XDG_SESSION_TYPE=wayland XDG_CURRENT_DESKTOP=GNOME \
    NO_AT_BRIDGE=1 GSETTINGS_BACKEND=dconf \
    dbus-run-session --config-file="$GNOME_DIR/session.conf" -- "$GNOME_DIR/session.sh" "$GNOME_DIR" \
    >"$GNOME_DIR/gnome.log" 2>&1 &
  GNOME_PID=$!
  local up= i
  for i in $(seq 1 150); do
    if [ -S "$GNOME_DIR/runtime/wayland-gnome" ] && [ -S "$GNOME_DIR/session-bus" ] &&
      DBUS_SESSION_BUS_ADDRESS="unix:path=$GNOME_DIR/session-bus" gdbus call --session \
        --dest org.gnome.Mutter.RemoteDesktop --object-path /org/gnome/Mutter/RemoteDesktop \
        --method org.freedesktop.DBus.Properties.Get org.gnome.Mutter.RemoteDesktop Version \
        >/dev/null 2>&1; then
      up=1
      break
    fi
    kill -0 "$GNOME_PID" 2>/dev/null || break
    sleep 0.1
  done
  if [ -z "$up" ]; then
    echo "error: gnome-shell did not start; its log:" >&2
    cat "$GNOME_DIR/gnome.log" >&2
    stop_gnome
    return 1
  fi
  export GNOME_WAYLAND_DISPLAY="$GNOME_DIR/runtime/wayland-gnome"
  export GNOME_SESSION_BUS="unix:path=$GNOME_DIR/session-bus"
  # The shell starts in the Overview, which keeps windows from the focus; it
  # shows it a moment after its bus names are up.
  # Hidden while it is still appearing, it may come back: until it stays away.
  local overview seen= calm=0
  for i in $(seq 1 100); do
    overview=$(DBUS_SESSION_BUS_ADDRESS=$GNOME_SESSION_BUS gdbus call --session \
      --dest org.gnome.Shell --object-path /org/gnome/Shell \
      --method org.freedesktop.DBus.Properties.Get org.gnome.Shell OverviewActive 2>/dev/null)
    if [ "$overview" = "(<true>,)" ]; then
      seen=1
      calm=0
      DBUS_SESSION_BUS_ADDRESS=$GNOME_SESSION_BUS gdbus call --session --dest org.gnome.Shell \
        --object-path /org/gnome/Shell --method org.freedesktop.DBus.Properties.Set \
        org.gnome.Shell OverviewActive '<false>' >/dev/null 2>&1 || true
    elif [ -n "$seen" ]; then
      calm=$((calm + 1))
      [ "$calm" -ge 5 ] && break
    fi
    sleep 0.1
  done
}
stop_gnome() {
  if [ -n "${GNOME_PID:-}" ]; then
    # The shell once spun after SIGTERM: a moment's grace, then SIGKILL.
    kill -TERM -- "-$GNOME_PID" 2>/dev/null || true
    local i
    for i in $(seq 1 30); do
      kill -0 -- "-$GNOME_PID" 2>/dev/null || break
      sleep 0.1
    done
    kill -KILL -- "-$GNOME_PID" 2>/dev/null || true
    wait "$GNOME_PID" 2>/dev/null || true
    GNOME_PID=
  fi
  if [ -n "${GNOME_DIR:-}" ]; then
    rm -rf "$GNOME_DIR"
    GNOME_DIR=
  fi
  unset GNOME_WAYLAND_DISPLAY GNOME_SESSION_BUS
}
