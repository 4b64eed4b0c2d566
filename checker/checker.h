// OrvaneChecker's logic: decide once at start whether the card on the reader
// belongs to the logged-on user and asks for a removal action, then on every
// tick end the session when that card is gone. No window code here: the
// program feeds WatchTick from its timer, tests call it directly.
#ifndef ORVANE_CHECKER_CHECKER_H
#define ORVANE_CHECKER_CHECKER_H

#include <cstdint>

#include "card/identity.h"
#include "platform/event_log_port.h"
#include "platform/registry_port.h"
#include "platform/system_port.h"
#include "store/login_record.h"

namespace orvane {

struct CardAccess;

// The card poll as the checker uses it.
class CardPoller {
 public:
  virtual ~CardPoller() = default;
  // Once at start: load the FeliCa library and forget any reader, so that the
  // first poll discovers them.
  virtual void Prepare() = 0;
  // One poll; true when Identity() now holds the card read.
  virtual bool Poll() = 0;
  virtual const CardIdentity& Identity() const = 0;
  // After a poll that found no card: true when a reader was there to answer
  // (its "no card" is final), false when there was no PC/SC service or no
  // usable reader (the reader may still be on its way).
  virtual bool ReaderAnswered() const = 0;
};

// The poller on the shared card-access code (LoadFelicaLibrary, PollCard).
class CardAccessPoller : public CardPoller {
 public:
  explicit CardAccessPoller(CardAccess& access) : access_(access) {}
  void Prepare() override;
  bool Poll() override;
  const CardIdentity& Identity() const override;
  bool ReaderAnswered() const override;

 private:
  CardAccess& access_;
};

// The hidden window that carries the timer and that the settings program
// finds and closes.
class WatchWindowPort {
 public:
  virtual ~WatchWindowPort() = default;
  // Creates the hidden window; its creation starts timer 1 with the period
  // (milliseconds). False when the window could not be created.
  virtual bool Create(uint32_t periodMs) = 0;
};

// The pause between two polls while the start waits for a reader.
class WaitPort {
 public:
  virtual ~WaitPort() = default;
  virtual void Wait(uint32_t milliseconds) = 0;
};

constexpr int kDebugLineSize = 1000;
constexpr uint32_t kPeriodPerSecond = 1000;
// The longest period the window timer takes (USER_TIMER_MAXIMUM).
constexpr uint32_t kMaxPeriodMs = 0x7FFFFFFF;
// At logon the smart-card service or the reader may not be ready yet: the
// start polls again once a second, at most this many times.
constexpr int kReaderRetries = 30;
constexpr uint32_t kReaderRetryMs = 1000;

// Lines written to the debugger output.
extern const char16_t kLineNoCard[];          // "no card\n"
extern const char16_t kLineNoRegistryData[];  // "no registry data\n"
extern const char16_t kLineNoShutdownData[];  // "no shutdown data\n"
extern const char16_t kLineOtherUser[];       // "user != login_user\n"
extern const char16_t kLineShutdown[];        // "shutdown\n"
extern const char16_t kLineLock[];            // "lock\n"

struct Checker {
  Checker(CardPoller& p, RegistryPort& r, SystemPort& s, SessionPort& e, DebugOutputPort& d,
          WatchWindowPort& w, WaitPort& t, EventLogPort& l)
      : poller(p), registry(r), system(s), session(e), debug(d), window(w), wait(t), events(l) {}

  CardPoller& poller;
  RegistryPort& registry;
  SystemPort& system;
  SessionPort& session;
  DebugOutputPort& debug;
  WatchWindowPort& window;
  WaitPort& wait;
  EventLogPort& events;  // the audit trail: armed, card gone, privilege refused

  uint32_t removalType = kNoRemovalAction;
  // The record asks to lock the workstation rather than end the session.
  bool lockOnRemoval = false;
  // A lock succeeded since the card was last seen: the next one waits for
  // the card to come back and go again.
  bool lockedWhileAway = false;
  uint32_t periodMs = 0;
  uint32_t intervalSeconds = 0;  // as the record holds it, for the audit trail
  char16_t recordUser[kTextSize] = {};
  // Once armed, for the audit trail: the logged-on account as Windows names
  // it (never the user name decrypted from the record) and the record key.
  char16_t account[kTextSize] = {};
  char16_t recordKey[kRecordKeyTextSize] = {};
  // The last event of the card's current absence (0: none yet) and its code:
  // a request repeated at every tick is logged again only when its outcome
  // changes, so a long absence does not flood the log.
  uint32_t reportedEvent = 0;
  uint32_t reportedCode = 0;
  CardIdentity saved = {};
  bool armed = false;
  char16_t debugLine[kDebugLineSize] = {};
};

// True when the watch is armed and its window exists, false otherwise (one debug
// line says why, except when the window could not be created). While no
// service or no usable reader answers, polls again once a second for up to
// kReaderRetries seconds before deciding "no card".
bool StartWatch(Checker& checker);
// Timer period for a record's interval in seconds: interval x 1000 without
// wrapping, at most kMaxPeriodMs; 0 stays 0 (no watch).
uint32_t PeriodFromInterval(uint32_t interval);
// Reads removal type, lock, check period and record user of the polled
// card's record; true when "data" was read and decoded.
bool ReadCheckerRecord(Checker& checker);
// One timer tick: the saved card still there; or, for a lock record, "lock\n"
// and LockWorkstation once per removal (again at the next tick if the lock
// failed); or "shutdown\n" and EndSession at every tick.
void WatchTick(Checker& checker);
// Asks the system to end the session with the removal type.
void EndSession(Checker& checker);
// True when ending the session with these flags needs the shut-down
// privilege: every type but a plain log off (EWX_LOGOFF with nothing but
// EWX_FORCE or EWX_FORCEIFHUNG besides).
bool NeedsShutdownPrivilege(uint32_t flags);

// Formats into the checker's debug line buffer (as FormatText does) and
// writes it out; the result is cut to fit the buffer.
void DebugLine(Checker& checker, const char16_t* format, ...);

}  // namespace orvane

#endif
