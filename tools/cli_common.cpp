#include "tools/cli_common.h"

#include <cstdio>

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#endif

namespace orvane {

std::string IdentityHex(const CardIdentity& identity) {
  return HexPairs(identity.data(), identity.size());
}

std::string RecordKeyText(const CardIdentity& identity) {
  CardIdentity permuted{};
  char16_t key[kRecordKeyTextSize];
  FormatRecordKey(RecordKeyValue(identity, permuted), key);
  std::string text;
  for (const char16_t* p = key; *p; ++p) text += static_cast<char>(*p);  // hex digits only
  return text;
}

void PrepareStandardStreams() {
#ifdef _WIN32
  _setmode(_fileno(stdout), _O_BINARY);
  _setmode(_fileno(stderr), _O_BINARY);
#endif
}

void WriteOut(const std::string& text) {
  std::fwrite(text.data(), 1, text.size(), stdout);
  std::fflush(stdout);
}

void WriteErr(const std::string& text) {
  std::fwrite(text.data(), 1, text.size(), stderr);
  std::fflush(stderr);
}

}  // namespace orvane
