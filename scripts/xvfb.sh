#!/usr/bin/env bash
# Sourced: start_xvfb starts an Xvfb on a free display number (it picks the
# number itself through -displayfd) and exports DISPLAY; stop_xvfb ends it.
# -noreset: by default the server starts over whenever its last client
# leaves, and a client connecting during that moment is refused (one test
# ending while another starts a program).
XVFB_PID=
start_xvfb() {
  local fifo
  fifo=$(mktemp -u)
  mkfifo "$fifo"
  Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp -noreset 3>"$fifo" >/dev/null 2>&1 &
  XVFB_PID=$!
  local num
  if ! read -r -t 20 num <"$fifo"; then
    rm -f "$fifo"
    echo "error: Xvfb did not start" >&2
    return 1
  fi
  rm -f "$fifo"
  export DISPLAY=":$num"
}
stop_xvfb() {
  if [ -n "${XVFB_PID:-}" ]; then
    kill "$XVFB_PID" 2>/dev/null || true
    wait "$XVFB_PID" 2>/dev/null || true
    XVFB_PID=
  fi
}
