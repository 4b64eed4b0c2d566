#include "store/sound_path.h"

#include <cstddef>
#include <initializer_list>

namespace orvane {

namespace {

std::size_t Length(const char16_t* text, std::size_t capacity) {
  std::size_t n = 0;
  while (n < capacity && text[n] != 0) ++n;
  return n;
}

char16_t UpperAscii(char16_t c) {
  return c >= u'a' && c <= u'z' ? static_cast<char16_t>(c - u'a' + u'A') : c;
}

bool IsAsciiLetter(char16_t c) { return UpperAscii(c) >= u'A' && UpperAscii(c) <= u'Z'; }

// Characters no component may hold. The wildcards because FindFirstFileW
// takes them as a pattern (< > " are its DOS forms of * ? .) and would find
// some other file; ':' after the drive names a stream; '/' is a second
// separator that Windows rewrites.
bool IsRefusedCharacter(char16_t c) {
  switch (c) {
    case u'*': case u'?': case u'<': case u'>': case u'"': case u'|': case u':': case u'/':
      return true;
    default:
      return c < 0x20;
  }
}

// The first n characters of name are device, ignoring case.
bool StartsWithUpper(const char16_t* name, std::size_t n, const char16_t* device) {
  for (std::size_t i = 0; i < n; ++i)
    if (device[i] == 0 || UpperAscii(name[i]) != device[i]) return false;
  return true;
}

// Names Windows opens as a device in any folder and with any extension:
// the part before the first dot, trailing spaces dropped, ignoring case.
bool IsDeviceName(const char16_t* name, std::size_t length) {
  std::size_t base = 0;
  while (base < length && name[base] != u'.') ++base;
  while (base > 0 && name[base - 1] == u' ') --base;
  for (const char16_t* device : {u"CON", u"PRN", u"AUX", u"NUL", u"CONIN$", u"CONOUT$"})
    if (Length(device, 8) == base && StartsWithUpper(name, base, device)) return true;
  if (base != 4 || !(StartsWithUpper(name, 3, u"COM") || StartsWithUpper(name, 3, u"LPT")))
    return false;
  const char16_t digit = name[3];
  // Superscript one, two and three count as digits here too.
  return (digit >= u'0' && digit <= u'9') || digit == 0xB9 || digit == 0xB2 || digit == 0xB3;
}

bool IsAllowedComponent(const char16_t* name, std::size_t length) {
  if (length == 0) return false;  // doubled or trailing backslash
  const char16_t last = name[length - 1];
  if (last == u'.' || last == u' ') return false;  // also "." and ".."
  return !IsDeviceName(name, length);
}

}  // namespace

bool IsAllowedSoundPath(const char16_t* path) {
  if (path == nullptr) return false;
  const std::size_t length = Length(path, kMaxSoundPathLength + 1);
  if (length == 0 || length > static_cast<std::size_t>(kMaxSoundPathLength)) return false;
  if (length < 4 || !IsAsciiLetter(path[0]) || path[1] != u':' || path[2] != u'\\') return false;
  std::size_t start = 3;
  for (std::size_t i = 3; i <= length; ++i) {
    if (i < length) {
      if (IsRefusedCharacter(path[i])) return false;
      if (path[i] != u'\\') continue;
    }
    if (!IsAllowedComponent(path + start, i - start)) return false;
    start = i + 1;
  }
  return true;
}

}  // namespace orvane
