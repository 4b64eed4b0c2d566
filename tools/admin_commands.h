// orvane-card's administrator commands on the registry of this PC:
// `records` lists the login records without decrypting anything, `doctor`
// says what would stop sign-in or the checker. Both write plain lines with
// stable field names, so that scripts can read them, and write each record's
// lines as the record is read: a records key with millions of sub-keys never
// builds a report in memory. Text from the registry or a reader is shown
// with its control characters escaped (ShownText), so that no value can
// forge a line of the output.
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

// Where the commands write their lines, a piece at a time.
class TextSink {
 public:
  virtual ~TextSink() = default;
  virtual void Write(const std::string& text) = 0;
};

// Collects the whole output (for the tests and small reports).
class StringSink : public TextSink {
 public:
  explicit StringSink(std::string& text) : text_(text) {}
  void Write(const std::string& text) override { text_ += text; }

 private:
  std::string& text_;
};

// UTF-16 text as UTF-8 on one line: CR, LF and tab as \r \n \t, other C0
// controls, DEL and the C1 controls as \xNN, and the Unicode line and
// paragraph separators and the bidirectional embeddings, overrides and
// isolates (which reorder what a terminal shows) as \uNNNN. A backslash is
// shown as it is, so that paths stay readable. Unpaired surrogates become
// U+FFFD.
std::string ShownText(const std::u16string& text);

// One block per sub-key of the records key, then a summary line.
int ListRecords(RegistryPort& registry, TextSink& out);
inline int ListRecords(RegistryPort& registry, std::string& out) {
  StringSink sink(out);
  return ListRecords(registry, sink);
}

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
int RunDoctor(DoctorEnvironment& env, TextSink& out);
inline int RunDoctor(DoctorEnvironment& env, std::string& out) {
  StringSink sink(out);
  return RunDoctor(env, sink);
}

}  // namespace orvane

#endif
