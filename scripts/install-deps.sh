#!/usr/bin/env bash
# Installs what building, running and testing need on Debian 12.
# Idempotent: asks apt only for what is missing, updates the package lists
# only when something must be installed, never asks questions.
set -euo pipefail

packages=(
  g++ cmake ninja-build ccache pkg-config
  qt6-base-dev qt6-qpa-plugins libgl-dev
  libx11-dev libxtst-dev libxi-dev libxext-dev libx11-xcb-dev libxdamage-dev libxfixes-dev
  xvfb xauth xdotool x11-utils imagemagick
  fonts-ipafont-gothic
  g++-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64 qt6-base-dev-tools xz-utils
  # image matching: OpenCV natively, and the zlib its static Windows build links
  libopencv-imgproc-dev libz-mingw-w64-dev
  wine64 nsis libarchive-tools unzip procps
  clang-format
  base-files
  # --- the package test: build, check and install the .deb in a Debian 12 root ---
  debootstrap lintian desktop-file-utils appstream
  # --- end of the package test's packages ---
  # X11 tests: layouts and foreign map changes, the server's clients
  x11-xkb-utils x11-xserver-utils libxres-dev
  # a Tk client, which answers no ping, for the typing tests and bench
  tk
  # an EWMH window manager for the window access test and bench under one
  openbox
  # the Wayland backend, and its tests under a headless sway (label wayland):
  # the compositor, a terminal, wtype and grim for the benchmark and by hand
  libwayland-dev libwayland-bin wayland-protocols libxkbcommon-dev libevdev-dev qt6-wayland
  sway foot wtype grim
  # the KDE backend's tests under a headless KWin (label kde): the compositor,
  # the service cache that authorises programs, a D-Bus session of its own
  kwin-wayland libkf5service-bin dbus-daemon dbus-bin
  # a GTK 3 window of the wayland tests' and the benchmark's own, in Python
  gir1.2-gtk-3.0 python3-gi
  # the GNOME backend (GIO's D-Bus, PipeWire's stream), and its tests under a
  # headless GNOME Shell (label gnome) with its bus, PipeWire and settings
  libglib2.0-dev libpipewire-0.3-dev gnome-shell mutter pipewire wireplumber dbus dconf-service
  # libFuzzer targets (./test.sh -L fuzz)
  clang libclang-rt-14-dev
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

echo "Installing: ${missing[*]}"
sudo=()
if [ "$(id -u)" -ne 0 ]; then
  if command -v sudo >/dev/null 2>&1; then
    sudo=(sudo)
  else
    echo "error: these packages are missing and I am not root (and there is no sudo): ${missing[*]}" >&2
    exit 1
  fi
fi
export DEBIAN_FRONTEND=noninteractive
"${sudo[@]}" apt-get update -qq
"${sudo[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
