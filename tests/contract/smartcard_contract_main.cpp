// orvane-smartcard-contract            the cases on the scripted fake
// orvane-smartcard-contract --pcsc FIFO  the cases on the pcsc-lite adapter: the
//     tests' pcscd with the virtual FeliCa card of tests/vcard ("felica") on
//     "Virtual PCD 00 00", moved through its control FIFO
// Prints one line per check; exit code 0 when every check passed.
#include <chrono>
#include <cstdio>
#include <cstring>
#include <thread>

#include "platform/pcsclite/pcsclite_smartcard.h"
#include "tests/contract/smartcard_contract.h"
#include "tests/fakes/scripted_smartcard.h"

namespace {

using orvane::Bytes;

const char16_t kWithCard[] = u"Virtual PCD 00 00";
const char16_t kWithoutCard[] = u"Virtual PCD 00 01";

// The "felica" card of tests/vcard/vcard.py.
const Bytes kAtr = {0x3B, 0x8F, 0x80, 0x01, 0x80, 0x4F, 0x0C, 0xA0, 0x00, 0x00,
                    0x03, 0x06, 0x11, 0x00, 0x3B, 0x00, 0x00, 0x00, 0x00, 0x42};
const Bytes kIdAnswer = {0x01, 0x2E, 0x4C, 0xD8, 0x2A, 0x1B, 0x3C, 0x4D, 0x90, 0x00};

class Stage : public orvane::CardStage {
 public:
  const char16_t* ReaderWithCard() const override { return kWithCard; }
  const char16_t* ReaderWithoutCard() const override { return kWithoutCard; }
  Bytes Atr() const override { return kAtr; }
  Bytes IdAnswer() const override { return kIdAnswer; }
};

class FakeStage : public Stage {
 public:
  explicit FakeStage(orvane::ScriptedSmartCard& fake) : fake_(fake) {
    orvane::FakeCard& card = fake.PutCard(kWithCard);
    card.atr = kAtr;
    card.Answer({0xFF, 0xCA, 0x00, 0x00, 0x00}, kIdAnswer);
    fake.AddReader(kWithoutCard);
  }
  bool RemoveCard() override {
    fake_.FindReader(kWithCard)->hasCard = false;
    return true;
  }

 private:
  orvane::ScriptedSmartCard& fake_;
};

class PcscStage : public Stage {
 public:
  PcscStage(orvane::SmartCardPort& port, const char* control) : port_(port), control_(control) {}
  bool RemoveCard() override {
    std::FILE* f = std::fopen(control_, "w");
    if (!f) return false;
    std::fputs("remove\n", f);
    std::fclose(f);
    // pcscd notices within its polling period; look through a context of our own.
    orvane::ScContext context = 0;
    if (port_.EstablishContext(&context) != orvane::ScResult::Ok) return false;
    bool gone = false;
    for (int i = 0; i < 100 && !gone; ++i) {
      orvane::ScCard card = 0;
      orvane::ScResult r = port_.Connect(context, kWithCard, &card);
      if (r == orvane::ScResult::Ok) port_.Disconnect(card);
      gone = r == orvane::ScResult::NoCard;
      if (!gone) std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    port_.ReleaseContext(context);
    return gone;
  }

 private:
  orvane::SmartCardPort& port_;
  const char* control_;
};

}  // namespace

int main(int argc, char** argv) {
  orvane::PrintingLog log;
  int failures = 0;
  const char* name = nullptr;
  if (argc == 3 && std::strcmp(argv[1], "--pcsc") == 0) {
    orvane::PcscLiteSmartCard port;
    PcscStage stage(port, argv[2]);
    failures = orvane::RunSmartCardContract(port, stage, log);
    name = "PcscLiteSmartCard";
  } else if (argc == 1) {
    orvane::ScriptedSmartCard port;
    FakeStage stage(port);
    failures = orvane::RunSmartCardContract(port, stage, log);
    name = "ScriptedSmartCard";
  } else {
    std::fprintf(stderr, "usage: %s [--pcsc CONTROL_FIFO]\n", argv[0]);
    return 2;
  }
  std::printf("%s: %d failed\n", name, failures);
  return failures == 0 ? 0 : 1;
}
