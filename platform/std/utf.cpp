#include "platform/utf.h"

namespace orvane {

bool Utf8ToUtf16(const std::string& in, std::u16string& out) {
  out.clear();
  return DecodeUtf8(in.data(), in.size(), [&out](char16_t unit) { out.push_back(unit); });
}

std::string Utf16ToUtf8(const std::u16string& in) {
  std::string out;
  EncodeUtf8(in.data(), in.size(), [&out](char byte) { out.push_back(byte); });
  return out;
}

}  // namespace orvane
