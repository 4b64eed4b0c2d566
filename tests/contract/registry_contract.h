// What the core relies on from the registry, as one set of cases that runs
// against any RegistryPort: the in-memory fake natively, WinRegistry under
// Wine. Where the two disagree the fake is wrong, because the fake is only
// worth what it shares with the registry it stands for.
//
// Plain C++17, no test framework: MinGW builds have no gtest, and the cases
// must be the same source on both sides.
#ifndef ORVANE_TESTS_CONTRACT_REGISTRY_CONTRACT_H
#define ORVANE_TESTS_CONTRACT_REGISTRY_CONTRACT_H

#include "platform/registry_port.h"
#include "tests/contract/contract_log.h"

namespace orvane {

// Runs every case under HKEY_LOCAL_MACHINE and HKEY_CURRENT_USER, in a
// scratch key (kRegistryContractKey) that it removes before and after.
// Returns the number of failed checks.
int RunRegistryContract(RegistryPort& registry, ContractLog& log);

extern const char16_t kRegistryContractKey[];

}  // namespace orvane

#endif
