#!/usr/bin/env bash
# build-msi.sh BIN_DIR OUTPUT.msi [VERSION]
# Builds the 32-bit package from installer/orvane.wxs over the programs in
# BIN_DIR. VERSION (a.b.c) defaults to the one in version.h; the install
# tests pass others to try an upgrade and a downgrade.
# wixl cannot take Japanese text (it crashes), so the shortcut is built with
# an ASCII placeholder and renamed with msibuild in code page 932; the name
# is read back to make sure it survived.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
bin=$1
out=$2
version=${3:-}
if [ -z "$version" ]; then
  field() { sed -n "s/^#define ORVANE_VERSION_$1 \([0-9]*\)$/\1/p" "$root/version.h"; }
  version="$(field MAJOR).$(field MINOR).$(field PATCH)"
fi
[[ $version =~ ^[0-9]+\.[0-9]+\.[0-9]+$ ]] || { echo "build-msi: bad version '$version'" >&2; exit 1; }
for f in OrvaneSetting.exe OrvaneChecker.exe orvane-card.exe Orvane.chm; do
  [ -f "$bin/$f" ] || { echo "build-msi: $bin/$f missing" >&2; exit 1; }
done

shortcut_name='Orvane 設定'
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
# wixl takes source paths relative to where it runs, not absolute ones, and
# leaves an Icon folder there: it runs in the scratch folder, over links.
ln -s "$root" "$tmp/src"
ln -s "$(cd "$bin" && pwd)" "$tmp/bin"
(cd "$tmp" && wixl -a x86 -D Version="$version" -D BinDir=bin -D SourceDir=src \
  -o orvane.msi src/installer/orvane.wxs)
# A folder outside Program Files inherits its parent's permissions (C:\
# lets every authenticated user change what is in it), and the settings
# program runs elevated, the checker at each logon: a package installed there
# would let a user replace them. Once the folders are resolved, a first
# install into any other folder ends with an error (custom action type 19;
# wixl has neither an error action nor permissions). ".." and "/" could
# climb out of a folder that starts right.
refuse_condition='NOT Installed AND (INSTALLDIR >< ".." OR INSTALLDIR >< "/" OR NOT (INSTALLDIR ~<< ProgramFilesFolder OR (ProgramFiles64Folder AND INSTALLDIR ~<< ProgramFiles64Folder)))'
refuse_message='Orvane installs only into a folder under Program Files, where only administrators can change the programs; [INSTALLDIR] is not one.'
msibuild "$tmp/orvane.msi" -q "INSERT INTO CustomAction (Action, Type, Target) VALUES ('RefuseInstallDir', 19, '$refuse_message')"
msibuild "$tmp/orvane.msi" -q "INSERT INTO InstallExecuteSequence (Action, Condition, Sequence) VALUES ('RefuseInstallDir', '$refuse_condition', 1001)"
# The event source: EventMessageFile is REG_EXPAND_SZ, as Event Viewer
# expects ("#%" in the Registry table; wixl writes REG_SZ), and the key goes
# with the package (a row named "-" removes it with all its values on
# uninstall, whatever else a tool may have put there). Without a trailing
# backslash, as Windows names the key (wixl adds one).
event_key='SYSTEM\CurrentControlSet\Services\EventLog\Application\Orvane'
msibuild "$tmp/orvane.msi" -q "UPDATE Registry SET \`Key\` = '$event_key' WHERE Component_ = 'EventSource'"
msibuild "$tmp/orvane.msi" -q "UPDATE Registry SET Value = '#%[INSTALLDIR]OrvaneSetting.exe;[INSTALLDIR]OrvaneChecker.exe' WHERE Component_ = 'EventSource' AND Name = 'EventMessageFile'"
msibuild "$tmp/orvane.msi" -q "INSERT INTO Registry (Registry, Root, \`Key\`, Name, Component_) VALUES ('EventSourceKey', 2, '$event_key', '-', 'EventSource')"
printf '\r\n\r\n932\t_ForceCodepage\r\n' > "$tmp/_ForceCodepage.idt"
msibuild "$tmp/orvane.msi" -i "$tmp/_ForceCodepage.idt"
msibuild "$tmp/orvane.msi" -q "UPDATE Shortcut SET Name = '$shortcut_name' WHERE Shortcut = 'SettingShortcut'"
msibuild "$tmp/orvane.msi" -s "Orvane $version" "Brindle" "Intel;1041"

got=$(msiinfo export "$tmp/orvane.msi" Shortcut | awk -F'\t' '$1 == "SettingShortcut" { print $3 }')
if [ "$got" != "$shortcut_name" ]; then
  echo "build-msi: the shortcut reads back as '$got', expected '$shortcut_name'" >&2
  exit 1
fi
mv "$tmp/orvane.msi" "$out"
