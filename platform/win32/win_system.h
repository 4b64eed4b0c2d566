// SystemPort on Win32: the account name of the user running the process.
#ifndef ORVANE_PLATFORM_WIN32_WIN_SYSTEM_H
#define ORVANE_PLATFORM_WIN32_WIN_SYSTEM_H

#include "platform/system_port.h"

namespace orvane {

class WinSystem : public SystemPort {
 public:
  bool UserName(char16_t* out, std::size_t capacity) override;
};

}  // namespace orvane

#endif
