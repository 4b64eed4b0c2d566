#!/usr/bin/env bash
# OrvaneSetting's main dialog under Wine, driven as a user would.
#   setting-wine.sh XVFB_STATE_DIR CASE
#   no-reader    no reader and no FeliCa library: the template's state, reading
#                off; the window closes with exit code 0
#   read-cycle   the library path: Ready, a read without a card (string 147,
#                stop), a card placed during a read and at the press
#                (string 148, card controls on), exit with code 0
#   second-copy  a second start while the first runs ends at once with code 0
#                and creates no dialog
#   limits       the real edits' limits (EM_GETLIMITTEXT): 118 for login
#                target, user and both password fields, 239 for the
#                description, 6 digits for the interval
#   timers       the read timer is gone after a stop (a card placed then is
#                not shown, however long one waits) and after a card shown at
#                a tick (what is typed then is not reset a second later)
# Screenshots of each state land in build/wine-ui/setting/CASE/.
# Exit 0 pass, 1 fail, 77 skip (the Windows build is missing).
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
xstate=$1 case=$2
# shellcheck source=../wine-ui/ui-lib.sh
. "$here/../wine-ui/ui-lib.sh"
ui_init setting "$xstate" "$case"
program=$UI_BIN/OrvaneSetting.exe
for f in "$program" "$UI_BIN/felica.dll"; do
  [ -f "$f" ] || { echo "SKIP: $f not built"; exit 77; }
done

CARD=012E4CD82A1B3C4D03014B024F4993FF
card_file=$UI_OUT/card
: >"$card_file"
export ORVANE_TEST_FELICA_CARD
ORVANE_TEST_FELICA_CARD=$(ui_winpath "$card_file")
libdir="$UI_PREFIX/drive_c/Program Files/Common Files/Sony Shared/FeliCaLibrary"
library() {  # library on|off: the test felica.dll where the program looks for it
  if [ "$1" = on ]; then
    mkdir -p "$libdir"
    cmp -s "$UI_BIN/felica.dll" "$libdir/felica.dll" || cp "$UI_BIN/felica.dll" "$libdir/felica.dll"
  else
    rm -f "$libdir/felica.dll"
  fi
}
# The card's record key: only the timers case registers the card, and every
# case starts without its record.
RECORD='HKLM\Software\Brindle\Orvane\49c1009'
ui_run reg delete "$RECORD" /f >/dev/null 2>&1
# What GetComputerNameW and GetUserNameW give under Wine.
computer=$(hostname | cut -d. -f1 | tr '[:lower:]' '[:upper:]' | cut -c1-15)
user=$(id -un)

# What the scripts share; controls and texts by their resource symbols.
common() {
  cat <<UI
timeout 10000
window {@IDD_MAIN} timeout=60000
UI
}
initial_state() {
  cat <<UI
text IDC_TARGET "$computer"
text IDC_USER "$user"
text IDC_INTERVAL "5"
combo-items IDC_REMOVAL_ACTION {@IDS_LOG_OFF} {@IDS_SHUT_DOWN} {@IDS_REBOOT} {@IDS_LOCK}
combo-selected IDC_REMOVAL_ACTION {@IDS_LOG_OFF}
disabled IDC_TARGET
disabled IDC_USER
disabled IDC_PASSWORD
disabled IDC_PASSWORD_AGAIN
disabled IDC_DESCRIPTION
disabled IDC_REMOVAL_ON
disabled IDC_REMOVAL_ACTION
disabled IDC_FORCE
disabled IDC_INTERVAL_LABEL
disabled IDC_INTERVAL
disabled IDC_REGISTER
enabled IDC_SOUND
enabled IDC_DELETE
enabled IDC_EXIT
text IDC_READ {@IDC_READ}
UI
}

case $case in
  no-reader)
    library off
    ui_start "$program"
    { common; initial_state; cat <<'UI'
text IDC_STATUS {@IDC_STATUS}
disabled IDC_READ
screenshot no-reader.bmp dialog
close
exit 0 timeout=10000
UI
    } | ui_drive - || ui_fail "driver exit code $?"
    echo "PASS no-reader: the template's state, reading off; screenshot $UI_OUT/no-reader.png"
    ;;
  read-cycle)
    library on
    ui_start "$program"
    { common; initial_state; cat <<UI
text IDC_STATUS {@IDS_READER_READY|PaSoRi}
enabled IDC_READ
# A read without a card: timer 1 polls; stop returns to Ready.
click IDC_READ
text IDC_STATUS {@IDS_READING|PaSoRi}
text IDC_READ {@IDS_STOP_READING}
disabled IDC_SOUND
disabled IDC_REGISTER
screenshot reading.bmp dialog
click IDC_READ
text IDC_STATUS {@IDS_READER_READY|PaSoRi}
text IDC_READ {@IDS_READ_CARD}
disabled IDC_SOUND
# A card placed while the read runs is shown at the next tick.
click IDC_READ
host /bin/sh -c "printf %s $CARD > '$card_file'"
wait-text IDC_STATUS "{@IDS_CARD_READ| (FeliCa) }" timeout=5000
text IDC_READ {@IDS_READ_CARD}
enabled IDC_PASSWORD
enabled IDC_PASSWORD_AGAIN
enabled IDC_USER
enabled IDC_TARGET
enabled IDC_DESCRIPTION
enabled IDC_REGISTER
enabled IDC_SOUND
enabled IDC_REMOVAL_ON
disabled IDC_REMOVAL_ACTION
focused IDC_PASSWORD
screenshot card-shown.bmp dialog
# With the card on the reader a press shows it at once.
set-text IDC_DESCRIPTION "予備カード"
click IDC_READ
text IDC_DESCRIPTION ""
text IDC_STATUS "{@IDS_CARD_READ| (FeliCa) }"
text IDC_READ {@IDS_READ_CARD}
# The card taken away: the next read finds nothing.
host /bin/sh -c ": > '$card_file'"
click IDC_READ
text IDC_STATUS {@IDS_READING|PaSoRi}
disabled IDC_PASSWORD
click IDC_EXIT
exit 0 timeout=10000
UI
    } | ui_drive - || ui_fail "driver exit code $?"
    echo "PASS read-cycle: ready, reading, stop, card at a tick and at the press, exit 0; screenshots in $UI_OUT"
    ;;
  second-copy)
    library off
    ui_start "$program"
    { common; echo 'text IDC_STATUS {@IDC_STATUS}'; } | ui_drive - || ui_fail "driver exit code $?"
    ui_run reg add 'HKCU\Software\Wine\Debug' /v RelayInclude /t REG_SZ /d 'user32.CreateDialogParamW' /f >/dev/null 2>&1
    started=$(date +%s)
    WINEDEBUG=+relay timeout 60 wine "$program" >/dev/null 2>"$UI_OUT/second.log"
    rc=$?
    [ $rc -eq 0 ] || ui_fail "the second copy ended with $rc, expected 0"
    [ $(($(date +%s) - started)) -lt 30 ] || ui_fail "the second copy took too long"
    ! grep -q 'Call user32.CreateDialogParamW' "$UI_OUT/second.log" || ui_fail "the second copy created a dialog"
    grep -q 'Call user32.CreateDialogParamW' "$UI_OUT/program.log" 2>/dev/null || true
    { common; echo 'close'; echo 'exit 0 timeout=10000'; } | ui_drive - || ui_fail "the first copy did not go on as before"
    echo "PASS second-copy: exit 0 without a dialog; the first copy kept running"
    ;;
  limits)
    library off
    ui_start "$program"
    { common; cat <<'UI'
limit IDC_TARGET 118
limit IDC_USER 118
limit IDC_PASSWORD 118
limit IDC_PASSWORD_AGAIN 118
limit IDC_DESCRIPTION 239
limit IDC_INTERVAL 6
close
exit 0 timeout=10000
UI
    } | ui_drive - || ui_fail "driver exit code $?"
    echo "PASS limits: 118 for target, user and passwords, 239 for the description, 6 for the interval"
    ;;
  timers)
    library on
    [ -f "$UI_BIN/orvane-write-record.exe" ] || { echo "SKIP: orvane-write-record.exe not built"; exit 77; }
    # The card registered with a description: every showing of it reads the
    # description back into the field.
    ui_run "$UI_BIN/orvane-write-record.exe" "$CARD" user secret HOST 0x10 5 >/dev/null ||
      ui_fail "cannot write the card's record"
    ui_run reg add "$RECORD" /v comment /t REG_SZ /d '2024/01/02 03:04:05 社員証' /f >/dev/null 2>&1 ||
      ui_fail "cannot write the record's comment"
    ui_start "$program"
    { common; cat <<UI
# Stopped: a card placed now stays unread over several periods of 1 s.
click IDC_READ
text IDC_READ {@IDS_STOP_READING}
click IDC_READ
text IDC_READ {@IDS_READ_CARD}
host /bin/sh -c "printf %s $CARD > '$card_file'"
sleep 2500
text IDC_STATUS {@IDS_READER_READY|PaSoRi}
text IDC_READ {@IDS_READ_CARD}
text IDC_DESCRIPTION ""
disabled IDC_PASSWORD
disabled IDC_DESCRIPTION
# Shown at a tick: the timer ends with the read, so the card is not shown
# again a second later, which would put the stored description back over
# what the user typed.
host /bin/sh -c ": > '$card_file'"
click IDC_READ
text IDC_READ {@IDS_STOP_READING}
host /bin/sh -c "printf %s $CARD > '$card_file'"
wait-text IDC_DESCRIPTION "社員証" timeout=5000
text IDC_READ {@IDS_READ_CARD}
set-text IDC_DESCRIPTION "予備カード"
sleep 2500
text IDC_DESCRIPTION "予備カード"
click IDC_EXIT
exit 0 timeout=10000
UI
    } | ui_drive - || ui_fail "driver exit code $?"
    echo "PASS timers: no read after a stop, no second showing after a card shown at a tick"
    ;;
  *) echo "unknown case $case"; exit 2 ;;
esac
