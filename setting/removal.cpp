#include "setting/removal.h"

#include "setting/resource.h"
#include "setting/string_table.h"
#include "store/text_format.h"

namespace orvane {

namespace {

constexpr uint32_t kSignOutMajor = 10;
constexpr uint32_t kSignOutBuild = 22000;
constexpr int32_t kForceIfHung = 0x10;

}  // namespace

bool IsSignOutWording(SettingProgram& program) {
  OsVersion version;
  if (!program.ports.system.GetOsVersion(version)) return false;
  return version.major >= kSignOutMajor && version.build >= kSignOutBuild;
}

void FillRemovalList(SettingProgram& program, DialogView& view) {
  const int ids[] = {IsSignOutWording(program) ? IDS_SIGN_OUT : IDS_LOG_OFF, IDS_SHUT_DOWN,
                     IDS_REBOOT};
  for (int id : ids) {
    char16_t text[kTextSize];
    LoadText(program, id, text);
    view.AddItem(IDC_REMOVAL_ACTION, text);
  }
  view.SelectItem(IDC_REMOVAL_ACTION, 0);
  ShowInterval(view, static_cast<int32_t>(kDefaultInterval));
}

void EnableRemovalControls(DialogView& view, bool enabled) {
  view.Enable(IDC_REMOVAL_ACTION, enabled);
  view.Enable(IDC_FORCE, enabled);
  view.Enable(IDC_INTERVAL_LABEL, enabled);
  view.Enable(IDC_INTERVAL, enabled);
}

void ShowInterval(DialogView& view, int32_t seconds) {
  char16_t text[16];
  FormatText(text, 16, u"%d", static_cast<int>(seconds));
  view.SetText(IDC_INTERVAL, text);
}

int32_t ReadInterval(DialogView& view) { return 0; }

int ReadRemovalChoice(SettingProgram& program, DialogView& view) { return 0; }

bool CheckIntervalRule(SettingProgram& program) { return true; }

int CheckRemovalOwner(SettingProgram& program, const char16_t* loginUser) { return 1; }

int StoreRemovalSettings(SettingProgram& program, RegKeyHandle recordKey) { return 0; }

void ShowRemovalSettings(SettingProgram& program, DialogView& view) {
  const RemovalSettings& stored = program.state.stored;
  view.Enable(IDC_REMOVAL_ON, true);
  if (stored.type == -1) {
    view.SetCheck(IDC_REMOVAL_ON, false);
    EnableRemovalControls(view, false);
    return;
  }
  view.SetCheck(IDC_REMOVAL_ON, true);
  view.SetCheck(IDC_FORCE, (stored.type & kForceIfHung) != 0);
  const int32_t action = stored.type & ~kForceIfHung;
  if (action >= 0 && action <= 2) view.SelectItem(IDC_REMOVAL_ACTION, action);
  ShowInterval(view, stored.interval);
  EnableRemovalControls(view, true);
}

}  // namespace orvane
