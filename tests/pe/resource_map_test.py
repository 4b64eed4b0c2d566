#!/usr/bin/env python3
"""tools/resource_map.py on small resource sources: what it reads from a
dialog, a control, the string table and a text macro, how it quotes texts for
the UI driver and the C++ header, and that sources it cannot map faithfully
end the build with exit 1 and a reason instead of a map with a hole.
Usage: resource_map_test.py tools/resource_map.py"""
import json
import os
import subprocess
import sys
import tempfile

HEADER = """#define IDD_MAIN 128
#define IDC_READ 1000 // the read button
#define IDC_NAME 1001
#define IDS_HELLO 130
#define IDI_BIG 100
"""
TABLE = 'X(130, "Say \\"%s\\"\\r\\nnow")\n'
RC = '''IDI_BIG ICON "big.ico"
IDD_MAIN DIALOGEX 0, 0, 10, 10
CAPTION "Main ""one"""
BEGIN
  PUSHBUTTON "Read(&R)", IDC_READ, 1, 1, 1, 1
  EDITTEXT IDC_NAME, 1, 1, 1, 1
  LTEXT "label", IDC_STATIC, 1, 1, 1, 1
END
'''
NAMES = '#define WINDOW_TITLE_TEXT "Win \\\\ title"\n'
CHECKER_H = "#define IDS_TITLE 103\n"
CHECKER_RC = "STRINGTABLE\nBEGIN\n  IDS_TITLE WINDOW_TITLE_TEXT\nEND\n"

# name, files that differ from the good set, fragment of stderr (exit 1)
FAULTS = [
    ("control without a number", {"a.rc": RC.replace("IDC_NAME,", "IDC_NOPE,")}, "IDC_NOPE has no number"),
    ("string without an IDS symbol", {"t.h": TABLE + 'X(131, "orphan")\n'}, "string 131 has no IDS_ symbol"),
    ("one symbol in both programs", {"c.h": CHECKER_H + "#define IDS_HELLO 131\n",
                                     "c.rc": CHECKER_RC.replace("END", '  IDS_HELLO "x"\nEND')},
     "IDS_HELLO is setting 130 and checker 131"),
    ("string line without a text", {"c.rc": CHECKER_RC.replace("WINDOW_TITLE_TEXT", "NO_SUCH_TEXT")}, "no text for IDS_TITLE"),
    ("unknown escape", {"t.h": 'X(130, "bad \\q")\n'}, "unknown escape"),
]


def run(tool, files):
    sources = {"a.h": HEADER, "t.h": TABLE, "a.rc": RC, "n.h": NAMES, "c.h": CHECKER_H, "c.rc": CHECKER_RC}
    sources.update(files)
    with tempfile.TemporaryDirectory() as tmp:
        for name, text in sources.items():
            with open(os.path.join(tmp, name), "w", encoding="utf-8") as f:
                f.write(text)
        p = lambda name: os.path.join(tmp, name)
        out = os.path.join(tmp, "out")
        result = subprocess.run([sys.executable, tool, out, "--names-from=" + p("n.h"),
                                 "setting:%s,%s:%s" % (p("a.h"), p("t.h"), p("a.rc")),
                                 "checker:%s:%s" % (p("c.h"), p("c.rc"))],
                                capture_output=True, text=True)
        made = {}
        if result.returncode == 0:
            for name in ("resource_map.json", "resource_map.names", "resource_map.h"):
                with open(os.path.join(out, name), encoding="utf-8") as f:
                    made[name] = f.read()
        return result, made


def main(tool):
    failures = []
    result, made = run(tool, {})
    if result.returncode != 0:
        print("FAIL good sources: exit %d: %s" % (result.returncode, result.stderr))
        return 1
    entries = json.loads(made["resource_map.json"])
    expected = {
        "IDD_MAIN": {"program": "setting", "kind": "dialog", "id": 128, "text": 'Main "one"'},
        "IDC_READ": {"program": "setting", "kind": "control", "id": 1000, "text": "Read(&R)", "dialog": "IDD_MAIN"},
        "IDC_NAME": {"program": "setting", "kind": "control", "id": 1001, "dialog": "IDD_MAIN"},
        "IDS_HELLO": {"program": "setting", "kind": "string", "id": 130, "text": 'Say "%s"\r\nnow'},
        "IDI_BIG": {"program": "setting", "kind": "icon", "id": 100},
        "IDS_TITLE": {"program": "checker", "kind": "string", "id": 103, "text": "Win \\ title"},
    }
    if entries != expected:
        failures.append("map %r, expected %r" % (entries, expected))
    for line in ('IDS_HELLO 130 "Say \\"%s\\"\\r\\nnow"', 'IDS_TITLE 103 "Win \\\\ title"', "IDC_NAME 1001"):
        if line not in made["resource_map.names"].splitlines():
            failures.append("names file lacks %r" % line)
    if '#define ORVANE_CAPTION_IDD_MAIN u"Main \\"one\\""' not in made["resource_map.h"].splitlines():
        failures.append("header lacks the dialog's caption")
    for name, files, fragment in FAULTS:
        result, _ = run(tool, files)
        if result.returncode != 1 or fragment not in result.stderr:
            failures.append("%s: exit %d, stderr %r; expected exit 1 and %r" % (name, result.returncode, result.stderr, fragment))
    for f in failures:
        print("FAIL", f)
    if not failures:
        print("PASS: dialog, controls, strings, icons and a text macro mapped and quoted; %d faulty sources refused" % len(FAULTS))
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1]))
