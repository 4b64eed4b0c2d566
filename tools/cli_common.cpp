#include "tools/cli_common.h"

#include <cstdio>

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#endif

namespace orvane {

namespace {

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

const char kHexDigits[] = "0123456789ABCDEF";

}  // namespace

bool ParseHex(const std::string& text, std::vector<unsigned char>& out) {
  out.clear();
  std::size_t i = 0;
  while (i < text.size()) {
    if (text[i] == ' ' || text[i] == '\t') {
      ++i;
      continue;
    }
    if (i + 1 >= text.size()) return false;
    const int high = HexDigit(text[i]);
    const int low = HexDigit(text[i + 1]);
    if (high < 0 || low < 0) return false;
    out.push_back(static_cast<unsigned char>(high * 16 + low));
    i += 2;
  }
  return true;
}

std::string HexPairs(const unsigned char* data, std::size_t size) {
  std::string text;
  for (std::size_t i = 0; i < size; ++i) {
    if (i) text += ' ';
    text += kHexDigits[data[i] >> 4];
    text += kHexDigits[data[i] & 0x0F];
  }
  return text;
}

std::string HexContiguous(const unsigned char* data, std::size_t size) {
  std::string text;
  for (std::size_t i = 0; i < size; ++i) {
    text += kHexDigits[data[i] >> 4];
    text += kHexDigits[data[i] & 0x0F];
  }
  return text;
}

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
