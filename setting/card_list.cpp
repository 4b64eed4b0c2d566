#include "setting/card_list.h"

#include <climits>

#include "setting/audit.h"
#include "setting/resource.h"
#include "setting/string_table.h"
#include "store/registry_store.h"
#include "store/shared_names.h"
#include "store/text_format.h"

namespace orvane {

namespace {

constexpr int kSubKeyNameSize = 260;
// Two column texts of up to 259 units, IDS_DELETE_QUESTION and the punctuation.
constexpr int kQuestionSize = 3 * kTextSize + 8;

// u of the column widths: (client - 2 edges - scroll bar) / 5, truncated
// toward zero. A list narrower than its frame gives no width at all rather
// than a negative one.
int ColumnUnit(const ListMetrics& m) {
  const double room = static_cast<double>(m.clientWidth) - 2.0 * m.edgeWidth - m.vscrollWidth;
  if (room <= 0) return 0;
  // Three units must still be a width.
  const double unit = room / 5.0;
  return unit >= INT_MAX / 3 ? INT_MAX / 3 : static_cast<int>(unit);
}

}  // namespace

CardListDialog::CardListDialog(SettingProgram& program) : program_(program) {}

CardListDialog::~CardListDialog() = default;

bool CardListDialog::OnInit(DialogView& view) {
  view.Center();
  FillCardList(view);
  return true;
}

void CardListDialog::FillCardList(DialogView& view) {
  view.SetListStyle(IDC_CARD_LIST, kListFullRowSelect | kListLabelTip);
  const int u = ColumnUnit(view.GetListMetrics(IDC_CARD_LIST));
  char16_t header[kTextSize];
  LoadText(program_, IDS_COLUMN_TIME, header);
  view.AddListColumn(IDC_CARD_LIST, 0, header, 2 * u);
  LoadText(program_, IDS_COLUMN_DESCRIPTION, header);
  view.AddListColumn(IDC_CARD_LIST, 1, header, 3 * u);

  RegistryPort& registry = program_.ports.registry;
  RegKey parent(registry);
  if (parent.Open(RegRoot::LocalMachine, names::kOrvaneKey, RegAccess::Enumerate) != RegResult::Ok)
    return;

  // The card last shown in the main dialog; no card is polled. An all-zero
  // identity (nothing shown yet) sums to 0, which no card's record key has,
  // so 0 selects nothing even if some foreign sub-key parses to it.
  const uint32_t current = IdentityChecksum(program_.state.card.permuted.data(), kIdentitySize);
  int remembered = -1;
  // Each added row notifies, and the answer looks for a selected row among
  // all rows so far: asked once at the end instead, the fill stays linear.
  filling_ = true;
  bool added = false;
  view.BeginListFill(IDC_CARD_LIST);

  for (uint32_t index = 0;; ++index) {
    char16_t name[kSubKeyNameSize] = {};
    uint32_t length = kSubKeyNameSize;
    const RegResult r = registry.EnumKey(parent.handle(), index, name, &length);
    if (r == RegResult::MoreData) continue;  // a name that does not fit names no record
    if (r != RegResult::Ok) break;
    name[kSubKeyNameSize - 1] = 0;
    if (length < kSubKeyNameSize) name[length] = 0;

    char16_t path[kSubKeyPathSize];
    if (!FormatSubKeyPath(name, path)) continue;
    RegKey record(registry);
    if (record.Open(RegRoot::LocalMachine, path, RegAccess::QueryValue) != RegResult::Ok) continue;
    RecordComment comment;
    if (!ReadComment(registry, record.handle(), comment)) continue;

    auto copy = std::make_unique<std::u16string>(name);
    const std::uintptr_t value = reinterpret_cast<std::uintptr_t>(copy.get());
    // Held before the row exists: adding it may already notify the logic.
    keys_.emplace(value, std::move(copy));
    const int row = view.AddListRow(IDC_CARD_LIST, comment.time, comment.description, value);
    if (row < 0) {
      keys_.erase(value);
      continue;
    }
    added = true;
    if (current != 0 && ParseRecordKey(name) == current) remembered = row;
  }

  view.EndListFill(IDC_CARD_LIST);
  filling_ = false;
  if (added) OnNotify(view, IDC_CARD_LIST, 0);
  if (remembered >= 0) view.SelectListRow(IDC_CARD_LIST, remembered);
}

const std::u16string* CardListDialog::KeyOf(std::uintptr_t value) const {
  auto found = keys_.find(value);
  return found == keys_.end() ? nullptr : found->second.get();
}

void CardListDialog::DeleteSelectedCard(DialogView& view) {
  const int row = view.SelectedListRow(IDC_CARD_LIST);
  if (row < 0) return;
  const std::uintptr_t value = view.ListRowValue(IDC_CARD_LIST, row);
  const std::u16string* key = KeyOf(value);
  if (key == nullptr) return;

  char16_t time[kTextSize];
  char16_t description[kTextSize];
  view.GetListText(IDC_CARD_LIST, row, 0, time, kTextSize);
  view.GetListText(IDC_CARD_LIST, row, 1, description, kTextSize);
  time[kTextSize - 1] = 0;
  description[kTextSize - 1] = 0;
  char16_t message[kTextSize];
  LoadText(program_, IDS_DELETE_QUESTION, message);
  char16_t question[kQuestionSize];
  FormatText(question, kQuestionSize, u"\"%s %s\"\r\n%s", time, description, message);
  if (ShowMessageText(program_, &view, question, mb::kYesNo) != mb::kAnswerYes) return;

  char16_t path[kSubKeyPathSize];
  // A row's key is a name enumeration gave, never longer than a path takes.
  if (!FormatSubKeyPath(key->c_str(), path) ||
      program_.ports.registry.DeleteKey(RegRoot::LocalMachine, path) != RegResult::Ok) {
    AuditWriteFailure(program_, IDS_DELETE_FAILED);
    LoadText(program_, IDS_DELETE_FAILED, message);
    ShowMessageText(program_, &view, message, mb::kOk);
    return;
  }
  AuditRecordDeleted(program_, key->c_str(), description);
  // The row goes first, so that nothing can reach the copy once released.
  view.DeleteListRow(IDC_CARD_LIST, row);
  keys_.erase(value);
  LoadText(program_, IDS_DELETED, message);
  ShowMessageText(program_, &view, message, mb::kOk);
}

void CardListDialog::ReleaseKeyCopies() { keys_.clear(); }

bool CardListDialog::OnCommand(DialogView& view, int id, int code) {
  switch (id) {
    case IDC_LIST_DELETE:
      DeleteSelectedCard(view);
      return true;
    case IDC_LIST_CLOSE:
      ReleaseKeyCopies();
      view.Destroy();
      return true;
    default:
      return false;
  }
}

void CardListDialog::OnNotify(DialogView& view, int id, int code) {
  if (id != IDC_CARD_LIST || filling_) return;
  view.Enable(IDC_LIST_DELETE, view.SelectedListRow(IDC_CARD_LIST) >= 0);
}

void CardListDialog::OnDestroy(DialogView& view) {
  // Also when the window goes some other way than through 終了.
  ReleaseKeyCopies();
  view.PostQuit();
}

void CardListDialog::OnHelpKey() { ShowHelp(program_, HELP_CONTEXT_CARD_LIST); }

void RunCardListDialog(SettingProgram& program) {
  // The runner returns once the window is gone: nothing calls this logic later.
  CardListDialog dialog(program);
  program.ports.dialogs.Run(IDD_CARD_LIST, dialog);
}

}  // namespace orvane
