#!/usr/bin/env bash
# Runs felica-probe.exe under Wine against the test felica.dll for one card-file
# case and compares what each entry point returned, and the call log.
#   probe.sh WIN_BIN_DIR CASE
# Exit 0 pass, 1 fail, 77 skip (the Windows build is missing).
set -uo pipefail
. "$(dirname "$0")/../wine/preamble.sh"
bin=$1 case=$2
need_built "$bin" felica-probe.exe felica.dll
work=$(mktemp -d /tmp/orvane-felica-probe.XXXXXX)
trap 'rm -rf "$work"' EXIT

IDM=012E4CD82A1B3C4D PMM=03014B024F4993FF
ZERO=0000000000000000
card=set   # set: the variable names $work/card; unset: no variable
content=   # what the card file holds; "MISSING" for no file
expect_poll="0 cards=0 idm=$ZERO pmm=$ZERO"
init=1 open=1 close=1 dispose=1
case $case in
  card)            content="$IDM$PMM"; expect_poll="1 cards=1 idm=$IDM pmm=$PMM" ;;
  card-spaced)     content=$(printf '%s %s\r\n' "${IDM,,}" "${PMM,,}"); expect_poll="1 cards=1 idm=$IDM pmm=$PMM" ;;
  unset)           card=unset ;;
  missing)         content=MISSING ;;
  empty)           content="" ;;
  fail-initialize) content=fail-initialize; init=0 open=0 close=0 dispose=0 ;;
  fail-open)       content=fail-open; open=0 close=0 ;;
  fail-polling)    content=fail-polling ;;
  zero-cards)      content=zero-cards; expect_poll="1 cards=0 idm=$ZERO pmm=$ZERO" ;;
  garbage)         content="$IDM" ;;  # half a card: unreadable
  *) echo "unknown case $case"; exit 2 ;;
esac

if [ "$content" != MISSING ]; then printf '%s' "$content" >"$work/card"; fi
if [ "$card" = set ]; then export ORVANE_TEST_FELICA_CARD=$(winpath "$work/card"); else unset ORVANE_TEST_FELICA_CARD; fi
export ORVANE_TEST_FELICA_LOG=$(winpath "$work/log")

out=$(cd "$bin" && run felica-probe.exe 2>&1 | tr -d '\r')
echo "$out"
expected="initialize_library: $init
open_reader_writer_auto: $open
polling_and_get_card_information: $expect_poll
close_reader_writer: $close
dispose_library: $dispose"
if [ "$out" != "$expected" ]; then
  echo "FAIL $case: expected"; echo "$expected"; exit 1
fi
log=$(tr -d '\r' <"$work/log" 2>/dev/null)
want_log="initialize_library
open_reader_writer_auto
polling_and_get_card_information
close_reader_writer
dispose_library"
if [ "$log" != "$want_log" ]; then
  echo "FAIL $case: call log"; echo "$log"; exit 1
fi
echo "PASS $case"
