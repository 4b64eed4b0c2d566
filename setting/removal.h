// The removal action of the main dialog: IDC_REMOVAL_ON to
// IDC_INTERVAL_LABEL, the removal choice they say, the owner rule, and the
// writer of "type", "lock", "interval" and the checker's autostart value.
#ifndef ORVANE_SETTING_REMOVAL_H
#define ORVANE_SETTING_REMOVAL_H

#include "setting/setting.h"

namespace orvane {

// Windows 11 words the first action "sign out": major 10, build 22000 or later.
bool IsSignOutWording(SettingProgram& program);
// The stored settings lock the workstation: "lock" set beside a plain log
// off. Beside any other type the flag means nothing.
bool IsLockAction(const RemovalSettings& settings);
// The same action on removal: type and lock alike (the interval aside).
bool SameRemovalAction(const RemovalSettings& a, const RemovalSettings& b);
// Dialog start: the four actions into IDC_REMOVAL_ACTION, entry 0 selected, interval 5.
void FillRemovalList(SettingProgram& program, DialogView& view);
// IDC_REMOVAL_ACTION, IDC_FORCE, IDC_INTERVAL_LABEL and IDC_INTERVAL
// together, in that order; the force box stays disabled while the lock
// entry is selected.
void EnableRemovalControls(DialogView& view, bool enabled);
// The notification code of a user's pick in a drop-down list (CBN_SELCHANGE).
constexpr int kComboSelectionChanged = 1;
// The user picked another entry of IDC_REMOVAL_ACTION: the force box follows it.
void RemovalActionChanged(DialogView& view);
void ShowInterval(DialogView& view, int32_t seconds);
// The interval field as the C library's text-to-integer conversion reads it.
int32_t ReadInterval(DialogView& view);
// Fills state.choice from the controls; false when the action list has no
// entry of its own selected (nothing was chosen).
bool ReadRemovalChoice(SettingProgram& program, DialogView& view);
// An action chosen with an interval below 1 leads to IDS_INTERVAL_TOO_SMALL.
Message CheckIntervalRule(const SettingState& state);
// None to go on: the action does not change, or the login user is the
// account running the program (its logon name or Microsoft-account
// principal); otherwise IDS_NOT_OWNER.
Message CheckRemovalOwner(SettingProgram& program, const char16_t* loginUser);
enum class StoreOutcome {
  Failed,                  // a write or the Run value's deletion failed
  Stored,                  // everything that changed is written
  StoredWithoutAutostart,  // an action is in the record, but the Run key could
                           // not be opened or created for its autostart value
};
// Writes what changed of the choice into the open record key ("type", then
// "lock", then the autostart value, then "interval"), keeping the autostart
// value (quoted path) in step. Switching the action off closes a
// running checker whatever happens to the Run key.
StoreOutcome StoreRemovalSettings(SettingProgram& program, RegKeyHandle recordKey);
// The stored removal settings into the controls.
void ShowRemovalSettings(SettingProgram& program, DialogView& view);

}  // namespace orvane

#endif
