#!/usr/bin/env bash
# Sets up this machine (Debian 12), builds with AddressSanitizer and
# UndefinedBehaviorSanitizer, cross-builds the Windows version, and runs the
# whole test suite. Exit code: CTest's (non-zero too if the Windows build failed).
set -euo pipefail
top=$(cd "$(dirname "$0")" && pwd)
"$top/scripts/install-deps.sh"
"$top/scripts/build.sh" "$top/build/asan" Debug -DTARNWICK_SANITIZE=ON
# The Windows build, zip and installer, which the windows-package and wine
# tests check. Should it fail, the other tests still run and the exit code
# says so.
win_rc=0
"$top/scripts/build-windows.sh" "$top/build/win64" || win_rc=$?

. "$top/scripts/xvfb.sh"
. "$top/scripts/sway.sh"
. "$top/scripts/gnome.sh"
. "$top/scripts/kwin.sh"
trap stop_xvfb EXIT
start_xvfb
# The wayland tests' compositor; without it they fail (they never skip).
trap 'stop_xvfb; stop_sway' EXIT
start_sway || echo "error: no headless sway: the wayland tests will fail" >&2
# The gnome tests' GNOME Shell, beside it.
trap 'stop_xvfb; stop_sway; stop_gnome' EXIT
start_gnome || echo "error: no headless GNOME Shell: the gnome tests will fail" >&2
# The kde tests' KWin, which lets the program and those tests send input.
trap 'stop_xvfb; stop_sway; stop_gnome; stop_kwin' EXIT
start_kwin "$top/build/asan/bin/tarnwick" "$top"/build/asan/bin/kde_* ||
  echo "error: no headless KWin: the kde tests will fail" >&2

# Every test gets throw-away configuration and home folders.
scratch=$(mktemp -d)
trap 'stop_xvfb; stop_sway; stop_gnome; stop_kwin; rm -rf "$scratch"' EXIT
export HOME="$scratch/home" XDG_CONFIG_HOME="$scratch/config" XDG_RUNTIME_DIR="$scratch/runtime"
mkdir -p "$HOME/Desktop" "$XDG_CONFIG_HOME" "$XDG_RUNTIME_DIR"
chmod 700 "$XDG_RUNTIME_DIR"

set +e
(cd "$top/build/asan" && ctest --output-on-failure -j "$(nproc)" "$@")
rc=$?
set -e
if [ "$win_rc" -ne 0 ]; then
  echo "error: the Windows build failed (scripts/build-windows.sh exited $win_rc)" >&2
  [ "$rc" -ne 0 ] || rc=$win_rc
fi
exit $rc
