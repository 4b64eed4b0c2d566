#!/usr/bin/env python3
"""Checks orvane-card's identity and record commands. usage: check_tool.py TOOL"""
import subprocess
import sys

TOOL = sys.argv[1] if len(sys.argv) == 2 else None
failures = 0

EXAMPLE = (b"identity: 01 02 03 04 0F 04 E3 A1 A2 4D 35 D9 DB 4E 9A FF\n"
           b"permuted: A1 DB 02 9A 4D 01 D9 0F FF 03 E3 4E 04 A2 35 04\n"
           b"record key: 6605431\n")
IDENTITY = "010203040F04E3A1A24D35D9DB4E9AFF"
USAGE = b"usage: orvane-card"


def tool(*args):
    r = subprocess.run([TOOL, *args], capture_output=True, timeout=20)
    return r.returncode, r.stdout, r.stderr


def expect(what, got, status, out=None, err_start=None):
    global failures
    ok = got[0] == status and (out is None or got[1] == out) and \
        (err_start is None or err_start in got[2])
    if not ok:
        failures += 1
        print("FAIL %s: got %r" % (what, got))


def identity_line(out):
    return out.split(b"\n")[0]


def main():
    if TOOL is None:
        print(__doc__)
        return 2
    # The worked example in every accepted hex spelling.
    for spelling in ["01020304", "01 02 03 04", "  01 02  0304 ", "01\t02 03 04"]:
        expect("identity %r" % spelling, tool("identity", spelling), 0, EXAMPLE)
    expect("lower case", tool("identity", "04523a123456789abcde"), 0)
    ten = tool("identity", "04523A123456789ABCDE")
    expect("10-byte ID", ten, 0)
    if identity_line(ten[1]) != b"identity: 04 52 3A 12 34 56 78 9A BC DE B3 9C FC 91 1D DE":
        expect("10-byte fill", ten, -1)
    seven = tool("identity", "04112233445566")
    if identity_line(seven[1]) != b"identity: 04 11 22 33 44 55 66 AD 73 A4 4E 4A 47 DD AD 9A":
        expect("7-byte fill", seven, -1)
    # More than 16 bytes: the first 16, no fill.
    long_id = tool("identity", "00112233445566778899AABBCCDDEEFF1234")
    if identity_line(long_id[1]) != b"identity: 00 11 22 33 44 55 66 77 88 99 AA BB CC DD EE FF":
        expect("20-byte ID", long_id, -1)
    # No card: printed, then said, exit 1.
    zero_out = (b"identity: " + b" ".join([b"00"] * 16) + b"\npermuted: " +
                b" ".join([b"00"] * 16) + b"\nrecord key: 0\nno card: the identity is all zero\n")
    expect("all-zero ID", tool("identity", "000000"), 1, zero_out)
    expect("empty ID", tool("identity", ""), 1, zero_out)
    for bad in ["0102030", "01 0", "0 1", "01g2", "0x01", "01-02"]:
        expect("bad hex %r" % bad, tool("identity", bad), 2, b"", USAGE)
    for bad in [(), ("identity",), ("identity", "01", "02"), ("record",), ("record", "x"),
                ("record", "encode", "--identity", IDENTITY, "--password", "p", "--user", "u"),
                ("record", "encode", "--identity", "0102", "--password", "p", "--user", "u",
                 "--target", "t"),
                ("record", "encode", "--identity", IDENTITY, "--password", "\udcff", "--user", "u",
                 "--target", "t"),
                ("record", "decode", "--identity", IDENTITY),
                ("record", "decode", "--identity", IDENTITY, "00", "00"),
                ("record", "decode", "--identity", IDENTITY, "--bogus", "00"),
                ("record", "decode", "--identity", IDENTITY, "0")]:
        expect("bad arguments %r" % (bad,), tool(*bad), 2, b"", USAGE)

    records = [("password1", "alice", "WORKSTATION"),
               ("\u30d1\u30b9\u30ef\u30fc\u30c9", "\u5c71\u7530\u592a\u90ce", "\u4e8b\u52d9\u6240"),
               ("p\u00e4ss\U0001F511", "user\U00020BB7", "MicrosoftAccount"),
               ("", "", ""),
               ("p" * 40, "u" * 40, "t" * 38)]
    for password, user, target in records:
        enc = tool("record", "encode", "--identity", IDENTITY, "--password", password,
                   "--user", user, "--target", target)
        expect("encode %r" % user, enc, 0)
        line = enc[1].decode()
        if not line.startswith("data: ") or line[6:-1] != line[6:-1].upper():
            expect("encode output %r" % line, enc, -1)
            continue
        data = line[6:-1]
        size = len(data) // 2
        units = len((password + user + target).encode("utf-16-le")) // 2
        expected_size = (18 + 2 * units) // 16 * 16 + 16
        if size != expected_size:
            expect("size of %r: %d, not %d" % (user, size, expected_size), enc, -1)
        shown = ("user: %s\ntarget: %s\npassword: %s\n" % (user, target, password)).encode()
        expect("decode %r" % user,
               tool("record", "decode", "--show-password", "--identity", IDENTITY, data), 0, shown)
        count = len(password)  # code points, not UTF-16 units
        hidden = ("user: %s\ntarget: %s\npassword: (%d %s, hidden; --show-password shows it)\n" %
                  (user, target, count, "character" if count == 1 else "characters")).encode()
        expect("hidden %r" % user, tool("record", "decode", "--identity", IDENTITY, data), 0, hidden)
        # Lower case with spaces is the same data.
        spaced = " ".join(data[i:i + 2].lower() for i in range(0, len(data), 2))
        expect("spaced %r" % user, tool("record", "decode", "--identity", IDENTITY, "--show-password",
                                        spaced), 0, shown)
        expect("other card %r" % user,
               tool("record", "decode", "--identity", "04112233445566AD73A44E4A47DDAD9A", data),
               1, b"", b"no usable login data\n")

    expect("too long", tool("record", "encode", "--identity", IDENTITY, "--password", "x" * 119,
                            "--user", "", "--target", ""), 1, b"")
    expect("no card", tool("record", "encode", "--identity", "0" * 32, "--password", "p",
                           "--user", "u", "--target", "t"), 1, b"")
    # 256 bytes decode when they hold a record; 257 do not, whatever they hold.
    big = tool("record", "encode", "--identity", IDENTITY, "--password", "p" * 40, "--user",
               "u" * 40, "--target", "t" * 38)[1].decode()[6:-1]
    expect("257 bytes", tool("record", "decode", "--identity", IDENTITY, big + "00"), 1, b"",
           b"no usable login data")
    expect("short data", tool("record", "decode", "--identity", IDENTITY, big[:30]), 1, b"",
           b"no usable login data")
    expect("no data", tool("record", "decode", "--identity", IDENTITY, ""), 1, b"",
           b"no usable login data")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
