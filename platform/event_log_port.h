// The Windows event log as the core sees it: one call that reports one event.
// Logging is best effort: nothing comes back, so no caller can let a failure
// to log change what the program does or shows.
#ifndef ORVANE_PLATFORM_EVENT_LOG_PORT_H
#define ORVANE_PLATFORM_EVENT_LOG_PORT_H

#include <cstddef>
#include <cstdint>

namespace orvane {

// The event types the programs report (EVENTLOG_INFORMATION_TYPE,
// EVENTLOG_WARNING_TYPE, EVENTLOG_ERROR_TYPE).
enum class EventType { Information, Warning, Error };

class EventLogPort {
 public:
  virtual ~EventLogPort() = default;
  // As ReportEventW under the program's event source: id is a message of the
  // programs' message table, strings its insertion strings %1..%count.
  virtual void Report(EventType type, uint32_t id, const char16_t* const* strings,
                      std::size_t count) = 0;
};

// Reports nothing: for a program or test that keeps no audit trail.
class NoEventLog : public EventLogPort {
 public:
  void Report(EventType, uint32_t, const char16_t* const*, std::size_t) override {}
};

}  // namespace orvane

#endif
