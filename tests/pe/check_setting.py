#!/usr/bin/env python3
"""Checks the shipped OrvaneSetting.exe: a 32-bit x86 GUI program with the
main dialog 128 exactly as designed (caption, size, font, every control's id,
class, style, text, position and tab order), dialogs 129 and 158, the string
table equal to setting/string_table.h, icons 100 and 139 at 16, 32 and 48
pixels, a version resource and the elevated, Common-Controls 6 manifest.
Usage: check_setting.py PROGRAM.exe string_table.h   (exit 77 when not built)"""
import re
import struct
import sys

from pe_resources import RT_DIALOG, RT_ICON, Program, fail

BUTTON, EDIT, STATIC, COMBOBOX = 0x80, 0x81, 0x82, 0x85
WS_DISABLED, WS_TABSTOP = 0x08000000, 0x00010000
SS_CENTER, ES_PASSWORD, ES_NUMBER, ES_AUTOHSCROLL = 0x1, 0x20, 0x2000, 0x80
BS_DEFPUSHBUTTON, BS_AUTOCHECKBOX, CBS_DROPDOWNLIST = 0x1, 0x3, 0x3
DS_MODALFRAME, WS_POPUP, WS_CAPTION, WS_SYSMENU, WS_VISIBLE = 0x80, 0x80000000, 0x00C00000, 0x00080000, 0x10000000

# id, class, text, x, y, cx, cy, disabled, style bits that must be set
MAIN = [
    (1000, BUTTON, "カード情報読込(&G)", 88, 12, 108, 29, True, 0),
    (1003, STATIC, "カードリーダーを接続してください。", 7, 47, 270, 23, False, SS_CENTER),
    (-1, STATIC, "ログイン先(&O)", 28, 79, 45, 8, False, 0),
    (1007, EDIT, "", 101, 77, 116, 12, True, 0),
    (-1, STATIC, "ログインユーザー(&U)", 28, 97, 64, 8, False, 0),
    (1004, EDIT, "", 101, 95, 116, 12, True, 0),
    (-1, STATIC, "パスワード(&P)", 28, 115, 44, 8, False, 0),
    (1001, EDIT, "", 101, 113, 116, 12, True, ES_PASSWORD),
    (-1, STATIC, "パスワード再入力(&R)", 28, 133, 64, 8, False, 0),
    (1002, EDIT, "", 101, 131, 116, 12, True, ES_PASSWORD),
    (-1, STATIC, "カードの説明(&C)", 28, 151, 51, 8, False, 0),
    (1006, EDIT, "", 101, 149, 156, 12, True, 0),
    (1015, BUTTON, "ログイン中にカード取り外しで動作実行(&X)", 28, 169, 144, 10, True, BS_AUTOCHECKBOX),
    (1016, COMBOBOX, "", 28, 184, 62, 30, True, CBS_DROPDOWNLIST),
    (1017, BUTTON, "強制(&F)", 96, 184, 39, 10, True, BS_AUTOCHECKBOX),
    (1019, STATIC, "チェック間隔(&I)", 156, 185, 49, 8, True, 0),
    (1018, EDIT, "", 212, 183, 28, 12, True, ES_NUMBER | ES_AUTOHSCROLL),
    (1020, STATIC, "秒", 246, 185, 8, 8, False, 0),
    (1010, BUTTON, "認識音設定(&S)", 81, 209, 60, 14, False, 0),
    (1, BUTTON, "登録(&W)", 159, 209, 55, 14, True, BS_DEFPUSHBUTTON),
    (2, BUTTON, "終了", 222, 209, 55, 14, False, 0),
    (1005, BUTTON, "削除(&D)", 7, 209, 55, 14, False, 0),
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


def check_main(dialog):
    if dialog["caption"] != "Orvane 設定" or dialog["size"] != (284, 230):
        fail("dialog 128 is %r %r" % (dialog["caption"], dialog["size"]))
    if dialog["font"] != ("メイリオ", 10):
        fail("dialog 128 font is %r" % (dialog["font"],))
    needed = DS_MODALFRAME | WS_POPUP | WS_CAPTION | WS_SYSMENU
    if dialog["style"] & needed != needed or dialog["style"] & WS_VISIBLE:
        fail("dialog 128 style %#x" % dialog["style"])
    items = dialog["items"]
    if len(items) != len(MAIN):
        fail("dialog 128 has %d controls, expected %d" % (len(items), len(MAIN)))
    for got, want in zip(items, MAIN):
        iid, klass, text, x, y, cx, cy, style = got
        wid, wclass, wtext, wx, wy, wcx, wcy, disabled, bits = want
        if (iid & 0xFFFF, klass, text, x, y, cx, cy) != (wid & 0xFFFF, wclass, wtext, wx, wy, wcx, wcy):
            fail("dialog 128 control %r, expected %r" % (got[:7], want[:7]))
        if bool(style & WS_DISABLED) != disabled:
            fail("dialog 128 control %d disabled=%s" % (wid, not disabled))
        if style & bits != bits:
            fail("dialog 128 control %d style %#x lacks %#x" % (wid, style, bits))
        # Type 1 of a button's style is the default push button; 3 the check box.
        if klass == BUTTON and (style & 0xF) != (bits & 0xF):
            fail("dialog 128 control %d button type %#x" % (wid, style & 0xF))


def expected_strings(header):
    text = open(header, encoding="utf-8").read()
    entries = re.findall(r'X\((\d+), "((?:[^"\\]|\\.)*)"\)', text)
    unescape = {"\\r": "\r", "\\n": "\n", '\\"': '"', "\\\\": "\\"}
    return {int(i): re.sub(r'\\[rn"\\]', lambda m: unescape[m.group(0)], s) for i, s in entries}


def main(path, header):
    program = Program(path)
    check_main(parse_dialog(program.resources.get((RT_DIALOG, 128)) or fail("no dialog 128")))
    for number, caption, size in ((129, "カード登録情報削除", (309, 162)), (158, "認識音設定", (271, 122))):
        dialog = parse_dialog(program.resources.get((RT_DIALOG, number)) or fail("no dialog %d" % number))
        if (dialog["caption"], dialog["size"], dialog["font"]) != (caption, size, ("メイリオ", 10)):
            fail("dialog %d is %r" % (number, (dialog["caption"], dialog["size"], dialog["font"])))
    strings = expected_strings(header)
    if len(strings) < 30:
        fail("read only %d strings from %s" % (len(strings), header))
    for number, expected in sorted(strings.items()):
        if program.string(number) != expected:
            fail("string %d is %r, expected %r" % (number, program.string(number), expected))
    program.check_icons((100, 139))
    sizes = set()
    for image in program.icon_images(100):
        header_bytes = program.resources[(RT_ICON, image)]
        sizes.add(struct.unpack_from("<i", header_bytes, 4)[0])
    if not {16, 32, 48} <= sizes:
        fail("icon 100 has sizes %r, expected 16, 32 and 48" % sorted(sizes))
    program.check_version()
    manifest = program.manifest().decode("utf-8")
    for needed in ('level="requireAdministrator"', 'name="Microsoft.Windows.Common-Controls" version="6.0.0.0"',
                   ">false</dpiAware>", ">true</gdiScaling>"):
        if needed not in re.sub(r"\s+", " ", manifest):
            fail("the manifest lacks %s" % needed)
    print("PASS: 32-bit GUI program, dialog 128 as designed, dialogs 129/158, %d strings, "
          "icons 100/139, version, elevated manifest" % len(strings))


if __name__ == "__main__":
    main(sys.argv[1], sys.argv[2])
