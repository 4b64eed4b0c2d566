#include "tests/fakes/fake_event_log.h"

#include "store/audit_events.h"

namespace orvane {

namespace {

const events::Kind* KindOf(uint32_t id) {
  for (const events::Kind* kind : events::kAll) {
    if (kind->id == id) return kind;
  }
  return nullptr;
}

}  // namespace

void FakeEventLog::Report(EventType type, uint32_t id, const char16_t* const* strings,
                          std::size_t count) {
  LoggedEvent event{type, id, {}};
  for (std::size_t i = 0; i < count; ++i) {
    if (strings == nullptr || strings[i] == nullptr) {
      misuse.push_back("event " + std::to_string(id) + ": string " + std::to_string(i + 1) +
                       " is null");
      event.strings.emplace_back();
      continue;
    }
    event.strings.emplace_back(strings[i]);
  }
  const events::Kind* kind = KindOf(id);
  if (kind == nullptr) {
    misuse.push_back("event " + std::to_string(id) + " is not in the message table");
  } else {
    if (kind->type != type) misuse.push_back("event " + std::to_string(id) + ": wrong type");
    if (kind->strings != count) {
      misuse.push_back("event " + std::to_string(id) + ": " + std::to_string(count) +
                       " strings, its message takes " + std::to_string(kind->strings));
    }
  }
  events.push_back(std::move(event));
}

std::vector<uint32_t> FakeEventLog::Ids() const {
  std::vector<uint32_t> ids;
  for (const LoggedEvent& e : events) ids.push_back(e.id);
  return ids;
}

bool FakeEventLog::AnyStringContains(const std::u16string& text) const {
  for (const LoggedEvent& e : events) {
    for (const std::u16string& s : e.strings) {
      if (s.find(text) != std::u16string::npos) return true;
    }
  }
  return false;
}

}  // namespace orvane
