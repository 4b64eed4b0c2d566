// Hex text in and out, for orvane-card and the tests' tools and logs.
#ifndef ORVANE_TOOLS_HEX_H
#define ORVANE_TOOLS_HEX_H

#include <cstddef>
#include <string>
#include <vector>

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

}  // namespace orvane

#endif
