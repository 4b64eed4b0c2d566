// What the settings program leaves in the audit trail: one call per event,
// made where the program has just done (or failed to do) what the event
// says. Each event names the account that ran the program. Never a password:
// no call here takes one.
#ifndef ORVANE_SETTING_AUDIT_H
#define ORVANE_SETTING_AUDIT_H

#include <cstdint>

#include "setting/setting.h"

namespace orvane {

// A card's record written with a password: the shown card, the record's
// user, target and description, the removal settings now stored.
void AuditCardRegistered(SettingProgram& program, const char16_t* user, const char16_t* target,
                         const char16_t* description);

// What an update without password changed.
enum AuditChange : unsigned {
  kChangedDescription = 1,
  kChangedAction = 2,
  kChangedInterval = 4,
};
// The shown card's record updated without password; changes is a mask of
// AuditChange, description the one now stored.
void AuditRecordUpdated(SettingProgram& program, unsigned changes, const char16_t* description);

// A record deleted from the card list: its key (hex, as the key is named)
// and the description the list showed.
void AuditRecordDeleted(SettingProgram& program, const char16_t* recordKey,
                        const char16_t* description);

// The Run value written (the action switched on or changed) or deleted
// (switched off), for the shown card's record.
void AuditRemovalSwitchedOn(SettingProgram& program, const char16_t* runValue);
void AuditRemovalSwitchedOff(SettingProgram& program);

void AuditSoundSaved(SettingProgram& program, int32_t mode, const char16_t* file, int32_t wait);

// A failure message about to be shown (IDS_WRITE_FAILED, IDS_DELETE_FAILED,
// IDS_SOUND_WRITE_FAILED or IDS_NO_AUTOSTART): its event, with the value
// or key of the last failed write and its code.
void AuditWriteFailure(SettingProgram& program, int messageId);

}  // namespace orvane

#endif
