/* Waits until pcscd is in a given state, for the end-to-end test harness:
 *
 *   orvane-pcsc-wait service TIMEOUT_MS [READERS]   pcscd answers and lists at least READERS readers
 *   orvane-pcsc-wait present READER TIMEOUT_MS      a card is on READER (ATR read)
 *   orvane-pcsc-wait absent READER TIMEOUT_MS       READER is empty
 *
 * Exit 0 when the state was reached, 1 on timeout, 2 for bad arguments.
 * Talks to pcsc-lite directly so the harness does not depend on the code
 * under test. */
#include <PCSC/winscard.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <time.h>

static long long NowMs(void) {
  struct timespec ts;
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return (long long)ts.tv_sec * 1000 + ts.tv_nsec / 1000000;
}

static void SleepMs(int ms) {
  struct timespec ts = {ms / 1000, (ms % 1000) * 1000000L};
  nanosleep(&ts, NULL);
}

static int CountReaders(SCARDCONTEXT ctx) {
  DWORD len = 0;
  if (SCardListReaders(ctx, NULL, NULL, &len) != SCARD_S_SUCCESS || len == 0) return 0;
  char* buf = calloc(len + 1, 1);
  if (!buf) return 0;
  int n = 0;
  if (SCardListReaders(ctx, NULL, buf, &len) == SCARD_S_SUCCESS) {
    for (char* p = buf; p < buf + len && *p; p += strlen(p) + 1) n++;
  }
  free(buf);
  return n;
}

static int WaitService(long long deadline, int wanted) {
  for (;;) {
    SCARDCONTEXT ctx;
    if (SCardEstablishContext(SCARD_SCOPE_USER, NULL, NULL, &ctx) == SCARD_S_SUCCESS) {
      int n = CountReaders(ctx);
      SCardReleaseContext(ctx);
      if (n >= wanted) return 0;
    }
    if (NowMs() >= deadline) return 1;
    SleepMs(50);
  }
}

static int WaitCard(const char* reader, int present, long long deadline) {
  for (;;) {
    SCARDCONTEXT ctx;
    if (SCardEstablishContext(SCARD_SCOPE_USER, NULL, NULL, &ctx) == SCARD_S_SUCCESS) {
      SCARD_READERSTATE rs;
      memset(&rs, 0, sizeof rs);
      rs.szReader = reader;
      rs.dwCurrentState = SCARD_STATE_UNAWARE;
      for (;;) {
        long long left = deadline - NowMs();
        if (left < 0) left = 0;
        LONG rv = SCardGetStatusChange(ctx, (DWORD)(left > 200 ? 200 : left), &rs, 1);
        if (rv == SCARD_S_SUCCESS || rv == SCARD_E_TIMEOUT) {
          DWORD st = rs.dwEventState;
          int has = (st & SCARD_STATE_PRESENT) && !(st & SCARD_STATE_MUTE);
          int empty = (st & SCARD_STATE_EMPTY) != 0;
          if (present ? has : empty) {
            SCardReleaseContext(ctx);
            return 0;
          }
          rs.dwCurrentState = st & ~SCARD_STATE_CHANGED;
        } else {
          break; /* reader unknown yet or service gone: start over */
        }
        if (NowMs() >= deadline) break;
      }
      SCardReleaseContext(ctx);
    }
    if (NowMs() >= deadline) return 1;
    SleepMs(50);
  }
}

int main(int argc, char** argv) {
  if (argc >= 3 && strcmp(argv[1], "service") == 0) {
    int wanted = argc >= 4 ? atoi(argv[3]) : 1;
    return WaitService(NowMs() + atoi(argv[2]), wanted);
  }
  if (argc == 4 && (strcmp(argv[1], "present") == 0 || strcmp(argv[1], "absent") == 0)) {
    return WaitCard(argv[2], strcmp(argv[1], "present") == 0, NowMs() + atoi(argv[3]));
  }
  fprintf(stderr, "usage: %s service TIMEOUT_MS [READERS] | present|absent READER TIMEOUT_MS\n", argv[0]);
  return 2;
}
