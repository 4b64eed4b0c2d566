#include "setting/registration.h"

#include <cstdio>

#include "setting/audit.h"
#include "setting/removal.h"
#include "setting/resource.h"
#include "setting/string_table.h"
#include "store/registry_store.h"
#include "store/removal_type.h"
#include "store/secure_wipe.h"
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

void ReadField(DialogView& view, int id, char16_t (&out)[kTextSize]) {
  view.GetText(id, out, kTextSize);
  out[kTextSize - 1] = 0;
}

// None when the input fits the record, else the message that refuses it.
Message TooLongMessage(const RegisterFields& input) {
  const std::size_t login =
      BoundedLength(input.password) + BoundedLength(input.user) + BoundedLength(input.target);
  if (login > kMaxLoginUnits) return {IDS_LOGIN_TOO_LONG, mb::kIconError};
  if (BoundedLength(input.description) > kMaxDescription) {
    return {IDS_DESCRIPTION_TOO_LONG, mb::kIconError};
  }
  return {};
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
  state.recordOwner = false;
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
    if (SameText(strings.user, state.currentUser, kTextSize)) state.recordOwner = true;
  }

  RecordComment comment;
  if (ReadComment(program.ports.registry, key.handle(), comment)) {
    BoundedCopy(state.rememberedDescription, kTextSize, comment.description);
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

  const RemovalValues removal = ReadRemovalValues(program.ports.registry, key.handle());
  state.stored.type = static_cast<int32_t>(removal.type);
  state.stored.interval = static_cast<int32_t>(removal.interval);
  // Only 1 is a lock, and only beside type 0 (IsLockAction).
  state.stored.lock = removal.lock == kLockValue;
}

Message WriteLoginRecord(SettingProgram& program, const char16_t* user,
                         const char16_t* password, const char16_t* target,
                         const char16_t* description) {
  const CardIdentity& identity = program.state.card.identity;
  const WriteResult written =
      WriteLoginRecord(program.ports.registry, program.ports.clock, program.ports.random,
                       identity, user, password, target, description);
  Message message{IDS_WRITTEN, mb::kOk};
  if (written == WriteResult::TooLong) {
    message.id = BoundedLength(description) > kMaxDescription ? IDS_DESCRIPTION_TOO_LONG
                                                           : IDS_LOGIN_TOO_LONG;
    message.style = mb::kIconError;
  } else if (written != WriteResult::Ok) {
    message.id = IDS_WRITE_FAILED;
  } else {
    // The record writer closes its key; the removal settings go into the
    // same record, after "data" and "comment".
    char16_t path[kRecordPathSize];
    FormatCardRecordPath(identity, path);
    RegKey key(program.ports.registry);
    StoreOutcome stored = StoreOutcome::Failed;
    if (key.Create(RegRoot::LocalMachine, path) == RegResult::Ok) {
      stored = StoreRemovalSettings(program, key.handle());
    }
    if (stored == StoreOutcome::Failed) {
      message.id = IDS_WRITE_FAILED;
    } else if (stored == StoreOutcome::StoredWithoutAutostart) {
      message = {IDS_NO_AUTOSTART, mb::kIconWarning};
    }
  }
  // The login data is in the registry even when a removal setting after it
  // failed: who enrolled the card must show all the same, with the settings
  // the record now holds.
  if (written == WriteResult::Ok) AuditCardRegistered(program, user, target, description);
  if (message.id == IDS_WRITE_FAILED || message.id == IDS_NO_AUTOSTART) {
    AuditWriteFailure(program, message.id);
  }
  return message;
}

DescriptionUpdate UpdateDescription(SettingProgram& program, DialogView& view,
                                    RegKeyHandle recordKey) {
  char16_t description[kTextSize];
  ReadField(view, IDC_DESCRIPTION, description);
  SettingState& state = program.state;
  if (SameText(description, state.rememberedDescription, kTextSize)) {
    return DescriptionUpdate::Unchanged;
  }
  if (WriteComment(program, recordKey, description) != RegResult::Ok) {
    return DescriptionUpdate::Failed;
  }
  // Remembered only once written, so that a retry writes it again.
  BoundedCopy(state.rememberedDescription, kTextSize, description);
  return DescriptionUpdate::Written;
}

Message UpdateRecordSettings(SettingProgram& program, DialogView& view) {
  const Message nothingChanged{IDS_NOTHING_CHANGED, mb::kIconInformation};
  const Message writeFailed{IDS_WRITE_FAILED, mb::kOk};
  SettingState& state = program.state;
  if (!ReadRemovalChoice(program, view)) return nothingChanged;
  const Message interval = CheckIntervalRule(state);
  if (interval.Any()) return interval;
  {
    // A changed description too long for the readers is refused before the
    // record is touched.
    char16_t description[kTextSize];
    ReadField(view, IDC_DESCRIPTION, description);
    if (!SameText(description, state.rememberedDescription, kTextSize) &&
        BoundedLength(description) > kMaxDescription) {
      return {IDS_DESCRIPTION_TOO_LONG, mb::kIconError};
    }
  }

  char16_t path[kRecordPathSize];
  FormatCardRecordPath(state.card.identity, path);
  RegKey key(program.ports.registry);
  if (key.Create(RegRoot::LocalMachine, path) != RegResult::Ok) return nothingChanged;

  if (SameChoiceAsStored(state)) {
    const DescriptionUpdate wrote = UpdateDescription(program, view, key.handle());
    key.Close();
    switch (wrote) {
      case DescriptionUpdate::Written:
        AuditRecordUpdated(program, kChangedDescription, state.rememberedDescription);
        return {IDS_DESCRIPTION_UPDATED, mb::kOk};
      case DescriptionUpdate::Failed:
        AuditWriteFailure(program, IDS_WRITE_FAILED);
        return writeFailed;
      case DescriptionUpdate::Unchanged:
        break;
    }
    return nothingChanged;
  }

  const RemovalSettings before = state.stored;
  const StoreOutcome stored = StoreRemovalSettings(program, key.handle());
  const DescriptionUpdate described = stored != StoreOutcome::Failed
                                          ? UpdateDescription(program, view, key.handle())
                                          : DescriptionUpdate::Failed;
  key.Close();
  if (described == DescriptionUpdate::Failed) {
    AuditWriteFailure(program, IDS_WRITE_FAILED);
    return writeFailed;
  }
  AuditRecordUpdated(program,
                     (described == DescriptionUpdate::Written ? kChangedDescription : 0u) |
                         (SameRemovalAction(before, state.stored) ? 0u : kChangedAction) |
                         (before.interval == state.stored.interval ? 0u : kChangedInterval),
                     state.rememberedDescription);
  if (stored == StoreOutcome::StoredWithoutAutostart) {
    AuditWriteFailure(program, IDS_NO_AUTOSTART);
    return {IDS_NO_AUTOSTART, mb::kIconWarning};
  }
  return {IDS_REMOVAL_UPDATED, mb::kOk};
}

namespace {

// The update without password: only the description and the action, of a
// record that exists. Without "data" no action could ever fire, and a key
// without "comment" would not even show in the card list.
Message UpdateWithoutPassword(SettingProgram& program, DialogView& view,
                              RegisterFields& input) {
  if (!HasLoginRecord(program)) return {IDS_NOT_REGISTERED, mb::kIconInformation};
  ReadField(view, IDC_USER, input.user);
  // Without a chosen action there is no choice to check; the update itself
  // then reports that nothing was written.
  if (ReadRemovalChoice(program, view)) {
    const Message owner = CheckRemovalOwner(program, input.user);
    if (owner.Any()) return owner;
  }
  return UpdateRecordSettings(program, view);
}

// The registration with a password; none when the user declined the
// overwrite or chose no action.
Message Register(SettingProgram& program, DialogView& view, RegisterFields& input) {
  SettingState& state = program.state;
  ReadField(view, IDC_PASSWORD_AGAIN, input.again);
  if (!SameText(input.password, input.again, kTextSize)) {
    return {IDS_PASSWORDS_DIFFER, mb::kIconError};
  }
  ReadField(view, IDC_USER, input.user);
  ReadField(view, IDC_TARGET, input.target);
  ReadField(view, IDC_DESCRIPTION, input.description);
  // Refused before the overwrite question: the answer could not help.
  const Message tooLong = TooLongMessage(input);
  if (tooLong.Any()) return tooLong;
  if (state.recordOwner) {
    char16_t question[kTextSize];
    LoadText(program, IDS_OVERWRITE, question);
    if (ShowMessageText(program, &view, question, mb::kYesNo) != mb::kAnswerYes) return {};
  }
  if (!ReadRemovalChoice(program, view)) return {};
  const Message interval = CheckIntervalRule(state);
  if (interval.Any()) return interval;
  const Message owner = CheckRemovalOwner(program, input.user);
  if (owner.Any()) return owner;
  return WriteLoginRecord(program, input.user, input.password, input.target, input.description);
}

}  // namespace

void RegisterCommand(SettingProgram& program, DialogView& view) {
  RegisterFields input;
  ReadField(view, IDC_PASSWORD, input.password);
  ShowMessage(program, input.password[0] == 0 ? UpdateWithoutPassword(program, view, input)
                                              : Register(program, view, input));
}

}  // namespace orvane
