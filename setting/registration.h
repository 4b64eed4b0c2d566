// Registration of the shown card: the record lookup that fills the dialog,
// the register command with its checks, and the update without password.
#ifndef ORVANE_SETTING_REGISTRATION_H
#define ORVANE_SETTING_REGISTRATION_H

#include "setting/setting.h"

namespace orvane {

// Shows the card's record, if any, and sets the owner flag, the remembered
// description and the stored removal settings.
void LookUpRecord(SettingProgram& program, DialogView& view);
// Button 1 of the main dialog.
void RegisterCommand(SettingProgram& program, DialogView& view);

}  // namespace orvane

#endif
