#!/usr/bin/env python3
"""Reads the kind and the resources of a 32-bit Windows program, and the
build's resource map (symbol -> number and text, made from the resource
scripts): the checks of the shipped programs (check_checker.py,
check_setting.py) use them."""
import json
import re
import struct
import sys

RT_ICON, RT_STRING, RT_DIALOG, RT_GROUP_ICON, RT_VERSION, RT_MANIFEST = 3, 6, 5, 14, 16, 24


def fail(message):
    print("FAIL:", message)
    sys.exit(1)


def version_texts(data):
    """The text values of a version resource's StringFileInfo, by key."""
    texts = {}

    def block(pos, end):
        while pos + 6 <= end:
            length, value_length, kind = struct.unpack_from("<HHH", data, pos)
            if length < 6 or pos + length > end:
                fail("version resource block at %d has length %d" % (pos, length))
            key_end = pos + 6
            while struct.unpack_from("<H", data, key_end)[0] != 0:
                key_end += 2
            key = data[pos + 6:key_end].decode("utf-16-le")
            value = (key_end + 2 + 3) & ~3
            if kind == 1 and value_length and key not in ("VS_VERSION_INFO", "StringFileInfo", "VarFileInfo"):
                texts[key] = data[value:value + 2 * value_length].decode("utf-16-le").rstrip("\0")
                children = (value + 2 * value_length + 3) & ~3
            else:
                children = (value + (value_length if kind == 0 else 2 * value_length) + 3) & ~3
            block(children, pos + length)
            pos = (pos + length + 3) & ~3

    block(0, len(data))
    return texts


class ResourceMap:
    """build/<preset>/resource_map/resource_map.json: SYMBOL -> id, text."""

    def __init__(self, path):
        try:
            self.entries = json.load(open(path, encoding="utf-8"))
        except FileNotFoundError:
            print("SKIP:", path, "not built (build the win32 preset first)")
            sys.exit(77)

    def id(self, symbol):
        return self.entries[symbol]["id"]

    def text(self, symbol):
        return self.entries[symbol]["text"]

    def strings(self, program):
        return {e["id"]: e["text"] for e in self.entries.values() if e["kind"] == "string" and e["program"] == program}


class Program:
    """A 32-bit x86 GUI PE: resources[(type, id)] holds the first language's bytes."""

    def __init__(self, path):
        try:
            data = open(path, "rb").read()
        except FileNotFoundError:
            print("SKIP:", path, "not built (build the win32 preset first)")
            sys.exit(77)
        if data[:2] != b"MZ":
            fail("not an MZ executable")
        pe = struct.unpack_from("<I", data, 0x3C)[0]
        if data[pe:pe + 4] != b"PE\0\0":
            fail("no PE signature")
        machine, nsections, _, _, _, optsize, _ = struct.unpack_from("<HHIIIHH", data, pe + 4)
        opt = pe + 24
        magic = struct.unpack_from("<H", data, opt)[0]
        if machine != 0x14C or magic != 0x10B:
            fail("not a 32-bit x86 PE (machine %#x, magic %#x)" % (machine, magic))
        subsystem = struct.unpack_from("<H", data, opt + 68)[0]
        if subsystem != 2:
            fail("subsystem %d, expected 2 (Windows GUI)" % subsystem)
        rsrc_rva, rsrc_size = struct.unpack_from("<II", data, opt + 96 + 2 * 8)
        sections = []
        for i in range(nsections):
            s = opt + optsize + 40 * i
            vsize, va, rawsize, rawptr = struct.unpack_from("<IIII", data, s + 8)
            sections.append((va, max(vsize, rawsize), rawptr))

        def offset(rva):
            for va, size, raw in sections:
                if va <= rva < va + size:
                    return raw + rva - va
            fail("RVA %#x outside the sections" % rva)

        # The DLLs named by the import and delay-import directories (entries 1
        # and 13): both are looked up by the loader's search order.
        def c_string(rva):
            start = offset(rva)
            end = data.index(b"\0", start)
            return data[start:end].decode("ascii")

        self.imports = []
        import_rva = struct.unpack_from("<I", data, opt + 96 + 1 * 8)[0]
        if import_rva:
            at = offset(import_rva)
            while True:
                lookup, _, _, name_rva, first_thunk = struct.unpack_from("<IIIII", data, at)
                if not (lookup or name_rva or first_thunk):
                    break
                self.imports.append(c_string(name_rva))
                at += 20
        self.delay_imports = []
        delay_rva = struct.unpack_from("<I", data, opt + 96 + 13 * 8)[0]
        if delay_rva:
            at = offset(delay_rva)
            while True:
                attributes, name_rva = struct.unpack_from("<II", data, at)
                if not name_rva:
                    break
                self.delay_imports.append(c_string(name_rva))
                at += 32

        base = offset(rsrc_rva)

        def entries(directory):
            named, ids = struct.unpack_from("<HH", data, base + directory + 12)
            for i in range(named + ids):
                name, target = struct.unpack_from("<II", data, base + directory + 16 + 8 * i)
                yield name, target

        self.resources = resources = {}  # (type, id) -> bytes of the first language
        self.languages = languages = {}  # (type, id) -> {language: bytes}
        for rtype, t in entries(0):
            for rid, r in entries(t & 0x7FFFFFFF):
                for lang, leaf in entries(r & 0x7FFFFFFF):
                    rva, size = struct.unpack_from("<II", data, base + leaf)
                    blob = data[offset(rva):offset(rva) + size]
                    languages.setdefault((rtype, rid), {})[lang] = blob
                    resources.setdefault((rtype, rid), blob)

        def string(number):
            block = resources.get((RT_STRING, number // 16 + 1))
            if block is None:
                fail("no string table block for %d" % number)
            pos = 0
            for i in range(16):
                n = struct.unpack_from("<H", block, pos)[0]
                text = block[pos + 2:pos + 2 + 2 * n].decode("utf-16-le")
                if i == number % 16:
                    return text
                pos += 2 + 2 * n

        self.string = string

    def icon_images(self, icon):
        """The image ids of a group icon, or None when there is no such icon."""
        group = self.resources.get((RT_GROUP_ICON, icon))
        if group is None:
            return None
        count = struct.unpack_from("<H", group, 4)[0]
        return [struct.unpack_from("<H", group, 6 + 14 * i + 12)[0] for i in range(count)]

    def check_icons(self, icons):
        for icon in icons:
            images = self.icon_images(icon)
            if images is None:
                fail("no icon %d" % icon)
            for image in images:
                if (RT_ICON, image) not in self.resources:
                    fail("icon %d lacks its image %d" % (icon, image))

    def check_version(self, name, description):
        """The version resource with every text field as both programs share it."""
        version = self.resources.get((RT_VERSION, 1))
        if version is None or "VS_VERSION_INFO".encode("utf-16-le") not in version:
            fail("no version resource")
        fields = version_texts(version)
        file_version = fields.get("FileVersion", "")
        if not re.fullmatch(r"\d+\.\d+\.\d+\.\d+", file_version):
            fail("FileVersion is %r" % file_version)
        expected = {"CompanyName": "Brindle", "FileDescription": description, "FileVersion": file_version,
                    "InternalName": name, "LegalCopyright": "Brindle", "OriginalFilename": name + ".exe",
                    "ProductName": "Orvane", "ProductVersion": file_version}
        if fields != expected:
            fail("version texts %r, expected %r" % (fields, expected))

    def manifest(self):
        manifest = self.resources.get((RT_MANIFEST, 1))
        if manifest is None:
            fail("no manifest (RT_MANIFEST 1)")
        return manifest
