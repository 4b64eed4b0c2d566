// A dialog as the settings program's logic sees it: its controls by id, its
// timers, and its end. The Win32 host implements it on a real dialog; tests
// use an in-memory view. Control ids are the resource ids of the dialog.
//
// Every id the logic passes is a control of the dialog's template. Asking
// for one the template lacks is a programming error, not a state to handle:
// the host fails loudly instead of doing nothing.
#ifndef ORVANE_PLATFORM_DIALOG_PORT_H
#define ORVANE_PLATFORM_DIALOG_PORT_H

#include <cstdint>

namespace orvane {

// Extended list-view styles a list may ask for.
constexpr uint32_t kListFullRowSelect = 0x1;
constexpr uint32_t kListLabelTip = 0x2;

struct ListMetrics {
  int clientWidth = 0;    // the list's client area, pixels
  int edgeWidth = 0;      // SM_CXEDGE
  int vscrollWidth = 0;   // SM_CXVSCROLL
};

class DialogView {
 public:
  virtual ~DialogView() = default;

  virtual void SetText(int id, const char16_t* text) = 0;
  // Copies at most capacity - 1 code units and always terminates.
  virtual void GetText(int id, char16_t* out, int capacity) = 0;
  virtual void Enable(int id, bool enabled) = 0;
  virtual void SetCheck(int id, bool checked) = 0;
  virtual bool IsChecked(int id) = 0;
  virtual void SetFocus(int id) = 0;
  // The most code units a user can type into an edit (EM_LIMITTEXT).
  virtual void LimitText(int id, int maxLength) = 0;

  // Drop-down lists: entries in the order added; -1 is no selection.
  virtual void AddItem(int id, const char16_t* text) = 0;
  virtual void SelectItem(int id, int index) = 0;
  virtual int SelectedItem(int id) = 0;

  // Report-view lists. Rows carry an opaque value that the logic owns.
  virtual ListMetrics GetListMetrics(int id) = 0;
  virtual void SetListStyle(int id, uint32_t extendedStyle) = 0;
  virtual void AddListColumn(int id, int column, const char16_t* header, int width) = 0;
  // Appends a row; returns its index, or -1 when it could not be added.
  virtual int AddListRow(int id, const char16_t* column0, const char16_t* column1,
                         std::uintptr_t value) = 0;
  virtual int ListRowCount(int id) = 0;
  virtual int SelectedListRow(int id) = 0;  // -1 when none
  // Selects without focusing or scrolling the row into view.
  virtual void SelectListRow(int id, int row) = 0;
  virtual bool GetListText(int id, int row, int column, char16_t* out, int capacity) = 0;
  virtual std::uintptr_t ListRowValue(int id, int row) = 0;
  virtual void DeleteListRow(int id, int row) = 0;
  // Around adding many rows: the list is drawn once, at the end.
  virtual void BeginListFill(int id) = 0;
  virtual void EndListFill(int id) = 0;

  virtual void SetTimer(int timerId, uint32_t periodMs) = 0;
  virtual void KillTimer(int timerId) = 0;

  // Sets the program's icons and centres the dialog on the screen.
  virtual void Center() = 0;
  // Lets dropped files in (also from programs without elevation).
  virtual void AcceptDroppedFiles() = 0;
  virtual void BringToForeground() = 0;
  // DestroyWindow; the logic's OnDestroy follows.
  virtual void Destroy() = 0;
  // Ends the message loop that runs (PostQuitMessage(0)).
  virtual void PostQuit() = 0;
};

// What a dialog's logic is given by its host, one call per window message.
class DialogLogic {
 public:
  virtual ~DialogLogic() = default;
  // WM_INITDIALOG; true lets the dialog manager set the default focus.
  virtual bool OnInit(DialogView& view) = 0;
  // WM_COMMAND with the control id and notification code; true when handled.
  virtual bool OnCommand(DialogView& view, int id, int code) = 0;
  virtual void OnTimer(DialogView& view, int timerId) {}
  virtual void OnDeviceChange(DialogView& view) {}
  // WM_NOTIFY from a control.
  virtual void OnNotify(DialogView& view, int id, int code) {}
  // WM_DROPFILES, only to a dialog that called AcceptDroppedFiles: the first
  // file's whole name, terminated, however long (refusing one that does not
  // fit is the logic's part); empty when none could be taken.
  virtual void OnDropFile(DialogView& view, const char16_t* path) {}
  virtual void OnDestroy(DialogView& view) {}
  // F1 pressed anywhere in the thread while this dialog's loop runs.
  virtual void OnHelpKey() {}
};

// Opens a modeless, ownerless dialog from its template and runs its message
// loop until the dialog is destroyed; returns false when the dialog could
// not be created. It returns only once the dialog is destroyed, so the logic
// may live on the caller's stack: a quit that arrives while the dialog still
// exists (another dialog was closed first) is passed on after it.
class DialogRunner {
 public:
  virtual ~DialogRunner() = default;
  virtual bool Run(int templateId, DialogLogic& logic) = 0;
};

}  // namespace orvane

#endif
