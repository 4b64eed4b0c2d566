#include "tools/hex.h"

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

}  // namespace orvane
