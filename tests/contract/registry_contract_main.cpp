// Runs the registry contract against the registry of the platform it is
// built for: the in-memory fake natively, WinRegistry in the Windows build.
// Prints one line per check; exit code 0 when every check passed.
#include <cstdio>

#include "tests/contract/registry_contract.h"
#ifdef _WIN32
#include "platform/win32/win_registry.h"
#else
#include "tests/fakes/fake_registry.h"
#endif

int main() {
#ifdef _WIN32
  orvane::WinRegistry registry;
  const char* name = "WinRegistry";
#else
  orvane::FakeRegistry registry;
  const char* name = "FakeRegistry";
#endif
  orvane::PrintingLog log;
  int failures = orvane::RunRegistryContract(registry, log);
  std::printf("%s: %d failed\n", name, failures);
  std::fflush(stdout);
  return failures == 0 ? 0 : 1;
}
