// The insertion strings the audit trail's events share: a removal action in
// words with its flags, an error code, a record key. Language-neutral
// English words, so that an event reads the same under every language of
// Event Viewer around it.
#ifndef ORVANE_STORE_AUDIT_TEXT_H
#define ORVANE_STORE_AUDIT_TEXT_H

#include <cstddef>
#include <cstdint>

namespace orvane {

constexpr std::size_t kAuditTextSize = 96;

// "none", "lock (LockWorkStation)" for a lock record (lock beside a plain
// log off), or the action in words and its ExitWindowsEx flags, e.g.
// "log off, forced (ExitWindowsEx 0x00000010)"; flags the settings program
// never writes are named as flags only.
void FormatRemovalAction(uint32_t type, bool lock, char16_t (&out)[kAuditTextSize]);
// A Win32 error code in decimal, as Windows' documentation lists them.
void FormatErrorCode(uint32_t code, char16_t (&out)[kAuditTextSize]);
// An interval in seconds, in decimal.
void FormatSeconds(uint32_t seconds, char16_t (&out)[kAuditTextSize]);

}  // namespace orvane

#endif
