#include "checker/checker.h"

#include "store/audit_events.h"
#include "store/audit_text.h"
#include "store/record_owner.h"
#include "store/registry_store.h"
#include "store/text_format.h"

#include <cstdarg>

namespace orvane {

const char16_t kLineNoCard[] = u"no card\n";
const char16_t kLineNoRegistryData[] = u"no registry data\n";
const char16_t kLineNoShutdownData[] = u"no shutdown data\n";
const char16_t kLineOtherUser[] = u"user != login_user\n";
const char16_t kLineShutdown[] = u"shutdown\n";
const char16_t kLineLock[] = u"lock\n";

namespace {

// The ExitWindowsEx flags that may accompany EWX_LOGOFF (0) in a plain log
// off: EWX_FORCE and EWX_FORCEIFHUNG.
constexpr uint32_t kEwxForce = 0x4;
constexpr uint32_t kEwxForceIfHung = removal::kForceIfHung;

// The removal action as the audit trail names it.
void ActionText(const Checker& checker, char16_t (&out)[kAuditTextSize]) {
  FormatRemovalAction(checker.removalType, checker.lockOnRemoval, out);
}

// One event about the card's absence, unless the same event with the same
// code was already logged since the card was last seen.
void ReportOnce(Checker& checker, const events::Kind& kind, uint32_t code,
                const char16_t* privilege = nullptr) {
  if (checker.reportedEvent == kind.id && checker.reportedCode == code) return;
  checker.reportedEvent = kind.id;
  checker.reportedCode = code;
  char16_t action[kAuditTextSize];
  ActionText(checker, action);
  char16_t codeText[kAuditTextSize];
  FormatErrorCode(code, codeText);
  if (privilege != nullptr) {
    events::Report(checker.events, kind,
                   {checker.account, checker.recordKey, action, privilege, codeText});
  } else {
    events::Report(checker.events, kind, {checker.account, checker.recordKey, action, codeText});
  }
}

void ReportRequest(Checker& checker, bool taken) {
  if (taken) {
    ReportOnce(checker, events::kSessionEndRequested, 0);
  } else {
    ReportOnce(checker, events::kSessionEndFailed, checker.session.LastError());
  }
}

}  // namespace

void DebugLine(Checker& checker, const char16_t* format, ...) {
  va_list args;
  va_start(args, format);
  FormatTextV(checker.debugLine, kDebugLineSize, format, args);
  va_end(args);
  checker.debug.Write(checker.debugLine);
}

bool ReadCheckerRecord(Checker& checker) {
  const CardIdentity& identity = checker.poller.Identity();
  CardIdentity permuted;
  char16_t path[kRecordPathSize];
  FormatRecordPath(RecordKeyValue(identity, permuted), path);

  RegKey key(checker.registry);
  if (key.Open(RegRoot::LocalMachine, path, RegAccess::QueryValue) != RegResult::Ok) return false;

  // The same limit as the settings program: every record it writes is read.
  bool haveData = false;
  {
    LoginStrings strings;
    if (ReadLoginData(checker.registry, key.handle(), identity, permuted, kMaxLoginData,
                      strings) == LoginDataResult::Ok) {
      BoundedCopy(checker.recordUser, kTextSize, strings.user);
      haveData = true;
    }
  }
  const RemovalValues removal = ReadRemovalValues(checker.registry, key.handle());
  checker.removalType = removal.type;
  checker.lockOnRemoval = IsLockRecord(removal.type, removal.lock);
  checker.intervalSeconds = removal.interval;
  checker.periodMs = PeriodFromInterval(removal.interval);
  return haveData;
}

uint32_t PeriodFromInterval(uint32_t interval) {
  // A wrapped product would turn a huge interval into no watch or a short
  // one, and a period above the timer's maximum into one that never fires.
  const uint64_t ms = static_cast<uint64_t>(interval) * kPeriodPerSecond;
  return ms > kMaxPeriodMs ? kMaxPeriodMs : static_cast<uint32_t>(ms);
}

bool StartWatch(Checker& checker) {
  checker.armed = false;
  checker.lockedWhileAway = false;
  checker.poller.Prepare();
  bool found = checker.poller.Poll();
  // Only an absent service or reader is worth waiting for: a reader that
  // answers without a card is final, so a password logon leaves no process.
  for (int retry = 0; !found && !checker.poller.ReaderAnswered() && retry < kReaderRetries;
       ++retry) {
    checker.wait.Wait(kReaderRetryMs);
    found = checker.poller.Poll();
  }
  if (!found) {
    DebugLine(checker, kLineNoCard);
    return false;
  }
  if (!ReadCheckerRecord(checker)) {
    DebugLine(checker, kLineNoRegistryData);
    return false;
  }
  if (checker.removalType == kNoRemovalAction || checker.periodMs == 0) {
    DebugLine(checker, kLineNoShutdownData);
    return false;
  }
  if (!IsLoggedOnUser(checker.system, checker.recordUser)) {
    DebugLine(checker, kLineOtherUser);
    return false;
  }
  checker.saved = checker.poller.Identity();
  if (!checker.window.Create(checker.periodMs)) return false;
  checker.armed = true;
  {
    CardIdentity permuted;
    FormatRecordKey(RecordKeyValue(checker.saved, permuted), checker.recordKey);
    SecureZero(permuted.data(), permuted.size());  // half of the record's key
  }
  if (!checker.system.UserName(checker.account, kTextSize)) checker.account[0] = 0;
  checker.account[kTextSize - 1] = 0;
  checker.reportedEvent = 0;
  char16_t action[kAuditTextSize];
  ActionText(checker, action);
  char16_t interval[kAuditTextSize];
  FormatSeconds(checker.intervalSeconds, interval);
  events::Report(checker.events, events::kCheckerArmed,
                 {checker.account, checker.recordKey, action, interval});
  return true;
}


void WatchTick(Checker& checker) {
  if (checker.poller.Poll() && checker.poller.Identity() == checker.saved) {
    checker.lockedWhileAway = false;
    checker.reportedEvent = 0;
    return;
  }
  if (checker.lockOnRemoval) {
    // One lock per removal: a user who unlocks without the card is not
    // locked out again at the next tick. A refused lock left the session
    // open, so it is tried again.
    if (checker.lockedWhileAway) return;
    DebugLine(checker, kLineLock);
    checker.lockedWhileAway = checker.session.LockWorkstation();
    ReportRequest(checker, checker.lockedWhileAway);
    return;
  }
  DebugLine(checker, kLineShutdown);
  EndSession(checker);
}

bool NeedsShutdownPrivilege(uint32_t flags) {
  // Anything but a plain log off asks for the privilege, bits unknown today
  // included: a restart that silently fails is worse than one refused.
  return (flags & ~(kEwxForce | kEwxForceIfHung)) != 0;
}

void EndSession(Checker& checker) {
  // A plain log off needs no privilege: a missing one must not keep the user on.
  if (NeedsShutdownPrivilege(checker.removalType) && !checker.session.EnableShutdownPrivilege()) {
    ReportOnce(checker, events::kPrivilegeFailed, checker.session.LastError(),
               u"SeShutdownPrivilege");
    return;
  }
  ReportRequest(checker, checker.session.RequestSessionEnd(checker.removalType));
}

}  // namespace orvane
