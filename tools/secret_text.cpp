#include "tools/secret_text.h"

#include <cstring>

#include "platform/utf.h"

namespace orvane {

namespace {

void Put(SecretText& out, char16_t unit) {
  if (out.length < kTextSize - 1) out.text[out.length] = unit;
  ++out.length;
}

}  // namespace

bool SecretFromUtf8(const char* utf8, std::size_t size, SecretText& out) {
  SecureZero(&out, sizeof out);
  if (!DecodeUtf8(utf8, size, [&out](char16_t unit) { Put(out, unit); })) return false;
  if (!out.Fits()) SecureZero(out.text, sizeof out.text);  // never half a text
  return true;
}

SecretLine::SecretLine(const char* label, const char16_t* text) {
  const std::size_t labelSize = std::strlen(label);
  if (labelSize > 32) return;
  std::memcpy(bytes, label, labelSize);
  size = labelSize;
  // At most kTextSize - 1 units are read, 3 bytes each at most, so the
  // terminating newline always fits.
  const std::size_t length = BoundedLength(text, kTextSize - 1);
  EncodeUtf8(text, length, [this](char byte) { bytes[size++] = byte; });
  bytes[size++] = '\n';
}

void ArgumentToUtf8(const char16_t* arg, std::string& out) {
  std::size_t length = 0;
  while (arg[length]) ++length;
  // Twice over the argument: the size, then the bytes.
  std::size_t size = 0;
  EncodeUtf8(arg, length, [&size](char) { ++size; });
  WipeString(out);
  out.assign(size, '\0');
  std::size_t at = 0;
  EncodeUtf8(arg, length, [&out, &at](char byte) { out[at++] = byte; });
}

void WipeString(std::string& text) {
  // Growing to the capacity never reallocates, and makes the whole storage
  // part of the string, so it may be written.
  text.resize(text.capacity());
  if (!text.empty()) SecureZero(&text[0], text.size());
  text.clear();
}

}  // namespace orvane
