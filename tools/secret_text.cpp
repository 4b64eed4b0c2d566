#include "tools/secret_text.h"

#include <cstring>

namespace orvane {

namespace {

void Put(SecretText& out, char16_t unit) {
  if (out.length < kTextSize - 1) out.text[out.length] = unit;
  ++out.length;
}

}  // namespace

bool SecretFromUtf8(const char* utf8, std::size_t size, SecretText& out) {
  SecureZero(&out, sizeof out);
  std::size_t i = 0;
  while (i < size) {
    const unsigned char c = static_cast<unsigned char>(utf8[i]);
    char32_t cp;
    int extra;
    if (c < 0x80) { cp = c; extra = 0; }
    else if ((c & 0xE0) == 0xC0) { cp = c & 0x1F; extra = 1; }
    else if ((c & 0xF0) == 0xE0) { cp = c & 0x0F; extra = 2; }
    else if ((c & 0xF8) == 0xF0) { cp = c & 0x07; extra = 3; }
    else return false;
    if (size - i <= static_cast<std::size_t>(extra)) return false;  // cut short
    for (int k = 1; k <= extra; ++k) {
      const unsigned char cc = static_cast<unsigned char>(utf8[i + k]);
      if ((cc & 0xC0) != 0x80) return false;
      cp = (cp << 6) | (cc & 0x3F);
    }
    static const char32_t kMin[] = {0, 0x80, 0x800, 0x10000};
    if (cp < kMin[extra] || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return false;
    if (cp >= 0x10000) {
      cp -= 0x10000;
      Put(out, static_cast<char16_t>(0xD800 + (cp >> 10)));
      Put(out, static_cast<char16_t>(0xDC00 + (cp & 0x3FF)));
    } else {
      Put(out, static_cast<char16_t>(cp));
    }
    i += extra + 1;
  }
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
  for (std::size_t i = 0; i < kTextSize - 1 && text[i]; ++i) {
    char32_t cp = text[i];
    if (cp >= 0xD800 && cp <= 0xDBFF && i + 1 < kTextSize - 1 && text[i + 1] >= 0xDC00 &&
        text[i + 1] <= 0xDFFF) {
      cp = 0x10000 + ((cp - 0xD800) << 10) + (text[i + 1] - 0xDC00);
      ++i;
    } else if (cp >= 0xD800 && cp <= 0xDFFF) {
      cp = 0xFFFD;
    }
    if (cp < 0x80) {
      bytes[size++] = static_cast<char>(cp);
    } else if (cp < 0x800) {
      bytes[size++] = static_cast<char>(0xC0 | (cp >> 6));
      bytes[size++] = static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
      bytes[size++] = static_cast<char>(0xE0 | (cp >> 12));
      bytes[size++] = static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
      bytes[size++] = static_cast<char>(0x80 | (cp & 0x3F));
    } else {
      bytes[size++] = static_cast<char>(0xF0 | (cp >> 18));
      bytes[size++] = static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
      bytes[size++] = static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
      bytes[size++] = static_cast<char>(0x80 | (cp & 0x3F));
    }
  }
  bytes[size++] = '\n';
}

void ArgumentToUtf8(const char16_t* arg, std::string& out) {
  // Twice over the argument: the size, then the bytes.
  for (int pass = 0; pass < 2; ++pass) {
    std::size_t size = 0;
    for (std::size_t i = 0; arg[i]; ++i) {
      char32_t cp = arg[i];
      if (cp >= 0xD800 && cp <= 0xDBFF && arg[i + 1] >= 0xDC00 && arg[i + 1] <= 0xDFFF) {
        cp = 0x10000 + ((cp - 0xD800) << 10) + (arg[i + 1] - 0xDC00);
        ++i;
      } else if (cp >= 0xD800 && cp <= 0xDFFF) {
        cp = 0xFFFD;
      }
      unsigned char bytes[4];
      int n;
      if (cp < 0x80) {
        bytes[0] = static_cast<unsigned char>(cp);
        n = 1;
      } else if (cp < 0x800) {
        bytes[0] = static_cast<unsigned char>(0xC0 | (cp >> 6));
        bytes[1] = static_cast<unsigned char>(0x80 | (cp & 0x3F));
        n = 2;
      } else if (cp < 0x10000) {
        bytes[0] = static_cast<unsigned char>(0xE0 | (cp >> 12));
        bytes[1] = static_cast<unsigned char>(0x80 | ((cp >> 6) & 0x3F));
        bytes[2] = static_cast<unsigned char>(0x80 | (cp & 0x3F));
        n = 3;
      } else {
        bytes[0] = static_cast<unsigned char>(0xF0 | (cp >> 18));
        bytes[1] = static_cast<unsigned char>(0x80 | ((cp >> 12) & 0x3F));
        bytes[2] = static_cast<unsigned char>(0x80 | ((cp >> 6) & 0x3F));
        bytes[3] = static_cast<unsigned char>(0x80 | (cp & 0x3F));
        n = 4;
      }
      if (pass == 1) std::memcpy(&out[size], bytes, n);
      size += n;
      SecureZero(bytes, sizeof bytes);
    }
    if (pass == 0) {
      WipeString(out);
      out.assign(size, '\0');
    }
  }
}

void WipeString(std::string& text) {
  // Growing to the capacity never reallocates, and makes the whole storage
  // part of the string, so it may be written.
  text.resize(text.capacity());
  if (!text.empty()) SecureZero(&text[0], text.size());
  text.clear();
}

}  // namespace orvane
