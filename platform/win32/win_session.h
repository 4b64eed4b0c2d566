// SessionPort on Win32: the shut-down privilege, ExitWindowsEx and LockWorkStation.
#ifndef ORVANE_PLATFORM_WIN32_WIN_SESSION_H
#define ORVANE_PLATFORM_WIN32_WIN_SESSION_H

#include "platform/system_port.h"

namespace orvane {

class WinSession : public SessionPort {
 public:
  bool EnableShutdownPrivilege() override;
  void RequestSessionEnd(uint32_t flags) override;
  bool LockWorkstation() override;
};

}  // namespace orvane

#endif
