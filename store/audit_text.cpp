#include "store/audit_text.h"

#include "store/login_record.h"
#include "store/text_format.h"

namespace orvane {

namespace {

constexpr uint32_t kNone = 0xFFFFFFFF;
constexpr uint32_t kForceIfHung = 0x10;

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
  if (type == kNone) {
    FormatText(out, kAuditTextSize, u"none");
    return;
  }
  const char16_t* words = nullptr;
  switch (type & ~kForceIfHung) {
    case 0: words = u"log off"; break;
    case 1: words = u"shut down"; break;
    case 2: words = u"restart"; break;
    default: break;
  }
  if (words == nullptr) {
    FormatText(out, kAuditTextSize, u"ExitWindowsEx 0x%s", Hex8(type).text);
    return;
  }
  FormatText(out, kAuditTextSize, u"%s%s (ExitWindowsEx 0x%s)", words,
             (type & kForceIfHung) ? u", forced" : u"", Hex8(type).text);
}

void FormatErrorCode(uint32_t code, char16_t (&out)[kAuditTextSize]) {
  FormatText(out, kAuditTextSize, u"%u", static_cast<unsigned>(code));
}

void FormatSeconds(uint32_t seconds, char16_t (&out)[kAuditTextSize]) {
  FormatText(out, kAuditTextSize, u"%u", static_cast<unsigned>(seconds));
}

}  // namespace orvane
