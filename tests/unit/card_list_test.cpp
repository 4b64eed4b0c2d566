// The registered-card list on an in-memory view and registry: its columns,
// which keys become rows, the shown card's selection, the delete question,
// deletion and its refusal, and the release of every row's key copy.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <climits>
#include <string>
#include <vector>

#include "card/identity.h"
#include "setting/card_list.h"
#include "setting/resource.h"
#include "setting/string_table.h"
#include "store/shared_names.h"
#include "tests/fakes/setting_fakes.h"
#include "tests/unit/record_test_support.h"

namespace orvane {
namespace {

using recordtest::Utf16Bytes;

const std::u16string kParent = names::kOrvaneKey;
std::u16string RecordPath(const std::u16string& key) { return kParent + u"\\" + key; }

// The record key of an identity, as the main dialog leaves it behind.
std::u16string KeyOf(const CardIdentity& permuted) {
  char16_t text[kRecordKeyTextSize];
  FormatRecordKey(IdentityChecksum(permuted.data(), kIdentitySize), text);
  return text;
}

CardIdentity CardNumber(unsigned char n) {
  CardIdentity permuted{};
  for (int i = 0; i < kIdentitySize; ++i) permuted[i] = static_cast<unsigned char>(n + 7 * i);
  return permuted;
}

struct Row {
  std::u16string time;
  std::u16string description;
  bool operator==(const Row& o) const { return time == o.time && description == o.description; }
};

struct CardListTest : ::testing::Test {
  SettingRig rig;
  FakeDialogView view;
  CardListDialog dialog{rig.program};

  CardListTest() {
    AddCardListControls(view, ListMetrics{600, 2, 17});
    view.logic = &dialog;
    view.notifyListChanges = true;
  }

  void Seed(const std::u16string& key, const std::u16string& comment) {
    rig.registry.SetString(RecordPath(key), names::kComment, comment);
    rig.registry.SetBinary(RecordPath(key), names::kData, std::vector<unsigned char>(32, 0xA5));
  }
  void Show(const CardIdentity& permuted) { rig.program.state.card.permuted = permuted; }
  void Open() { EXPECT_TRUE(dialog.OnInit(view)); }
  void Press(int id) { dialog.OnCommand(view, id, 0); }

  FakeControl& List() { return view.At(IDC_CARD_LIST); }
  std::vector<Row> Rows() {
    std::vector<Row> rows;
    for (const FakeControl::Row& r : List().rows) rows.push_back({r.cells[0], r.cells[1]});
    return rows;
  }
  int SelectRowOf(const std::u16string& time) {
    for (std::size_t i = 0; i < List().rows.size(); ++i) {
      if (List().rows[i].cells[0] == time) {
        view.SelectListRow(IDC_CARD_LIST, static_cast<int>(i));
        return static_cast<int>(i);
      }
    }
    ADD_FAILURE() << "no row";
    return -1;
  }
};

TEST_F(CardListTest, ColumnsTakeTwoAndThreeFifthsOfTheRoomInsideTheFrame) {
  struct Case {
    ListMetrics metrics;
    int unit;
  } cases[] = {
      {{600, 2, 17}, 115},  // 579 / 5 = 115.8
      {{100, 2, 17}, 15},   // 79 / 5 = 15.8
      {{24, 2, 17}, 0},     // 3 / 5
      {{20, 2, 17}, 0},     // narrower than its frame: no negative width
      {{0, 0, 0}, 0},
      {{INT_MAX, INT_MIN, 0}, INT_MAX / 3},  // nonsense metrics: still a width
  };
  for (const Case& c : cases) {
    SettingRig rig;
    FakeDialogView view;
    AddCardListControls(view, c.metrics);
    CardListDialog dialog(rig.program);
    dialog.OnInit(view);
    const FakeControl& list = view.At(IDC_CARD_LIST);
    EXPECT_EQ(list.listStyle, kListFullRowSelect | kListLabelTip);
    ASSERT_EQ(list.columns.size(), 2u);
    EXPECT_EQ(list.columns[0].header, StringText(IDS_COLUMN_TIME));
    EXPECT_EQ(list.columns[1].header, StringText(IDS_COLUMN_DESCRIPTION));
    EXPECT_EQ(list.columns[0].width, 2 * c.unit) << c.metrics.clientWidth;
    EXPECT_EQ(list.columns[1].width, 3 * c.unit) << c.metrics.clientWidth;
    EXPECT_EQ(view.centred, 1);
    EXPECT_TRUE(view.misuse.empty());
  }
}

TEST_F(CardListTest, RowsAndTheShownCardsSelection) {
  const CardIdentity spare = CardNumber(1), office = CardNumber(2), unregistered = CardNumber(3);
  struct Case {
    const char* name;
    bool shown;
    CardIdentity permuted;
    int selected;  // index into the enumeration order below, -1 for none
  } cases[] = {
      {"no card shown yet", false, {}, -1},
      {"registered card shown", true, office, 1},
      {"card without record shown", true, unregistered, -1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    SettingRig rig;
    FakeDialogView view;
    AddCardListControls(view, ListMetrics{600, 2, 17});
    view.notifyListChanges = true;
    CardListDialog dialog(rig.program);
    view.logic = &dialog;
    rig.registry.SetString(RecordPath(KeyOf(spare)), names::kComment,
                           u"2023/07/01 12:34:56 spare card");
    rig.registry.SetString(RecordPath(KeyOf(office)), names::kComment,
                           u"2024/01/02 03:04:05 office");
    if (c.shown) rig.program.state.card.permuted = c.permuted;
    dialog.OnInit(view);

    // Enumeration order, whatever it is; no sorting.
    std::vector<std::u16string> keys = rig.registry.SubKeyNames(RegRoot::LocalMachine, kParent);
    ASSERT_EQ(keys.size(), 2u);
    const FakeControl& list = view.At(IDC_CARD_LIST);
    ASSERT_EQ(list.rows.size(), 2u);
    for (std::size_t i = 0; i < keys.size(); ++i) {
      const std::u16string time = keys[i] == KeyOf(spare) ? u"2023/07/01 12:34:56"
                                                          : u"2024/01/02 03:04:05";
      EXPECT_EQ(list.rows[i].cells[0], time);
    }
    const int expected =
        c.selected < 0 ? -1 : (keys[0] == KeyOf(c.permuted) ? 0 : 1);
    EXPECT_EQ(list.selectedRow, expected);
    // The list's notifications switch the delete button with the selection.
    EXPECT_EQ(view.At(IDC_LIST_DELETE).enabled, expected >= 0);
    EXPECT_EQ(dialog.KeyCopyCount(), 2u);
    EXPECT_EQ(rig.registry.OpenHandleCount(), 0u);
    EXPECT_TRUE(rig.messages.shown.empty());
    EXPECT_EQ(list.fillDepth, 0);  // drawn again once the rows are in
    EXPECT_TRUE(view.misuse.empty());
  }
}

TEST_F(CardListTest, OnlyKeysWithAReadableCommentOfAtMost520BytesBecomeRows) {
  const std::u16string time = u"2023/07/01 12:34:56";
  const std::u16string longest = time + u" " + std::u16string(240, u'x');  // 260 units, 520 bytes
  struct Case {
    const char* name;
    std::u16string key;
    bool hasComment;
    uint32_t type;
    std::vector<unsigned char> bytes;
    bool listed;
    Row row;
  } cases[] = {
      {"normal", u"a1", true, regtype::kSz, Utf16Bytes(time + u" spare card"), true,
       {time, u"spare card"}},
      {"520 bytes", u"a2", true, regtype::kSz, Utf16Bytes(longest), true,
       {time, std::u16string(240, u'x')}},
      {"522 bytes", u"a3", true, regtype::kSz, Utf16Bytes(longest + u"y"), false, {}},
      {"no comment", u"a4", false, 0, {}, false, {}},
      {"empty description", u"a5", true, regtype::kSz, Utf16Bytes(time + u" "), true, {time, u""}},
      {"only a time", u"a6", true, regtype::kSz, Utf16Bytes(u"2023/07/01"), true,
       {u"2023/07/01", u""}},
      {"empty", u"a7", true, regtype::kSz, {}, true, {u"", u""}},
      {"odd byte count", u"a8", true, regtype::kSz,
       [] {
         auto b = Utf16Bytes(u"2023/07/01 12:34:56 ab");
         b.push_back(0x41);
         return b;
       }(),
       true, {time, u"ab"}},
      {"binary type, read all the same", u"a9", true, regtype::kBinary,
       Utf16Bytes(time + u" bin"), true, {time, u"bin"}},
      {"embedded zero", u"aa", true, regtype::kSz, Utf16Bytes(time + u" ab" + u'\0' + u"cd"), true,
       {time, u"ab"}},
  };
  for (const Case& c : cases) {
    if (c.hasComment) {
      rig.registry.SetRaw(RecordPath(c.key), names::kComment, c.type, c.bytes);
    } else {
      rig.registry.SetBinary(RecordPath(c.key), names::kData, {1, 2, 3});
    }
  }
  // The sound key is no record, and neither is a key that cannot be opened.
  rig.registry.SetDword(kParent + u"\\sound", u"flag", 1);
  rig.registry.SetString(kParent + u"\\sound", u"file", u"C:\\ding.wav");
  Seed(u"b0", time + u" locked");
  rig.registry.FailOpenKey(RegRoot::LocalMachine, RecordPath(u"b0"));
  Open();

  std::vector<Row> expected;
  for (const Case& c : cases)
    if (c.listed) expected.push_back(c.row);  // the keys enumerate in this order
  EXPECT_EQ(Rows(), expected);
  EXPECT_EQ(dialog.KeyCopyCount(), expected.size());
  EXPECT_EQ(rig.registry.OpenHandleCount(), 0u);
  EXPECT_TRUE(rig.messages.shown.empty());
}

TEST_F(CardListTest, AKeyThatParsesTo0IsNotTakenForTheCardNotYetShown) {
  Seed(u"0", u"2023/07/01 12:34:56 foreign");
  Open();
  ASSERT_EQ(List().rows.size(), 1u);
  EXPECT_EQ(List().selectedRow, -1);
}

TEST_F(CardListTest, NoParentKeyGivesAnEmptyListWithoutAMessage) {
  Seed(u"a1", u"2023/07/01 12:34:56 spare card");
  rig.registry.FailOpenKey(RegRoot::LocalMachine, kParent);
  Open();
  EXPECT_TRUE(List().rows.empty());
  EXPECT_EQ(List().columns.size(), 2u);
  EXPECT_TRUE(rig.messages.shown.empty());
  EXPECT_EQ(rig.registry.OpenHandleCount(), 0u);
}

TEST_F(CardListTest, TheQuestionQuotesTimeAndDescription) {
  struct Case {
    std::u16string comment;
    std::u16string quoted;
  } cases[] = {
      {u"2023/07/01 12:34:56 spare card", u"2023/07/01 12:34:56 spare card"},
      {u"2023/07/01 12:34:56 ", u"2023/07/01 12:34:56 "},
      {u"2023/07/01 12:34:56", u"2023/07/01 12:34:56 "},
      {u"2023/07/01 12:34:56 100%s %d", u"2023/07/01 12:34:56 100%s %d"},  // text, not format
  };
  for (const Case& c : cases) {
    SettingRig rig;
    FakeDialogView view;
    AddCardListControls(view, ListMetrics{600, 2, 17});
    CardListDialog dialog(rig.program);
    rig.registry.SetString(RecordPath(u"1234"), names::kComment, c.comment);
    dialog.OnInit(view);
    view.SelectListRow(IDC_CARD_LIST, 0);
    rig.messages.answers = {mb::kAnswerNo};
    dialog.OnCommand(view, IDC_LIST_DELETE, 0);
    ASSERT_EQ(rig.messages.shown.size(), 1u);
    const ShownMessage& question = rig.messages.shown[0];
    EXPECT_EQ(question.text, u"\"" + c.quoted + u"\"\r\n" + StringText(IDS_DELETE_QUESTION));
    EXPECT_EQ(question.caption, StringText(IDS_CAPTION));
    EXPECT_EQ(question.style, mb::kYesNo);  // no icon
    EXPECT_EQ(question.owner, &view);
  }
}

TEST_F(CardListTest, DeletionAfterYesOnlyRefusalAndNoKeepTheRow) {
  struct Case {
    const char* name;
    int answer;
    bool refused;
    bool deleted;
    std::vector<int> messages;  // after the question
  } cases[] = {
      {"yes", mb::kAnswerYes, false, true, {IDS_DELETED}},
      {"no", mb::kAnswerNo, false, false, {}},
      {"closed box", 0, false, false, {}},
      {"yes, refused by the registry", mb::kAnswerYes, true, false, {IDS_DELETE_FAILED}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    SettingRig rig;
    FakeDialogView view;
    AddCardListControls(view, ListMetrics{600, 2, 17});
    CardListDialog dialog(rig.program);
    view.logic = &dialog;
    // A key name that is no canonical "%x": the key itself goes, by its name.
    const std::u16string key = u"00AB12";
    rig.registry.SetString(RecordPath(u"1111"), names::kComment, u"2023/01/01 00:00:01 first");
    rig.registry.SetString(RecordPath(key), names::kComment, u"2023/07/01 12:34:56 spare card");
    rig.registry.SetDword(RecordPath(key), names::kType, 0);
    rig.registry.SetString(RecordPath(u"ab12"), names::kComment, u"2023/01/01 00:00:03 third");
    if (c.refused) rig.registry.FailDeleteKey(RegRoot::LocalMachine, RecordPath(key));
    dialog.OnInit(view);
    const std::size_t before = view.At(IDC_CARD_LIST).rows.size();
    int row = -1;
    for (std::size_t i = 0; i < before; ++i)
      if (view.At(IDC_CARD_LIST).rows[i].cells[1] == u"spare card") row = static_cast<int>(i);
    ASSERT_GE(row, 0);
    view.SelectListRow(IDC_CARD_LIST, row);
    rig.messages.answers = {c.answer};

    dialog.OnCommand(view, IDC_LIST_DELETE, 0);

    EXPECT_EQ(rig.registry.KeyExists(RecordPath(key)), !c.deleted);
    EXPECT_TRUE(rig.registry.KeyExists(RecordPath(u"1111")));
    EXPECT_TRUE(rig.registry.KeyExists(RecordPath(u"ab12")));
    const FakeControl& list = view.At(IDC_CARD_LIST);
    EXPECT_EQ(list.rows.size(), c.deleted ? before - 1 : before);
    bool stays = false;
    for (const FakeControl::Row& r : list.rows) stays |= r.cells[1] == u"spare card";
    EXPECT_EQ(stays, !c.deleted);
    EXPECT_EQ(dialog.KeyCopyCount(), list.rows.size());
    ASSERT_EQ(rig.messages.shown.size(), 1 + c.messages.size());
    for (std::size_t i = 0; i < c.messages.size(); ++i) {
      const ShownMessage& m = rig.messages.shown[1 + i];
      EXPECT_EQ(m.text, StringText(c.messages[i]));
      EXPECT_EQ(m.caption, StringText(IDS_CAPTION));
      EXPECT_EQ(m.style, mb::kOk);
      EXPECT_EQ(m.owner, &view);
    }
    EXPECT_TRUE(view.misuse.empty());
  }
}

TEST_F(CardListTest, DeleteWithoutASelectedRowDoesNothing) {
  Seed(u"a1", u"2023/07/01 12:34:56 spare card");
  Open();
  Press(IDC_LIST_DELETE);
  EXPECT_TRUE(rig.messages.shown.empty());
  EXPECT_TRUE(rig.registry.KeyExists(RecordPath(u"a1")));
}

TEST_F(CardListTest, TheRemainingRowsCanBeDeletedOneAfterAnother) {
  Seed(u"a1", u"2023/07/01 12:34:56 one");
  Seed(u"a2", u"2023/07/01 12:34:57 two");
  Seed(u"a3", u"2023/07/01 12:34:58 three");
  Open();
  for (int left = 3; left > 0; --left) {
    view.SelectListRow(IDC_CARD_LIST, left - 1);
    rig.messages.answers = {mb::kAnswerYes};
    Press(IDC_LIST_DELETE);
    EXPECT_EQ(List().rows.size(), static_cast<std::size_t>(left - 1));
    EXPECT_EQ(dialog.KeyCopyCount(), static_cast<std::size_t>(left - 1));
  }
  EXPECT_TRUE(rig.registry.SubKeyNames(RegRoot::LocalMachine, kParent).empty());
  EXPECT_TRUE(view.misuse.empty());
}

TEST_F(CardListTest, TheDeleteButtonFollowsTheSelection) {
  Seed(u"a1", u"2023/07/01 12:34:56 one");
  Seed(u"a2", u"2023/07/01 12:34:57 two");
  Open();
  EXPECT_FALSE(view.At(IDC_LIST_DELETE).enabled);
  view.SelectListRow(IDC_CARD_LIST, 1);
  EXPECT_TRUE(view.At(IDC_LIST_DELETE).enabled);
  List().selectedRow = -1;
  dialog.OnNotify(view, IDC_CARD_LIST, kLvnItemChanged);
  EXPECT_FALSE(view.At(IDC_LIST_DELETE).enabled);
  // Other controls' notifications leave it alone.
  view.At(IDC_LIST_DELETE).enabled = true;
  dialog.OnNotify(view, 1234, kLvnItemChanged);
  EXPECT_TRUE(view.At(IDC_LIST_DELETE).enabled);
}

TEST(CardListDeleteButton, AnyRowSelectedTheFirstOneTooEnablesItAndDeletesThatCard) {
  const std::u16string keys[] = {u"a1", u"a2", u"a3"};
  for (int row = 0; row < 3; ++row) {
    SCOPED_TRACE(row);
    SettingRig rig;
    FakeDialogView view;
    AddCardListControls(view, ListMetrics{600, 2, 17});
    view.notifyListChanges = true;
    CardListDialog dialog(rig.program);
    view.logic = &dialog;
    for (int i = 0; i < 3; ++i)
      rig.registry.SetString(RecordPath(keys[i]), names::kComment,
                             u"2023/07/01 12:34:5" + std::u16string(1, u'0' + i) + u" card");
    dialog.OnInit(view);
    ASSERT_FALSE(view.At(IDC_LIST_DELETE).enabled);
    view.SelectListRow(IDC_CARD_LIST, row);
    // The button is what the user has: a disabled one cannot be pressed.
    ASSERT_TRUE(view.At(IDC_LIST_DELETE).enabled);
    rig.messages.answers = {mb::kAnswerYes};
    dialog.OnCommand(view, IDC_LIST_DELETE, 0);
    for (int i = 0; i < 3; ++i)
      EXPECT_EQ(rig.registry.KeyExists(RecordPath(keys[i])), i != row) << i;
    EXPECT_EQ(view.At(IDC_CARD_LIST).rows.size(), 2u);
    EXPECT_TRUE(view.misuse.empty());
  }
}

TEST_F(CardListTest, ClosingReleasesEveryCopyOnceAndEndsTheLoop) {
  Seed(u"a1", u"2023/07/01 12:34:56 one");
  Seed(u"a2", u"2023/07/01 12:34:57 two");
  Seed(u"a3", u"2023/07/01 12:34:58 three");
  Open();
  view.SelectListRow(IDC_CARD_LIST, 0);
  rig.messages.answers = {mb::kAnswerYes};
  Press(IDC_LIST_DELETE);
  ASSERT_EQ(dialog.KeyCopyCount(), 2u);
  Press(IDC_LIST_CLOSE);
  EXPECT_EQ(dialog.KeyCopyCount(), 0u);
  EXPECT_TRUE(view.destroyed);
  EXPECT_EQ(view.quits, 1);
  EXPECT_TRUE(view.misuse.empty());
}

TEST_F(CardListTest, ADialogDestroyedWithoutItsCloseButtonStillReleasesTheCopies) {
  Seed(u"a1", u"2023/07/01 12:34:56 one");
  Open();
  ASSERT_EQ(dialog.KeyCopyCount(), 1u);
  view.Destroy();
  EXPECT_EQ(dialog.KeyCopyCount(), 0u);
  EXPECT_EQ(view.quits, 1);
}

TEST_F(CardListTest, RunOpensTemplate129AndF1AsksForContext8) {
  Seed(u"a1", u"2023/07/01 12:34:56 one");
  std::size_t rowsSeen = 0;
  rig.dialogs.controls = [](int templateId, FakeDialogView& v) {
    EXPECT_EQ(templateId, IDD_CARD_LIST);
    AddCardListControls(v, ListMetrics{600, 2, 17});
  };
  rig.dialogs.script = [&](int, DialogLogic& logic, FakeDialogView& v) {
    rowsSeen = v.At(IDC_CARD_LIST).rows.size();
    logic.OnHelpKey();
    logic.OnCommand(v, IDC_LIST_CLOSE, 0);
    EXPECT_EQ(v.quits, 1);
  };
  RunCardListDialog(rig.program);
  ASSERT_EQ(rig.dialogs.runs.size(), 1u);
  EXPECT_EQ(rig.dialogs.runs[0].templateId, IDD_CARD_LIST);
  EXPECT_EQ(rowsSeen, 1u);
  ASSERT_EQ(rig.help.calls.size(), 1u);
  EXPECT_EQ(rig.help.calls[0].context, static_cast<uint32_t>(HELP_CONTEXT_CARD_LIST));
}

TEST_F(CardListTest, ADialogThatCannotBeCreatedDoesNothing) {
  rig.dialogs.createSucceeds = false;
  RunCardListDialog(rig.program);
  EXPECT_EQ(rig.dialogs.runs.size(), 1u);
  EXPECT_TRUE(rig.messages.shown.empty());
}

}  // namespace
}  // namespace orvane
