#!/usr/bin/env bash
# Sets up this machine (Debian 12), builds with AddressSanitizer and
# UndefinedBehaviorSanitizer, and runs the whole test suite. Exit code: CTest's.
set -euo pipefail
top=$(cd "$(dirname "$0")" && pwd)
"$top/scripts/install-deps.sh"
"$top/scripts/build.sh" "$top/build/asan" Debug -DTARNWICK_SANITIZE=ON
# The Windows build, zip and installer, which the windows-package and wine tests check.
"$top/scripts/build-windows.sh" "$top/build/win64"

. "$top/scripts/xvfb.sh"
trap stop_xvfb EXIT
start_xvfb

# Every test gets throw-away configuration and home folders.
scratch=$(mktemp -d)
trap 'stop_xvfb; rm -rf "$scratch"' EXIT
export HOME="$scratch/home" XDG_CONFIG_HOME="$scratch/config" XDG_RUNTIME_DIR="$scratch/runtime"
mkdir -p "$HOME/Desktop" "$XDG_CONFIG_HOME" "$XDG_RUNTIME_DIR"
chmod 700 "$XDG_RUNTIME_DIR"

set +e
(cd "$top/build/asan" && ctest --output-on-failure -j "$(nproc)" "$@")
rc=$?
set -e
exit $rc
