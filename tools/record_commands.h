// orvane-card record encode / decode: a login record's "data" made from a
// password, a user and a target, and read back, with the programs' own code.
// The texts pass through fixed buffers only; each buffer and each argument
// that held one is wiped on every way out of the command.
#ifndef ORVANE_TOOLS_RECORD_COMMANDS_H
#define ORVANE_TOOLS_RECORD_COMMANDS_H

#include <cstddef>
#include <string>
#include <vector>

namespace orvane {

// Where the commands write.
class CommandOutput {
 public:
  virtual ~CommandOutput() = default;
  virtual void Out(const std::string& text) = 0;
  virtual void Err(const std::string& text) = 0;
  // A line holding a login text: written from the caller's buffer as it is,
  // never copied to a buffer the caller cannot wipe.
  virtual void OutSecret(const char* bytes, std::size_t size) = 0;
};

// Exit status 2 is a usage error: the command has written "orvane-card:
// <problem>" and the caller adds the usage text. The arguments (those after
// "encode" or "decode") are wiped before the command returns.
int EncodeCommand(std::vector<std::string>& args, CommandOutput& io);
int DecodeCommand(std::vector<std::string>& args, CommandOutput& io);

}  // namespace orvane

#endif
