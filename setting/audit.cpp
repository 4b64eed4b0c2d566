#include "setting/audit.h"

#include "card/identity.h"
#include "setting/string_table.h"
#include "store/audit_events.h"
#include "store/audit_text.h"
#include "store/text_format.h"

namespace orvane {

namespace {

// GetUserNameW: the account the elevated program runs as, which may not be
// the one logged on (an administrator's credentials typed at the prompt).
void Account(SettingProgram& program, char16_t (&out)[kTextSize]) {
  if (!program.ports.account.UserName(out, kTextSize)) out[0] = 0;
  out[kTextSize - 1] = 0;
  if (out[0] == 0) BoundedCopy(out, kTextSize, u"(unknown account)");
}

void ShownRecordKey(SettingProgram& program, char16_t (&out)[kRecordKeyTextSize]) {
  CardIdentity permuted{};
  FormatRecordKey(RecordKeyValue(program.state.card.identity, permuted), out);
  SecureZero(permuted.data(), permuted.size());
}

const char16_t* CardKindName(int kind) {
  switch (kind) {
    case kCardKindFelica: return u"FeliCa";
    case kCardKindMifare:
    case 7: return u"Mifare";
    default: return u"other";
  }
}

void Interval(int32_t type, int32_t interval, char16_t (&out)[kAuditTextSize]) {
  // Without an action the interval means nothing to anyone reading the log.
  if (static_cast<uint32_t>(type) == kNoRemovalAction) {
    BoundedCopy(out, kAuditTextSize, u"-");
    return;
  }
  FormatSeconds(static_cast<uint32_t>(interval), out);
}

// What the registration and update events say of the shown record: who ran
// the program, which record, and its stored removal action and interval.
struct ShownRecordText {
  char16_t account[kTextSize];
  char16_t key[kRecordKeyTextSize];
  char16_t action[kAuditTextSize];
  char16_t interval[kAuditTextSize];
};

void DescribeShownRecord(SettingProgram& program, ShownRecordText& out) {
  Account(program, out.account);
  ShownRecordKey(program, out.key);
  const RemovalSettings& stored = program.state.stored;
  FormatRemovalAction(static_cast<uint32_t>(stored.type), stored.lock, out.action);
  Interval(stored.type, stored.interval, out.interval);
}

}  // namespace

void AuditCardRegistered(SettingProgram& program, const char16_t* user, const char16_t* target,
                         const char16_t* description) {
  ShownRecordText record;
  DescribeShownRecord(program, record);
  events::Report(program.ports.events, events::kCardRegistered,
                 {record.account, record.key, CardKindName(program.state.card.cardKind),
                  description, user, target, record.action, record.interval});
}

void AuditRecordUpdated(SettingProgram& program, unsigned changes, const char16_t* description) {
  ShownRecordText record;
  DescribeShownRecord(program, record);
  char16_t changed[kAuditTextSize];
  FormatText(changed, kAuditTextSize, u"%s%s%s%s%s",
             (changes & kChangedDescription) ? u"description" : u"",
             (changes & kChangedDescription) && (changes & ~kChangedDescription) ? u", " : u"",
             (changes & kChangedAction) ? u"removal action" : u"",
             (changes & kChangedAction) && (changes & kChangedInterval) ? u", " : u"",
             (changes & kChangedInterval) ? u"interval" : u"");
  events::Report(program.ports.events, events::kRecordUpdated,
                 {record.account, record.key, changed, description, record.action,
                  record.interval});
}

void AuditRecordDeleted(SettingProgram& program, const char16_t* recordKey,
                        const char16_t* description) {
  char16_t account[kTextSize];
  Account(program, account);
  events::Report(program.ports.events, events::kRecordDeleted, {account, recordKey, description});
}

void AuditRemovalSwitchedOn(SettingProgram& program, const char16_t* runValue) {
  char16_t account[kTextSize];
  Account(program, account);
  char16_t key[kRecordKeyTextSize];
  ShownRecordKey(program, key);
  char16_t action[kAuditTextSize];
  FormatRemovalAction(static_cast<uint32_t>(program.state.stored.type), program.state.stored.lock,
                      action);
  events::Report(program.ports.events, events::kRemovalSwitchedOn,
                 {account, key, action, runValue});
}

void AuditRemovalSwitchedOff(SettingProgram& program) {
  char16_t account[kTextSize];
  Account(program, account);
  char16_t key[kRecordKeyTextSize];
  ShownRecordKey(program, key);
  events::Report(program.ports.events, events::kRemovalSwitchedOff, {account, key});
}

void AuditSoundSaved(SettingProgram& program, int32_t mode, const char16_t* file, int32_t wait) {
  char16_t account[kTextSize];
  Account(program, account);
  const char16_t* output = u"never";
  if (mode == 1) output = u"when a card is recognised";
  if (mode == 2) output = u"when the user is recognised";
  char16_t modeText[kAuditTextSize];
  FormatText(modeText, kAuditTextSize, u"%d (%s)", static_cast<int>(mode), output);
  events::Report(program.ports.events, events::kSoundSaved,
                 {account, modeText, file, wait ? u"yes" : u"no"});
}

void AuditWriteFailure(SettingProgram& program, int messageId) {
  char16_t account[kTextSize];
  Account(program, account);
  const char16_t* what = u"";
  uint32_t code = 0;
  if (!program.watch.LastFailedWrite(&what, &code)) {
    // Refused before the registry was asked (a program path too long for
    // the Run value, say): no value failed and Windows gave no code.
    what = u"-";
  }
  char16_t codeText[kAuditTextSize];
  FormatErrorCode(code, codeText);
  char16_t key[kRecordKeyTextSize];
  switch (messageId) {
    case IDS_WRITE_FAILED:
      ShownRecordKey(program, key);
      events::Report(program.ports.events, events::kRecordWriteFailed,
                     {account, key, what, codeText});
      break;
    case IDS_DELETE_FAILED:
      events::Report(program.ports.events, events::kRecordDeleteFailed,
                     {account, what, codeText});
      break;
    case IDS_SOUND_WRITE_FAILED:
      events::Report(program.ports.events, events::kSoundWriteFailed, {account, what, codeText});
      break;
    case IDS_NO_AUTOSTART:
      ShownRecordKey(program, key);
      events::Report(program.ports.events, events::kAutostartFailed,
                     {account, key, what, codeText});
      break;
    default:
      break;
  }
}

}  // namespace orvane
