#!/usr/bin/env bash
# admin-wine.sh BIN_DIR CASE: orvane-card.exe records / doctor under Wine on
# records seeded with reg.exe, in a prefix of their own. Cases:
#   records   the exact listing of three seeded records and the sound key
#   empty     no records key: "records: 0", exit 0
#   doctor    the checks' verdicts on the same seeds (no reader here)
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
  *) echo "unknown case $case"; exit 2 ;;
esac
run reg delete "$key" /f >/dev/null 2>&1
run reg delete 'HKCU\Software\Microsoft\Windows\CurrentVersion\Run' /v OrvaneChecker /f >/dev/null 2>&1
exit 0
