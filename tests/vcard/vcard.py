#!/usr/bin/env python3
"""A virtual contactless card for the vsmartcard vpcd reader driver of pcscd.

The card connects to vpcd as a TCP client (connecting = card placed on the
reader, closing = card taken away) and answers what pcscd forwards:

  each message is a 2-byte big-endian length and then the body;
  a 1-byte body is a control: 00 power off, 01 power on, 02 reset,
  04 get ATR (answered with length + ATR); any other body is an APDU,
  answered with length + response.

The card plays one of the named scenarios below (see --list). A test driver
moves it deterministically through a control FIFO (--control PATH), one
command per line:

  remove            take the card off the reader (close the connection)
  insert            put it back (connect again)
  scenario NAME     become another card (takes effect at the next insert)
  quit              end the program

An answer in a scenario is hex text (any bytes, any status) or CLOSE (the card
goes away in the middle of the command and stays away until "insert"; the
transmit fails). A card that stays silent cannot be played: vpcd waits for
the answer without a time limit, and an empty answer makes it wait for more,
so pcscd's transmit would hang.
Standard library only, so the tests need nothing beyond python3.
"""

import argparse
import errno
import os
import select
import signal
import socket
import sys
import time

VPCD_BASE_PORT = 35963  # slot 0: "Virtual PCD 00 00", slot 1: "Virtual PCD 00 01"

CARD_TYPE = "FFCAF30000"
GET_ID = "FFCA000000"
GET_PMM = "FFCA010000"

CLOSE = "CLOSE"


def storage_card_atr(standard, card_name):
    """ATR of a contactless storage card as PC/SC readers build it:
    3B 8F 80 01 80 4F 0C, RID A0 00 00 03 06, standard byte, 2-byte card
    name, 4 RFU bytes, TCK. Bytes 10..14 are 03 06 SS C0 C1."""
    body = bytes([0x8F, 0x80, 0x01, 0x80, 0x4F, 0x0C, 0xA0, 0x00, 0x00, 0x03, 0x06,
                  standard, card_name >> 8, card_name & 0xFF, 0, 0, 0, 0])
    tck = 0
    for b in body:
        tck ^= b
    return (bytes([0x3B]) + body + bytes([tck])).hex().upper()


FELICA_ATR = storage_card_atr(0x11, 0x003B)
MIFARE_1K_ATR = storage_card_atr(0x03, 0x0001)
MIFARE_UL_ATR = storage_card_atr(0x03, 0x0003)
MIFARE_PLUS_ATR = storage_card_atr(0x03, 0x0036)
SHORT_ATR = "3B8180018080"  # an ISO 14443-4 card: 6 bytes, no storage-card fields

FELICA_IDM = "012E4CD82A1B3C4D"
FELICA_PMM = "03014B024F4993FF"


def card(atr, card_type, id_answer, pmm_answer="6A81", slot=0, note=""):
    return {"atr": atr, "slot": slot, "note": note,
            "answers": {CARD_TYPE: card_type, GET_ID: id_answer, GET_PMM: pmm_answer}}


SCENARIOS = {
    "felica": card(FELICA_ATR, "049000", FELICA_IDM + "9000", FELICA_PMM + "9000",
                   note="FeliCa: IDm and PMm, 10-byte answers"),
    "mifare4": card(MIFARE_1K_ATR, "019000", "01020304" + "9000",
                    note="Mifare Classic, 4-byte UID"),
    "mifare7": card(MIFARE_UL_ATR, "019000", "04112233445566" + "9000",
                    note="Mifare Ultralight, 7-byte UID"),
    "mifare10": card(MIFARE_PLUS_ATR, "019000", "04523A123456789ABCDE" + "9000",
                     note="Mifare Plus, 10-byte UID"),
    "short-atr": card(SHORT_ATR, "079000", "04112233445566" + "9000",
                      note="ATR shorter than 15 bytes"),
    "id-fails": card(MIFARE_1K_ATR, "019000", "6A81",
                     note="ID command answers 6A 81"),
    "second-reader": card(MIFARE_1K_ATR, "019000", "01020304" + "9000", slot=1,
                          note="Mifare 4-byte UID on the second reader (00 01)"),
    # Card-type bytes that the settings program refuses (PaSoRi readers only).
    "type-2": card(MIFARE_1K_ATR, "029000", "01020304" + "9000", note="card-type byte 2"),
    "type-8": card(MIFARE_1K_ATR, "089000", "01020304" + "9000", note="card-type byte 8"),
    # Further cases of the poll, each with the one answer that matters.
    "felica-pmm-short": card(FELICA_ATR, "049000", FELICA_IDM + "9000", "0301" + "9000",
                             note="FeliCa whose PMm answer is not 10 bytes"),
    "id-status-only": card(MIFARE_1K_ATR, "019000", "9000",
                           note="ID answer holds only the status"),
    "id-one-byte": card(MIFARE_1K_ATR, "019000", "90",
                        note="ID answer of a single byte"),
    "id-close": card(MIFARE_1K_ATR, "019000", CLOSE,
                     note="card leaves during the ID command"),
    "id-long": card(MIFARE_1K_ATR, "019000", "00112233445566778899AABBCCDDEEFF10203040" + "9000",
                    note="20-byte ID: only 16 bytes count"),
    "id-zero": card(MIFARE_1K_ATR, "019000", "00000000" + "9000",
                    note="all-zero 4-byte UID"),
}


class Card:
    def __init__(self, scenario, host, port, log_path, verbose):
        self.scenario_name = scenario
        self.scenario = SCENARIOS[scenario]
        self.host = host
        self.port = port
        self.log_path = log_path
        self.verbose = verbose
        self.sock = None
        self.inserted = True
        self.powered = False

    def log(self, text):
        line = "%.3f %s" % (time.time(), text)
        if self.verbose:
            print(line, file=sys.stderr, flush=True)
        if self.log_path:
            with open(self.log_path, "a") as f:
                f.write(line + "\n")

    def connect(self):
        s = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
        # vpcd writes the length and the body apart: without these each
        # command waits for a delayed ACK (~40 ms).
        s.setsockopt(socket.IPPROTO_TCP, socket.TCP_NODELAY, 1)
        self.quickack(s)
        s.settimeout(1.0)
        try:
            s.connect((self.host, self.port))
        except OSError:
            s.close()
            return False
        s.settimeout(5.0)
        self.sock = s
        self.log("inserted %s port %d" % (self.scenario_name, self.port))
        return True

    @staticmethod
    def quickack(s):
        if hasattr(socket, "TCP_QUICKACK"):
            try:
                s.setsockopt(socket.IPPROTO_TCP, socket.TCP_QUICKACK, 1)
            except OSError:
                pass

    def drop(self, why):
        if self.sock is not None:
            try:
                self.sock.close()
            except OSError:
                pass
            self.sock = None
            self.powered = False
            self.log(why)

    def recv_exact(self, n):
        data = b""
        while len(data) < n:
            chunk = self.sock.recv(n - len(data))
            if not chunk:
                return None
            data += chunk
            self.quickack(self.sock)
        return data

    def send(self, body):
        self.sock.sendall(len(body).to_bytes(2, "big") + body)

    def serve_one(self):
        """Reads one message from vpcd and answers it. False when the link ended."""
        try:
            head = self.recv_exact(2)
            if head is None:
                return False
            length = int.from_bytes(head, "big")
            body = self.recv_exact(length) if length else b""
            if body is None:
                return False
        except OSError:
            return False
        if length == 1:
            ctl = body[0]
            if ctl == 0x00:
                self.powered = False
                self.log("power off")
            elif ctl in (0x01, 0x02):
                self.powered = True
                self.log("power on" if ctl == 0x01 else "reset")
            elif ctl == 0x04:
                self.log("atr")
                self.send(bytes.fromhex(self.scenario["atr"]))
            else:
                self.log("control %02X ignored" % ctl)
            return True
        command = body.hex().upper()
        answer = self.scenario["answers"].get(command, "6A81")
        if answer == CLOSE:
            self.log("apdu %s -> close" % command)
            self.inserted = False
            self.drop("removed (during command)")
            return True
        self.log("apdu %s -> %s" % (command, answer))
        self.send(bytes.fromhex(answer))
        return True

    def control(self, line):
        words = line.split()
        if not words:
            return True
        if words[0] == "remove":
            self.inserted = False
            self.drop("removed")
        elif words[0] == "insert":
            self.inserted = True
        elif words[0] == "scenario" and len(words) == 2 and words[1] in SCENARIOS:
            self.scenario_name = words[1]
            self.scenario = SCENARIOS[words[1]]
            self.log("scenario %s" % words[1])
        elif words[0] == "quit":
            return False
        else:
            self.log("unknown control command: %s" % line)
        return True


def main():
    parser = argparse.ArgumentParser(description="Virtual card for vpcd")
    parser.add_argument("scenario", nargs="?", help="card to play (see --list)")
    parser.add_argument("--list", action="store_true", help="list the scenarios and exit")
    parser.add_argument("--host", default="127.0.0.1")
    parser.add_argument("--slot", type=int, choices=(0, 1),
                        help="vpcd slot (default: the scenario's)")
    parser.add_argument("--port", type=int, help="vpcd port (overrides --slot)")
    parser.add_argument("--control", help="control FIFO to create and read commands from")
    parser.add_argument("--log", help="append a line per event to this file")
    parser.add_argument("--removed", action="store_true", help="start off the reader")
    parser.add_argument("-v", "--verbose", action="store_true")
    args = parser.parse_args()

    if args.list:
        for name, sc in SCENARIOS.items():
            print("%-18s slot %d  %s" % (name, sc["slot"], sc["note"]))
        return 0
    if args.scenario not in SCENARIOS:
        parser.error("unknown scenario %r (see --list)" % args.scenario)

    slot = args.slot if args.slot is not None else SCENARIOS[args.scenario]["slot"]
    port = args.port if args.port else VPCD_BASE_PORT + slot
    c = Card(args.scenario, args.host, port, args.log, args.verbose)
    c.inserted = not args.removed

    fifo = None
    if args.control:
        try:
            os.mkfifo(args.control)
        except FileExistsError:
            pass
        # Opened read-write so the FIFO never reports end-of-file between writers.
        fifo = os.open(args.control, os.O_RDWR | os.O_NONBLOCK)
    pending = b""

    stop = []
    signal.signal(signal.SIGTERM, lambda *_: stop.append(1))
    signal.signal(signal.SIGINT, lambda *_: stop.append(1))

    while not stop:
        if c.inserted and c.sock is None:
            if not c.connect():
                # vpcd not listening (yet): try again shortly.
                time.sleep(0.05)
        watch = [x for x in (fifo, c.sock) if x is not None]
        try:
            ready, _, _ = select.select(watch, [], [], 0.05 if c.sock is None else 0.5)
        except InterruptedError:
            continue
        except OSError as e:
            if e.errno == errno.EINTR:
                continue
            raise
        if fifo is not None and fifo in ready:
            try:
                pending += os.read(fifo, 4096)
            except BlockingIOError:
                pass
            running = True
            while b"\n" in pending:
                line, pending = pending.split(b"\n", 1)
                if not c.control(line.decode(errors="replace").strip()):
                    running = False
                    break
            if not running:
                break
        if c.sock is not None and c.sock in ready:
            if not c.serve_one():
                # vpcd closed the link (pcscd stopped): connect again if still inserted.
                c.drop("link closed by vpcd")
    c.drop("exit")
    if fifo is not None:
        os.close(fifo)
    return 0


if __name__ == "__main__":
    sys.exit(main())
