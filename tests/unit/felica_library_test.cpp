// Loading felica.dll and polling through it, in both programs.
#include <algorithm>
#include <string>

#include "tests/unit/card_test_support.h"

namespace orvane {
namespace {

using namespace cardtest;
using ::testing::ElementsAre;
using ::testing::IsEmpty;
using Steps = std::vector<std::string>;

const std::u16string kSuffix = u"\\Sony Shared\\FeliCaLibrary\\felica.dll";
const Steps kResolveAll = {"Resolve(initialize_library)", "Resolve(open_reader_writer_auto)",
                           "Resolve(dispose_library)", "Resolve(polling_and_get_card_information)",
                           "Resolve(close_reader_writer)"};

class LibraryTest : public ::testing::TestWithParam<Flavour> {};
INSTANTIATE_TEST_SUITE_P(Library, LibraryTest, ::testing::Values(Flavour::Checker, Flavour::Setting),
                         [](const auto& info) { return std::string(FlavourName(info.param)); });

bool Usable(Rig& rig) {
  // The settings program takes the loader's flag over in discovery.
  if (rig.access.flavour == Flavour::Setting) DiscoverReaders(rig.access);
  return rig.access.libraryUsable;
}

TEST_P(LibraryTest, LoadsFromTheCommonProgramFilesFolderAndResolvesInOrder) {
  Rig rig(GetParam());
  EXPECT_EQ(LoadFelicaLibrary(rig.access), 1);
  Steps expected = {"CommonProgramFilesFolder(capacity=260)",
                    "Load(C:\\Program Files\\Common Files\\Sony Shared\\FeliCaLibrary\\felica.dll)"};
  expected.insert(expected.end(), kResolveAll.begin(), kResolveAll.end());
  EXPECT_EQ(rig.felica.log, expected);
  if (GetParam() == Flavour::Checker) {
    EXPECT_TRUE(rig.access.libraryUsable);
  } else {
    EXPECT_TRUE(rig.access.libraryLoaded);
    EXPECT_FALSE(rig.access.libraryUsable);
  }
  EXPECT_TRUE(Usable(rig));
  rig.ExpectClean();
}

// Every entry point is looked up even after one is missing; the module stays
// loaded but is never called.
TEST_P(LibraryTest, AMissingEntryPointMakesTheLibraryUnusable) {
  for (const char* entry : {"initialize_library", "open_reader_writer_auto", "dispose_library",
                                   "polling_and_get_card_information", "close_reader_writer"}) {
    SCOPED_TRACE(entry);
    Rig rig(GetParam());
    rig.felica.missingEntryPoints.insert(entry);
    EXPECT_EQ(LoadFelicaLibrary(rig.access), 0);
    EXPECT_FALSE(rig.access.libraryLoaded);
    EXPECT_FALSE(Usable(rig));
    EXPECT_TRUE(rig.felica.loaded);
    EXPECT_EQ(PollCard(rig.access), 0);
    Steps calls(rig.felica.log.begin() + 2, rig.felica.log.end());
    EXPECT_EQ(calls, kResolveAll) << "all five looked up, nothing called";
    rig.ExpectClean();
  }
}

TEST_P(LibraryTest, LoadFailures) {
  struct {
    const char* name;
    bool folder;
    std::u16string folderText;
    bool load;
    Steps log;
  } cases[] = {
      {"no folder", false, u"C:\\X", true, {"CommonProgramFilesFolder(capacity=260)"}},
      {"load fails", true, u"C:\\X", false,
       {"CommonProgramFilesFolder(capacity=260)",
        "Load(C:\\X\\Sony Shared\\FeliCaLibrary\\felica.dll)"}},
      // The longest folder whose library path still fits 259 characters.
      {"longest folder", true, std::u16string(259 - kSuffix.size(), u'f'), false,
       {"CommonProgramFilesFolder(capacity=260)",
        "Load(" + std::string(259 - kSuffix.size(), 'f') +
            "\\Sony Shared\\FeliCaLibrary\\felica.dll)"}},
      // One more: the path would be cut, so nothing is loaded.
      {"folder too long for the path", true, std::u16string(260 - kSuffix.size(), u'f'), true,
       {"CommonProgramFilesFolder(capacity=260)"}},
      {"folder filling its buffer", true, std::u16string(259, u'f'), true,
       {"CommonProgramFilesFolder(capacity=260)"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    Rig rig(GetParam());
    rig.felica.folderAvailable = c.folder;
    rig.felica.folder = c.folderText;
    rig.felica.loadSucceeds = c.load;
    EXPECT_EQ(LoadFelicaLibrary(rig.access), 0);
    EXPECT_EQ(rig.felica.log, c.log);
    EXPECT_FALSE(Usable(rig));
  }
}

TEST(SettingLibrary, LoadingResetsTheReaderState) {
  Rig rig(Flavour::Setting);
  rig.access.readerCount = 3;
  rig.access.pasoriIndex = 2;
  rig.access.readerKind = kPasoriReader;
  rig.access.libraryUsable = true;
  rig.access.libraryLoaded = true;
  rig.felica.loadSucceeds = false;
  LoadFelicaLibrary(rig.access);
  EXPECT_EQ(rig.access.readerCount, 0);
  EXPECT_EQ(rig.access.pasoriIndex, 0);
  EXPECT_EQ(rig.access.readerKind, kNoReader);
  EXPECT_FALSE(rig.access.libraryUsable);
  EXPECT_FALSE(rig.access.libraryLoaded);
}

struct PollScript {
  const char* name;
  int initialize, open, poll;
  unsigned char cards;
  std::array<unsigned char, 8> idm, pmm;
  int result;
  Steps steps;
  int settingSounds;
};

const std::array<unsigned char, 8> kZero8 = {};
const Steps kWhole = {"init", "open", "poll", "close", "dispose"};

const PollScript kPollScripts[] = {
    {"card", 1, 1, 1, 1, kLibraryIdm, kLibraryPmm, 1, kWhole, 1},
    {"two cards", 1, 1, 1, 2, kLibraryIdm, kLibraryPmm, 1, kWhole, 1},
    {"only the PMm non-zero", 1, 1, 1, 1, kZero8, kLibraryPmm, 1, kWhole, 1},
    {"initialize fails", 0, 1, 1, 1, kLibraryIdm, kLibraryPmm, 0, {"init"}, 0},
    {"open fails", 1, 0, 1, 1, kLibraryIdm, kLibraryPmm, 0, {"init", "open", "dispose"}, 0},
    {"poll fails", 1, 1, 0, 1, kLibraryIdm, kLibraryPmm, 0, kWhole, 0},
    {"no card found", 1, 1, 1, 0, kLibraryIdm, kLibraryPmm, 0, kWhole, 0},
    // The sound is triggered as soon as the library reports a card.
    {"all-zero IDm and PMm", 1, 1, 1, 1, kZero8, kZero8, 0, kWhole, 1},
};

class LibraryPollTest : public ::testing::TestWithParam<std::tuple<PollScript, Flavour>> {};

TEST_P(LibraryPollTest, Poll) {
  const PollScript& s = std::get<0>(GetParam());
  const Flavour flavour = std::get<1>(GetParam());
  Rig rig(flavour);
  rig.Start(true);
  rig.felica.initializeResult = s.initialize;
  rig.felica.openResult = s.open;
  rig.felica.pollResult = s.poll;
  rig.felica.numberOfCards = s.cards;
  rig.felica.idm = s.idm;
  rig.felica.pmm = s.pmm;
  rig.access.identity = Felica();  // the last card's
  rig.access.cardKind = 7;
  EXPECT_EQ(PollCardByLibrary(rig.access), s.result);
  EXPECT_EQ(rig.Steps(), s.steps);
  if (s.result) {
    EXPECT_EQ(rig.access.identity, Raw(Concat(Bytes(s.idm.begin(), s.idm.end()),
                                              Bytes(s.pmm.begin(), s.pmm.end()))))
        << "IDm and PMm, no fill";
    EXPECT_EQ(rig.access.lastReaderIndex, kReadByLibrary);
  }
  if (flavour == Flavour::Setting) {
    EXPECT_EQ(rig.sounds, s.settingSounds);
    EXPECT_EQ(rig.access.cardKind, s.result ? 4 : 7);
  } else {
    EXPECT_EQ(rig.sounds, 0);
  }
  if (std::find(s.steps.begin(), s.steps.end(), "poll") != s.steps.end()) {
    const FakeFelica::PollingCall& call = rig.felica.lastPolling;
    EXPECT_EQ(call.systemCode[0], 0xFF);
    EXPECT_EQ(call.systemCode[1], 0xFF);
    EXPECT_EQ(call.timeSlot, 0);
    EXPECT_EQ(call.numberOfCardsOnEntry, 0);
    EXPECT_TRUE(call.destinationsClear) << "cleared before the call";
    EXPECT_TRUE(call.destinationsApart);
  }
  rig.ExpectClean();
}

INSTANTIATE_TEST_SUITE_P(
    Scripts, LibraryPollTest,
    ::testing::Combine(::testing::ValuesIn(kPollScripts),
                       ::testing::Values(Flavour::Checker, Flavour::Setting)),
    [](const auto& info) {
      std::string name = std::string(std::get<0>(info.param).name) + FlavourName(std::get<1>(info.param));
      for (char& c : name)
        if (!isalnum(static_cast<unsigned char>(c))) c = '_';
      return name;
    });

// A library that writes more than 8 bytes to a destination writes into room
// of its own: the identity holds IDm and PMm, and what follows it is untouched.
TEST_P(LibraryTest, BytesWrittenBeyondIdmAndPmmStayOutOfTheCardState) {
  // 24: exactly what follows the identity up to the end of the card state;
  // the whole room: what the library may write without a fault.
  for (std::size_t extra : {std::size_t{24}, kFelicaOutputRoom - 8}) {
    SCOPED_TRACE(extra);
    Rig rig(GetParam());
    rig.Start(true);
    rig.felica.SetCard(kLibraryIdm, kLibraryPmm);
    rig.felica.extraBytes = extra;
    CardIdentity permuted;
    for (std::size_t i = 0; i < permuted.size(); ++i) permuted[i] = static_cast<unsigned char>(0x40 + i);
    rig.access.permuted = permuted;
    rig.access.cardKind = 7;
    EXPECT_EQ(PollCardByLibrary(rig.access), 1);
    EXPECT_EQ(rig.access.identity, LibraryCard());
    EXPECT_EQ(rig.access.permuted, permuted);
    EXPECT_EQ(rig.access.cardKind, GetParam() == Flavour::Setting ? kCardKindFelica : 7);
    EXPECT_EQ(rig.access.lastReaderIndex, kReadByLibrary);
    rig.ExpectClean();
  }
}

TEST_P(LibraryTest, UnusableLibraryIsNeverCalled) {
  Rig rig(GetParam());
  rig.Start(false);
  EXPECT_EQ(PollCardByLibrary(rig.access), 0);
  EXPECT_THAT(rig.journal, IsEmpty());
}

TEST(SettingLibrary, FreedLibraryIsNotCalledAgain) {
  Rig rig(Flavour::Setting);
  rig.Start(true);
  ASSERT_EQ(PollCard(rig.access), 1);
  FreeFelicaLibrary(rig.access);
  EXPECT_FALSE(rig.access.libraryUsable);
  rig.journal.clear();
  EXPECT_EQ(PollCard(rig.access), 0);
  EXPECT_THAT(rig.journal, IsEmpty());
  rig.ExpectClean();
}

// The handover from a PaSoRi reader: the PC/SC connection ends before the
// library opens the reader.
TEST_P(LibraryTest, HandoverDisconnectsBeforeTheLibraryPolls) {
  Rig rig(GetParam());
  FakeCard& card = rig.smartCard.PutCard(kPasoriName);
  card.atr = kShortAtr;
  card.Answer(kCardTypeCommand, {7, 0x90, 0x00});
  rig.Start(true);
  EXPECT_EQ(PollCard(rig.access), 1);
  EXPECT_THAT(rig.journal,
              ElementsAre("Connect(Sony FeliCa Port/PaSoRi 3.0 0)", "Transmit(FF CA F3 00 00, capacity=260)",
                          "Status(capacity=260)", "Disconnect(Sony FeliCa Port/PaSoRi 3.0 0)",
                          "initialize_library", "open_reader_writer_auto",
                          "polling_and_get_card_information", "close_reader_writer", "dispose_library"));
  EXPECT_EQ(rig.access.identity, LibraryCard());
  rig.ExpectClean();
}

}  // namespace
}  // namespace orvane
