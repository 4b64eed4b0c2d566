// Facts about the machine and the process that the settings program asks for
// besides the account (SystemPort).
#ifndef ORVANE_PLATFORM_SETTING_SYSTEM_PORT_H
#define ORVANE_PLATFORM_SETTING_SYSTEM_PORT_H

#include <cstddef>
#include <cstdint>

#include "platform/system_port.h"

namespace orvane {

struct OsVersion {
  uint32_t major = 0;
  uint32_t minor = 0;
  uint32_t build = 0;
};

class SettingSystemPort {
 public:
  virtual ~SettingSystemPort() = default;
  // GetComputerNameW; false (and empty) on failure.
  virtual bool ComputerName(char16_t* out, std::size_t capacity) = 0;
  // VerifyVersionInfoW: major 6, minor 2, service pack 0 or later.
  virtual bool IsWindows8OrLater() = 0;
  // RtlGetVersion of ntdll.dll (extended record); false when ntdll or the
  // entry point cannot be found.
  virtual bool GetOsVersion(OsVersion& out) = 0;
  // GetModuleFileNameW of the program into out; the length in code units, or
  // 0 on failure. A path cut by the buffer returns capacity.
  virtual std::size_t ModulePath(char16_t* out, std::size_t capacity) = 0;
  // WM_CLOSE to every top-level window with that class and title, each sent
  // with a timeout of a few seconds (SendMessageTimeoutW, SMTO_ABORTIFHUNG) so
  // that a hung window or another program's window of that name cannot hold
  // the caller; true when at least one window was found.
  virtual bool CloseWindowOf(const char16_t* className, const char16_t* title) = 0;
};

}  // namespace orvane

#endif
