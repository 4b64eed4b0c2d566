#include "tests/fakes/checker_fakes.h"

namespace orvane {

bool FakeSystem::UserName(char16_t* out, std::size_t capacity) {
  if (fail || capacity == 0 || user.size() + 1 > capacity) return false;
  user.copy(out, user.size());
  out[user.size()] = 0;
  return true;
}

void FakeSystem::SetMicrosoftAccount(const std::u16string& principal,
                                     const std::u16string& provider) {
  netUserWorks = true;
  account = InternetAccount{};
  account.hasPrincipal = true;
  account.hasProvider = true;
  principal.copy(account.principal, principal.size() < 259 ? principal.size() : 259);
  provider.copy(account.provider, provider.size() < 259 ? provider.size() : 259);
}

bool FakeSystem::InternetAccountOf(const char16_t* server, const char16_t* name,
                                   InternetAccount& out) {
  netUserCalls.emplace_back(server != nullptr ? server : u"", name != nullptr ? name : u"");
  if (!netUserWorks) return false;
  out = account;
  return true;
}

bool FakeSession::EnableShutdownPrivilege() {
  ++privilegeRequests;
  calls += 'P';
  if (!privilegeGranted) lastError = failureCode;
  return privilegeGranted;
}

bool FakeSession::RequestSessionEnd(uint32_t flags) {
  exitCalls.push_back(flags);
  calls += 'E';
  if (!exitSucceeds) lastError = failureCode;
  return exitSucceeds;
}

bool FakeSession::LockWorkstation() {
  ++locks;
  calls += 'L';
  if (!lockSucceeds) lastError = failureCode;
  return lockSucceeds;
}

void FakeDebugOutput::Write(const char16_t* line) { lines.emplace_back(line); }

bool FakeWatchWindow::Create(uint32_t period) {
  ++creates;
  periodMs = period;
  return !fail;
}

void FakePoller::Prepare() { ++prepares; }

bool FakePoller::Poll() {
  ++polls;
  answered_ = reader;
  // A poll clears the identity before it reads, so nothing stale survives.
  identity_ = reader && present ? card : CardIdentity{};
  return reader && present && IdentityIsValid(identity_);
}

void FakeWait::Wait(uint32_t milliseconds) {
  waits.push_back(milliseconds);
  nowMs += milliseconds;
  if (onWaited) onWaited(nowMs);
}

}  // namespace orvane
