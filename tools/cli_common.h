// Text helpers shared by orvane-card's commands: the
// identity and record key as the tool prints them, and byte-exact output.
#ifndef ORVANE_TOOLS_CLI_COMMON_H
#define ORVANE_TOOLS_CLI_COMMON_H

#include <cstddef>
#include <string>
#include <vector>

#include "card/identity.h"
#include "tools/hex.h"

namespace orvane {

std::string IdentityHex(const CardIdentity& identity);
// "%x" of the record key value of the identity.
std::string RecordKeyText(const CardIdentity& identity);

// Standard output and error in binary mode, so that Windows writes "\n" and
// UTF-8 bytes exactly as Linux does. Call once before any output.
void PrepareStandardStreams();
void WriteOut(const std::string& text);
void WriteErr(const std::string& text);
// Bytes straight to the standard output's descriptor (what WriteOut wrote
// is flushed first), so that no stdio buffer keeps a copy of them.
void WriteOutUnbuffered(const char* bytes, std::size_t size);

}  // namespace orvane

#endif
