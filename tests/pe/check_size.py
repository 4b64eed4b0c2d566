#!/usr/bin/env python3
"""Checks that a shipped 32-bit program stays within its size budget: the
checker starts at every logon of every user it watches, so what it loads is
kept small. The budget is in bytes of the file as shipped (stripped).
Usage: check_size.py PROGRAM.exe LIMIT   (exit 77 when the program is not built)"""
import os
import sys

from pe_resources import Program, fail


def main(path, limit):
    Program(path)  # a 32-bit GUI program, or skip when not built
    size = os.path.getsize(path)
    if size > limit:
        fail("%s is %d bytes, over its budget of %d by %d; to see what the linker pulled in "
             "and why, link it again with -Wl,-Map,FILE and without -s"
             % (path, size, limit, size - limit))
    print("PASS: %s is %d bytes, budget %d (%d to spare)" % (path, size, limit, limit - size))


if __name__ == "__main__":
    main(sys.argv[1], int(sys.argv[2]))
