// Reader discovery of both programs: which names are stored, the reader kind,
// the table bounds, malformed lists, and the settings program's view.
#include <string>

#include "tests/unit/card_test_support.h"

namespace orvane {
namespace {

using namespace cardtest;
using ::testing::ElementsAre;
using ::testing::IsEmpty;
using Names = std::vector<std::u16string>;

std::vector<std::u16string> StoredNames(const CardAccess& access) {
  std::vector<std::u16string> names;
  for (int i = 0; i < access.readerCount; ++i) names.push_back(access.readers[i].name);
  return names;
}

class RecordingView : public ReaderStatusView {
 public:
  std::vector<std::u16string> labels;
  void ReaderReady(const char16_t* readerLabel) override { labels.push_back(readerLabel); }
};

struct DiscoveryCase {
  const char* name;
  Names listed;
  Names stored;
  int readerKind;
  int pasoriIndex;
};

const DiscoveryCase kDiscoveryCases[] = {
    {"NoReader", {}, {}, kNoReader, 0},
    {"OneReader", {u"ACS ACR122U 00 00"}, {u"ACS ACR122U 00 00"}, kOtherReaders, 0},
    {"OnlyMicrosoftReaders",
     {u"Microsoft Virtual Smart Card 0", u"Microsoft IFD 1"},
     {},
     kNoReader,
     0},
    // Only the exact, case-sensitive prefix is skipped.
    {"MicrosoftOnlyAsPrefix",
     {u"Microsoft UICC ISO Reader 0", u"microsoft reader", u"Microsof", u"My Microsoft Reader"},
     {u"microsoft reader", u"Microsof", u"My Microsoft Reader"},
     kOtherReaders,
     0},
    {"PasoriPreferredAndLaterNamesNotStored",
     {u"Reader A", u"Reader B", u"Sony FeliCa Port/PaSoRi 3.0 0", u"Reader C"},
     {u"Reader A", u"Reader B", u"Sony FeliCa Port/PaSoRi 3.0 0"},
     kPasoriReader,
     2},
    {"PasoriFirst",
     {u"SONY FeliCa RC-S380/P PaSoRi 00 00", u"Reader A"},
     {u"SONY FeliCa RC-S380/P PaSoRi 00 00"},
     kPasoriReader,
     0},
    {"PasoriCaseSensitive", {u"Sony PASORI 0", u"pasori 1"}, {u"Sony PASORI 0", u"pasori 1"}, kOtherReaders, 0},
    {"MicrosoftPasoriSkipped",
     {u"Microsoft PaSoRi 0", u"Reader A"},
     {u"Reader A"},
     kOtherReaders,
     0},
    {"TenReadersFit",
     {u"R0", u"R1", u"R2", u"R3", u"R4", u"R5", u"R6", u"R7", u"R8", u"R9"},
     {u"R0", u"R1", u"R2", u"R3", u"R4", u"R5", u"R6", u"R7", u"R8", u"R9"},
     kOtherReaders,
     0},
    // Readers past the tenth are left out.
    {"MoreThanTenReaders",
     {u"R0", u"R1", u"R2", u"R3", u"R4", u"R5", u"R6", u"R7", u"R8", u"R9", u"R10", u"R11"},
     {u"R0", u"R1", u"R2", u"R3", u"R4", u"R5", u"R6", u"R7", u"R8", u"R9"},
     kOtherReaders,
     0},
    // A PaSoRi reader after ten others is still preferred: it takes the last entry.
    {"PasoriAfterTenOthers",
     {u"R0", u"R1", u"R2", u"R3", u"R4", u"R5", u"R6", u"R7", u"R8", u"R9", u"R10",
      u"PaSoRi 0", u"R12"},
     {u"R0", u"R1", u"R2", u"R3", u"R4", u"R5", u"R6", u"R7", u"R8", u"PaSoRi 0"},
     kPasoriReader,
     9},
    {"PasoriAsTenth",
     {u"R0", u"R1", u"R2", u"R3", u"R4", u"R5", u"R6", u"R7", u"R8", u"PaSoRi 0", u"R10"},
     {u"R0", u"R1", u"R2", u"R3", u"R4", u"R5", u"R6", u"R7", u"R8", u"PaSoRi 0"},
     kPasoriReader,
     9},
    {"MicrosoftReadersTakeNoEntry",
     {u"Microsoft 0", u"R0", u"R1", u"R2", u"R3", u"R4", u"R5", u"R6", u"R7", u"R8",
      u"Microsoft 1", u"R9"},
     {u"R0", u"R1", u"R2", u"R3", u"R4", u"R5", u"R6", u"R7", u"R8", u"R9"},
     kOtherReaders,
     0},
};

class DiscoveryTest
    : public ::testing::TestWithParam<std::tuple<DiscoveryCase, Flavour>> {};

TEST_P(DiscoveryTest, StoresTheUsableReaders) {
  const DiscoveryCase& c = std::get<0>(GetParam());
  Rig rig(std::get<1>(GetParam()));
  for (const std::u16string& name : c.listed) rig.smartCard.AddReader(name);
  DiscoverReaders(rig.access);
  EXPECT_EQ(StoredNames(rig.access), c.stored);
  EXPECT_EQ(rig.access.readerCount, static_cast<int>(c.stored.size()));
  EXPECT_EQ(rig.access.readerKind, c.readerKind);
  if (c.readerKind == kPasoriReader) {
    EXPECT_EQ(rig.access.pasoriIndex, c.pasoriIndex);
  }
  EXPECT_TRUE(rig.access.contextEstablished);
  EXPECT_EQ(rig.Steps(), std::vector<std::string>({"establish", "list-size", "list"}));
  rig.ExpectClean();
}

INSTANTIATE_TEST_SUITE_P(
    Lists, DiscoveryTest,
    ::testing::Combine(::testing::ValuesIn(kDiscoveryCases),
                       ::testing::Values(Flavour::Checker, Flavour::Setting)),
    [](const auto& info) {
      return std::string(std::get<0>(info.param).name) + FlavourName(std::get<1>(info.param));
    });

// A name longer than an entry is left out, not cut: a cut name would never
// connect. The checker's entries hold 255 characters, the settings program's 259.
TEST(DiscoveryNames, OverLongNamesAreLeftOut) {
  struct {
    Flavour flavour;
    int longest;
  } limits[] = {{Flavour::Checker, 255}, {Flavour::Setting, 259}};
  for (const auto& limit : limits) {
    SCOPED_TRACE(FlavourName(limit.flavour));
    Rig rig(limit.flavour);
    const std::u16string fits(limit.longest, u'x');
    const std::u16string tooLong(limit.longest + 1, u'y');
    const std::u16string pasoriTooLong = u"PaSoRi " + std::u16string(limit.longest, u'z');
    rig.smartCard.AddReader(tooLong);
    rig.smartCard.AddReader(pasoriTooLong);
    rig.smartCard.AddReader(fits);
    rig.smartCard.AddReader(std::u16string(5000, u'w'));
    DiscoverReaders(rig.access);
    EXPECT_EQ(StoredNames(rig.access), Names({fits}));
    EXPECT_EQ(rig.access.readerKind, kOtherReaders);
    EXPECT_EQ(rig.access.readers[0].name[limit.longest], 0);
    rig.ExpectClean();
  }
}

// Lists an adapter may deliver wrongly: without the final empty name, without
// any terminator, with a length beyond the buffer. Discovery reads only its
// own buffer, whose extra unit it keeps zero.
TEST(DiscoveryLists, MalformedListsAreReadWithinTheBuffer) {
  struct {
    const char* name;
    std::u16string raw;
    long long reportedSize;
    long long reportedFetch;
    Names stored;
  } cases[] = {
      {"well formed", std::u16string(u"A\0B\0\0", 5), -1, -1, {u"A", u"B"}},
      {"no final empty name", std::u16string(u"A\0B\0", 4), -1, -1, {u"A", u"B"}},
      {"no terminator at all", std::u16string(u"A\0BC", 4), -1, -1, {u"A", u"BC"}},
      {"fetch reports more than the buffer", std::u16string(u"A\0B\0\0", 5), -1, 100000, {u"A", u"B"}},
      {"fetch reports less", std::u16string(u"A\0B\0\0", 5), -1, 2, {u"A"}},
      {"fetch reports a length inside a name", std::u16string(u"AB\0\0", 4), -1, 1, {u"A"}},
      {"size query reports less", std::u16string(u"AB\0CD\0\0", 7), 4, -1, {u"AB", u"C"}},
      {"empty list", std::u16string(u"\0", 1), -1, -1, {}},
      {"nothing", std::u16string(), -1, -1, {}},
      {"empty name first", std::u16string(u"\0A\0\0", 4), -1, -1, {}},
  };
  for (const auto& c : cases) {
    for (Flavour flavour : {Flavour::Checker, Flavour::Setting}) {
      SCOPED_TRACE(std::string(c.name) + " " + FlavourName(flavour));
      Rig rig(flavour);
      rig.smartCard.useRawList = true;
      rig.smartCard.rawList = c.raw;
      rig.smartCard.reportedListSize = c.reportedSize;
      rig.smartCard.reportedFetchLength = c.reportedFetch;
      DiscoverReaders(rig.access);
      EXPECT_EQ(StoredNames(rig.access), c.stored);
      rig.ExpectClean();
    }
  }
}

TEST(DiscoveryLists, FetchCapacityIsTheReportedSize) {
  Rig rig(Flavour::Checker);
  rig.smartCard.AddReader(u"Reader A");
  DiscoverReaders(rig.access);
  const std::string expected =
      "ListReaders(capacity=" + std::to_string(rig.smartCard.BuiltList().size()) + ")";
  EXPECT_THAT(rig.journal, ElementsAre("EstablishContext", "ListReaders(size)", expected));
}

TEST(DiscoveryLists, AbsurdListSizeIsNotAllocated) {
  Rig rig(Flavour::Checker);
  rig.smartCard.AddReader(u"Reader A");
  rig.smartCard.reportedListSize = 0xFFFFFFFFLL;
  DiscoverReaders(rig.access);
  EXPECT_EQ(rig.access.readerKind, kNoReader);
  EXPECT_EQ(rig.Steps(), std::vector<std::string>({"establish", "list-size"}));
}

TEST(DiscoveryFailures, LeaveReaderKindZero) {
  struct {
    const char* name;
    ScResult establish, size, fetch;
    std::vector<std::string> steps;
    bool contextEstablished;
  } cases[] = {
      {"establish fails", ScResult::NoService, ScResult::Ok, ScResult::Ok, {"establish"}, false},
      {"size query fails", ScResult::Ok, ScResult::NoReaders, ScResult::Ok, {"establish", "list-size"}, true},
      {"fetch fails", ScResult::Ok, ScResult::Ok, ScResult::InsufficientBuffer,
       {"establish", "list-size", "list"}, true},
  };
  for (const auto& c : cases) {
    for (Flavour flavour : {Flavour::Checker, Flavour::Setting}) {
      SCOPED_TRACE(std::string(c.name) + " " + FlavourName(flavour));
      Rig rig(flavour);
      rig.smartCard.AddReader(u"Reader A");
      rig.smartCard.establishResult = c.establish;
      rig.smartCard.listSizeResult = c.size;
      rig.smartCard.listFetchResult = c.fetch;
      DiscoverReaders(rig.access);
      EXPECT_EQ(rig.access.readerKind, kNoReader);
      EXPECT_EQ(rig.access.readerCount, 0);
      EXPECT_EQ(rig.access.contextEstablished, c.contextEstablished);
      EXPECT_EQ(rig.Steps(), c.steps);
      rig.ExpectClean();
    }
  }
}

TEST(DiscoveryContext, OldContextIsReleasedBeforeANewOneIsEstablished) {
  Rig rig(Flavour::Checker);
  rig.smartCard.listSizeResult = ScResult::NoReaders;
  DiscoverReaders(rig.access);
  rig.smartCard.listSizeResult = ScResult::Ok;
  rig.smartCard.AddReader(u"Reader A");
  DiscoverReaders(rig.access);
  EXPECT_EQ(rig.Steps(), std::vector<std::string>({"establish", "list-size", "release", "establish",
                                                   "list-size", "list"}));
  EXPECT_EQ(rig.smartCard.LiveContexts(), 1);
  EXPECT_EQ(rig.access.readerKind, kOtherReaders);
  ReleaseReaders(rig.access);
  EXPECT_EQ(rig.smartCard.LiveContexts(), 0);
  EXPECT_FALSE(rig.access.contextEstablished);
  EXPECT_EQ(rig.access.readerKind, kNoReader);
  rig.ExpectClean();
}

// A repeated discovery (the checker after its caller reset the reader kind)
// builds the table afresh instead of appending to it.
TEST(DiscoveryContext, RepeatedDiscoveryRebuildsTheTable) {
  Rig rig(Flavour::Checker);
  rig.smartCard.AddReader(u"Reader B");
  // What an earlier discovery left: a PaSoRi reader that is gone now.
  rig.access.readerCount = 2;
  rig.access.readerKind = kPasoriReader;
  rig.access.pasoriIndex = 1;
  DiscoverReaders(rig.access);
  EXPECT_EQ(StoredNames(rig.access), Names({u"Reader B"}));
  EXPECT_EQ(rig.access.readerKind, kOtherReaders);

  // And when no reader answers any more, nothing of the old table stays.
  rig.smartCard.listSizeResult = ScResult::NoReaders;
  rig.access.readerKind = kPasoriReader;
  rig.access.readerCount = 2;
  rig.access.pasoriIndex = 1;
  DiscoverReaders(rig.access);
  EXPECT_EQ(rig.access.readerCount, 0);
  EXPECT_EQ(rig.access.readerKind, kNoReader);
}

TEST(SettingDiscovery, ReturnsAtOnceWhileAReaderKindIsSet) {
  Rig rig(Flavour::Setting);
  RecordingView view;
  rig.access.view = &view;
  rig.smartCard.AddReader(u"Reader A");
  DiscoverReaders(rig.access);
  rig.journal.clear();
  rig.smartCard.AddReader(u"PaSoRi 0");  // plugged in later: not taken up
  DiscoverReaders(rig.access);
  EXPECT_THAT(rig.journal, IsEmpty());
  EXPECT_EQ(rig.access.readerKind, kOtherReaders);
  EXPECT_EQ(view.labels.size(), 1u);
}

TEST(SettingDiscovery, DisplayNameLosesTheInstanceNumber) {
  struct {
    std::u16string name;
    std::u16string display;
  } cases[] = {
      {u"ACS ACR122U PICC Interface 0", u"ACS ACR122U PICC Interface"},
      {u"ACS ACR122U 00 00", u"ACS ACR122U 00"},
      {u"Reader10", u"Reade"},  // the character before the digits goes too
      {u"Reader", u"Reader"},
      {u"X 1", u"X"},
      {u"A123", u"A123"},  // only digits after position 0: nothing removed
      {u"12345", u"12345"},
      {u"5", u"5"},
      {u"Reader 0 ", u"Reader 0 "},
      {u"Reader \x0661", u"Reader \x0661"},  // only 0 to 9 count as digits
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(Narrow(c.name));
    Rig rig(Flavour::Setting);
    rig.smartCard.AddReader(c.name);
    DiscoverReaders(rig.access);
    ASSERT_EQ(rig.access.readerCount, 1);
    EXPECT_EQ(std::u16string(rig.access.readers[0].name), c.name);
    EXPECT_EQ(std::u16string(rig.access.readers[0].display), c.display);
  }
}

TEST(SettingDiscovery, TellsTheViewWhichReaderToUse) {
  struct {
    const char* name;
    Names readers;
    bool library;
    std::vector<std::u16string> labels;
    bool libraryUsable;
  } cases[] = {
      {"other readers: the first entry's display name", {u"Reader A 0", u"Reader B 1"}, false,
       {u"Reader A"}, false},
      {"PaSoRi reader", {u"Reader A 0", u"Sony PaSoRi 0"}, false, {u"PaSoRi"}, false},
      {"library only", {}, true, {u"PaSoRi"}, true},
      {"reader and library", {u"Reader A 0"}, true, {u"Reader A"}, true},
      {"nothing: the status text stays", {}, false, {}, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    Rig rig(Flavour::Setting);
    RecordingView view;
    rig.access.view = &view;
    for (const std::u16string& name : c.readers) rig.smartCard.AddReader(name);
    rig.felica.loadSucceeds = c.library;
    LoadFelicaLibrary(rig.access);
    EXPECT_FALSE(rig.access.libraryUsable) << "usable only once discovery has run";
    DiscoverReaders(rig.access);
    EXPECT_EQ(view.labels, c.labels);
    EXPECT_EQ(rig.access.libraryUsable, c.libraryUsable);
  }
}

TEST(SettingDiscovery, ViewIsOptional) {
  Rig rig(Flavour::Setting);
  rig.smartCard.AddReader(u"Reader A 0");
  DiscoverReaders(rig.access);
  EXPECT_EQ(std::u16string(ReaderLabel(rig.access)), u"Reader A");
}

TEST(CheckerDiscovery, ReportsToNoView) {
  Rig rig(Flavour::Checker);
  RecordingView view;
  rig.access.view = &view;
  rig.smartCard.AddReader(u"Reader A 0");
  DiscoverReaders(rig.access);
  EXPECT_THAT(view.labels, IsEmpty());
  EXPECT_EQ(rig.access.readers[0].display[0], 0) << "the checker keeps no display name";
}

// The label names the first entry even when another reader holds the card.
TEST(SettingDiscovery, LabelNamesTheFirstEntryWhateverReaderHoldsTheCard) {
  Rig rig(Flavour::Setting);
  rig.smartCard.AddReader(u"Reader A 0");
  FakeCard& card = rig.smartCard.PutCard(u"Reader B 1");
  card.atr = kMifareAtr;
  card.Answer(kIdCommand, Ok(kUid4));
  DiscoverReaders(rig.access);
  ASSERT_EQ(PollCard(rig.access), 1);
  EXPECT_EQ(rig.access.lastReaderIndex, 1);
  EXPECT_EQ(std::u16string(ReaderLabel(rig.access)), u"Reader A");
}

}  // namespace
}  // namespace orvane
