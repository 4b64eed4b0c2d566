#!/usr/bin/env python3
"""End-to-end tests of orvane-card against a real pcscd with virtual cards.

  e2e.py --bin BIN_DIR --state STATE_DIR [--wine-bin WIN_BIN_DIR] CASE

With --wine-bin the Windows build's orvane-card.exe runs under Wine with the
test winscard.dll, whose calls orvane-pcsc-bridge (from BIN_DIR) makes on
pcsc-lite: the same cases through the Windows PC/SC adapter. Exit 77 (skip)
when that build is missing.

The pcscd of the harness (pcscd-harness.sh) must be running. Each case places
its virtual cards (tests/vcard/vcard.py) on the vpcd readers, waits until
pcscd sees them, runs orvane-card and checks what it prints. Expected
identities come from the worked examples or from the identity fill computed
here, apart from the code under test.
"""

import argparse
import os
import re
import shutil
import subprocess
import sys
import time

HERE = os.path.dirname(os.path.abspath(__file__))
VCARD = os.path.join(HERE, "..", "vcard", "vcard.py")
READERS = ("Virtual PCD 00 00", "Virtual PCD 00 01")
PASORI_NAME = "Sony PaSoRi Virtual"
PASORI_READERS = (PASORI_NAME + " 00 00", PASORI_NAME + " 00 01")
HARNESS = os.path.join(HERE, "pcscd-harness.sh")
WINE_RUN = os.path.join(HERE, "..", "wine", "wine-run.sh")


# --- the identity fill, written out again as the oracle -----------------------

def crc16_arc(data):
    reg = 0
    for b in data:
        reg ^= b
        for _ in range(8):
            reg = (reg >> 1) ^ 0xA001 if reg & 1 else reg >> 1
    return reg


def crc8(data):
    reg = 0
    for b in data:
        reg ^= b
        for _ in range(8):
            reg = ((reg << 1) ^ 0x07) & 0xFF if reg & 0x80 else (reg << 1) & 0xFF
    return reg


def filled(card_id, start=None):
    ident = list(card_id[:16]) + [0] * max(0, 16 - len(card_id))
    p = len(card_id) if start is None else start
    while p < 16:
        c, x, k = crc16_arc(ident[:p]), 0, crc8(ident[:p])
        for b in ident[:p]:
            x ^= b
        for v in (c >> 8, x, k, c & 0xFF):
            if p >= 16:
                break
            ident[p] = v
            p += 1
    return bytes(ident)


def h(text):
    return bytes.fromhex(text.replace(" ", ""))


# The oracle must reproduce the worked examples before it judges anything.
assert filled(h("01020304")) == h("01 02 03 04 0F 04 E3 A1 A2 4D 35 D9 DB 4E 9A FF")
assert filled(h("04112233445566")) == h("04 11 22 33 44 55 66 AD 73 A4 4E 4A 47 DD AD 9A")
assert filled(h("04523A123456789ABCDE")) == h("04 52 3A 12 34 56 78 9A BC DE B3 9C FC 91 1D DE")
assert crc16_arc(b"123456789") == 0xBB3D and crc8(b"123456789") == 0xF4

FELICA_IDM = h("012E4CD82A1B3C4D")
FELICA_PMM = h("03014B024F4993FF")
MIFARE4 = h("01 02 03 04 0F 04 E3 A1 A2 4D 35 D9 DB 4E 9A FF")
MIFARE7 = h("04 11 22 33 44 55 66 AD 73 A4 4E 4A 47 DD AD 9A")
MIFARE10 = h("04 52 3A 12 34 56 78 9A BC DE B3 9C FC 91 1D DE")


# --- running things ---------------------------------------------------------

class Failure(Exception):
    pass


class Env:
    def __init__(self, bin_dir, state, wine_bin=None):
        self.bin_dir = bin_dir
        self.state = state
        self.cards = {}  # slot -> (process, control fifo)
        self.readers = READERS
        self.wine_dir = None
        self.bridge = None
        self.bridge_port = None
        if wine_bin:
            self.start_wine(wine_bin)

    def start_wine(self, wine_bin):
        exe = os.path.join(wine_bin, "orvane-card.exe")
        dll = os.path.join(wine_bin, "winscard-bridge", "winscard.dll")
        if not os.path.isfile(exe) or not os.path.isfile(dll):
            print("SKIP: %s or %s not built (build the win64 preset first)" % (exe, dll))
            sys.exit(77)
        # The program loads winscard.dll from System32 only: the bridge goes
        # into the prefix's System32, made first if need be.
        self.wine_dir = os.path.join(self.state, "wine-bridge")
        shutil.rmtree(self.wine_dir, ignore_errors=True)
        os.makedirs(self.wine_dir)
        shutil.copy(exe, self.wine_dir)
        prefix = os.environ.get("ORVANE_WINEPREFIX") or os.path.join(HERE, "..", "..", "build", "wineprefix")
        subprocess.run([WINE_RUN, "cmd", "/c", "exit"], capture_output=True, timeout=300)
        subprocess.run([os.path.join(HERE, "..", "windows", "winscard-bridge", "install-bridge.sh"),
                        prefix, dll], check=True, timeout=30)
        port_file = os.path.join(self.state, "bridge.port")
        if os.path.exists(port_file):
            os.unlink(port_file)
        self.bridge = subprocess.Popen([os.path.join(self.bin_dir, "orvane-pcsc-bridge"), port_file])
        with open(os.path.join(self.state, "bridge-0.pid"), "w") as f:
            f.write(str(self.bridge.pid))
        for _ in range(100):
            if os.path.exists(port_file) or self.bridge.poll() is not None:
                break
            time.sleep(0.05)
        if not os.path.exists(port_file):
            raise Failure("orvane-pcsc-bridge did not start")
        with open(port_file) as f:
            self.bridge_port = f.read().strip()

    def stop_wine(self):
        if self.bridge is not None:
            self.bridge.terminate()
            self.bridge.wait()
            self.bridge = None
            os.unlink(os.path.join(self.state, "bridge-0.pid"))
        if self.wine_dir:
            shutil.rmtree(self.wine_dir, ignore_errors=True)

    def restart_pcscd(self, name=None):
        """Restarts the harness's pcscd, with the readers named name (None:
        the standard names). Only within a case: the fixture keeps the lock."""
        self.cleanup()
        tool = os.path.join(self.bin_dir, "orvane-pcsc-wait")
        args = [HARNESS, "restart", self.state, tool] + ([name] if name else [])
        if subprocess.run(args).returncode != 0:
            raise Failure("could not restart pcscd")
        self.readers = (name + " 00 00", name + " 00 01") if name else READERS

    def card_log(self, slot):
        try:
            with open(os.path.join(self.state, "vcard-%d.log" % slot)) as f:
                return f.read()
        except FileNotFoundError:
            return ""

    def wait_tool(self, *args):
        tool = os.path.join(self.bin_dir, "orvane-pcsc-wait")
        return subprocess.run([tool] + [str(a) for a in args]).returncode == 0

    def place(self, scenario, slot=None, removed=False):
        sc_slot = 1 if scenario == "second-reader" else 0
        slot = sc_slot if slot is None else slot
        ctl = os.path.join(self.state, "vcard-%d.ctl" % slot)
        log = os.path.join(self.state, "vcard-%d.log" % slot)
        if os.path.exists(log):
            os.unlink(log)
        cmd = [sys.executable, VCARD, scenario, "--slot", str(slot), "--control", ctl, "--log", log]
        if removed:
            cmd.append("--removed")
        proc = subprocess.Popen(cmd)
        with open(os.path.join(self.state, "vcard-%d.pid" % slot), "w") as f:
            f.write(str(proc.pid))
        self.cards[slot] = (proc, ctl)
        if not removed:
            self.expect_present(slot)

    def control(self, slot, command):
        _, ctl = self.cards[slot]
        with open(ctl, "w") as f:
            f.write(command + "\n")

    def expect_present(self, slot):
        if not self.wait_tool("present", self.readers[slot], 10000):
            raise Failure("pcscd does not see the virtual card on %s" % self.readers[slot])

    def expect_absent(self, slot):
        if not self.wait_tool("absent", self.readers[slot], 10000):
            raise Failure("pcscd still sees a card on %s" % self.readers[slot])

    def remove(self, slot):
        self.control(slot, "remove")
        self.expect_absent(slot)

    def insert(self, slot):
        self.control(slot, "insert")
        self.expect_present(slot)

    def cleanup(self):
        for slot, (proc, ctl) in self.cards.items():
            if proc.poll() is None:
                proc.terminate()
                try:
                    proc.wait(5)
                except subprocess.TimeoutExpired:
                    proc.kill()
                    proc.wait()
            for path in (ctl, os.path.join(self.state, "vcard-%d.pid" % slot)):
                try:
                    os.unlink(path)
                except FileNotFoundError:
                    pass
            # Leave the reader empty for the next case.
            self.wait_tool("absent", self.readers[slot], 10000)
        self.cards = {}

    def orvane_card(self, *args):
        if self.wine_dir:
            env = dict(os.environ, ORVANE_PCSC_BRIDGE_PORT=self.bridge_port, WINEDLLOVERRIDES="winscard=n")
            cmd = [WINE_RUN, os.path.join(self.wine_dir, "orvane-card.exe")]
            timeout = 120  # the first run may create the Wine prefix
        else:
            env, cmd, timeout = None, [os.path.join(self.bin_dir, "orvane-card")], 30
        r = subprocess.run(cmd + list(args), capture_output=True, text=True, encoding="utf-8",
                           errors="replace", timeout=timeout, env=env)
        print("$ orvane-card %s  -> exit %d" % (" ".join(args), r.returncode))
        sys.stdout.write(r.stdout)
        sys.stdout.write(r.stderr)
        return r


def lines_of(result):
    return [l.strip() for l in result.stdout.splitlines()]


def field(result, name):
    for l in lines_of(result):
        if l.startswith(name + ": "):
            return l[len(name) + 2:]
    return None


def expect_card(result, identity, reader=None, kind=None):
    if result.returncode != 0:
        raise Failure("expected a card, got exit %d" % result.returncode)
    want = " ".join("%02X" % b for b in identity)
    got = field(result, "identity")
    if got != want:
        raise Failure("identity: expected %r, got %r" % (want, got))
    key = field(result, "record key")
    if key is None or not re.fullmatch(r"[1-9a-f][0-9a-f]{4,6}", key):
        raise Failure("record key %r is not 5 to 7 lower-case hex digits without a leading zero" % key)
    # The high half is the byte sum, which no permutation changes.
    if int(key, 16) >> 16 != sum(identity):
        raise Failure("record key %s: high half %#x is not the byte sum %#x"
                      % (key, int(key, 16) >> 16, sum(identity)))
    if reader is not None:
        got_reader = field(result, "reader")
        if got_reader is None or reader not in got_reader:
            raise Failure("reader: expected %r, got %r" % (reader, got_reader))
    if kind is not None:
        got_kind = field(result, "card kind")  # the number, then maybe its label
        if got_kind is None or got_kind.split()[0] != str(kind):
            raise Failure("card kind: expected %s, got %r" % (kind, got_kind))
    return key


def expect_no_card(result):
    if result.returncode != 1 or "no card" not in lines_of(result):
        raise Failure("expected 'no card' and exit 1, got exit %d" % result.returncode)
    if field(result, "identity") is not None:
        raise Failure("no card must not print an identity")


def expect_refused(result, kind):
    if result.returncode != 1:
        raise Failure("expected a refused card (exit 1), got exit %d" % result.returncode)
    got_kind = field(result, "card kind")
    if got_kind is None or got_kind.split()[0] != str(kind):
        raise Failure("card kind: expected %s, got %r" % (kind, field(result, "card kind")))
    if not any("card refused" in l for l in lines_of(result)):
        raise Failure("expected 'card refused: ...'")


def poll(env, flavour):
    return env.orvane_card("poll", "--for", flavour)


# --- the cases ----------------------------------------------------------------

# scenario -> expected identity (both flavours), or None for no card
CARD_CASES = {
    "felica": FELICA_IDM + FELICA_PMM,
    "mifare4": MIFARE4,
    "mifare7": MIFARE7,
    "mifare10": MIFARE10,
    # PMm answer of another length on a reader of the second kind: IDm + fill from 8.
    "felica-pmm-short": filled(FELICA_IDM),
    # Only the first 16 bytes of a longer ID, no fill.
    "id-long": h("00112233445566778899AABBCCDDEEFF"),
    "id-fails": None,
    "id-status-only": None,
    "id-one-byte": None,
    "id-close": None,
    "id-zero": None,
}
SETTING_KINDS = {"felica": 4, "felica-pmm-short": 4}  # others: 1 (Mifare ATR)


def card_case(scenario, flavour):
    def run(env):
        env.place(scenario)
        r = poll(env, flavour)
        want = CARD_CASES[scenario]
        if want is None:
            expect_no_card(r)
        else:
            kind = SETTING_KINDS.get(scenario, 1) if flavour == "setting" else None
            expect_card(r, want, reader=READERS[0], kind=kind)
        # Readers without "PaSoRi" in their name get no card-type command.
        if CARD_TYPE_APDU in env.card_log(0):
            raise Failure("the card-type command was sent to a reader of the second kind")
    return run


def short_atr_checker(env):
    env.place("short-atr")
    expect_no_card(poll(env, "checker"))


def short_atr_setting(env):
    env.place("short-atr")
    expect_refused(poll(env, "setting"), 2)


def short_atr_ends_poll(env):
    # A short-ATR card on the first reader ends the poll: the good card on the
    # second reader is not tried.
    env.place("short-atr", slot=0)
    env.place("mifare4", slot=1)
    expect_no_card(poll(env, "checker"))
    expect_refused(poll(env, "setting"), 2)


def second_reader(flavour):
    def run(env):
        env.place("second-reader")
        expect_card(poll(env, flavour), MIFARE4, reader=READERS[1],
                    kind=1 if flavour == "setting" else None)
    return run


def first_reader_wins(env):
    env.place("felica", slot=0)
    env.place("mifare4", slot=1)
    expect_card(poll(env, "checker"), FELICA_IDM + FELICA_PMM, reader=READERS[0])


def empty_readers(env):
    expect_no_card(poll(env, "checker"))
    expect_no_card(poll(env, "setting"))


def removal_and_reinsertion(env):
    env.place("mifare7")
    key1 = expect_card(poll(env, "checker"), MIFARE7)
    env.remove(0)
    expect_no_card(poll(env, "checker"))
    env.insert(0)
    key2 = expect_card(poll(env, "checker"), MIFARE7)
    if key1 != key2:
        raise Failure("the same card gave record keys %s and %s" % (key1, key2))
    # Another card on the same reader is a different identity and record key.
    env.remove(0)
    env.control(0, "scenario mifare4")
    env.insert(0)
    key3 = expect_card(poll(env, "setting"), MIFARE4, kind=1)
    if key3 == key1:
        raise Failure("two cards share the record key %s" % key1)


CARD_TYPE_APDU = "apdu FFCAF30000"

# A reader named PaSoRi is polled alone, with the card-type command first.
# (scenario, flavour) -> ("card", identity, card kind or None) | ("none",) | ("refused", kind)
PASORI_CASES = [
    ("felica", "checker", ("card", FELICA_IDM + FELICA_PMM, None)),
    ("felica", "setting", ("card", FELICA_IDM + FELICA_PMM, 4)),
    ("mifare4", "checker", ("card", MIFARE4, None)),   # type byte 1: by the ATR
    ("mifare4", "setting", ("card", MIFARE4, 1)),      # type byte 1: Mifare at once
    ("mifare10", "setting", ("card", MIFARE10, 1)),
    ("type-2", "checker", ("none",)),
    ("type-2", "setting", ("refused", 2)),
    ("type-8", "checker", ("none",)),
    ("type-8", "setting", ("refused", 8)),
    # Type byte 7 with a short ATR wants the FeliCa library, absent here.
    ("short-atr", "checker", ("none",)),
    ("short-atr", "setting", ("refused", 2)),
    # PMm answer of another length on a PaSoRi reader: the checker keeps the
    # IDm and eight zero bytes, the settings program reads no card.
    ("felica-pmm-short", "checker", ("card", FELICA_IDM + bytes(8), None)),
    ("felica-pmm-short", "setting", ("none",)),
    ("id-fails", "setting", ("none",)),
]


def pasori_reader(env):
    env.restart_pcscd(PASORI_NAME)
    failures = []
    try:
        r = env.orvane_card("readers")
        if PASORI_READERS[0] not in r.stdout or not re.search(r"kind\D*1", r.stdout):
            failures.append("readers: the PaSoRi reader and reader kind 1 not reported")
        if PASORI_READERS[1] in r.stdout:
            failures.append("readers: a reader after the PaSoRi reader was stored")
        for scenario, flavour, want in PASORI_CASES:
            name = "%s/%s" % (scenario, flavour)
            try:
                env.place(scenario)
                r = poll(env, flavour)
                if want[0] == "card":
                    expect_card(r, want[1], reader=PASORI_READERS[0], kind=want[2])
                elif want[0] == "refused":
                    expect_refused(r, want[1])
                else:
                    expect_no_card(r)
                if CARD_TYPE_APDU not in env.card_log(0):
                    raise Failure("no card-type command sent")
                print("ok %s" % name)
            except Failure as e:
                print("FAILED %s: %s" % (name, e))
                failures.append(name)
            finally:
                env.cleanup()
        # Only the PaSoRi reader is polled: a card on the reader after it is not read.
        env.place("second-reader")
        try:
            expect_no_card(poll(env, "checker"))
        except Failure as e:
            failures.append("second reader: %s" % e)
    finally:
        env.restart_pcscd(None)
    if failures:
        raise Failure("; ".join(failures))


# A reader name that is not plain ASCII, holding "PaSoRi": UTF-8 from
# pcsc-lite (UTF-16 on Windows) must reach the poll and the output intact.
WIDE_PASORI_NAME = "ソニー PaSoRi 読取機"


def reader_names(env):
    failures = []
    try:
        # Readers whose names begin with "Microsoft" are never used.
        env.restart_pcscd("Microsoft Virtual")
        r = env.orvane_card("readers")
        if "no reader" not in lines_of(r) or "Microsoft" in r.stdout:
            failures.append("readers: Microsoft readers were stored")
        env.place("mifare4")
        for flavour in ("checker", "setting"):
            try:
                expect_no_card(poll(env, flavour))
            except Failure as e:
                failures.append("Microsoft reader, %s: %s" % (flavour, e))
        env.cleanup()

        env.restart_pcscd(WIDE_PASORI_NAME)
        r = env.orvane_card("readers")
        if WIDE_PASORI_NAME + " 00 00" not in r.stdout or not re.search(r"kind\D*1", r.stdout):
            failures.append("readers: the wide PaSoRi name or reader kind 1 not reported")
        env.place("felica")
        try:
            expect_card(poll(env, "setting"), FELICA_IDM + FELICA_PMM,
                        reader=WIDE_PASORI_NAME + " 00 00", kind=4)
        except Failure as e:
            failures.append("wide PaSoRi name: %s" % e)
    finally:
        env.restart_pcscd(None)
    if failures:
        raise Failure("; ".join(failures))


def readers_listed(env):
    r = env.orvane_card("readers")
    if r.returncode != 0:
        raise Failure("readers: exit %d" % r.returncode)
    for name in READERS:
        if name not in r.stdout:
            raise Failure("readers: %r not listed" % name)
    if "Microsoft" in r.stdout:
        raise Failure("readers: unexpected reader")
    if not re.search(r"kind\D*2", r.stdout):
        raise Failure("readers: reader kind 2 not reported")


def watch_sees_removal(env):
    env.place("mifare4")
    tool = os.path.join(env.bin_dir, "orvane-card")
    proc = subprocess.Popen([tool, "watch"], stdout=subprocess.PIPE, stderr=subprocess.STDOUT,
                            text=True)
    try:
        time.sleep(2.5)
        env.remove(0)
        time.sleep(2.5)
        env.insert(0)
        time.sleep(2.5)
    finally:
        proc.terminate()
        try:
            out, _ = proc.communicate(timeout=5)
        except subprocess.TimeoutExpired:
            proc.kill()
            out, _ = proc.communicate()
    print(out)
    lines = [l for l in out.splitlines() if l.strip()]
    want = " ".join("%02X" % b for b in MIFARE4)
    with_id = [i for i, l in enumerate(lines) if want in l]
    gone = [i for i, l in enumerate(lines) if re.search(r"\b(gone|removed|no card)\b", l, re.I)]
    if len(with_id) < 2 or not gone or not (with_id[0] < gone[0] < with_id[-1]):
        raise Failure("watch did not report the card, its removal and its return in order")


CASES = {}
for sc in CARD_CASES:
    for fl in ("checker", "setting"):
        CASES["%s-%s" % (sc, fl)] = card_case(sc, fl)
CASES.update({
    "short-atr-checker": short_atr_checker,
    "short-atr-setting": short_atr_setting,
    "short-atr-ends-poll": short_atr_ends_poll,
    "second-reader-checker": second_reader("checker"),
    "second-reader-setting": second_reader("setting"),
    "first-reader-wins": first_reader_wins,
    "empty-readers": empty_readers,
    "removal": removal_and_reinsertion,
    "readers": readers_listed,
    "watch": watch_sees_removal,
    "pasori-reader": pasori_reader,
    "reader-names": reader_names,
})


def end_leftover_cards(state):
    for slot in (0, 1):
        pid_file = os.path.join(state, "vcard-%d.pid" % slot)
        try:
            with open(pid_file) as f:
                pid = int(f.read().strip())
            with open("/proc/%d/cmdline" % pid, "rb") as f:
                if b"vcard" in f.read():
                    os.kill(pid, 15)
                    for _ in range(50):
                        if not os.path.exists("/proc/%d" % pid):
                            break
                        time.sleep(0.1)
        except (OSError, ValueError):
            pass
        try:
            os.unlink(pid_file)
        except FileNotFoundError:
            pass


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--bin", required=True)
    ap.add_argument("--state", required=True)
    ap.add_argument("--wine-bin", help="run orvane-card.exe of this Windows build under Wine")
    ap.add_argument("--list", action="store_true")
    ap.add_argument("case", nargs="?")
    args = ap.parse_args()
    if args.list:
        print("\n".join(CASES))
        return 0
    if args.case not in CASES:
        ap.error("unknown case %r" % args.case)
    if args.wine_bin and args.case == "watch":
        ap.error("watch runs only natively")
    env = None
    try:
        env = Env(args.bin, args.state, args.wine_bin)
        # Start from empty readers, whatever an earlier case left (a case
        # killed by its time-out leaves its cards running).
        end_leftover_cards(args.state)
        for slot in (0, 1):
            if not env.wait_tool("absent", READERS[slot], 10000):
                raise Failure("%s is not empty before the case" % READERS[slot])
        CASES[args.case](env)
    except Failure as e:
        print("FAIL %s: %s" % (args.case, e))
        return 1
    finally:
        if env is not None:
            env.cleanup()
            env.stop_wine()
    print("PASS %s" % args.case)
    return 0


if __name__ == "__main__":
    sys.exit(main())
