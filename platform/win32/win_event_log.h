// EventLogPort on Win32: the Application log under the source "Orvane".
#ifndef ORVANE_PLATFORM_WIN32_WIN_EVENT_LOG_H
#define ORVANE_PLATFORM_WIN32_WIN_EVENT_LOG_H

#include "platform/event_log_port.h"

namespace orvane {

class WinEventLog : public EventLogPort {
 public:
  WinEventLog() = default;
  ~WinEventLog() override;
  WinEventLog(const WinEventLog&) = delete;
  WinEventLog& operator=(const WinEventLog&) = delete;

  void Report(EventType type, uint32_t id, const char16_t* const* strings,
              std::size_t count) override;

 private:
  void* source_ = nullptr;  // HANDLE from RegisterEventSourceW, opened at the first event
  bool opened_ = false;     // tried once, whatever it gave
  // The process's user SID (SECURITY_MAX_SID_SIZE bytes at most); a first
  // byte 0 (no SID has revision 0) when it could not be read.
  alignas(8) unsigned char user_[68] = {};
};

}  // namespace orvane

#endif
