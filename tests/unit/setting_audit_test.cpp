// The settings program's audit trail: which event each path leaves in the
// event log, with which strings, and that none leaves the password. Driven
// on the in-memory dialogs, registry and event log.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "setting/card_list.h"
#include "setting/main_dialog.h"
#include "setting/registration.h"
#include "setting/removal.h"
#include "setting/resource.h"
#include "setting/sound.h"
#include "store/shared_names.h"
#include "tests/fakes/setting_fakes.h"
#include "tests/unit/card_test_support.h"
#include "tests/unit/record_test_support.h"

namespace orvane {
namespace {

using recordtest::Permuted;
using recordtest::RecordPath;
using Strings = std::vector<std::u16string>;

const CardIdentity kCard = cardtest::Filled({0x01, 0x02, 0x03, 0x04});
const std::u16string kKey = u"6605431";  // the record key of kCard
const std::u16string kRecord = u"HKEY_LOCAL_MACHINE\\" + RecordPath(kCard);
const std::u16string kRun = std::u16string(u"HKEY_CURRENT_USER\\") + names::kRunKey;
const std::u16string kQuoted = u"\"C:\\Program Files (x86)\\Orvane\\OrvaneChecker.exe\"";
const std::u16string kSoundKey = std::u16string(u"HKEY_LOCAL_MACHINE\\") + names::kSoundKey;
const std::u16string kWave = u"C:\\Windows\\Media\\ding.wav";
const std::u16string kPassword = u"S3cret-pw";
constexpr int kFelicaKind = 4;

// The main dialog with a FeliCa card shown, the card list and the sound
// dialog, over one rig; alice runs the program.
struct Desk {
  SettingRig rig;
  FakeDialogView main;
  FakeDialogView list;
  CardListDialog cardList{rig.program};
  const std::u16string path = RecordPath(kCard);

  Desk() {
    AddMainDialogControls(main);
    SettingState& state = rig.program.state;
    BoundedCopy(state.currentUser, kTextSize, u"alice");
    FillRemovalList(rig.program, main);
    state.card.identity = kCard;
    state.card.permuted = Permuted(kCard);
    state.card.cardKind = kFelicaKind;
    AddCardListControls(list, ListMetrics{600, 2, 17});
    list.logic = &cardList;
  }
  void Fill(const std::u16string& password, const std::u16string& description = u"desk",
            const std::u16string& user = u"alice") {
    main.At(IDC_PASSWORD).text = password;
    main.At(IDC_PASSWORD_AGAIN).text = password;
    main.At(IDC_USER).text = user;
    main.At(IDC_TARGET).text = u"PC";
    main.At(IDC_DESCRIPTION).text = description;
  }
  void Action(bool on, int entry = 0, bool force = false, const std::u16string& interval = u"5") {
    main.At(IDC_REMOVAL_ON).checked = on;
    main.At(IDC_REMOVAL_ACTION).selection = entry;
    main.At(IDC_FORCE).checked = force;
    main.At(IDC_INTERVAL).text = interval;
  }
  void Register() { RegisterCommand(rig.program, main); }
  // A record registered earlier (by this program, with a password), then
  // shown again: the update without password starts from it.
  void Registered(bool withAction) {
    Fill(kPassword, u"desk");
    Action(withAction, 0, true, u"5");
    Register();
    ShowCardState(rig.program, main, true);
    rig.events.events.clear();
    rig.messages.shown.clear();
    main.At(IDC_PASSWORD).text = u"";
    main.At(IDC_PASSWORD_AGAIN).text = u"";
  }
  void DeleteFromList() {
    cardList.OnInit(list);
    list.SelectListRow(IDC_CARD_LIST, 0);
    rig.messages.answers.push_back(mb::kAnswerYes);
    cardList.OnCommand(list, IDC_LIST_DELETE, 0);
  }
};

struct Expected {
  uint32_t id;
  EventType type;
  Strings strings;
};

struct Case {
  const char* name;
  std::function<void(Desk&)> run;
  std::vector<Expected> events;
};

const Case kCases[] = {
    {"registered without an action",
     [](Desk& d) {
       d.Fill(kPassword);
       d.Action(false);
       d.Register();
     },
     {{1001, EventType::Information,
       {u"alice", kKey, u"FeliCa", u"desk", u"alice", u"PC", u"none", u"-"}}}},
    {"registered for another user by another administrator",
     [](Desk& d) {
       d.rig.account.user = u"admin";
       d.Fill(kPassword, u"front desk", u"bob");
       d.Action(false);
       d.Register();
     },
     {{1001, EventType::Information,
       {u"admin", kKey, u"FeliCa", u"front desk", u"bob", u"PC", u"none", u"-"}}}},
    {"registered with a forced log off, which writes the Run value",
     [](Desk& d) {
       d.Fill(kPassword);
       d.Action(true, 0, true, u"30");
       d.Register();
     },
     {{1004, EventType::Information,
       {u"alice", kKey, u"log off, forced (ExitWindowsEx 0x00000010)", kQuoted}},
      {1001, EventType::Information,
       {u"alice", kKey, u"FeliCa", u"desk", u"alice", u"PC",
        u"log off, forced (ExitWindowsEx 0x00000010)", u"30"}}}},
    {"registered with lock",
     [](Desk& d) {
       d.Fill(kPassword);
       d.Action(true, 3, false, u"2");
       d.Register();
     },
     {{1004, EventType::Information, {u"alice", kKey, u"lock (LockWorkStation)", kQuoted}},
      {1001, EventType::Information,
       {u"alice", kKey, u"FeliCa", u"desk", u"alice", u"PC", u"lock (LockWorkStation)",
        u"2"}}}},
    {"registered, but the Run key refused (176)",
     [](Desk& d) {
       d.rig.registry.FailCreateKey(RegRoot::CurrentUser, names::kRunKey);
       d.Fill(kPassword);
       d.Action(true, 1, false, u"5");
       d.Register();
     },
     {{1001, EventType::Information,
       {u"alice", kKey, u"FeliCa", u"desk", u"alice", u"PC",
        u"shut down (ExitWindowsEx 0x00000001)", u"5"}},
      {1104, EventType::Warning, {u"alice", kKey, kRun, u"5"}}}},
    {"the record's data not written (137)",
     [](Desk& d) {
       d.rig.registry.FailSetValue(names::kData);
       d.Fill(kPassword);
       d.Action(false);
       d.Register();
     },
     {{1101, EventType::Error, {u"alice", kKey, kRecord + u"\\data", u"6"}}}},
    // The login data is written: the registration shows, with the action
    // the record holds.
    {"the removal type not written after the data (137)",
     [](Desk& d) {
       d.rig.registry.FailSetValue(names::kType, RegResult::AccessDenied);
       d.Fill(kPassword);
       d.Action(true);
       d.Register();
     },
     {{1001, EventType::Information,
       {u"alice", kKey, u"FeliCa", u"desk", u"alice", u"PC", u"none", u"-"}},
      {1101, EventType::Error, {u"alice", kKey, kRecord + u"\\type", u"5"}}}},
    {"the description updated without password",
     [](Desk& d) {
       d.Registered(false);
       d.main.At(IDC_DESCRIPTION).text = u"lab";
       d.Register();
     },
     {{1002, EventType::Information, {u"alice", kKey, u"description", u"lab", u"none", u"-"}}}},
    {"the action switched on without password",
     [](Desk& d) {
       d.Registered(false);
       d.Action(true, 2, false, u"9");
       d.main.At(IDC_DESCRIPTION).text = u"lab";
       d.Register();
     },
     {{1004, EventType::Information,
       {u"alice", kKey, u"restart (ExitWindowsEx 0x00000002)", kQuoted}},
      {1002, EventType::Information,
       {u"alice", kKey, u"description, removal action, interval", u"lab",
        u"restart (ExitWindowsEx 0x00000002)", u"9"}}}},
    {"the action switched off without password",
     [](Desk& d) {
       d.Registered(true);
       d.Action(false);
       d.Register();
     },
     {{1005, EventType::Information, {u"alice", kKey}},
      {1002, EventType::Information, {u"alice", kKey, u"removal action", u"desk", u"none", u"-"}}}},
    {"the interval alone changed",
     [](Desk& d) {
       d.Registered(true);
       d.Action(true, 0, true, u"60");
       d.Register();
     },
     {{1002, EventType::Information,
       {u"alice", kKey, u"interval", u"desk", u"log off, forced (ExitWindowsEx 0x00000010)",
        u"60"}}}},
    {"the description not written in an update (137)",
     [](Desk& d) {
       d.Registered(false);
       d.rig.registry.FailSetValue(names::kComment, RegResult::AccessDenied);
       d.main.At(IDC_DESCRIPTION).text = u"lab";
       d.Register();
     },
     {{1101, EventType::Error, {u"alice", kKey, kRecord + u"\\comment", u"5"}}}},
    {"an update whose Run key is refused (176)",
     [](Desk& d) {
       d.Registered(false);
       d.rig.registry.FailCreateKey(RegRoot::CurrentUser, names::kRunKey);
       d.Action(true);
       d.Register();
     },
     {{1002, EventType::Information,
       {u"alice", kKey, u"removal action", u"desk", u"log off (ExitWindowsEx 0x00000000)",
        u"5"}},
      {1104, EventType::Warning, {u"alice", kKey, kRun, u"5"}}}},
    {"deleted from the card list",
     [](Desk& d) {
       d.Registered(false);
       d.DeleteFromList();
     },
     {{1003, EventType::Information, {u"alice", kKey, u"desk"}}}},
    {"not deleted from the card list (141)",
     [](Desk& d) {
       d.Registered(false);
       d.rig.registry.FailDeleteKey(RegRoot::LocalMachine, RecordPath(kCard));
       d.DeleteFromList();
     },
     {{1102, EventType::Error, {u"alice", kRecord, u"5"}}}},
    {"the sound settings saved",
     [](Desk& d) { WriteSoundSettings(d.rig.program, 1, kWave.c_str(), 1); },
     {{1006, EventType::Information,
       {u"alice", u"1 (when a card is recognised)", kWave, u"yes"}}}},
    {"the sound file not written (159)",
     [](Desk& d) {
       d.rig.registry.FailSetValue(names::kSoundFile);
       WriteSoundSettings(d.rig.program, 2, kWave.c_str(), 0);
     },
     {{1103, EventType::Error, {u"alice", kSoundKey + u"\\file", u"6"}}}},
    {"the sound key not created (159)",
     [](Desk& d) {
       d.rig.registry.FailCreateKey(RegRoot::LocalMachine, names::kSoundKey);
       WriteSoundSettings(d.rig.program, 0, u"", 0);
     },
     {{1103, EventType::Error, {u"alice", kSoundKey, u"5"}}}},
    // What writes nothing leaves nothing: refusals before any write.
    {"passwords that differ",
     [](Desk& d) {
       d.Fill(kPassword);
       d.main.At(IDC_PASSWORD_AGAIN).text = kPassword + u"x";
       d.Register();
     },
     {}},
    {"an update of a card without a record",
     [](Desk& d) {
       d.Fill(u"");
       d.Action(true);
       d.Register();
     },
     {}},
    {"an update that changes nothing",
     [](Desk& d) {
       d.Registered(false);
       d.Register();
     },
     {}},
    {"a delete answered No",
     [](Desk& d) {
       d.Registered(false);
       d.cardList.OnInit(d.list);
       d.list.SelectListRow(IDC_CARD_LIST, 0);
       d.rig.messages.answers.push_back(mb::kAnswerNo);
       d.cardList.OnCommand(d.list, IDC_LIST_DELETE, 0);
     },
     {}},
};

TEST(SettingAuditTest, EachPathLeavesItsEventsAndNeverThePassword) {
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.name);
    Desk d;
    c.run(d);
    const std::vector<LoggedEvent>& got = d.rig.events.events;
    ASSERT_EQ(got.size(), c.events.size());
    for (std::size_t i = 0; i < got.size(); ++i) {
      EXPECT_EQ(got[i].id, c.events[i].id) << "event " << i;
      EXPECT_EQ(got[i].type, c.events[i].type) << "event " << i;
      EXPECT_EQ(got[i].strings, c.events[i].strings) << "event " << i;
    }
    EXPECT_TRUE(d.rig.events.misuse.empty()) << d.rig.events.misuse.front();
    EXPECT_FALSE(d.rig.events.AnyStringContains(kPassword));
  }
}

// A failure message names the write that failed for it, never one that
// failed for an earlier message; refused before any write, it names none.
TEST(SettingAuditTest, AFailureMessageNamesOnlyItsOwnWrite) {
  Desk d;
  d.rig.registry.FailSetValue(names::kSoundSync);
  ShowMessage(d.rig.program, WriteSoundSettings(d.rig.program, 0, u"", 0));  // 159, about "sync"
  d.rig.registry.ClearFailures();
  // No room for the checker's quoted path: the Run value is refused before
  // the registry is asked.
  d.rig.system.modulePath = u"C:\\" + std::u16string(250, u'x') + u"\\OrvaneSetting.exe";
  d.Fill(kPassword);
  d.Action(true);
  d.Register();  // 137
  ASSERT_EQ(d.rig.events.Ids(), (std::vector<uint32_t>{1103, 1001, 1101}));
  EXPECT_EQ(d.rig.events.events[0].strings[1], kSoundKey + u"\\sync");
  EXPECT_EQ(d.rig.events.events[2].strings, (Strings{u"alice", kKey, u"-", u"0"}));
}

}  // namespace
}  // namespace orvane
