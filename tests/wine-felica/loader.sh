#!/usr/bin/env bash
# The programs' own FeliCa loader under Wine: orvane-card.exe poll finds no
# PC/SC reader (Wine's winscard offers none), loads the test felica.dll from
# "C:\Program Files\Common Files\Sony Shared\FeliCaLibrary" of a Wine prefix of
# these tests' own, and reads the card through it.
#   loader.sh WIN_BIN_DIR CASE
# Exit 0 pass, 1 fail, 77 skip (the Windows build is missing).
set -uo pipefail
. "$(dirname "$0")/../wine/preamble.sh"
bin=$1 case=$2
need_built "$bin" orvane-card.exe felica.dll
use_prefix felica "${ORVANE_FELICA_WINEPREFIX:-}"
work=$(mktemp -d /tmp/orvane-felica-loader.XXXXXX)
trap 'rm -rf "$work"' EXIT

IDM=012E4CD82A1B3C4D PMM=03014B024F4993FF
spaced() { echo "$1" | sed 's/../& /g; s/ $//'; }
FULL="$IDM$PMM"

flavour=checker install=1 content= want=nocard
log_init="initialize_library"
log_full="initialize_library
open_reader_writer_auto
polling_and_get_card_information
close_reader_writer
dispose_library"
want_log=$log_full
case $case in
  card-checker)    content=$FULL; want=card ;;
  card-setting)    content=$FULL; want=card; flavour=setting ;;
  no-card)         content= ;;
  zero-cards)      content=zero-cards ;;
  zero-identity)   content=00000000000000000000000000000000 ;;
  fail-initialize) content=fail-initialize; want_log=$log_init ;;
  fail-open)       content=fail-open; want_log="initialize_library
open_reader_writer_auto
dispose_library" ;;
  fail-polling)    content=fail-polling ;;
  not-installed)   content=$FULL; install=0; want_log= ;;
  *) echo "unknown case $case"; exit 2 ;;
esac

# Create the prefix (first use), then put the library in place or take it away.
"$root/tests/wine/wine-run.sh" cmd /c exit >/dev/null 2>&1
libdir="$ORVANE_WINEPREFIX/drive_c/Program Files/Common Files/Sony Shared/FeliCaLibrary"
if [ $install = 1 ]; then
  mkdir -p "$libdir" && cp "$bin/felica.dll" "$libdir/felica.dll.new" && mv -f "$libdir/felica.dll.new" "$libdir/felica.dll"
else
  rm -f "$libdir/felica.dll"
fi

printf '%s' "$content" >"$work/card"
export ORVANE_TEST_FELICA_CARD=$(winpath "$work/card")
export ORVANE_TEST_FELICA_LOG=$(winpath "$work/log")
"$root/tests/wine/wine-run.sh" "$bin/orvane-card.exe" poll --for "$flavour" >"$work/out" 2>/dev/null
rc=$?
out=$(tr -d '\r' <"$work/out")
echo "$out"
echo "exit $rc"
fail() { echo "FAIL $case: $*"; exit 1; }
if [ $want = card ]; then
  [ $rc = 0 ] || fail "exit $rc for a card"
  grep -qx "reader: FeliCa library" <<<"$out" || fail "reader line"
  grep -qx "identity: $(spaced "$IDM$PMM")" <<<"$out" || fail "identity is not IDm then PMm"
  grep -qE '^record key: [1-9a-f][0-9a-f]{4,6}$' <<<"$out" || fail "record key"
  if [ $flavour = setting ]; then grep -qE '^card kind: 4( |$)' <<<"$out" || fail "card kind 4"; fi
else
  [ $rc = 1 ] || fail "exit $rc for no card"
  grep -qx "no card" <<<"$out" || fail "expected no card"
  grep -q "^identity:" <<<"$out" && fail "no card must not print an identity"
fi
log=$(tr -d '\r' <"$work/log" 2>/dev/null)
[ "$log" = "$want_log" ] || { echo "call log:"; echo "$log"; fail "call sequence"; }
echo "PASS $case"
