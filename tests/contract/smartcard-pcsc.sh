#!/usr/bin/env bash
# The smart-card contract on the pcsc-lite adapter: the virtual FeliCa card on
# "Virtual PCD 00 00" of the tests' pcscd (ctest fixture), nothing on "00 01".
#   smartcard-pcsc.sh NATIVE_BIN PCSC_STATE_DIR
set -uo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
bin=$1 state=$2
work=$(mktemp -d /tmp/orvane-sc-contract.XXXXXX)
python3 "$root/tests/vcard/vcard.py" felica --slot 0 --control "$work/card.ctl" &
vcard=$!
echo "$vcard" >"$state/vcard-0.pid"
cleanup() {
  kill "$vcard" 2>/dev/null
  rm -f "$state/vcard-0.pid"
  "$bin/orvane-pcsc-wait" absent "Virtual PCD 00 00" 10000
  rm -rf "$work"
}
trap cleanup EXIT
"$bin/orvane-pcsc-wait" present "Virtual PCD 00 00" 10000 || { echo "pcscd does not see the card"; exit 1; }
"$bin/orvane-smartcard-contract" --pcsc "$work/card.ctl"
