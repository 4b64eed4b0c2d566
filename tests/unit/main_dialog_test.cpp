// The main dialog's logic on an in-memory view: start-up names and reader
// state, the read cycle on timer 1, refused cards, device changes, help and
// the end of the program.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "card/identity.h"
#include "setting/card_list.h"
#include "setting/main_dialog.h"
#include "setting/resource.h"
#include "setting/string_table.h"
// Captions and texts as the resource script gives them (generated).
#include "resource_map.h"
#include "tests/fakes/setting_fakes.h"
#include "store/shared_names.h"
#include "tests/unit/card_test_support.h"

namespace orvane {
namespace {

using cardtest::kAcsName;
using cardtest::kFelicaAtr;
using cardtest::kIdCommand;
using cardtest::kIdm;
using cardtest::kMifareAtr;
using cardtest::kPasoriName;
using cardtest::kPmm;
using cardtest::kPmmCommand;
using cardtest::kShortAtr;
using cardtest::kUid4;
using cardtest::Ok;

const std::u16string kNoReaderText = ORVANE_CAPTION(IDC_STATUS);

std::u16string Replace(std::u16string format, const std::u16string& value) {
  std::size_t at = format.find(u"%s");
  return at == std::u16string::npos ? format : format.replace(at, 2, value);
}

// The controls that follow the card: enabled exactly when a card is shown.
const int kCardControls[] = {IDC_PASSWORD_AGAIN, IDC_REGISTER, IDC_SOUND, IDC_PASSWORD,
                             IDC_TARGET,         IDC_USER,     IDC_DESCRIPTION};
const int kRemovalControls[] = {IDC_REMOVAL_ACTION, IDC_FORCE, IDC_INTERVAL_LABEL, IDC_INTERVAL};

struct MainDialogTest : ::testing::Test {
  SettingRig rig;
  FakeDialogView view;
  MainDialog dialog{rig.program};

  MainDialogTest() {
    AddMainDialogControls(view);
    view.logic = &dialog;
    rig.felica.loadSucceeds = false;  // no FeliCa library unless a test installs one
  }

  void Start() { EXPECT_TRUE(dialog.OnInit(view)); }
  void Press(int id) { dialog.OnCommand(view, id, 0); }
  void Tick() { dialog.OnTimer(view, kReadTimer); }
  std::u16string Text(int id) { return view.At(id).text; }
  bool Enabled(int id) { return view.At(id).enabled; }

  FakeCard& FelicaOn(const std::u16string& reader) {
    FakeCard& card = rig.smartCard.PutCard(reader);
    card.atr = kFelicaAtr;
    card.Answer(kIdCommand, Ok(kIdm)).Answer(kPmmCommand, Ok(kPmm));
    return card;
  }
  void ExpectCardControls(bool enabled) {
    for (int id : kCardControls) EXPECT_EQ(Enabled(id), enabled) << "control " << id;
  }
  void ExpectRemovalControls(bool enabled) {
    for (int id : kRemovalControls) EXPECT_EQ(Enabled(id), enabled) << "control " << id;
  }
  std::u16string ReadyText(const std::u16string& label) {
    return Replace(StringText(IDS_READER_READY), label);
  }
  std::u16string ReadingText(const std::u16string& label) {
    return Replace(StringText(IDS_READING), label);
  }
  std::u16string CardText(const std::u16string& label) {
    return Replace(StringText(IDS_CARD_READ), label);
  }
};

TEST_F(MainDialogTest, StartWithoutReaderOrLibraryKeepsTheTemplateState) {
  Start();
  EXPECT_EQ(view.centred, 1);
  EXPECT_EQ(Text(IDC_STATUS), kNoReaderText);
  EXPECT_FALSE(Enabled(IDC_READ));
  EXPECT_EQ(Text(IDC_TARGET), u"WORKSTATION");
  EXPECT_EQ(Text(IDC_USER), u"alice");
  EXPECT_EQ(Text(IDC_INTERVAL), u"5");
  EXPECT_EQ(view.At(IDC_REMOVAL_ACTION).items,
            (std::vector<std::u16string>{ORVANE_CAPTION(IDS_LOG_OFF), ORVANE_CAPTION(IDS_SHUT_DOWN),
                                          ORVANE_CAPTION(IDS_REBOOT), ORVANE_CAPTION(IDS_LOCK)}));
  EXPECT_EQ(view.At(IDC_REMOVAL_ACTION).selection, 0);
  EXPECT_TRUE(Enabled(IDC_SOUND));
  EXPECT_TRUE(Enabled(IDC_DELETE));
  for (int id : {IDC_TARGET, IDC_USER, IDC_PASSWORD, IDC_PASSWORD_AGAIN})
    EXPECT_EQ(view.At(id).textLimit, 118) << "control " << id;
  EXPECT_EQ(view.At(IDC_DESCRIPTION).textLimit, 239);
  EXPECT_EQ(view.At(IDC_INTERVAL).textLimit, 6);
  EXPECT_THAT(view.misuse, ::testing::IsEmpty());
}

TEST_F(MainDialogTest, StartWithAReaderOrTheLibraryMakesTheReadButtonReady) {
  struct Case {
    const char* name;
    std::u16string reader;  // empty: none
    bool library;
    std::u16string label;
  } cases[] = {
      {"other reader", kAcsName, false, u"ACS ACR122U PICC Interface 00"},
      {"PaSoRi reader", kPasoriName, false, u"PaSoRi"},
      {"library only", u"", true, u"PaSoRi"},
  };
  for (const Case& c : cases) {
    SettingRig rig;
    FakeDialogView view;
    AddMainDialogControls(view);
    rig.felica.loadSucceeds = c.library;
    if (!c.reader.empty()) rig.smartCard.AddReader(c.reader);
    MainDialog dialog(rig.program);
    dialog.OnInit(view);
    EXPECT_EQ(view.At(IDC_STATUS).text, ReadyText(c.label)) << c.name;
    EXPECT_TRUE(view.At(IDC_READ).enabled) << c.name;
    EXPECT_EQ(view.At(IDC_READ).text, StringText(IDS_READ_CARD)) << c.name;
  }
}

TEST_F(MainDialogTest, ReadWithACardOnTheReaderShowsItAtOnce) {
  FelicaOn(kAcsName);
  Start();
  Press(IDC_READ);
  EXPECT_EQ(Text(IDC_STATUS), CardText(u" (FeliCa) "));
  EXPECT_TRUE(view.timers.empty());
  EXPECT_EQ(Text(IDC_READ), StringText(IDS_READ_CARD));
  ExpectCardControls(true);
  EXPECT_EQ(view.focus, IDC_PASSWORD);
  EXPECT_TRUE(Enabled(IDC_REMOVAL_ON));
  ExpectRemovalControls(false);  // no record, so no action
  EXPECT_FALSE(rig.program.state.reading);
  EXPECT_THAT(rig.messages.shown, ::testing::IsEmpty());
}

// The card list marks the card last shown here; a card read must leave its
// permuted identity where the list looks, with a record or without one.
TEST_F(MainDialogTest, TheCardListMarksTheCardTheReadShowed) {
  FelicaOn(kAcsName);
  Start();
  const CardIdentity identity = cardtest::Felica();
  CardIdentity permuted;
  char16_t path[kRecordPathSize];
  FormatRecordPath(RecordKeyValue(identity, permuted), path);
  rig.registry.SetString(u"" ORVANE_KEY_PATH_TEXT u"\\0badcafe", names::kComment,
                         u"2023/07/01 12:34:56 other card");
  for (bool recorded : {false, true}) {
    if (recorded) rig.registry.SetString(path, names::kComment, u"2023/07/02 08:00:00 this card");
    Press(IDC_READ);
    ASSERT_EQ(rig.program.state.card.identity, identity) << "recorded " << recorded;
    FakeDialogView listView;
    AddCardListControls(listView, ListMetrics{600, 2, 17});
    CardListDialog list(rig.program);
    listView.logic = &list;
    listView.notifyListChanges = true;
    list.OnInit(listView);
    const int row = listView.SelectedListRow(IDC_CARD_LIST);
    char16_t time[kTextSize] = {};
    if (row >= 0) listView.GetListText(IDC_CARD_LIST, row, 0, time, kTextSize);
    EXPECT_EQ(std::u16string(time), recorded ? u"2023/07/02 08:00:00" : u"") << "recorded " << recorded;
    EXPECT_EQ(listView.At(IDC_LIST_DELETE).enabled, recorded) << "recorded " << recorded;
    list.OnCommand(listView, IDC_LIST_CLOSE, 0);
  }
}

TEST_F(MainDialogTest, CardKindLabels) {
  struct Case {
    const char* name;
    Bytes atr;
    std::u16string label;
  } cases[] = {
      {"FeliCa", kFelicaAtr, u" (FeliCa) "},
      {"Mifare", kMifareAtr, u" (Mifare) "},
      {"neither", cardtest::kOtherAtr, u""},
  };
  for (const Case& c : cases) {
    SettingRig rig;
    FakeDialogView view;
    AddMainDialogControls(view);
    rig.felica.loadSucceeds = false;
    FakeCard& card = rig.smartCard.PutCard(kAcsName);
    card.atr = c.atr;
    card.Answer(kIdCommand, Ok(c.atr == kFelicaAtr ? kIdm : kUid4)).Answer(kPmmCommand, Ok(kPmm));
    MainDialog dialog(rig.program);
    dialog.OnInit(view);
    dialog.OnCommand(view, IDC_READ, 0);
    EXPECT_EQ(view.At(IDC_STATUS).text, Replace(StringText(IDS_CARD_READ), c.label)) << c.name;
  }
}

TEST_F(MainDialogTest, ReadWithoutACardPollsEverySecondUntilOneComes) {
  rig.smartCard.AddReader(kAcsName);
  Start();
  view.At(IDC_DESCRIPTION).text = u"old description";
  Press(IDC_READ);
  EXPECT_EQ(Text(IDC_DESCRIPTION), u"");
  EXPECT_TRUE(rig.program.state.reading);
  EXPECT_EQ(view.timers, (std::map<int, uint32_t>{{kReadTimer, 1000}}));
  EXPECT_EQ(Text(IDC_STATUS), ReadingText(u"ACS ACR122U PICC Interface 00"));
  EXPECT_EQ(Text(IDC_READ), StringText(IDS_STOP_READING));
  ExpectCardControls(false);

  Tick();  // still no card: nothing changes
  EXPECT_EQ(Text(IDC_STATUS), ReadingText(u"ACS ACR122U PICC Interface 00"));
  EXPECT_EQ(view.timers.count(kReadTimer), 1u);
  dialog.OnTimer(view, 2);  // not the read timer

  FelicaOn(kAcsName);
  Tick();
  EXPECT_TRUE(view.timers.empty());
  EXPECT_FALSE(rig.program.state.reading);
  EXPECT_EQ(Text(IDC_STATUS), CardText(u" (FeliCa) "));
  EXPECT_EQ(Text(IDC_READ), StringText(IDS_READ_CARD));
  ExpectCardControls(true);
}

TEST_F(MainDialogTest, StopEndsTheReadAndTheSoundButtonStaysOffUntilACardIsShown) {
  rig.smartCard.AddReader(kAcsName);
  Start();
  Press(IDC_READ);
  EXPECT_FALSE(Enabled(IDC_SOUND));
  Press(IDC_READ);  // stop
  EXPECT_TRUE(view.timers.empty());
  EXPECT_FALSE(rig.program.state.reading);
  EXPECT_EQ(Text(IDC_STATUS), ReadyText(u"ACS ACR122U PICC Interface 00"));
  EXPECT_EQ(Text(IDC_READ), StringText(IDS_READ_CARD));
  EXPECT_FALSE(Enabled(IDC_SOUND));
  ExpectCardControls(false);
}

TEST_F(MainDialogTest, UnusableCardKindsAreRefusedWithMessage163) {
  struct Case {
    const char* name;
    bool atTick;
    int kind;
  } cases[] = {{"short ATR at the press", false, 2},
               {"short ATR at a tick", true, 2},
               {"card type 8 at the press", false, 8},
               {"card type 8 at a tick", true, 8}};
  for (const Case& c : cases) {
    SettingRig rig;
    FakeDialogView view;
    AddMainDialogControls(view);
    rig.felica.loadSucceeds = false;
    const std::u16string reader = c.kind == 8 ? kPasoriName : kAcsName;
    rig.smartCard.AddReader(reader);
    MainDialog dialog(rig.program);
    dialog.OnInit(view);
    auto putCard = [&] {
      FakeCard& card = rig.smartCard.PutCard(reader);
      if (c.kind == 2) {
        card.atr = kShortAtr;
      } else {
        card.atr = cardtest::kOtherAtr;
        card.Answer(cardtest::kCardTypeCommand, {0x08, 0x90, 0x00}).Answer(kIdCommand, Ok(kUid4));
      }
    };
    if (c.atTick) {
      dialog.OnCommand(view, IDC_READ, 0);
      putCard();
      dialog.OnTimer(view, kReadTimer);
    } else {
      putCard();
      dialog.OnCommand(view, IDC_READ, 0);
    }
    EXPECT_EQ(rig.program.state.card.cardKind, c.kind) << c.name;
    ASSERT_EQ(rig.messages.shown.size(), 1u) << c.name;
    EXPECT_EQ(rig.messages.shown[0].text, ORVANE_CAPTION(IDS_CARD_UNUSABLE)) << c.name;
    EXPECT_EQ(rig.messages.shown[0].caption, ORVANE_CAPTION(IDS_CAPTION)) << c.name;
    EXPECT_EQ(rig.messages.shown[0].style, mb::kIconError) << c.name;
    EXPECT_EQ(rig.messages.shown[0].owner, nullptr) << c.name;
    EXPECT_TRUE(view.timers.empty()) << c.name;
    EXPECT_FALSE(rig.program.state.reading) << c.name;
    EXPECT_EQ(view.At(IDC_STATUS).text,
              Replace(StringText(IDS_READER_READY), c.kind == 8 ? u"PaSoRi" : u"ACS ACR122U PICC Interface 00"))
        << c.name;
    EXPECT_EQ(view.At(IDC_READ).text, StringText(IDS_READ_CARD)) << c.name;
    EXPECT_FALSE(view.At(IDC_REGISTER).enabled) << c.name;
    EXPECT_FALSE(view.At(IDC_SOUND).enabled) << c.name;
  }
}

TEST_F(MainDialogTest, DeviceChangeBringsAReaderAndNeverStopsARead) {
  Start();
  EXPECT_FALSE(Enabled(IDC_READ));
  rig.smartCard.AddReader(kAcsName);
  dialog.OnDeviceChange(view);
  EXPECT_TRUE(Enabled(IDC_READ));
  EXPECT_EQ(Text(IDC_STATUS), ReadyText(u"ACS ACR122U PICC Interface 00"));

  Press(IDC_READ);
  const int establishes = rig.smartCard.establishCount;
  dialog.OnDeviceChange(view);  // a reader is in use: discovery leaves it alone
  EXPECT_EQ(rig.smartCard.establishCount, establishes);
  EXPECT_TRUE(rig.program.state.reading);
  EXPECT_EQ(view.timers.count(kReadTimer), 1u);
  EXPECT_EQ(Text(IDC_STATUS), ReadingText(u"ACS ACR122U PICC Interface 00"));
  EXPECT_EQ(Text(IDC_READ), StringText(IDS_STOP_READING));
}

// With only the FeliCa library, discovery runs again at every device change
// and reports the library ready; the read goes on, so its button must still
// say stop, and the status names the reader the read now waits at.
TEST_F(MainDialogTest, DeviceChangeDuringALibraryReadKeepsTheStopButton) {
  rig.felica.loadSucceeds = true;
  rig.felica.pollResult = 0;  // no card on the library's reader
  Start();
  Press(IDC_READ);
  ASSERT_TRUE(rig.program.state.reading);

  dialog.OnDeviceChange(view);
  EXPECT_TRUE(rig.program.state.reading);
  EXPECT_EQ(view.timers.count(kReadTimer), 1u);
  EXPECT_EQ(Text(IDC_READ), StringText(IDS_STOP_READING));
  EXPECT_EQ(Text(IDC_STATUS), ReadingText(u"PaSoRi"));
  EXPECT_TRUE(Enabled(IDC_READ));

  rig.smartCard.AddReader(kAcsName);  // a PC/SC reader plugged in meanwhile
  dialog.OnDeviceChange(view);
  EXPECT_EQ(Text(IDC_READ), StringText(IDS_STOP_READING));
  EXPECT_EQ(Text(IDC_STATUS), ReadingText(u"ACS ACR122U PICC Interface 00"));

  Press(IDC_READ);  // still the stop it says
  EXPECT_FALSE(rig.program.state.reading);
  EXPECT_TRUE(view.timers.empty());
  EXPECT_EQ(Text(IDC_READ), StringText(IDS_READ_CARD));
  EXPECT_EQ(Text(IDC_STATUS), ReadyText(u"ACS ACR122U PICC Interface 00"));
}

// A card display empties both password fields, whether the card answers at
// the press or at a tick: no password typed for one card goes to the next.
TEST_F(MainDialogTest, ACardShownEmptiesBothPasswordFields) {
  rig.smartCard.AddReader(kAcsName);
  Start();
  FelicaOn(kAcsName);
  Press(IDC_READ);  // shown at the press
  view.At(IDC_PASSWORD).text = u"typed";
  view.At(IDC_PASSWORD_AGAIN).text = u"typed";
  Press(IDC_READ);  // the same card shown again
  EXPECT_EQ(Text(IDC_PASSWORD), u"");
  EXPECT_EQ(Text(IDC_PASSWORD_AGAIN), u"");

  view.At(IDC_PASSWORD).text = u"typed";
  view.At(IDC_PASSWORD_AGAIN).text = u"typed";
  rig.smartCard.FindReader(kAcsName)->hasCard = false;
  Press(IDC_READ);
  ASSERT_TRUE(rig.program.state.reading);
  FelicaOn(kAcsName);
  Tick();  // shown at a tick
  EXPECT_FALSE(rig.program.state.reading);
  EXPECT_EQ(Text(IDC_PASSWORD), u"");
  EXPECT_EQ(Text(IDC_PASSWORD_AGAIN), u"");
}

TEST_F(MainDialogTest, RemovalCheckBoxSwitchesItsControls) {
  FelicaOn(kAcsName);
  Start();
  Press(IDC_READ);
  view.At(IDC_REMOVAL_ON).checked = true;
  Press(IDC_REMOVAL_ON);
  ExpectRemovalControls(true);
  view.At(IDC_REMOVAL_ON).checked = false;
  Press(IDC_REMOVAL_ON);
  ExpectRemovalControls(false);
}

// Forcing means nothing for a lock: picking ロック unticks and disables the
// force box, any other pick enables it again, and ticking the removal box
// again while ロック is picked leaves it disabled.
TEST_F(MainDialogTest, TheForceBoxFollowsThePickedAction) {
  FelicaOn(kAcsName);
  Start();
  Press(IDC_READ);
  view.At(IDC_REMOVAL_ON).checked = true;
  Press(IDC_REMOVAL_ON);
  view.At(IDC_FORCE).checked = true;
  constexpr int kDroppedDown = 7;  // CBN_DROPDOWN: no pick
  const auto pick = [this](int entry, int code = 1 /* CBN_SELCHANGE */) {
    view.At(IDC_REMOVAL_ACTION).selection = entry;
    return dialog.OnCommand(view, IDC_REMOVAL_ACTION, code);
  };
  const auto expectForce = [this](bool checked, bool enabled, const char* step) {
    EXPECT_EQ(view.At(IDC_FORCE).checked, checked) << step;
    EXPECT_EQ(Enabled(IDC_FORCE), enabled) << step;
  };
  EXPECT_TRUE(pick(3));
  expectForce(false, false, "lock picked");
  EXPECT_TRUE(Enabled(IDC_REMOVAL_ACTION));
  EXPECT_TRUE(Enabled(IDC_INTERVAL));
  pick(1);
  expectForce(false, true, "shut down after lock");
  view.At(IDC_FORCE).checked = true;
  pick(2);
  expectForce(true, true, "reboot keeps the tick");
  pick(3);
  expectForce(false, false, "lock again");
  view.At(IDC_REMOVAL_ON).checked = false;
  Press(IDC_REMOVAL_ON);
  ExpectRemovalControls(false);
  view.At(IDC_REMOVAL_ON).checked = true;
  Press(IDC_REMOVAL_ON);
  expectForce(false, false, "removal ticked again with lock");
  for (int id : {IDC_REMOVAL_ACTION, IDC_INTERVAL_LABEL, IDC_INTERVAL})
    EXPECT_TRUE(Enabled(id)) << "control " << id;
  pick(0);
  expectForce(false, true, "log off");
  EXPECT_FALSE(pick(3, kDroppedDown));
  expectForce(false, true, "a notification that is no pick");
}

TEST_F(MainDialogTest, MicrosoftAccountNamesReplaceTheLocalOnesOnlyWhenComplete) {
  struct Case {
    const char* name;
    bool windows8;
    bool netUserWorks;
    bool hasPrincipal;
    std::u16string principal;
    bool hasProvider;
    std::u16string expectTarget, expectUser;
  } cases[] = {
      {"before Windows 8", false, true, true, u"a@example.com", true, u"WORKSTATION", u"alice"},
      {"local account", true, false, true, u"a@example.com", true, u"WORKSTATION", u"alice"},
      {"no principal", true, true, false, u"", true, u"WORKSTATION", u"alice"},
      {"empty principal", true, true, true, u"", true, u"WORKSTATION", u"alice"},
      {"no provider", true, true, true, u"a@example.com", false, u"WORKSTATION", u"alice"},
      {"Microsoft account", true, true, true, u"a@example.com", true, u"MicrosoftAccount",
       u"a@example.com"},
  };
  for (const Case& c : cases) {
    SettingRig rig;
    FakeDialogView view;
    AddMainDialogControls(view);
    rig.felica.loadSucceeds = false;
    rig.system.windows8 = c.windows8;
    rig.account.SetMicrosoftAccount(c.principal, u"MicrosoftAccount");
    rig.account.netUserWorks = c.netUserWorks;
    rig.account.account.hasPrincipal = c.hasPrincipal;
    rig.account.account.hasProvider = c.hasProvider;
    MainDialog dialog(rig.program);
    dialog.OnInit(view);
    EXPECT_EQ(view.At(IDC_TARGET).text, c.expectTarget) << c.name;
    EXPECT_EQ(view.At(IDC_USER).text, c.expectUser) << c.name;
    EXPECT_EQ(std::u16string(rig.program.state.currentUser), c.expectUser) << c.name;
    if (c.windows8) {
      ASSERT_EQ(rig.account.netUserCalls.size(), 1u) << c.name;
      EXPECT_EQ(rig.account.netUserCalls[0].first, u"WORKSTATION") << c.name;
      EXPECT_EQ(rig.account.netUserCalls[0].second, u"alice") << c.name;
    } else {
      EXPECT_TRUE(rig.account.netUserCalls.empty()) << c.name;
    }
  }
}

TEST_F(MainDialogTest, HelpOpensContext6FromTheFileBesideTheProgram) {
  Start();
  dialog.OnHelpKey();
  ASSERT_EQ(rig.help.calls.size(), 1u);
  EXPECT_EQ(rig.help.calls[0].file, u"C:\\Program Files (x86)\\Orvane\\Orvane.chm");
  EXPECT_EQ(rig.help.calls[0].context, 6u);
}

TEST_F(MainDialogTest, HelpWithoutAUsableProgramPathDoesNothing) {
  Start();
  for (const std::u16string& path :
       {std::u16string(u"OrvaneSetting.exe"), u"C:\\" + std::u16string(252, u'x') + u"\\a.exe"}) {
    rig.system.modulePath = path;  // no folder; a folder that leaves no room for the name
    dialog.OnHelpKey();
  }
  rig.system.modulePathWorks = false;
  dialog.OnHelpKey();
  EXPECT_TRUE(rig.help.calls.empty());
}

TEST_F(MainDialogTest, ExitDestroysTheDialogAndReleasesCardAccess) {
  rig.felica.loadSucceeds = true;
  rig.smartCard.AddReader(kAcsName);
  Start();
  EXPECT_EQ(rig.smartCard.LiveContexts(), 1);
  Press(IDC_EXIT);
  EXPECT_TRUE(view.destroyed);
  EXPECT_EQ(view.quits, 1);
  EXPECT_EQ(rig.smartCard.LiveContexts(), 0);
  EXPECT_FALSE(rig.felica.loaded);
  EXPECT_EQ(rig.program.state.card.readerKind, kNoReader);
}

}  // namespace
}  // namespace orvane
