#!/usr/bin/env bash
# A private X display for the GUI tests under Wine, as a ctest fixture.
#   xvfb.sh start STATE_DIR   starts Xvfb on a free display; writes
#                             STATE_DIR/display (":N") and STATE_DIR/pid
#   xvfb.sh stop STATE_DIR    stops the Xvfb that start left there
#   xvfb.sh display STATE_DIR prints ":N"
# Tests read the display with `xvfb.sh display` and export DISPLAY themselves.
set -euo pipefail
cmd=${1:?start|stop|display} state=${2:?state directory}
case $cmd in
  start)
    mkdir -p "$state"
    "$0" stop "$state" || true
    rm -f "$state/display" "$state/display.fd" "$state/pid"
    # -displayfd picks a free display and reports it; stdio go to a file so
    # that ctest does not wait for the server to end.
    setsid Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp \
      3>"$state/display.fd" </dev/null >"$state/xvfb.log" 2>&1 &
    echo $! >"$state/pid"
    for _ in $(seq 1 100); do
      if [ -s "$state/display.fd" ]; then
        printf ':%s\n' "$(tr -dc 0-9 <"$state/display.fd")" >"$state/display"
        echo "Xvfb $(cat "$state/pid") on $(cat "$state/display")"
        exit 0
      fi
      kill -0 "$(cat "$state/pid")" 2>/dev/null || break
      sleep 0.1
    done
    echo "Xvfb did not start:"; cat "$state/xvfb.log"; exit 1
    ;;
  stop)
    if [ -f "$state/pid" ]; then
      pid=$(cat "$state/pid")
      # Only the server this fixture started, and only while it still is Xvfb.
      if [ "$(cat "/proc/$pid/comm" 2>/dev/null)" = Xvfb ]; then kill "$pid"; fi
      rm -f "$state/pid" "$state/display"
    fi
    ;;
  display)
    cat "$state/display"
    ;;
  *) echo "usage: xvfb.sh start|stop|display STATE_DIR" >&2; exit 2 ;;
esac
