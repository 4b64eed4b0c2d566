#include "store/audit_text.h"

#include "store/removal_type.h"
#include "store/text_format.h"

namespace orvane {

namespace {

// Eight hex digits, as Windows' headers write the flags.
struct Hex8 {
  explicit Hex8(uint32_t v) {
    static const char16_t kDigits[] = u"0123456789abcdef";
    for (int i = 7; i >= 0; --i, v >>= 4) text[i] = kDigits[v & 0xF];
    text[8] = 0;
  }
  char16_t text[9];
};

}  // namespace

void FormatRemovalAction(uint32_t type, bool lock, char16_t (&out)[kAuditTextSize]) {
  if (lock && IsLockRecord(type, kLockValue)) {
    FormatText(out, kAuditTextSize, u"lock (LockWorkStation)");
    return;
  }
  if (type == kNoRemovalAction) {
    FormatText(out, kAuditTextSize, u"none");
    return;
  }
  const RemovalActionWords* words = WordsForRemoval(type);
  if (words == nullptr) {
    FormatText(out, kAuditTextSize, u"ExitWindowsEx 0x%s", Hex8(type).text);
    return;
  }
  FormatText(out, kAuditTextSize, u"%s%s (ExitWindowsEx 0x%s)", words->audit,
             IsForcedRemoval(type) ? u", forced" : u"", Hex8(type).text);
}

void FormatErrorCode(uint32_t code, char16_t (&out)[kAuditTextSize]) {
  FormatText(out, kAuditTextSize, u"%u", static_cast<unsigned>(code));
}

void FormatSeconds(uint32_t seconds, char16_t (&out)[kAuditTextSize]) {
  FormatText(out, kAuditTextSize, u"%u", static_cast<unsigned>(seconds));
}

}  // namespace orvane
