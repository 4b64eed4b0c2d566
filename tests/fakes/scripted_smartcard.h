// A scripted SmartCardPort for tests: readers with or without a card, each
// card with its ATR and an answer per command, failures at every call, and a
// log of every call with its parameters. It also notes misuse (unknown or
// closed handles, receive buffers not cleared) so that tests can assert there
// was none, and counts open connections to catch a Connect without Disconnect.
// Unless a test scripts a misbehaving adapter (reported lengths, raw lists),
// it answers as pcsc-lite does, which tests/contract checks: buffers too
// small give InsufficientBuffer and the size needed, a card taken off while
// connected gives Removed.
#ifndef ORVANE_TESTS_FAKES_SCRIPTED_SMARTCARD_H
#define ORVANE_TESTS_FAKES_SCRIPTED_SMARTCARD_H

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "platform/smartcard_port.h"

namespace orvane {

using Bytes = std::vector<unsigned char>;

struct FakeAnswer {
  ScResult result = ScResult::Ok;
  Bytes bytes;  // written to the receive buffer, as much as fits
  // Length reported back instead of the bytes' length (a misbehaving
  // adapter), or -1 for the real one.
  long long reportedLength = -1;
};

struct FakeCard {
  Bytes atr;
  ScResult statusResult = ScResult::Ok;
  long long reportedAtrLength = -1;
  // Answers per command; a command without an answer fails.
  std::map<Bytes, FakeAnswer> answers;

  FakeCard& Answer(const Bytes& command, const Bytes& bytes, ScResult result = ScResult::Ok);
};

struct FakeReader {
  std::u16string name;
  bool hasCard = false;
  FakeCard card;
  // Result of Connect when not Ok: overrides the card.
  ScResult connectResult = ScResult::Ok;
};

class ScriptedSmartCard : public SmartCardPort {
 public:
  // --- script ---
  ScResult establishResult = ScResult::Ok;
  ScResult listSizeResult = ScResult::Ok;
  ScResult listFetchResult = ScResult::Ok;
  // When set, ListReaders delivers exactly these code units (terminators
  // included or not) instead of the list built from the readers.
  bool useRawList = false;
  std::u16string rawList;
  long long reportedListSize = -1;    // size query answer instead of the real one
  long long reportedFetchLength = -1;  // length reported by the fetch

  FakeReader& AddReader(const std::u16string& name);
  FakeCard& PutCard(const std::u16string& reader);  // adds the reader if needed
  FakeReader* FindReader(const std::u16string& name);

  // --- observations ---
  std::vector<std::string> log;
  // When set, every log entry is also appended here (to see the order of
  // PC/SC and FeliCa library calls in one sequence).
  std::vector<std::string>* sharedLog = nullptr;
  std::vector<std::string> errors;
  int establishCount = 0;
  int releaseCount = 0;
  int OpenConnections() const { return static_cast<int>(open_.size()); }
  int LiveContexts() const { return static_cast<int>(contexts_.size()); }
  // The reader list as the fake builds it (names, each terminated, and a final empty name).
  std::u16string BuiltList() const;

  // --- SmartCardPort ---
  ScResult EstablishContext(ScContext* context) override;
  ScResult ListReaders(ScContext context, char16_t* names, uint32_t* length) override;
  ScResult Connect(ScContext context, const char16_t* reader, ScCard* card) override;
  ScResult Status(ScCard card, unsigned char* atr, uint32_t* length) override;
  ScResult Transmit(ScCard card, const unsigned char* command, uint32_t commandLength,
                    unsigned char* answer, uint32_t* answerLength) override;
  ScResult Disconnect(ScCard card) override;
  ScResult ReleaseContext(ScContext context) override;

 private:
  void Log(const std::string& entry);
  bool CheckContext(ScContext context, const char* call);
  FakeReader* ReaderOf(ScCard card, const char* call);

  std::vector<FakeReader> readers_;
  std::map<ScContext, bool> contexts_;
  std::map<ScCard, std::u16string> open_;  // handle -> reader name
  ScContext nextContext_ = 0x100;
  ScCard nextCard_ = 0x1000;
};

// ASCII of a UTF-16 name for logs; other characters become '?'.
std::string Narrow(const std::u16string& text);

}  // namespace orvane

#endif
