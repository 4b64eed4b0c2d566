#include "checker/checker.h"

#include <cstdarg>
#include <cstring>

namespace orvane {

const char16_t kLineNoCard[] = u"no card\n";
const char16_t kLineNoRegistryData[] = u"no registry data\n";
const char16_t kLineNoShutdownData[] = u"no shutdown data\n";
const char16_t kLineOtherUser[] = u"user != login_user\n";
const char16_t kLineShutdown[] = u"shutdown\n";

namespace {

// The ExitWindowsEx flags that may accompany EWX_LOGOFF (0) in a plain log
// off: EWX_FORCE and EWX_FORCEIFHUNG.
constexpr uint32_t kEwxForce = 0x4;
constexpr uint32_t kEwxForceIfHung = 0x10;

class TextSink {
 public:
  TextSink(char16_t* out, int capacity) : out_(out), capacity_(capacity) {}
  void Put(char16_t c) {
    if (length_ + 1 < capacity_) out_[length_++] = c;
  }
  void PutNumber(uint32_t value, uint32_t base) {
    char16_t digits[16];
    int n = 0;
    do {
      uint32_t d = value % base;
      digits[n++] = static_cast<char16_t>(d < 10 ? u'0' + d : u'a' + (d - 10));
      value /= base;
    } while (value != 0);
    while (n > 0) Put(digits[--n]);
  }
  int Finish() {
    if (capacity_ > 0) out_[length_] = 0;
    return length_;
  }

 private:
  char16_t* out_;
  int capacity_;
  int length_ = 0;
};

int FormatDebugTextV(char16_t* out, int capacity, const char16_t* format, va_list args) {
  TextSink sink(out, capacity);
  for (const char16_t* p = format; p != nullptr && *p != 0; ++p) {
    if (*p != u'%') {
      sink.Put(*p);
      continue;
    }
    char16_t conversion = p[1];
    if (conversion == 0) {
      sink.Put(u'%');
      break;
    }
    ++p;
    switch (conversion) {
      case u's': {
        const char16_t* s = va_arg(args, const char16_t*);
        if (s == nullptr) s = u"(null)";
        while (*s != 0) sink.Put(*s++);
        break;
      }
      case u'd': {
        int v = va_arg(args, int);
        uint32_t magnitude = static_cast<uint32_t>(v);
        if (v < 0) {
          sink.Put(u'-');
          magnitude = 0u - magnitude;
        }
        sink.PutNumber(magnitude, 10);
        break;
      }
      case u'u':
        sink.PutNumber(va_arg(args, unsigned int), 10);
        break;
      case u'x':
        sink.PutNumber(va_arg(args, unsigned int), 16);
        break;
      case u'%':
        sink.Put(u'%');
        break;
      default:  // unknown conversions are written as they stand
        sink.Put(u'%');
        sink.Put(conversion);
        break;
    }
  }
  return sink.Finish();
}

}  // namespace

int FormatDebugText(char16_t* out, int capacity, const char16_t* format, ...) {
  va_list args;
  va_start(args, format);
  int n = FormatDebugTextV(out, capacity, format, args);
  va_end(args);
  return n;
}

void DebugLine(Checker& checker, const char16_t* format, ...) {
  va_list args;
  va_start(args, format);
  FormatDebugTextV(checker.debugLine, kDebugLineSize, format, args);
  va_end(args);
  checker.debug.Write(checker.debugLine);
}

int ReadCheckerRecord(Checker& checker) {
  const CardIdentity& identity = checker.poller.Identity();
  CardIdentity permuted;
  char16_t path[kRecordPathSize];
  FormatRecordPath(RecordKeyValue(identity, permuted), path);

  RegKey key(checker.registry);
  if (key.Open(RegRoot::LocalMachine, path, RegAccess::QueryValue) != RegResult::Ok) return 0;

  // The same limit as the settings program: every record it writes is read.
  int haveData = 0;
  {
    LoginStrings strings;
    if (ReadLoginData(checker.registry, key.handle(), identity, permuted, kMaxLoginData,
                      strings) == LoginDataResult::Ok) {
      std::memcpy(checker.recordUser, strings.user, sizeof checker.recordUser);
      checker.recordUser[kTextSize - 1] = 0;
      haveData = 1;
    }
  }
  checker.removalType = ReadDwordValue(checker.registry, key.handle(), u"type", kNoRemovalAction);
  uint32_t interval = ReadDwordValue(checker.registry, key.handle(), u"interval", kDefaultInterval);
  checker.periodMs = interval * kPeriodPerSecond;  // wraps in 32 bits, as the timer takes it
  return haveData;
}

namespace {

bool SameUser(const char16_t* a, const char16_t* b) {
  for (int i = 0; i < kTextSize; ++i) {
    if (a[i] != b[i]) return false;
    if (a[i] == 0) return true;
  }
  return true;
}

}  // namespace

int StartWatch(Checker& checker) {
  checker.armed = false;
  checker.poller.Prepare();
  if (checker.poller.Poll() == 0) {
    DebugLine(checker, kLineNoCard);
    return 0;
  }
  if (ReadCheckerRecord(checker) == 0) {
    DebugLine(checker, kLineNoRegistryData);
    return 0;
  }
  if (checker.removalType == kNoRemovalAction || checker.periodMs == 0) {
    DebugLine(checker, kLineNoShutdownData);
    return 0;
  }
  char16_t user[kTextSize] = {};
  bool haveUser = checker.system.UserName(user, kTextSize);
  user[kTextSize - 1] = 0;
  if (!haveUser || !SameUser(user, checker.recordUser)) {
    DebugLine(checker, kLineOtherUser);
    return 0;
  }
  checker.saved = checker.poller.Identity();
  if (!checker.window.Create(checker.periodMs)) return 0;
  checker.armed = true;
  return 1;
}

void WatchTick(Checker& checker) {
  if (checker.poller.Poll() != 0 && checker.poller.Identity() == checker.saved) return;
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
  if (NeedsShutdownPrivilege(checker.removalType) && !checker.session.EnableShutdownPrivilege())
    return;
  checker.session.RequestSessionEnd(checker.removalType);
}

}  // namespace orvane
