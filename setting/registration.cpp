#include "setting/registration.h"

#include <cstdio>

#include "setting/audit.h"
#include "setting/removal.h"
#include "setting/resource.h"
#include "setting/string_table.h"
#include "store/shared_names.h"
#include "store/text_format.h"

namespace orvane {

namespace {

constexpr std::size_t kTimeLength = 19;  // "YYYY/MM/DD hh:mm:ss"
// "data" holds at most kMaxLoginData bytes: 18 bytes of filler and
// terminators, the three strings, and at least one byte of tail filler.
constexpr std::size_t kMaxLoginUnits = (kMaxLoginData - 18 - 1) / 2;  // 118
// The readers take "comment" into 260 code units: time, space, description.
constexpr std::size_t kMaxDescription = kTextSize - 1 - kTimeLength - 1;  // 239

bool ReadField(DialogView& view, int id, char16_t (&out)[kTextSize]) {
  const bool found = view.GetText(id, out, kTextSize);
  out[kTextSize - 1] = 0;
  return found;
}

void RecordPathOf(const CardIdentity& identity, char16_t (&path)[kRecordPathSize]) {
  CardIdentity permuted{};
  FormatRecordPath(RecordKeyValue(identity, permuted), path);
  SecureZero(permuted.data(), permuted.size());
}

// 0 when the input fits the record, else the message that refuses it.
int TooLongMessage(const RegisterFields& input) {
  const std::size_t login =
      TextLength(input.password) + TextLength(input.user) + TextLength(input.target);
  if (login > kMaxLoginUnits) return IDS_LOGIN_TOO_LONG;
  if (TextLength(input.description) > kMaxDescription) return IDS_DESCRIPTION_TOO_LONG;
  return 0;
}

// "comment" := local time, a space and the description; two bytes per
// character, no terminator, as every reader expects.
RegResult WriteComment(SettingProgram& program, RegKeyHandle key, const char16_t* description) {
  return WriteCommentValue(program.ports.registry, key, program.ports.clock, description);
}

// The shown card has a record the checker can act on: its "data" decodes
// for this card, as the lookup and the checker read it. Opened for reading
// only, so that asking creates no key.
bool HasLoginRecord(SettingProgram& program) {
  const CardIdentity& identity = program.state.card.identity;
  CardIdentity permuted{};
  char16_t path[kRecordPathSize];
  FormatRecordPath(RecordKeyValue(identity, permuted), path);
  bool found = false;
  RegKey key(program.ports.registry);
  if (key.Open(RegRoot::LocalMachine, path, RegAccess::QueryValue) == RegResult::Ok) {
    LoginStrings strings;  // wipes the password it holds
    found = ReadLoginData(program.ports.registry, key.handle(), identity, permuted,
                          kMaxLoginData, strings) == LoginDataResult::Ok;
  }
  SecureZero(permuted.data(), permuted.size());
  return found;
}

bool SameChoiceAsStored(const SettingState& state) {
  return SameRemovalAction(state.choice, state.stored) &&
         state.choice.interval == state.stored.interval;
}

}  // namespace

void LookUpRecord(SettingProgram& program, DialogView& view) {
  SettingState& state = program.state;
  state.recordOwner = 0;
  state.rememberedDescription[0] = 0;

  const CardIdentity& identity = state.card.identity;
  CardIdentity permuted{};
  char16_t path[kRecordPathSize];
  FormatRecordPath(RecordKeyValue(identity, permuted), path);
  // The process-wide copy names the card last shown: the card list marks its row.
  state.card.permuted = permuted;
  RegKey key(program.ports.registry);
  if (key.Open(RegRoot::LocalMachine, path, RegAccess::QueryValue) != RegResult::Ok) return;

  {
    LoginStrings strings;  // wipes the password it holds
    const LoginDataResult data = ReadLoginData(program.ports.registry, key.handle(), identity,
                                               permuted, kMaxLoginData, strings);
    SecureZero(permuted.data(), permuted.size());
    // Undecodable data (another card's, or damaged) counts as none.
    if (data != LoginDataResult::Ok) return;
    view.SetText(IDC_USER, strings.user);
    view.SetText(IDC_TARGET, strings.target);
    if (SameText(strings.user, state.currentUser)) state.recordOwner = 1;
  }

  RecordComment comment;
  if (ReadComment(program.ports.registry, key.handle(), comment)) {
    CopyText(state.rememberedDescription, kTextSize, comment.description);
    view.SetText(IDC_DESCRIPTION, state.rememberedDescription);
    char16_t format[kTextSize];
    char16_t heading[kTextSize];
    char16_t status[kTextSize];
    LoadText(program, IDS_REGISTERED, format);
    FormatText(heading, kTextSize, format, CardKindLabel(state.card.cardKind));
    FormatText(status, kTextSize, u"%s%s", heading, comment.time);
    view.SetText(IDC_STATUS, status);
  } else {
    view.SetText(IDC_DESCRIPTION, u"");
  }

  state.stored.type = static_cast<int32_t>(
      ReadDwordValue(program.ports.registry, key.handle(), names::kType, kNoRemovalAction));
  state.stored.interval = static_cast<int32_t>(
      ReadDwordValue(program.ports.registry, key.handle(), names::kInterval, kDefaultInterval));
  // Read as "type" and "interval" are: any 4 bytes count, whatever the value
  // type; only 1 is a lock, and only beside type 0 (IsLockAction).
  state.stored.lock =
      ReadDwordValue(program.ports.registry, key.handle(), names::kLock, 0) == kLockValue;
}

int WriteLoginRecord(SettingProgram& program, const char16_t* user, const char16_t* password,
                     const char16_t* target, const char16_t* description) {
  const CardIdentity& identity = program.state.card.identity;
  const WriteResult written =
      WriteLoginRecord(program.ports.registry, program.ports.clock, program.ports.random,
                       identity, user, password, target, description);
  int message = IDS_WRITTEN;
  uint32_t style = mb::kOk;
  if (written == WriteResult::TooLong) {
    message = TextLength(description) > kMaxDescription ? IDS_DESCRIPTION_TOO_LONG
                                                        : IDS_LOGIN_TOO_LONG;
    style = mb::kIconError;
  } else if (written != WriteResult::Ok) {
    message = IDS_WRITE_FAILED;
  } else {
    // The record writer closes its key; the removal settings go into the
    // same record, after "data" and "comment".
    char16_t path[kRecordPathSize];
    RecordPathOf(identity, path);
    RegKey key(program.ports.registry);
    StoreOutcome stored = StoreOutcome::Failed;
    if (key.Create(RegRoot::LocalMachine, path) == RegResult::Ok) {
      stored = StoreRemovalSettings(program, key.handle());
    }
    if (stored == StoreOutcome::Failed) {
      message = IDS_WRITE_FAILED;
    } else if (stored == StoreOutcome::StoredWithoutAutostart) {
      message = IDS_NO_AUTOSTART;
      style = mb::kIconWarning;
    }
  }
  // The login data is in the registry even when a removal setting after it
  // failed: who enrolled the card must show all the same, with the settings
  // the record now holds.
  if (written == WriteResult::Ok) AuditCardRegistered(program, user, target, description);
  if (message == IDS_WRITE_FAILED || message == IDS_NO_AUTOSTART) AuditWriteFailure(program, message);
  ShowMessage(program, message, style);
  return message;
}

int UpdateDescription(SettingProgram& program, DialogView& view, RegKeyHandle recordKey) {
  char16_t description[kTextSize];
  if (!ReadField(view, IDC_DESCRIPTION, description)) return 0;
  SettingState& state = program.state;
  if (SameText(description, state.rememberedDescription)) return 0;
  if (WriteComment(program, recordKey, description) != RegResult::Ok) return -1;
  // Remembered only once written, so that a retry writes it again.
  CopyText(state.rememberedDescription, kTextSize, description);
  return 1;
}

int UpdateRecordSettings(SettingProgram& program, DialogView& view) {
  SettingState& state = program.state;
  if (ReadRemovalChoice(program, view) == 0) {
    ShowMessage(program, IDS_NOTHING_CHANGED, mb::kIconInformation);
    return 0;
  }
  if (!CheckIntervalRule(program)) return 0;
  {
    // A changed description too long for the readers is refused before the
    // record is touched.
    char16_t description[kTextSize];
    if (ReadField(view, IDC_DESCRIPTION, description) &&
        !SameText(description, state.rememberedDescription) &&
        TextLength(description) > kMaxDescription) {
      ShowMessage(program, IDS_DESCRIPTION_TOO_LONG, mb::kIconError);
      return 0;
    }
  }

  char16_t path[kRecordPathSize];
  RecordPathOf(state.card.identity, path);
  RegKey key(program.ports.registry);
  if (key.Create(RegRoot::LocalMachine, path) != RegResult::Ok) {
    ShowMessage(program, IDS_NOTHING_CHANGED, mb::kIconInformation);
    return 0;
  }

  if (SameChoiceAsStored(state)) {
    const int wrote = UpdateDescription(program, view, key.handle());
    key.Close();
    if (wrote > 0) {
      AuditRecordUpdated(program, kChangedDescription, state.rememberedDescription);
      ShowMessage(program, IDS_DESCRIPTION_UPDATED, mb::kOk);
      return 1;
    }
    if (wrote < 0) {
      AuditWriteFailure(program, IDS_WRITE_FAILED);
      ShowMessage(program, IDS_WRITE_FAILED, mb::kOk);
      return 0;
    }
    ShowMessage(program, IDS_NOTHING_CHANGED, mb::kIconInformation);
    return 0;
  }

  const RemovalSettings before = state.stored;
  const StoreOutcome stored = StoreRemovalSettings(program, key.handle());
  const int described =
      stored != StoreOutcome::Failed ? UpdateDescription(program, view, key.handle()) : -1;
  key.Close();
  if (described < 0) {
    AuditWriteFailure(program, IDS_WRITE_FAILED);
    ShowMessage(program, IDS_WRITE_FAILED, mb::kOk);
    return 0;
  }
  AuditRecordUpdated(program,
                     (described > 0 ? kChangedDescription : 0u) |
                         (SameRemovalAction(before, state.stored) ? 0u : kChangedAction) |
                         (before.interval == state.stored.interval ? 0u : kChangedInterval),
                     state.rememberedDescription);
  if (stored == StoreOutcome::StoredWithoutAutostart) {
    AuditWriteFailure(program, IDS_NO_AUTOSTART);
    ShowMessage(program, IDS_NO_AUTOSTART, mb::kIconWarning);
    return 1;
  }
  ShowMessage(program, IDS_REMOVAL_UPDATED, mb::kOk);
  return 1;
}

void RegisterCommand(SettingProgram& program, DialogView& view) {
  SettingState& state = program.state;
  RegisterFields input;
  if (!ReadField(view, IDC_PASSWORD, input.password)) return;

  if (input.password[0] == 0) {
    // The update without password: only the description and the action, of
    // a record that exists. Without "data" no action could ever fire, and a
    // key without "comment" would not even show in the card list.
    if (!HasLoginRecord(program)) {
      ShowMessage(program, IDS_NOT_REGISTERED, mb::kIconInformation);
      return;
    }
    const bool haveUser = ReadField(view, IDC_USER, input.user);
    // Without the removal controls there is no choice to check; the update
    // itself then reports that nothing was written.
    if (haveUser && ReadRemovalChoice(program, view) != 0 &&
        CheckRemovalOwner(program, input.user) == 0) {
      return;
    }
    UpdateRecordSettings(program, view);
    return;
  }

  if (!ReadField(view, IDC_PASSWORD_AGAIN, input.again)) return;
  if (!SameText(input.password, input.again)) {
    ShowMessage(program, IDS_PASSWORDS_DIFFER, mb::kIconError);
    return;
  }
  if (!ReadField(view, IDC_USER, input.user) || !ReadField(view, IDC_TARGET, input.target) ||
      !ReadField(view, IDC_DESCRIPTION, input.description)) {
    return;
  }
  // Refused before the overwrite question: the answer could not help.
  if (const int tooLong = TooLongMessage(input)) {
    ShowMessage(program, tooLong, mb::kIconError);
    return;
  }
  if (state.recordOwner) {
    char16_t question[kTextSize];
    LoadText(program, IDS_OVERWRITE, question);
    if (ShowMessageText(program, &view, question, mb::kYesNo) != mb::kAnswerYes) return;
  }
  if (ReadRemovalChoice(program, view) == 0) return;
  if (!CheckIntervalRule(program)) return;
  if (CheckRemovalOwner(program, input.user) == 0) return;
  WriteLoginRecord(program, input.user, input.password, input.target, input.description);
}

}  // namespace orvane
