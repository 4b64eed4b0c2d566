#!/usr/bin/env python3
"""Checks the shipped OrvaneChecker.exe: a 32-bit x86 GUI program whose
resources hold the window title and class (strings 103, 109), the icons 107
and 108, a version resource and a manifest that runs as the invoking user.
Usage: check_checker.py PROGRAM.exe   (exit 77 when the program is not built)"""
import sys

from pe_resources import Program, fail


def main(path):
    program = Program(path)
    for number, expected in ((103, "OrvaneChecker"), (109, "$$ORVANECHECKER$$")):
        if program.string(number) != expected:
            fail("string %d is %r, expected %r" % (number, program.string(number), expected))
    program.check_icons((107, 108))
    program.check_version()
    manifest = program.manifest()
    if b'level="asInvoker"' not in manifest or b"requireAdministrator" in manifest:
        fail("the manifest does not run the program as the invoking user")
    print("PASS: 32-bit GUI program, strings 103/109, icons 107/108, version, asInvoker manifest")


if __name__ == "__main__":
    main(sys.argv[1])
