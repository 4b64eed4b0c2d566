#include "tests/fakes/scripted_smartcard.h"

#include "tools/hex.h"

#include <algorithm>
#include <cstring>

namespace orvane {

std::string Narrow(const std::u16string& text) {
  std::string out;
  for (char16_t c : text) out += (c >= 0x20 && c < 0x7F) ? static_cast<char>(c) : '?';
  return out;
}

FakeCard& FakeCard::Answer(const Bytes& command, const Bytes& bytes, ScResult result) {
  FakeAnswer answer;
  answer.result = result;
  answer.bytes = bytes;
  answers[command] = answer;
  return *this;
}

FakeReader& ScriptedSmartCard::AddReader(const std::u16string& name) {
  FakeReader reader;
  reader.name = name;
  readers_.push_back(reader);
  return readers_.back();
}

FakeReader* ScriptedSmartCard::FindReader(const std::u16string& name) {
  for (FakeReader& reader : readers_)
    if (reader.name == name) return &reader;
  return nullptr;
}

FakeCard& ScriptedSmartCard::PutCard(const std::u16string& name) {
  FakeReader* reader = FindReader(name);
  if (!reader) reader = &AddReader(name);
  reader->hasCard = true;
  return reader->card;
}

std::u16string ScriptedSmartCard::BuiltList() const {
  std::u16string list;
  for (const FakeReader& reader : readers_) {
    list += reader.name;
    list += u'\0';
  }
  list += u'\0';
  return list;
}

void ScriptedSmartCard::Log(const std::string& entry) {
  log.push_back(entry);
  if (sharedLog) sharedLog->push_back(entry);
}

bool ScriptedSmartCard::CheckContext(ScContext context, const char* call) {
  if (contexts_.count(context)) return true;
  errors.push_back(std::string(call) + " with a context that is not established");
  return false;
}

FakeReader* ScriptedSmartCard::ReaderOf(ScCard card, const char* call) {
  auto it = open_.find(card);
  if (it == open_.end()) {
    errors.push_back(std::string(call) + " with a card handle that is not open");
    return nullptr;
  }
  return FindReader(it->second);
}

ScResult ScriptedSmartCard::EstablishContext(ScContext* context) {
  ++establishCount;
  Log("EstablishContext");
  if (establishResult != ScResult::Ok) return establishResult;
  *context = nextContext_++;
  contexts_[*context] = true;
  return ScResult::Ok;
}

ScResult ScriptedSmartCard::ListReaders(ScContext context, char16_t* names, uint32_t* length) {
  CheckContext(context, "ListReaders");
  const std::u16string list = useRawList ? rawList : BuiltList();
  if (!names) {
    Log("ListReaders(size)");
    if (listSizeResult != ScResult::Ok) return listSizeResult;
    *length = static_cast<uint32_t>(reportedListSize >= 0 ? reportedListSize : list.size());
    return ScResult::Ok;
  }
  Log("ListReaders(capacity=" + std::to_string(*length) + ")");
  if (listFetchResult != ScResult::Ok) return listFetchResult;
  // As SCardListReadersW: a buffer too small gets nothing but the size. Raw
  // lists and reported lengths script adapters that misbehave.
  if (!useRawList && reportedFetchLength < 0 && list.size() > *length) {
    *length = static_cast<uint32_t>(list.size());
    return ScResult::InsufficientBuffer;
  }
  const std::size_t n = std::min<std::size_t>(list.size(), *length);
  std::memcpy(names, list.data(), sizeof(char16_t) * n);
  *length = static_cast<uint32_t>(reportedFetchLength >= 0 ? reportedFetchLength : n);
  return ScResult::Ok;
}

ScResult ScriptedSmartCard::Connect(ScContext context, const char16_t* reader, ScCard* card) {
  const std::u16string name = reader;
  Log("Connect(" + Narrow(name) + ")");
  CheckContext(context, "Connect");
  FakeReader* found = FindReader(name);
  if (!found) return ScResult::NoReaders;
  if (found->connectResult != ScResult::Ok) return found->connectResult;
  if (!found->hasCard) return ScResult::NoCard;
  *card = nextCard_++;
  open_[*card] = name;
  return ScResult::Ok;
}

ScResult ScriptedSmartCard::Status(ScCard card, unsigned char* atr, uint32_t* length) {
  Log("Status(capacity=" + std::to_string(*length) + ")");
  FakeReader* reader = ReaderOf(card, "Status");
  if (!reader) return ScResult::Failed;
  if (!reader->hasCard) return ScResult::Removed;  // taken off while connected
  const FakeCard& fake = reader->card;
  if (fake.statusResult != ScResult::Ok) return fake.statusResult;
  if (fake.reportedAtrLength < 0 && fake.atr.size() > *length) {
    *length = static_cast<uint32_t>(fake.atr.size());
    return ScResult::InsufficientBuffer;
  }
  const std::size_t n = std::min<std::size_t>(fake.atr.size(), *length);
  if (n) std::memcpy(atr, fake.atr.data(), n);
  *length = static_cast<uint32_t>(fake.reportedAtrLength >= 0 ? fake.reportedAtrLength : n);
  return ScResult::Ok;
}

ScResult ScriptedSmartCard::Transmit(ScCard card, const unsigned char* command,
                                     uint32_t commandLength, unsigned char* answer,
                                     uint32_t* answerLength) {
  Log("Transmit(" + HexPairs(command, commandLength) +
                ", capacity=" + std::to_string(*answerLength) + ")");
  for (uint32_t i = 0; i < *answerLength; ++i) {
    if (answer[i]) {
      errors.push_back("Transmit with a receive buffer that was not cleared");
      break;
    }
  }
  FakeReader* reader = ReaderOf(card, "Transmit");
  if (!reader) return ScResult::Failed;
  if (!reader->hasCard) return ScResult::Removed;  // taken off while connected
  auto it = reader->card.answers.find(Bytes(command, command + commandLength));
  if (it == reader->card.answers.end()) return ScResult::Failed;
  const FakeAnswer& scripted = it->second;
  if (scripted.result == ScResult::Ok && scripted.reportedLength < 0 &&
      scripted.bytes.size() > *answerLength) {
    *answerLength = static_cast<uint32_t>(scripted.bytes.size());
    return ScResult::InsufficientBuffer;
  }
  const std::size_t n = std::min<std::size_t>(scripted.bytes.size(), *answerLength);
  if (n) std::memcpy(answer, scripted.bytes.data(), n);
  *answerLength =
      static_cast<uint32_t>(scripted.reportedLength >= 0 ? scripted.reportedLength : n);
  return scripted.result;
}

ScResult ScriptedSmartCard::Disconnect(ScCard card) {
  auto it = open_.find(card);
  if (it == open_.end()) {
    Log("Disconnect(?)");
    errors.push_back("Disconnect of a card handle that is not open");
    return ScResult::Failed;
  }
  Log("Disconnect(" + Narrow(it->second) + ")");
  open_.erase(it);
  return ScResult::Ok;
}

ScResult ScriptedSmartCard::ReleaseContext(ScContext context) {
  ++releaseCount;
  Log("ReleaseContext");
  if (!contexts_.erase(context)) {
    errors.push_back("ReleaseContext of a context that is not established");
    return ScResult::Failed;
  }
  return ScResult::Ok;
}

}  // namespace orvane
