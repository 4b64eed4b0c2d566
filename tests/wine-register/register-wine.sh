#!/usr/bin/env bash
# Card registration in the real OrvaneSetting window under Wine, and the
# checker acting on what it wrote. The card comes from the test felica.dll
# (Wine's winscard has no readers, so the library path is the one used).
#   register-wine.sh XVFB_STATE_DIR CASE
#   story      register a card with an action; the record, the autostart
#              value and the byte counts of the writes; the checker started
#              from that value arms and shuts down when the card leaves; the
#              record deleted from the card list afterwards; the audit
#              trail of it all (ReportEventW: ids by relay, strings by
#              +eventlog)
#   messages   IDS_PASSWORDS_DIFFER, the overwrite question IDS_OVERWRITE (owned by the dialog, No
#              writes nothing), IDS_INTERVAL_TOO_SMALL, IDS_NOTHING_CHANGED and IDS_DESCRIPTION_UPDATED on the real window
#   switch-off the action switched off while a checker runs: IDS_REMOVAL_UPDATED, the
#              checker closed, the autostart value gone; switched on and off
#              again with the value already missing: IDS_REMOVAL_UPDATED all the same
#   unquoted   an unquoted autostart value of an earlier version replaced by
#              the quoted path when the update without password switches an
#              action on
#   not-registered  the update without password on a card without record:
#              IDS_NOT_REGISTERED with the information icon, nothing written, no key made
#   no-autostart  the Run key cannot be created (its parent made volatile):
#              IDS_NO_AUTOSTART with the warning icon for the registration and for the
#              update; switched off, IDS_REMOVAL_UPDATED and the running checker closed
#   lock       register with ロック: "type" 0 then "lock" 1, the force box
#              disabled while ロック is picked; switched to ログオフ on the
#              update, "lock" is deleted and nothing else written
# Exit 0 pass, 1 fail, 77 skip (the Windows build is missing).
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
xstate=$1 case=$2
# shellcheck source=../wine-ui/ui-lib.sh
. "$here/../wine-ui/ui-lib.sh"
ui_init register "$xstate" "$case"
for f in OrvaneSetting.exe OrvaneChecker.exe orvane-write-record.exe orvane-close-checker.exe orvane-read-value.exe felica.dll; do
  [ -f "$UI_BIN/$f" ] || { echo "SKIP: $UI_BIN/$f not built"; exit 77; }
done

CARD=012E4CD82A1B3C4D03014B024F4993FF
user=$(id -un)  # what GetUserNameW gives under Wine, and the dialog's default user
ORVANE_KEY='HKLM\SOFTWARE\Brindle\Orvane'
RUN_KEY='HKCU\Software\Microsoft\Windows\CurrentVersion\Run'
RUN_PATH=${RUN_KEY#HKCU\\}
# Every call the cases look at, for both programs (one RelayInclude list).
UI_RELAY='advapi32.RegSetValueExW;kernelbase.RegSetValueExW;user32.MessageBoxW;user32.ExitWindowsEx;advapi32.AdjustTokenPrivileges;kernelbase.AdjustTokenPrivileges;advapi32.ReportEventW'
export UI_RELAY
# ReportEventW writes no log under Wine; its +eventlog channel prints each
# insertion string (one line per string, none for an empty one).
export UI_WINEDEBUG=+eventlog

# The test library where both programs look for it, and the card it reads
# at every poll.
ui_install_felica
present_card() { printf '%s' "$CARD" >"$UI_OUT/card"; }
remove_card() { : >"$UI_OUT/card"; }
present_card

checker_pid=
# The Run key's parent as it was, while a case has replaced it.
saved_run_parent=
RUN_PARENT='HKCU\Software\Microsoft\Windows\CurrentVersion'
restore_run_parent() {
  [ -n "$saved_run_parent" ] || return 0
  ui_run reg delete "$RUN_PARENT" /f >/dev/null 2>&1
  ui_run reg import "$(ui_winpath "$saved_run_parent")" >/dev/null 2>&1 || echo "cannot restore $RUN_PARENT"
  saved_run_parent=
}
# shellcheck disable=SC2317  # called by the EXIT trap
cleanup() {
  restore_run_parent
  if [ -n "$checker_pid" ] && kill -0 "$checker_pid" 2>/dev/null; then
    ui_run "$UI_BIN/orvane-close-checker.exe" 2000 >/dev/null 2>&1
    sleep 0.5
    kill "$checker_pid" 2>/dev/null
  fi
  ui_cleanup
}
trap cleanup EXIT

# drive NAME.ui: the script, {user} replaced; the script as run is kept
# beside the driver's log (its line numbers).
drive() {
  sed "s/{user}/$user/g" "$here/$1" >"$UI_OUT/${1%.ui}.script.ui"
  ui_drive "$UI_OUT/${1%.ui}.script.ui"
}

# The registry below KEY as UTF-8 .reg text (reg export writes UTF-16).
export_key() {  # export_key KEY FILE
  rm -f "$2.utf16"
  ui_run reg export "$1" "$(ui_winpath "$2.utf16")" /y >/dev/null 2>&1 || { : >"$2"; return 1; }
  iconv -f UTF-16 -t UTF-8 "$2.utf16" | tr -d '\r' >"$2"
}
# One value's line of an export: "NAME"=DATA -> DATA.
value_in() {  # value_in FILE NAME
  sed -n "s/^\"$2\"=//p" "$1"
}
# A text value exactly as stored: Wine's reg export drops the last character
# of a string stored without terminator, as ours are.
stored_text() {  # stored_text HKLM|HKCU PATH NAME
  ui_run "$UI_BIN/orvane-read-value.exe" "$1" "$2" "$3" | tr -d '\r' | head -n 1
}
# The stored byte count of a value: "bytes=N".
stored_text_bytes() {  # stored_text_bytes HKLM|HKCU PATH NAME
  ui_run "$UI_BIN/orvane-read-value.exe" "$1" "$2" "$3" | tr -d '\r' | sed -n 2p
}
# The record's sub-key in an export (the one card of the tests).
record_path_in() {  # record_path_in FILE
  sed -n 's/^\[HKEY_LOCAL_MACHINE\\\(SOFTWARE\\Brindle\\Orvane\\[0-9a-f]*\)\]$/\1/p' "$1" | head -n 1
}
# The card records in an export: the key lines below the Orvane key.
records_in() { grep -cF "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Brindle\\Orvane\\" "$1"; }
# RegSetValueExW calls of a log that set a value of the record or the
# autostart value ("NAME TYPE COUNT" per call, in order; Wine itself writes
# its own values on a first start): the numbers as 32-bit hex, as the relay
# prints 64-bit registers.
set_value_calls() {  # set_value_calls LOG
  sed -n 's/.*Call advapi32\.RegSetValueExW([0-9a-f]*,[0-9a-f]* L"\(data\|comment\|type\|lock\|interval\|OrvaneChecker\)",[0-9a-f]*,\([0-9a-f]*\),[0-9a-f]*,\([0-9a-f]*\)) ret=.*/\1 \2 \3/p' "$1" |
    while read -r name type count; do
      printf '%s %08x %08x\n' "$name" $((0x$type & 0xffffffff)) $((0x$count & 0xffffffff))
    done
}
# The events a program reported, in order: "ID|string|string..." per event,
# the id (decimal) from the relay's fourth argument (its low 32 bits), the strings as Wine's
# +eventlog prints them (non-ASCII as \NNNN escapes).
reported_events() {  # reported_events LOG
  tr -d '\r' <"$1" | awk '
    /Call advapi32\.ReportEventW\(/ {
      split(substr($0, index($0, "(") + 1), a, ",")
      if (event != "") print event
      event = "0x" substr(a[4], length(a[4]) - 7)
      next
    }
    /:eventlog:ReportEventW / && event != "" {
      s = $0; sub(/^.*:eventlog:ReportEventW L"/, "", s); sub(/\\n"$/, "", s); sub(/"$/, "", s)
      event = event "|" s
      next
    }
    /Ret  advapi32\.ReportEventW\(/ { if (event != "") print event; event = "" }
    END { if (event != "") print event }' |
    while IFS='|' read -r id rest; do
      printf '%d%s\n' "$id" "${rest:+|$rest}"
    done
}
same_or_fail() {  # same_or_fail WHAT ACTUAL EXPECTED
  [ "$2" = "$3" ] || ui_fail "$1: [$2], expected [$3]"
}

# The autostart value's text exactly as stored (orvane-read-value's escapes
# undone); empty when there is none.
run_value_text() {
  stored_text HKCU "$RUN_PATH" OrvaneChecker |
    sed 's/^"//; s/"$//; s/\\\(.\)/\1/g'
}
# The checker the way Windows starts it at logon: the Run value is a command
# line, whose program name runs to the closing quote when it begins with
# one, else to the first blank (CreateProcessW without an application name).
# The debug lines and the relay trace go to $UI_OUT/checker.log.
start_checker_from_run_value() {
  local command program
  command=$(run_value_text)
  [ -n "$command" ] || ui_fail "no Run value OrvaneChecker"
  if [ "${command:0:1}" = '"' ]; then
    program=${command:1}; program=${program%%\"*}
  else
    program=${command%% *}
  fi
  start_checker "$program"
}
start_checker() {  # start_checker PROGRAM
  WINEDEBUG=warn+seh,+eventlog,+relay wine "$1" >/dev/null 2>"$UI_OUT/checker.log" &
  checker_pid=$!
  ui_run "$UI_BIN/orvane-close-checker.exe" --find 30000 >/dev/null 2>&1 || ui_fail "the checker window did not appear"
  kill -0 "$checker_pid" 2>/dev/null || ui_fail "the checker is not running"
}
checker_lines() { sed -n 's/.*warn:seh:OutputDebugStringA "\(.*\)"$/\1/p' "$UI_OUT/checker.log" | tr -d '\r'; }
wait_checker_exit() {  # wait_checker_exit SECONDS: its exit code, 124 on time-out
  local i rc
  for ((i = 0; i < $1 * 20; ++i)); do
    if ! kill -0 "$checker_pid" 2>/dev/null; then
      wait "$checker_pid"; rc=$?; checker_pid=; return $rc
    fi
    sleep 0.05
  done
  return 124
}

case $case in
  story)
    ui_run reg delete "$ORVANE_KEY" /f >/dev/null 2>&1
    ui_run reg delete "$RUN_KEY" /v OrvaneChecker /f >/dev/null 2>&1
    ui_start "$UI_BIN/OrvaneSetting.exe"
    drive story.ui || ui_fail "driver exit code $?"
    ui_wait_exit 10; rc=$?
    [ $rc -eq 0 ] || ui_fail "OrvaneSetting exit code $rc"
    # The record as the checker and the logon component will read it.
    export_key "$ORVANE_KEY" "$UI_OUT/record.reg" || ui_fail "no Orvane key after the registration"
    same_or_fail "card records" "$(records_in "$UI_OUT/record.reg")" 1
    record_path=$(record_path_in "$UI_OUT/record.reg")
    comment=$(stored_text HKLM "$record_path" comment)
    # Stored as the readers expect: the characters only, no terminator.
    same_or_fail "comment bytes" "$(ui_run "$UI_BIN/orvane-read-value.exe" HKLM "$record_path" comment | tr -d '\r' | sed -n 2p)" \
      "bytes=$((2 * (${#comment} - 2)))"
    grep -qE '^"[0-9]{4}/[0-9]{2}/[0-9]{2} [0-9]{2}:[0-9]{2}:[0-9]{2} 受付の端末"$' <<<"$comment" ||
      ui_fail "comment $comment"
    same_or_fail type "$(value_in "$UI_OUT/record.reg" type)" dword:00000011
    same_or_fail interval "$(value_in "$UI_OUT/record.reg" interval)" dword:00000001
    data=$(sed -n '/^"data"=hex:/,/[^\\]$/p' "$UI_OUT/record.reg" | tr -d ' \\\n')
    data_bytes=$(grep -o '[0-9a-f][0-9a-f]' <<<"${data#\"data\"=hex:}" | wc -l)
    [ "$data_bytes" -gt 0 ] || ui_fail "no binary data"
    # The status line after the second read: IDS_REGISTERED and the comment's time.
    time=${comment:1:19}
    status=$(ui_res_id IDC_STATUS)
    grep -qF "$(printf 'id %5d 0x%04x' "$status" "$status") Static \"$(ui_res_text IDS_REGISTERED ' (FeliCa) ')$time\"" "$UI_OUT/driver.log" ||
      ui_fail "status line after the lookup: $(grep "$(printf 'id %5d ' "$status")" "$UI_OUT/driver.log")"
    # The autostart value: OrvaneChecker.exe beside OrvaneSetting.exe, in
    # double quotes, as stored (with the terminator Windows reads).
    checker_path="$(ui_winpath "$UI_BIN")\\OrvaneChecker.exe"
    same_or_fail "Run value" "$(run_value_text)" "\"$checker_path\""
    same_or_fail "Run value bytes" "$(stored_text_bytes HKCU "$RUN_PATH" OrvaneChecker)" \
      "bytes=$((2 * (${#checker_path} + 3)))"
    # The writes in their order; REG_SZ with two bytes a character and no
    # terminator, REG_DWORD with four bytes.
    expected=$(printf '%s\n' "data 00000003 $(printf %08x "$data_bytes")" \
      "comment 00000001 $(printf %08x $((2 * (${#comment} - 2))))" \
      "type 00000004 00000004" \
      "OrvaneChecker 00000001 $(printf %08x $((2 * (${#checker_path} + 2))))" \
      "interval 00000004 00000004")
    same_or_fail "RegSetValueExW calls" "$(set_value_calls "$UI_OUT/program.log")" "$expected"
    # One message: IDS_WRITTEN with MB_OK and no owner.
    boxes=$(ui_relay_calls user32.MessageBoxW | sed 's/^\([0-9a-f]*\),.*,\([0-9a-f]*\)$/\1 \2/')
    same_or_fail "MessageBoxW owner and style" "$boxes" "00000000 00000000"
    for shot in card-read written registered; do
      [ -s "$UI_OUT/$shot.png" ] || ui_fail "no screenshot $shot.png"
    done

    # The checker, started from the Run value with the card present, arms.
    start_checker_from_run_value
    sleep 1.5  # a tick or more with the card present: nothing happens
    same_or_fail "checker lines with the card present" "$(checker_lines)" ""
    ! grep -q 'Call user32\.ExitWindowsEx' "$UI_OUT/checker.log" || ui_fail "ExitWindowsEx with the card present"
    remove_card
    for ((i = 0; i < 80; ++i)); do
      grep -q 'Call user32\.ExitWindowsEx' "$UI_OUT/checker.log" && break
      sleep 0.05
    done
    calls=$(grep -E 'OutputDebugStringA|Call [a-z0-9]*\.(AdjustTokenPrivileges|ExitWindowsEx)' "$UI_OUT/checker.log" |
      sed -n 's/.*OutputDebugStringA "\(.*\)".*/debug \1/p; s/.*Call [a-z0-9]*\.\(AdjustTokenPrivileges\)(.*/\1/p; s/.*Call user32\.ExitWindowsEx(\([0-9a-f]*\),\([0-9a-f]*\)).*/ExitWindowsEx \1 \2/p' | head -3)
    same_or_fail "checker after the card left" "$calls" "$(printf '%s\n' 'debug shutdown\n' AdjustTokenPrivileges 'ExitWindowsEx 00000011 00000000')"
    # The session's end ends every Wine process: the checker's last event
    # is written by then (ReportEventW runs before ExitWindowsEx returns to
    # the timer loop, which Wine ends afterwards).
    wait_checker_exit 10
    cp "$UI_OUT/program.log" "$UI_OUT/register.log"

    # Afterwards the administrator deletes the card from the list.
    present_card
    ui_start "$UI_BIN/OrvaneSetting.exe"
    drive story-delete.ui || ui_fail "driver exit code $? (delete)"
    ui_wait_exit 10; rc=$?
    [ $rc -eq 0 ] || ui_fail "OrvaneSetting exit code $rc (delete)"
    export_key "$ORVANE_KEY" "$UI_OUT/deleted.reg"
    same_or_fail "card records after the delete" "$(records_in "$UI_OUT/deleted.reg")" 0

    # The audit trail of the whole story, program by program. The record key
    # is the record's sub-key; the description 受付の端末 as Wine escapes it.
    key=${record_path##*\\}
    desk='\53d7\4ed8\306e\7aef\672b'
    action='shut down, forced (ExitWindowsEx 0x00000011)'
    run_value="\\\"${checker_path//\\/\\\\}\\\""
    same_or_fail "settings program's events at the registration" "$(reported_events "$UI_OUT/register.log")" \
      "$(printf '%s\n' "1004|$user|$key|$action|$run_value" \
        "1001|$user|$key|FeliCa|$desk|$user|WINEHOST|$action|1")"
    same_or_fail "checker's events" "$(reported_events "$UI_OUT/checker.log")" \
      "$(printf '%s\n' "2001|$user|$key|$action|1" "2002|$user|$key|$action")"
    same_or_fail "settings program's events at the delete" "$(reported_events "$UI_OUT/program.log")" \
      "1003|$user|$key|$desk"
    # Never the password, in any form Wine prints it.
    ! grep -h ':eventlog:' "$UI_OUT/register.log" "$UI_OUT/checker.log" "$UI_OUT/program.log" |
      grep -q 'pass-' || ui_fail "an event holds the password"
    echo "PASS story: registered ($(grep -c '^ok ' "$UI_OUT/driver.log") steps), 5 writes in order, the checker from the Run value armed and called ExitWindowsEx(11h) when the card left, the record deleted from the list; events:"
    { reported_events "$UI_OUT/register.log"; reported_events "$UI_OUT/checker.log"; reported_events "$UI_OUT/program.log"; } | sed 's/^/  /'
    ;;
  messages)
    ui_run "$UI_BIN/orvane-write-record.exe" "$CARD" "$user" secret WINEHOST none none >/dev/null 2>&1 ||
      ui_fail "cannot arrange the record"
    export_key "$ORVANE_KEY" "$UI_OUT/before.reg" || ui_fail "no record arranged"
    UI_RELAY="$UI_RELAY;user32.CreateDialogParamW" ui_start "$UI_BIN/OrvaneSetting.exe"
    drive messages-refused.ui || ui_fail "driver exit code $?"
    export_key "$ORVANE_KEY" "$UI_OUT/refused.reg"
    cmp -s "$UI_OUT/before.reg" "$UI_OUT/refused.reg" ||
      ui_fail "refused registrations changed the record: $(diff "$UI_OUT/before.reg" "$UI_OUT/refused.reg")"
    drive messages-update.ui || ui_fail "driver exit code $?"
    ui_wait_exit 10; rc=$?
    [ $rc -eq 0 ] || ui_fail "OrvaneSetting exit code $rc"
    # Only "comment" was written, with the new description.
    same_or_fail "RegSetValueExW calls" "$(set_value_calls "$UI_OUT/program.log" | cut -d' ' -f1,2)" "comment 00000001"
    export_key "$ORVANE_KEY" "$UI_OUT/after.reg"
    same_or_fail "values but comment" "$(grep -v '^"comment"=' "$UI_OUT/after.reg")" "$(grep -v '^"comment"=' "$UI_OUT/before.reg")"
    comment=$(stored_text HKLM "$(record_path_in "$UI_OUT/after.reg")" comment)
    grep -qE '^"[0-9/]{10} [0-9:]{8} 二階の端末"$' <<<"$comment" || ui_fail "comment $comment"
    # Owner and style of every box: only question IDS_OVERWRITE belongs to the dialog.
    dialog=$(sed -n 's/.*Ret  user32\.CreateDialogParamW() retval=\([0-9a-f]*\) .*/\1/p' "$UI_OUT/program.log" | head -1)
    [ -n "$dialog" ] || ui_fail "no CreateDialogParamW in the trace"
    boxes=$(ui_relay_calls user32.MessageBoxW | sed 's/^\([0-9a-f]*\),.*,\([0-9a-f]*\)$/\1 \2/' |
      while read -r owner style; do
        [ "$owner" = 00000000 ] || { [ $((0x$owner)) -eq $((0x$dialog)) ] && owner=dialog; }
        echo "$owner $style"
      done)
    same_or_fail "MessageBoxW owner and style" "$boxes" "$(printf '%s\n' '00000000 00000010' \
      'dialog 00000004' 'dialog 00000004' '00000000 00000010' '00000000 00000010' '00000000 00000010' \
      '00000000 00000040' '00000000 00000000' '00000000 00000040')"
    [ -s "$UI_OUT/overwrite.png" ] || ui_fail "no screenshot overwrite.png"
    echo "PASS messages: IDS_PASSWORDS_DIFFER, IDS_OVERWRITE No and IDS_INTERVAL_TOO_SMALL x3 wrote nothing; IDS_NOTHING_CHANGED, IDS_DESCRIPTION_UPDATED (comment only), IDS_NOTHING_CHANGED; IDS_OVERWRITE owned by the dialog"
    ;;
  switch-off)
    checker_path="$(ui_winpath "$UI_BIN")\\OrvaneChecker.exe"
    ui_run "$UI_BIN/orvane-write-record.exe" "$CARD" "$user" secret WINEHOST 0x12 1 >/dev/null 2>&1 ||
      ui_fail "cannot arrange the record"
    ui_run reg add "$RUN_KEY" /v OrvaneChecker /t REG_SZ /d "\"$checker_path\"" /f >/dev/null 2>&1 ||
      ui_fail "cannot arrange the Run value"
    same_or_fail "Run value arranged" "$(run_value_text)" "\"$checker_path\""
    start_checker_from_run_value
    ui_start "$UI_BIN/OrvaneSetting.exe"
    drive switch-off.ui || ui_fail "driver exit code $?"
    # WM_CLOSE was sent before IDS_REMOVAL_UPDATED: the checker ends with code 0, silently.
    wait_checker_exit 10; rc=$?
    [ $rc -eq 0 ] || ui_fail "checker exit code $rc after the action was switched off (124: still running)"
    same_or_fail "checker lines" "$(checker_lines)" ""
    ! grep -q 'Call user32\.ExitWindowsEx' "$UI_OUT/checker.log" || ui_fail "the checker called ExitWindowsEx"
    export_key "$RUN_KEY" "$UI_OUT/run-off.reg" || ui_fail "cannot export the Run key"
    same_or_fail "Run value after switching off" "$(value_in "$UI_OUT/run-off.reg" OrvaneChecker)" ""
    export_key "$ORVANE_KEY" "$UI_OUT/off.reg"
    same_or_fail "type, interval after switching off" "$(value_in "$UI_OUT/off.reg" type) $(value_in "$UI_OUT/off.reg" interval)" \
      "dword:ffffffff dword:00000005"

    drive switch-on.ui || ui_fail "driver exit code $?"
    same_or_fail "Run value after switching on" "$(run_value_text)" "\"$checker_path\""
    export_key "$ORVANE_KEY" "$UI_OUT/on.reg"
    same_or_fail "type, interval after switching on" "$(value_in "$UI_OUT/on.reg" type) $(value_in "$UI_OUT/on.reg" interval)" \
      "dword:00000012 dword:00000001"

    # The value gone meanwhile (say, set up from another account).
    ui_run reg delete "$RUN_KEY" /v OrvaneChecker /f >/dev/null 2>&1 || ui_fail "cannot delete the Run value"
    drive switch-off-again.ui || ui_fail "driver exit code $?"
    ui_wait_exit 10; rc=$?
    [ $rc -eq 0 ] || ui_fail "OrvaneSetting exit code $rc"
    export_key "$ORVANE_KEY" "$UI_OUT/off-again.reg"
    same_or_fail "type, interval after switching off again" \
      "$(value_in "$UI_OUT/off-again.reg" type) $(value_in "$UI_OUT/off-again.reg" interval)" "dword:ffffffff dword:00000005"
    export_key "$RUN_KEY" "$UI_OUT/run-off-again.reg" || ui_fail "cannot export the Run key"
    same_or_fail "Run value after switching off again" "$(value_in "$UI_OUT/run-off-again.reg" OrvaneChecker)" ""
    same_or_fail "RegSetValueExW calls" "$(set_value_calls "$UI_OUT/program.log" | cut -d' ' -f1 | tr '\n' ' ')" \
      "type interval type OrvaneChecker interval type interval "
    echo "PASS switch-off: IDS_REMOVAL_UPDATED three times; the running checker closed (exit 0), the Run value deleted, written, and its absence no failure"
    ;;
  unquoted)
    checker_path="$(ui_winpath "$UI_BIN")\\OrvaneChecker.exe"
    ui_run "$UI_BIN/orvane-write-record.exe" "$CARD" "$user" secret WINEHOST none none >/dev/null 2>&1 ||
      ui_fail "cannot arrange the record"
    ui_run reg add "$RUN_KEY" /v OrvaneChecker /t REG_SZ /d "$checker_path" /f >/dev/null 2>&1 ||
      ui_fail "cannot arrange the Run value"
    same_or_fail "Run value arranged" "$(run_value_text)" "$checker_path"
    ui_start "$UI_BIN/OrvaneSetting.exe"
    drive unquoted.ui || ui_fail "driver exit code $?"
    ui_wait_exit 10; rc=$?
    [ $rc -eq 0 ] || ui_fail "OrvaneSetting exit code $rc"
    same_or_fail "Run value after switching on" "$(run_value_text)" "\"$checker_path\""
    same_or_fail "RegSetValueExW calls" "$(set_value_calls "$UI_OUT/program.log")" \
      "$(printf '%s\n' "type 00000004 00000004" \
        "OrvaneChecker 00000001 $(printf %08x $((2 * (${#checker_path} + 2))))" \
        "interval 00000004 00000004")"
    export_key "$ORVANE_KEY" "$UI_OUT/on.reg"
    same_or_fail "type, interval" "$(value_in "$UI_OUT/on.reg" type) $(value_in "$UI_OUT/on.reg" interval)" \
      "dword:00000000 dword:00000001"
    echo "PASS unquoted: the unquoted Run value replaced by the quoted path when the action was switched on (IDS_REMOVAL_UPDATED)"
    ;;
  not-registered)
    ui_run reg delete "$ORVANE_KEY" /f >/dev/null 2>&1
    ui_run reg delete "$RUN_KEY" /v OrvaneChecker /f >/dev/null 2>&1
    ui_start "$UI_BIN/OrvaneSetting.exe"
    drive not-registered.ui || ui_fail "driver exit code $?"
    ui_wait_exit 10; rc=$?
    [ $rc -eq 0 ] || ui_fail "OrvaneSetting exit code $rc"
    # No key at all: neither the record nor the Orvane key above it.
    ! ui_run reg query "$ORVANE_KEY" >/dev/null 2>&1 || ui_fail "a key was created: $(ui_run reg query "$ORVANE_KEY" /s)"
    same_or_fail "RegSetValueExW calls" "$(set_value_calls "$UI_OUT/program.log")" ""
    same_or_fail "Run value" "$(run_value_text)" ""
    boxes=$(ui_relay_calls user32.MessageBoxW | sed 's/^\([0-9a-f]*\),.*,\([0-9a-f]*\)$/\1 \2/')
    same_or_fail "MessageBoxW owner and style" "$boxes" "00000000 00000040"
    [ -s "$UI_OUT/not-registered.png" ] || ui_fail "no screenshot not-registered.png"
    echo "PASS not-registered: IDS_NOT_REGISTERED with the information icon, no key created, nothing written"
    ;;
  no-autostart)
    ui_run reg delete "$ORVANE_KEY" /f >/dev/null 2>&1
    # Wine enforces no registry permissions; but no lasting key can be made
    # below a volatile one, so the Run key's parent is made volatile.
    ui_run reg export "$RUN_PARENT" "$(ui_winpath "$UI_OUT/run-parent.saved.reg")" /y >/dev/null 2>&1 ||
      ui_fail "cannot save $RUN_PARENT"
    saved_run_parent=$UI_OUT/run-parent.saved.reg
    ui_run reg delete "$RUN_PARENT" /f >/dev/null 2>&1 || ui_fail "cannot delete $RUN_PARENT"
    ui_run "$UI_BIN/orvane-volatile-key.exe" HKCU "${RUN_PARENT#HKCU\\}" || ui_fail "cannot make $RUN_PARENT volatile"
    ! ui_run reg add "$RUN_KEY" /v probe /d x /f >/dev/null 2>&1 || ui_fail "the Run key can still be created"
    ui_start "$UI_BIN/OrvaneSetting.exe"
    drive no-autostart.ui || ui_fail "driver exit code $?"
    # The record holds the action; the checker started by hand arms on it.
    export_key "$ORVANE_KEY" "$UI_OUT/on.reg"
    same_or_fail "type, interval" "$(value_in "$UI_OUT/on.reg" type) $(value_in "$UI_OUT/on.reg" interval)" \
      "dword:00000002 dword:00000001"
    start_checker "$(ui_winpath "$UI_BIN")\\OrvaneChecker.exe"
    drive no-autostart-off.ui || ui_fail "driver exit code $?"
    wait_checker_exit 10; rc=$?
    [ $rc -eq 0 ] || ui_fail "checker exit code $rc after the action was switched off (124: still running)"
    ui_wait_exit 10; rc=$?
    [ $rc -eq 0 ] || ui_fail "OrvaneSetting exit code $rc"
    restore_run_parent
    same_or_fail "RegSetValueExW calls" "$(set_value_calls "$UI_OUT/program.log" | cut -d' ' -f1 | tr '\n' ' ')" \
      "data comment type interval type type interval "
    export_key "$ORVANE_KEY" "$UI_OUT/off.reg"
    same_or_fail "type, interval after switching off" "$(value_in "$UI_OUT/off.reg" type) $(value_in "$UI_OUT/off.reg" interval)" \
      "dword:ffffffff dword:00000005"
    boxes=$(ui_relay_calls user32.MessageBoxW | sed 's/^\([0-9a-f]*\),.*,\([0-9a-f]*\)$/\1 \2/')
    same_or_fail "MessageBoxW owner and style" "$boxes" "$(printf '%s\n' '00000000 00000030' '00000000 00000030' '00000000 00000000')"
    [ -s "$UI_OUT/no-autostart.png" ] || ui_fail "no screenshot no-autostart.png"
    echo "PASS no-autostart: IDS_NO_AUTOSTART with the warning icon for the registration and the update; switched off, IDS_REMOVAL_UPDATED and the checker closed"
    ;;
  lock)
    ui_run reg delete "$ORVANE_KEY" /f >/dev/null 2>&1
    ui_run reg delete "$RUN_KEY" /v OrvaneChecker /f >/dev/null 2>&1
    checker_path="$(ui_winpath "$UI_BIN")\\OrvaneChecker.exe"
    lock_relay="$UI_RELAY;advapi32.RegDeleteValueW;kernelbase.RegDeleteValueW;user32.LockWorkStation"
    UI_RELAY=$lock_relay ui_start "$UI_BIN/OrvaneSetting.exe"
    drive lock.ui || ui_fail "driver exit code $?"
    ui_wait_exit 10; rc=$?
    [ $rc -eq 0 ] || ui_fail "OrvaneSetting exit code $rc"
    cp "$UI_OUT/program.log" "$UI_OUT/register.log"
    # "lock" right after "type", REG_DWORD with four bytes, before the
    # autostart value.
    same_or_fail "RegSetValueExW calls" "$(set_value_calls "$UI_OUT/register.log" | cut -d' ' -f1,2,3 | grep -v '^data \|^comment ')" \
      "$(printf '%s\n' "type 00000004 00000004" "lock 00000004 00000004" \
        "OrvaneChecker 00000001 $(printf %08x $((2 * (${#checker_path} + 2))))" "interval 00000004 00000004")"
    same_or_fail "first writes" "$(set_value_calls "$UI_OUT/register.log" | cut -d' ' -f1 | head -2 | tr '\n' ' ')" "data comment "
    export_key "$ORVANE_KEY" "$UI_OUT/lock.reg" || ui_fail "no Orvane key after the registration"
    record_path=$(record_path_in "$UI_OUT/lock.reg")
    # Log off for "type", never with force: a checker that ignores "lock" logs off.
    same_or_fail "type, lock, interval" \
      "$(value_in "$UI_OUT/lock.reg" type) $(value_in "$UI_OUT/lock.reg" lock) $(value_in "$UI_OUT/lock.reg" interval)" \
      "dword:00000000 dword:00000001 dword:00000001"
    same_or_fail "Run value" "$(run_value_text)" "\"$checker_path\""
    for shot in setting-lock setting-lock-list; do
      [ -s "$UI_OUT/$shot.png" ] || ui_fail "no screenshot $shot.png"
    done

    # The checker, started from the Run value, locks when the card leaves and
    # never ends the session. Wine's LockWorkStation refuses (FALSE), so the
    # checker asks again at each tick while the card is away; with the card
    # back it asks nothing, and a second removal locks again.
    start_checker_from_run_value
    sleep 1.5  # a tick or more with the card present
    same_or_fail "checker lines with the card present" "$(checker_lines)" ""
    locks() { grep -c 'Call user32\.LockWorkStation' "$UI_OUT/checker.log"; }
    wait_locks_above() {  # wait_locks_above N: up to 5 s for more than N calls
      local i
      for ((i = 0; i < 100; ++i)); do [ "$(locks)" -gt "$1" ] && return 0; sleep 0.05; done
      ui_fail "no LockWorkStation within 5 s of taking the card away (lines [$(checker_lines)])"
    }
    same_or_fail "LockWorkStation calls with the card present" "$(locks)" 0
    remove_card
    wait_locks_above 0
    present_card
    sleep 1.5  # the tick that finds the card back
    back=$(locks)
    sleep 2.5
    same_or_fail "LockWorkStation calls while the card is back" "$(locks)" "$back"
    remove_card
    wait_locks_above "$back"
    ! grep -q 'Call user32\.ExitWindowsEx' "$UI_OUT/checker.log" || ui_fail "ExitWindowsEx from a lock record"
    ! grep -q 'Call [a-z0-9]*\.AdjustTokenPrivileges' "$UI_OUT/checker.log" || ui_fail "a privilege asked for a lock"
    lines=$(checker_lines | sort -u)
    same_or_fail "checker lines of a lock record" "$lines" 'lock\n'
    present_card
    ui_run "$UI_BIN/orvane-close-checker.exe" 2000 >/dev/null 2>&1
    wait_checker_exit 5; rc=$?
    [ $rc -eq 0 ] || ui_fail "the lock checker ended with $rc after WM_CLOSE"

    UI_RELAY=$lock_relay ui_start "$UI_BIN/OrvaneSetting.exe"
    drive lock-logoff.ui || ui_fail "driver exit code $?"
    ui_wait_exit 10; rc=$?
    [ $rc -eq 0 ] || ui_fail "OrvaneSetting exit code $rc"
    # Only "lock" deleted: no value set, the Run value untouched.
    same_or_fail "RegSetValueExW calls after the switch" "$(set_value_calls "$UI_OUT/program.log")" ""
    deleted=$(sed -n 's/.*Call advapi32\.RegDeleteValueW([0-9a-f]*,[0-9a-f]* L"\([^"]*\)").*/\1/p' "$UI_OUT/program.log" | tr '\n' ' ')
    same_or_fail "RegDeleteValueW calls after the switch" "$deleted" "lock "
    stored_text HKLM "$record_path" lock >"$UI_OUT/lock-after.txt"
    same_or_fail "lock after the switch" "$(cat "$UI_OUT/lock-after.txt")" ""
    same_or_fail "type after the switch" "$(stored_text HKLM "$record_path" type)" "dword:00000000"
    same_or_fail "Run value after the switch" "$(run_value_text)" "\"$checker_path\""
    # Now a plain log off: the checker ends the session when the card leaves
    # (ExitWindowsEx ends every process of the Wine session: the last step).
    start_checker_from_run_value
    remove_card
    for ((i = 0; i < 100; ++i)); do
      grep -q 'Call user32\.ExitWindowsEx' "$UI_OUT/checker.log" && break
      sleep 0.05
    done
    call=$(sed -n 's/.*Call user32\.ExitWindowsEx(\([0-9a-f]*\),\([0-9a-f]*\)).*/\1 \2/p' "$UI_OUT/checker.log" | head -1)
    same_or_fail "ExitWindowsEx after the switch to log off" "$call" "00000000 00000000"
    ! grep -q 'Call user32\.LockWorkStation' "$UI_OUT/checker.log" || ui_fail "LockWorkStation after the switch to log off"
    echo "PASS lock: registered with lock (type 0 then lock 1, force disabled); the checker from the Run value locked at each removal, never ExitWindowsEx; switched to log off, only lock deleted, and a removal then called ExitWindowsEx(0)"
    ;;
  *) echo "unknown case $case"; exit 2 ;;
esac
exit 0
