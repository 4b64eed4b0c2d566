// SystemPort on Win32: the account of the user running the process.
#ifndef ORVANE_PLATFORM_WIN32_WIN_SYSTEM_H
#define ORVANE_PLATFORM_WIN32_WIN_SYSTEM_H

#include "platform/system_port.h"
// Both programs' entries restrict the DLL search through this header.
#include "platform/win32/win_dll.h"

namespace orvane {

class WinSystem : public SystemPort {
 public:
  bool UserName(char16_t* out, std::size_t capacity) override;
  bool InternetAccountOf(const char16_t* server, const char16_t* user,
                         InternetAccount& out) override;
};

}  // namespace orvane

#endif
