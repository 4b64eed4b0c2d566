#!/usr/bin/env python3
"""Runs orvane-card natively and its Windows build under Wine and compares.

usage: compare.py CHECK NATIVE_TOOL WINDOWS_EXE WINE_RUN
CHECK: identity, decode-N (N indexes RECORDS), encode-on-windows,
encode-on-linux or arguments.
"""
import os
import subprocess
import sys

# Card IDs of every shape the identity rules distinguish.
CARD_IDS = [
    "01020304",                                   # the worked example
    "04 11 22 33 44 55 66",                       # 7 bytes: one fill byte at the end
    "04523a123456789abcde",                       # 10 bytes, lower case
    "0123456789ABCDEF",                           # FeliCa IDm only: 8 fill bytes
    "00112233445566778899AABBCCDDEEFF",           # 16 bytes: no fill
    "00112233445566778899AABBCCDDEEFF01020304",   # 20 bytes: the first 16 count
    "00000000",                                   # all zero: no card
    "",                                           # no bytes at all
]

IDENTITY = "01 02 03 04 0F 04 E3 A1 A2 4D 35 D9 DB 4E 9A FF"
OTHER_IDENTITY = "04112233445566AD73A44E4A47DDAD9A"

# (password, user, target): ASCII, Japanese, characters outside the BMP,
# empty strings and the largest record (118 code units, 256 bytes).
RECORDS = [
    ("password1", "alice", "WORKSTATION"),
    ("\u30d1\u30b9\u30ef\u30fc\u30c9", "\u5c71\u7530\u592a\u90ce", "\u4e8b\u52d9\u6240-PC"),
    ("p\u00e4ss\U0001F511", "user\U00020BB7", "MicrosoftAccount"),
    ("", "", ""),
    ("p" * 40, "u" * 40, "t" * 38),
]


def run(argv):
    env = dict(os.environ)
    # Wine turns the Linux command line into UTF-16 by the locale.
    env["LC_ALL"] = "C.UTF-8"
    result = subprocess.run(argv, capture_output=True, env=env, timeout=60)
    return result.returncode, result.stdout, result.stderr


class Checker:
    def __init__(self, native, exe, wine_run):
        self.native = native
        self.exe = exe
        self.wine_run = wine_run
        self.failures = 0

    def on_linux(self, *args):
        return run([self.native, *args])

    def on_windows(self, *args):
        return run([self.wine_run, self.exe, *args])

    def fail(self, message):
        print("FAIL: " + message)
        self.failures += 1

    def same(self, *args):
        """Both builds give the same status, output and error output."""
        linux = self.on_linux(*args)
        windows = self.on_windows(*args)
        if linux != windows:
            self.fail("orvane-card %r differs:\n  linux   %r\n  windows %r" % (args, linux, windows))
        return linux

    def encode(self, side, identity, record):
        password, user, target = record
        status, out, err = side("record", "encode", "--identity", identity, "--password", password,
                                "--user", user, "--target", target)
        text = out.decode("utf-8")
        if status != 0 or not text.startswith("data: ") or not text.endswith("\n"):
            self.fail("encode of %r gave %r %r %r" % (record, status, out, err))
            return None
        return text[len("data: "):-1]

    def expect_decoded(self, side, identity, data, record):
        password, user, target = record
        expected = ("user: %s\ntarget: %s\npassword: %s\n" % (user, target, password)).encode("utf-8")
        got = side("record", "decode", "--identity", identity, "--show-password", data)
        if got != (0, expected, b""):
            self.fail("decode of %r gave %r" % (record, got))


def check_identity(c):
    first = c.same("identity", CARD_IDS[0])
    if first[1] != (b"identity: 01 02 03 04 0F 04 E3 A1 A2 4D 35 D9 DB 4E 9A FF\n"
                    b"permuted: A1 DB 02 9A 4D 01 D9 0F FF 03 E3 4E 04 A2 35 04\n"
                    b"record key: 6605431\n"):
        c.fail("identity 01020304 printed %r" % (first,))
    for card_id in CARD_IDS[1:]:
        c.same("identity", card_id)


def check_decode(c, record):
    data = c.encode(c.on_linux, IDENTITY, record)
    if data is None:
        return
    c.same("record", "decode", "--identity", IDENTITY, data)
    c.same("record", "decode", "--identity", IDENTITY, "--show-password", data)
    wrong = c.same("record", "decode", "--identity", OTHER_IDENTITY, data)
    if wrong[0] != 1 or wrong[2] != b"no usable login data\n":
        c.fail("a record decoded with another card's identity gave %r" % (wrong,))


def check_round_trip(c, encoder, decoder):
    for record in RECORDS:
        data = c.encode(encoder, IDENTITY, record)
        if data is not None:
            c.expect_decoded(decoder, IDENTITY, data, record)


def check_arguments(c):
    for args in [("identity", "0102030"), ("identity", "01 0x"), ("identity",),
                 ("record", "decode", "--identity", "0102", "00"),
                 ("record", "encode", "--identity", IDENTITY, "--password", "p"),
                 ("bogus",)]:
        status = c.same(*args)[0]
        if status != 2:
            c.fail("%r exited with %d, not 2" % (args, status))
    # Longer than any reader accepts.
    too_long = c.same("record", "decode", "--identity", IDENTITY, "00" * 272)
    if too_long[0] != 1 or too_long[2] != b"no usable login data\n":
        c.fail("272 bytes of data gave %r" % (too_long,))
    c.same("record", "encode", "--identity", IDENTITY, "--password", "x" * 119, "--user", "",
           "--target", "")


def main():
    if len(sys.argv) != 5:
        print(__doc__)
        return 2
    check, native, exe, wine_run = sys.argv[1:]
    if not os.path.exists(exe):
        print("FAIL: %s is missing; build the win64 preset first" % exe)
        return 1
    c = Checker(native, exe, wine_run)
    if check == "identity":
        check_identity(c)
    elif check.startswith("decode-") and check[7:].isdigit() and int(check[7:]) < len(RECORDS):
        check_decode(c, RECORDS[int(check[7:])])
    elif check == "encode-on-windows":
        check_round_trip(c, c.on_windows, c.on_linux)
    elif check == "encode-on-linux":
        check_round_trip(c, c.on_linux, c.on_windows)
    elif check == "arguments":
        check_arguments(c)
    else:
        print("unknown check " + check)
        return 2
    return 1 if c.failures else 0


if __name__ == "__main__":
    sys.exit(main())
