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
#include "store/cipher.h"
#include "store/shared_names.h"
#include "tests/fakes/setting_fakes.h"
#include "tests/unit/card_test_support.h"

namespace orvane {
namespace {

using Bytes = std::vector<unsigned char>;
using ::testing::ElementsAre;
using ::testing::IsEmpty;

const CardIdentity kCard = cardtest::Filled({0x01, 0x02, 0x03, 0x04});
const CardIdentity kOtherCard = cardtest::Filled({0x04, 0x11, 0x22, 0x33, 0x44, 0x55, 0x66});
constexpr int kFelicaKind = 4;  // label " (FeliCa) "
const std::u16string kRunKey = names::kRunKey;
const std::u16string kRunValue = names::kRunValue;
const std::u16string kCheckerPath = u"C:\\Program Files (x86)\\Orvane\\OrvaneChecker.exe";
const std::u16string kTime = u"2024/03/09 08:07:06";  // FixedClockAt

// Every message id either Part may show, to name what a box said.
const int kMessageIds[] = {IDS_PASSWORDS_DIFFER, IDS_WRITTEN,         IDS_WRITE_FAILED,
                           IDS_OVERWRITE,        IDS_REMOVAL_UPDATED, IDS_NOT_OWNER,
                           IDS_INTERVAL_TOO_SMALL, IDS_NOTHING_CHANGED, IDS_DESCRIPTION_UPDATED,
                           IDS_LOGIN_TOO_LONG,   IDS_DESCRIPTION_TOO_LONG};

std::u16string RecordPath(const CardIdentity& identity) {
  CardIdentity permuted{};
  char16_t path[kRecordPathSize];
  FormatRecordPath(RecordKeyValue(identity, permuted), path);
  return path;
}

CardIdentity Permuted(const CardIdentity& identity) {
  CardIdentity permuted{};
  PermuteIdentity(identity, permuted);
  return permuted;
}

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

Bytes Utf16(const std::u16string& text) {
  Bytes out;
  for (char16_t c : text) {
    out.push_back(static_cast<unsigned char>(c & 0xFF));
    out.push_back(static_cast<unsigned char>(c >> 8));
  }
  return out;
}

// One shown card in the main dialog, over the fakes.
struct Desk {
  SettingRig rig;
  FakeDialogView view;
  const std::u16string path = RecordPath(kCard);

  Desk() {
    AddMainDialogControls(view);
    SettingState& state = rig.program.state;
    CopyText(state.currentUser, kTextSize, u"alice");
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
    int owner;
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
    CopyText(t.rig.program.state.rememberedDescription, kTextSize, u"stale");
    t.rig.program.state.recordOwner = 1;
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
         t.rig.program.state.recordOwner = 1;
         t.rig.messages.answers = {mb::kAnswerNo};
         t.Fill(u"pw", u"pw");
       },
       {IDS_OVERWRITE}, false},
      {"own record: Yes overwrites",
       [](Desk& t) {
         t.rig.program.state.recordOwner = 1;
         t.rig.messages.answers = {mb::kAnswerYes};
         t.Fill(u"pw", u"pw");
       },
       {IDS_OVERWRITE, IDS_WRITTEN}, true},
      {"own record: a failed box is no Yes",
       [](Desk& t) {
         t.rig.program.state.recordOwner = 1;
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
         t.rig.program.state.recordOwner = 1;
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
      {"re-entry field missing",
       [](Desk& t) {
         t.Fill(u"pw", u"pw");
         t.view.Remove(IDC_PASSWORD_AGAIN);
       },
       {}, false},
      {"removal check box missing",
       [](Desk& t) {
         t.Fill(u"pw", u"pw");
         t.view.Remove(IDC_REMOVAL_ON);
       },
       {}, false},
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
    for (std::size_t i = 0; i < t.rig.messages.shown.size(); ++i) {
      const ShownMessage& m = t.rig.messages.shown[i];
      EXPECT_EQ(m.caption, u"Orvane 設定") << c.name;
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

}  // namespace
}  // namespace orvane
