// orvane-card's administrator commands on the registry of this PC:
// `records` lists the login records without decrypting anything, `doctor`
// says what would stop sign-in or the checker. Both build their output as
// plain lines with stable field names, so that scripts can read them.
#ifndef ORVANE_TOOLS_ADMIN_COMMANDS_H
#define ORVANE_TOOLS_ADMIN_COMMANDS_H

#include <string>

#include "card/card_access.h"
#include "platform/file_port.h"
#include "platform/registry_port.h"

namespace orvane {

// Exit statuses of both commands.
constexpr int kAdminOk = 0;
constexpr int kAdminWarnings = 1;  // records: a record is flagged; doctor: a WARN line
constexpr int kAdminUsage = 2;     // bad arguments, or no registry on this system
constexpr int kAdminFailures = 3;  // records: the records key cannot be read; doctor: a FAIL line

// One block per sub-key of the records key, then a summary line.
int ListRecords(RegistryPort& registry, std::string& out);

// What doctor looks at besides the registry.
struct DoctorEnvironment {
  RegistryPort& registry;
  // A settings-flavour card access, not yet prepared: doctor loads the
  // library, discovers the readers and polls once.
  CardAccess& cards;
  FilePort& files;  // FileExists only
  // The registry view this build reads: the programs are 32-bit and read
  // the 32-bit view of HKEY_LOCAL_MACHINE\SOFTWARE.
  bool reads32BitView;
};

// Lines "OK|WARN|FAIL <check>: <sentence>", then a summary line.
int RunDoctor(DoctorEnvironment& env, std::string& out);

}  // namespace orvane

#endif
