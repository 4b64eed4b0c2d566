#include "store/text.h"

namespace orvane {

std::size_t BoundedLength(const char16_t* text, std::size_t capacity) {
  if (text == nullptr) return 0;
  std::size_t n = 0;
  while (n < capacity && text[n] != 0) ++n;
  return n;
}

std::size_t BoundedCopy(char16_t* out, std::size_t capacity, const char16_t* text) {
  if (capacity == 0) return 0;
  const std::size_t n = BoundedLength(text, capacity - 1);
  for (std::size_t i = 0; i < n; ++i) out[i] = text[i];
  out[n] = 0;
  return n;
}

bool SameText(const char16_t* a, const char16_t* b, std::size_t capacity) {
  if (a == nullptr) a = u"";
  if (b == nullptr) b = u"";
  for (std::size_t i = 0; i < capacity; ++i) {
    if (a[i] != b[i]) return false;
    if (a[i] == 0) return true;
  }
  return true;
}

char16_t AsciiLower(char16_t c) {
  return c >= u'A' && c <= u'Z' ? static_cast<char16_t>(c - u'A' + u'a') : c;
}

bool SameAsciiWordIgnoringCase(const char16_t* text, std::size_t length, const char16_t* word) {
  if (BoundedLength(word, length + 1) != length) return false;
  for (std::size_t i = 0; i < length; ++i)
    if (AsciiLower(text[i]) != word[i]) return false;
  return true;
}

}  // namespace orvane
