// A record's removal settings: "type" holds the ExitWindowsEx flags the
// checker ends the session with when the card leaves (or kNoRemovalAction),
// "lock" = 1 beside a plain log off asks for a lock instead. Stored so, a
// reader that knows nothing of "lock" still logs the user off.
#ifndef ORVANE_STORE_REMOVAL_TYPE_H
#define ORVANE_STORE_REMOVAL_TYPE_H

#include <cstdint>

namespace orvane {

constexpr uint32_t kNoRemovalAction = 0xFFFFFFFFu;
constexpr uint32_t kDefaultInterval = 5;
constexpr uint32_t kLockValue = 1;

namespace removal {
// The actions the settings program writes, each optionally with kForceIfHung
// (EWX_FORCEIFHUNG).
constexpr uint32_t kLogOff = 0;    // EWX_LOGOFF
constexpr uint32_t kShutDown = 1;  // EWX_SHUTDOWN
constexpr uint32_t kReboot = 2;    // EWX_REBOOT
constexpr uint32_t kForceIfHung = 0x10;
}  // namespace removal

// The type without its force bit.
constexpr uint32_t RemovalAction(uint32_t type) { return type & ~removal::kForceIfHung; }
constexpr bool IsForcedRemoval(uint32_t type) { return (type & removal::kForceIfHung) != 0; }
// None, or log off, shut down or reboot, each optionally forced.
constexpr bool IsWrittenRemovalType(uint32_t type) {
  return type == kNoRemovalAction || RemovalAction(type) <= removal::kReboot;
}
// True when a record's "type" and "lock" ask for a lock: "lock" is exactly 1
// and "type" a plain, unforced log off (0). Beside any other type "lock" is
// ignored, so that type's action stays what it was.
constexpr bool IsLockRecord(uint32_t type, uint32_t lock) {
  return type == removal::kLogOff && lock == kLockValue;
}

// What an action (force bit aside) is called: the audit trail uses Windows'
// word for a reboot, orvane-card the settings program's. Null for a type
// the settings program never writes.
struct RemovalActionWords {
  const char16_t* audit;  // "log off", "shut down", "restart"
  const char* tool;       // "log off", "shut down", "reboot"
};
const RemovalActionWords* WordsForRemoval(uint32_t type);

}  // namespace orvane

#endif
