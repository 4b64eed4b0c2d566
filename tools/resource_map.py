#!/usr/bin/env python3
"""One map of both programs' resources, made from their resource headers and
scripts at build time, so that tests, UI scripts, the demo and the help
pages name a control, dialog or string by its symbol instead of restating
its number or text.

Usage: resource_map.py OUTDIR PROGRAM:RESOURCE_H[,MORE_H...]:SCRIPT.rc [...]

Reads every `#define SYMBOL NUMBER` of the headers, the string table entries
`X(NUMBER, "text")`, and in the script each dialog's caption, each control's
symbol and caption and each STRINGTABLE line. Writes into OUTDIR:
  resource_map.json   {SYMBOL: {"program", "kind", "id", "text"?, "dialog"?}}
  resource_map.names  SYMBOL NUMBER ["text"]: for the UI driver (--names)
  resource_map.h      ORVANE_CAPTION(SYMBOL): the caption as a u"" literal
A symbol defined twice with different numbers, a control or string whose
symbol has no number, or a text without its symbol ends with exit 1."""
import json
import os
import re
import sys

DEFINE = re.compile(r"^\s*#define\s+([A-Za-z_]\w*)\s+\(?(-?(?:0x[0-9A-Fa-f]+|\d+))\)?\s*(?://.*)?$")
TEXT_DEFINE = re.compile(r'^\s*#define\s+([A-Za-z_]\w*)\s+("(?:[^"\\]|\\.)*")\s*$')
STRING_ENTRY = re.compile(r'X\(\s*(\d+)\s*,\s*("(?:[^"\\]|\\.)*")\s*\)')
DIALOG = re.compile(r"^\s*([A-Za-z_]\w*)\s+DIALOGEX?\b")
CAPTION = re.compile(r'^\s*CAPTION\s+("(?:[^"]|"")*")')
# KEYWORD "text", SYMBOL, ...   (CONTROL "text", SYMBOL, class, ... too)
TEXT_CONTROL = re.compile(r'^\s*([A-Z]+)\s+("(?:[^"]|"")*")\s*,\s*([A-Za-z_]\w*)\s*,')
# EDITTEXT SYMBOL, ...   COMBOBOX SYMBOL, ...
BARE_CONTROL = re.compile(r"^\s*(EDITTEXT|COMBOBOX|LISTBOX|SCROLLBAR)\s+([A-Za-z_]\w*)\s*,")
ICON = re.compile(r"^\s*([A-Za-z_]\w*)\s+ICON\b")
TABLE_LINE = re.compile(r"^\s*([A-Za-z_]\w*)\s+(\S.*?)\s*$")

C_ESCAPES = {"n": "\n", "r": "\r", "t": "\t", "\\": "\\", '"': '"', "0": "\0"}


class MapError(Exception):
    pass


def c_string(literal):
    """The text of a C string literal (UTF-8 source)."""
    body, out, i = literal[1:-1], [], 0
    while i < len(body):
        if body[i] == "\\":
            if body[i + 1] not in C_ESCAPES:
                raise MapError("unknown escape in %s" % literal)
            out.append(C_ESCAPES[body[i + 1]])
            i += 2
        else:
            out.append(body[i])
            i += 1
    return "".join(out)


def rc_string(literal):
    """The text of a resource-script string: "" is a quote, C escapes apply."""
    return c_string('"' + literal[1:-1].replace('""', '\\"') + '"')


def read_header(path, numbers, texts):
    with open(path, encoding="utf-8") as f:
        for line in f:
            m = DEFINE.match(line)
            if m:
                numbers[m.group(1)] = int(m.group(2), 0)
                continue
            m = TEXT_DEFINE.match(line)
            if m:
                texts[m.group(1)] = c_string(m.group(2))


def read_string_table(path):
    with open(path, encoding="utf-8") as f:
        return {int(n): c_string(t) for n, t in STRING_ENTRY.findall(f.read())}


class Builder:
    def __init__(self):
        self.entries = {}

    def put(self, symbol, program, kind, number, text=None, dialog=None):
        entry = {"program": program, "kind": kind, "id": number}
        if text is not None:
            entry["text"] = text
        if dialog is not None:
            entry["dialog"] = dialog
        old = self.entries.get(symbol)
        if old and (old["id"] != number or old["program"] != program):
            raise MapError("%s is %s %d and %s %d" % (symbol, old["program"], old["id"], program, number))
        self.entries[symbol] = entry


def read_program(builder, program, headers, script, extra_headers):
    numbers, texts = {}, {}
    for header in extra_headers:
        read_header(header, {}, texts)
    strings = {}
    for header in headers:
        read_header(header, numbers, texts)
        strings.update(read_string_table(header))

    def number_of(symbol, where):
        if re.fullmatch(r"-?\d+", symbol):
            return int(symbol)
        if symbol not in numbers:
            raise MapError("%s: %s has no number in the headers" % (where, symbol))
        return numbers[symbol]

    by_number = {}
    for symbol, number in numbers.items():
        by_number.setdefault(number, []).append(symbol)
    for number, text in strings.items():
        names = [s for s in by_number.get(number, []) if s.startswith("IDS_")]
        if not names:
            raise MapError("string %d has no IDS_ symbol" % number)
        for symbol in names:
            builder.put(symbol, program, "string", number, text)

    dialog, in_table, depth = None, False, 0
    with open(script, encoding="utf-8") as f:
        for lineno, line in enumerate(f, 1):
            where = "%s:%d" % (os.path.basename(script), lineno)
            stripped = line.strip()
            if stripped.startswith("//") or stripped.startswith("#"):
                continue
            if stripped == "BEGIN":
                depth += 1
                continue
            if stripped == "END":
                depth -= 1
                if depth == 0:
                    dialog, in_table = None, False
                continue
            m = DIALOG.match(line)
            if m and depth == 0:
                dialog = m.group(1)
                builder.put(dialog, program, "dialog", number_of(dialog, where))
                continue
            if stripped == "STRINGTABLE" and depth == 0:
                in_table = True
                continue
            m = ICON.match(line)
            if m and depth == 0:
                builder.put(m.group(1), program, "icon", number_of(m.group(1), where))
                continue
            if dialog and depth == 0:
                m = CAPTION.match(line)
                if m:
                    builder.entries[dialog]["text"] = rc_string(m.group(1))
                continue
            if dialog and depth == 1:
                m = TEXT_CONTROL.match(line)
                if m and m.group(3) != "IDC_STATIC":
                    symbol = m.group(3)
                    builder.put(symbol, program, "control", number_of(symbol, where), rc_string(m.group(2)), dialog)
                    continue
                m = BARE_CONTROL.match(line)
                if m:
                    builder.put(m.group(2), program, "control", number_of(m.group(2), where), None, dialog)
                continue
            if in_table and depth == 1:
                m = TABLE_LINE.match(line)
                if m and not m.group(1).startswith("ORVANE_"):
                    symbol, value = m.group(1), m.group(2)
                    if value.startswith('"'):
                        text = rc_string(value)
                    elif value in texts:
                        text = texts[value]
                    else:
                        raise MapError("%s: no text for %s" % (where, symbol))
                    builder.put(symbol, program, "string", number_of(symbol, where), text)


def quoted(text, escapes, prefix=""):
    """A double-quoted literal of text with the given characters escaped."""
    return prefix + '"' + "".join(escapes.get(ch, ch) for ch in text) + '"'


# What the UI driver's quotes and a C++ literal both read back.
ESCAPES = {'"': '\\"', "\\": "\\\\", "\n": "\\n", "\r": "\\r", "\t": "\\t"}


def write_if_changed(path, text):
    try:
        with open(path, encoding="utf-8") as f:
            if f.read() == text:
                return
    except FileNotFoundError:
        pass
    with open(path + ".tmp", "w", encoding="utf-8", newline="\n") as f:
        f.write(text)
    os.replace(path + ".tmp", path)


def write_outputs(outdir, entries):
    os.makedirs(outdir, exist_ok=True)
    ordered = dict(sorted(entries.items()))
    write_if_changed(os.path.join(outdir, "resource_map.json"),
                     json.dumps(ordered, ensure_ascii=False, indent=1) + "\n")
    lines = ["# Generated by tools/resource_map.py: SYMBOL NUMBER [\"text\"]"]
    for symbol, entry in ordered.items():
        text = " " + quoted(entry["text"], ESCAPES) if "text" in entry else ""
        lines.append("%s %d%s" % (symbol, entry["id"], text))
    write_if_changed(os.path.join(outdir, "resource_map.names"), "\n".join(lines) + "\n")
    header = [
        "// Generated by tools/resource_map.py from the resource scripts: the text",
        "// each resource symbol carries there. ORVANE_CAPTION(IDC_READ) is the",
        "// read button's caption; a symbol without a text does not compile.",
        "#ifndef ORVANE_RESOURCE_MAP_H",
        "#define ORVANE_RESOURCE_MAP_H",
        "#define ORVANE_CAPTION(symbol) ORVANE_CAPTION_##symbol",
    ]
    for symbol, entry in ordered.items():
        if "text" in entry:
            header.append("#define ORVANE_CAPTION_%s %s" % (symbol, quoted(entry["text"], ESCAPES, "u")))
    header.append("#endif")
    write_if_changed(os.path.join(outdir, "resource_map.h"), "\n".join(header) + "\n")


def main(argv):
    if len(argv) < 3:
        print(__doc__, file=sys.stderr)
        return 2
    builder = Builder()
    try:
        extra = []
        for arg in argv[2:]:
            if arg.startswith("--names-from="):
                extra.append(arg.split("=", 1)[1])
                continue
            program, headers, script = arg.split(":")
            read_program(builder, program, headers.split(","), script, extra)
    except MapError as error:
        print("resource_map: %s" % error, file=sys.stderr)
        return 1
    write_outputs(argv[1], builder.entries)
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
