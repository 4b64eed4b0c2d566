#!/usr/bin/env bash
# shellcheck disable=SC2015  # "A && pass || fail": pass only echoes, it cannot fail
# install-wine.sh BIN_DIR WORK_DIR
# The package built from installer/orvane.wxs over the 64-bit twins of the
# programs (the 32-bit ones do not run on this Wine), installed in a Wine
# prefix of its own: files and shortcut in place, Add/Remove Programs entry,
# no Run value, an upgrade in place, a downgrade refused, uninstall removes
# files and shortcut and leaves the login records; the event source
# registered with the install and removed with it; an install into a folder
# outside Program Files refused, one into another folder under it done.
# Wine cuts exit codes to 8 bits: results are read from files and registry.
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
bin=$1
work=$2
for f in OrvaneSetting.exe OrvaneChecker.exe orvane-card.exe Orvane.chm; do
  [ -f "$bin/$f" ] || { echo "SKIP: $bin/$f not built (build the win64 preset)"; exit 77; }
done
command -v wixl >/dev/null || { echo "FAIL: wixl missing (./orvane.sh setup)"; exit 1; }

rm -rf "$work" && mkdir -p "$work"
export ORVANE_WINEPREFIX=$root/build/wineprefix-msi
wine_run() { "$root/tests/wine/wine-run.sh" "$@"; }
failures=0
pass() { echo "PASS $*"; }
fail() { echo "FAIL $*"; failures=$((failures + 1)); }

# Versions around the one in version.h: older, current, newer.
current=$(sed -n 's/^#define ORVANE_VERSION_\(MAJOR\|MINOR\|PATCH\) \([0-9]*\)$/\2/p' "$root/version.h" | paste -sd.)
IFS=. read -r major minor patch <<<"$current"
newer="$major.$minor.$((patch + 1))"
for v in "$current" "$newer"; do
  "$root/installer/build-msi.sh" "$bin" "$work/orvane-$v.msi" "$v" || { echo "FAIL: package $v not built"; exit 1; }
done

wine_run wineboot -i >/dev/null 2>&1
WINEDEBUG=-all wineserver -w
pf=$(WINEDEBUG=-all wine_run cmd /c 'echo %ProgramFiles(x86)%' 2>/dev/null | tr -d '\r')
dir="$pf\\Orvane"
unix_dir=$(WINEDEBUG=-all wine_run winepath -u "$dir" 2>/dev/null)
uninstall='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall'
record='HKLM\SOFTWARE\Brindle\Orvane\2a5c0e1f'

# A previous run's product goes first; a record exists before installing.
for code in $(wine_run reg query "$uninstall" /reg:32 2>/dev/null | tr -d '\r' | grep -o '{[0-9A-F-]*}$'); do
  if wine_run reg query "$uninstall\\$code" /v Publisher /reg:32 2>/dev/null | grep -q Brindle; then
    wine_run msiexec /x "$code" /qn >/dev/null 2>&1
  fi
done
wine_run reg add "$record" /v comment /t REG_SZ /d '2026/01/02 03:04:05 seeded' /f /reg:32 >/dev/null 2>&1

installed_versions() {
  local code
  for code in $(wine_run reg query "$uninstall" /reg:32 2>/dev/null | tr -d '\r' | grep -o '{[0-9A-F-]*}$'); do
    wine_run reg query "$uninstall\\$code" /reg:32 2>/dev/null | tr -d '\r' |
      awk '$1 == "Publisher" { p = $3 } $1 == "DisplayVersion" { v = $3 } END { if (p == "Brindle") print v }'
  done | sort | paste -sd' '
}
arp_value() {
  local code
  for code in $(wine_run reg query "$uninstall" /reg:32 2>/dev/null | tr -d '\r' | grep -o '{[0-9A-F-]*}$'); do
    wine_run reg query "$uninstall\\$code" /v "$1" /reg:32 2>/dev/null | tr -d '\r' |
      sed -n "s/^ *$1 *REG_[A-Z_]* *//p"
  done | head -1
}

files_present() {
  local f missing=""
  for f in OrvaneSetting.exe OrvaneChecker.exe orvane-card.exe Orvane.chm; do
    cmp -s "$unix_dir/$f" "$bin/$f" || missing="$missing $f"
  done
  [ -z "$missing" ] || { echo "missing or different:$missing"; return 1; }
}

# A folder outside Program Files (or one that climbs out of it) is refused:
# nothing installed, nothing registered. Wine does not enforce permissions,
# so the refusal is what is tested here.
msi_w=$(WINEDEBUG=-all wine_run winepath -w "$work/orvane-$current.msi")
for outside in 'C:\Orvane' "$pf\\..\\Orvane" 'C:/Program Files (x86)/Orvane'; do
  unix_outside=$(WINEDEBUG=-all wine_run winepath -u "$outside" 2>/dev/null)
  rm -rf "$unix_outside"  # what an earlier run may have left
  wine_run msiexec /i "$msi_w" /qn "INSTALLDIR=$outside" >/dev/null 2>&1
  if [ -z "$(installed_versions)" ] && [ ! -e "$unix_outside/OrvaneSetting.exe" ] && [ ! -e "$unix_dir" ]; then
    pass "install into $outside refused: nothing installed"
  else
    fail "install into $outside: installed versions '$(installed_versions)', files: $(ls "$unix_outside" 2>/dev/null | paste -sd,)"
    code=$(msiinfo export "$work/orvane-$current.msi" Property | tr -d '\r' | awk -F'\t' '$1 == "ProductCode" { print $2 }')
    wine_run msiexec /x "$code" /qn >/dev/null 2>&1
  fi
done
# Another folder under Program Files, named in any case, is accepted.
inside="$(echo "$pf" | tr '[:upper:]' '[:lower:]')\\Brindle\\Orvane"
wine_run msiexec /i "$msi_w" /qn "INSTALLDIR=$inside" >/dev/null 2>&1
unix_inside=$(WINEDEBUG=-all wine_run winepath -u "$inside" 2>/dev/null)
if [ "$(installed_versions)" = "$current" ] && cmp -s "$unix_inside/OrvaneSetting.exe" "$bin/OrvaneSetting.exe"; then
  pass "install into $inside: done"
else fail "install into $inside: installed versions '$(installed_versions)', no OrvaneSetting.exe there"; fi
code=$(msiinfo export "$work/orvane-$current.msi" Property | tr -d '\r' | awk -F'\t' '$1 == "ProductCode" { print $2 }')
wine_run msiexec /x "$code" /qn >/dev/null 2>&1
[ -z "$(installed_versions)" ] || fail "install into $inside: not removed"

# Install.
wine_run msiexec /i "$(WINEDEBUG=-all wine_run winepath -w "$work/orvane-$current.msi")" /qn >/dev/null 2>&1
if out=$(files_present); then pass "install: the four files in $dir"; else fail "install: $out"; fi
# Windows puts it into the all-users menu (ALLUSERS=1, checked statically);
# this Wine resolves ProgramMenuFolder to the user's menu.
shortcut() { find "$ORVANE_WINEPREFIX/drive_c" -path '*/Start Menu/Programs/Orvane 設定.lnk' 2>/dev/null | head -1; }
link=$(shortcut)
if [ -n "$link" ] && LC_ALL=C grep -aq 'O.r.v.a.n.e.S.e.t.t.i.n.g...e.x.e\|OrvaneSetting.exe' "$link"; then
  pass "install: Start-menu shortcut '${link#"$ORVANE_WINEPREFIX/"}' to OrvaneSetting.exe"
else fail "install: no shortcut 'Orvane 設定.lnk' to OrvaneSetting.exe (${link:-none})"; fi
[ "$(installed_versions)" = "$current" ] && pass "install: Add/Remove Programs lists Orvane $current" ||
  fail "install: installed versions '$(installed_versions)', expected '$current'"
# Add/Remove Programs shows the icon the installer kept as the product icon.
icon=$(wine_run reg query 'HKLM\Software\Classes\Installer\Products' /s 2>/dev/null | tr -d '\r' |
  sed -n 's/^ *ProductIcon *REG_SZ *//p' | grep -i 'orvane.ico$' | head -1)
if [ "$(arp_value Publisher)" = "Brindle" ] && [ -n "$icon" ] &&
  cmp -s "$(WINEDEBUG=-all wine_run winepath -u "$icon" 2>/dev/null)" "$root/setting/orvane.ico"; then
  pass "install: publisher Brindle, product icon $icon"
else fail "install: publisher '$(arp_value Publisher)', product icon '$icon'"; fi
if wine_run reg query 'HKCU\Software\Microsoft\Windows\CurrentVersion\Run' /v OrvaneChecker >/dev/null 2>&1; then
  fail "install: a Run value OrvaneChecker exists"
else pass "install: no Run value written"; fi

# The event source, naming both installed programs.
event_key='HKLM\SYSTEM\CurrentControlSet\Services\EventLog\Application\Orvane'
event_value() {
  wine_run reg query "$event_key" /v "$1" 2>/dev/null | tr -d '\r' | sed -n "s/^ *$1 *//p"
}
want="REG_EXPAND_SZ    $dir\OrvaneSetting.exe;$dir\OrvaneChecker.exe"
got=$(event_value EventMessageFile)
[ "$got" = "$want" ] && pass "install: event source, EventMessageFile $got" ||
  fail "install: EventMessageFile '$got', expected '$want'"
got=$(event_value TypesSupported)
[ "$got" = "REG_DWORD    0x7" ] && pass "install: event source, TypesSupported $got" ||
  fail "install: TypesSupported '$got', expected 'REG_DWORD    0x7'"

# Upgrade in place.
echo stale > "$work/stale"
wine_run msiexec /i "$(WINEDEBUG=-all wine_run winepath -w "$work/orvane-$newer.msi")" /qn >/dev/null 2>&1
[ "$(installed_versions)" = "$newer" ] && pass "upgrade: $current replaced by $newer (one entry)" ||
  fail "upgrade: installed versions '$(installed_versions)', expected '$newer'"
if out=$(files_present); then pass "upgrade: files in place"; else fail "upgrade: $out"; fi

# Downgrade refused.
wine_run msiexec /i "$(WINEDEBUG=-all wine_run winepath -w "$work/orvane-$current.msi")" /qn >/dev/null 2>&1
[ "$(installed_versions)" = "$newer" ] && pass "downgrade: $current refused over $newer" ||
  fail "downgrade: installed versions '$(installed_versions)', expected '$newer'"

# Uninstall.
code=$(msiinfo export "$work/orvane-$newer.msi" Property | tr -d '\r' | awk -F'\t' '$1 == "ProductCode" { print $2 }')
wine_run msiexec /x "$code" /qn >/dev/null 2>&1
left=$(find "$unix_dir" -mindepth 1 -printf "%f\n" 2>/dev/null | paste -sd,)
[ -z "$left" ] && pass "uninstall: program folder empty or gone" || fail "uninstall: left in $dir: $left"
[ -z "$(shortcut)" ] && pass "uninstall: shortcut removed" || fail "uninstall: shortcut still there"
[ -z "$(installed_versions)" ] && pass "uninstall: no Add/Remove Programs entry" ||
  fail "uninstall: still listed: $(installed_versions)"
if wine_run reg query "$event_key" >/dev/null 2>&1; then fail "uninstall: the event source's key is left"
else pass "uninstall: the event source's key removed"; fi
if wine_run reg query "$record" /v comment /reg:32 >/dev/null 2>&1; then pass "uninstall: the login record is left"
else fail "uninstall: the login record was removed"; fi
wine_run reg delete "$record" /f /reg:32 >/dev/null 2>&1
WINEDEBUG=-all wineserver -w

[ "$failures" -eq 0 ]
