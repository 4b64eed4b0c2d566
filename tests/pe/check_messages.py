#!/usr/bin/env python3
"""Checks that each shipped program carries the audit trail's message table
(RT_MESSAGETABLE, type 11) in English (0x409) and Japanese (0x411): every
event of store/audit_events.h is there in both languages as UTF-16, with
exactly the text of store/audit_events.mc (so the Japanese survived windmc)
and with exactly the insertion strings %1..%n the code passes, no more and
no fewer; the table holds no event the code does not know.
Usage: check_messages.py HEADER.h MESSAGES.mc PROGRAM.exe...
(exit 77 when a program is not built)"""
import re
import struct
import sys

from pe_resources import Program, fail

RT_MESSAGETABLE = 11
LANGUAGES = {0x409: "English", 0x411: "Japanese"}


def events_of(header):
    """{id: strings} of every Kind constant in the header."""
    text = open(header, encoding="utf-8").read()
    found = re.findall(r"constexpr Kind (k\w+) = \{(\d+), EventType::\w+, (\d+)\};", text)
    if not found:
        fail("%s declares no event" % header)
    events = {}
    for name, number, strings in found:
        if int(number) in events:
            fail("%s: event id %s used twice" % (header, number))
        events[int(number)] = int(strings)
    return events


def texts_of(mc):
    """{(id, language): text} as written in the .mc, each source line ending
    with a line feed, as windmc stores it."""
    names = {}
    texts = {}
    lines = open(mc, encoding="utf-8").read().split("\n")
    number, language, body = None, None, None
    for line in lines:
        if body is not None:
            if line == ".":
                texts[(number, language)] = "".join(body)
                body = None
            else:
                body.append(line + "\n")
            continue
        m = re.match(r"LanguageNames=\((\w+)=0x([0-9a-fA-F]+):", line)
        if m:
            names[m.group(1)] = int(m.group(2), 16)
        m = re.match(r"MessageId=(\d+)", line)
        if m:
            number = int(m.group(1))
        m = re.match(r"Language=(\w+)", line)
        if m:
            language = names[m.group(1)]
            body = []
    return texts


def message_tables(path):
    """{language: {id: (flags, bytes)}} of the program's message table 1."""
    tables = {}
    for (rtype, _), by_language in Program(path).languages.items():
        if rtype != RT_MESSAGETABLE:
            continue
        for lang, blob in by_language.items():
            messages = {}
            (blocks,) = struct.unpack_from("<I", blob, 0)
            for b in range(blocks):
                low, high, at = struct.unpack_from("<III", blob, 4 + 12 * b)
                for number in range(low, high + 1):
                    length, flags = struct.unpack_from("<HH", blob, at)
                    if length < 4 or at + length > len(blob):
                        fail("%s: message %d of language %#x is damaged" % (path, number, lang))
                    messages[number] = (flags, blob[at + 4:at + length])
                    at += length
            tables[lang] = messages
    return tables


def check(path, events, texts):
    tables = message_tables(path)
    if not tables:
        fail("%s has no message table (RT_MESSAGETABLE)" % path)
    for lang, language in LANGUAGES.items():
        messages = tables.get(lang)
        if messages is None:
            fail("%s: no %s message table (language %#x)" % (path, language, lang))
        extra = sorted(set(messages) - set(events))
        if extra:
            fail("%s: %s table holds events the code does not know: %s" % (path, language, extra))
        for number, strings in sorted(events.items()):
            if number not in messages:
                fail("%s: event %d has no %s text" % (path, number, language))
            flags, raw = messages[number]
            if flags != 1:
                fail("%s: %s text of event %d is not UTF-16" % (path, language, number))
            text = raw.decode("utf-16-le").rstrip("\0")
            if text != texts.get((number, lang)):
                fail("%s: %s text of event %d is %r, the source says %r"
                     % (path, language, number, text, texts.get((number, lang))))
            used = {int(n) for n in re.findall(r"%(\d+)", text)}
            if used != set(range(1, strings + 1)):
                fail("%s: %s text of event %d uses %s, the code passes %%1..%%%d"
                     % (path, language, number, sorted(used), strings))


def main(header, mc, programs):
    events = events_of(header)
    texts = texts_of(mc)
    for path in programs:
        check(path, events, texts)
    print("PASS: %d events in English and Japanese in %s" % (len(events), ", ".join(programs)))


if __name__ == "__main__":
    main(sys.argv[1], sys.argv[2], sys.argv[3:])
