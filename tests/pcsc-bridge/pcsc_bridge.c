/* The native half of the PC/SC bridge for Wine tests: the test winscard.dll
 * (tests/windows/winscard-bridge) forwards the seven PC/SC calls over
 * loopback TCP to this program, which makes them on pcsc-lite. So the
 * Windows programs' PC/SC path runs under Wine against pcscd and the
 * virtual cards. A test fixture: never shipped.
 *
 *   orvane-pcsc-bridge PORT_FILE [LOG_FILE]
 *
 * listens on 127.0.0.1, on an ephemeral port written to PORT_FILE once
 * listening; with LOG_FILE it appends a line per call: the call's name and
 * its result in hex (e.g. "connect 8010000c"). While the file named by
 * ORVANE_PCSC_BRIDGE_HOLD exists, every call received waits before it is
 * made: a test changes pcscd and its cards meanwhile, and the program sees
 * them change all at once between two of its calls.
 *
 * One process per connection (a Windows process keeps one connection for its
 * life). Messages, little-endian: request u32 length, u32 operation, fields;
 * answer u32 length, i32 PC/SC result, fields. Result codes have the same
 * values in pcsc-lite and on Windows; names travel as UTF-8. */
#include <PCSC/winscard.h>
#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <signal.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/socket.h>
#include <unistd.h>

#include "bridge_wire.h"

enum { kMaxMessage = 1 << 20 };

static int ReadAll(int fd, void* p, size_t n) {
  unsigned char* c = p;
  while (n) {
    ssize_t r = read(fd, c, n);
    if (r <= 0) return 0;
    c += r;
    n -= (size_t)r;
  }
  return 1;
}
static int WriteAll(int fd, const void* p, size_t n) {
  const unsigned char* c = p;
  while (n) {
    ssize_t r = write(fd, c, n);
    if (r <= 0) return 0;
    c += r;
    n -= (size_t)r;
  }
  return 1;
}

static const char* g_log;

static void LogCall(uint32_t op, LONG rv) {
  static const char* const names[] = {"?", "establish", "list", "connect", "status",
                                      "transmit", "disconnect", "release"};
  if (!g_log) return;
  FILE* f = fopen(g_log, "a");
  if (!f) return;
  fprintf(f, "%s %08lx\n", op < sizeof names / sizeof names[0] ? names[op] : "?", (unsigned long)(uint32_t)rv);
  fclose(f);
}

static void WaitWhileHeld(void) {
  const char* hold = getenv("ORVANE_PCSC_BRIDGE_HOLD");
  if (!hold || !*hold) return;
  while (access(hold, F_OK) == 0) usleep(20000);
}

static void Serve(int fd) {
  static unsigned char in[kMaxMessage], out[kMaxMessage], scratch[kMaxMessage];
  for (;;) {
    unsigned char head[4];
    if (!ReadAll(fd, head, 4)) return;
    uint32_t length = head[0] | head[1] << 8 | head[2] << 16 | (uint32_t)head[3] << 24;
    if (length > sizeof in || !ReadAll(fd, in, length)) return;
    WaitWhileHeld();
    Buf q = {in, length, 0, 0};
    Buf a = {out + 4, sizeof out - 4, 0, 0};
    uint32_t op = GetU32(&q);
    LONG rv = SCARD_F_INTERNAL_ERROR;
    a.used = 4; /* the result goes first, written below */
    switch (op) {
      case OP_ESTABLISH: {
        DWORD scope = GetU32(&q);
        SCARDCONTEXT ctx = 0;
        if (!q.bad) rv = SCardEstablishContext(scope, NULL, NULL, &ctx);
        PutU64(&a, (uint64_t)ctx);
        break;
      }
      case OP_LIST: {
        SCARDCONTEXT ctx = (SCARDCONTEXT)GetU64(&q);
        DWORD n = sizeof scratch;
        if (!q.bad) rv = SCardListReaders(ctx, NULL, (char*)scratch, &n);
        PutBytes(&a, scratch, rv == SCARD_S_SUCCESS ? (uint32_t)n : 0);
        break;
      }
      case OP_CONNECT: {
        SCARDCONTEXT ctx = (SCARDCONTEXT)GetU64(&q);
        DWORD share = GetU32(&q), protocols = GetU32(&q);
        uint32_t n;
        const unsigned char* name = GetBytes(&q, &n);
        SCARDHANDLE card = 0;
        DWORD active = 0;
        if (name && n < sizeof scratch) {
          memcpy(scratch, name, n);
          scratch[n] = 0;
          rv = SCardConnect(ctx, (const char*)scratch, share, protocols, &card, &active);
        }
        PutU64(&a, (uint64_t)card);
        PutU32(&a, (uint32_t)active);
        break;
      }
      case OP_STATUS: {
        SCARDHANDLE card = (SCARDHANDLE)GetU64(&q);
        char names[4096];
        DWORD namesLength = sizeof names, state = 0, protocol = 0;
        unsigned char atr[MAX_ATR_SIZE + 8];
        DWORD atrLength = sizeof atr;
        if (!q.bad) rv = SCardStatus(card, names, &namesLength, &state, &protocol, atr, &atrLength);
        int ok = rv == SCARD_S_SUCCESS;
        PutU32(&a, (uint32_t)state);
        PutU32(&a, (uint32_t)protocol);
        PutBytes(&a, atr, ok ? (uint32_t)atrLength : 0);
        PutBytes(&a, names, ok ? (uint32_t)namesLength : 0);
        break;
      }
      case OP_TRANSMIT: {
        SCARDHANDLE card = (SCARDHANDLE)GetU64(&q);
        uint32_t protocol = GetU32(&q), capacity = GetU32(&q), n;
        const unsigned char* command = GetBytes(&q, &n);
        DWORD answerLength = capacity < sizeof scratch ? capacity : sizeof scratch;
        if (command) {
          const SCARD_IO_REQUEST* pci = protocol == SCARD_PROTOCOL_T0 ? SCARD_PCI_T0
                                        : protocol == SCARD_PROTOCOL_T1 ? SCARD_PCI_T1
                                                                        : SCARD_PCI_RAW;
          rv = SCardTransmit(card, pci, command, n, NULL, scratch, &answerLength);
        }
        PutBytes(&a, scratch, rv == SCARD_S_SUCCESS ? (uint32_t)answerLength : 0);
        break;
      }
      case OP_DISCONNECT: {
        SCARDHANDLE card = (SCARDHANDLE)GetU64(&q);
        DWORD disposition = GetU32(&q);
        if (!q.bad) rv = SCardDisconnect(card, disposition);
        break;
      }
      case OP_RELEASE: {
        SCARDCONTEXT ctx = (SCARDCONTEXT)GetU64(&q);
        if (!q.bad) rv = SCardReleaseContext(ctx);
        break;
      }
      default:
        rv = SCARD_E_INVALID_PARAMETER;
        break;
    }
    if (q.bad) rv = SCARD_E_INVALID_PARAMETER;
    LogCall(op, rv);
    uint32_t answerSize = a.used;
    a.used = 0;
    PutU32(&a, (uint32_t)rv);
    Buf h = {out, 4, 0, 0};
    PutU32(&h, answerSize);
    if (a.bad || !WriteAll(fd, out, 4 + answerSize)) return;
  }
}

int main(int argc, char** argv) {
  if (argc != 2 && argc != 3) {
    fprintf(stderr, "usage: %s PORT_FILE [LOG_FILE]\n", argv[0]);
    return 2;
  }
  g_log = argc == 3 ? argv[2] : NULL;
  signal(SIGCHLD, SIG_IGN); /* no zombies from finished connections */
  signal(SIGPIPE, SIG_IGN);
  int s = socket(AF_INET, SOCK_STREAM, 0);
  struct sockaddr_in addr;
  memset(&addr, 0, sizeof addr);
  addr.sin_family = AF_INET;
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  addr.sin_port = 0;
  socklen_t len = sizeof addr;
  if (s < 0 || bind(s, (struct sockaddr*)&addr, sizeof addr) != 0 || listen(s, 8) != 0 ||
      getsockname(s, (struct sockaddr*)&addr, &len) != 0) {
    perror("orvane-pcsc-bridge: listen");
    return 1;
  }
  char tmp[4096];
  snprintf(tmp, sizeof tmp, "%s.new", argv[1]);
  FILE* f = fopen(tmp, "w");
  if (!f || fprintf(f, "%u\n", ntohs(addr.sin_port)) < 0 || fclose(f) != 0 || rename(tmp, argv[1]) != 0) {
    perror("orvane-pcsc-bridge: port file");
    return 1;
  }
  for (;;) {
    int c = accept(s, NULL, NULL);
    if (c < 0) continue;
    int one = 1;
    setsockopt(c, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    pid_t pid = fork();
    if (pid == 0) {
      close(s);
      Serve(c);
      _exit(0);
    }
    close(c);
  }
}
