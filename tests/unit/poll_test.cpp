// The PC/SC poll of both programs against the scripted reader.
#include <optional>

#include "tests/unit/card_test_support.h"

namespace orvane {
namespace {

using namespace cardtest;
using ::testing::ElementsAre;
using Steps = std::vector<std::string>;

// How the card on the reader answers; nullopt makes that call fail.
struct Script {
  std::optional<Bytes> cardType;
  std::optional<Bytes> atr;
  std::optional<Bytes> id;
  std::optional<Bytes> pmm;
  bool library;  // FeliCa library usable, with a card of its own
};

struct Expect {
  int result;
  CardIdentity identity;
  int cardKind;  // settings program only
  int sounds;    // recognition-sound hook calls (settings program only)
  Steps steps;
};

struct PollCase {
  const char* name;
  Script script;
  Expect checker;
  Expect setting;
};

void Lay(FakeCard& card, const Script& script) {
  if (script.cardType) card.Answer(kCardTypeCommand, *script.cardType);
  if (script.atr)
    card.atr = *script.atr;
  else
    card.statusResult = ScResult::Failed;
  if (script.id) card.Answer(kIdCommand, *script.id);
  if (script.pmm) card.Answer(kPmmCommand, *script.pmm);
}

void RunCase(const std::u16string& reader, const Script& script, Flavour flavour,
             const Expect& expect) {
  SCOPED_TRACE(FlavourName(flavour));
  Rig rig(flavour);
  Lay(rig.smartCard.PutCard(reader), script);
  rig.Start(script.library);
  ASSERT_NE(rig.access.readerKind, kNoReader);

  EXPECT_EQ(PollCard(rig.access), expect.result);
  EXPECT_EQ(rig.access.identity, expect.identity);
  EXPECT_EQ(rig.Steps(), expect.steps);
  if (flavour == Flavour::Setting) {
    EXPECT_EQ(rig.access.cardKind, expect.cardKind);
    EXPECT_EQ(rig.sounds, expect.sounds);
  } else {
    EXPECT_EQ(rig.sounds, 0) << "the checker plays no sound";
  }
  rig.ExpectClean();
}

const Steps kTypeIdPmm = {"connect", "type", "id", "pmm", "disconnect"};
const Steps kTypeId = {"connect", "type", "id", "disconnect"};
const Steps kTypeAtrId = {"connect", "type", "atr", "id", "disconnect"};
const Steps kTypeAtrIdPmm = {"connect", "type", "atr", "id", "pmm", "disconnect"};
const Steps kTypeAtr = {"connect", "type", "atr", "disconnect"};
const Steps kToLibrary = {"connect", "type", "atr", "disconnect", "init", "open", "poll", "close",
                          "dispose"};

Bytes CardType(unsigned char byte) { return {byte, 0x90, 0x00}; }

// An ATR with one byte changed.
Bytes With(Bytes atr, std::size_t index, unsigned char value) {
  atr[index] = value;
  return atr;
}

// Twenty ID bytes: only the first 16 count, and nothing is filled.
const Bytes kLongId = {0x10, 0x11, 0x12, 0x13, 0x14, 0x15, 0x16, 0x17, 0x18, 0x19,
                       0x1A, 0x1B, 0x1C, 0x1D, 0x1E, 0x1F, 0x20, 0x21, 0x22, 0x23};

// A PaSoRi reader: the card-type command first, then the two copies part ways.
const PollCase kPasoriCases[] = {
    {"FelicaByCardType",
     {CardType(4), kFelicaAtr, Ok(kIdm), Ok(kPmm), false},
     {1, Felica(), 0, 0, kTypeIdPmm},
     {1, Felica(), 4, 1, kTypeIdPmm}},
    {"FelicaPmmFails",
     {CardType(4), kFelicaAtr, Ok(kIdm), std::nullopt, false},
     {1, Raw(kIdm), 0, 0, kTypeIdPmm},
     {0, Zero(), 4, 0, kTypeIdPmm}},
    {"FelicaPmmOtherLength",
     {CardType(4), kFelicaAtr, Ok(kIdm), Ok({0x03, 0x01}), false},
     {1, Raw(kIdm), 0, 0, kTypeIdPmm},
     {0, Zero(), 4, 0, kTypeIdPmm}},
    {"FelicaPmmElevenBytes",
     {CardType(4), kFelicaAtr, Ok(kIdm), Ok(Concat(kPmm, {0x01})), false},
     {1, Raw(kIdm), 0, 0, kTypeIdPmm},
     {0, Zero(), 4, 0, kTypeIdPmm}},
    {"FelicaIdNotTenBytes",
     {CardType(4), kFelicaAtr, Ok(kUid7), Ok(kPmm), false},
     {1, Raw(kUid7), 0, 0, kTypeId},
     {0, Zero(), 4, 0, kTypeId}},
    {"FelicaIdElevenBytes",
     {CardType(4), kFelicaAtr, Ok(Concat(kIdm, {0x55})), Ok(kPmm), false},
     {1, Raw(Concat(kIdm, {0x55})), 0, 0, kTypeId},
     {0, Zero(), 4, 0, kTypeId}},
    {"CardTypeOne",
     {CardType(1), kMifareAtr, Ok(kUid4), std::nullopt, false},
     {1, Filled(kUid4), 0, 0, kTypeAtrId},
     {1, Filled(kUid4), 1, 1, kTypeId}},
    {"CardTypeTwo",
     {CardType(2), kMifareAtr, Ok(kUid4), std::nullopt, false},
     {0, Zero(), 0, 0, {"connect", "type", "disconnect"}},
     {1, Filled(kUid4), 2, 1, kTypeId}},
    {"CardTypeEight",
     {CardType(8), kMifareAtr, Ok(kUid4), std::nullopt, false},
     {0, Zero(), 0, 0, {"connect", "type", "disconnect"}},
     {1, Filled(kUid4), 8, 1, kTypeId}},
    {"CardTypeEightIdUnreadable",
     {CardType(8), kMifareAtr, std::nullopt, std::nullopt, false},
     {0, Zero(), 0, 0, {"connect", "type", "disconnect"}},
     {0, Zero(), 8, 0, kTypeId}},
    {"CardTypeSevenShortAtrToLibrary",
     {CardType(7), kShortAtr, Ok(kIdm), Ok(kPmm), true},
     {1, LibraryCard(), 0, 0, kToLibrary},
     {1, LibraryCard(), 4, 1, kToLibrary}},
    {"CardTypeSevenShortAtrWithoutLibrary",
     {CardType(7), kShortAtr, Ok(kIdm), Ok(kPmm), false},
     {0, Zero(), 0, 0, kTypeAtr},
     {1, Zero(), 2, 0, kTypeAtr}},
    {"CardTypeSevenFelicaAtr",
     {CardType(7), kFelicaAtr, Ok(kIdm), Ok(kPmm), true},
     {1, Felica(), 0, 0, kTypeAtrIdPmm},
     {1, Felica(), 4, 1, kTypeAtrIdPmm}},
    {"CardTypeSevenMifareAtr",
     {CardType(7), kMifareAtr, Ok(kUid7), std::nullopt, true},
     {1, Filled(kUid7), 0, 0, kTypeAtrId},
     {1, Filled(kUid7), 1, 1, kTypeAtrId}},
    // Neither FeliCa nor Mifare: the card kind stays 7 and the ID is filled.
    {"CardTypeSevenOtherAtr",
     {CardType(7), kOtherAtr, Ok(kUid4), std::nullopt, true},
     {1, Filled(kUid4), 0, 0, kTypeAtrId},
     {1, Filled(kUid4), 7, 1, kTypeAtrId}},
    {"CardTypeSevenStatusFails",
     {CardType(7), std::nullopt, Ok(kUid4), std::nullopt, true},
     {1, Filled(kUid4), 0, 0, kTypeAtrId},
     {1, Filled(kUid4), 7, 1, kTypeAtrId}},
    // The checker asks the ATR; the settings program reads the ID directly
    // and, not knowing a FeliCa card, fills it.
    {"OtherCardTypeByte",
     {CardType(5), kFelicaAtr, Ok(kIdm), Ok(kPmm), false},
     {1, Felica(), 0, 0, kTypeAtrIdPmm},
     {1, Filled(kIdm), 5, 1, kTypeId}},
    {"OtherCardTypeByteShortAtr",
     {CardType(5), kShortAtr, Ok(kUid4), std::nullopt, true},
     {0, Zero(), 0, 0, kTypeAtr},
     {1, Filled(kUid4), 5, 1, kTypeId}},
    // Only a 3-byte answer classifies; the settings program still records byte 0.
    {"CardTypeAnswerOfFourBytes",
     {Ok({0x04, 0x00}), kMifareAtr, Ok(kUid4), std::nullopt, false},
     {1, Filled(kUid4), 0, 0, kTypeAtrId},
     {1, Filled(kUid4), 4, 1, kTypeId}},
    {"CardTypeAnswerOfTwoBytes",
     {Bytes{0x04, 0x90}, kMifareAtr, Ok(kUid4), std::nullopt, false},
     {1, Filled(kUid4), 0, 0, kTypeAtrId},
     {1, Filled(kUid4), 4, 1, kTypeId}},
    {"CardTypeEmptyAnswer",
     {Bytes{}, kMifareAtr, Ok(kUid4), std::nullopt, false},
     {1, Filled(kUid4), 0, 0, kTypeAtrId},
     {1, Filled(kUid4), 255, 1, kTypeId}},
    {"CardTypeFails",
     {std::nullopt, kMifareAtr, Ok(kUid4), std::nullopt, false},
     {1, Filled(kUid4), 0, 0, kTypeAtrId},
     {1, Filled(kUid4), 255, 1, kTypeId}},
    {"IdAnswerOnlyStatus",
     {CardType(1), kMifareAtr, Bytes{0x90, 0x00}, std::nullopt, false},
     {0, Zero(), 0, 0, kTypeAtrId},
     {0, Zero(), 1, 0, kTypeId}},
    {"IdAnswerBadStatus",
     {CardType(1), kMifareAtr, Concat(kUid4, {0x6A, 0x81}), std::nullopt, false},
     {0, Zero(), 0, 0, kTypeAtrId},
     {0, Zero(), 1, 0, kTypeId}},
    {"IdAnswerStatusNineOne",
     {CardType(1), kMifareAtr, Concat(kUid4, {0x90, 0x01}), std::nullopt, false},
     {0, Zero(), 0, 0, kTypeAtrId},
     {0, Zero(), 1, 0, kTypeId}},
    {"IdAnswerStatusNotLast",
     {CardType(1), kMifareAtr, Concat(Ok(kUid4), {0x00}), std::nullopt, false},
     {0, Zero(), 0, 0, kTypeAtrId},
     {0, Zero(), 1, 0, kTypeId}},
    {"IdTransmitFails",
     {CardType(1), kMifareAtr, std::nullopt, std::nullopt, false},
     {0, Zero(), 0, 0, kTypeAtrId},
     {0, Zero(), 1, 0, kTypeId}},
    {"IdLongerThanSixteen",
     {CardType(1), kMifareAtr, Ok(kLongId), std::nullopt, false},
     {1, Raw(kLongId), 0, 0, kTypeAtrId},
     {1, Raw(kLongId), 1, 1, kTypeId}},
    // The fill of an all-zero ID is zero too: no card.
    {"IdAllZero",
     {CardType(1), kMifareAtr, Ok({0, 0, 0, 0}), std::nullopt, false},
     {0, Zero(), 0, 0, kTypeAtrId},
     {0, Zero(), 1, 1, kTypeId}},
};

class PasoriPollTest : public ::testing::TestWithParam<PollCase> {};

TEST_P(PasoriPollTest, Checker) { RunCase(kPasoriName, GetParam().script, Flavour::Checker, GetParam().checker); }
TEST_P(PasoriPollTest, Setting) { RunCase(kPasoriName, GetParam().script, Flavour::Setting, GetParam().setting); }

INSTANTIATE_TEST_SUITE_P(Cards, PasoriPollTest, ::testing::ValuesIn(kPasoriCases),
                         [](const auto& info) { return std::string(info.param.name); });

const Steps kAtrIdPmm = {"connect", "atr", "id", "pmm", "disconnect"};
const Steps kAtrId = {"connect", "atr", "id", "disconnect"};
const Steps kAtrOnly = {"connect", "atr", "disconnect"};

// Other readers: no card-type command, the ATR decides. The card-type command
// is not scripted, so sending it would show in the steps.
const PollCase kOtherReaderCases[] = {
    {"FelicaAtr",
     {std::nullopt, kFelicaAtr, Ok(kIdm), Ok(kPmm), false},
     {1, Felica(), 0, 0, kAtrIdPmm},
     {1, Felica(), 4, 1, kAtrIdPmm}},
    // IDm and the fill from position 8.
    {"FelicaAtrPmmOtherLength",
     {std::nullopt, kFelicaAtr, Ok(kIdm), Ok({0x03}), false},
     {1, Filled(kIdm), 0, 0, kAtrIdPmm},
     {1, Filled(kIdm), 4, 1, kAtrIdPmm}},
    {"FelicaAtrPmmFails",
     {std::nullopt, kFelicaAtr, Ok(kIdm), std::nullopt, false},
     {1, Raw(kIdm), 0, 0, kAtrIdPmm},
     {0, Zero(), 4, 0, kAtrIdPmm}},
    {"FelicaAtrOfFifteenBytes",
     {std::nullopt, Head(kFelicaAtr, 15), Ok(kIdm), Ok(kPmm), false},
     {1, Felica(), 0, 0, kAtrIdPmm},
     {1, Felica(), 4, 1, kAtrIdPmm}},
    {"MifareAtr",
     {std::nullopt, kMifareAtr, Ok(kUid7), std::nullopt, false},
     {1, Filled(kUid7), 0, 0, kAtrId},
     {1, Filled(kUid7), 1, 1, kAtrId}},
    {"FelicaAtrWithAnotherCardName",
     {std::nullopt, Concat(Head(kFelicaAtr, 14), {0x3C}), Ok(kIdm), Ok(kPmm), false},
     {1, Filled(kIdm), 0, 0, kAtrId},
     {1, Filled(kIdm), 255, 1, kAtrId}},
    // Every byte of 10 to 14 (13 for Mifare) takes part in the test.
    {"FelicaAtrByte10Differs",
     {std::nullopt, With(kFelicaAtr, 10, 0x04), Ok(kIdm), Ok(kPmm), false},
     {1, Filled(kIdm), 0, 0, kAtrId},
     {1, Filled(kIdm), 255, 1, kAtrId}},
    {"FelicaAtrByte11Differs",
     {std::nullopt, With(kFelicaAtr, 11, 0x07), Ok(kIdm), Ok(kPmm), false},
     {1, Filled(kIdm), 0, 0, kAtrId},
     {1, Filled(kIdm), 255, 1, kAtrId}},
    {"FelicaAtrByte13Differs",
     {std::nullopt, With(kFelicaAtr, 13, 0x01), Ok(kIdm), Ok(kPmm), false},
     {1, Filled(kIdm), 0, 0, kAtrId},
     {1, Filled(kIdm), 255, 1, kAtrId}},
    {"MifareAtrByte10Differs",
     {std::nullopt, With(kMifareAtr, 10, 0x04), Ok(kUid7), std::nullopt, false},
     {1, Filled(kUid7), 0, 0, kAtrId},
     {1, Filled(kUid7), 255, 1, kAtrId}},
    {"MifareAtrByte11Differs",
     {std::nullopt, With(kMifareAtr, 11, 0x07), Ok(kUid7), std::nullopt, false},
     {1, Filled(kUid7), 0, 0, kAtrId},
     {1, Filled(kUid7), 255, 1, kAtrId}},
    {"MifareAtrByte13Differs",
     {std::nullopt, With(kMifareAtr, 13, 0x01), Ok(kUid7), std::nullopt, false},
     {1, Filled(kUid7), 0, 0, kAtrId},
     {1, Filled(kUid7), 255, 1, kAtrId}},
    // Byte 14 is the card name: any value is Mifare.
    {"MifareAtrAnyByte14",
     {std::nullopt, With(kMifareAtr, 14, 0xC7), Ok(kUid7), std::nullopt, false},
     {1, Filled(kUid7), 0, 0, kAtrId},
     {1, Filled(kUid7), 1, 1, kAtrId}},
    {"OtherAtr",
     {std::nullopt, kOtherAtr, Ok(kUid4), std::nullopt, false},
     {1, Filled(kUid4), 0, 0, kAtrId},
     {1, Filled(kUid4), 255, 1, kAtrId}},
    {"StatusFails",
     {std::nullopt, std::nullopt, Ok(kIdm), Ok(kPmm), false},
     {1, Filled(kIdm), 0, 0, kAtrId},
     {1, Filled(kIdm), 255, 1, kAtrId}},
    // A short ATR refuses the card even with the library usable: the library
    // is only for PaSoRi readers.
    {"ShortAtr",
     {std::nullopt, kShortAtr, Ok(kUid4), std::nullopt, true},
     {0, Zero(), 0, 0, kAtrOnly},
     {1, Zero(), 2, 0, kAtrOnly}},
    {"AtrOfFourteenBytes",
     {std::nullopt, Head(kFelicaAtr, 14), Ok(kIdm), Ok(kPmm), false},
     {0, Zero(), 0, 0, kAtrOnly},
     {1, Zero(), 2, 0, kAtrOnly}},
    {"EmptyAtr",
     {std::nullopt, Bytes{}, Ok(kIdm), Ok(kPmm), false},
     {0, Zero(), 0, 0, kAtrOnly},
     {1, Zero(), 2, 0, kAtrOnly}},
    {"IdFails",
     {std::nullopt, kMifareAtr, std::nullopt, std::nullopt, false},
     {0, Zero(), 0, 0, kAtrId},
     {0, Zero(), 1, 0, kAtrId}},
};

class OtherReaderPollTest : public ::testing::TestWithParam<PollCase> {};

TEST_P(OtherReaderPollTest, Checker) { RunCase(kAcsName, GetParam().script, Flavour::Checker, GetParam().checker); }
TEST_P(OtherReaderPollTest, Setting) { RunCase(kAcsName, GetParam().script, Flavour::Setting, GetParam().setting); }

INSTANTIATE_TEST_SUITE_P(Cards, OtherReaderPollTest, ::testing::ValuesIn(kOtherReaderCases),
                         [](const auto& info) { return std::string(info.param.name); });

class BothFlavours : public ::testing::TestWithParam<Flavour> {};
INSTANTIATE_TEST_SUITE_P(Poll, BothFlavours, ::testing::Values(Flavour::Checker, Flavour::Setting),
                         [](const auto& info) { return std::string(FlavourName(info.param)); });

TEST_P(BothFlavours, ExactCallsForAFelicaCardOnAPasoriReader) {
  Rig rig(GetParam());
  FakeCard& card = rig.smartCard.PutCard(kPasoriName);
  card.atr = kFelicaAtr;
  card.Answer(kCardTypeCommand, CardType(4)).Answer(kIdCommand, Ok(kIdm)).Answer(kPmmCommand, Ok(kPmm));
  rig.Start(false);
  ASSERT_EQ(PollCard(rig.access), 1);
  EXPECT_THAT(rig.journal, ElementsAre("Connect(Sony FeliCa Port/PaSoRi 3.0 0)",
                                       "Transmit(FF CA F3 00 00, capacity=260)",
                                       "Transmit(FF CA 00 00 00, capacity=260)",
                                       "Transmit(FF CA 01 00 00, capacity=260)",
                                       "Disconnect(Sony FeliCa Port/PaSoRi 3.0 0)"));
  EXPECT_EQ(rig.access.lastReaderIndex, 0);
  rig.ExpectClean();
}

TEST_P(BothFlavours, PasoriReaderWithoutCardGivesNoCard) {
  Rig rig(GetParam());
  rig.smartCard.AddReader(kPasoriName);
  rig.Start(true);
  EXPECT_EQ(PollCard(rig.access), 0);
  EXPECT_EQ(rig.Steps(), Steps({"connect"})) << "no library poll after a failed connect";
  EXPECT_EQ(rig.access.lastReaderIndex, kNoLastReader);
  rig.ExpectClean();
}

TEST_P(BothFlavours, PasoriReaderIsPolledAloneEvenWhenAnotherHasACard) {
  Rig rig(GetParam());
  FakeCard& other = rig.smartCard.PutCard(kAcsName);
  other.atr = kMifareAtr;
  other.Answer(kIdCommand, Ok(kUid4));
  rig.smartCard.AddReader(kPasoriName);
  rig.Start(false);
  ASSERT_EQ(rig.access.readerKind, kPasoriReader);
  EXPECT_EQ(PollCard(rig.access), 0);
  EXPECT_EQ(rig.Steps(true), Steps({"connect Sony FeliCa Port/PaSoRi 3.0 0"}));
  rig.ExpectClean();
}

// Three readers of kind 2; what each holds is set per test.
struct ThreeReaders : Rig {
  explicit ThreeReaders(Flavour flavour) : Rig(flavour) {
    for (const char16_t* name : {u"Reader A 0", u"Reader B 1", u"Reader C 2"})
      smartCard.AddReader(name);
  }
  FakeCard& Mifare(const std::u16string& reader, const Bytes& uid) {
    FakeCard& card = smartCard.PutCard(reader);
    card.atr = kMifareAtr;
    card.Answer(kIdCommand, Ok(uid));
    return card;
  }
};

TEST_P(BothFlavours, FirstReaderWithAValidCardWinsAndLaterReadersAreNotTried) {
  ThreeReaders rig(GetParam());
  rig.Mifare(u"Reader B 1", kUid4);
  rig.Mifare(u"Reader C 2", kUid7);
  rig.Start(false);
  EXPECT_EQ(PollCard(rig.access), 1);
  EXPECT_EQ(rig.access.identity, Filled(kUid4));
  EXPECT_EQ(rig.access.lastReaderIndex, 1);
  EXPECT_EQ(rig.Steps(true), Steps({"connect Reader A 0", "connect Reader B 1", "atr", "id",
                                    "disconnect Reader B 1"}));
  rig.ExpectClean();
}

TEST_P(BothFlavours, CardWithoutIdentityIsPassedOver) {
  ThreeReaders rig(GetParam());
  FakeCard& silent = rig.smartCard.PutCard(u"Reader A 0");
  silent.atr = kMifareAtr;  // but no ID answer
  rig.Mifare(u"Reader C 2", kUid7);
  rig.Start(false);
  EXPECT_EQ(PollCard(rig.access), 1);
  EXPECT_EQ(rig.access.identity, Filled(kUid7));
  EXPECT_EQ(rig.access.lastReaderIndex, 2);
  EXPECT_EQ(rig.Steps(true),
            Steps({"connect Reader A 0", "atr", "id", "disconnect Reader A 0", "connect Reader B 1",
                   "connect Reader C 2", "atr", "id", "disconnect Reader C 2"}));
  rig.ExpectClean();
}

TEST_P(BothFlavours, NoReaderWithACardGivesNoCard) {
  ThreeReaders rig(GetParam());
  rig.Start(true);
  EXPECT_EQ(PollCard(rig.access), 0);
  EXPECT_EQ(rig.Steps(), Steps({"connect", "connect", "connect"}));
  rig.ExpectClean();
}

TEST_P(BothFlavours, ShortAtrOnAnEarlierReaderEndsThePoll) {
  ThreeReaders rig(GetParam());
  FakeCard& shortAtr = rig.smartCard.PutCard(u"Reader A 0");
  shortAtr.atr = kShortAtr;
  shortAtr.Answer(kIdCommand, Ok(kUid4));
  rig.Mifare(u"Reader B 1", kUid7);
  rig.Start(true);
  const bool setting = GetParam() == Flavour::Setting;
  EXPECT_EQ(PollCard(rig.access), setting ? 1 : 0);
  if (setting) {
    EXPECT_EQ(rig.access.cardKind, 2);
  }
  EXPECT_EQ(rig.Steps(true), Steps({"connect Reader A 0", "atr", "disconnect Reader A 0"}));
  rig.ExpectClean();
}

TEST_P(BothFlavours, AMoreThanTenthReaderIsNeverPolled) {
  Rig rig(GetParam());
  for (int i = 0; i < 11; ++i) rig.smartCard.AddReader(u"Reader " + std::u16string(1, u'A' + i));
  FakeCard& last = rig.smartCard.PutCard(u"Reader K");
  last.atr = kMifareAtr;
  last.Answer(kIdCommand, Ok(kUid4));
  rig.Start(false);
  EXPECT_EQ(PollCard(rig.access), 0);
  EXPECT_EQ(rig.Steps(), Steps(10, "connect"));
  rig.ExpectClean();
}

// Answers whose lengths do not fit what was asked: nothing is read past the
// 260-byte buffers (the sanitizer build would catch it), and lengths reported
// beyond the buffer count as the buffer.
TEST_P(BothFlavours, AnswerLengthsAreBoundedByTheBuffer) {
  Bytes full(258);
  for (std::size_t i = 0; i < full.size(); ++i) full[i] = static_cast<unsigned char>(i + 1);
  struct LengthCase {
    const char* name;
    Bytes id;
    long long reported;
    int result;
    CardIdentity identity;
  } cases[] = {
      {"exactly 260 bytes", Ok(full), -1, 1, Raw(full)},
      // Cut to the buffer, the status falls outside it.
      {"more than 260 bytes sent", Ok(Concat(full, {0x77})), -1, 0, Zero()},
      {"260 bytes reported as more", Ok(full), 100000, 1, Raw(full)},
      {"short answer reported as more", Ok(kUid4), 1000, 0, Zero()},

      {"one byte", {0x90}, -1, 0, Zero()},
      {"empty", {}, -1, 0, Zero()},
  };
  for (const LengthCase& c : cases) {
    SCOPED_TRACE(c.name);
    Rig rig(GetParam());
    FakeCard& card = rig.smartCard.PutCard(kAcsName);
    card.atr = kMifareAtr;
    card.reportedAtrLength = 100000;
    card.Answer(kIdCommand, c.id);
    card.answers[kIdCommand].reportedLength = c.reported;
    rig.Start(false);
    EXPECT_EQ(PollCard(rig.access), c.result);
    EXPECT_EQ(rig.access.identity, c.identity);
    rig.ExpectClean();
  }
}

// Lengths reported just past the buffer count as the buffer. Without that
// clamp the status would be looked for past the answer and the card refused:
// this fails as a test where the far larger lengths above would crash.
TEST_P(BothFlavours, AnswerLengthJustPastTheBufferCountsAsTheBuffer) {
  Bytes full(258);
  for (std::size_t i = 0; i < full.size(); ++i) full[i] = static_cast<unsigned char>(i + 1);
  for (long long reported : {261, 262, 263, 264}) {
    SCOPED_TRACE(reported);
    Rig rig(GetParam());
    FakeCard& card = rig.smartCard.PutCard(kAcsName);
    card.atr = kMifareAtr;
    card.Answer(kIdCommand, Ok(full));
    card.answers[kIdCommand].reportedLength = reported;
    rig.Start(false);
    EXPECT_EQ(PollCard(rig.access), 1);
    EXPECT_EQ(rig.access.identity, Raw(full));
    rig.ExpectClean();
  }
}

TEST_P(BothFlavours, AtrReportedLongerThanTheBufferIsStillExamined) {
  Rig rig(GetParam());
  FakeCard& card = rig.smartCard.PutCard(kAcsName);
  card.atr = kFelicaAtr;
  card.reportedAtrLength = 5000;
  card.Answer(kIdCommand, Ok(kIdm)).Answer(kPmmCommand, Ok(kPmm));
  rig.Start(false);
  EXPECT_EQ(PollCard(rig.access), 1);
  EXPECT_EQ(rig.access.identity, Felica());
  rig.ExpectClean();
}

TEST_P(BothFlavours, ReaderKindZeroUsesTheLibraryWhenUsable) {
  Rig rig(GetParam());
  rig.Start(true);  // no reader at all
  ASSERT_EQ(rig.access.readerKind, kNoReader);
  EXPECT_EQ(PollCard(rig.access), 1);
  EXPECT_EQ(rig.access.identity, LibraryCard());
  EXPECT_EQ(rig.access.lastReaderIndex, kReadByLibrary);
  const Steps library = {"init", "open", "poll", "close", "dispose"};
  if (GetParam() == Flavour::Checker) {
    // The checker looks for a reader again first.
    Steps expected = {"release", "establish", "list-size", "list"};
    expected.insert(expected.end(), library.begin(), library.end());
    EXPECT_EQ(rig.Steps(), expected);
  } else {
    EXPECT_EQ(rig.Steps(), library);
    EXPECT_EQ(rig.access.cardKind, 4);
  }
  rig.ExpectClean();
}

TEST_P(BothFlavours, ReaderKindZeroWithoutLibraryGivesNoCard) {
  Rig rig(GetParam());
  rig.Start(false);
  EXPECT_EQ(PollCard(rig.access), 0);
  for (const std::string& step : rig.Steps())
    EXPECT_THAT(step, ::testing::Not(::testing::AnyOf("init", "connect"))) << "nothing to poll";
  rig.ExpectClean();
}

TEST(CheckerPoll, DiscoversReadersItselfWhileNoneIsKnown) {
  Rig rig(Flavour::Checker);
  rig.Start(false);
  FakeCard& card = rig.smartCard.PutCard(kAcsName);  // plugged in after start-up
  card.atr = kMifareAtr;
  card.Answer(kIdCommand, Ok(kUid4));
  EXPECT_EQ(PollCard(rig.access), 1);
  EXPECT_EQ(rig.Steps(), Steps({"release", "establish", "list-size", "list", "connect", "atr", "id",
                                "disconnect"}));
  // Once a reader is known the table is kept: no new discovery.
  rig.journal.clear();
  EXPECT_EQ(PollCard(rig.access), 1);
  EXPECT_EQ(rig.Steps(), Steps({"connect", "atr", "id", "disconnect"}));
  rig.ExpectClean();
}

TEST(SettingPoll, NeverDiscoversReaders) {
  Rig rig(Flavour::Setting);
  rig.Start(false);
  rig.smartCard.PutCard(kAcsName).atr = kMifareAtr;
  EXPECT_EQ(PollCard(rig.access), 0);
  EXPECT_THAT(rig.journal, ::testing::IsEmpty());
}

// The settings program clears the identity as soon as it is connected, so a
// refused card never carries the previous card's identity.
TEST(SettingPoll, RefusedShortAtrCardLeavesNoIdentityBehind) {
  Rig rig(Flavour::Setting);
  rig.smartCard.PutCard(kAcsName).atr = kShortAtr;
  rig.Start(false);
  rig.access.identity = Felica();
  EXPECT_EQ(PollCard(rig.access), 1);
  EXPECT_EQ(rig.access.cardKind, 2);
  EXPECT_EQ(rig.access.identity, Zero());
}

TEST(CheckerPoll, UnreadableIdLeavesNoIdentityBehind) {
  Rig rig(Flavour::Checker);
  rig.smartCard.PutCard(kAcsName).atr = kMifareAtr;
  rig.Start(false);
  rig.access.identity = Felica();
  EXPECT_EQ(PollCard(rig.access), 0);
  EXPECT_EQ(rig.access.identity, Zero());
}

TEST(SettingPoll, CardKindIsResetForEveryReader) {
  ThreeReaders rig(Flavour::Setting);
  FakeCard& felica = rig.smartCard.PutCard(u"Reader A 0");
  felica.atr = kFelicaAtr;  // recognised, but the ID cannot be read
  rig.Start(false);
  EXPECT_EQ(PollCard(rig.access), 0);
  EXPECT_EQ(rig.access.cardKind, 255);
}

TEST(SettingPoll, SoundHookIsOptional) {
  Rig rig(Flavour::Setting);
  rig.access.soundHook = nullptr;
  FakeCard& card = rig.smartCard.PutCard(kAcsName);
  card.atr = kMifareAtr;
  card.Answer(kIdCommand, Ok(kUid4));
  rig.Start(false);
  EXPECT_EQ(PollCard(rig.access), 1);
}

}  // namespace
}  // namespace orvane
