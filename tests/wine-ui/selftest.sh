#!/usr/bin/env bash
# The UI driver against the test dialog under Wine.
#   selftest.sh XVFB_STATE_DIR CASE
#   all-steps     every kind of step passes; exit code, screenshots and a
#                 relay trace seen from the harness agree
#   escape        a key reaches the dialog's keyboard handling; the debug
#                 line of the program is seen from the harness
#   driver-fails  wrong expectations (a table) make the driver fail on the
#                 right line with exit 1; a bad script is refused (exit 2)
#                 before any step runs; resource map symbols resolve as ids
#                 and "{@SYMBOL}" texts, an unknown one or a wrong filler
#                 count is refused
# Exit 0 pass, 1 fail, 77 skip (the Windows build is missing).
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
xstate=$1 case=$2
# shellcheck source=ui-lib.sh
. "$here/ui-lib.sh"
ui_init selftest "$xstate" "$case"
dialog=$UI_BIN/orvane-ui-test-dialog.exe
[ -f "$dialog" ] || { echo "SKIP: $dialog not built"; exit 77; }

case $case in
  all-steps)
    UI_RELAY=user32.MessageBoxW ui_start "$dialog"
    ui_drive "$here/selftest/all-steps.ui" || ui_fail "driver exit code $?"
    ui_wait_exit 10; rc=$?
    [ $rc -eq 3 ] || ui_fail "the harness saw exit code $rc, expected 3"
    calls=$(ui_relay_calls user32.MessageBoxW | wc -l)
    [ "$calls" -eq 2 ] || ui_fail "$calls MessageBoxW calls in the relay trace, expected 2"
    for shot in msgbox-screen msgbox-box dialog; do
      [ -s "$UI_OUT/$shot.png" ] || ui_fail "no screenshot $shot.png"
    done
    size=$(identify -format '%wx%h' "$UI_OUT/msgbox-screen.png")
    [ "$size" = 1024x768 ] || ui_fail "screen shot is $size, expected the screen's 1024x768"
    # The message box's capture is its own rectangle, smaller than the dialog's.
    box=$(identify -format '%w' "$UI_OUT/msgbox-box.png") dlg=$(identify -format '%w' "$UI_OUT/dialog.png")
    { [ "$box" -gt 50 ] && [ "$box" -lt "$dlg" ]; } || ui_fail "message box capture ${box} px wide, dialog ${dlg} px"
    echo "PASS all-steps: $(grep -c '^ok ' "$UI_OUT/driver.log") steps, exit code 3, 2 MessageBoxW calls traced; screenshots in $UI_OUT"
    ;;
  escape)
    UI_WINEDEBUG=warn+seh ui_start "$dialog"
    ui_drive "$here/selftest/escape.ui" || ui_fail "driver exit code $?"
    ui_wait_exit 10; rc=$?
    [ $rc -eq 0 ] || ui_fail "the harness saw exit code $rc, expected 0"
    lines=$(ui_debug_lines)
    [ "$lines" = 'closed by button\n' ] || ui_fail "debug lines [$lines], expected [closed by button\\n]"
    echo "PASS escape: IDCANCEL, exit code 0, debug line [$lines]"
    ;;
  driver-fails)
    failures=0
    # NAME|EXIT|LINE|FRAGMENT OF THE REPORT|SCRIPT (steps separated by ';')
    table=$(cat <<'T'
wrong-text|1|3|actual:   "こんにちは、太郎"|window "UI テスト ダイアログ" timeout=30000;set-text 100 "太郎";text 102 "こんにちは、花子"
wrong-check|1|2|actual:   unchecked|window "UI テスト ダイアログ";checked 103
wrong-enabled|1|2|actual:   disabled|window "UI テスト ダイアログ";enabled 101
wrong-visible|1|2|actual:   hidden|window "UI テスト ダイアログ";visible 110
wrong-combo|1|2|actual:   ["赤" "緑" "青"]|window "UI テスト ダイアログ";combo-items 104 赤 青 緑
missing-entry|1|2|entries ["赤" "緑" "青"]|window "UI テスト ダイアログ";select 104 黄
wrong-cell|1|2|actual:   "ベータ"|window "UI テスト ダイアログ";lv-cell 106 1 0 beta
wrong-selection|1|2|actual:   rows []|window "UI テスト ダイアログ";lv-selected 106 1
row-out-of-range|1|2|actual:   3 rows|window "UI テスト ダイアログ";lv-select 106 3
text-never-comes|1|2|actual:   "完了" after 400 ms|window "UI テスト ダイアログ";wait-text 111 "永遠" timeout=400
no-such-control|1|2|no control with id 999|window "UI テスト ダイアログ";text 999 ""
no-such-window|1|1|no visible window "Orvane 設定"|window "Orvane 設定" timeout=300
window-present|1|2|it appeared|window "UI テスト ダイアログ";no-window "UI テスト ダイアログ" 3000
no-msgbox-came|1|3|actual:   none|window "UI テスト ダイアログ";click 113;msgbox 確認 timeout=300
msgbox-came|1|3|message box "確認"|window "UI テスト ダイアログ";click 108;no-msgbox 1000
wrong-msgbox-text|1|4|actual:   "保存しますか?"|window "UI テスト ダイアログ";click 108;msgbox 確認;msgbox-text "削除しますか?"
wrong-buttons|1|4|actual:   buttons [6 7]|window "UI テスト ダイアログ";click 108;msgbox 確認;msgbox-buttons 1
wrong-exit-code|1|3|actual:   exit code 3|window "UI テスト ダイアログ";close;exit 0
still-running|1|2|actual:   still running|window "UI テスト ダイアログ";exit 0 timeout=300
wrong-focus|1|2|actual:   focus on id 100|window "UI テスト ダイアログ";focused 104
wrong-limit|1|2|actual:   20 characters|window "UI テスト ダイアログ";limit 100 21
host-fails|1|2|actual:   exit code 1|window "UI テスト ダイアログ";host /bin/false
bad-quote|2|2|script line 2: unterminated quote|window "UI テスト ダイアログ";text 102 "open
unknown-step|2|2|script line 2: unknown step "press"|window "UI テスト ダイアログ";press 1
bad-option|2|1|no option class for msgbox|msgbox 確認 class=Edit
map-id|1|2|no control with id 1000|window "UI テスト ダイアログ";text IDC_READ ""
map-text|1|2|expected: "OrvaneChecker"|window "UI テスト ダイアログ";text 102 "{@IDS_APP_TITLE}"
map-unknown|2|2|no text for IDS_NONE in the resource map|window "UI テスト ダイアログ";text 102 "{@IDS_NONE}"
map-more-fillers|2|2|IDS_APP_TITLE has fewer %s than fillers|window "UI テスト ダイアログ";text 102 "{@IDS_APP_TITLE|x}"
map-unfilled|2|2|IDS_READER_READY has more %s than fillers|window "UI テスト ダイアログ";text 102 "{@IDS_READER_READY}"
T
)
    while IFS='|' read -r name want line fragment script; do
      [ -n "$name" ] || continue
      ui_start "$dialog"
      out=$(printf '%s\n' "$script" | tr ';' '\n' | ui_drive -); rc=$?
      ui_cleanup
      why=
      if [ $rc -ne "$want" ]; then why="exit code $rc, expected $want"
      elif [ "$want" = 1 ] && ! grep -q "^FAIL line $line: " <<<"$out"; then why="no \"FAIL line $line\""
      elif ! grep -qF -- "$fragment" <<<"$out"; then why="no \"$fragment\" in the report"
      elif [ "$want" = 2 ] && grep -q '^ok ' <<<"$out"; then why="steps ran before the script was refused"
      elif [ "$want" = 1 ] && [ "$(grep -c '^ok ' <<<"$out")" -ne $((line - 1)) ]; then why="not exactly the steps before line $line passed"
      fi
      if [ -n "$why" ]; then
        echo "FAIL driver-fails/$name: $why"; printf '%s\n' "$out" | sed 's/^/    /'
        failures=$((failures + 1))
      else
        echo "pass $name: $(grep -m1 -E '^(  actual|  [a-z]|script line)' <<<"$out" | sed 's/^ *//')"
      fi
    done <<<"$table"
    # No script at all is a usage error.
    WINEDEBUG=-all wine "$UI_BIN/orvane-ui-driver.exe" >/dev/null 2>&1; rc=$?
    [ $rc -eq 2 ] || { echo "FAIL driver-fails/usage: exit code $rc, expected 2"; failures=$((failures + 1)); }
    [ $failures -eq 0 ] || exit 1
    echo "PASS driver-fails"
    ;;
  *) echo "unknown case $case"; exit 2 ;;
esac
exit 0
