#!/usr/bin/env bash
# admin-wine.sh BIN_DIR CASE: orvane-card.exe records / doctor under Wine on
# records seeded with reg.exe, in a prefix of their own. Cases:
#   records   the exact listing of three seeded records and the sound key
#   empty     no records key: "records: 0", exit 0
#   doctor    the checks' verdicts on the same seeds (no reader here)
#   forged    a description and a sound file holding CR/LF shown escaped (no
#             forged line); removal settings the settings program never
#             writes and an unquoted Run value with a space warned about
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
bin=$1
case=$2
[ -f "$bin/orvane-card.exe" ] || { echo "SKIP: $bin/orvane-card.exe not built (build the win64 preset)"; exit 77; }
export ORVANE_WINEPREFIX=$root/build/wineprefix-admin
run() { "$root/tests/wine/wine-run.sh" "$@"; }
key='HKLM\SOFTWARE\Brindle\Orvane'

# The 64-bit twin reads the 64-bit view: the seeds go there.
run reg delete "$key" /f >/dev/null 2>&1
run reg delete 'HKCU\Software\Microsoft\Windows\CurrentVersion\Run' /v OrvaneChecker /f >/dev/null 2>&1
seed() {
  local block48 block47
  block48=$(printf '5a%.0s' $(seq 48))
  block47=$(printf '5a%.0s' $(seq 47))
  run reg add "$key\\2a5c0e1f" /v data /t REG_BINARY /d "$block48" /f
  run reg add "$key\\2a5c0e1f" /v comment /t REG_SZ /d '2026/01/02 03:04:05 社員証 たろう' /f
  run reg add "$key\\2a5c0e1f" /v type /t REG_DWORD /d 16 /f
  run reg add "$key\\2a5c0e1f" /v interval /t REG_DWORD /d 7 /f
  run reg add "$key\\761b9bc" /v data /t REG_BINARY /d "$block47" /f
  run reg add "$key\\761b9bc" /v comment /t REG_SZ /d '2026/02/03 04:05:06 short data' /f
  run reg add "$key\\1f00" /v data /t REG_BINARY /d "$block48" /f
  run reg add "$key\\sound" /v flag /t REG_DWORD /d 1 /f
  run reg add "$key\\sound" /v file /t REG_SZ /d 'C:\nowhere\beep.wav' /f
  run reg add 'HKCU\Software\Microsoft\Windows\CurrentVersion\Run' /v OrvaneChecker /t REG_SZ \
    /d "$(run winepath -w "$bin/OrvaneChecker.exe" 2>/dev/null | tr -d '\r')" /f
} >/dev/null 2>&1

expect_status() {
  if [ "$1" -ne "$2" ]; then echo "FAIL $case: exit code $1, expected $2"; exit 1; fi
}

case $case in
  records)
    seed
    out=$(run "$bin/orvane-card.exe" records 2>&1); status=$?
    expected=$(cat <<'OUT'
key: HKEY_LOCAL_MACHINE\SOFTWARE\Brindle\Orvane

record 1f00
    time: -
    description: -
    removal: none
    interval: 5 s (default)
    data: 48 bytes REG_BINARY
    flags: no-comment

record 2a5c0e1f
    time: 2026/01/02 03:04:05
    description: 社員証 たろう
    removal: log off, forced
    interval: 7 s
    data: 48 bytes REG_BINARY
    flags: none

record 761b9bc
    time: 2026/02/03 04:05:06
    description: short data
    removal: none
    interval: 5 s (default)
    data: 47 bytes REG_BINARY
    flags: data-length

records: 3 flagged: 2
OUT
)
    if [ "$out" != "$expected" ]; then
      echo "FAIL records: output differs"; diff <(echo "$expected") <(echo "$out"); exit 1
    fi
    expect_status "$status" 1
    echo "PASS records: three seeded records listed and two flagged, exit 1" ;;
  empty)
    out=$(run "$bin/orvane-card.exe" records 2>&1); status=$?
    [ "$(echo "$out" | tail -1)" = "records: 0 flagged: 0" ] || { echo "FAIL empty: $out"; exit 1; }
    expect_status "$status" 0
    echo "PASS empty: no records key, records: 0, exit 0" ;;
  doctor)
    seed
    out=$(run "$bin/orvane-card.exe" doctor 2>&1); status=$?
    echo "$out"
    checker=$(run winepath -w "$bin/OrvaneChecker.exe" 2>/dev/null | tr -d '\r')
    for line in \
      "WARN registry-view: this build reads the 64-bit registry view;" \
      "FAIL pcsc: no PC/SC reader and no FeliCa library: no card can be read." \
      "WARN records: 3 records, 2 flagged (orvane-card records shows them)." \
      "OK   run-value: the checker starts at logon from $checker." \
      'WARN sound: the sound file C:\nowhere\beep.wav does not exist: no sound plays.' \
      "WARN card: no card can be read without a reader." \
      "doctor: 1 OK, 5 WARN, 1 FAIL"; do
      grep -qF -- "$line" <<<"$out" || { echo "FAIL doctor: no line '$line'"; exit 1; }
    done
    expect_status "$status" 3
    # The Run value pointing nowhere is a failure of its own.
    run reg add 'HKCU\Software\Microsoft\Windows\CurrentVersion\Run' /v OrvaneChecker /t REG_SZ \
      /d 'C:\gone\OrvaneChecker.exe' /f >/dev/null 2>&1
    out=$(run "$bin/orvane-card.exe" doctor 2>&1)
    grep -qF 'FAIL run-value: the Run value points to C:\gone\OrvaneChecker.exe, which does not exist' <<<"$out" ||
      { echo "FAIL doctor: a Run value to a missing file not reported"; echo "$out"; exit 1; }
    echo "PASS doctor: each check's verdict on the seeded PC, exit 3" ;;
  forged)
    # Text with control characters cannot be given to reg.exe: a .reg file
    # (UTF-16 with BOM) sets the raw values.
    python3 - "$(run winepath -u 'C:\forged.reg' 2>/dev/null)" <<'PY'
import sys
def text(s):
    return "hex(1):" + ",".join("%02x" % b for b in (s + "\0").encode("utf-16-le"))
lines = ["Windows Registry Editor Version 5.00", "",
         r"[HKEY_LOCAL_MACHINE\SOFTWARE\Brindle\Orvane\2a5c0e1f]",
         '"data"=hex:' + ",".join(["5a"] * 48),
         '"comment"=' + text("2026/01/02 03:04:05 x\r\nrecord 1234\tz\x1b[2J"),
         '"type"=dword:00000003', '"interval"=dword:00000000', "",
         r"[HKEY_LOCAL_MACHINE\SOFTWARE\Brindle\Orvane\sound]",
         '"flag"=dword:00000001',
         '"file"=' + text("C:\\a.wav\nOK   sound: fine"), ""]
open(sys.argv[1], "wb").write(("\ufeff" + "\r\n".join(lines)).encode("utf-16-le"))
PY
    run reg import 'C:\forged.reg' >/dev/null 2>&1
    # An existing checker at a path with a space, named without quotes.
    spaced='C:\Program Files\Orvane Test\OrvaneChecker.exe'
    unix_spaced=$(run winepath -u "$spaced" 2>/dev/null)
    mkdir -p "$(dirname "$unix_spaced")" && cp "$bin/OrvaneChecker.exe" "$unix_spaced"
    run reg add 'HKCU\Software\Microsoft\Windows\CurrentVersion\Run' /v OrvaneChecker /t REG_SZ \
      /d "$spaced" /f >/dev/null 2>&1
    out=$(run "$bin/orvane-card.exe" records 2>&1)
    grep -qxF '    description: x\r\nrecord 1234\tz\x1B[2J' <<<"$out" ||
      { echo "FAIL forged: the description is not shown escaped"; echo "$out"; exit 1; }
    if grep -qx 'record 1234.*' <<<"$out" || [ "$(grep -c '^record ' <<<"$out")" -ne 1 ]; then
      echo "FAIL forged: a forged record line"; echo "$out"; exit 1
    fi
    out=$(run "$bin/orvane-card.exe" doctor 2>&1)
    for line in \
      'WARN type: record 2a5c0e1f has removal type 0x00000003, which the settings program never writes' \
      'WARN interval: record 2a5c0e1f has an interval of 0 s, outside the 1 to 999999 s' \
      "WARN run-value: the Run value $spaced contains a space and is not in double quotes" \
      'WARN sound: the sound file C:\a.wav\nOK   sound: fine is not a full path on a local drive'; do
      grep -qF -- "$line" <<<"$out" || { echo "FAIL forged: no line '$line'"; echo "$out"; exit 1; }
    done
    if grep -q '^OK   sound' <<<"$out"; then echo "FAIL forged: a forged sound line"; echo "$out"; exit 1; fi
    rm -rf "$(dirname "$unix_spaced")"
    echo "PASS forged: control characters escaped, removal settings and the unquoted Run value warned about" ;;
  *) echo "unknown case $case"; exit 2 ;;
esac
run reg delete "$key" /f >/dev/null 2>&1
run reg delete 'HKCU\Software\Microsoft\Windows\CurrentVersion\Run' /v OrvaneChecker /f >/dev/null 2>&1
exit 0
