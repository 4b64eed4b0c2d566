#include "tools/cli_common.h"

#include <cstdio>

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#else
#include <unistd.h>
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

namespace orvane {

void WriteOutUnbuffered(const char* bytes, std::size_t size) {
  std::fflush(stdout);
  while (size > 0) {
#ifdef _WIN32
    const int n = _write(1, bytes, static_cast<unsigned>(size));
#else
    const ssize_t n = write(1, bytes, size);
#endif
    if (n <= 0) return;  // the reader went away: nothing more to tell
    bytes += n;
    size -= static_cast<std::size_t>(n);
  }
}

}  // namespace orvane
