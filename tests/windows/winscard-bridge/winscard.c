/* A test winscard.dll for Wine: the seven PC/SC calls the programs make,
 * forwarded over loopback TCP to orvane-pcsc-bridge (tests/pcsc-bridge),
 * which makes them on pcsc-lite against pcscd and the virtual cards. Loaded
 * instead of Wine's own with WINEDLLOVERRIDES=winscard=n and the DLL in the
 * prefix's System32 (install-bridge.sh), the only folder the programs load
 * winscard.dll from; ORVANE_PCSC_BRIDGE_PORT gives the bridge's port. A test
 * fixture: never installed, never shipped.
 *
 * Only what the programs use is offered: no SCARD_AUTOALLOCATE, no reader
 * groups. Any other use fails with SCARD_E_INVALID_PARAMETER. */
#include <winsock2.h>
#include <windows.h>

#include <stdint.h>
#include <stdlib.h>
#include <string.h>

#include "bridge_wire.h"

/* winscard.h declares the PCI structures as imports; this DLL defines them. */
typedef struct {
  DWORD dwProtocol;
  DWORD cbPciLength;
} BridgeIoRequest;

__declspec(dllexport) const BridgeIoRequest g_rgSCardT0Pci = {1, sizeof(BridgeIoRequest)};
__declspec(dllexport) const BridgeIoRequest g_rgSCardT1Pci = {2, sizeof(BridgeIoRequest)};
__declspec(dllexport) const BridgeIoRequest g_rgSCardRawPci = {0x10000, sizeof(BridgeIoRequest)};

#define BRIDGE_S_SUCCESS 0L
#define BRIDGE_E_INVALID_PARAMETER ((LONG)0x80100004)
#define BRIDGE_E_INSUFFICIENT_BUFFER ((LONG)0x80100008)
#define BRIDGE_E_NO_SERVICE ((LONG)0x8010001D)
#define BRIDGE_AUTOALLOCATE ((DWORD)-1)

enum { kMaxMessage = 70000 };

static SOCKET g_socket = INVALID_SOCKET;

static int SendAll(const unsigned char* p, int n) {
  while (n > 0) {
    int r = send(g_socket, (const char*)p, n, 0);
    if (r <= 0) return 0;
    p += r;
    n -= r;
  }
  return 1;
}
static int RecvAll(unsigned char* p, int n) {
  while (n > 0) {
    int r = recv(g_socket, (char*)p, n, 0);
    if (r <= 0) return 0;
    p += r;
    n -= r;
  }
  return 1;
}

static void Drop(void) {
  if (g_socket != INVALID_SOCKET) closesocket(g_socket);
  g_socket = INVALID_SOCKET;
}

static int Connect(void) {
  if (g_socket != INVALID_SOCKET) return 1;
  char text[16];
  DWORD n = GetEnvironmentVariableA("ORVANE_PCSC_BRIDGE_PORT", text, sizeof text);
  if (n == 0 || n >= sizeof text) return 0;
  int port = atoi(text);
  if (port <= 0 || port > 65535) return 0;
  WSADATA wsa;
  if (WSAStartup(MAKEWORD(2, 2), &wsa) != 0) return 0;
  g_socket = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
  if (g_socket == INVALID_SOCKET) return 0;
  struct sockaddr_in addr;
  memset(&addr, 0, sizeof addr);
  addr.sin_family = AF_INET;
  addr.sin_port = htons((u_short)port);
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  if (connect(g_socket, (struct sockaddr*)&addr, sizeof addr) != 0) {
    Drop();
    return 0;
  }
  BOOL one = TRUE;
  setsockopt(g_socket, IPPROTO_TCP, TCP_NODELAY, (const char*)&one, sizeof one);
  return 1;
}

static unsigned char g_request[kMaxMessage + 4];
static unsigned char g_answer[kMaxMessage];

/* Sends the request built in q (after its 4-byte length) and reads the
 * answer into a; returns the PC/SC result, or no service when the bridge
 * cannot be reached. */
static LONG Call(Buf* q, Buf* a) {
  if (q->bad) return BRIDGE_E_INVALID_PARAMETER;
  if (!Connect()) return BRIDGE_E_NO_SERVICE;
  Buf h = {q->data, 4, 0, 0};
  PutU32(&h, q->used - 4);
  unsigned char head[4];
  if (!SendAll(q->data, (int)q->used) || !RecvAll(head, 4)) {
    Drop();
    return BRIDGE_E_NO_SERVICE;
  }
  uint32_t length = head[0] | head[1] << 8 | head[2] << 16 | (uint32_t)head[3] << 24;
  if (length < 4 || length > sizeof g_answer || !RecvAll(g_answer, (int)length)) {
    Drop();
    return BRIDGE_E_NO_SERVICE;
  }
  a->data = g_answer;
  a->size = length;
  a->used = 0;
  a->bad = 0;
  return (LONG)GetU32(a);
}

static Buf Request(uint32_t op) {
  Buf q = {g_request, sizeof g_request, 4, 0};
  PutU32(&q, op);
  return q;
}

/* UTF-8 multi-string of n bytes to UTF-16 in out (capacity in units); the
 * number of units it needs, ending with the list's final zero. */
static DWORD Utf8ListToUtf16(const unsigned char* text, uint32_t n, WCHAR* out, DWORD capacity) {
  /* Always end with two zeros, whatever the bridge sent. */
  static char list[kMaxMessage + 2];
  if (n > kMaxMessage) n = kMaxMessage;
  memcpy(list, text, n);
  list[n] = 0;
  list[n + 1] = 0;
  DWORD used = 0;
  const char* p = list;
  while (*p) {
    int len = (int)strlen(p) + 1;
    int units = MultiByteToWideChar(CP_UTF8, 0, p, len, NULL, 0);
    if (units <= 0) return 0;
    if (out && used + (DWORD)units <= capacity) MultiByteToWideChar(CP_UTF8, 0, p, len, out + used, units);
    used += (DWORD)units;
    p += len;
  }
  if (out && used < capacity) out[used] = 0;
  return used + 1;
}

__declspec(dllexport) LONG WINAPI SCardEstablishContext(DWORD scope, LPCVOID reserved1, LPCVOID reserved2,
                                                       ULONG_PTR* context) {
  if (!context) return BRIDGE_E_INVALID_PARAMETER;
  Buf q = Request(OP_ESTABLISH), a = {0};
  PutU32(&q, scope);
  LONG rv = Call(&q, &a);
  if (rv == BRIDGE_S_SUCCESS) *context = (ULONG_PTR)GetU64(&a);
  return rv;
}

__declspec(dllexport) LONG WINAPI SCardReleaseContext(ULONG_PTR context) {
  Buf q = Request(OP_RELEASE), a = {0};
  PutU64(&q, context);
  return Call(&q, &a);
}

__declspec(dllexport) LONG WINAPI SCardListReadersW(ULONG_PTR context, LPCWSTR groups, LPWSTR readers,
                                                   LPDWORD readersLength) {
  if (groups || !readersLength || (readers && *readersLength == BRIDGE_AUTOALLOCATE))
    return BRIDGE_E_INVALID_PARAMETER;
  Buf q = Request(OP_LIST), a = {0};
  PutU64(&q, context);
  LONG rv = Call(&q, &a);
  if (rv != BRIDGE_S_SUCCESS) return rv;
  uint32_t n;
  const unsigned char* list = GetBytes(&a, &n);
  if (!list) return BRIDGE_E_NO_SERVICE;
  DWORD needed = Utf8ListToUtf16(list, n, NULL, 0);
  if (readers) {
    if (*readersLength < needed) {
      *readersLength = needed;
      return BRIDGE_E_INSUFFICIENT_BUFFER;
    }
    Utf8ListToUtf16(list, n, readers, *readersLength);
  }
  *readersLength = needed;
  return BRIDGE_S_SUCCESS;
}

__declspec(dllexport) LONG WINAPI SCardConnectW(ULONG_PTR context, LPCWSTR reader, DWORD shareMode,
                                               DWORD preferredProtocols, ULONG_PTR* card, LPDWORD activeProtocol) {
  if (!reader || !card || !activeProtocol) return BRIDGE_E_INVALID_PARAMETER;
  static char name[4096];
  if (WideCharToMultiByte(CP_UTF8, 0, reader, -1, name, sizeof name, NULL, NULL) <= 0)
    return BRIDGE_E_INVALID_PARAMETER;
  Buf q = Request(OP_CONNECT), a = {0};
  PutU64(&q, context);
  PutU32(&q, shareMode);
  PutU32(&q, preferredProtocols);
  PutBytes(&q, name, (uint32_t)strlen(name));
  LONG rv = Call(&q, &a);
  if (rv == BRIDGE_S_SUCCESS) {
    *card = (ULONG_PTR)GetU64(&a);
    *activeProtocol = GetU32(&a);
  }
  return rv;
}

/* pcsc-lite reports the card state as bits, Windows as one number. */
static DWORD WindowsState(uint32_t bits) {
  if (bits & 0x0040) return 6; /* specific */
  if (bits & 0x0020) return 5; /* negotiable */
  if (bits & 0x0010) return 4; /* powered */
  if (bits & 0x0008) return 3; /* swallowed */
  if (bits & 0x0004) return 2; /* present */
  if (bits & 0x0002) return 1; /* absent */
  return 0;
}

__declspec(dllexport) LONG WINAPI SCardStatusW(ULONG_PTR card, LPWSTR readerNames, LPDWORD readerNamesLength,
                                              LPDWORD state, LPDWORD protocol, LPBYTE atr, LPDWORD atrLength) {
  if ((readerNamesLength && *readerNamesLength == BRIDGE_AUTOALLOCATE) ||
      (atrLength && *atrLength == BRIDGE_AUTOALLOCATE))
    return BRIDGE_E_INVALID_PARAMETER;
  Buf q = Request(OP_STATUS), a = {0};
  PutU64(&q, card);
  LONG rv = Call(&q, &a);
  if (rv != BRIDGE_S_SUCCESS) return rv;
  uint32_t st = GetU32(&a), proto = GetU32(&a), atrSize, namesSize;
  const unsigned char* atrBytes = GetBytes(&a, &atrSize);
  const unsigned char* names = GetBytes(&a, &namesSize);
  if (a.bad) return BRIDGE_E_NO_SERVICE;
  if (state) *state = WindowsState(st);
  if (protocol) *protocol = proto;
  LONG result = BRIDGE_S_SUCCESS;
  if (readerNamesLength) {
    DWORD needed = Utf8ListToUtf16(names, namesSize, NULL, 0);
    if (readerNames && *readerNamesLength < needed) result = BRIDGE_E_INSUFFICIENT_BUFFER;
    else if (readerNames) Utf8ListToUtf16(names, namesSize, readerNames, *readerNamesLength);
    *readerNamesLength = needed;
  }
  if (atrLength) {
    if (atr && *atrLength < atrSize) result = BRIDGE_E_INSUFFICIENT_BUFFER;
    else if (atr) memcpy(atr, atrBytes, atrSize);
    *atrLength = atrSize;
  }
  return result;
}

__declspec(dllexport) LONG WINAPI SCardTransmit(ULONG_PTR card, const BridgeIoRequest* sendPci, const BYTE* command,
                                               DWORD commandLength, BridgeIoRequest* receivePci, LPBYTE answer,
                                               LPDWORD answerLength) {
  if (!sendPci || !command || !answer || !answerLength || *answerLength == BRIDGE_AUTOALLOCATE)
    return BRIDGE_E_INVALID_PARAMETER;
  Buf q = Request(OP_TRANSMIT), a = {0};
  PutU64(&q, card);
  PutU32(&q, sendPci->dwProtocol);
  PutU32(&q, *answerLength);
  PutBytes(&q, command, commandLength);
  LONG rv = Call(&q, &a);
  if (rv != BRIDGE_S_SUCCESS) return rv;
  uint32_t n;
  const unsigned char* bytes = GetBytes(&a, &n);
  if (!bytes) return BRIDGE_E_NO_SERVICE;
  if (n > *answerLength) {
    *answerLength = n;
    return BRIDGE_E_INSUFFICIENT_BUFFER;
  }
  memcpy(answer, bytes, n);
  *answerLength = n;
  return BRIDGE_S_SUCCESS;
}

__declspec(dllexport) LONG WINAPI SCardDisconnect(ULONG_PTR card, DWORD disposition) {
  Buf q = Request(OP_DISCONNECT), a = {0};
  PutU64(&q, card);
  PutU32(&q, disposition);
  return Call(&q, &a);
}
