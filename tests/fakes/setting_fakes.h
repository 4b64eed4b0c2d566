// In-memory stand-ins for the settings program's ports: a dialog view whose
// controls the test inspects, message boxes with scripted answers, the
// string table, help, sound, files, system facts and nested dialogs; and a
// rig that builds a SettingProgram over them.
#ifndef ORVANE_TESTS_FAKES_SETTING_FAKES_H
#define ORVANE_TESTS_FAKES_SETTING_FAKES_H

#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "platform/dialog_port.h"
#include "platform/file_port.h"
#include "platform/setting_system_port.h"
#include "platform/ui_port.h"
#include "setting/setting.h"
#include "tests/fakes/checker_fakes.h"
#include "tests/fakes/fake_event_log.h"
#include "tests/fakes/fake_felica.h"
#include "tests/fakes/fake_registry.h"
#include "tests/fakes/scripted_smartcard.h"

namespace orvane {

struct FakeControl {
  std::u16string text;
  bool enabled = true;
  bool checked = false;
  std::vector<std::u16string> items;  // drop-down entries
  int selection = -1;
  // Report-view list.
  uint32_t listStyle = 0;
  struct Column {
    std::u16string header;
    int width;
  };
  std::vector<Column> columns;
  struct Row {
    std::u16string cells[2];
    std::uintptr_t value;
  };
  std::vector<Row> rows;
  int selectedRow = -1;
  ListMetrics metrics;
  int textLimit = 0;  // 0: the control's default
  int fillDepth = 0;  // BeginListFill without EndListFill yet
};

// A dialog whose controls exist as the test declares them. Reading or
// changing a control the dialog does not have is noted in misuse.
class FakeDialogView : public DialogView {
 public:
  FakeDialogView() = default;
  // Declares a control with its state at creation.
  FakeControl& Add(int id, bool enabled = true, const std::u16string& text = u"");
  FakeControl& At(int id);  // the control; adds a note to misuse when absent
  void Remove(int id) { controls.erase(id); }

  std::map<int, FakeControl> controls;
  std::map<int, uint32_t> timers;  // running timers and their periods
  int focus = 0;
  int centred = 0;
  bool acceptsDrops = false;
  int foregrounds = 0;
  bool destroyed = false;
  int quits = 0;
  std::vector<std::string> misuse;

  // True once the logic asked for control id, which the dialog does not have.
  bool Misused(int id) const;
  void SetText(int id, const char16_t* text) override;
  void GetText(int id, char16_t* out, int capacity) override;
  void Enable(int id, bool enabled) override;
  void SetCheck(int id, bool checked) override;
  bool IsChecked(int id) override;
  void SetFocus(int id) override;
  void LimitText(int id, int maxLength) override;
  void AddItem(int id, const char16_t* text) override;
  void SelectItem(int id, int index) override;
  int SelectedItem(int id) override;
  ListMetrics GetListMetrics(int id) override;
  void SetListStyle(int id, uint32_t extendedStyle) override;
  void AddListColumn(int id, int column, const char16_t* header, int width) override;
  int AddListRow(int id, const char16_t* column0, const char16_t* column1,
                 std::uintptr_t value) override;
  int ListRowCount(int id) override;
  int SelectedListRow(int id) override;
  void SelectListRow(int id, int row) override;
  bool GetListText(int id, int row, int column, char16_t* out, int capacity) override;
  std::uintptr_t ListRowValue(int id, int row) override;
  void DeleteListRow(int id, int row) override;
  void BeginListFill(int id) override;
  void EndListFill(int id) override;
  void SetTimer(int timerId, uint32_t periodMs) override;
  void KillTimer(int timerId) override;
  void Center() override { ++centred; }
  void AcceptDroppedFiles() override { acceptsDrops = true; }
  void BringToForeground() override { ++foregrounds; }
  void Destroy() override;
  void PostQuit() override { ++quits; }

  // The logic of this dialog, told of Destroy as the real window tells it.
  DialogLogic* logic = nullptr;
  // When set, report-view lists tell the logic of inserted, deleted and
  // selected rows (WM_NOTIFY with LVN_INSERTITEM, LVN_DELETEITEM before the
  // row goes, LVN_ITEMCHANGED), as a real list view does.
  bool notifyListChanges = false;
  std::vector<std::pair<int, int>> notifications;  // control id, code

 private:
  void NotifyList(int id, int code);
};

// List-view notification codes, numbered as Windows numbers them.
constexpr int kLvnItemChanged = -101;
constexpr int kLvnInsertItem = -102;
constexpr int kLvnDeleteItem = -103;

// The main dialog's controls as template 128 creates them.
void AddMainDialogControls(FakeDialogView& view);
// The list dialog's (template 129) and the sound dialog's (template 158).
void AddCardListControls(FakeDialogView& view, const ListMetrics& metrics);
void AddSoundDialogControls(FakeDialogView& view);

struct ShownMessage {
  DialogView* owner;
  std::u16string text;
  std::u16string caption;
  uint32_t style;
};

class FakeMessageBoxes : public MessageBoxPort {
 public:
  std::vector<ShownMessage> shown;
  std::deque<int> answers;  // taken in turn; OK (1) when none is left
  std::function<void()> whileShown;  // runs inside the box (a nested loop)
  int Show(DialogView* owner, const char16_t* text, const char16_t* caption,
           uint32_t style) override;
};

// The program's string table, from the same list the resource script uses.
class FakeStrings : public StringsPort {
 public:
  bool Load(int id, char16_t* out, int capacity) override;
};
// The text of a string-table entry ("" when there is none).
std::u16string StringText(int id);

class FakeHelp : public HelpPort {
 public:
  struct Call {
    std::u16string file;
    uint32_t context;
  };
  std::vector<Call> calls;
  void ShowContext(const char16_t* file, uint32_t context) override;
};

class FakeSound : public SoundPort {
 public:
  std::vector<std::u16string> played;
  void PlayAsync(const char16_t* file) override { played.emplace_back(file); }
};

// FileExists answers as FindFirstFileW would: names compare ignoring case,
// '/' is a separator, "." and ".." components are resolved, trailing dots
// and spaces of the last name dropped, and wildcards in the last name
// (* ? and the DOS forms < > ") match the first entry that fits, which may
// be a folder.
class FakeFiles : public FilePort {
 public:
  std::set<std::u16string> files;    // paths that exist as files
  std::set<std::u16string> folders;  // paths that exist as folders
  std::vector<std::u16string> asked;  // every path FileExists was given
  bool chooseSucceeds = false;
  std::u16string chosen;
  struct ChooseCall {
    DialogView* owner;
    std::u16string filter;
    std::u16string title;
    uint32_t flags;
    std::u16string initialText;
    std::size_t capacity;
  };
  std::vector<ChooseCall> chooseCalls;
  bool FileExists(const char16_t* path) override;
  bool ChooseOpenFile(DialogView& owner, const char16_t* filter, std::size_t filterLength,
                      const char16_t* title, uint32_t flags, char16_t* out,
                      std::size_t capacity) override;
};

class FakeSettingSystem : public SettingSystemPort {
 public:
  bool computerNameWorks = true;
  std::u16string computerName = u"WORKSTATION";
  bool windows8 = true;
  bool versionWorks = true;
  OsVersion version{10, 0, 19045};
  std::u16string modulePath = u"C:\\Program Files (x86)\\Orvane\\OrvaneSetting.exe";
  bool modulePathWorks = true;
  int checkerWindows = 0;  // running checkers that CloseWindowOf finds
  std::vector<std::pair<std::u16string, std::u16string>> closeCalls;  // class, title

  bool ComputerName(char16_t* out, std::size_t capacity) override;
  bool IsWindows8OrLater() override { return windows8; }
  bool GetOsVersion(OsVersion& out) override;
  std::size_t ModulePath(char16_t* out, std::size_t capacity) override;
  bool CloseWindowOf(const char16_t* className, const char16_t* title) override;
};

class FixedClockAt : public ClockPort {
 public:
  LocalTime now{2024, 3, 9, 8, 7, 6};
  LocalTime Now() override { return now; }
  uint32_t SecondsSinceEpoch() override { return 1700000000u; }
};

class CountingRandomSource : public RandomPort {
 public:
  uint32_t seed = 0;
  int next = 0;
  void Seed(uint32_t s) override { seed = s; }
  int Next() override { return (next++ * 37 + 11) & 0x7FFF; }
};

// Nested dialogs: what was asked for, and a view and script to run each in.
class FakeDialogRunner : public DialogRunner {
 public:
  struct Run {
    int templateId;
  };
  std::vector<Run> runs;
  bool createSucceeds = true;
  // Called with the nested dialog's logic and its fresh view after OnInit;
  // the script plays the user's steps. The run ends when the script returns.
  std::function<void(int templateId, DialogLogic& logic, FakeDialogView& view)> script;
  // Declares the nested dialog's controls before OnInit.
  std::function<void(int templateId, FakeDialogView& view)> controls;
  bool Run(int templateId, DialogLogic& logic) override;
};

// A SettingProgram over all the fakes, ready for a dialog's logic.
struct SettingRig {
  FakeRegistry registry;
  FakeSystem account;  // GetUserNameW
  FakeSettingSystem system;
  FakeMessageBoxes messages;
  FakeStrings strings;
  FakeHelp help;
  FakeSound sound;
  FakeFiles files;
  FixedClockAt clock;
  CountingRandomSource random;
  FakeDialogRunner dialogs;
  FakeEventLog events;
  ScriptedSmartCard smartCard;
  FakeFelica felica;
  SettingProgram program;

  SettingRig();
};

}  // namespace orvane

#endif
