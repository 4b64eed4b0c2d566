#!/usr/bin/env python3
"""Checks the shipped OrvaneChecker.exe: a 32-bit x86 GUI program whose
resources hold the window title and class (strings IDS_APP_TITLE,
IDC_ORVANECHECKER), the icons IDI_ORVANECHECKER and IDI_SMALL, the version
texts and a manifest that runs as the invoking user. Numbers come from the
build's resource map.
Usage: check_checker.py PROGRAM.exe resource_map.json   (exit 77 when not built)"""
import sys

from pe_resources import Program, ResourceMap, fail


def main(path, map_path):
    program = Program(path)
    res = ResourceMap(map_path)
    # The texts are the settings program's and the logon component's way to
    # find the checker's window: stated here, not taken from the map.
    for symbol, expected in (("IDS_APP_TITLE", "OrvaneChecker"), ("IDC_ORVANECHECKER", "$$ORVANECHECKER$$")):
        number = res.id(symbol)
        if program.string(number) != expected:
            fail("string %d is %r, expected %r" % (number, program.string(number), expected))
    program.check_icons((res.id("IDI_ORVANECHECKER"), res.id("IDI_SMALL")))
    program.check_version("OrvaneChecker", "Orvane card-removal checker")
    manifest = program.manifest()
    if b'level="asInvoker"' not in manifest or b"requireAdministrator" in manifest:
        fail("the manifest does not run the program as the invoking user")
    print("PASS: 32-bit GUI program, window title and class, both icons, version texts, asInvoker manifest")


if __name__ == "__main__":
    main(sys.argv[1], sys.argv[2])
