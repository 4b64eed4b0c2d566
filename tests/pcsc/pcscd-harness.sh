#!/usr/bin/env bash
# Starts and stops the tests' own pcscd (with the vsmartcard vpcd readers
# "Virtual PCD 00 00" and "Virtual PCD 00 01" from /etc/reader.conf.d/vpcd).
#
#   pcscd-harness.sh start STATE_DIR WAIT_TOOL [NAME]    start pcscd, wait until it lists both readers
#   pcscd-harness.sh restart STATE_DIR WAIT_TOOL [NAME]  the same, keeping the lock (within a test)
#   pcscd-harness.sh stop STATE_DIR                      stop it and any virtual card left running
#
# NAME replaces the readers' friendly name "Virtual PCD" (e.g. "Sony PaSoRi
# Virtual": readers "Sony PaSoRi Virtual 00 00" and "... 00 01"), through a
# copy of the vpcd configuration in STATE_DIR.
#
# Only one pcscd can run on a machine. The harness holds the lock file
# /tmp/orvane-pcscd.lock from start to stop so that two test runs (ctest in two
# build trees, or a benchmark) never share or kill each other's daemon. What it
# started is remembered in STATE_DIR; a start first ends leftovers of an earlier
# run recorded there. A pcscd it did not start is never killed: start fails
# with a message instead.
# ORVANE_PCSCD_ARGS adds pcscd options (e.g. "-a -d" to log APDUs to STATE_DIR/pcscd.log).
set -uo pipefail

LOCK=/tmp/orvane-pcscd.lock
SOCKET=/run/pcscd/pcscd.comm
PIDFILE=/run/pcscd/pcscd.pid

die() { echo "pcscd-harness: $*" >&2; exit 1; }

alive() { [ -n "${1:-}" ] && kill -0 "$1" 2>/dev/null; }

# Ends the process recorded in a pid file if it still runs (TERM, then KILL),
# provided its command line still names what we started (pids are reused).
end_recorded() {
  local file=$1 what=$2 pid
  [ -f "$file" ] || return 0
  pid=$(cat "$file" 2>/dev/null)
  if alive "$pid" && tr '\0' ' ' <"/proc/$pid/cmdline" 2>/dev/null | grep -q -- "$what"; then
    kill -TERM "$pid" 2>/dev/null
    for _ in $(seq 50); do alive "$pid" || break; sleep 0.1; done
    alive "$pid" && kill -KILL "$pid" 2>/dev/null
  fi
  rm -f "$file"
}

stop_daemon() {
  local state=$1
  for f in "$state"/vcard-*.pid; do [ -e "$f" ] && end_recorded "$f" vcard; done
  end_recorded "$state/pcscd.pid" pcscd
}

stop() {
  local state=$1
  [ -d "$state" ] || return 0
  for f in "$state"/bridge-*.pid; do [ -e "$f" ] && end_recorded "$f" orvane-pcsc-bridge; done
  stop_daemon "$state"
  # The sleep that holds the lock, then its flock parent (which exits with it).
  end_recorded "$state/lock.pid" sleep
  end_recorded "$state/lockflock.pid" flock
  return 0
}

find_pcscd() {
  command -v pcscd 2>/dev/null && return 0
  for p in /usr/sbin/pcscd /sbin/pcscd /usr/local/sbin/pcscd; do
    [ -x "$p" ] && { echo "$p"; return 0; }
  done
  return 1
}

check_tools() {
  [ -x "$1" ] || die "wait tool $1 not built"
  find_pcscd >/dev/null || die "pcscd not installed (package pcscd)"
  [ -f /etc/reader.conf.d/vpcd ] || die "/etc/reader.conf.d/vpcd missing (package vsmartcard-vpcd)"
}

start() {
  local state=$1 wait_tool=$2 name=${3:-}
  check_tools "$wait_tool"
  mkdir -p "$state" || die "cannot create $state"
  stop "$state"

  # The machine-wide lock, held by a small process until stop, at most an
  # hour: a run killed before its stop must not lock others out for good.
  rm -f "$state/lock.pid"
  setsid flock -w 600 "$LOCK" sh -c 'echo $$ >"$1.new"; mv "$1.new" "$1"; exec sleep 3600' sh "$state/lock.pid" \
    </dev/null >/dev/null 2>&1 &
  local flock_pid=$!
  echo "$flock_pid" >"$state/lockflock.pid"
  for _ in $(seq 6100); do
    [ -s "$state/lock.pid" ] && break
    alive "$flock_pid" || die "could not take $LOCK (another test run held it for 600 s)"
    sleep 0.1
  done
  [ -s "$state/lock.pid" ] || die "timed out waiting for $LOCK"

  # A daemon we did not start (system service, another agent's run).
  local other
  other=$(cat "$PIDFILE" 2>/dev/null)
  if alive "$other"; then
    for _ in $(seq 100); do alive "$other" || break; sleep 0.1; done
    if alive "$other"; then
      stop "$state"
      die "another pcscd (pid $other) is running; stop it first (e.g. systemctl stop pcscd.socket pcscd)"
    fi
  fi
  # A stale socket of a crashed daemon would make clients hang or fail.
  [ -S "$SOCKET" ] && ! alive "$other" && rm -f "$SOCKET" "$PIDFILE"
  start_daemon "$state" "$wait_tool" "$name"
}

# Within a test that holds the fixture: the same lock, another reader name.
restart() {
  local state=$1 wait_tool=$2 name=${3:-}
  check_tools "$wait_tool"
  [ -s "$state/lock.pid" ] && alive "$(cat "$state/lock.pid")" || die "restart: no running harness in $state"
  stop_daemon "$state"
  start_daemon "$state" "$wait_tool" "$name"
}

start_daemon() {
  local state=$1 wait_tool=$2 name=$3 pcscd config=()
  pcscd=$(find_pcscd)
  if [ -n "$name" ]; then
    rm -rf "$state/reader.conf.d" && mkdir -p "$state/reader.conf.d" || die "cannot write $state/reader.conf.d"
    sed "s/^FRIENDLYNAME.*/FRIENDLYNAME \"$name\"/" /etc/reader.conf.d/vpcd >"$state/reader.conf.d/vpcd"
    config=(-c "$state/reader.conf.d")
  fi
  # shellcheck disable=SC2086
  setsid "$pcscd" -f "${config[@]}" ${ORVANE_PCSCD_ARGS:-} </dev/null >"$state/pcscd.log" 2>&1 &
  echo $! >"$state/pcscd.pid"
  if ! "$wait_tool" service 15000 2; then
    echo "pcscd-harness: pcscd did not list the two vpcd readers within 15 s; its log:" >&2
    tail -n 30 "$state/pcscd.log" >&2
    stop "$state"
    exit 1
  fi
  echo "pcscd-harness: pcscd $(cat "$state/pcscd.pid") ready"
}

usage="usage: $0 start|restart STATE_DIR WAIT_TOOL [READER_NAME] | stop STATE_DIR"
case "${1:-}" in
  start) [ $# -eq 3 ] || [ $# -eq 4 ] || die "$usage"; start "$2" "$3" "${4:-}" ;;
  restart) [ $# -eq 3 ] || [ $# -eq 4 ] || die "$usage"; restart "$2" "$3" "${4:-}" ;;
  stop) [ $# -eq 2 ] || die "$usage"; stop "$2"; echo "pcscd-harness: stopped" ;;
  *) die "$usage" ;;
esac
