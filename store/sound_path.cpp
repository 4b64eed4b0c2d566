#include "store/sound_path.h"

#include <cstddef>
#include <initializer_list>

#include "store/text.h"

namespace orvane {

namespace {

bool IsAsciiLetter(char16_t c) { return AsciiLower(c) >= u'a' && AsciiLower(c) <= u'z'; }

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


// Names Windows opens as a device in any folder and with any extension:
// the part before the first dot, trailing spaces dropped, ignoring case.
bool IsDeviceName(const char16_t* name, std::size_t length) {
  std::size_t base = 0;
  while (base < length && name[base] != u'.') ++base;
  while (base > 0 && name[base - 1] == u' ') --base;
  for (const char16_t* device : {u"con", u"prn", u"aux", u"nul", u"conin$", u"conout$"})
    if (SameAsciiWordIgnoringCase(name, base, device)) return true;
  if (base != 4 || !(SameAsciiWordIgnoringCase(name, 3, u"com") ||
                     SameAsciiWordIgnoringCase(name, 3, u"lpt")))
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
  const std::size_t length = BoundedLength(path, kMaxSoundPathLength + 1);
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
