// UTF-8 <-> UTF-16 for the tools and the adapters that meet UTF-8 (pcsc-lite,
// the console).
#ifndef ORVANE_PLATFORM_UTF_H
#define ORVANE_PLATFORM_UTF_H

#include <string>

namespace orvane {

// False on malformed input (bad sequences, surrogates encoded in UTF-8,
// overlong forms); out is then unspecified.
bool Utf8ToUtf16(const std::string& in, std::u16string& out);
// Unpaired surrogates become U+FFFD.
std::string Utf16ToUtf8(const std::u16string& in);

}  // namespace orvane

#endif
