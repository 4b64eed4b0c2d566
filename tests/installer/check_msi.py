"""Static check of a built Orvane.msi against the build it was made from:
32-bit (Intel) package in Japanese, the four files in Program Files
(x86)\\Orvane with the build's bytes, the Japanese shortcut to the settings
program, the version of version.h, the Add/Remove Programs fields, major
upgrade with downgrade detection, a first install refused in any folder
outside Program Files, the event source "Orvane" registered (both programs
as REG_EXPAND_SZ message files, types 7) and removed on uninstall, and no
registry row that is a Run value or lies under the records key.

    check_msi.py PACKAGE.msi BIN_DIR VERSION_H [--machine i386|amd64]
"""
import os
import re
import subprocess
import sys
import tempfile

FILES = ["OrvaneSetting.exe", "OrvaneChecker.exe", "orvane-card.exe", "Orvane.chm"]
MACHINES = {"i386": 0x14C, "amd64": 0x8664}
# Not on a repair or removal; ".." or "/" anywhere, or a folder that starts
# with neither Program Files folder (case ignored).
REFUSE_CONDITION = ('NOT Installed AND (INSTALLDIR >< ".." OR INSTALLDIR >< "/" OR NOT '
                    '(INSTALLDIR ~<< ProgramFilesFolder OR (ProgramFiles64Folder AND '
                    'INSTALLDIR ~<< ProgramFiles64Folder)))')


def table(msi, name):
    text = subprocess.run(["msiinfo", "export", msi, name], check=True, capture_output=True,
                          text=True).stdout
    lines = text.replace("\r\n", "\n").split("\n")
    columns = lines[0].split("\t")
    return [dict(zip(columns, line.split("\t"))) for line in lines[3:] if line]


def version_h(path):
    text = open(path, encoding="utf-8").read()
    part = lambda name: re.search(rf"#define ORVANE_VERSION_{name} (\d+)", text).group(1)
    return ".".join(part(n) for n in ("MAJOR", "MINOR", "PATCH"))


def pe_machine(path):
    with open(path, "rb") as f:
        data = f.read(4096)
    offset = int.from_bytes(data[0x3C:0x40], "little")
    if data[:2] != b"MZ" or data[offset:offset + 4] != b"PE\0\0":
        return None
    return int.from_bytes(data[offset + 4:offset + 6], "little")


EVENT_KEY = "SYSTEM\\CurrentControlSet\\Services\\EventLog\\Application\\Orvane"
# Name -> Value in the Registry table: "#%" REG_EXPAND_SZ, "#" REG_DWORD; the
# row named "-" (no value) removes the key with the package.
EVENT_ROWS = {
    "EventMessageFile": "#%[INSTALLDIR]OrvaneSetting.exe;[INSTALLDIR]OrvaneChecker.exe",
    "TypesSupported": "#7",
    "-": "",
}


def event_source_problems(registry, feature_components):
    """The event source's rows: in HKLM (root 2), under the source's key
    exactly (no trailing backslash), in a component the feature installs."""
    problems = []
    rows = [r for r in registry if r["Key"].rstrip("\\").lower() == EVENT_KEY.lower()]
    found = {r["Name"]: r for r in rows}
    for name, value in EVENT_ROWS.items():
        row = found.get(name)
        if row is None:
            problems.append(f"event source: no Registry row {EVENT_KEY}\\{name}")
        elif row["Value"] != value or row["Root"] != "2" or row["Key"] != EVENT_KEY:
            problems.append(f"event source: row {row!r}, expected HKLM {EVENT_KEY} {name} = {value!r}")
    extra = sorted(set(found) - set(EVENT_ROWS))
    if extra:
        problems.append(f"event source: unexpected values {extra}")
    installed = {r["Component_"] for r in feature_components}
    for row in rows:
        if row["Component_"] not in installed:
            problems.append(f"event source: component {row['Component_']} is in no feature")
    return problems


def check(msi, bin_dir, version_file, machine):
    problems = []
    summary = subprocess.run(["msiinfo", "suminfo", msi], check=True, capture_output=True,
                             text=True).stdout
    template = re.search(r"^Template: (.*)$", summary, re.M)
    if not template or template.group(1) != "Intel;1041":
        problems.append(f"template {template.group(1) if template else None!r}, expected 'Intel;1041'")

    props = {row["Property"]: row["Value"] for row in table(msi, "Property")}
    expected = {"ProductVersion": version_h(version_file), "Manufacturer": "Brindle",
                "ProductName": "Orvane", "ARPPRODUCTICON": "orvane.ico", "ALLUSERS": "1"}
    for key, value in expected.items():
        if props.get(key) != value:
            problems.append(f"property {key} = {props.get(key)!r}, expected {value!r}")
    icons = [row["Name"] for row in table(msi, "Icon")]
    if props.get("ARPPRODUCTICON") not in icons:
        problems.append(f"ARPPRODUCTICON names no icon of the Icon table {icons}")

    dirs = {row["Directory"]: row for row in table(msi, "Directory")}
    install = dirs.get("INSTALLDIR")
    if not install or install["Directory_Parent"] != "ProgramFilesFolder" or install["DefaultDir"] != "Orvane":
        problems.append(f"INSTALLDIR is {install!r}, expected Orvane under ProgramFilesFolder")
    components = {row["Component"]: row for row in table(msi, "Component")}
    files = {row["FileName"]: row for row in table(msi, "File")}
    if sorted(files) != sorted(FILES):
        problems.append(f"files {sorted(files)}, expected {sorted(FILES)}")

    with tempfile.TemporaryDirectory() as tmp:
        subprocess.run(["msiextract", "-C", tmp, msi], check=True, capture_output=True)
        for name, row in files.items():
            comp = components.get(row["Component_"], {})
            if comp.get("Directory_") != "INSTALLDIR":
                problems.append(f"{name}: installed into {comp.get('Directory_')!r}, not INSTALLDIR")
            found = [os.path.join(d, name) for d, _, names in os.walk(tmp) if name in names]
            built = os.path.join(bin_dir, name)
            if len(found) != 1:
                problems.append(f"{name}: {len(found)} copies in the cabinet")
                continue
            if open(found[0], "rb").read() != open(built, "rb").read():
                problems.append(f"{name}: the packed file differs from {built}")
            if name.endswith(".exe") and pe_machine(found[0]) != MACHINES[machine]:
                problems.append(f"{name}: PE machine {pe_machine(found[0])!r}, expected {machine}")

    shortcuts = table(msi, "Shortcut")
    wanted = {"Name": "Orvane 設定", "Directory_": "ProgramMenuFolder",
              "Target": "[INSTALLDIR]OrvaneSetting.exe", "WkDir": "INSTALLDIR"}
    if len(shortcuts) != 1 or any(shortcuts[0].get(k) != v for k, v in wanted.items()):
        problems.append(f"shortcuts {shortcuts}, expected one with {wanted}")

    upgrades = table(msi, "Upgrade")
    downgrade = [r for r in upgrades if r["ActionProperty"] == "WIX_DOWNGRADE_DETECTED"]
    upgrade = [r for r in upgrades if r["ActionProperty"] == "WIX_UPGRADE_DETECTED"]
    if not upgrade or not downgrade:
        problems.append(f"upgrade rows {upgrades}: no major upgrade or no downgrade detection")
    launch = [r["Condition"] for r in table(msi, "LaunchCondition")]
    if not any("WIX_DOWNGRADE_DETECTED" in c for c in launch):
        problems.append(f"launch conditions {launch}: a downgrade is not refused")

    # A folder outside Program Files inherits permissions that may let users
    # replace the programs: a first install there ends with an error once the
    # folders are resolved, before anything is installed.
    refuse = [r for r in table(msi, "CustomAction") if r["Action"] == "RefuseInstallDir"]
    if len(refuse) != 1 or refuse[0]["Type"] != "19" or "[INSTALLDIR]" not in refuse[0]["Target"]:
        problems.append(f"custom actions {refuse}: no error action (type 19) naming INSTALLDIR")
    sequence = {r["Action"]: r for r in table(msi, "InstallExecuteSequence")}
    step = sequence.get("RefuseInstallDir")
    if not step or not (int(sequence["CostFinalize"]["Sequence"]) < int(step["Sequence"]) <
                        int(sequence["InstallValidate"]["Sequence"])):
        problems.append(f"RefuseInstallDir is sequenced {step!r}: not between CostFinalize and InstallValidate")
    elif step["Condition"] != REFUSE_CONDITION:
        problems.append(f"RefuseInstallDir runs on {step['Condition']!r}, expected {REFUSE_CONDITION!r}")

    problems += event_source_problems(table(msi, "Registry"), table(msi, "FeatureComponents"))

    for row in table(msi, "Registry"):
        key = row["Key"].lower()
        if "currentversion\\run" in key or key.startswith("software\\brindle\\orvane\\") or \
                key == "software\\brindle\\orvane":
            problems.append(f"registry row writes {row['Key']}\\{row['Name']}: no Run value or record")
    return problems


def main(argv):
    machine = "i386"
    if "--machine" in argv:
        machine = argv[argv.index("--machine") + 1]
        del argv[argv.index("--machine"):argv.index("--machine") + 2]
    msi, bin_dir, version_file = argv[1:4]
    problems = check(msi, bin_dir, version_file, machine)
    for p in problems:
        print("FAIL " + p)
    if not problems:
        print(f"PASS {msi}: 32-bit package, {len(FILES)} files, shortcut, version, upgrade rules, "
              "install folder rule, event source")
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
