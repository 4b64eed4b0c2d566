// UTF-8 <-> UTF-16 for the tools and the adapters that meet UTF-8 (pcsc-lite,
// the console). One decoder and one encoder, each writing through a sink, so
// that the tool's secrets can be converted into fixed buffers by the same
// rules as everything else is into strings.
#ifndef ORVANE_PLATFORM_UTF_H
#define ORVANE_PLATFORM_UTF_H

#include <cstddef>
#include <string>

namespace orvane {

// Decodes size bytes of UTF-8, calling put(char16_t) for each UTF-16 code
// unit. False on malformed input (bad sequences, surrogates encoded in UTF-8,
// overlong forms); what was put before is then unspecified.
template <class Put>
bool DecodeUtf8(const char* in, std::size_t size, Put put) {
  std::size_t i = 0;
  while (i < size) {
    const unsigned char c = static_cast<unsigned char>(in[i]);
    char32_t cp;
    int extra;
    if (c < 0x80) { cp = c; extra = 0; }
    else if ((c & 0xE0) == 0xC0) { cp = c & 0x1F; extra = 1; }
    else if ((c & 0xF0) == 0xE0) { cp = c & 0x0F; extra = 2; }
    else if ((c & 0xF8) == 0xF0) { cp = c & 0x07; extra = 3; }
    else return false;
    if (size - i <= static_cast<std::size_t>(extra)) return false;  // truncated sequence
    for (int k = 1; k <= extra; ++k) {
      const unsigned char cc = static_cast<unsigned char>(in[i + k]);
      if ((cc & 0xC0) != 0x80) return false;
      cp = (cp << 6) | (cc & 0x3F);
    }
    static const char32_t kMin[] = {0, 0x80, 0x800, 0x10000};
    if (cp < kMin[extra] || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return false;
    if (cp >= 0x10000) {
      cp -= 0x10000;
      put(static_cast<char16_t>(0xD800 + (cp >> 10)));
      put(static_cast<char16_t>(0xDC00 + (cp & 0x3FF)));
    } else {
      put(static_cast<char16_t>(cp));
    }
    i += extra + 1;
  }
  return true;
}

// Encodes size UTF-16 code units as UTF-8, calling put(char) for each byte;
// unpaired surrogates become U+FFFD.
template <class Put>
void EncodeUtf8(const char16_t* in, std::size_t size, Put put) {
  for (std::size_t i = 0; i < size; ++i) {
    char32_t cp = in[i];
    if (cp >= 0xD800 && cp <= 0xDBFF && i + 1 < size && in[i + 1] >= 0xDC00 && in[i + 1] <= 0xDFFF) {
      cp = 0x10000 + ((cp - 0xD800) << 10) + (in[i + 1] - 0xDC00);
      ++i;
    } else if (cp >= 0xD800 && cp <= 0xDFFF) {
      cp = 0xFFFD;
    }
    if (cp < 0x80) {
      put(static_cast<char>(cp));
    } else if (cp < 0x800) {
      put(static_cast<char>(0xC0 | (cp >> 6)));
      put(static_cast<char>(0x80 | (cp & 0x3F)));
    } else if (cp < 0x10000) {
      put(static_cast<char>(0xE0 | (cp >> 12)));
      put(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
      put(static_cast<char>(0x80 | (cp & 0x3F)));
    } else {
      put(static_cast<char>(0xF0 | (cp >> 18)));
      put(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
      put(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
      put(static_cast<char>(0x80 | (cp & 0x3F)));
    }
  }
}

// False on malformed input; out is then unspecified.
bool Utf8ToUtf16(const std::string& in, std::u16string& out);
// Unpaired surrogates become U+FFFD.
std::string Utf16ToUtf8(const std::u16string& in);

}  // namespace orvane

#endif
