// DebugOutputPort on Win32: the debugger output.
#ifndef ORVANE_PLATFORM_WIN32_WIN_DEBUG_H
#define ORVANE_PLATFORM_WIN32_WIN_DEBUG_H

#include "platform/system_port.h"

namespace orvane {

class WinDebugOutput : public DebugOutputPort {
 public:
  void Write(const char16_t* line) override;
};

}  // namespace orvane

#endif
