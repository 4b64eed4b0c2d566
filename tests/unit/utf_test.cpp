#include "platform/utf.h"

#include <gtest/gtest.h>

namespace orvane {
namespace {

TEST(Utf, RoundTripsJapaneseAndAstralCharacters) {
  const std::string text = u8"たろう pässwörd 🔑";
  std::u16string wide;
  ASSERT_TRUE(Utf8ToUtf16(text, wide));
  EXPECT_EQ(wide, u"たろう pässwörd 🔑");
  EXPECT_EQ(Utf16ToUtf8(wide), text);
}

TEST(Utf, RejectsMalformedUtf8) {
  const char* bad[] = {"\xC3", "\xE3\x81", "\xF0\x9F\x94", "\x80", "\xC0\xAF", "\xED\xA0\x80",
                       "\xF4\x90\x80\x80", "\xFF"};
  for (const char* b : bad) {
    std::u16string out;
    EXPECT_FALSE(Utf8ToUtf16(b, out)) << b;
  }
}

TEST(Utf, UnpairedSurrogatesBecomeReplacementCharacters) {
  EXPECT_EQ(Utf16ToUtf8(std::u16string(1, char16_t(0xD800)) + u"a"), "\xEF\xBF\xBD" "a");
  EXPECT_EQ(Utf16ToUtf8(std::u16string(1, char16_t(0xDC00))), "\xEF\xBF\xBD");
}

}  // namespace
}  // namespace orvane
