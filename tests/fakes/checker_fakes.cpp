#include "tests/fakes/checker_fakes.h"

namespace orvane {

bool FakeSystem::UserName(char16_t* out, std::size_t capacity) {
  if (fail || capacity == 0 || user.size() + 1 > capacity) return false;
  user.copy(out, user.size());
  out[user.size()] = 0;
  return true;
}

bool FakeSession::EnableShutdownPrivilege() {
  ++privilegeRequests;
  calls += 'P';
  return privilegeGranted;
}

void FakeSession::RequestSessionEnd(uint32_t flags) {
  exitCalls.push_back(flags);
  calls += 'E';
}

void FakeDebugOutput::Write(const char16_t* line) { lines.emplace_back(line); }

bool FakeWatchWindow::Create(uint32_t period) {
  ++creates;
  periodMs = period;
  return !fail;
}

void FakePoller::Prepare() { ++prepares; }

int FakePoller::Poll() {
  ++polls;
  // A poll clears the identity before it reads, so nothing stale survives.
  identity_ = present ? card : CardIdentity{};
  return present && IdentityIsValid(identity_) ? 1 : 0;
}

}  // namespace orvane
