// One PollCard of the core (checker flavour) against a real pcscd with a
// virtual card on "Virtual PCD 00 00", beside a minimal direct pcsc-lite loop
// that makes the same calls: connect, status, transmit ID, [transmit PMm],
// disconnect. Both report the PC/SC calls each poll makes.
//
// Needs pcscd and a virtual card (tests/bench/run-bench.sh starts them).
// ORVANE_BENCH_READER names another reader.
#include <benchmark/benchmark.h>
#include <PCSC/winscard.h>

#include <cstdlib>
#include <cstring>

#include "card/card_access.h"
#include "platform/pcsclite/no_felica.h"
#include "platform/pcsclite/pcsclite_smartcard.h"

namespace {

using namespace orvane;

const char* ReaderName() {
  const char* name = std::getenv("ORVANE_BENCH_READER");
  return name && *name ? name : "Virtual PCD 00 00";
}

// Counts every call that passes through the port.
class CountingSmartCard : public SmartCardPort {
 public:
  explicit CountingSmartCard(SmartCardPort& inner) : inner_(inner) {}
  long calls = 0;

  ScResult EstablishContext(ScContext* c) override { return ++calls, inner_.EstablishContext(c); }
  ScResult ListReaders(ScContext c, char16_t* names, uint32_t* length) override {
    return ++calls, inner_.ListReaders(c, names, length);
  }
  ScResult Connect(ScContext c, const char16_t* reader, ScCard* card) override {
    return ++calls, inner_.Connect(c, reader, card);
  }
  ScResult Status(ScCard card, unsigned char* atr, uint32_t* length) override {
    return ++calls, inner_.Status(card, atr, length);
  }
  ScResult Transmit(ScCard card, const unsigned char* command, uint32_t commandLength,
                    unsigned char* answer, uint32_t* answerLength) override {
    return ++calls, inner_.Transmit(card, command, commandLength, answer, answerLength);
  }
  ScResult Disconnect(ScCard card) override { return ++calls, inner_.Disconnect(card); }
  ScResult ReleaseContext(ScContext c) override { return ++calls, inner_.ReleaseContext(c); }

 private:
  SmartCardPort& inner_;
};

void BM_CorePollCard(benchmark::State& state) {
  PcscLiteSmartCard pcsc;
  CountingSmartCard counting(pcsc);
  NoFelica felica;
  CardAccess access(Flavour::Checker, counting, felica);
  // The first poll discovers the readers, as the checker's first poll does.
  if (PollCard(access) != 1) {
    state.SkipWithError("no card on the reader (is pcscd running with a virtual card?)");
    ReleaseReaders(access);
    return;
  }
  counting.calls = 0;
  long polls = 0;
  for (auto _ : state) {
    if (PollCard(access) != 1) {
      state.SkipWithError("the card went away during the benchmark");
      break;
    }
    ++polls;
  }
  if (polls) state.counters["pcsc_calls_per_poll"] = static_cast<double>(counting.calls) / polls;
  ReleaseReaders(access);
}

// The same calls made directly, with the least code: what the core's poll
// costs over the PC/SC round trips themselves.
void BM_DirectPcscLite(benchmark::State& state) {
  SCARDCONTEXT context;
  if (SCardEstablishContext(SCARD_SCOPE_USER, nullptr, nullptr, &context) != SCARD_S_SUCCESS) {
    state.SkipWithError("SCardEstablishContext failed (is pcscd running?)");
    return;
  }
  const char* reader = ReaderName();
  static const unsigned char kId[] = {0xFF, 0xCA, 0x00, 0x00, 0x00};
  static const unsigned char kPmm[] = {0xFF, 0xCA, 0x01, 0x00, 0x00};
  long calls = 0, polls = 0;
  for (auto _ : state) {
    SCARDHANDLE card;
    DWORD protocol;
    ++calls;
    if (SCardConnect(context, reader, SCARD_SHARE_SHARED, SCARD_PROTOCOL_T0 | SCARD_PROTOCOL_T1, &card,
                     &protocol) != SCARD_S_SUCCESS) {
      state.SkipWithError("SCardConnect failed (no card?)");
      break;
    }
    unsigned char atr[260];
    DWORD atrLength = sizeof atr, state_, proto;
    ++calls;
    const bool statusOk = SCardStatus(card, nullptr, nullptr, &state_, &proto, atr, &atrLength) == SCARD_S_SUCCESS;
    const bool felica = statusOk && atrLength >= 15 && atr[10] == 0x03 && atr[11] == 0x06 && atr[12] == 0x11 &&
                        atr[13] == 0x00 && atr[14] == 0x3B;
    unsigned char answer[260];
    DWORD answerLength = sizeof answer;
    std::memset(answer, 0, sizeof answer);
    ++calls;
    LONG rv = SCardTransmit(card, SCARD_PCI_T1, kId, sizeof kId, nullptr, answer, &answerLength);
    if (rv == SCARD_S_SUCCESS && felica && answerLength == 10) {
      answerLength = sizeof answer;
      std::memset(answer, 0, sizeof answer);
      ++calls;
      rv = SCardTransmit(card, SCARD_PCI_T1, kPmm, sizeof kPmm, nullptr, answer, &answerLength);
    }
    ++calls;
    SCardDisconnect(card, SCARD_LEAVE_CARD);
    benchmark::DoNotOptimize(rv);
    ++polls;
  }
  if (polls) state.counters["pcsc_calls_per_poll"] = static_cast<double>(calls) / polls;
  SCardReleaseContext(context);
}

BENCHMARK(BM_CorePollCard)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_DirectPcscLite)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
