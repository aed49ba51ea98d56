#!/usr/bin/env bash
# Sets up this machine (Debian 12) and starts the program.
set -euo pipefail
top=$(cd "$(dirname "$0")" && pwd)
"$top/scripts/install-deps.sh"
"$top/scripts/build.sh" "$top/build/release" Release -DTARNWICK_TESTS=OFF -DTARNWICK_BENCH=OFF
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  cat >&2 <<'MSG'
There is no display to show the window on (DISPLAY is not set).
Start the program from a desktop session, or give it a virtual display:
    Xvfb :1 -screen 0 1280x1024x24 &  DISPLAY=:1 ./run.sh
MSG
  exit 1
fi
exec "$top/build/release/bin/tarnwick" "$@"
