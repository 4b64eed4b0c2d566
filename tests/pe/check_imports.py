#!/usr/bin/env python3
"""Checks that a shipped program imports only DLLs that Windows always takes
from System32, so that a DLL planted beside a copy of the program (in
Downloads, say) is never loaded, elevated or at logon. Allowed: DLLs in the
KnownDLLs list of every Windows the manifests name (7 to 11), and comctl32
only when the manifest asks for Common Controls 6, which then comes from the
side-by-side store. Everything else (winscard, winmm, netapi32, version,
uxtheme...) must be loaded at run time from System32.
Usage: check_imports.py PROGRAM.exe...   (exit 77 when a program is not built)"""
import sys

from pe_resources import Program, fail

KNOWN_DLLS = {
    "advapi32.dll", "comdlg32.dll", "gdi32.dll", "imm32.dll", "kernel32.dll", "msvcrt.dll",
    "ole32.dll", "oleaut32.dll", "rpcrt4.dll", "shell32.dll", "shlwapi.dll", "user32.dll",
    "ws2_32.dll",
}
COMMON_CONTROLS_6 = b'name="Microsoft.Windows.Common-Controls" version="6.0.0.0"'


def check(path):
    program = Program(path)
    allowed = set(KNOWN_DLLS)
    if COMMON_CONTROLS_6 in b" ".join(program.manifest().split()):
        allowed.add("comctl32.dll")
    if not program.imports:
        fail("%s: no import table found" % path)
    refused = [d for d in program.imports if d.lower() not in allowed]
    if refused:
        fail("%s imports %s, which Windows may take from the program's folder"
             % (path, ", ".join(refused)))
    if program.delay_imports:
        fail("%s delay-loads %s by the search order" % (path, ", ".join(program.delay_imports)))
    print("PASS: %s imports only %s" % (path, ", ".join(sorted(d.lower() for d in program.imports))))


if __name__ == "__main__":
    for argument in sys.argv[1:]:
        check(argument)
