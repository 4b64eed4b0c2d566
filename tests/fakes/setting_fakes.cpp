#include "tests/fakes/setting_fakes.h"

#include "setting/resource.h"
#include "setting/string_table.h"
#include "resource_map.h"

namespace orvane {

namespace {

void CopyOut(const std::u16string& text, char16_t* out, int capacity) {
  if (capacity <= 0) return;
  std::size_t n = text.size() < static_cast<std::size_t>(capacity - 1) ? text.size()
                                                                      : static_cast<std::size_t>(capacity - 1);
  text.copy(out, n);
  out[n] = 0;
}

struct StringEntry {
  int id;
  const char16_t* text;
};
#define ORVANE_FAKE_STRING(id, text) {id, u"" text},
const StringEntry kStrings[] = {ORVANE_SETTING_STRINGS(ORVANE_FAKE_STRING)};
#undef ORVANE_FAKE_STRING

}  // namespace

FakeControl& FakeDialogView::Add(int id, bool enabled, const std::u16string& text) {
  FakeControl& control = controls[id];
  control.enabled = enabled;
  control.text = text;
  return control;
}

FakeControl& FakeDialogView::At(int id) {
  auto found = controls.find(id);
  if (found != controls.end()) return found->second;
  misuse.push_back("no control " + std::to_string(id));
  static FakeControl scratch;
  scratch = FakeControl{};
  return scratch;
}

bool FakeDialogView::Misused(int id) const {
  const std::string note = "no control " + std::to_string(id);
  for (const std::string& m : misuse)
    if (m == note) return true;
  return false;
}

// Every call below that names a control goes through At: one the dialog
// does not have is noted in misuse, as the real host stops the program.

void FakeDialogView::SetText(int id, const char16_t* text) { At(id).text = text; }

void FakeDialogView::GetText(int id, char16_t* out, int capacity) {
  CopyOut(At(id).text, out, capacity);
}

void FakeDialogView::Enable(int id, bool enabled) { At(id).enabled = enabled; }

void FakeDialogView::SetCheck(int id, bool checked) { At(id).checked = checked; }

bool FakeDialogView::IsChecked(int id) { return At(id).checked; }

void FakeDialogView::SetFocus(int id) {
  At(id);
  focus = id;
}

void FakeDialogView::LimitText(int id, int maxLength) { At(id).textLimit = maxLength; }

void FakeDialogView::AddItem(int id, const char16_t* text) { At(id).items.emplace_back(text); }

void FakeDialogView::SelectItem(int id, int index) {
  FakeControl& control = At(id);
  // As CB_SETCURSEL: an index outside the list clears the selection.
  control.selection = (index >= 0 && index < static_cast<int>(control.items.size())) ? index : -1;
}

int FakeDialogView::SelectedItem(int id) { return At(id).selection; }

ListMetrics FakeDialogView::GetListMetrics(int id) { return At(id).metrics; }

void FakeDialogView::SetListStyle(int id, uint32_t extendedStyle) { At(id).listStyle = extendedStyle; }

void FakeDialogView::AddListColumn(int id, int column, const char16_t* header, int width) {
  FakeControl& control = At(id);
  if (column != static_cast<int>(control.columns.size())) misuse.push_back("column out of order");
  control.columns.push_back({header, width});
}

int FakeDialogView::AddListRow(int id, const char16_t* column0, const char16_t* column1,
                               std::uintptr_t value) {
  if (controls.count(id) == 0) {
    At(id);
    return -1;
  }
  FakeControl& control = At(id);
  control.rows.push_back({{column0, column1}, value});
  const int row = static_cast<int>(control.rows.size()) - 1;
  NotifyList(id, kLvnInsertItem);
  return row;
}

int FakeDialogView::ListRowCount(int id) { return static_cast<int>(At(id).rows.size()); }

int FakeDialogView::SelectedListRow(int id) { return At(id).selectedRow; }

void FakeDialogView::SelectListRow(int id, int row) {
  FakeControl& control = At(id);
  if (row < 0 || row >= static_cast<int>(control.rows.size())) {
    misuse.push_back("select of a row that does not exist");
    return;
  }
  control.selectedRow = row;
  NotifyList(id, kLvnItemChanged);
}

bool FakeDialogView::GetListText(int id, int row, int column, char16_t* out, int capacity) {
  FakeControl& control = At(id);
  if (row < 0 || row >= static_cast<int>(control.rows.size()) || column < 0 || column > 1) {
    CopyOut(u"", out, capacity);
    return false;
  }
  CopyOut(control.rows[row].cells[column], out, capacity);
  return true;
}

std::uintptr_t FakeDialogView::ListRowValue(int id, int row) {
  FakeControl& control = At(id);
  if (row < 0 || row >= static_cast<int>(control.rows.size())) return 0;
  return control.rows[row].value;
}

void FakeDialogView::DeleteListRow(int id, int row) {
  FakeControl& control = At(id);
  if (row < 0 || row >= static_cast<int>(control.rows.size())) {
    misuse.push_back("delete of a row that does not exist");
    return;
  }
  NotifyList(id, kLvnDeleteItem);
  control.rows.erase(control.rows.begin() + row);
  if (control.selectedRow == row) control.selectedRow = -1;
  else if (control.selectedRow > row) --control.selectedRow;
}

void FakeDialogView::NotifyList(int id, int code) {
  if (!notifyListChanges) return;
  notifications.emplace_back(id, code);
  if (logic) logic->OnNotify(*this, id, code);
}

void FakeDialogView::BeginListFill(int id) { ++At(id).fillDepth; }

void FakeDialogView::EndListFill(int id) {
  if (--At(id).fillDepth < 0) misuse.push_back("list fill ended twice");
}

void FakeDialogView::SetTimer(int timerId, uint32_t periodMs) { timers[timerId] = periodMs; }

void FakeDialogView::KillTimer(int timerId) { timers.erase(timerId); }

void FakeDialogView::Destroy() {
  if (destroyed) {
    misuse.push_back("destroyed twice");
    return;
  }
  destroyed = true;
  if (logic) logic->OnDestroy(*this);
}

void AddMainDialogControls(FakeDialogView& view) {
  view.Add(IDC_READ, false, ORVANE_CAPTION(IDC_READ));
  view.Add(IDC_STATUS, true, ORVANE_CAPTION(IDC_STATUS));
  view.Add(IDC_TARGET, false);
  view.Add(IDC_USER, false);
  view.Add(IDC_PASSWORD, false);
  view.Add(IDC_PASSWORD_AGAIN, false);
  view.Add(IDC_DESCRIPTION, false);
  view.Add(IDC_REMOVAL_ON, false, ORVANE_CAPTION(IDC_REMOVAL_ON));
  view.Add(IDC_REMOVAL_ACTION, false);
  view.Add(IDC_FORCE, false, ORVANE_CAPTION(IDC_FORCE));
  view.Add(IDC_INTERVAL_LABEL, false, ORVANE_CAPTION(IDC_INTERVAL_LABEL));
  view.Add(IDC_INTERVAL, false);
  view.Add(IDC_SECONDS_LABEL, true, ORVANE_CAPTION(IDC_SECONDS_LABEL));
  view.Add(IDC_SOUND, true, ORVANE_CAPTION(IDC_SOUND));
  view.Add(IDC_REGISTER, false, ORVANE_CAPTION(IDC_REGISTER));
  view.Add(IDC_EXIT, true, ORVANE_CAPTION(IDC_EXIT));
  view.Add(IDC_DELETE, true, ORVANE_CAPTION(IDC_DELETE));
}

void AddCardListControls(FakeDialogView& view, const ListMetrics& metrics) {
  view.Add(IDC_CARD_LIST).metrics = metrics;
  view.Add(IDC_LIST_DELETE, true, ORVANE_CAPTION(IDC_LIST_DELETE));
  view.Add(IDC_LIST_CLOSE, true, ORVANE_CAPTION(IDC_LIST_CLOSE));
}

void AddSoundDialogControls(FakeDialogView& view) {
  view.Add(IDC_SOUND_MODE);
  view.Add(IDC_SOUND_FILE);
  view.Add(IDC_SOUND_BROWSE, true, ORVANE_CAPTION(IDC_SOUND_BROWSE));
  view.Add(IDC_SOUND_WAIT, true, ORVANE_CAPTION(IDC_SOUND_WAIT));
  view.Add(IDC_SOUND_SAVE, true, ORVANE_CAPTION(IDC_SOUND_SAVE));
  view.Add(IDC_SOUND_CANCEL, true, ORVANE_CAPTION(IDC_SOUND_CANCEL));
}

int FakeMessageBoxes::Show(DialogView* owner, const char16_t* text, const char16_t* caption,
                           uint32_t style) {
  shown.push_back({owner, text, caption, style});
  if (whileShown) whileShown();
  if (answers.empty()) return mb::kAnswerOk;
  int answer = answers.front();
  answers.pop_front();
  return answer;
}

std::u16string StringText(int id) {
  for (const StringEntry& entry : kStrings)
    if (entry.id == id) return entry.text;
  return u"";
}

bool FakeStrings::Load(int id, char16_t* out, int capacity) {
  for (const StringEntry& entry : kStrings) {
    if (entry.id == id) {
      CopyOut(entry.text, out, capacity);
      return true;
    }
  }
  CopyOut(u"", out, capacity);
  return false;
}

void FakeHelp::ShowContext(const char16_t* file, uint32_t context) { calls.push_back({file, context}); }

namespace {

char16_t Fold(char16_t c) { return c >= u'a' && c <= u'z' ? static_cast<char16_t>(c - 32) : c; }

std::u16string Folded(std::u16string text) {
  for (char16_t& c : text) c = Fold(c);
  return text;
}

// The path as Windows would open it: '/' made '\', doubled separators,
// "." and ".." resolved (never above the root), trailing dots and spaces of
// the last name dropped; folded to upper case.
std::u16string Normalized(const std::u16string& path) {
  std::u16string text = path;
  for (char16_t& c : text)
    if (c == u'/') c = u'\\';
  std::size_t rootLength = 0;
  if (text.size() >= 3 && text[1] == u':' && text[2] == u'\\') rootLength = 3;
  std::vector<std::u16string> parts;
  std::size_t start = rootLength;
  for (std::size_t i = rootLength; i <= text.size(); ++i) {
    if (i < text.size() && text[i] != u'\\') continue;
    std::u16string part = text.substr(start, i - start);
    start = i + 1;
    if (part.empty() || part == u".") continue;
    if (part == u"..") {
      if (!parts.empty()) parts.pop_back();
      continue;
    }
    parts.push_back(part);
  }
  if (!parts.empty()) {
    std::u16string& last = parts.back();
    while (!last.empty() && (last.back() == u'.' || last.back() == u' ')) last.pop_back();
  }
  std::u16string out = text.substr(0, rootLength);
  for (std::size_t i = 0; i < parts.size(); ++i) out += (i ? u"\\" : u"") + parts[i];
  return Folded(out);
}

bool HasWildcard(const std::u16string& text) {
  return text.find_first_of(u"*?<>\"") != std::u16string::npos;
}

// Name against pattern, both folded, with the directory search's rules:
// * any run; ? one character, or none at a dot or the end; < any run up to
// the name's last dot; > as ?; " a dot, or nothing at the end.
bool Matches(const char16_t* name, const char16_t* pattern) {
  if (*pattern == 0) return *name == 0;
  switch (*pattern) {
    case u'*':
      for (const char16_t* n = name;; ++n) {
        if (Matches(n, pattern + 1)) return true;
        if (*n == 0) return false;
      }
    case u'<': {
      const char16_t* lastDot = nullptr;
      for (const char16_t* n = name; *n; ++n)
        if (*n == u'.') lastDot = n;
      for (const char16_t* n = name;; ++n) {
        if (Matches(n, pattern + 1)) return true;
        if (*n == 0 || n == lastDot) return false;
      }
    }
    case u'?':
    case u'>':
      if (*name == 0 || *name == u'.') return Matches(name, pattern + 1);
      return Matches(name + 1, pattern + 1);
    case u'"':
      if (*name == u'.') return Matches(name + 1, pattern + 1);
      return *name == 0 && Matches(name, pattern + 1);
    default:
      return *name == *pattern && Matches(name + 1, pattern + 1);
  }
}

}  // namespace

bool FakeFiles::FileExists(const char16_t* path) {
  asked.emplace_back(path);
  const std::u16string wanted = Normalized(path);
  const std::size_t cut = wanted.rfind(u'\\');
  const std::u16string folder = cut == std::u16string::npos ? u"" : wanted.substr(0, cut);
  const std::u16string name = cut == std::u16string::npos ? wanted : wanted.substr(cut + 1);
  if (HasWildcard(folder)) return false;  // the search takes a pattern in the last name only
  // The first entry found, in name order, folders and files alike.
  std::map<std::u16string, bool> entries;  // folded name in folder -> is a file
  for (const auto* set : {&folders, &files}) {
    for (const std::u16string& entry : *set) {
      const std::u16string e = Normalized(entry);
      const std::size_t at = e.rfind(u'\\');
      const std::u16string in = at == std::u16string::npos ? u"" : e.substr(0, at);
      if (in != folder) continue;
      entries[at == std::u16string::npos ? e : e.substr(at + 1)] = set == &files;
    }
  }
  for (const auto& entry : entries) {
    const bool hit = HasWildcard(name) ? Matches(entry.first.c_str(), name.c_str())
                                       : entry.first == name;
    if (hit) return entry.second;
  }
  return false;
}

bool FakeFiles::ChooseOpenFile(DialogView& owner, const char16_t* filter, std::size_t filterLength,
                               const char16_t* title, uint32_t flags, char16_t* out,
                               std::size_t capacity) {
  chooseCalls.push_back({&owner, std::u16string(filter, filterLength), title, flags,
                         capacity > 0 ? std::u16string(out) : u"", capacity});
  if (!chooseSucceeds) return false;
  CopyOut(chosen, out, static_cast<int>(capacity));
  return true;
}

bool FakeSettingSystem::ComputerName(char16_t* out, std::size_t capacity) {
  if (!computerNameWorks) {
    CopyOut(u"", out, static_cast<int>(capacity));
    return false;
  }
  CopyOut(computerName, out, static_cast<int>(capacity));
  return true;
}

bool FakeSettingSystem::GetOsVersion(OsVersion& out) {
  if (!versionWorks) return false;
  out = version;
  return true;
}

std::size_t FakeSettingSystem::ModulePath(char16_t* out, std::size_t capacity) {
  if (!modulePathWorks || capacity == 0) return 0;
  // As GetModuleFileNameW: a path that does not fit is cut and returns capacity.
  if (modulePath.size() >= capacity) {
    modulePath.copy(out, capacity - 1);
    out[capacity - 1] = 0;
    return capacity;
  }
  CopyOut(modulePath, out, static_cast<int>(capacity));
  return modulePath.size();
}

bool FakeSettingSystem::CloseWindowOf(const char16_t* className, const char16_t* title) {
  closeCalls.emplace_back(className, title);
  if (checkerWindows == 0) return false;
  --checkerWindows;
  return true;
}

bool FakeDialogRunner::Run(int templateId, DialogLogic& logic) {
  runs.push_back({templateId});
  if (!createSucceeds) return false;
  auto view = std::make_unique<FakeDialogView>();
  view->logic = &logic;
  if (controls) controls(templateId, *view);
  logic.OnInit(*view);
  if (script) script(templateId, logic, *view);
  // As the real runner, it returns only with the dialog gone.
  if (!view->destroyed) view->Destroy();
  return true;
}

SettingRig::SettingRig()
    : program(SettingPorts{registry, account, system, messages, strings, help, sound, files, clock,
                           random, dialogs, events},
              smartCard, felica) {}

}  // namespace orvane
