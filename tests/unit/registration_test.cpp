// Registration of a card in the main dialog: the record lookup, the register
// command with its checks, the update without password, the writes of the
// removal settings and the checker's autostart value, and what stays after
// a failure at each step. Driven on the in-memory dialog and registry.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstring>
#include <new>
#include <string>
#include <vector>

#include "checker/checker.h"
#include "setting/main_dialog.h"
#include "setting/registration.h"
#include "setting/removal.h"
#include "setting/resource.h"
#include "setting/string_table.h"
// Captions and texts as the resource script gives them (generated).
#include "resource_map.h"
#include "store/cipher.h"
#include "store/shared_names.h"
#include "tests/fakes/setting_fakes.h"
#include "tests/unit/card_test_support.h"
#include "tests/unit/record_test_support.h"

namespace orvane {
namespace {

using Bytes = std::vector<unsigned char>;
using recordtest::Permuted;
using recordtest::RecordPath;
const auto Utf16 = recordtest::Utf16Bytes;
using ::testing::ElementsAre;
using ::testing::IsEmpty;

const CardIdentity kCard = cardtest::Filled({0x01, 0x02, 0x03, 0x04});
const CardIdentity kOtherCard = cardtest::Filled({0x04, 0x11, 0x22, 0x33, 0x44, 0x55, 0x66});
constexpr int kFelicaKind = 4;  // label " (FeliCa) "
const std::u16string kRunKey = names::kRunKey;
const std::u16string kRunValue = names::kRunValue;
const std::u16string kCheckerPath = u"C:\\Program Files (x86)\\Orvane\\OrvaneChecker.exe";
// What the Run value holds: the path in double quotes, so that Windows
// cannot take "C:\Program" for the program to start.
const std::u16string kQuotedCheckerPath = u"\"" + kCheckerPath + u"\"";
const std::u16string kTime = u"2024/03/09 08:07:06";  // FixedClockAt

// Every message id either Part may show, to name what a box said.
const int kMessageIds[] = {IDS_PASSWORDS_DIFFER, IDS_WRITTEN,         IDS_WRITE_FAILED,
                           IDS_OVERWRITE,        IDS_REMOVAL_UPDATED, IDS_NOT_OWNER,
                           IDS_INTERVAL_TOO_SMALL, IDS_NOTHING_CHANGED, IDS_DESCRIPTION_UPDATED,
                           IDS_LOGIN_TOO_LONG,   IDS_DESCRIPTION_TOO_LONG,
                           IDS_NO_AUTOSTART,     IDS_NOT_REGISTERED};

// Encrypted "data" as another writer would leave it.
Bytes EncryptedData(const CardIdentity& identity, const std::u16string& password,
                    const std::u16string& user, const std::u16string& target) {
  CountingRandomSource random;
  unsigned char buffer[kMaxLoginData];
  const std::size_t total = BuildLoginPlaintext(password.c_str(), user.c_str(), target.c_str(),
                                                random, buffer, sizeof buffer);
  EncryptLoginData(identity, Permuted(identity), buffer, total);
  return Bytes(buffer, buffer + total);
}

// One shown card in the main dialog, over the fakes.
struct Desk {
  SettingRig rig;
  FakeDialogView view;
  const std::u16string path = RecordPath(kCard);

  Desk() {
    AddMainDialogControls(view);
    SettingState& state = rig.program.state;
    BoundedCopy(state.currentUser, kTextSize, u"alice");
    FillRemovalList(rig.program, view);
    state.card.identity = kCard;
    state.card.permuted = Permuted(kCard);
    state.card.cardKind = kFelicaKind;
  }

  // A card read: the main dialog's card display with its lookup.
  void ShowCard() { ShowCardState(rig.program, view, true); }
  void Fill(const std::u16string& password, const std::u16string& again,
            const std::u16string& user = u"alice", const std::u16string& target = u"PC",
            const std::u16string& description = u"desk") {
    view.At(IDC_PASSWORD).text = password;
    view.At(IDC_PASSWORD_AGAIN).text = again;
    view.At(IDC_USER).text = user;
    view.At(IDC_TARGET).text = target;
    view.At(IDC_DESCRIPTION).text = description;
  }
  // The removal controls as the administrator leaves them.
  void Action(bool on, int entry = 0, bool force = false, const std::u16string& interval = u"5") {
    view.At(IDC_REMOVAL_ON).checked = on;
    view.At(IDC_REMOVAL_ACTION).selection = entry;
    view.At(IDC_FORCE).checked = force;
    view.At(IDC_INTERVAL).text = interval;
  }
  void Press() { RegisterCommand(rig.program, view); }

  std::vector<int> Messages() const {
    std::vector<int> ids;
    for (const ShownMessage& m : rig.messages.shown) {
      int id = 0;
      for (int candidate : kMessageIds)
        if (m.text == StringText(candidate)) id = candidate;
      ids.push_back(id);
    }
    return ids;
  }
  bool Has(const std::u16string& name) const { return rig.registry.GetValue(path, name, nullptr); }
  uint32_t Dword(const std::u16string& name) const {
    uint32_t value = 0;
    EXPECT_TRUE(rig.registry.GetDword(path, name, &value)) << "no value";
    return value;
  }
  std::u16string Comment() const {
    std::u16string text;
    rig.registry.GetString(path, u"comment", &text);
    return text;
  }
  bool HasRunValue() const {
    return rig.registry.GetValue(RegRoot::CurrentUser, kRunKey, kRunValue, nullptr);
  }
  std::vector<std::u16string> Writes() const {
    std::vector<std::u16string> names;
    for (const auto& call : rig.registry.ValueCalls())
      names.push_back((call.set ? u"set " : u"delete ") + call.name);
    return names;
  }
  LoginStrings& Decoded(LoginStrings& out) {
    EXPECT_EQ(ReadLoginRecord(rig.registry, kCard, kMaxLoginData, out), LoginDataResult::Ok);
    return out;
  }
  // The record as another registration left it.
  void StoreRecord(const std::u16string& user, const std::u16string& comment, int type = -2,
                   int interval = -2) {
    rig.registry.SetBinary(path, u"data", EncryptedData(kCard, u"secret", user, u"HOST"));
    if (!comment.empty()) rig.registry.SetString(path, u"comment", comment);
    if (type != -2) rig.registry.SetDword(path, u"type", static_cast<uint32_t>(type));
    if (interval != -2) rig.registry.SetDword(path, u"interval", static_cast<uint32_t>(interval));
  }
};

struct RegistrationTest : ::testing::Test, Desk {};

// ---------------------------------------------------------------- lookup

TEST_F(RegistrationTest, LookUpShowsWhatTheRecordHolds) {
  const std::u16string cardRead = [] {
    std::u16string t = StringText(IDS_CARD_READ);
    return t.replace(t.find(u"%s"), 2, u" (FeliCa) ");
  }();
  std::u16string registered = StringText(IDS_REGISTERED);
  registered.replace(registered.find(u"%s"), 2, u" (FeliCa) ");
  struct Case {
    const char* name;
    std::function<void(Desk&)> setup;
    std::u16string user, target, description, status;
    bool owner;
    RemovalSettings stored;
  } cases[] = {
      {"no record", [](Desk&) {}, u"typed", u"TYPED", u"", cardRead, 0, {-1, 5}},
      {"empty key", [](Desk& t) { t.rig.registry.AddKey(t.path); }, u"typed", u"TYPED",
       u"", cardRead, 0, {-1, 5}},
      {"data of the current user with everything",
       [](Desk& t) { t.StoreRecord(u"alice", u"2023/12/31 23:59:58 office", 0x11, 30); },
       u"alice", u"HOST", u"office", registered + u"2023/12/31 23:59:58", 1, {0x11, 30}},
      {"another user, no comment, no settings",
       [](Desk& t) { t.StoreRecord(u"Alice", u""); }, u"Alice", u"HOST", u"",
       cardRead, 0, {-1, 5}},
      {"comment of time and space only",
       [](Desk& t) { t.StoreRecord(u"bob", u"2023/01/02 03:04:05 "); }, u"bob",
       u"HOST", u"", registered + u"2023/01/02 03:04:05", 0, {-1, 5}},
      {"settings without data are not read",
       [](Desk& t) {
         t.rig.registry.SetDword(t.path, u"type", 2);
         t.rig.registry.SetString(t.path, u"comment", u"2023/01/02 03:04:05 x");
       },
       u"typed", u"TYPED", u"", cardRead, 0, {-1, 5}},
      {"another card's data is noise",
       [](Desk& t) {
         t.rig.registry.SetBinary(t.path, u"data", EncryptedData(kOtherCard, u"p", u"alice", u"H"));
         t.rig.registry.SetDword(t.path, u"type", 0);
       },
       u"typed", u"TYPED", u"", cardRead, 0, {-1, 5}},
      {"data over 256 bytes",
       [](Desk& t) { t.rig.registry.SetBinary(t.path, u"data", Bytes(272, 0x41)); },
       u"typed", u"TYPED", u"", cardRead, 0, {-1, 5}},
  };
  for (const Case& c : cases) {
    Desk t;
    c.setup(t);
    t.view.At(IDC_USER).text = u"typed";
    t.view.At(IDC_TARGET).text = u"TYPED";
    t.view.At(IDC_DESCRIPTION).text = u"";
    BoundedCopy(t.rig.program.state.rememberedDescription, kTextSize, u"stale");
    t.rig.program.state.recordOwner = true;
    t.ShowCard();
    const SettingState& state = t.rig.program.state;
    EXPECT_EQ(t.view.At(IDC_USER).text, c.user) << c.name;
    EXPECT_EQ(t.view.At(IDC_TARGET).text, c.target) << c.name;
    EXPECT_EQ(t.view.At(IDC_DESCRIPTION).text, c.description) << c.name;
    EXPECT_EQ(std::u16string(state.rememberedDescription), c.description) << c.name;
    EXPECT_EQ(t.view.At(IDC_PASSWORD).text, u"") << c.name;  // never shown
    EXPECT_EQ(t.view.At(IDC_STATUS).text, c.status) << c.name;
    EXPECT_EQ(state.recordOwner, c.owner) << c.name;
    EXPECT_EQ(state.stored.type, c.stored.type) << c.name;
    EXPECT_EQ(state.stored.interval, c.stored.interval) << c.name;
    EXPECT_EQ(t.rig.registry.OpenHandleCount(), 0u) << c.name;
    EXPECT_THAT(t.rig.messages.shown, IsEmpty()) << c.name;
  }
}

// ------------------------------------------------------ register: messages

TEST_F(RegistrationTest, RegisterMessagesAndTheirPreconditions) {
  const std::u16string longName(100, u'n');
  struct Case {
    const char* name;
    std::function<void(Desk&)> setup;
    std::vector<int> messages;
    bool written;  // "data" holds the new login afterwards
  } cases[] = {
      {"no action", [](Desk& t) { t.Fill(u"pw", u"pw"); }, {IDS_WRITTEN}, true},
      {"re-entry differs in case only", [](Desk& t) { t.Fill(u"Secret", u"secret"); },
       {IDS_PASSWORDS_DIFFER}, false},
      {"re-entry empty", [](Desk& t) { t.Fill(u"pw", u""); }, {IDS_PASSWORDS_DIFFER},
       false},
      {"own record: No keeps it",
       [](Desk& t) {
         t.rig.program.state.recordOwner = true;
         t.rig.messages.answers = {mb::kAnswerNo};
         t.Fill(u"pw", u"pw");
       },
       {IDS_OVERWRITE}, false},
      {"own record: Yes overwrites",
       [](Desk& t) {
         t.rig.program.state.recordOwner = true;
         t.rig.messages.answers = {mb::kAnswerYes};
         t.Fill(u"pw", u"pw");
       },
       {IDS_OVERWRITE, IDS_WRITTEN}, true},
      {"own record: a failed box is no Yes",
       [](Desk& t) {
         t.rig.program.state.recordOwner = true;
         t.rig.messages.answers = {0};
         t.Fill(u"pw", u"pw");
       },
       {IDS_OVERWRITE}, false},
      {"action with interval 0",
       [](Desk& t) {
         t.Fill(u"pw", u"pw");
         t.Action(true, 1, false, u"0");
       },
       {IDS_INTERVAL_TOO_SMALL}, false},
      {"action with an empty interval, for another user: the interval rule first",
       [](Desk& t) {
         t.Fill(u"pw", u"pw", u"bob");
         t.Action(true, 1, false, u"");
       },
       {IDS_INTERVAL_TOO_SMALL}, false},
      {"no action: the interval box is not looked at",
       [](Desk& t) {
         t.Fill(u"pw", u"pw");
         t.Action(false, 1, true, u"0");
       },
       {IDS_WRITTEN}, true},
      {"changed action for another user",
       [](Desk& t) {
         t.Fill(u"pw", u"pw", u"bob");
         t.Action(true, 0);
       },
       {IDS_NOT_OWNER}, false},
      {"the principal name is not the account name",
       [](Desk& t) {
         t.Fill(u"pw", u"pw", u"alice@example.com");
         t.Action(true, 2);
       },
       {IDS_NOT_OWNER}, false},
      {"the logged-on Microsoft account's principal is the owner",
       [](Desk& t) {
         t.rig.account.SetMicrosoftAccount(u"alice@outlook.com", u"MicrosoftAccount");
         t.Fill(u"pw", u"pw", u"alice@outlook.com");
         t.Action(true, 2);
       },
       {IDS_WRITTEN}, true},
      {"another account's principal is not",
       [](Desk& t) {
         t.rig.account.SetMicrosoftAccount(u"alice@outlook.com", u"MicrosoftAccount");
         t.Fill(u"pw", u"pw", u"bob@outlook.com");
         t.Action(true, 2);
       },
       {IDS_NOT_OWNER}, false},
      {"account name unknown",
       [](Desk& t) {
         t.rig.account.fail = true;
         t.Fill(u"pw", u"pw", u"");
         t.Action(true, 2);
       },
       {IDS_NOT_OWNER}, false},
      {"unchanged action for another user",
       [](Desk& t) {
         t.rig.program.state.stored = {0x12, 5};
         t.Fill(u"pw", u"pw", u"bob");
         t.Action(true, 2, true, u"9");
       },
       {IDS_WRITTEN}, true},
      {"118 characters of login fit",
       [longName](Desk& t) { t.Fill(u"pw", u"pw", longName, std::u16string(16, u't')); },
       {IDS_WRITTEN}, true},
      {"119 characters of login do not",
       [longName](Desk& t) { t.Fill(u"pw", u"pw", longName, std::u16string(17, u't')); },
       {IDS_LOGIN_TOO_LONG}, false},
      {"a password cut by the field is still too long",
       [](Desk& t) {
         t.Fill(std::u16string(400, u'p'), std::u16string(400, u'p'), u"", u"");
       },
       {IDS_LOGIN_TOO_LONG}, false},
      {"239 characters of description fit",
       [](Desk& t) { t.Fill(u"pw", u"pw", u"alice", u"PC", std::u16string(239, u'd')); },
       {IDS_WRITTEN}, true},
      {"240 characters of description do not",
       [](Desk& t) { t.Fill(u"pw", u"pw", u"alice", u"PC", std::u16string(240, u'd')); },
       {IDS_DESCRIPTION_TOO_LONG}, false},
      {"too long is said before the overwrite question",
       [](Desk& t) {
         t.rig.program.state.recordOwner = true;
         t.rig.messages.answers = {mb::kAnswerYes};
         t.Fill(u"pw", u"pw", u"alice", u"PC", std::u16string(300, u'd'));
       },
       {IDS_DESCRIPTION_TOO_LONG}, false},
      {"record key cannot be created",
       [](Desk& t) {
         t.rig.registry.FailCreateKey(RegRoot::LocalMachine, t.path);
         t.Fill(u"pw", u"pw");
       },
       {IDS_WRITE_FAILED}, false},
      {"action list without selection",
       [](Desk& t) {
         t.Fill(u"pw", u"pw");
         t.Action(true, -1);
       },
       {}, false},
  };
  for (const Case& c : cases) {
    Desk t;
    // An earlier registration whose password a new write replaces.
    t.rig.registry.SetBinary(t.path, u"data", EncryptedData(kCard, u"old", u"alice", u"HOST"));
    c.setup(t);
    t.Press();
    EXPECT_EQ(t.Messages(), c.messages) << c.name;
    LoginStrings strings;
    const bool written = ReadLoginRecord(t.rig.registry, kCard, kMaxLoginData, strings) ==
                             LoginDataResult::Ok &&
                         std::u16string(strings.password) != u"old";
    EXPECT_EQ(written, c.written) << c.name;
    EXPECT_EQ(t.rig.registry.OpenHandleCount(), 0u) << c.name;
    EXPECT_THAT(t.view.misuse, IsEmpty()) << c.name;
    for (std::size_t i = 0; i < t.rig.messages.shown.size(); ++i) {
      const ShownMessage& m = t.rig.messages.shown[i];
      EXPECT_EQ(m.caption, ORVANE_CAPTION(IDS_CAPTION)) << c.name;
      const int id = t.Messages()[i];
      const bool question = id == IDS_OVERWRITE;
      EXPECT_EQ(m.owner, question ? static_cast<DialogView*>(&t.view) : nullptr) << c.name;
      const uint32_t style = question ? mb::kYesNo
                             : (id == IDS_WRITTEN || id == IDS_WRITE_FAILED) ? mb::kOk
                                                                              : mb::kIconError;
      EXPECT_EQ(m.style, style) << c.name << " message " << id;
    }
  }
}

// -------------------------------------------- write order and failures

// Register with an action switched on: every value is written, in order;
// a failure at any step stops there, keeps what was set and says 137.
TEST_F(RegistrationTest, WriteOrderAndWhatStaysAfterAFailureAtEachStep) {
  const std::vector<std::u16string> order = {u"set data", u"set comment", u"set type",
                                             u"set OrvaneChecker", u"set interval"};
  struct Case {
    const char* failing;  // value whose write fails; null for none
    std::size_t reached;  // writes attempted
    int message;
  } cases[] = {
      {nullptr, 5, IDS_WRITTEN},          {"data", 1, IDS_WRITE_FAILED},
      {"comment", 2, IDS_WRITE_FAILED},   {"type", 3, IDS_WRITE_FAILED},
      {"OrvaneChecker", 4, IDS_WRITE_FAILED}, {"interval", 5, IDS_WRITE_FAILED},
  };
  for (const Case& c : cases) {
    Desk t;
    const std::string name = c.failing ? c.failing : "none";
    if (c.failing) {
      const std::string f = c.failing;
      t.rig.registry.FailSetValue(std::u16string(f.begin(), f.end()));
    }
    t.Fill(u"pw", u"pw");
    t.Action(true, 1, true, u"10");
    t.Press();
    EXPECT_EQ(t.Writes(), std::vector<std::u16string>(order.begin(), order.begin() + c.reached))
        << name;
    EXPECT_EQ(t.Messages(), std::vector<int>{c.message}) << name;
    const std::size_t kept = c.failing ? c.reached - 1 : c.reached;
    EXPECT_EQ(t.Has(u"data"), kept >= 1) << name;
    EXPECT_EQ(t.Has(u"comment"), kept >= 2) << name;
    EXPECT_EQ(t.Has(u"type"), kept >= 3) << name;
    EXPECT_EQ(t.HasRunValue(), kept >= 4) << name;
    EXPECT_EQ(t.Has(u"interval"), kept >= 5) << name;
    if (kept >= 3) {
      EXPECT_EQ(t.Dword(u"type"), 0x11u) << name;
    }
    if (kept >= 5) {
      EXPECT_EQ(t.Dword(u"interval"), 10u) << name;
    }
    // The stored settings follow what the record holds.
    EXPECT_EQ(t.rig.program.state.stored.type, kept >= 3 ? 0x11 : -1) << name;
    EXPECT_EQ(t.rig.program.state.stored.interval, kept >= 5 ? 10 : 5) << name;
    EXPECT_EQ(t.rig.registry.OpenHandleCount(), 0u) << name;
  }
}

// Register with lock: "lock" comes right after "type". A failure at "lock"
// leaves the stored settings as they were, so the next press writes "type",
// "lock" and the autostart value again instead of an action without its
// autostart.
TEST_F(RegistrationTest, LockWriteOrderAndTheRetryAfterAFailure) {
  const std::vector<std::u16string> order = {u"set data",          u"set comment", u"set type",
                                             u"set lock",          u"set OrvaneChecker",
                                             u"set interval"};
  struct Case {
    const char* failing;  // value whose write fails; null for none
    std::size_t reached;  // writes attempted
  } cases[] = {
      {nullptr, 6}, {"type", 3}, {"lock", 4}, {"OrvaneChecker", 5}, {"interval", 6},
  };
  for (const Case& c : cases) {
    Desk t;
    const std::string name = c.failing ? c.failing : "none";
    if (c.failing) {
      const std::string f = c.failing;
      t.rig.registry.FailSetValue(std::u16string(f.begin(), f.end()));
    }
    t.Fill(u"pw", u"pw");
    t.Action(true, 3, false, u"10");
    t.Press();
    EXPECT_EQ(t.Writes(), std::vector<std::u16string>(order.begin(), order.begin() + c.reached))
        << name;
    EXPECT_EQ(t.Messages(), std::vector<int>{c.failing ? IDS_WRITE_FAILED : IDS_WRITTEN}) << name;
    // The action is stored once "type" and "lock" are both written.
    const bool actionStored = c.reached > 4 || !c.failing;
    EXPECT_EQ(t.rig.program.state.stored.type, actionStored ? 0 : -1) << name;
    EXPECT_EQ(t.rig.program.state.stored.lock, actionStored) << name;
    EXPECT_EQ(t.Has(u"lock"), actionStored) << name;

    t.rig.registry.ClearFailures();
    t.rig.messages.shown.clear();
    t.Press();
    EXPECT_EQ(t.Messages(), std::vector<int>{IDS_WRITTEN}) << name << " again";
    EXPECT_EQ(t.Dword(u"type"), 0u) << name << " again";
    EXPECT_EQ(t.Dword(u"lock"), 1u) << name << " again";
    EXPECT_EQ(t.Dword(u"interval"), 10u) << name << " again";
    // Only the autostart value that failed itself is not tried again, as
    // for every action.
    EXPECT_EQ(t.HasRunValue(), name != "OrvaneChecker") << name << " again";
    EXPECT_EQ(t.rig.registry.OpenHandleCount(), 0u) << name;
  }
}

// Switching lock off with "lock" that cannot be deleted: "type" already says
// no action, so a running checker is closed all the same; 137, and the next
// press finishes the job.
TEST_F(RegistrationTest, ALockThatCannotBeDeletedIsTriedAgain) {
  struct Case {
    const char* name;
    bool on;
    int entry;
    std::vector<std::u16string> writes;
    int checkersClosed;
    std::vector<std::u16string> retry;
  } cases[] = {
      {"switched off", false, 0, {u"set type", u"delete lock"}, 1,
       {u"set type", u"delete lock", u"delete OrvaneChecker"}},
      {"to log off", true, 0, {u"delete lock"}, 0, {u"delete lock"}},
      {"to shut down", true, 1, {u"set type", u"delete lock"}, 0,
       {u"set type", u"delete lock", u"set OrvaneChecker"}},
  };
  for (const Case& c : cases) {
    Desk t;
    t.StoreRecord(u"alice", u"2023/12/31 23:59:58 desk", 0, 5);
    t.rig.registry.SetDword(t.path, u"lock", 1);
    t.rig.registry.SetString(RegRoot::CurrentUser, kRunKey, kRunValue, kQuotedCheckerPath);
    t.rig.system.checkerWindows = 1;
    t.ShowCard();
    ASSERT_TRUE(IsLockAction(t.rig.program.state.stored)) << c.name;
    t.rig.registry.FailDeleteValue(u"lock");
    t.Fill(u"", u"");
    t.Action(c.on, c.entry);
    t.Press();
    EXPECT_EQ(t.Writes(), c.writes) << c.name;
    EXPECT_EQ(t.Messages(), std::vector<int>{IDS_WRITE_FAILED}) << c.name;
    EXPECT_EQ(1 - t.rig.system.checkerWindows, c.checkersClosed) << c.name;
    // Still the lock the record held before: a retry writes everything again.
    EXPECT_TRUE(IsLockAction(t.rig.program.state.stored)) << c.name;

    t.rig.registry.ClearFailures();
    t.rig.messages.shown.clear();
    const std::size_t before = t.rig.registry.ValueCalls().size();
    t.Press();
    const std::vector<std::u16string> all = t.Writes();
    EXPECT_EQ(std::vector<std::u16string>(all.begin() + before, all.end()), c.retry) << c.name;
    EXPECT_EQ(t.Messages(), std::vector<int>{IDS_REMOVAL_UPDATED}) << c.name;
    EXPECT_FALSE(t.Has(u"lock")) << c.name;
    EXPECT_EQ(t.HasRunValue(), c.on) << c.name;
  }
}

TEST_F(RegistrationTest, WithoutAnActionOnlyDataAndCommentAreWritten) {
  Fill(u"pw", u"pw", u"alice", u"PC", u"");
  Press();
  EXPECT_EQ(Writes(), (std::vector<std::u16string>{u"set data", u"set comment"}));
  EXPECT_EQ(Messages(), std::vector<int>{IDS_WRITTEN});
  EXPECT_EQ(Comment(), kTime + u" ");
  EXPECT_FALSE(HasRunValue());
  LoginStrings strings;
  ASSERT_EQ(ReadLoginRecord(rig.registry, kCard, kMaxLoginData, strings), LoginDataResult::Ok);
  RegKey key(rig.registry);
  ASSERT_EQ(key.Open(RegRoot::LocalMachine, path.c_str(), RegAccess::QueryValue), RegResult::Ok);
  EXPECT_EQ(ReadDwordValue(rig.registry, key.handle(), u"type", 7), 7u);
  EXPECT_EQ(ReadDwordValue(rig.registry, key.handle(), u"interval", 7), 7u);
}

// What StoreRemovalSettings writes for each change of the choice, from a
// record whose stored settings are known.
TEST_F(RegistrationTest, RemovalWritesFollowTheChange) {
  struct Case {
    const char* name;
    RemovalSettings stored;
    bool on;
    int entry;
    bool force;
    std::u16string interval;
    std::vector<std::u16string> writes;  // after data and comment
    int checkersClosed;
  } cases[] = {
      {"switch on", {-1, 5}, true, 0, false, u"5", {u"set type", u"set OrvaneChecker"}, 0},
      {"switch on with a new interval", {-1, 5}, true, 2, true, u"3",
       {u"set type", u"set OrvaneChecker", u"set interval"}, 0},
      {"between actions rewrites the Run value", {0, 5}, true, 1, false, u"5",
       {u"set type", u"set OrvaneChecker"}, 0},
      {"force alone is a change of action", {1, 5}, true, 1, true, u"5",
       {u"set type", u"set OrvaneChecker"}, 0},
      {"interval alone", {0x11, 5}, true, 1, true, u"60", {u"set interval"}, 0},
      {"nothing changed", {0x12, 7}, true, 2, true, u"7", {}, 0},
      {"switch off", {0x10, 9}, false, 0, false, u"9",
       {u"set type", u"delete OrvaneChecker", u"set interval"}, 1},
      {"off stays off", {-1, 5}, false, 1, true, u"1", {}, 0},
      // Lock is log off plus "lock": written right after "type", and only
      // when it changes. Lock and log off are both an action: switching
      // between them leaves the Run value alone.
      {"switch on to lock", {-1, 5}, true, 3, false, u"5",
       {u"set type", u"set lock", u"set OrvaneChecker"}, 0},
      {"log off to lock writes only lock", {0, 5}, true, 3, false, u"5", {u"set lock"}, 0},
      {"lock to log off deletes only lock", {0, 5, true}, true, 0, false, u"5",
       {u"delete lock"}, 0},
      {"forced log off to lock, the force box left ticked", {0x10, 5}, true, 3, true, u"5",
       {u"set type", u"set lock", u"set OrvaneChecker"}, 0},
      {"lock to forced log off", {0, 5, true}, true, 0, true, u"5",
       {u"set type", u"delete lock", u"set OrvaneChecker"}, 0},
      {"lock to shut down", {0, 5, true}, true, 1, false, u"5",
       {u"set type", u"delete lock", u"set OrvaneChecker"}, 0},
      {"lock switched off", {0, 9, true}, false, 3, false, u"9",
       {u"set type", u"delete lock", u"delete OrvaneChecker", u"set interval"}, 1},
      {"lock unchanged, new interval", {0, 7, true}, true, 3, false, u"8", {u"set interval"}, 0},
      {"lock unchanged", {0, 7, true}, true, 3, false, u"7", {}, 0},
      // "lock" beside shut down means nothing, but left there it would turn
      // a later log off into a lock.
      {"a stray lock beside shut down goes", {1, 5, true}, true, 1, false, u"5",
       {u"delete lock"}, 0},
  };
  for (const Case& c : cases) {
    Desk t;
    t.rig.registry.SetString(RegRoot::CurrentUser, kRunKey, kRunValue, u"old");
    t.rig.system.checkerWindows = 1;
    t.rig.program.state.stored = c.stored;
    if (c.stored.lock) t.rig.registry.SetDword(t.path, u"lock", 1);
    t.Fill(u"pw", u"pw");
    t.Action(c.on, c.entry, c.force, c.interval);
    t.Press();
    std::vector<std::u16string> expected = {u"set data", u"set comment"};
    expected.insert(expected.end(), c.writes.begin(), c.writes.end());
    EXPECT_EQ(t.Writes(), expected) << c.name;
    EXPECT_EQ(t.Messages(), std::vector<int>{IDS_WRITTEN}) << c.name;
    EXPECT_EQ(1 - t.rig.system.checkerWindows, c.checkersClosed) << c.name;
    const RemovalSettings& stored = t.rig.program.state.stored;
    const bool lock = c.on && c.entry == 3;
    EXPECT_EQ(stored.type, !c.on ? -1 : lock ? 0 : (c.entry | (c.force ? 0x10 : 0))) << c.name;
    EXPECT_EQ(stored.lock, lock) << c.name;
    EXPECT_EQ(t.Has(u"lock"), lock) << c.name;
    if (lock) {
      EXPECT_EQ(t.Dword(u"lock"), 1u) << c.name;
    }
    for (const std::u16string& write : c.writes) {
      if (write == u"set type") {
        EXPECT_EQ(t.Dword(u"type"), static_cast<uint32_t>(stored.type)) << c.name;
      }
    }
    EXPECT_EQ(stored.interval, c.on ? std::stoi(std::string(c.interval.begin(), c.interval.end()))
                                    : 5)
        << c.name;
  }
}

TEST_F(RegistrationTest, TheRunValueNamesTheCheckerBesideThisProgram) {
  Fill(u"pw", u"pw");
  Action(true, 0);
  Press();
  FakeRegistry::Value run;
  ASSERT_TRUE(rig.registry.GetValue(RegRoot::CurrentUser, kRunKey, kRunValue, &run));
  EXPECT_EQ(run.type, regtype::kSz);
  // Stored with its terminator, as Windows' own reader of the value expects.
  EXPECT_EQ(run.bytes, Utf16(kQuotedCheckerPath + std::u16string(1, u'\0')));
  // Under HKEY_CURRENT_USER only.
  EXPECT_FALSE(rig.registry.GetValue(RegRoot::LocalMachine, kRunKey, kRunValue, nullptr));
  EXPECT_THAT(rig.system.closeCalls, IsEmpty());  // a running checker is left alone
}

// The user field as the main dialog fills it for a Microsoft account holds
// the principal name; the owner rule takes that for the logged-on user.
TEST_F(RegistrationTest, AMicrosoftAccountAsTheDialogNamesItMaySetAnAction) {
  rig.account.SetMicrosoftAccount(u"alice@outlook.com", u"MicrosoftAccount");
  char16_t target[kTextSize];
  ReadAccountNames(rig.program, target);
  ASSERT_EQ(std::u16string(rig.program.state.currentUser), u"alice@outlook.com");
  Fill(u"pw", u"pw", rig.program.state.currentUser, target);
  Action(true, 0);
  Press();
  EXPECT_EQ(Messages(), std::vector<int>{IDS_WRITTEN});
  EXPECT_EQ(Dword(u"type"), 0u);
  EXPECT_TRUE(HasRunValue());
}

// Every write of the autostart value is the quoted path, so an unquoted one
// left by an earlier version is replaced whenever an action is switched on
// or changed. An update that leaves the action as it was does not touch the
// Run value at all.
TEST_F(RegistrationTest, AnActionSwitchedOnReplacesAnUnquotedRunValue) {
  const std::u16string before[] = {u"", kCheckerPath, u"D:\\Old Place\\OrvaneChecker.exe",
                                   kQuotedCheckerPath};
  struct Case {
    const char* name;
    bool password;
    RemovalSettings stored;
    int entry;  // the action chosen, interval 5
    bool rewritten;
  } cases[] = {
      {"register switching on", true, {-1, 5}, 0, true},
      {"update switching on", false, {-1, 5}, 2, true},
      {"update between actions", false, {0, 5}, 1, true},
      {"update of the interval alone", false, {1, 9}, 1, false},
  };
  for (const Case& c : cases) {
    for (const std::u16string& old : before) {
      Desk t;
      t.StoreRecord(u"alice", u"2023/12/31 23:59:58 desk");
      if (!old.empty()) t.rig.registry.SetString(RegRoot::CurrentUser, kRunKey, kRunValue, old);
      t.rig.program.state.stored = c.stored;
      BoundedCopy(t.rig.program.state.rememberedDescription, kTextSize, u"desk");
      t.Fill(c.password ? u"pw" : u"", c.password ? u"pw" : u"");
      t.Action(true, c.entry);
      t.Press();
      const std::string name = c.name + (" over " + std::string(old.begin(), old.end()));
      EXPECT_EQ(t.Messages(),
                std::vector<int>{c.password ? IDS_WRITTEN : IDS_REMOVAL_UPDATED})
          << name;
      std::u16string run;
      const bool present = t.rig.registry.GetString(RegRoot::CurrentUser, kRunKey, kRunValue, &run);
      if (c.rewritten) {
        EXPECT_EQ(run, kQuotedCheckerPath + std::u16string(1, u'\0')) << name;
      } else {
        EXPECT_EQ(present, !old.empty()) << name;
        EXPECT_EQ(run, old) << name;
      }
    }
  }
}

TEST_F(RegistrationTest, SwitchingOffClosesTheCheckerByClassAndTitle) {
  rig.registry.SetString(RegRoot::CurrentUser, kRunKey, kRunValue, kQuotedCheckerPath);
  StoreRecord(u"alice", u"2023/12/31 23:59:58 desk", 0);
  rig.program.state.stored = {0, 5};
  rig.system.checkerWindows = 1;
  Fill(u"", u"");
  Action(false);
  Press();
  EXPECT_EQ(Messages(), std::vector<int>{IDS_REMOVAL_UPDATED});
  EXPECT_FALSE(HasRunValue());
  ASSERT_EQ(rig.system.closeCalls.size(), 1u);
  EXPECT_EQ(rig.system.closeCalls[0].first, u"$$ORVANECHECKER$$");
  EXPECT_EQ(rig.system.closeCalls[0].second, u"OrvaneChecker");
  EXPECT_EQ(Dword(u"type"), 0xFFFFFFFFu);
}

// The Run key out of reach: the record is still written, but an action
// switched on without its autostart would never be carried out, so a warning
// says so in place of the success message. Switching off needs no autostart,
// and the running checker is closed all the same.
TEST_F(RegistrationTest, ARunKeyThatCannotBeOpenedIsWarnedAbout) {
  struct Case {
    const char* name;
    bool password;
    RemovalSettings stored;
    bool on;
    int entry;
    std::vector<std::u16string> writes;  // after data and comment with a password
    int message;
    int checkersClosed;
  } cases[] = {
      {"register switching on", true, {-1, 5}, true, 1, {u"set type", u"set interval"},
       IDS_NO_AUTOSTART, 0},
      {"update switching on", false, {-1, 5}, true, 1, {u"set type", u"set interval"},
       IDS_NO_AUTOSTART, 0},
      {"update between actions", false, {0, 8}, true, 2, {u"set type"}, IDS_NO_AUTOSTART, 0},
      {"update of the interval alone", false, {1, 5}, true, 1, {u"set interval"},
       IDS_REMOVAL_UPDATED, 0},
      {"register switching off", true, {1, 8}, false, 0, {u"set type", u"set interval"},
       IDS_WRITTEN, 1},
      {"update switching off", false, {1, 8}, false, 0, {u"set type", u"set interval"},
       IDS_REMOVAL_UPDATED, 1},
  };
  for (const Case& c : cases) {
    Desk t;
    t.StoreRecord(u"alice", u"2023/12/31 23:59:58 desk");
    t.rig.registry.FailCreateKey(RegRoot::CurrentUser, kRunKey);
    t.rig.system.checkerWindows = 1;
    t.rig.program.state.stored = c.stored;
    t.Fill(c.password ? u"pw" : u"", c.password ? u"pw" : u"", u"alice", u"PC", u"desk");
    BoundedCopy(t.rig.program.state.rememberedDescription, kTextSize, u"desk");
    t.Action(c.on, c.entry, false, u"8");
    t.Press();
    std::vector<std::u16string> writes;
    if (c.password) writes = {u"set data", u"set comment"};
    writes.insert(writes.end(), c.writes.begin(), c.writes.end());
    EXPECT_EQ(t.Writes(), writes) << c.name;
    ASSERT_EQ(t.Messages(), std::vector<int>{c.message}) << c.name;
    const uint32_t style = c.message == IDS_NO_AUTOSTART ? mb::kIconWarning : mb::kOk;
    EXPECT_EQ(t.rig.messages.shown[0].style, style) << c.name;
    EXPECT_FALSE(t.HasRunValue()) << c.name;
    EXPECT_EQ(1 - t.rig.system.checkerWindows, c.checkersClosed) << c.name;
    EXPECT_EQ(t.rig.program.state.stored.type,
              c.on ? c.entry : -1) << c.name;  // the record holds the new type
    EXPECT_EQ(t.rig.registry.OpenHandleCount(), 0u) << c.name;
  }
}

// Mended: the Run value already absent is what switching off wants.
TEST_F(RegistrationTest, SwitchingOffWithoutARunValueSucceeds) {
  struct Case {
    const char* name;
    bool valuePresent;
    RegResult deleteFailure;  // Ok: no injected failure
    int message;
    bool intervalWritten;
  } cases[] = {
      {"value present", true, RegResult::Ok, IDS_REMOVAL_UPDATED, true},
      {"value absent", false, RegResult::Ok, IDS_REMOVAL_UPDATED, true},
      {"Run key absent too", false, RegResult::Ok, IDS_REMOVAL_UPDATED, true},
      {"deletion refused", true, RegResult::AccessDenied, IDS_WRITE_FAILED, false},
      {"deletion failed otherwise", true, RegResult::Failed, IDS_WRITE_FAILED, false},
  };
  for (const Case& c : cases) {
    Desk t;
    if (c.valuePresent) {
      t.rig.registry.SetString(RegRoot::CurrentUser, kRunKey, kRunValue, kCheckerPath);
    } else if (std::string(c.name) == "value absent") {
      t.rig.registry.SetString(RegRoot::CurrentUser, kRunKey, u"Other", u"x");
    }
    if (c.deleteFailure != RegResult::Ok) t.rig.registry.FailDeleteValue(kRunValue, c.deleteFailure);
    t.StoreRecord(u"alice", u"2023/12/31 23:59:58 desk", 2);
    t.rig.program.state.stored = {2, 30};
    t.rig.system.checkerWindows = 1;
    t.Fill(u"", u"");
    t.Action(false);
    t.Press();
    EXPECT_EQ(t.Messages(), std::vector<int>{c.message}) << c.name;
    EXPECT_EQ(t.Dword(u"type"), 0xFFFFFFFFu) << c.name;  // written first, stays
    EXPECT_EQ(t.Has(u"interval"), c.intervalWritten) << c.name;
    // The action is off in the record: the running checker goes even when
    // its Run value could not be deleted.
    EXPECT_EQ(t.rig.system.checkerWindows, 0) << c.name;
    EXPECT_EQ(t.rig.registry.OpenHandleCount(), 0u) << c.name;
  }
}

// Mended: a program path with no room for the checker's name and the two
// quotes writes no Run value and fails, after "type".
TEST_F(RegistrationTest, AModulePathWithoutRoomForTheCheckerFails) {
  struct Case {
    const char* name;
    std::u16string module;
    bool written;
  } cases[] = {
      {"quoted run path of 259 characters", u"C:\\" + std::u16string(236, u'f') + u"\\s.exe",
       true},
      {"quoted run path of 260 characters", u"C:\\" + std::u16string(237, u'f') + u"\\s.exe",
       false},
      {"module path cut by its buffer", u"C:\\" + std::u16string(300, u'f') + u"\\s.exe", false},
      {"module path without a folder", u"OrvaneSetting.exe", false},
  };
  for (const Case& c : cases) {
    Desk t;
    t.rig.system.modulePath = c.module;
    t.Fill(u"pw", u"pw");
    t.Action(true, 0, false, u"4");
    t.Press();
    EXPECT_EQ(t.Messages(), std::vector<int>{c.written ? IDS_WRITTEN : IDS_WRITE_FAILED}) << c.name;
    std::u16string run;
    EXPECT_EQ(t.rig.registry.GetString(RegRoot::CurrentUser, kRunKey, kRunValue, &run), c.written)
        << c.name;
    if (c.written) {
      ASSERT_EQ(run.size(), 260u) << c.name;  // 259 characters and the stored terminator
      EXPECT_EQ(run.back(), u'\0') << c.name;
      EXPECT_EQ(run.front(), u'"') << c.name;
      EXPECT_EQ(run.substr(run.size() - 20, 19), u"\\OrvaneChecker.exe\"") << c.name;
    }
    EXPECT_EQ(t.Dword(u"type"), 0u) << c.name;
    EXPECT_EQ(t.Has(u"interval"), c.written) << c.name;
  }
  Desk t;
  t.rig.system.modulePathWorks = false;
  t.Fill(u"pw", u"pw");
  t.Action(true, 0);
  t.Press();
  EXPECT_EQ(t.Messages(), std::vector<int>{IDS_WRITE_FAILED});
  EXPECT_FALSE(t.HasRunValue());
}

// A failed "type" write leaves the stored type as it was, so that the next
// press tries again instead of finding nothing changed.
TEST_F(RegistrationTest, AFailedTypeWriteIsTriedAgain) {
  StoreRecord(u"alice", u"2023/12/31 23:59:58 desk");
  rig.registry.FailSetValue(u"type");
  Fill(u"", u"");
  Action(true, 1);
  Press();
  EXPECT_EQ(Messages(), std::vector<int>{IDS_WRITE_FAILED});
  EXPECT_EQ(rig.program.state.stored.type, -1);
  rig.registry.ClearFailures();
  rig.messages.shown.clear();
  Press();
  EXPECT_EQ(Messages(), std::vector<int>{IDS_REMOVAL_UPDATED});
  EXPECT_EQ(Dword(u"type"), 1u);
  EXPECT_TRUE(HasRunValue());
}

// "lock" is read as "type" and "interval" are: exactly 4 bytes, of any value
// type, little-endian; only 1 is a lock, and only beside type 0. Anything
// else beside type 0 is a plain log off, as a checker that ignores "lock"
// would act.
TEST_F(RegistrationTest, TheLookUpTakesLockOnlyAsFourBytesHoldingOneBesideTypeZero) {
  struct Case {
    const char* name;
    int type;
    uint32_t lockType;  // regtype::kNone: no "lock" value
    Bytes lockBytes;
    bool lock;       // the stored flag
    int selection;   // the entry shown
    bool force;      // the force box ticked
  } cases[] = {
      {"REG_DWORD 1", 0, regtype::kDword, {1, 0, 0, 0}, true, 3, false},
      {"no lock value", 0, regtype::kNone, {}, false, 0, false},
      {"REG_DWORD 0", 0, regtype::kDword, {0, 0, 0, 0}, false, 0, false},
      {"REG_DWORD 2", 0, regtype::kDword, {2, 0, 0, 0}, false, 0, false},
      {"REG_DWORD 257", 0, regtype::kDword, {1, 1, 0, 0}, false, 0, false},
      {"REG_DWORD 1 in big-endian order", 0, regtype::kDword, {0, 0, 0, 1}, false, 0, false},
      {"4 bytes of REG_BINARY holding 1", 0, regtype::kBinary, {1, 0, 0, 0}, true, 3, false},
      {"one byte 1", 0, regtype::kBinary, {1}, false, 0, false},
      {"an empty REG_DWORD", 0, regtype::kDword, {}, false, 0, false},
      {"REG_QWORD 1", 0, regtype::kQword, {1, 0, 0, 0, 0, 0, 0, 0}, false, 0, false},
      {"REG_SZ \"1\"", 0, regtype::kSz, {'1', 0, 0, 0}, false, 0, false},
      // The flag is kept as stored, but it is no lock beside another type.
      {"lock beside forced log off", 0x10, regtype::kDword, {1, 0, 0, 0}, true, 0, true},
      {"lock beside shut down", 1, regtype::kDword, {1, 0, 0, 0}, true, 1, false},
      {"lock beside forced reboot", 0x12, regtype::kDword, {1, 0, 0, 0}, true, 2, true},
  };
  for (const Case& c : cases) {
    Desk t;
    t.StoreRecord(u"alice", u"2023/12/31 23:59:58 desk", c.type, 5);
    if (c.lockType != regtype::kNone) t.rig.registry.SetRaw(t.path, u"lock", c.lockType, c.lockBytes);
    // What an earlier card left in the controls.
    t.Action(true, 1, true);
    t.ShowCard();
    const RemovalSettings& stored = t.rig.program.state.stored;
    EXPECT_EQ(stored.type, c.type) << c.name;
    EXPECT_EQ(stored.lock, c.lock) << c.name;
    EXPECT_EQ(IsLockAction(stored), c.selection == 3) << c.name;
    EXPECT_TRUE(t.view.At(IDC_REMOVAL_ON).checked) << c.name;
    EXPECT_EQ(t.view.At(IDC_REMOVAL_ACTION).selection, c.selection) << c.name;
    EXPECT_EQ(t.view.At(IDC_FORCE).checked, c.force) << c.name;
    EXPECT_EQ(t.view.At(IDC_FORCE).enabled, c.selection != 3) << c.name;
    EXPECT_TRUE(t.view.At(IDC_REMOVAL_ACTION).enabled) << c.name;
    // Registered again as shown: the same action, nothing to write.
    t.Fill(u"", u"", u"bob", u"PC", u"desk");
    t.Press();
    EXPECT_EQ(t.Messages(), std::vector<int>{IDS_NOTHING_CHANGED}) << c.name;
    EXPECT_THAT(t.Writes(), IsEmpty()) << c.name;
  }
}

// The update without password between lock and log off: only "lock" changes,
// the autostart value is not touched, and it is a change of action, which
// only the logged-on user may make.
TEST_F(RegistrationTest, UpdateBetweenLockAndLogOff) {
  struct Case {
    const char* name;
    bool lockBefore;
    int entry;
    std::u16string user;
    std::vector<int> messages;
    std::vector<std::u16string> writes;
    bool lockAfter;
  } cases[] = {
      {"log off to lock", false, 3, u"alice", {IDS_REMOVAL_UPDATED}, {u"set lock"}, true},
      {"lock to log off", true, 0, u"alice", {IDS_REMOVAL_UPDATED}, {u"delete lock"}, false},
      {"log off to lock for another user", false, 3, u"bob", {IDS_NOT_OWNER}, {}, false},
      {"lock to log off for another user", true, 0, u"bob", {IDS_NOT_OWNER}, {}, true},
      {"lock kept for another user", true, 3, u"bob", {IDS_NOTHING_CHANGED}, {}, true},
  };
  for (const Case& c : cases) {
    Desk t;
    t.StoreRecord(u"alice", u"2023/12/31 23:59:58 desk", 0, 5);
    if (c.lockBefore) t.rig.registry.SetDword(t.path, u"lock", 1);
    t.rig.registry.SetString(RegRoot::CurrentUser, kRunKey, kRunValue, u"as it was");
    t.rig.system.checkerWindows = 1;
    t.ShowCard();
    t.Fill(u"", u"", c.user, u"PC", u"desk");
    t.Action(true, c.entry);
    t.Press();
    EXPECT_EQ(t.Messages(), c.messages) << c.name;
    EXPECT_EQ(t.Writes(), c.writes) << c.name;
    EXPECT_EQ(t.Has(u"lock"), c.lockAfter) << c.name;
    EXPECT_EQ(t.Dword(u"type"), 0u) << c.name;
    std::u16string run;
    EXPECT_TRUE(t.rig.registry.GetString(RegRoot::CurrentUser, kRunKey, kRunValue, &run));
    EXPECT_EQ(run, u"as it was") << c.name;
    EXPECT_EQ(t.rig.system.checkerWindows, 1) << c.name;
  }
}

// --------------------------------------------------- update without password

TEST_F(RegistrationTest, UpdateWithoutPasswordMessages) {
  struct Case {
    const char* name;
    std::function<void(Desk&)> setup;
    std::vector<int> messages;
    std::vector<std::u16string> writes;
  } cases[] = {
      {"nothing changed", [](Desk&) {}, {IDS_NOTHING_CHANGED}, {}},
      {"only the description", [](Desk& t) { t.view.At(IDC_DESCRIPTION).text = u"new"; },
       {IDS_DESCRIPTION_UPDATED}, {u"set comment"}},
      {"the same description counts as unchanged",
       [](Desk& t) { t.view.At(IDC_DESCRIPTION).text = u"desk"; }, {IDS_NOTHING_CHANGED}, {}},
      {"changed action", [](Desk& t) { t.Action(true, 1); }, {IDS_REMOVAL_UPDATED},
       {u"set type", u"set OrvaneChecker"}},
      {"changed action and description",
       [](Desk& t) {
         t.Action(true, 1);
         t.view.At(IDC_DESCRIPTION).text = u"new";
       },
       {IDS_REMOVAL_UPDATED}, {u"set type", u"set OrvaneChecker", u"set comment"}},
      {"changed interval alone, for another user",
       [](Desk& t) {
         t.rig.program.state.stored = {0, 5};
         t.view.At(IDC_USER).text = u"bob";
         t.Action(true, 0, false, u"6");
       },
       {IDS_REMOVAL_UPDATED}, {u"set interval"}},
      {"changed action for another user", [](Desk& t) {
         t.view.At(IDC_USER).text = u"bob";
         t.Action(true, 2);
       },
       {IDS_NOT_OWNER}, {}},
      {"changed action for the logged-on Microsoft account's principal",
       [](Desk& t) {
         t.rig.account.SetMicrosoftAccount(u"alice@outlook.com", u"MicrosoftAccount");
         t.view.At(IDC_USER).text = u"alice@outlook.com";
         t.Action(true, 2);
       },
       {IDS_REMOVAL_UPDATED}, {u"set type", u"set OrvaneChecker"}},
      {"changed action for another account's principal",
       [](Desk& t) {
         t.rig.account.SetMicrosoftAccount(u"alice@outlook.com", u"MicrosoftAccount");
         t.view.At(IDC_USER).text = u"bob@outlook.com";
         t.Action(true, 2);
       },
       {IDS_NOT_OWNER}, {}},
      {"the owner check comes before the interval rule",
       [](Desk& t) {
         t.view.At(IDC_USER).text = u"bob";
         t.Action(true, 2, false, u"0");
       },
       {IDS_NOT_OWNER}, {}},
      {"action with interval 0", [](Desk& t) { t.Action(true, 2, false, u"0"); },
       {IDS_INTERVAL_TOO_SMALL}, {}},
      {"record key cannot be created",
       [](Desk& t) {
         t.rig.registry.FailCreateKey(RegRoot::LocalMachine, t.path);
         t.Action(true, 1);
       },
       {IDS_NOTHING_CHANGED}, {}},
      {"changed description too long",
       [](Desk& t) {
         t.view.At(IDC_DESCRIPTION).text = std::u16string(240, u'd');
         t.Action(true, 1);
       },
       {IDS_DESCRIPTION_TOO_LONG}, {}},
      {"failed type write", [](Desk& t) {
         t.rig.registry.FailSetValue(u"type");
         t.Action(true, 1);
       },
       {IDS_WRITE_FAILED}, {u"set type"}},
      // Mended: a failed "comment" is no success.
      {"failed comment, description only",
       [](Desk& t) {
         t.rig.registry.FailSetValue(u"comment");
         t.view.At(IDC_DESCRIPTION).text = u"new";
       },
       {IDS_WRITE_FAILED}, {u"set comment"}},
      {"failed comment with a changed action",
       [](Desk& t) {
         t.rig.registry.FailSetValue(u"comment");
         t.view.At(IDC_DESCRIPTION).text = u"new";
         t.Action(true, 1);
       },
       {IDS_WRITE_FAILED}, {u"set type", u"set OrvaneChecker", u"set comment"}},
  };
  for (const Case& c : cases) {
    Desk t;
    t.StoreRecord(u"alice", u"2023/12/31 23:59:58 desk");
    t.ShowCard();
    t.Fill(u"", u"", t.view.At(IDC_USER).text, t.view.At(IDC_TARGET).text, u"desk");
    const Bytes dataBefore = [&t] {
      FakeRegistry::Value v;
      t.rig.registry.GetValue(t.path, u"data", &v);
      return v.bytes;
    }();
    c.setup(t);
    t.Press();
    EXPECT_EQ(t.Messages(), c.messages) << c.name;
    EXPECT_EQ(t.Writes(), c.writes) << c.name;
    FakeRegistry::Value data;
    ASSERT_TRUE(t.rig.registry.GetValue(t.path, u"data", &data)) << c.name;
    EXPECT_EQ(data.bytes, dataBefore) << c.name;  // the login is never touched
    EXPECT_EQ(t.rig.registry.OpenHandleCount(), 0u) << c.name;
    EXPECT_THAT(t.view.misuse, IsEmpty()) << c.name;
    for (std::size_t i = 0; i < t.rig.messages.shown.size(); ++i) {
      const int id = t.Messages()[i];
      const uint32_t style = id == IDS_NOTHING_CHANGED ? mb::kIconInformation
                             : (id == IDS_REMOVAL_UPDATED || id == IDS_DESCRIPTION_UPDATED ||
                                id == IDS_WRITE_FAILED)
                                 ? mb::kOk
                                 : mb::kIconError;
      EXPECT_EQ(t.rig.messages.shown[i].style, style) << c.name;
      EXPECT_EQ(t.rig.messages.shown[i].owner, nullptr) << c.name;
    }
  }
}

// A main dialog template without a control the register command reads is
// the program's own error, never a state it handles: the view is told of it
// (the Win32 host stops the program there).
TEST_F(RegistrationTest, TheRegisterCommandOnATemplateWithoutItsControlsIsMisuse) {
  struct Case {
    const char* name;
    bool withPassword;
    int missing;
  } cases[] = {
      {"re-entry field", true, IDC_PASSWORD_AGAIN},
      {"removal check box", true, IDC_REMOVAL_ON},
      {"user field, update without password", false, IDC_USER},
      {"removal check box, update without password", false, IDC_REMOVAL_ON},
      {"interval field, update without password", false, IDC_INTERVAL},
  };
  for (const Case& c : cases) {
    Desk t;
    t.StoreRecord(u"alice", u"2023/12/31 23:59:58 desk");
    t.ShowCard();
    const std::u16string password = c.withPassword ? u"pw" : u"";
    t.Fill(password, password);
    t.Action(true, 2);
    t.rig.messages.answers = {mb::kAnswerYes};  // the overwrite of alice's record
    ASSERT_THAT(t.view.misuse, IsEmpty()) << c.name;
    t.view.Remove(c.missing);
    t.Press();
    EXPECT_TRUE(t.view.Misused(c.missing)) << c.name;
  }
}

// The update without password changes a record the checker can act on:
// without "data" that decodes for the card it says the card is not
// registered, before any other check, and writes nothing, not even a key.
TEST_F(RegistrationTest, UpdateWithoutPasswordNeedsARecordWithData) {
  struct Case {
    const char* name;
    std::function<void(Desk&)> setup;
    bool keyBefore;
  } cases[] = {
      {"no key", [](Desk&) {}, false},
      {"an empty key", [](Desk& t) { t.rig.registry.AddKey(t.path); }, true},
      {"settings and comment without data",
       [](Desk& t) {
         t.rig.registry.SetDword(t.path, u"type", 0);
         t.rig.registry.SetString(t.path, u"comment", u"2023/01/02 03:04:05 x");
       },
       true},
      {"data of 0 bytes", [](Desk& t) { t.rig.registry.SetBinary(t.path, u"data", Bytes()); },
       true},
      {"another card's data",
       [](Desk& t) {
         t.rig.registry.SetBinary(t.path, u"data", EncryptedData(kOtherCard, u"p", u"alice", u"H"));
       },
       true},
      {"data over 256 bytes",
       [](Desk& t) { t.rig.registry.SetBinary(t.path, u"data", Bytes(272, 0x41)); }, true},
  };
  for (const Case& c : cases) {
    for (const bool otherUser : {false, true}) {
      Desk t;
      c.setup(t);
      t.ShowCard();
      // A changed action and description, for the current user or, where
      // the owner check would refuse, for another.
      t.Fill(u"", u"", otherUser ? u"bob" : u"alice", u"PC", u"new");
      t.Action(true, 1, true, u"0");
      t.Press();
      const std::string name = std::string(c.name) + (otherUser ? ", another user" : "");
      ASSERT_EQ(t.Messages(), std::vector<int>{IDS_NOT_REGISTERED}) << name;
      EXPECT_EQ(t.rig.messages.shown[0].style, mb::kIconInformation) << name;
      EXPECT_EQ(t.rig.messages.shown[0].owner, nullptr) << name;
      EXPECT_THAT(t.Writes(), IsEmpty()) << name;
      EXPECT_EQ(t.rig.registry.KeyExists(t.path), c.keyBefore) << name;
      EXPECT_FALSE(t.HasRunValue()) << name;
      EXPECT_EQ(t.rig.registry.OpenHandleCount(), 0u) << name;
    }
  }
  // With a record the same input goes on to the checks and the writes.
  Desk t;
  t.StoreRecord(u"alice", u"2023/12/31 23:59:58 desk");
  t.ShowCard();
  t.Fill(u"", u"", u"alice", u"PC", u"new");
  t.Action(true, 1, true, u"3");
  t.Press();
  EXPECT_EQ(t.Messages(), std::vector<int>{IDS_REMOVAL_UPDATED});
}

// A card shown after another starts from no action: a card without a record,
// or whose data does not decode, must neither show the previous card's action
// nor let it pass for the stored one, which would skip the owner check.
TEST_F(RegistrationTest, ACardWithoutUsableRecordForgetsThePreviousCardsAction) {
  const std::u16string otherPath = RecordPath(kOtherCard);
  struct Case {
    const char* name;
    std::function<void(Desk&)> setup;
  } cases[] = {
      {"no record", [](Desk&) {}},
      {"another card's data",
       [otherPath](Desk& t) {
         t.rig.registry.SetBinary(otherPath, u"data", EncryptedData(kCard, u"p", u"carol", u"H"));
         t.rig.registry.SetDword(otherPath, u"type", 0x11);
       }},
      {"data over 256 bytes",
       [otherPath](Desk& t) {
         t.rig.registry.SetBinary(otherPath, u"data", Bytes(272, 0x41));
         t.rig.registry.SetDword(otherPath, u"type", 0x11);
       }},
  };
  for (const Case& c : cases) {
    Desk t;
    c.setup(t);
    // The first card: alice's, forced shutdown every 30 s.
    t.StoreRecord(u"alice", u"2023/12/31 23:59:58 desk", 0x11, 30);
    t.ShowCard();
    ASSERT_TRUE(t.view.At(IDC_REMOVAL_ON).checked) << c.name;
    // The second card replaces it.
    SettingState& state = t.rig.program.state;
    state.card.identity = kOtherCard;
    state.card.permuted = Permuted(kOtherCard);
    t.ShowCard();
    EXPECT_FALSE(t.view.At(IDC_REMOVAL_ON).checked) << c.name;
    for (int id : {IDC_REMOVAL_ACTION, IDC_FORCE, IDC_INTERVAL_LABEL, IDC_INTERVAL})
      EXPECT_FALSE(t.view.At(id).enabled) << c.name << " control " << id;
    EXPECT_EQ(state.stored.type, -1) << c.name;
    EXPECT_EQ(state.stored.interval, 5) << c.name;
    // The first card's action chosen for another user is a change of action.
    t.Fill(u"pw", u"pw", u"bob");
    t.Action(true, 1, true, u"30");
    t.Press();
    EXPECT_EQ(t.Messages(), std::vector<int>{IDS_NOT_OWNER}) << c.name;
    LoginStrings strings;
    EXPECT_NE(ReadLoginRecord(t.rig.registry, kOtherCard, kMaxLoginData, strings),
              LoginDataResult::Ok)
        << c.name;
  }
}

TEST_F(RegistrationTest, OnlyANewDescriptionGetsANewTime) {
  StoreRecord(u"alice", u"2023/12/31 23:59:58 desk");
  ShowCard();
  Fill(u"", u"", u"alice", u"PC", u"\u7a93\u969b");
  Press();
  EXPECT_EQ(Messages(), std::vector<int>{IDS_DESCRIPTION_UPDATED});
  FakeRegistry::Value comment;
  ASSERT_TRUE(rig.registry.GetValue(path, u"comment", &comment));
  EXPECT_EQ(comment.type, regtype::kSz);
  EXPECT_EQ(comment.bytes, Utf16(kTime + u" \u7a93\u969b"));
}

// ------------------------------------------------ state across sequences

TEST_F(RegistrationTest, OwnerFlagChangesOnlyWithTheLookup) {
  ShowCard();
  Fill(u"pw", u"pw");
  Press();
  EXPECT_EQ(Messages(), std::vector<int>{IDS_WRITTEN});
  EXPECT_FALSE(rig.program.state.recordOwner);
  // The same card registered again without a new read: no question.
  Press();
  EXPECT_EQ(Messages(), (std::vector<int>{IDS_WRITTEN, IDS_WRITTEN}));
  // Read again: now the record names the current user.
  ShowCard();
  EXPECT_TRUE(rig.program.state.recordOwner);
  Fill(u"pw2", u"pw2");
  rig.messages.answers = {mb::kAnswerNo};
  Press();
  EXPECT_EQ(Messages().back(), IDS_OVERWRITE);
  LoginStrings strings;
  EXPECT_EQ(std::u16string(Decoded(strings).password), u"pw");
  // A record for another user is overwritten without asking.
  Fill(u"pw3", u"pw3", u"bob");
  Press();  // the owner flag is still that of the lookup
  EXPECT_EQ(Messages().back(), IDS_OVERWRITE);
  ShowCard();
  EXPECT_TRUE(rig.program.state.recordOwner);
  rig.messages.shown.clear();
  rig.messages.answers = {mb::kAnswerYes};
  Fill(u"pw3", u"pw3", u"bob");  // a card display empties the password fields
  Press();
  EXPECT_EQ(Messages(), (std::vector<int>{IDS_OVERWRITE, IDS_WRITTEN}));
  ShowCard();
  EXPECT_FALSE(rig.program.state.recordOwner);  // now bob's
  EXPECT_EQ(view.At(IDC_USER).text, u"bob");
  rig.messages.shown.clear();
  Fill(u"pw4", u"pw4", u"bob");
  Press();
  EXPECT_EQ(Messages(), std::vector<int>{IDS_WRITTEN});
}

TEST_F(RegistrationTest, RememberedDescriptionFollowsLookupAndUpdateOnly) {
  StoreRecord(u"alice", u"2023/12/31 23:59:58 old");
  ShowCard();
  rig.messages.answers = {mb::kAnswerYes};
  Fill(u"pw", u"pw", u"alice", u"PC", u"new");
  Press();
  EXPECT_EQ(Comment(), kTime + u" new");
  // The registration does not change what the lookup found: "new" still
  // counts as a change.
  EXPECT_EQ(std::u16string(rig.program.state.rememberedDescription), u"old");
  Fill(u"", u"", u"alice", u"PC", u"new");
  Press();
  EXPECT_EQ(Messages().back(), IDS_DESCRIPTION_UPDATED);
  Press();
  EXPECT_EQ(Messages().back(), IDS_NOTHING_CHANGED);
  // A failed write is not remembered: the retry writes.
  rig.registry.FailSetValue(u"comment");
  view.At(IDC_DESCRIPTION).text = u"newer";
  Press();
  EXPECT_EQ(Messages().back(), IDS_WRITE_FAILED);
  EXPECT_EQ(std::u16string(rig.program.state.rememberedDescription), u"new");
  rig.registry.ClearFailures();
  Press();
  EXPECT_EQ(Messages().back(), IDS_DESCRIPTION_UPDATED);
  EXPECT_EQ(Comment(), kTime + u" newer");
}

// -------------------------------------------------------- removal controls

TEST(RemovalControlsTest, ReadIntervalAsTheCLibraryReadsText) {
  struct Case {
    std::u16string text;
    int32_t value;
  } cases[] = {
      {u" 12", 12},         {u"+3", 3},           {u"-1", -1},
      {u"", 0},             {u"12abc", 12},       {u"99999999999", 2147483647},
      {u"-99999999999", INT32_MIN}, {u"2147483647", 2147483647}, {u"-2147483648", INT32_MIN},
      {u"\t\n\v\f\r 7", 7}, {u"- 3", 0},          {u"+-3", 0},
      {u"0x10", 0},         {u"\u3000" u"5", 0},  {u"007", 7},
      {u"\uff15", 0},  // a full-width digit is no digit
  };
  for (const Case& c : cases) {
    FakeDialogView view;
    view.Add(IDC_INTERVAL, true, c.text);
    EXPECT_EQ(ReadInterval(view), c.value) << std::string(c.text.begin(), c.text.end());
  }
  FakeDialogView empty;
  EXPECT_EQ(ReadInterval(empty), 0);
  EXPECT_TRUE(empty.Misused(IDC_INTERVAL));
  FakeDialogView full;
  full.Add(IDC_INTERVAL, true, std::u16string(300, u'0') + u"9");
  EXPECT_EQ(ReadInterval(full), 0);  // what the 260-unit read leaves: zeros
}

// The removal checks decide and leave the showing to the command: each
// leads to its message, with its icon, and shows nothing itself.
TEST(RemovalControlsTest, TheChecksLeadToTheirMessageAndShowNothing) {
  struct Case {
    const char* name;
    RemovalSettings stored, choice;
    std::u16string loginUser;
    int interval, owner;  // the message each check leads to, 0 for none
  } cases[] = {
      {"switched off", {2, 5}, {-1, 0}, u"bob", 0, IDS_NOT_OWNER},
      {"an action every second", {-1, 5}, {2, 1}, u"alice", 0, 0},
      {"an action every 0 s", {-1, 5}, {2, 0}, u"alice", IDS_INTERVAL_TOO_SMALL, 0},
      {"a negative interval", {-1, 5}, {0, -3}, u"alice", IDS_INTERVAL_TOO_SMALL, 0},
      {"off with interval 0", {-1, 5}, {-1, 0}, u"alice", 0, 0},
      {"the same action for another user", {2, 5}, {2, 9}, u"bob", 0, 0},
      {"a new action for another user", {-1, 5}, {2, 5}, u"bob", 0, IDS_NOT_OWNER},
      {"log off becomes a lock for another user", {0, 5}, {0, 5, true}, u"bob", 0,
       IDS_NOT_OWNER},
  };
  for (const Case& c : cases) {
    Desk t;
    t.rig.program.state.stored = c.stored;
    t.rig.program.state.choice = c.choice;
    const Message interval = CheckIntervalRule(t.rig.program.state);
    const Message owner = CheckRemovalOwner(t.rig.program, c.loginUser.c_str());
    EXPECT_EQ(interval.id, c.interval) << c.name;
    EXPECT_EQ(owner.id, c.owner) << c.name;
    for (const Message& m : {interval, owner})
      EXPECT_EQ(m.style, m.Any() ? mb::kIconError : 0u) << c.name;
    EXPECT_THAT(t.rig.messages.shown, IsEmpty()) << c.name;
  }
}

TEST(RemovalControlsTest, ReadRemovalChoiceMapsTheControls) {
  struct Case {
    const char* name;
    bool on;
    int entry;
    bool force;
    std::u16string interval;
    bool result;
    RemovalSettings choice;
  } cases[] = {
      {"off, whatever the rest says", false, 2, true, u"0", 1, {-1, 5}},
      {"log off", true, 0, false, u"5", 1, {0, 5}},
      {"forced log off", true, 0, true, u"5", 1, {0x10, 5}},
      {"shut down forced every 10 s", true, 1, true, u"10", 1, {0x11, 10}},
      {"reboot", true, 2, false, u"1", 1, {2, 1}},
      {"forced reboot, interval 0", true, 2, true, u"0", 1, {0x12, 0}},
      {"no selection", true, -1, false, u"5", 0, {7, 7, true}},
      {"lock", true, 3, false, u"5", 1, {0, 5, true}},
      {"lock is never forced", true, 3, true, u"2", 1, {0, 2, true}},
      {"lock off", false, 3, false, u"5", 1, {-1, 5}},
      {"past the last entry", true, 4, false, u"5", 0, {7, 7, true}},
  };
  for (const Case& c : cases) {
    Desk t;
    t.rig.program.state.choice = {7, 7, true};
    t.Action(c.on, c.entry, c.force, c.interval);
    // An entry the list does not hold, as a broken list could report it.
    t.view.At(IDC_REMOVAL_ACTION).items.resize(5);
    t.view.At(IDC_REMOVAL_ACTION).selection = c.entry;
    EXPECT_EQ(ReadRemovalChoice(t.rig.program, t.view), c.result) << c.name;
    EXPECT_EQ(t.rig.program.state.choice.type, c.choice.type) << c.name;
    EXPECT_EQ(t.rig.program.state.choice.interval, c.choice.interval) << c.name;
    EXPECT_EQ(t.rig.program.state.choice.lock, c.choice.lock) << c.name;
  }
  // Each of the four controls is read: a template without one is misuse.
  for (int missing : {IDC_REMOVAL_ON, IDC_REMOVAL_ACTION, IDC_FORCE, IDC_INTERVAL}) {
    Desk t;
    t.Action(true, 1, true, u"3");
    t.view.Remove(missing);
    ReadRemovalChoice(t.rig.program, t.view);
    EXPECT_TRUE(t.view.Misused(missing)) << missing;
  }
}

TEST(RemovalControlsTest, ShowRemovalSettingsForEachStoredType) {
  struct Case {
    int32_t type;
    bool on, force;
    int selection;  // before: 1
    bool enabled;
    std::u16string interval;  // before: "5"
    bool lock = false;        // the stored flag
  } cases[] = {
      {-1, false, true, 1, false, u"5"},  // contents stay as they were
      {0, true, false, 0, true, u"42"},
      {0x11, true, true, 1, true, u"42"},
      {0x12, true, true, 2, true, u"42"},
      {8, true, false, 1, true, u"42"},  // not written by this program
      {0, true, false, 3, true, u"42", true},  // lock: the force box off and unticked
      {0x10, true, true, 0, true, u"42", true},  // no lock beside another type
      {2, true, false, 2, true, u"42", true},
      {-1, false, true, 1, false, u"5", true},
  };
  for (const Case& c : cases) {
    Desk t;
    t.view.At(IDC_REMOVAL_ON).checked = !c.on;
    t.view.At(IDC_FORCE).checked = true;
    t.view.At(IDC_REMOVAL_ACTION).selection = 1;
    t.rig.program.state.stored = {c.type, 42, c.lock};
    ShowRemovalSettings(t.rig.program, t.view);
    EXPECT_TRUE(t.view.At(IDC_REMOVAL_ON).enabled) << c.type;
    EXPECT_EQ(t.view.At(IDC_REMOVAL_ON).checked, c.on) << c.type;
    EXPECT_EQ(t.view.At(IDC_FORCE).checked, c.force) << c.type;
    EXPECT_EQ(t.view.At(IDC_REMOVAL_ACTION).selection, c.selection) << c.type;
    EXPECT_EQ(t.view.At(IDC_INTERVAL).text, c.interval) << c.type;
    for (int id : {IDC_REMOVAL_ACTION, IDC_INTERVAL_LABEL, IDC_INTERVAL})
      EXPECT_EQ(t.view.At(id).enabled, c.enabled) << c.type << " control " << id;
    EXPECT_EQ(t.view.At(IDC_FORCE).enabled, c.enabled && c.selection != 3) << c.type;
    EXPECT_TRUE(t.view.At(IDC_SECONDS_LABEL).enabled);
  }
}

TEST(RemovalControlsTest, FirstEntryIsSignOutFromBuild22000) {
  struct Case {
    bool works;
    OsVersion version;
    std::u16string first;
  } cases[] = {
      {true, {10, 0, 21999}, ORVANE_CAPTION(IDS_LOG_OFF)},
      {true, {10, 0, 22000}, ORVANE_CAPTION(IDS_SIGN_OUT)},
      {true, {11, 0, 22000}, ORVANE_CAPTION(IDS_SIGN_OUT)},
      {true, {6, 3, 22000}, ORVANE_CAPTION(IDS_LOG_OFF)},
      {false, {10, 0, 22631}, ORVANE_CAPTION(IDS_LOG_OFF)},
  };
  for (const Case& c : cases) {
    SettingRig rig;
    rig.system.versionWorks = c.works;
    rig.system.version = c.version;
    FakeDialogView view;
    AddMainDialogControls(view);
    FillRemovalList(rig.program, view);
    EXPECT_EQ(view.At(IDC_REMOVAL_ACTION).items,
              (std::vector<std::u16string>{c.first, ORVANE_CAPTION(IDS_SHUT_DOWN),
                                            ORVANE_CAPTION(IDS_REBOOT), ORVANE_CAPTION(IDS_LOCK)}))
        << c.version.build;
    EXPECT_EQ(view.At(IDC_REMOVAL_ACTION).selection, 0);
    EXPECT_EQ(view.At(IDC_INTERVAL).text, u"5");
  }
}

// ------------------------------------------------------------- contracts

// The card's checker at logon, reading its record from the same registry.
struct CheckerOverRecord {
  CheckerOverRecord(FakeRegistry& registry, EventLogPort& events)
      : checker(poller, registry, account, session, debug, window, wait, events) {
    poller.PutCard(kCard);
  }
  FakePoller poller;
  FakeSystem account;
  FakeSession session;
  FakeDebugOutput debug;
  FakeWatchWindow window;
  FakeWait wait;
  Checker checker;
};

// What the register command writes, decoded by the checker's reader and
// compared with bytes laid down and encrypted here from the record layout.
TEST_F(RegistrationTest, WhatIsWrittenIsWhatTheCheckerAndTheLayoutExpect) {
  Fill(u"pw", u"pw", u"alice", u"PC", u"desk");
  Action(true, 2, true, u"7");
  Press();
  ASSERT_EQ(Messages(), std::vector<int>{IDS_WRITTEN});

  // Filler from CountingRandomSource: value k is k * 37 + 11, low byte.
  auto filler = [](int k) { return static_cast<unsigned char>((k * 37 + 11) & 0xFF); };
  Bytes plain = {filler(0), filler(1), filler(2), filler(3), 'p', 0, 'w', 0, 0, 0,
                 filler(4), filler(5), 'a', 0, 'l', 0, 'i', 0, 'c', 0, 'e', 0, 0, 0};
  for (int k = 6; k < 12; ++k) plain.push_back(filler(k));
  plain.insert(plain.end(), {'P', 0, 'C', 0, 0, 0});
  // c = 18 + 2 * 9 = 36: 12 bytes of tail up to 48.
  for (int k = 12; plain.size() < 48; ++k) plain.push_back(filler(k));
  ASSERT_EQ(plain.size(), 48u);
  Bytes expected(48);
  const CardIdentity permuted = Permuted(kCard);
  for (std::size_t block = 0; block < 3; ++block) {
    const unsigned char* key = block % 2 == 0 ? permuted.data() : kCard.data();
    CipherBlock(plain.data() + 16 * block, expected.data() + 16 * block, key, kCipherEncrypt);
  }
  FakeRegistry::Value data;
  ASSERT_TRUE(rig.registry.GetValue(path, u"data", &data));
  EXPECT_EQ(data.type, regtype::kBinary);
  EXPECT_EQ(data.bytes, expected);
  FakeRegistry::Value comment;
  ASSERT_TRUE(rig.registry.GetValue(path, u"comment", &comment));
  EXPECT_EQ(comment.bytes, Utf16(u"2024/03/09 08:07:06 desk"));
  FakeRegistry::Value type, interval;
  ASSERT_TRUE(rig.registry.GetValue(path, u"type", &type));
  ASSERT_TRUE(rig.registry.GetValue(path, u"interval", &interval));
  EXPECT_EQ(type.type, regtype::kDword);
  EXPECT_EQ(type.bytes, (Bytes{0x12, 0, 0, 0}));
  EXPECT_EQ(interval.type, regtype::kDword);
  EXPECT_EQ(interval.bytes, (Bytes{7, 0, 0, 0}));

  CheckerOverRecord reader(rig.registry, rig.events);
  Checker& checker = reader.checker;
  ASSERT_EQ(reader.poller.Poll(), 1);
  EXPECT_EQ(ReadCheckerRecord(checker), 1);
  EXPECT_EQ(std::u16string(checker.recordUser), u"alice");
  EXPECT_EQ(checker.removalType, 0x12u);
  EXPECT_EQ(checker.periodMs, 7000u);
}

// A record written with lock, read by the checker's reader, which knows
// nothing of "lock": removal type 0, a plain log off. A checker older than
// lock therefore ends the session rather than doing nothing.
TEST_F(RegistrationTest, ALockRecordIsALogOffToACheckerThatIgnoresLock) {
  Fill(u"pw", u"pw", u"alice", u"PC", u"desk");
  Action(true, 3, true, u"4");
  Press();
  ASSERT_EQ(Messages(), std::vector<int>{IDS_WRITTEN});
  FakeRegistry::Value type, lock;
  ASSERT_TRUE(rig.registry.GetValue(path, u"type", &type));
  ASSERT_TRUE(rig.registry.GetValue(path, u"lock", &lock));
  EXPECT_EQ(type.type, regtype::kDword);
  EXPECT_EQ(type.bytes, (Bytes{0, 0, 0, 0}));
  EXPECT_EQ(lock.type, regtype::kDword);
  EXPECT_EQ(lock.bytes, (Bytes{1, 0, 0, 0}));

  CheckerOverRecord reader(rig.registry, rig.events);
  Checker& checker = reader.checker;
  ASSERT_EQ(reader.poller.Poll(), 1);
  EXPECT_EQ(ReadCheckerRecord(checker), 1);
  EXPECT_EQ(checker.removalType, 0u);  // EWX_LOGOFF, without force
  EXPECT_FALSE(NeedsShutdownPrivilege(checker.removalType));
  EXPECT_EQ(checker.periodMs, 4000u);
}

TEST(RegisterFieldsTest, TheFieldsAreWipedWhenTheyGo) {
  alignas(RegisterFields) unsigned char storage[sizeof(RegisterFields)];
  RegisterFields* fields = new (storage) RegisterFields;
  BoundedCopy(fields->password, kTextSize, u"hunter2");
  BoundedCopy(fields->again, kTextSize, u"hunter2");
  BoundedCopy(fields->user, kTextSize, u"alice");
  fields->~RegisterFields();
  for (unsigned char byte : storage) ASSERT_EQ(byte, 0);
}

}  // namespace
}  // namespace orvane
