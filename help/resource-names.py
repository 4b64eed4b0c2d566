#!/usr/bin/env python3
"""Fills the resource texts into a help source: "{@SYMBOL}" becomes the text
the resource map gives the symbol, as a reader sees it on the screen (no
"(&X)" access key, no "..." of a button that opens a dialog, lines joined),
HTML-escaped; "{@SYMBOL|A|B}" fills its %s places with A, then B. So the help
names each button, dialog and message exactly as the programs show it.
Usage: resource-names.py resource_map.json SOURCE > OUTPUT
An unknown symbol or a wrong count of fillers ends with exit 1."""
import html
import json
import re
import sys


def shown(text):
    text = re.sub(r"\(&.\)", "", text).replace("&", "")
    if text.endswith("..."):
        text = text[:-3]
    return text.replace("\r\n", "").replace("\n", "")


def fill(entries, where, match):
    symbol, *fillers = match.group(1).split("|")
    if symbol not in entries or "text" not in entries[symbol]:
        raise SystemExit("%s: no text for %s in the resource map" % (where, symbol))
    parts = shown(entries[symbol]["text"]).split("%s")
    if len(parts) != len(fillers) + 1:
        raise SystemExit("%s: %s has %d %%s, given %d fillers" % (where, symbol, len(parts) - 1, len(fillers)))
    text = parts[0]
    for filler, part in zip(fillers, parts[1:]):
        text += filler + part
    return html.escape(text, quote=False)


def main(map_path, source):
    entries = json.load(open(map_path, encoding="utf-8"))
    text = open(source, encoding="utf-8").read()
    sys.stdout.write(re.sub(r"\{@([^{}]+)\}", lambda m: fill(entries, source, m), text))


if __name__ == "__main__":
    main(sys.argv[1], sys.argv[2])
