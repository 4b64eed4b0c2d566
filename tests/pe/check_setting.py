#!/usr/bin/env python3
"""Checks the shipped OrvaneSetting.exe: a 32-bit x86 GUI program with the
main dialog IDD_MAIN exactly as designed (caption, size, font, every
control's id, class, style, text, position and tab order), dialogs
IDD_CARD_LIST and IDD_SOUND, the string table equal to the one the sources
give, icons IDI_ORVANE_BIG and IDI_ORVANE_SMALL at 16, 32 and 48 pixels, the
version texts and the elevated, Common-Controls 6 manifest. Ids and texts of
symbols come from the build's resource map.
Usage: check_setting.py PROGRAM.exe resource_map.json   (exit 77 when not built)"""
import re
import struct
import sys

from pe_resources import RT_DIALOG, RT_ICON, Program, ResourceMap, fail

BUTTON, EDIT, STATIC, COMBOBOX = 0x80, 0x81, 0x82, 0x85
WS_DISABLED, WS_TABSTOP = 0x08000000, 0x00010000
SS_CENTER, ES_PASSWORD, ES_NUMBER, ES_AUTOHSCROLL = 0x1, 0x20, 0x2000, 0x80
BS_DEFPUSHBUTTON, BS_AUTOCHECKBOX, CBS_DROPDOWNLIST = 0x1, 0x3, 0x3
DS_MODALFRAME, WS_POPUP, WS_CAPTION, WS_SYSMENU, WS_VISIBLE = 0x80, 0x80000000, 0x00C00000, 0x00080000, 0x10000000

# A symbol of the resource map (its id and, for a control with a caption, its
# text) or a label (-1, its text); class, x, y, cx, cy, disabled, style bits
# that must be set.
MAIN = [
    ("IDC_READ", BUTTON, 88, 12, 108, 29, True, 0),
    ("IDC_STATUS", STATIC, 7, 47, 270, 23, False, SS_CENTER),
    ((-1, "ログイン先(&O)"), STATIC, 28, 79, 45, 8, False, 0),
    ("IDC_TARGET", EDIT, 101, 77, 116, 12, True, 0),
    ((-1, "ログインユーザー(&U)"), STATIC, 28, 97, 64, 8, False, 0),
    ("IDC_USER", EDIT, 101, 95, 116, 12, True, 0),
    ((-1, "パスワード(&P)"), STATIC, 28, 115, 44, 8, False, 0),
    ("IDC_PASSWORD", EDIT, 101, 113, 116, 12, True, ES_PASSWORD),
    ((-1, "パスワード再入力(&R)"), STATIC, 28, 133, 64, 8, False, 0),
    ("IDC_PASSWORD_AGAIN", EDIT, 101, 131, 116, 12, True, ES_PASSWORD),
    ((-1, "カードの説明(&C)"), STATIC, 28, 151, 51, 8, False, 0),
    ("IDC_DESCRIPTION", EDIT, 101, 149, 156, 12, True, 0),
    ("IDC_REMOVAL_ON", BUTTON, 28, 169, 144, 10, True, BS_AUTOCHECKBOX),
    ("IDC_REMOVAL_ACTION", COMBOBOX, 28, 184, 62, 30, True, CBS_DROPDOWNLIST),
    ("IDC_FORCE", BUTTON, 96, 184, 39, 10, True, BS_AUTOCHECKBOX),
    ("IDC_INTERVAL_LABEL", STATIC, 156, 185, 49, 8, True, 0),
    ("IDC_INTERVAL", EDIT, 212, 183, 28, 12, True, ES_NUMBER | ES_AUTOHSCROLL),
    ("IDC_SECONDS_LABEL", STATIC, 246, 185, 8, 8, False, 0),
    ("IDC_SOUND", BUTTON, 81, 209, 60, 14, False, 0),
    ("IDC_REGISTER", BUTTON, 159, 209, 55, 14, True, BS_DEFPUSHBUTTON),
    ("IDC_EXIT", BUTTON, 222, 209, 55, 14, False, 0),
    ("IDC_DELETE", BUTTON, 7, 209, 55, 14, False, 0),
]


def sz_or_ord(data, pos):
    if struct.unpack_from("<H", data, pos)[0] == 0xFFFF:
        return struct.unpack_from("<H", data, pos + 2)[0], pos + 4
    end = pos
    while struct.unpack_from("<H", data, end)[0] != 0:
        end += 2
    return data[pos:end].decode("utf-16-le"), end + 2


def parse_dialog(data):
    ver, sig, _, _, style, count, x, y, cx, cy = struct.unpack_from("<HHIIIHhhhh", data, 0)
    if (ver, sig) != (1, 0xFFFF):
        fail("dialog is not an extended template")
    pos = 26
    _, pos = sz_or_ord(data, pos)  # menu
    _, pos = sz_or_ord(data, pos)  # class
    caption, pos = sz_or_ord(data, pos)
    points, weight, italic, charset = struct.unpack_from("<HHBB", data, pos)
    face, pos = sz_or_ord(data, pos + 6)
    items = []
    for _ in range(count):
        pos = (pos + 3) & ~3
        _, _, istyle, ix, iy, icx, icy, iid = struct.unpack_from("<IIIhhhhi", data, pos)
        klass, pos = sz_or_ord(data, pos + 24)
        text, pos = sz_or_ord(data, pos)
        extra = struct.unpack_from("<H", data, pos)[0]
        pos += 2 + extra
        items.append((iid, klass, text, ix, iy, icx, icy, istyle))
    return dict(style=style, size=(cx, cy), caption=caption, font=(face, points), items=items)


def expected_main(res):
    """MAIN with each symbol as (id, class, text, ...) from the resource map."""
    rows = []
    for first, klass, *rest in MAIN:
        iid, text = first if isinstance(first, tuple) else (res.id(first), res.entries[first].get("text", ""))
        rows.append((iid, klass, text, *rest))
    return rows


def check_main(dialog, res):
    if dialog["caption"] != res.text("IDD_MAIN") or dialog["size"] != (284, 230):
        fail("IDD_MAIN is %r %r" % (dialog["caption"], dialog["size"]))
    if dialog["font"] != ("メイリオ", 10):
        fail("IDD_MAIN font is %r" % (dialog["font"],))
    needed = DS_MODALFRAME | WS_POPUP | WS_CAPTION | WS_SYSMENU
    if dialog["style"] & needed != needed or dialog["style"] & WS_VISIBLE:
        fail("IDD_MAIN style %#x" % dialog["style"])
    items, main = dialog["items"], expected_main(res)
    if len(items) != len(main):
        fail("IDD_MAIN has %d controls, expected %d" % (len(items), len(main)))
    for got, want in zip(items, main):
        iid, klass, text, x, y, cx, cy, style = got
        wid, wclass, wtext, wx, wy, wcx, wcy, disabled, bits = want
        if (iid & 0xFFFF, klass, text, x, y, cx, cy) != (wid & 0xFFFF, wclass, wtext, wx, wy, wcx, wcy):
            fail("IDD_MAIN control %r, expected %r" % (got[:7], want[:7]))
        if bool(style & WS_DISABLED) != disabled:
            fail("IDD_MAIN control %d disabled=%s" % (wid, not disabled))
        if style & bits != bits:
            fail("IDD_MAIN control %d style %#x lacks %#x" % (wid, style, bits))
        # Type 1 of a button's style is the default push button; 3 the check box.
        if klass == BUTTON and (style & 0xF) != (bits & 0xF):
            fail("IDD_MAIN control %d button type %#x" % (wid, style & 0xF))


def main(path, map_path):
    program = Program(path)
    res = ResourceMap(map_path)
    main_id = res.id("IDD_MAIN")
    check_main(parse_dialog(program.resources.get((RT_DIALOG, main_id)) or fail("no dialog %d" % main_id)), res)
    for symbol, size in (("IDD_CARD_LIST", (309, 162)), ("IDD_SOUND", (271, 122))):
        number = res.id(symbol)
        dialog = parse_dialog(program.resources.get((RT_DIALOG, number)) or fail("no dialog %d" % number))
        if (dialog["caption"], dialog["size"], dialog["font"]) != (res.text(symbol), size, ("メイリオ", 10)):
            fail("dialog %d is %r" % (number, (dialog["caption"], dialog["size"], dialog["font"])))
    strings = res.strings("setting")
    if len(strings) < 30:
        fail("read only %d strings from %s" % (len(strings), map_path))
    for number, expected in sorted(strings.items()):
        if program.string(number) != expected:
            fail("string %d is %r, expected %r" % (number, program.string(number), expected))
    big = res.id("IDI_ORVANE_BIG")
    program.check_icons((big, res.id("IDI_ORVANE_SMALL")))
    sizes = set()
    for image in program.icon_images(big):
        header_bytes = program.resources[(RT_ICON, image)]
        sizes.add(struct.unpack_from("<i", header_bytes, 4)[0])
    if not {16, 32, 48} <= sizes:
        fail("icon %d has sizes %r, expected 16, 32 and 48" % (big, sorted(sizes)))
    program.check_version("OrvaneSetting", "Orvane settings")
    manifest = program.manifest().decode("utf-8")
    for needed in ('level="requireAdministrator"', 'name="Microsoft.Windows.Common-Controls" version="6.0.0.0"',
                   ">false</dpiAware>", ">true</gdiScaling>"):
        if needed not in re.sub(r"\s+", " ", manifest):
            fail("the manifest lacks %s" % needed)
    print("PASS: 32-bit GUI program, IDD_MAIN as designed, IDD_CARD_LIST and IDD_SOUND, %d strings, "
          "both icons, version texts, elevated manifest" % len(strings))


if __name__ == "__main__":
    main(sys.argv[1], sys.argv[2])
