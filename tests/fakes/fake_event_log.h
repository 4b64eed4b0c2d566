// The event log as a list the test reads. Each report is checked against the
// events the programs' message table holds (store/audit_events.h, which the
// static check of the shipped programs holds to the table): an unknown id, a
// type other than the event's, or another number of strings than its
// message takes is noted in misuse, as Event Viewer would show it wrongly.
#ifndef ORVANE_TESTS_FAKES_FAKE_EVENT_LOG_H
#define ORVANE_TESTS_FAKES_FAKE_EVENT_LOG_H

#include <cstdint>
#include <string>
#include <vector>

#include "platform/event_log_port.h"

namespace orvane {

struct LoggedEvent {
  EventType type;
  uint32_t id;
  std::vector<std::u16string> strings;
};

class FakeEventLog : public EventLogPort {
 public:
  void Report(EventType type, uint32_t id, const char16_t* const* strings,
              std::size_t count) override;

  std::vector<LoggedEvent> events;
  std::vector<std::string> misuse;
  // The ids reported, in order.
  std::vector<uint32_t> Ids() const;
  // True when some string of some event contains text.
  bool AnyStringContains(const std::u16string& text) const;
};

}  // namespace orvane

#endif
