#!/usr/bin/env bash
# unmended.sh STAGE_DIR WORK_DIR RESOURCE_MAP.json: compiles the staged help project with
# Debian's own chmcmd and expects check_chm.py to refuse the result (its
# context map holds absolute paths): the check sees the fault it is there for.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
[ -f "$1/orvane.hhp" ] || { echo "SKIP: no staged help project in $1 (build the win64 preset)"; exit 77; }
rm -rf "$2" && mkdir -p "$2" && cp -r "$1"/. "$2"/
rm -f "$2/Orvane.chm"
(cd "$2" && chmcmd orvane.hhp >chmcmd.log 2>&1)
exec /usr/bin/python3 "$here/check_chm.py" --expect-fault "$3" "$2/Orvane.chm"
