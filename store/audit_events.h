// The events of the audit trail: id, type and number of insertion strings of
// each. The texts are in store/audit_events.mc (the message table both
// programs carry); the static check of the shipped programs reads this file
// and holds every message there to the id and the number of strings here.
#ifndef ORVANE_STORE_AUDIT_EVENTS_H
#define ORVANE_STORE_AUDIT_EVENTS_H

#include <cstddef>
#include <cstdint>
#include <initializer_list>

#include "platform/event_log_port.h"

// The event source in the Application log, also registered by the installer.
#define ORVANE_EVENT_SOURCE_TEXT "Orvane"

namespace orvane {
namespace events {

constexpr char16_t kSource[] = u"" ORVANE_EVENT_SOURCE_TEXT;

struct Kind {
  uint32_t id;
  EventType type;
  std::size_t strings;  // the message's %1..%strings
};

// The settings program; %1 is always the account that ran it.
constexpr Kind kCardRegistered = {1001, EventType::Information, 8};
constexpr Kind kRecordUpdated = {1002, EventType::Information, 6};
constexpr Kind kRecordDeleted = {1003, EventType::Information, 3};
constexpr Kind kRemovalSwitchedOn = {1004, EventType::Information, 4};
constexpr Kind kRemovalSwitchedOff = {1005, EventType::Information, 2};
constexpr Kind kSoundSaved = {1006, EventType::Information, 4};
constexpr Kind kRecordWriteFailed = {1101, EventType::Error, 4};
constexpr Kind kRecordDeleteFailed = {1102, EventType::Error, 3};
constexpr Kind kSoundWriteFailed = {1103, EventType::Error, 3};
constexpr Kind kAutostartFailed = {1104, EventType::Warning, 4};

// The checker; %1 is always the logged-on user, %2 the record key.
constexpr Kind kCheckerArmed = {2001, EventType::Information, 4};
constexpr Kind kSessionEndRequested = {2002, EventType::Warning, 3};
constexpr Kind kSessionEndFailed = {2003, EventType::Warning, 4};
constexpr Kind kPrivilegeFailed = {2004, EventType::Error, 5};

constexpr const Kind* kAll[] = {
    &kCardRegistered,    &kRecordUpdated,     &kRecordDeleted,      &kRemovalSwitchedOn,
    &kRemovalSwitchedOff, &kSoundSaved,       &kRecordWriteFailed,  &kRecordDeleteFailed,
    &kSoundWriteFailed,  &kAutostartFailed,   &kCheckerArmed,       &kSessionEndRequested,
    &kSessionEndFailed,  &kPrivilegeFailed,
};

// Reports one event of a kind. Exactly kind.strings strings are passed:
// a missing one becomes empty, an extra one is left out, so the message
// never shows a bare %n nor reads past the list.
inline void Report(EventLogPort& log, const Kind& kind,
                   std::initializer_list<const char16_t*> strings) {
  constexpr std::size_t kMost = 8;
  const char16_t* list[kMost] = {};
  std::size_t n = 0;
  for (const char16_t* s : strings) {
    if (n == kind.strings || n == kMost) break;
    list[n++] = s ? s : u"";
  }
  while (n < kind.strings && n < kMost) list[n++] = u"";
  log.Report(kind.type, kind.id, list, n);
}

}  // namespace events
}  // namespace orvane

#endif
