// One synchronous PC/SC poll: connect, learn what kind of card lies on the
// reader, read its ID (and PMm), build the identity, disconnect.
#include <cstring>

#include "card/card_access.h"
#include "card/flavour_policy.h"

namespace orvane {

namespace {

enum class CardClass { Unclassified, Felica, Mifare, LibraryNeeded, Refused };

// PC/SC GET DATA: card type (PaSoRi readers), card ID (IDm), PMm.
const unsigned char kCardTypeCommand[5] = {0xFF, 0xCA, 0xF3, 0x00, 0x00};
const unsigned char kIdCommand[5] = {0xFF, 0xCA, 0x00, 0x00, 0x00};
const unsigned char kPmmCommand[5] = {0xFF, 0xCA, 0x01, 0x00, 0x00};

constexpr uint32_t kMinAtrLength = 15;
constexpr uint32_t kFelicaIdAnswerLength = 10;  // 8-byte IDm + status
constexpr int kPmmOffset = 8;

struct Answer {
  unsigned char bytes[kCardBufferSize];
  uint32_t length;
};

// Sends one command into a cleared 260-byte buffer. The length an adapter
// reports is never trusted beyond the buffer.
bool Send(CardAccess& access, ScCard card, const unsigned char (&command)[5], Answer& answer) {
  std::memset(answer.bytes, 0, sizeof answer.bytes);
  answer.length = kCardBufferSize;
  const ScResult result =
      access.smartCard.Transmit(card, command, sizeof command, answer.bytes, &answer.length);
  if (answer.length > kCardBufferSize) answer.length = kCardBufferSize;
  if (result != ScResult::Ok) {
    answer.length = 0;
    return false;
  }
  return true;
}

CardClass ClassFromCardType(const FlavourPolicy& policy, const Answer& answer) {
  if (answer.length != 3) return CardClass::Unclassified;
  switch (answer.bytes[0]) {
    case 1:
      return policy.cardTypeOneIsMifare ? CardClass::Mifare : CardClass::Unclassified;
    case 2:
    case 8:
      return CardClass::Refused;
    case 4:
      return CardClass::Felica;
    case 7:
      return CardClass::LibraryNeeded;
    default:
      return CardClass::Unclassified;
  }
}

// Bytes 10 to 14 of a contactless storage card's ATR: the end of the
// application provider identifier, the standard and the card name.
// Unclassified when they show neither FeliCa nor Mifare.
CardClass ClassFromAtr(const unsigned char* atr) {
  if (atr[10] == 0x03 && atr[11] == 0x06 && atr[12] == 0x11 && atr[13] == 0x00 && atr[14] == 0x3B)
    return CardClass::Felica;
  if (atr[10] == 0x03 && atr[11] == 0x06 && atr[12] == 0x03 && atr[13] == 0x00)
    return CardClass::Mifare;
  return CardClass::Unclassified;
}

enum class Outcome { NextReader, ReturnNoCard, ReturnCard, ReturnByLibrary };

// The ID command, the PMm command for FeliCa cards, and the identity that
// results from their answers.
void ReadIdentity(CardAccess& access, const FlavourPolicy& policy, ScCard card,
                  CardClass cardClass) {
  if (!policy.clearsIdentityAtConnect) access.identity.fill(0);
  Answer id;
  if (!Send(access, card, kIdCommand, id)) return;
  if (id.length <= 2 || id.bytes[id.length - 2] != 0x90 || id.bytes[id.length - 1] != 0x00) return;
  const int n = static_cast<int>(id.length) - 2;
  std::memcpy(access.identity.data(), id.bytes, n < kIdentitySize ? n : kIdentitySize);

  if (cardClass != CardClass::Felica) {
    FillIdentity(access.identity, n);
    PlayRecognitionHook(access);
    return;
  }
  if (id.length == kFelicaIdAnswerLength) {
    Answer pmm;
    if (Send(access, card, kPmmCommand, pmm)) {
      if (pmm.length == id.length) {
        std::memcpy(access.identity.data() + kPmmOffset, pmm.bytes, kIdentitySize - kPmmOffset);
        PlayRecognitionHook(access);
        return;
      }
      if (access.readerKind == kOtherReaders) {
        FillIdentity(access.identity, kPmmOffset);
        PlayRecognitionHook(access);
        return;
      }
    }
  }
  if (!policy.keepsPartialFelicaIdentity) access.identity.fill(0);
}

// Steps a to h for one reader of the table.
Outcome PollReader(CardAccess& access, const FlavourPolicy& policy, int index) {
  CardClass cardClass = CardClass::Unclassified;
  if (policy.recordsCardKind) access.cardKind = kCardKindUnknown;

  ScCard card = 0;
  if (access.smartCard.Connect(access.context, access.readers[index].name, &card) != ScResult::Ok)
    return Outcome::NextReader;

  if (policy.clearsIdentityAtConnect) access.identity.fill(0);

  bool atrTest = access.readerKind != kPasoriReader;
  if (access.readerKind == kPasoriReader) {
    Answer type;
    const bool answered = Send(access, card, kCardTypeCommand, type);
    cardClass = ClassFromCardType(policy, type);
    if (policy.recordsCardKind && answered && type.length > 0) access.cardKind = type.bytes[0];
    if (cardClass == CardClass::Refused && !policy.refusesCards) {
      access.smartCard.Disconnect(card);
      return Outcome::ReturnNoCard;
    }
    atrTest = policy.atrTestOnlyForLibraryNeeded ? cardClass == CardClass::LibraryNeeded
                                                 : cardClass != CardClass::Felica;
  }

  if (atrTest) {
    unsigned char atr[kCardBufferSize] = {};
    uint32_t atrLength = kCardBufferSize;
    if (access.smartCard.Status(card, atr, &atrLength) == ScResult::Ok) {
      if (atrLength < kMinAtrLength) {
        access.smartCard.Disconnect(card);
        // The library opens the reader itself, so the PC/SC connection ends first.
        if (access.readerKind == kPasoriReader && cardClass == CardClass::LibraryNeeded &&
            access.libraryUsable)
          return Outcome::ReturnByLibrary;
        if (!policy.refusesCards) return Outcome::ReturnNoCard;
        access.cardKind = kCardKindShortAtr;
        return Outcome::ReturnCard;
      }
      const CardClass fromAtr = ClassFromAtr(atr);
      if (fromAtr != CardClass::Unclassified) {
        cardClass = fromAtr;
        if (policy.recordsCardKind)
          access.cardKind = fromAtr == CardClass::Felica ? kCardKindFelica : kCardKindMifare;
      }
    }
  }

  ReadIdentity(access, policy, card, cardClass);
  access.smartCard.Disconnect(card);
  return IdentityIsValid(access.identity) ? Outcome::ReturnCard : Outcome::NextReader;
}

}  // namespace

bool PollCard(CardAccess& access) {
  const FlavourPolicy& policy = PolicyOf(access);
  access.lastReaderIndex = kNoLastReader;
  if (access.readerKind == kNoReader && policy.discoversInPoll) DiscoverReaders(access);
  if (access.readerKind == kNoReader) return access.libraryUsable ? PollCardByLibrary(access) : false;

  const bool pasoriOnly = access.readerKind == kPasoriReader;
  const int first = pasoriOnly ? access.pasoriIndex : 0;
  const int end = pasoriOnly ? access.pasoriIndex + 1 : access.readerCount;
  for (int i = first; i < end && i >= 0 && i < kMaxReaders; ++i) {
    switch (PollReader(access, policy, i)) {
      case Outcome::ReturnCard:
        access.lastReaderIndex = i;
        return true;
      case Outcome::ReturnByLibrary:
        return PollCardByLibrary(access);
      case Outcome::ReturnNoCard:
        return false;
      case Outcome::NextReader:
        break;
    }
  }
  return false;
}

}  // namespace orvane
