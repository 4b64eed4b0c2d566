// SessionPort on Win32: the shut-down privilege, ExitWindowsEx and LockWorkStation.
#ifndef ORVANE_PLATFORM_WIN32_WIN_SESSION_H
#define ORVANE_PLATFORM_WIN32_WIN_SESSION_H

#include "platform/system_port.h"

namespace orvane {

class WinSession : public SessionPort {
 public:
  bool EnableShutdownPrivilege() override;
  bool RequestSessionEnd(uint32_t flags) override;
  bool LockWorkstation() override;
  uint32_t LastError() const override { return last_; }

 private:
  // GetLastError right after a failure, before another call changes it.
  bool Keep(bool ok);
  uint32_t last_ = 0;
};

}  // namespace orvane

#endif
