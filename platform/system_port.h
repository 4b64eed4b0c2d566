// Small facts and services of the system that the core asks for.
#ifndef ORVANE_PLATFORM_SYSTEM_PORT_H
#define ORVANE_PLATFORM_SYSTEM_PORT_H

#include <cstddef>
#include <cstdint>

namespace orvane {

struct LocalTime {
  int year, month, day, hour, minute, second;
};

class ClockPort {
 public:
  virtual ~ClockPort() = default;
  virtual LocalTime Now() = 0;                // GetLocalTime
  virtual uint32_t SecondsSinceEpoch() = 0;  // time(), to seed the filler generator
};

// The C library's srand/rand: the filler bytes of a login record.
class RandomPort {
 public:
  virtual ~RandomPort() = default;
  virtual void Seed(uint32_t seed) = 0;
  virtual int Next() = 0;
};

// What NetUserGetInfo level 24 told about an account.
struct InternetAccount {
  bool hasPrincipal = false;  // usri24_internet_principal_name not null
  bool hasProvider = false;   // usri24_internet_provider_name not null
  char16_t principal[260] = {};
  char16_t provider[260] = {};
};

// The account the process runs as.
class SystemPort {
 public:
  virtual ~SystemPort() = default;
  // GetUserNameW into out (capacity in code units, terminator included); false on failure.
  virtual bool UserName(char16_t* out, std::size_t capacity) = 0;
  // NetUserGetInfo(server, user, 24), server null for this computer; false
  // when the call fails.
  virtual bool InternetAccountOf(const char16_t* server, const char16_t* user,
                                 InternetAccount& out) = 0;
};

class SessionPort {
 public:
  virtual ~SessionPort() = default;
  // OpenProcessToken, LookupPrivilegeValueW("SeShutdownPrivilege"),
  // AdjustTokenPrivileges; true only when the privilege is now enabled
  // (last error 0 after the adjustment).
  virtual bool EnableShutdownPrivilege() = 0;
  // ExitWindowsEx(flags, 0); asynchronous: true when the request was taken
  // (the session ends afterwards), false when the system refused it.
  virtual bool RequestSessionEnd(uint32_t flags) = 0;
  // LockWorkStation; needs no privilege. True when the lock was started
  // (it completes asynchronously), false when the system refused it.
  virtual bool LockWorkstation() = 0;
  // The Win32 error code of the last of these calls that failed (0 while
  // none has): for the audit trail, never for a decision.
  virtual uint32_t LastError() const { return 0; }
};

class DebugOutputPort {
 public:
  virtual ~DebugOutputPort() = default;
  // OutputDebugStringW.
  virtual void Write(const char16_t* line) = 0;
};

}  // namespace orvane

#endif
