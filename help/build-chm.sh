#!/usr/bin/env bash
# build-chm.sh HELP_SOURCE_DIR WORK_DIR OUTPUT.chm RESOURCE_MAP.json [SCREENSHOT_DIR]
# Builds Orvane.chm: compiles chmcmd from Free Pascal's chm sources with the
# context map fixed (Debian's chmcmd 3.2.2 stores the build folder's absolute
# path in it, so no context resolves on another machine), stages the topics
# in Shift-JIS (the Japanese help viewer reads the contents, the index and the
# titles in the ANSI code page 932) with every "{@SYMBOL}" filled from the
# programs' resource map (resource-names.py) and compiles the project.
set -euo pipefail
src=$(cd "$1" && pwd)
work=$2
out=$3
resource_map=$4
shots=${5:-}
fpcsrc=${ORVANE_FPC_CHM_SRC:-/usr/share/fpcsrc/3.2.2/packages/chm/src}

mkdir -p "$work/tool" "$work/units" "$work/stage/images"
work=$(cd "$work" && pwd)

# The mended compiler, rebuilt only when its inputs change.
tool=$work/tool/chmcmd
if [ ! -x "$tool" ] || [ "$src/chmcmd/chmcmd.pas" -nt "$tool" ] || [ "$0" -nt "$tool" ]; then
  [ -f "$fpcsrc/chmfilewriter.pas" ] || { echo "build-chm: $fpcsrc/chmfilewriter.pas missing (fpc-source-3.2.2)" >&2; exit 1; }
  # The one change: AddContext gets the name as listed in the project.
  sed 's|Writer.AddContext(nd.ContextNumber,IncludeTrailingPathDelimiter(FBasePath)+files\[i\]);|Writer.AddContext(nd.ContextNumber,files[i]);|' \
    "$fpcsrc/chmfilewriter.pas" > "$work/tool/chmfilewriter.pas"
  if cmp -s "$fpcsrc/chmfilewriter.pas" "$work/tool/chmfilewriter.pas"; then
    echo "build-chm: the context-map line of chmfilewriter.pas was not found; cannot mend chmcmd" >&2
    exit 1
  fi
  cp "$src/chmcmd/chmcmd.pas" "$work/tool/"
  fpc -v0 -O2 -Fu"$work/tool" -FU"$work/units" -o"$tool" "$work/tool/chmcmd.pas" >"$work/tool/fpc.log" 2>&1 ||
    { cat "$work/tool/fpc.log" >&2; exit 1; }
fi

# Topics, contents, index and project in code page 932.
stage=$work/stage
rm -f "$stage"/*.htm "$stage"/*.hh? "$stage"/*.css "$stage"/images/*
for f in "$src"/*.htm "$src"/*.hhc "$src"/*.hhk; do
  python3 "$src/resource-names.py" "$resource_map" "$f" >"$stage/$(basename "$f").utf8"
  sed 's/charset=utf-8/charset=shift_jis/' "$stage/$(basename "$f").utf8" | iconv -f UTF-8 -t CP932 > "$stage/$(basename "$f")"
  rm "$stage/$(basename "$f").utf8"
done
iconv -f UTF-8 -t CP932 "$src/orvane.hhp" > "$stage/orvane.hhp"
iconv -f UTF-8 -t CP932 "$src/orvane.css" > "$stage/orvane.css"

# Screenshots of the dialogs from the end-to-end tests; a plain placeholder
# where a test has not left one yet.
for name in setting-main setting-card-list setting-sound; do
  if [ -n "$shots" ] && [ -f "$shots/$name.png" ]; then
    cp "$shots/$name.png" "$stage/images/$name.png"
  else
    python3 "$src/placeholder-png.py" "$stage/images/$name.png"
  fi
done

(cd "$stage" && "$tool" orvane.hhp) >"$work/chmcmd.log" 2>&1 || { cat "$work/chmcmd.log" >&2; exit 1; }
cp "$stage/Orvane.chm" "$out"
