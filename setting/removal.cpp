#include "setting/removal.h"

#include <climits>
#include <cstdint>

#include "setting/audit.h"
#include "setting/resource.h"
#include "setting/string_table.h"
#include "store/record_owner.h"
#include "store/registry_store.h"
#include "store/removal_type.h"
#include "store/shared_names.h"
#include "store/text_format.h"

namespace orvane {

namespace {

constexpr uint32_t kSignOutMajor = 10;
constexpr uint32_t kSignOutBuild = 22000;
constexpr int kActionCount = 4;  // log off (sign out), shut down, reboot, lock
constexpr int kLockEntry = 3;

// White space as the C library's text-to-integer conversion skips it.
bool IsSpace(char16_t c) { return c == u' ' || (c >= u'\t' && c <= u'\r'); }

// The removal settings' numbers as the record stores them.
RegResult WriteNumber(RegistryPort& registry, RegKeyHandle key, const char16_t* name,
                      int32_t value) {
  return WriteDwordValue(registry, key, name, static_cast<uint32_t>(value));
}

bool HasAction(const RemovalSettings& settings) {
  return static_cast<uint32_t>(settings.type) != kNoRemovalAction;
}

// The autostart value: OrvaneChecker.exe beside this program, in double
// quotes, REG_SZ with its terminator. Unquoted, a folder name with a
// space would let an earlier component (C:\Program.exe) run at every logon in
// the checker's place. False when the quoted path does not fit in 260
// characters (nothing is written then) or the write fails. quoted receives
// the value, for the audit trail.
bool WriteRunValue(SettingProgram& program, RegKeyHandle runKey,
                   char16_t (&quoted)[kTextSize]) {
  constexpr std::size_t kQuotes = 2;
  char16_t path[kTextSize];
  quoted[0] = 0;
  if (!PathBesideProgram(program, names::kCheckerExe, path, kTextSize - kQuotes)) return false;
  FormatText(quoted, kTextSize, u"\"%s\"", path);
  // Windows itself reads this value at logon: a terminated text is what it expects.
  return WriteTerminatedTextValue(program.ports.registry, runKey, names::kRunValue, quoted) ==
         RegResult::Ok;
}

// Switching the action off: the autostart value goes. A value that is not
// there (set up from another account, or removed by hand) is already the
// wanted state; false for any other failure to delete it.
bool RemoveAutostart(SettingProgram& program, RegKeyHandle runKey) {
  const RegResult r = program.ports.registry.DeleteValue(runKey, names::kRunValue);
  return r == RegResult::Ok || r == RegResult::NotFound;
}

}  // namespace

bool IsLockAction(const RemovalSettings& settings) {
  return IsLockRecord(static_cast<uint32_t>(settings.type), settings.lock ? kLockValue : 0);
}

bool SameRemovalAction(const RemovalSettings& a, const RemovalSettings& b) {
  return a.type == b.type && IsLockAction(a) == IsLockAction(b);
}

bool IsSignOutWording(SettingProgram& program) {
  OsVersion version;
  if (!program.ports.system.GetOsVersion(version)) return false;
  return version.major >= kSignOutMajor && version.build >= kSignOutBuild;
}

void FillRemovalList(SettingProgram& program, DialogView& view) {
  const int ids[] = {IsSignOutWording(program) ? IDS_SIGN_OUT : IDS_LOG_OFF, IDS_SHUT_DOWN,
                     IDS_REBOOT, IDS_LOCK};
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
  // Forcing has no meaning for a lock: no program is asked to close.
  view.Enable(IDC_FORCE, enabled && view.SelectedItem(IDC_REMOVAL_ACTION) != kLockEntry);
  view.Enable(IDC_INTERVAL_LABEL, enabled);
  view.Enable(IDC_INTERVAL, enabled);
}

void RemovalActionChanged(DialogView& view) {
  if (view.SelectedItem(IDC_REMOVAL_ACTION) == kLockEntry) view.SetCheck(IDC_FORCE, false);
  EnableRemovalControls(view, view.IsChecked(IDC_REMOVAL_ON));
}

void ShowInterval(DialogView& view, int32_t seconds) {
  char16_t text[16];
  FormatText(text, 16, u"%d", static_cast<int>(seconds));
  view.SetText(IDC_INTERVAL, text);
}

int32_t ReadInterval(DialogView& view) {
  char16_t text[kTextSize];
  view.GetText(IDC_INTERVAL, text, kTextSize);
  text[kTextSize - 1] = 0;
  const char16_t* p = text;
  while (IsSpace(*p)) ++p;
  bool negative = false;
  if (*p == u'+' || *p == u'-') negative = (*p++ == u'-');
  // Out of range saturates, as strtol does, instead of wrapping.
  int64_t value = 0;
  for (; *p >= u'0' && *p <= u'9'; ++p) {
    value = value * 10 + (*p - u'0');
    if (value > static_cast<int64_t>(INT32_MAX) + 1) value = static_cast<int64_t>(INT32_MAX) + 1;
  }
  if (negative) value = -value;
  if (value > INT32_MAX) value = INT32_MAX;
  if (value < INT32_MIN) value = INT32_MIN;
  return static_cast<int32_t>(value);
}

bool ReadRemovalChoice(SettingProgram& program, DialogView& view) {
  RemovalSettings& choice = program.state.choice;
  if (!view.IsChecked(IDC_REMOVAL_ON)) {
    choice = RemovalSettings{};
    return true;
  }
  const int action = view.SelectedItem(IDC_REMOVAL_ACTION);
  // No entry selected would otherwise turn into an action nobody chose.
  if (action < 0 || action >= kActionCount) return false;
  if (action == kLockEntry) {
    // A plain log off to every reader that does not know "lock"; never with
    // force, whatever the (disabled) box says.
    choice.type = static_cast<int32_t>(removal::kLogOff);
    choice.lock = true;
  } else {
    const uint32_t force = view.IsChecked(IDC_FORCE) ? removal::kForceIfHung : 0;
    choice.type = static_cast<int32_t>(static_cast<uint32_t>(action) | force);
    choice.lock = false;
  }
  choice.interval = ReadInterval(view);
  return true;
}

Message CheckIntervalRule(const SettingState& state) {
  const RemovalSettings& choice = state.choice;
  if (!HasAction(choice) || choice.interval >= 1) return {};
  return {IDS_INTERVAL_TOO_SMALL, mb::kIconError};
}

Message CheckRemovalOwner(SettingProgram& program, const char16_t* loginUser) {
  // Lock and log off share "type" but are different actions.
  if (SameRemovalAction(program.state.choice, program.state.stored)) return {};
  // The checker arms only for the same owner, so no action is set it would refuse.
  if (IsLoggedOnUser(program.ports.account, loginUser)) return {};
  return {IDS_NOT_OWNER, mb::kIconError};
}

StoreOutcome StoreRemovalSettings(SettingProgram& program, RegKeyHandle recordKey) {
  RegistryPort& registry = program.ports.registry;
  const RemovalSettings choice = program.state.choice;
  RemovalSettings& stored = program.state.stored;
  bool autostart = true;
  const bool typeChanged = choice.type != stored.type;
  // A "lock" left beside another type goes as well, so that a later switch
  // to log off cannot turn into a lock nobody chose.
  const bool lockChanged = choice.lock != stored.lock;
  const bool switchingOff = !HasAction(choice);
  if (typeChanged &&
      WriteNumber(registry, recordKey, names::kType, choice.type) != RegResult::Ok) {
    return StoreOutcome::Failed;
  }
  if (lockChanged && !WriteLockValue(registry, recordKey, choice.lock)) {
    // "type" and "lock" are one action: the stored settings stay as they
    // were, so that a retry writes both again and then the autostart value.
    // Already off in the record, though: a running checker must not act on
    // what no longer holds.
    if (typeChanged && switchingOff) {
      program.ports.system.CloseWindowOf(names::kCheckerClass, names::kCheckerTitle);
    }
    return StoreOutcome::Failed;
  }
  // Only what the record now holds: a retry must write it again.
  stored.type = choice.type;
  stored.lock = choice.lock;
  // Lock and log off differ only in "lock": both are an action, so the
  // autostart value stays as it is.
  if (typeChanged) {
    bool done = true;
    {
      RegKey run(registry);
      if (run.Create(RegRoot::CurrentUser, names::kRunKey) == RegResult::Ok) {
        char16_t runValue[kTextSize];
        done = switchingOff ? RemoveAutostart(program, run.handle())
                            : WriteRunValue(program, run.handle(), runValue);
        if (done && switchingOff) AuditRemovalSwitchedOff(program);
        if (done && !switchingOff) AuditRemovalSwitchedOn(program, runValue);
      } else if (!switchingOff) {
        // The action is in the record, but nothing will start the checker:
        // the caller says so instead of reporting success.
        autostart = false;
      }
    }
    // The action is off in the record whatever the Run key allowed: a
    // checker still running would act on a setting that no longer holds.
    if (switchingOff) {
      program.ports.system.CloseWindowOf(names::kCheckerClass, names::kCheckerTitle);
    }
    if (!done) return StoreOutcome::Failed;
  }
  if (choice.interval != stored.interval) {
    if (WriteNumber(registry, recordKey, names::kInterval, choice.interval) != RegResult::Ok) {
      return StoreOutcome::Failed;
    }
    stored.interval = choice.interval;
  }
  return autostart ? StoreOutcome::Stored : StoreOutcome::StoredWithoutAutostart;
}

void ShowRemovalSettings(SettingProgram& program, DialogView& view) {
  const RemovalSettings& stored = program.state.stored;
  view.Enable(IDC_REMOVAL_ON, true);
  if (!HasAction(stored)) {
    view.SetCheck(IDC_REMOVAL_ON, false);
    EnableRemovalControls(view, false);
    return;
  }
  const uint32_t type = static_cast<uint32_t>(stored.type);
  view.SetCheck(IDC_REMOVAL_ON, true);
  view.SetCheck(IDC_FORCE, IsForcedRemoval(type));
  if (IsLockAction(stored)) {
    view.SelectItem(IDC_REMOVAL_ACTION, kLockEntry);
  } else if (IsWrittenRemovalType(type)) {
    // Entries 0 to 2 are the actions in the order of their numbers.
    view.SelectItem(IDC_REMOVAL_ACTION, static_cast<int>(RemovalAction(type)));
  }
  ShowInterval(view, stored.interval);
  EnableRemovalControls(view, true);
}

}  // namespace orvane
