// The one Win32 host of the settings program's dialogs: creates a modeless
// dialog from its template, hands every message to the dialog's logic,
// implements the logic's view on the real controls, and runs the dialog's
// message loop. It decides nothing.
#ifndef ORVANE_PLATFORM_WIN32_WIN_DIALOG_HOST_H
#define ORVANE_PLATFORM_WIN32_WIN_DIALOG_HOST_H

#include <windows.h>

#include "platform/dialog_port.h"

namespace orvane {

class WinDialogView : public DialogView {
 public:
  WinDialogView(HINSTANCE instance, int bigIcon, int smallIcon)
      : instance_(instance), bigIcon_(bigIcon), smallIcon_(smallIcon) {}
  HWND hwnd() const { return hwnd_; }
  void Attach(HWND hwnd) { hwnd_ = hwnd; }
  // True once the logic asked for dropped files: no other dialog takes them.
  bool AcceptsDroppedFiles() const { return acceptsDrops_; }

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
  void Center() override;
  void AcceptDroppedFiles() override;
  void BringToForeground() override;
  void Destroy() override;
  void PostQuit() override;

 private:
  // The control; a logic asking for one its template lacks stops the
  // program here.
  HWND Item(int id) const;
  HINSTANCE instance_;
  int bigIcon_;
  int smallIcon_;
  HWND hwnd_ = nullptr;
  bool acceptsDrops_ = false;
};

// Every dialog of the program carries the same two icons.
class WinDialogRunner : public DialogRunner {
 public:
  WinDialogRunner(HINSTANCE instance, int bigIcon, int smallIcon)
      : instance_(instance), bigIcon_(bigIcon), smallIcon_(smallIcon) {}
  // CreateDialogParamW (no owner), ShowWindow, then GetMessageW until the
  // dialog is destroyed (checked before each wait): F1 goes to the logic
  // first, then IsDialogMessageW for the running dialog the message is for
  // (this one or one whose loop this one runs in), TranslateMessage and
  // DispatchMessageW. A WM_QUIT taken meanwhile is posted again on the way
  // out, for the loop this one runs in.
  bool Run(int templateId, DialogLogic& logic) override;

 private:
  HINSTANCE instance_;
  int bigIcon_;
  int smallIcon_;
};

}  // namespace orvane

#endif
