// The main dialog (IDD_MAIN): start-up names, the card-read cycle on
// timer 1, the status line, the routing of its buttons, device changes and
// the end of the program.
#ifndef ORVANE_SETTING_MAIN_DIALOG_H
#define ORVANE_SETTING_MAIN_DIALOG_H

#include "setting/setting.h"

namespace orvane {

constexpr int kReadTimer = 1;
constexpr uint32_t kReadPeriodMs = 1000;

class MainDialog : public DialogLogic, public ReaderStatusView {
 public:
  explicit MainDialog(SettingProgram& program);
  ~MainDialog() override;

  bool OnInit(DialogView& view) override;
  bool OnCommand(DialogView& view, int id, int code) override;
  void OnTimer(DialogView& view, int timerId) override;
  void OnDeviceChange(DialogView& view) override;
  void OnDestroy(DialogView& view) override;
  void OnHelpKey() override;

  // Discovery found a reader or the library.
  void ReaderReady(const char16_t* readerLabel) override;

 private:
  void StartOrStopRead(DialogView& view);
  SettingProgram& program_;
  DialogView* view_ = nullptr;  // the dialog while it exists
};

// The login target and the current user name at start: the computer and
// logon names, or a Microsoft account's provider and principal names on
// Windows 8 and later.
void ReadAccountNames(SettingProgram& program, char16_t (&target)[kTextSize]);
// The card-shown or the no-card display.
void ShowCardState(SettingProgram& program, DialogView& view, bool cardPresent);
// Status line back to IDS_READER_READY, IDC_READ to IDS_READ_CARD.
void ResetReadStatus(SettingProgram& program, DialogView& view);
// True for the card kinds this system cannot use.
bool IsUnusableCardKind(int cardKind);

}  // namespace orvane

#endif
