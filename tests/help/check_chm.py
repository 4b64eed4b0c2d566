"""Reads a built Orvane.chm back and checks what the programs rely on:
contexts 6, 8 and 10 resolve through #IVB and #STRINGS to the dialogs'
topics by names relative to the file, those topics are in it with the
dialogs' captions (from the build's resource map) in their titles and no
resource name left unfilled, every page and image a topic refers to is in
it, and the file says Japanese.

    check_chm.py MAP.json FILE.chm                 the file must pass
    check_chm.py --expect-fault MAP.json FILE.chm  the file must fail (proves the check)
Runs with Debian's python3-chm (/usr/bin/python3).
"""
import json
import re
import struct
import sys

from chm import chmlib

CONTEXTS = {6: "main.htm", 8: "cardlist.htm", 10: "sound.htm"}
# Each topic's title: a dialog's caption (a resource map symbol) and what follows it.
TITLES = {"main.htm": ("IDD_MAIN", "（メイン画面）"), "cardlist.htm": ("IDD_CARD_LIST", ""),
          "sound.htm": ("IDD_SOUND", ""), "overview.htm": (None, "Orvane の概要")}
LCID_JAPANESE = 0x411


class Chm:
    def __init__(self, path):
        self.handle = chmlib.chm_open(path.encode())
        if not self.handle:
            raise SystemExit(f"FAIL {path}: not a CHM file")

    def read(self, name):
        r, ui = chmlib.chm_resolve_object(self.handle, name.encode())
        if r != chmlib.CHM_RESOLVE_SUCCESS:
            return None
        if ui.length == 0:
            return b""
        _, data = chmlib.chm_retrieve_object(self.handle, ui, 0, ui.length)
        return data


def context_map(chm):
    ivb, strings = chm.read("/#IVB"), chm.read("/#STRINGS")
    if ivb is None or strings is None:
        return None, ["no context map (#IVB or #STRINGS missing)"]
    (size,) = struct.unpack_from("<I", ivb)
    problems = []
    if size != len(ivb) - 4 or size % 8:
        problems.append(f"#IVB says {size} bytes of entries, holds {len(ivb) - 4}")
    entries = {}
    for pos in range(4, 4 + (min(size, len(ivb) - 4) // 8) * 8, 8):
        context, offset = struct.unpack_from("<II", ivb, pos)
        end = strings.find(b"\0", offset)
        if offset >= len(strings) or end < 0:
            problems.append(f"context {context}: string offset {offset} outside #STRINGS")
            continue
        entries[context] = strings[offset:end].decode("cp932", "replace")
    return entries, problems


def system_lcid(chm):
    data = chm.read("/#SYSTEM") or b""
    pos = 4
    while pos + 4 <= len(data):
        code, length = struct.unpack_from("<HH", data, pos)
        if code == 4 and length >= 4:
            return struct.unpack_from("<I", data, pos + 4)[0]
        pos += 4 + length
    return None


def check(path, resources):
    chm = Chm(path)
    problems = []
    entries, map_problems = context_map(chm)
    problems += map_problems
    for context, topic in CONTEXTS.items():
        if entries is None:
            break
        name = entries.get(context)
        if name is None:
            problems.append(f"context {context}: not in the map")
            continue
        if name.startswith("/") or ":" in name or ".." in name.split("/"):
            problems.append(f"context {context}: {name!r} is not a name relative to the file")
            continue
        if name.lower() != topic:
            problems.append(f"context {context}: maps to {name!r}, expected {topic!r}")
        if chm.read("/" + name) is None:
            problems.append(f"context {context}: topic {name!r} is not in the file")

    for topic, (symbol, rest) in TITLES.items():
        title = (resources[symbol]["text"] if symbol else "") + rest
        page = chm.read("/" + topic)
        if page is None:
            problems.append(f"{topic}: not in the file")
            continue
        text = page.decode("cp932", "replace")
        found = re.search(r"<title>(.*?)</title>", text, re.S | re.I)
        if not found or found.group(1).strip() != title:
            problems.append(f"{topic}: title {found.group(1) if found else None!r}, expected {title!r}")
        if "{@" in text:
            problems.append(f"{topic}: a resource name left unfilled at {text[text.index('{@'):][:40]!r}")
        for ref in re.findall(r'(?:href|src)="([^"#:]+)', text):
            if chm.read("/" + ref) is None:
                problems.append(f"{topic}: refers to {ref!r}, which is not in the file")

    lcid = system_lcid(chm)
    if lcid != LCID_JAPANESE:
        problems.append(f"#SYSTEM locale {lcid!r}, expected 0x411")
    return entries, problems


def main(argv):
    expect_fault = argv[1:2] == ["--expect-fault"]
    path = argv[-1]
    with open(argv[-2], encoding="utf-8") as f:
        resources = json.load(f)
    entries, problems = check(path, resources)
    for p in problems:
        print(("fault found: " if expect_fault else "FAIL ") + p)
    if expect_fault:
        if not problems:
            print(f"FAIL {path}: expected the check to find a fault, it found none")
            return 1
        print(f"PASS {path}: the faulty file is refused")
        return 0
    if problems:
        return 1
    for context in sorted(CONTEXTS):
        print(f"PASS context {context} -> {entries[context]}")
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
