#!/usr/bin/env bash
# OrvaneSetting's card list (IDD_CARD_LIST) and recognition sound (IDD_SOUND) end
# to end under Wine, driven by the UI driver on the real windows. Records are
# seeded with the project's own writer and reg; the card comes from the test
# felica.dll; sndPlaySoundW, HtmlHelpW and RegSetValueExW are seen in a relay
# trace limited to them, the file played in winmm's trace.
#   listsound-wine.sh XVFB_STATE_DIR CASE
#   list        three records listed, the shown card's row selected; delete
#               after Yes (IDS_DELETED, row and key gone), keep after No, refused
#               delete (IDS_DELETE_FAILED, row stays); F1 asks for context 8; the main
#               dialog's read timer ticks while the list is open
#   sound       the dialog without a sound key, save with "しない", IDS_SOUND_FILE_MISSING for a
#               missing file and a folder, save with a .wav and the wait box;
#               the key's values and byte counts; a card read then plays the
#               saved file; F1 asks for 6 and 10; the read timer ticks while
#               the sound dialog is open
#   close-main  the main dialog closed while the sound dialog is open: the
#               sound dialog stays and works, the program ends (code 0) when
#               it is closed too
#   sound-typing  no sound key: keystrokes in the file field and a click on
#               the wait box leave the field enabled; カード認識時 then saves
#               the typed path with the wait flag; a UNC path gets IDS_SOUND_FILE_MISSING and is
#               never looked up (no FindFirstFileW on it)
#   close-order the card list, then the sound dialog opened; closed list,
#               main dialog, sound dialog: exit code 0, and a start after it
#               shows its window (the single-instance mutex was released)
#   quit-in-box the main dialog closed while the sound dialog's save message
#               is up: exit code 0, and a start after it shows its window
#   keys-under  Esc on the main dialog while the sound dialog is open
#               closes the main dialog (its keyboard handling still runs);
#               exit code 0 after the sound dialog is closed by Esc too
#   drop        drops: the sound dialog alone lets them in from lower
#               integrity, on its own window (ChangeWindowMessageFilterEx with
#               WM_DROPFILES and WM_COPYGLOBALDATA, never process-wide, never
#               WM_COPYDATA); the main dialog leaves a handle it was sent
#               alone; the sound dialog takes a short name into its field and
#               queries a 264-character one whole and refuses it (IDS_SOUND_FILE_MISSING),
#               the field keeping the short name
# Exit 0 pass, 1 fail, 77 skip (the Windows build is missing).
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
xstate=$1 case=$2
# shellcheck source=../wine-ui/ui-lib.sh
. "$here/../wine-ui/ui-lib.sh"
ui_init listsound "$xstate" "$case"
for f in OrvaneSetting.exe orvane-write-record.exe orvane-read-value.exe felica.dll; do
  [ -f "$UI_BIN/$f" ] || { echo "SKIP: $UI_BIN/$f not built"; exit 77; }
done

CARD=012E4CD82A1B3C4D03014B024F4993FF
CARD_KEY=49c1009  # its record key
KEY='HKLM\Software\Brindle\Orvane'
SOUND_KEY="$KEY\\sound"

# The test library and its card.
ui_install_felica
printf '%s' "$CARD" >"$UI_OUT/card"

# A short, valid wave file inside the prefix.
WAV='C:\orvane-test\ding.wav'
ui_make_wav

# reg query shows garbage for a REG_SZ of 0 bytes, and reg export drops the
# last character of a string stored without terminator: the value exactly as
# stored, in reg export's notation.
reg_value() {  # reg_value KEY NAME: the value, empty when missing
  local root=${1%%\\*} path=${1#*\\}
  ui_run "$UI_BIN/orvane-read-value.exe" "$root" "$path" "$2" | tr -d '\r' | head -n 1
}
expect_value() {  # expect_value KEY NAME VALUE (as reg export writes it)
  local is; is=$(reg_value "$1" "$2")
  [ "$is" = "$3" ] || ui_fail "$1 $2 is [$is], expected [$3]"
}
# Only the whole Orvane key is ours to remove: every case starts from a
# registry without records and without a sound key.
ui_run reg delete "$KEY" /f >/dev/null 2>&1

# The help file beside the program, as HtmlHelpW must be given it.
help_path=$(ui_winpath "$UI_BIN/Orvane.chm")
logged() { printf 'L"%s"' "${1//\\/\\\\}"; }  # a text as the relay trace shows it
help_calls() {  # the contexts HtmlHelpW was asked for with that file, in order
  ui_relay_calls hhctrl.ocx.HtmlHelpW | grep -F "$(logged "$help_path"),0000000f," | sed 's/.*,//'
}
all_help_calls() { ui_relay_calls hhctrl.ocx.HtmlHelpW | wc -l; }

run_program() {  # run_program DRIVER_SCRIPT: starts, drives, expects exit code 0
  UI_WINEDEBUG=trace+winmm UI_RELAY='winmm.sndPlaySoundW;hhctrl.ocx.HtmlHelpW;advapi32.RegSetValueExW' ui_start "$UI_BIN/OrvaneSetting.exe"
  ui_drive "$here/$1" || ui_fail "driver exit code $?"
  ui_wait_exit 10; local rc=$?
  [ $rc -eq 0 ] || ui_fail "exit code $rc, expected 0"
}

case $case in
  list)
    ui_run "$UI_BIN/orvane-write-record.exe" "$CARD" user secret HOST 0x10 5 >/dev/null ||
      ui_fail "cannot write the card's record"
    # Known comments; Wine returns sub-keys in name order.
    ui_run reg add "$KEY\\$CARD_KEY" /v comment /t REG_SZ /d '2024/01/02 03:04:05 社員証' /f >/dev/null
    ui_run reg add "$KEY\\1a2b3c4d" /v comment /t REG_SZ /d '2023/07/01 12:34:56 予備カード' /f >/dev/null
    ui_run reg add "$KEY\\7f000001" /v comment /t REG_SZ /d '2022/12/31 23:59:59 ' /f >/dev/null
    # A sub-key makes RegDeleteKeyW refuse the record.
    ui_run reg add "$KEY\\7f000001\\child" /f >/dev/null
    ui_run reg add "$KEY\\2000abcd" /v data /t REG_BINARY /d 00 /f >/dev/null  # no comment: not listed
    ui_run reg add "$SOUND_KEY" /v flag /t REG_DWORD /d 0 /f >/dev/null       # no comment: not listed
    run_program list.ui
    ui_run reg query "$KEY\\1a2b3c4d" >/dev/null 2>&1 && ui_fail "the deleted record's key is still there"
    for k in "$CARD_KEY" 7f000001; do
      ui_run reg query "$KEY\\$k" >/dev/null 2>&1 || ui_fail "record $k is gone, it was kept"
    done
    [ "$(help_calls | tr '\n' ' ')" = "00000008 " ] ||
      ui_fail "HtmlHelpW contexts [$(help_calls | tr '\n' ' ')] (of $(all_help_calls) calls), expected [00000008]"
    echo "PASS list: 3 rows, the card's row selected; IDS_DELETED after Yes, IDS_DELETE_FAILED refused, kept after No; help context 8; the read timer ticked under the list"
    ;;
  sound)
    ui_run "$UI_BIN/orvane-write-record.exe" "$CARD" user secret HOST 0x10 5 >/dev/null ||
      ui_fail "cannot write the card's record"
    sets() {  # "NAME TYPE BYTES;" of each RegSetValueExW call of the run, the
      # numbers as 32-bit hex: the relay prints 64-bit registers, whose upper
      # half a 32-bit argument leaves undefined.
      ui_relay_calls advapi32.RegSetValueExW |
        sed -n 's/^[0-9a-f]*,[0-9a-f]* L"\([a-z]*\)",00000000,\([0-9a-f]*\),[0-9a-f]*.*,\([0-9a-f]*\)$/\1 \2 \3/p' |
        while read -r name type count; do
          printf '%s %08x %08x;' "$name" $((0x$type & 0xffffffff)) $((0x$count & 0xffffffff))
        done
    }
    # Save with "しない" into a registry without the sound key.
    run_program sound-never.ui
    expect_value "$SOUND_KEY" flag dword:00000000
    expect_value "$SOUND_KEY" file '""'
    expect_value "$SOUND_KEY" sync dword:00000000
    # Flag, file, sync in this order; "file" of 0 bytes.
    want="flag 00000004 00000004;file 00000001 00000000;sync 00000004 00000004;"
    [ "$(sets)" = "$want" ] || ui_fail "RegSetValueExW calls [$(sets)], expected [$want]"
    [ -z "$(ui_relay_calls winmm.sndPlaySoundW)" ] || ui_fail "sndPlaySoundW without a sound chosen"
    # Save with the wav and the wait box; a read then plays it.
    run_program sound.ui
    expect_value "$SOUND_KEY" flag dword:00000001
    expect_value "$SOUND_KEY" file "\"${WAV//\\/\\\\}\""
    expect_value "$SOUND_KEY" sync dword:00000001
    # 2 bytes a character, no terminator.
    want="flag 00000004 00000004;file 00000001 $(printf '%08x' $((2 * ${#WAV})));sync 00000004 00000004;"
    [ "$(sets)" = "$want" ] || ui_fail "RegSetValueExW calls [$(sets)], expected [$want]"
    # The first read came before the save (mode 0: silent), the second after
    # it. The trace shows sndPlaySoundW's flags; the file it was given is
    # what winmm's own trace names when it plays (on a thread of its own).
    plays=$(ui_relay_calls winmm.sndPlaySoundW)
    [ "$(wc -l <<<"$plays")" -eq 1 ] && [ "${plays##*,}" = 00000001 ] ||
      ui_fail "sndPlaySoundW calls [$plays], expected one with SND_ASYNC (1) alone"
    played=$(sed -n 's/.*trace:winmm:proc_PlaySound SoundName=\(.*\) !\r\{0,1\}$/\1/p' "$UI_OUT/program.log")
    [ "$played" = "$(logged "$WAV")" ] || ui_fail "winmm played [$played], expected [$(logged "$WAV")]"
    [ "$(help_calls | tr '\n' ' ')" = "00000006 0000000a " ] ||
      ui_fail "HtmlHelpW contexts [$(help_calls | tr '\n' ' ')] (of $(all_help_calls) calls), expected [00000006 0000000a]"
    echo "PASS sound: no-key state, saves with しない and with $WAV and the wait box (flag, file of 2n bytes, sync), three IDS_SOUND_FILE_MISSING refusals; one sndPlaySoundW($WAV, SND_ASYNC) at the read after the save, the read timer ticking under the sound dialog; help contexts 6 and 10"
    ;;
  close-main)
    run_program close-main.ui
    echo "PASS close-main: the sound dialog outlived the main dialog, exit code 0 after it closed"
    ;;
  sound-typing)
    UI_RELAY='kernel32.FindFirstFileW;advapi32.RegSetValueExW' ui_start "$UI_BIN/OrvaneSetting.exe"
    ui_drive "$here/sound-typing.ui" || ui_fail "driver exit code $?"
    ui_wait_exit 10; rc=$?
    [ $rc -eq 0 ] || ui_fail "exit code $rc, expected 0"
    expect_value "$SOUND_KEY" flag dword:00000001
    expect_value "$SOUND_KEY" file "\"${WAV//\\/\\\\}\""
    expect_value "$SOUND_KEY" sync dword:00000001
    finds=$(ui_relay_calls KERNEL32.FindFirstFileW)  # the trace names the DLL in capitals
    grep -qi 'orvane-nohost' <<<"$finds" && ui_fail "FindFirstFileW was asked for the UNC path: [$finds]"
    grep -qF "$(logged "$WAV")" <<<"$finds" || ui_fail "FindFirstFileW calls [$finds], expected one for $WAV"
    echo "PASS sound-typing: the field stayed enabled while typed in and after the wait box's click; saved flag 1, $WAV, sync 1; the UNC path refused with IDS_SOUND_FILE_MISSING and never looked up"
    ;;
  close-order)
    run_program close-order.ui
    run_program restart.ui
    echo "PASS close-order: list, main, sound dialog closed in that order, exit code 0; the next start showed its window"
    ;;
  quit-in-box)
    run_program quit-in-box.ui
    run_program restart.ui
    echo "PASS quit-in-box: main dialog closed under the sound dialog's save message, exit code 0; the next start showed its window"
    ;;
  keys-under)
    run_program keys-under.ui
    echo "PASS keys-under: Esc closed the main dialog under the sound dialog's loop, then the sound dialog; exit code 0"
    ;;
  drop)
    dir='C:\orvane-test\'
    long=$dir$(printf 'a%.0s' $(seq 240)).wavx.wav  # cut at 259 it would still end in .wav
    [ ${#long} -eq 264 ] || ui_fail "the long name has ${#long} characters"
    UI_RELAY='user32.CreateDialogParamW;user32.ChangeWindowMessageFilterEx;user32.ChangeWindowMessageFilter;shell32.DragAcceptFiles;shell32.DragQueryFileW;shell32.DragFinish' \
      ui_start "$UI_BIN/OrvaneSetting.exe"
    ui_drive - <<UI || ui_fail "driver exit code $?"
timeout 5000
window {@IDD_MAIN} timeout=30000
drop dialog "${dir//\\/\\\\}ding.wav"
click IDC_SOUND
window {@IDD_SOUND}
drop dialog "${dir//\\/\\\\}ding.wav"
text IDC_SOUND_FILE "${dir//\\/\\\\}ding.wav"
drop dialog "${long//\\/\\\\}"
msgbox {@IDS_CAPTION}
msgbox-text {@IDS_SOUND_FILE_MISSING}
msgbox-press 1
text IDC_SOUND_FILE "${dir//\\/\\\\}ding.wav"
UI
    # The long name was refused whole (IDS_SOUND_FILE_MISSING) and the field kept the short one;
    # the program is ended by the trap.
    returns() {  # returns FUNC: "ARGS -> RETVAL" of every traced call of FUNC (none nests)
      paste -d '>' <(ui_relay_calls "$1") \
        <(sed -n "s/.*Ret  ${1//./\\.}() retval=\([0-9a-f]*\) ret=.*/ \1/p" "$UI_OUT/program.log") | sed 's/>/ ->/'
    }
    sound_id=$(ui_res_id IDD_SOUND) || ui_fail "no IDD_SOUND in the resource map"
    sound_template=$(printf %x "$sound_id")
    sound_hwnd=$(returns user32.CreateDialogParamW | sed -n "s/^[0-9a-f]*,0*$sound_template,.* -> //p")
    [ -n "$sound_hwnd" ] || ui_fail "no CreateDialogParamW of the sound dialog (IDD_SOUND) in the trace"
    filters=$(ui_relay_calls user32.ChangeWindowMessageFilterEx | tr '\n' ';')
    want="$sound_hwnd,00000233,00000001,00000000;$sound_hwnd,00000049,00000001,00000000;"
    [ "$filters" = "$want" ] || ui_fail "ChangeWindowMessageFilterEx calls [$filters], expected [$want]"
    [ -z "$(ui_relay_calls user32.ChangeWindowMessageFilter)" ] || ui_fail "process-wide ChangeWindowMessageFilter called"
    # Two drops reached the sound dialog, each queried for its length, then
    # copied whole into a buffer of length + 1, then freed; the one sent to
    # the main dialog was never touched.
    queries=$(returns shell32.DragQueryFileW | sed 's/^[0-9a-f]*,//' | tr '\n' ';')
    want="00000000,00000000,00000000 -> 00000017;00000000,[0-9a-f]*,00000018 -> 00000017;00000000,00000000,00000000 -> 00000108;00000000,[0-9a-f]*,00000109 -> 00000108;"
    [[ "$queries" =~ ^$want$ ]] || ui_fail "DragQueryFileW calls [$queries], expected [$want]"
    [ "$(ui_relay_calls shell32.DragFinish | wc -l)" -eq 2 ] || ui_fail "DragFinish calls: $(ui_relay_calls shell32.DragFinish | wc -l), expected 2"
    echo "PASS drop: the filter opened on the sound dialog alone for WM_DROPFILES and 0x49; a drop on the main dialog left alone; a 23- and a 264-character name queried whole"
    ;;
  *) echo "unknown case $case"; exit 2 ;;
esac
exit 0
