// Discovery and the poll of both programs against a reader whose every answer
// (reader list, ATR, command answers, reported lengths, results) comes from
// the fuzzer. Nothing may be read or written outside the buffers, and every
// connection must be closed.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstdlib>
#include <cstring>
#include <vector>

#include "card/card_access.h"

namespace orvane {
namespace {

class FuzzedSmartCard : public SmartCardPort {
 public:
  explicit FuzzedSmartCard(FuzzedDataProvider& data) : data_(data) {}
  int open = 0;

  ScResult EstablishContext(ScContext* context) override {
    if (Fails()) return ScResult::NoService;
    *context = 1;
    return ScResult::Ok;
  }
  ScResult ListReaders(ScContext, char16_t* names, uint32_t* length) override {
    if (Fails()) return ScResult::Failed;
    if (!names) {
      // Sometimes the real size, sometimes anything.
      *length = data_.ConsumeBool() ? static_cast<uint32_t>(list_.size())
                                    : data_.ConsumeIntegral<uint32_t>();
      return ScResult::Ok;
    }
    const uint32_t n = std::min<uint32_t>(static_cast<uint32_t>(list_.size()), *length);
    std::memcpy(names, list_.data(), sizeof(char16_t) * n);
    *length = data_.ConsumeBool() ? n : data_.ConsumeIntegral<uint32_t>();
    return ScResult::Ok;
  }
  ScResult Connect(ScContext, const char16_t* reader, ScCard* card) override {
    std::size_t length = 0;
    while (reader[length]) ++length;  // the name must be terminated
    if (Fails()) return ScResult::NoCard;
    ++open;
    *card = 7;
    return ScResult::Ok;
  }
  ScResult Status(ScCard, unsigned char* atr, uint32_t* length) override {
    return Answer(atr, length);
  }
  ScResult Transmit(ScCard, const unsigned char*, uint32_t, unsigned char* answer,
                    uint32_t* answerLength) override {
    return Answer(answer, answerLength);
  }
  ScResult Disconnect(ScCard) override {
    --open;
    return ScResult::Ok;
  }
  ScResult ReleaseContext(ScContext) override { return ScResult::Ok; }

  void MakeList() {
    const std::size_t units = data_.ConsumeIntegralInRange<std::size_t>(0, 3000);
    static const char16_t kAlphabet[] = u"\0\0\0PaSoRiMicrosft 0123456789";
    for (std::size_t i = 0; i < units; ++i)
      list_.push_back(kAlphabet[data_.ConsumeIntegralInRange<std::size_t>(0, 27)]);
  }

 private:
  bool Fails() { return data_.ConsumeIntegralInRange<int>(0, 7) == 0; }
  ScResult Answer(unsigned char* buffer, uint32_t* length) {
    if (Fails()) return ScResult::Failed;
    const std::vector<unsigned char> bytes = data_.ConsumeBytes<unsigned char>(
        data_.ConsumeIntegralInRange<std::size_t>(0, 300));
    const uint32_t n = std::min<uint32_t>(static_cast<uint32_t>(bytes.size()), *length);
    if (n) std::memcpy(buffer, bytes.data(), n);
    *length = data_.ConsumeBool() ? n : data_.ConsumeIntegral<uint32_t>();
    return ScResult::Ok;
  }

  FuzzedDataProvider& data_;
  std::u16string list_;
};

class FuzzedFelica : public FelicaPort {
 public:
  explicit FuzzedFelica(FuzzedDataProvider& data) : data_(data) {}
  bool CommonProgramFilesFolder(char16_t* out, std::size_t capacity) override {
    const std::size_t n = data_.ConsumeIntegralInRange<std::size_t>(0, 300);
    if (n + 1 > capacity) return false;
    for (std::size_t i = 0; i < n; ++i) out[i] = u'f';
    out[n] = 0;
    return true;
  }
  bool Load(const char16_t* path) override {
    std::size_t length = 0;
    while (path[length]) ++length;
    if (length >= 260) std::abort();
    return data_.ConsumeBool();
  }
  bool Resolve(const char*) override { return data_.ConsumeIntegralInRange<int>(0, 9) != 0; }
  void Unload() override {}
  int InitializeLibrary() override { return data_.ConsumeIntegralInRange<int>(0, 5) != 0; }
  int OpenReaderWriterAuto() override { return data_.ConsumeIntegralInRange<int>(0, 5) != 0; }
  int PollingAndGetCardInformation(const unsigned char*, unsigned char, unsigned char* cards,
                                   unsigned char* idm, unsigned char* pmm) override {
    for (int i = 0; i < 8; ++i) idm[i] = data_.ConsumeIntegral<unsigned char>();
    for (int i = 0; i < 8; ++i) pmm[i] = data_.ConsumeIntegral<unsigned char>();
    *cards = data_.ConsumeIntegral<unsigned char>();
    return data_.ConsumeBool();
  }
  int CloseReaderWriter() override { return 1; }
  int DisposeLibrary() override { return 1; }

 private:
  FuzzedDataProvider& data_;
};

}  // namespace
}  // namespace orvane

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* bytes, size_t size) {
  using namespace orvane;
  FuzzedDataProvider data(bytes, size);
  FuzzedSmartCard smartCard(data);
  FuzzedFelica felica(data);
  smartCard.MakeList();
  CardAccess access(data.ConsumeBool() ? Flavour::Setting : Flavour::Checker, smartCard, felica);
  LoadFelicaLibrary(access);
  DiscoverReaders(access);
  if (access.readerCount < 0 || access.readerCount > kMaxReaders) std::abort();
  for (int i = 0; i < access.readerCount; ++i)
    if (access.readers[i].name[kReaderNameSize - 1] || access.readers[i].display[kReaderNameSize - 1])
      std::abort();
  for (int poll = 0; poll < 3; ++poll) {
    const int result = PollCard(access);
    if (result != 0 && result != 1) std::abort();
    if (smartCard.open != 0) std::abort();  // every Connect has its Disconnect
  }
  ReleaseReaders(access);
  return 0;
}
