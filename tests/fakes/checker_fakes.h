// Fakes of the ports the checker needs besides the registry and the card:
// account name, session end and lock, debugger output, the watch window, and a poll
// whose card the test lays on or takes off.
#ifndef ORVANE_TESTS_FAKES_CHECKER_FAKES_H
#define ORVANE_TESTS_FAKES_CHECKER_FAKES_H

#include <cstdint>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "checker/checker.h"
#include "platform/system_port.h"

namespace orvane {

class FakeSystem : public SystemPort {
 public:
  std::u16string user = u"alice";
  bool fail = false;
  bool netUserWorks = false;  // a local account: the call fails
  InternetAccount account;
  std::vector<std::pair<std::u16string, std::u16string>> netUserCalls;  // server, user

  void SetMicrosoftAccount(const std::u16string& principal, const std::u16string& provider);

  bool UserName(char16_t* out, std::size_t capacity) override;
  bool InternetAccountOf(const char16_t* server, const char16_t* user,
                         InternetAccount& out) override;
};

class FakeSession : public SessionPort {
 public:
  bool privilegeGranted = true;
  int privilegeRequests = 0;
  std::vector<uint32_t> exitCalls;  // flags of every RequestSessionEnd
  bool lockSucceeds = true;
  int locks = 0;                    // LockWorkstation calls, failed ones included
  std::string calls;                // in order: P privilege request, E session end, L lock
  bool exitSucceeds = true;
  // The code a refused call leaves (ERROR_NOT_ALL_ASSIGNED for the
  // privilege, as Windows gives for an account without it).
  uint32_t failureCode = 1300;
  uint32_t lastError = 0;
  bool EnableShutdownPrivilege() override;
  bool RequestSessionEnd(uint32_t flags) override;
  bool LockWorkstation() override;
  uint32_t LastError() const override { return lastError; }
};

class FakeDebugOutput : public DebugOutputPort {
 public:
  std::vector<std::u16string> lines;
  void Write(const char16_t* line) override;
};

class FakeWatchWindow : public WatchWindowPort {
 public:
  bool fail = false;
  int creates = 0;
  uint32_t periodMs = 0;
  bool Create(uint32_t period) override;
};

// A clock that only moves when the checker waits; onWaited runs after each
// wait with the time reached, so a test can bring the reader at a given second.
class FakeWait : public WaitPort {
 public:
  uint64_t nowMs = 0;
  std::vector<uint32_t> waits;
  std::function<void(uint64_t nowMs)> onWaited;
  void Wait(uint32_t milliseconds) override;
};

// The card on the reader is whatever the test last put there; with reader
// false there is no service or no reader at all.
class FakePoller : public CardPoller {
 public:
  bool reader = true;
  bool present = false;
  CardIdentity card = {};
  int prepares = 0;
  int polls = 0;
  void PutCard(const CardIdentity& c) {
    card = c;
    present = true;
  }
  void TakeCard() { present = false; }
  void Prepare() override;
  bool Poll() override;
  const CardIdentity& Identity() const override { return identity_; }
  bool ReaderAnswered() const override { return answered_; }

 private:
  CardIdentity identity_ = {};
  bool answered_ = false;
};

}  // namespace orvane

#endif
