// Shared pieces of the card-access tests: a rig of the scripted fakes around
// one CardAccess, card answers, and the call sequence in short words.
#ifndef ORVANE_TESTS_UNIT_CARD_TEST_SUPPORT_H
#define ORVANE_TESTS_UNIT_CARD_TEST_SUPPORT_H

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "card/card_access.h"
#include "card/identity.h"
#include "tests/fakes/fake_felica.h"
#include "tests/fakes/scripted_smartcard.h"

namespace orvane {
namespace cardtest {

const Bytes kCardTypeCommand = {0xFF, 0xCA, 0xF3, 0x00, 0x00};
const Bytes kIdCommand = {0xFF, 0xCA, 0x00, 0x00, 0x00};
const Bytes kPmmCommand = {0xFF, 0xCA, 0x01, 0x00, 0x00};

const std::u16string kPasoriName = u"Sony FeliCa Port/PaSoRi 3.0 0";
const std::u16string kAcsName = u"ACS ACR122U PICC Interface 00 00";

// Contactless storage card ATRs: bytes 10 to 14 tell FeliCa from Mifare.
const Bytes kFelicaAtr = {0x3B, 0x8F, 0x80, 0x01, 0x80, 0x4F, 0x0C, 0xA0, 0x00, 0x00,
                          0x03, 0x06, 0x11, 0x00, 0x3B, 0x00, 0x00, 0x00, 0x00, 0x42};
const Bytes kMifareAtr = {0x3B, 0x8F, 0x80, 0x01, 0x80, 0x4F, 0x0C, 0xA0, 0x00, 0x00,
                          0x03, 0x06, 0x03, 0x00, 0x01, 0x00, 0x00, 0x00, 0x00, 0x6A};
const Bytes kOtherAtr = {0x3B, 0x8F, 0x80, 0x01, 0x80, 0x4F, 0x0C, 0xA0, 0x00, 0x00,
                         0x03, 0x06, 0x05, 0x00, 0x3B, 0x00, 0x00, 0x00, 0x00, 0x4E};
const Bytes kShortAtr = {0x3B, 0x81, 0x80, 0x01, 0x80, 0x80};

const Bytes kIdm = {0x01, 0x2E, 0x4C, 0x7F, 0x11, 0x22, 0x33, 0x44};
const Bytes kPmm = {0x03, 0x01, 0x4B, 0x02, 0x4F, 0x49, 0x93, 0xFF};
const Bytes kUid4 = {0x04, 0xA1, 0xB2, 0xC3};
const Bytes kUid7 = {0x04, 0x11, 0x22, 0x33, 0x44, 0x55, 0x66};
const std::array<unsigned char, 8> kLibraryIdm = {0x01, 0x01, 0x0A, 0x0B, 0x0C, 0x0D, 0x0E, 0x0F};
const std::array<unsigned char, 8> kLibraryPmm = {0x10, 0x0B, 0x4B, 0x42, 0x84, 0x85, 0xD0, 0xFF};

inline Bytes Concat(Bytes a, const Bytes& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}
// An answer that ends in the status 90h 00h.
inline Bytes Ok(const Bytes& data) { return Concat(data, {0x90, 0x00}); }
inline Bytes Head(const Bytes& data, std::size_t n) { return Bytes(data.begin(), data.begin() + n); }

inline CardIdentity Zero() { return CardIdentity{}; }
// The first bytes as given, the rest zero (no fill).
inline CardIdentity Raw(const Bytes& bytes) {
  CardIdentity identity{};
  for (std::size_t i = 0; i < bytes.size() && i < kIdentitySize; ++i) identity[i] = bytes[i];
  return identity;
}
// A card ID completed by the identity fill.
inline CardIdentity Filled(const Bytes& id) {
  CardIdentity identity = Raw(id);
  FillIdentity(identity, static_cast<int>(id.size()));
  return identity;
}
inline CardIdentity Felica() { return Raw(Concat(kIdm, kPmm)); }
inline CardIdentity LibraryCard() {
  return Raw(Concat(Bytes(kLibraryIdm.begin(), kLibraryIdm.end()),
                    Bytes(kLibraryPmm.begin(), kLibraryPmm.end())));
}

// One CardAccess over the scripted fakes, with one journal of PC/SC and
// library calls and a counting sound hook.
struct Rig {
  ScriptedSmartCard smartCard;
  FakeFelica felica;
  std::vector<std::string> journal;
  CardAccess access;
  int sounds = 0;

  explicit Rig(Flavour flavour) : access(flavour, smartCard, felica) {
    smartCard.sharedLog = &journal;
    felica.sharedLog = &journal;
    access.soundHook = [](void* context) { ++static_cast<Rig*>(context)->sounds; };
    access.soundContext = this;
  }

  // Start-up as the programs make it: the library (usable with a card or
  // missing), then discovery; the journal starts empty afterwards.
  void Start(bool library) {
    felica.loadSucceeds = library;
    felica.SetCard(kLibraryIdm, kLibraryPmm);
    LoadFelicaLibrary(access);
    DiscoverReaders(access);
    journal.clear();
  }

  // No misuse of either port and no connection left open.
  void ExpectClean() const {
    EXPECT_THAT(smartCard.errors, ::testing::IsEmpty());
    EXPECT_THAT(felica.errors, ::testing::IsEmpty());
    EXPECT_EQ(smartCard.OpenConnections(), 0);
  }

  // The journal in short words. Commands and status requests map to a word
  // only with a 260-byte buffer; anything else stays as logged, so that a
  // wrong parameter shows up as a mismatch.
  std::vector<std::string> Steps(bool withReaderNames = false) const {
    std::vector<std::string> steps;
    for (const std::string& entry : journal) steps.push_back(Word(entry, withReaderNames));
    return steps;
  }

  static std::string Word(const std::string& entry, bool withReaderNames) {
    static const std::pair<const char*, const char*> kWords[] = {
        {"EstablishContext", "establish"},
        {"ListReaders(size)", "list-size"},
        {"ReleaseContext", "release"},
        {"Status(capacity=260)", "atr"},
        {"Transmit(FF CA F3 00 00, capacity=260)", "type"},
        {"Transmit(FF CA 00 00 00, capacity=260)", "id"},
        {"Transmit(FF CA 01 00 00, capacity=260)", "pmm"},
        {"initialize_library", "init"},
        {"open_reader_writer_auto", "open"},
        {"polling_and_get_card_information", "poll"},
        {"close_reader_writer", "close"},
        {"dispose_library", "dispose"},
    };
    for (const auto& word : kWords)
      if (entry == word.first) return word.second;
    if (entry.rfind("ListReaders(capacity=", 0) == 0) return "list";
    for (const char* call : {"Connect", "Disconnect"}) {
      const std::string prefix = std::string(call) + "(";
      if (entry.rfind(prefix, 0) == 0) {
        std::string word = call == std::string("Connect") ? "connect" : "disconnect";
        if (withReaderNames) word += " " + entry.substr(prefix.size(), entry.size() - prefix.size() - 1);
        return word;
      }
    }
    return entry;
  }
};

inline const char* FlavourName(Flavour flavour) {
  return flavour == Flavour::Checker ? "Checker" : "Setting";
}

}  // namespace cardtest
}  // namespace orvane

#endif
