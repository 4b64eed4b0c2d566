#include "tests/contract/smartcard_contract.h"

#include <cstring>
#include <string>

namespace orvane {

namespace {

using Bytes = std::vector<unsigned char>;

const unsigned char kIdCommand[5] = {0xFF, 0xCA, 0x00, 0x00, 0x00};
constexpr uint32_t kBuffer = 260;

const char* Name(ScResult r) {
  switch (r) {
    case ScResult::Ok: return "Ok";
    case ScResult::NoService: return "NoService";
    case ScResult::NoReaders: return "NoReaders";
    case ScResult::NoCard: return "NoCard";
    case ScResult::Removed: return "Removed";
    case ScResult::Sharing: return "Sharing";
    case ScResult::InsufficientBuffer: return "InsufficientBuffer";
    case ScResult::Failed: return "Failed";
  }
  return "?";
}

class Contract {
 public:
  Contract(SmartCardPort& port, CardStage& stage, ContractLog& log)
      : port_(port), stage_(stage), log_(log) {}
  int failures() const { return failures_; }

  void Run() {
    ScContext context = 0;
    if (!ExpectResult(port_.EstablishContext(&context), ScResult::Ok, "establish a context"))
      return;
    Readers(context);
    Connecting(context);
    ScCard card = 0;
    if (ExpectResult(port_.Connect(context, stage_.ReaderWithCard(), &card), ScResult::Ok,
                     "connect to the reader with the card")) {
      Status(card);
      Transmit(card);
      Removal(context, card);
    }
    ExpectResult(port_.ReleaseContext(context), ScResult::Ok, "release the context");
  }

 private:
  bool Expect(bool ok, const char* what, const std::string& detail) {
    if (ok) {
      log_.Pass("smart card", what);
    } else {
      ++failures_;
      log_.Fail("smart card", what, detail.c_str());
    }
    return ok;
  }
  bool ExpectResult(ScResult got, ScResult want, const char* what) {
    return Expect(got == want, what, std::string("got ") + Name(got) + ", expected " + Name(want));
  }

  void Readers(ScContext context) {
    uint32_t size = 0;
    if (!ExpectResult(port_.ListReaders(context, nullptr, &size), ScResult::Ok,
                      "the reader list's size"))
      return;
    std::u16string list(size + 8, u'\xFFFF');
    uint32_t length = size;
    ScResult r = port_.ListReaders(context, &list[0], &length);
    Expect(r == ScResult::Ok && length == size, "the list fetched with the size asked",
           std::string(Name(r)) + ", " + std::to_string(length) + " of " + std::to_string(size));
    list.resize(length < list.size() ? length : 0);
    const std::u16string with = std::u16string(stage_.ReaderWithCard()) + u'\0';
    const std::u16string without = std::u16string(stage_.ReaderWithoutCard()) + u'\0';
    Expect(list.find(with) != std::u16string::npos && list.find(without) != std::u16string::npos,
           "both readers are listed, each name terminated", "");
    Expect(list.size() >= 2 && list[list.size() - 1] == 0 && list[list.size() - 2] == 0,
           "the list ends with an empty name", "");

    uint32_t small = 4;
    char16_t shortBuffer[4] = {};
    r = port_.ListReaders(context, shortBuffer, &small);
    Expect(r == ScResult::InsufficientBuffer && small == size,
           "a list buffer too small is InsufficientBuffer with the size needed",
           std::string(Name(r)) + ", " + std::to_string(small));
  }

  void Connecting(ScContext context) {
    ScCard card = 0;
    ScResult r = port_.Connect(context, stage_.ReaderWithoutCard(), &card);
    if (r == ScResult::Ok) port_.Disconnect(card);
    ExpectResult(r, ScResult::NoCard, "connect to a reader without a card is NoCard");
    r = port_.Connect(context, u"No Such Reader 09 09", &card);
    if (r == ScResult::Ok) port_.Disconnect(card);
    ExpectResult(r, ScResult::NoReaders, "connect to an unknown reader is NoReaders");
  }

  void Status(ScCard card) {
    const Bytes atr = stage_.Atr();
    unsigned char buffer[kBuffer] = {};
    uint32_t length = kBuffer;
    ScResult r = port_.Status(card, buffer, &length);
    Expect(r == ScResult::Ok && Bytes(buffer, buffer + (length <= kBuffer ? length : 0)) == atr,
           "the ATR in a 260-byte buffer", std::string(Name(r)) + ", " + std::to_string(length) +
                                                " bytes, expected " + std::to_string(atr.size()));
    length = 10;
    r = port_.Status(card, buffer, &length);
    Expect(r == ScResult::InsufficientBuffer && length == atr.size(),
           "an ATR buffer too small is InsufficientBuffer with the ATR's length",
           std::string(Name(r)) + ", " + std::to_string(length));
  }

  void Transmit(ScCard card) {
    const Bytes id = stage_.IdAnswer();
    unsigned char buffer[kBuffer] = {};
    uint32_t length = kBuffer;
    ScResult r = port_.Transmit(card, kIdCommand, sizeof kIdCommand, buffer, &length);
    Expect(r == ScResult::Ok && Bytes(buffer, buffer + (length <= kBuffer ? length : 0)) == id,
           "the ID answer in a 260-byte buffer, status included",
           std::string(Name(r)) + ", " + std::to_string(length) + " bytes, expected " +
               std::to_string(id.size()));
    unsigned char small[4] = {};
    length = sizeof small;
    r = port_.Transmit(card, kIdCommand, sizeof kIdCommand, small, &length);
    Expect(r == ScResult::InsufficientBuffer,
           "an answer buffer too small is InsufficientBuffer",
           std::string(Name(r)) + ", " + std::to_string(length));
  }

  void Removal(ScContext context, ScCard card) {
    if (!Expect(stage_.RemoveCard(), "the card leaves the reader", "")) {
      port_.Disconnect(card);
      return;
    }
    unsigned char buffer[kBuffer] = {};
    uint32_t length = kBuffer;
    ExpectResult(port_.Status(card, buffer, &length), ScResult::Removed,
                 "Status after the card left is Removed");
    std::memset(buffer, 0, sizeof buffer);
    length = kBuffer;
    ExpectResult(port_.Transmit(card, kIdCommand, sizeof kIdCommand, buffer, &length),
                 ScResult::Removed, "Transmit after the card left is Removed");
    ExpectResult(port_.Disconnect(card), ScResult::Ok, "Disconnect after the card left is Ok");
    ExpectResult(port_.Disconnect(card), ScResult::Failed, "a second Disconnect fails");
    ScCard again = 0;
    ScResult r = port_.Connect(context, stage_.ReaderWithCard(), &again);
    if (r == ScResult::Ok) port_.Disconnect(again);
    ExpectResult(r, ScResult::NoCard, "connect after the card left is NoCard");
  }

  SmartCardPort& port_;
  CardStage& stage_;
  ContractLog& log_;
  int failures_ = 0;
};

}  // namespace

int RunSmartCardContract(SmartCardPort& port, CardStage& stage, ContractLog& log) {
  Contract contract(port, stage, log);
  contract.Run();
  return contract.failures();
}

}  // namespace orvane
