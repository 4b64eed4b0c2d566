// Registration of the shown card: the record lookup that fills the dialog,
// the register command with its checks, and the update without password.
#ifndef ORVANE_SETTING_REGISTRATION_H
#define ORVANE_SETTING_REGISTRATION_H

#include "setting/setting.h"
#include "store/secure_wipe.h"

namespace orvane {

// What the register command reads from the dialog. Wiped when it goes, so
// that no copy of the password outlives the command.
struct RegisterFields {
  char16_t password[kTextSize] = {};
  char16_t again[kTextSize] = {};
  char16_t user[kTextSize] = {};
  char16_t target[kTextSize] = {};
  char16_t description[kTextSize] = {};
  RegisterFields() = default;
  RegisterFields(const RegisterFields&) = delete;
  RegisterFields& operator=(const RegisterFields&) = delete;
  ~RegisterFields() { SecureZero(this, sizeof *this); }
};

// Shows the card's record, if any, and sets the owner flag, the remembered
// description and the stored removal settings.
void LookUpRecord(SettingProgram& program, DialogView& view);
// Button 1 of the main dialog.
void RegisterCommand(SettingProgram& program, DialogView& view);

// The registration proper: "data" and "comment" of the shown card's record,
// then the removal settings that changed; audits what it wrote or failed to
// write. Leads to IDS_WRITTEN on success, IDS_NO_AUTOSTART when an action
// was written but its autostart could not be registered; IDS_WRITE_FAILED
// when a write failed (what was written stays), IDS_LOGIN_TOO_LONG or
// IDS_DESCRIPTION_TOO_LONG when the input does not fit the record (nothing
// written).
Message WriteLoginRecord(SettingProgram& program, const char16_t* user,
                         const char16_t* password, const char16_t* target,
                         const char16_t* description);
// The update without password, of a record whose "data" the register
// command found: IDS_REMOVAL_UPDATED, IDS_DESCRIPTION_UPDATED or
// IDS_NO_AUTOSTART when something was written, else the message that says
// why not.
Message UpdateRecordSettings(SettingProgram& program, DialogView& view);
enum class DescriptionUpdate {
  Unchanged,  // the field says what is remembered: nothing written
  Written,
  Failed,  // the remembered description then stays as it was
};
// Writes "comment" anew when the description field differs from the
// remembered description.
DescriptionUpdate UpdateDescription(SettingProgram& program, DialogView& view,
                                    RegKeyHandle recordKey);

}  // namespace orvane

#endif
