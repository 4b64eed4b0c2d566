// Text helpers shared by orvane-card's commands: hex in and out, the
// identity and record key as the tool prints them, and byte-exact output.
#ifndef ORVANE_TOOLS_CLI_COMMON_H
#define ORVANE_TOOLS_CLI_COMMON_H

#include <string>
#include <vector>

#include "card/identity.h"

namespace orvane {

// Hex digits in either case, optionally with single or repeated spaces (or
// tabs) between byte pairs: "01 02 03 04", "01020304", "0a0B". False for an
// odd digit count, a space inside a pair or any other character. The empty
// text is zero bytes.
bool ParseHex(const std::string& text, std::vector<unsigned char>& out);

// Upper-case hex pairs separated by single spaces ("01 02 0F").
std::string HexPairs(const unsigned char* data, std::size_t size);
// Upper-case hex without separators ("01020F").
std::string HexContiguous(const unsigned char* data, std::size_t size);
std::string IdentityHex(const CardIdentity& identity);
// "%x" of the record key value of the identity.
std::string RecordKeyText(const CardIdentity& identity);

// Standard output and error in binary mode, so that Windows writes "\n" and
// UTF-8 bytes exactly as Linux does. Call once before any output.
void PrepareStandardStreams();
void WriteOut(const std::string& text);
void WriteErr(const std::string& text);

}  // namespace orvane

#endif
