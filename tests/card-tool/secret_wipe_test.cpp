// orvane-card's record commands leave no copy of a password or login text
// in freed heap memory and wipe the arguments that carried one, on every
// way out. The global allocator is replaced: each block is searched for the
// texts when it is freed.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <new>
#include <string>
#include <vector>

#include "platform/utf.h"
#include "tools/record_commands.h"
#include "tools/secret_text.h"

namespace {

// What must never be found in a freed block: the start of each secret, in
// UTF-8 and in UTF-16 (little-endian, as on both platforms), so that a
// partial copy (a buffer outgrown halfway) counts too.
struct Needle {
  unsigned char bytes[32];
  std::size_t size;
};
Needle g_needles[8];
int g_needleCount = 0;
bool g_watching = false;
int g_leaks = 0;

constexpr std::size_t kHeader = 16;  // keeps the alignment new promises

bool Holds(const unsigned char* block, std::size_t size, const Needle& needle) {
  if (size < needle.size) return false;
  for (std::size_t i = 0; i + needle.size <= size; ++i)
    if (std::memcmp(block + i, needle.bytes, needle.size) == 0) return true;
  return false;
}

void* Allocate(std::size_t n) {
  unsigned char* base = static_cast<unsigned char*>(std::malloc(n + kHeader));
  if (!base) throw std::bad_alloc();
  std::memcpy(base, &n, sizeof n);
  return base + kHeader;
}

void Release(void* p) noexcept {
  if (!p) return;
  unsigned char* base = static_cast<unsigned char*>(p) - kHeader;
  std::size_t n;
  std::memcpy(&n, base, sizeof n);
  if (g_watching)
    for (int i = 0; i < g_needleCount; ++i)
      if (Holds(base + kHeader, n, g_needles[i])) ++g_leaks;
  std::free(base);
}

}  // namespace

void* operator new(std::size_t n) { return Allocate(n); }
void* operator new[](std::size_t n) { return Allocate(n); }
void* operator new(std::size_t n, const std::nothrow_t&) noexcept {
  try { return Allocate(n); } catch (...) { return nullptr; }
}
void* operator new[](std::size_t n, const std::nothrow_t&) noexcept {
  try { return Allocate(n); } catch (...) { return nullptr; }
}
void operator delete(void* p) noexcept { Release(p); }
void operator delete[](void* p) noexcept { Release(p); }
void operator delete(void* p, std::size_t) noexcept { Release(p); }
void operator delete[](void* p, std::size_t) noexcept { Release(p); }
void operator delete(void* p, const std::nothrow_t&) noexcept { Release(p); }
void operator delete[](void* p, const std::nothrow_t&) noexcept { Release(p); }

namespace orvane {
namespace {

const char kIdentity[] = "010203040F04E3A1A24D35D9DB4E9AFF";
const char kOtherIdentity[] = "04112233445566AD73A44E4A47DDAD9A";
// Long enough that no string keeps them in its own small buffer.
const char kPassword[] = "Qz7#Kw9!pa55-word-of-some-length";
const char kUser[] = "Uv3%Lm8^user-name-long-enough";
const char kTarget[] = "Tg6&Hj1*target-long-enough";

void Watch(const char* secret) {
  Needle& utf8 = g_needles[g_needleCount++];
  utf8.size = 8;
  std::memcpy(utf8.bytes, secret, 8);
  Needle& utf16 = g_needles[g_needleCount++];
  utf16.size = 16;
  for (int i = 0; i < 8; ++i) {
    utf16.bytes[2 * i] = static_cast<unsigned char>(secret[i]);
    utf16.bytes[2 * i + 1] = 0;
  }
}

// Ordinary text into strings, secret lines into a fixed buffer.
struct CapturedOutput : CommandOutput {
  std::string out, err;
  char secret[4096] = {};
  std::size_t secretSize = 0;
  void Out(const std::string& text) override { out += text; }
  void Err(const std::string& text) override { err += text; }
  void OutSecret(const char* bytes, std::size_t size) override {
    ASSERT_LE(secretSize + size, sizeof secret);
    std::memcpy(secret + secretSize, bytes, size);
    secretSize += size;
  }
};

using Command = int (*)(std::vector<std::string>&, CommandOutput&);

struct Outcome {
  int status;
  int leaks;
  bool argumentsHold;  // a secret still in the arguments' storage
  CapturedOutput io;
};

void RunWatched(Command command, std::vector<std::string> args, Outcome& run) {
  g_needleCount = 0;
  Watch(kPassword);
  Watch(kUser);
  Watch(kTarget);
  g_leaks = 0;
  g_watching = true;
  run.status = command(args, run.io);
  g_watching = false;
  run.leaks = g_leaks;
  run.argumentsHold = false;
  for (std::string& arg : args) {
    arg.resize(arg.capacity());  // the whole storage, what lies beyond the text included
    for (int i = 0; i < g_needleCount; ++i)
      run.argumentsHold = run.argumentsHold ||
          Holds(reinterpret_cast<const unsigned char*>(arg.data()), arg.size(), g_needles[i]);
  }
}

std::string EncodedData() {
  Outcome run;
  RunWatched(EncodeCommand,
             {"--identity", kIdentity, "--password", kPassword, "--user", kUser, "--target", kTarget},
             run);
  EXPECT_EQ(run.status, 0) << run.io.err;
  EXPECT_EQ(run.io.out.compare(0, 6, "data: "), 0);
  return run.io.out.substr(6, run.io.out.size() - 7);
}

struct WipeCase {
  const char* name;
  bool decode;
  std::vector<std::string> args;  // "DATA" stands for a record of the three texts
  int status;
};

const std::string kLong = std::string(kPassword) + std::string(100, 'x');

const std::vector<WipeCase> kCases = {
    {"EncodeWritesData", false,
     {"--identity", kIdentity, "--password", kPassword, "--user", kUser, "--target", kTarget}, 0},
    {"EncodeTooLong", false,
     {"--identity", kIdentity, "--password", kLong, "--user", kUser, "--target", kTarget}, 1},
    {"EncodeOverABufferOfText", false,
     {"--identity", kIdentity, "--password", kLong + kLong + kLong, "--user", kUser, "--target", kTarget}, 1},
    {"EncodeTargetNotUtf8", false,
     {"--identity", kIdentity, "--password", kPassword, "--user", kUser, "--target", "\xff"}, 2},
    {"EncodeNoCard", false,
     {"--identity", std::string(32, '0'), "--password", kPassword, "--user", kUser, "--target", kTarget}, 1},
    {"EncodeBadIdentityAfterThePassword", false,
     {"--password", kPassword, "--user", kUser, "--target", kTarget, "--identity", "0102"}, 2},
    {"EncodeTargetMissing", false, {"--identity", kIdentity, "--password", kPassword, "--user", kUser}, 2},
    {"EncodeUnknownArgumentAfterThePassword", false,
     {"--password", kPassword, "--bogus", kUser}, 2},
    {"EncodeValueMissing", false, {"--user", kUser, "--password"}, 2},
    {"DecodeShown", true, {"--identity", kIdentity, "--show-password", "DATA"}, 0},
    {"DecodeHidden", true, {"--identity", kIdentity, "DATA"}, 0},
    {"DecodeOtherCard", true, {"--identity", kOtherIdentity, "--show-password", "DATA"}, 1},
    {"DecodeSecondDataArgument", true, {"--identity", kIdentity, "DATA", "DATA"}, 2},
};

void PrintTo(const WipeCase& c, std::ostream* os) { *os << c.name; }

class SecretWipe : public ::testing::TestWithParam<WipeCase> {};

TEST_P(SecretWipe, NoFreedBlockNorArgumentKeepsASecret) {
  const WipeCase& c = GetParam();
  std::vector<std::string> args = c.args;
  if (c.decode) {
    const std::string data = EncodedData();
    for (std::string& arg : args)
      if (arg == "DATA") arg = data;
  }
  Outcome run;
  RunWatched(c.decode ? DecodeCommand : EncodeCommand, args, run);
  EXPECT_EQ(run.status, c.status) << run.io.err;
  EXPECT_EQ(run.leaks, 0) << "freed blocks that held a secret";
  EXPECT_FALSE(run.argumentsHold) << "an argument still holds a secret";
  if (c.status == 0 && c.decode) {
    // The texts did arrive, so the search above was over real copies.
    const std::string shown(run.io.secret, run.io.secretSize);
    EXPECT_NE(shown.find(std::string("user: ") + kUser + "\n"), std::string::npos) << shown;
    const bool passwordShown = shown.find(std::string("password: ") + kPassword + "\n") != std::string::npos;
    const bool asked = std::find(c.args.begin(), c.args.end(), "--show-password") != c.args.end();
    EXPECT_EQ(passwordShown, asked) << shown;
  }
}

INSTANTIATE_TEST_SUITE_P(RecordCommands, SecretWipe, ::testing::ValuesIn(kCases),
                         [](const auto& info) { return std::string(info.param.name); });

// The fixed-buffer conversions say what the allocating ones say.
TEST(SecretText, ConversionsAgreeWithTheLibraryOnes) {
  const std::vector<std::string> utf8 = {
      "", "a", "パスワード", "p\xc3\xa4ss\xf0\x9f\x94\x91", "\xf0\xa0\xae\xb7",
      "\xff", "\xc3", "\xe3\x81", "\xc0\xaf", "\xed\xa0\x80", "\xf4\x90\x80\x80", "a\x80"};
  for (const std::string& text : utf8) {
    std::u16string expected;
    const bool valid = Utf8ToUtf16(text, expected);
    SecretText got;
    EXPECT_EQ(SecretFromUtf8(text.data(), text.size(), got), valid) << text;
    if (!valid) continue;
    EXPECT_EQ(got.length, expected.size());
    EXPECT_EQ(std::u16string(got.text), expected);
    const SecretLine line("x: ", got.text);
    EXPECT_EQ(std::string(line.bytes, line.size), "x: " + text + "\n");
    std::string argument = "stale";
    ArgumentToUtf8(expected.c_str(), argument);
    EXPECT_EQ(argument, text);
  }
  // Unpaired surrogates print as U+FFFD, as Utf16ToUtf8 writes them.
  const std::u16string lone = {u'a', char16_t(0xD800), u'b', char16_t(0xDC00)};
  const SecretLine line("", lone.c_str());
  EXPECT_EQ(std::string(line.bytes, line.size), Utf16ToUtf8(lone) + "\n");
  std::string argument;
  ArgumentToUtf8(lone.c_str(), argument);
  EXPECT_EQ(argument, Utf16ToUtf8(lone));
}

// A string that once held a longer text keeps it past its end: that part is
// wiped too.
TEST(SecretText, WipeStringClearsTheWholeStorage) {
  g_needleCount = 0;
  Watch(kPassword + 8);  // what the shorter text did not overwrite
  g_leaks = 0;
  {
    std::string text(kPassword);
    text.assign("ab");
    WipeString(text);
    EXPECT_TRUE(text.empty());
    g_watching = true;  // the storage is searched when it is freed
  }
  g_watching = false;
  EXPECT_EQ(g_leaks, 0);
}

TEST(SecretText, TextBeyondTheBufferIsCountedNotCut) {
  const std::string fits(kTextSize - 1, 'a'), over(kTextSize, 'a');
  SecretText a, b;
  ASSERT_TRUE(SecretFromUtf8(fits.data(), fits.size(), a));
  EXPECT_TRUE(a.Fits());
  EXPECT_EQ(std::u16string(a.text).size(), fits.size());
  ASSERT_TRUE(SecretFromUtf8(over.data(), over.size(), b));
  EXPECT_FALSE(b.Fits());
  EXPECT_EQ(b.length, over.size());
  EXPECT_EQ(b.text[0], 0) << "no half text is kept";
  // The longest line fits its buffer with the newline.
  const std::u16string longest(kTextSize - 1, char16_t(0x30D1));
  const SecretLine line("password: ", longest.c_str());
  EXPECT_EQ(line.size, 10 + 3 * (kTextSize - 1) + 1);
  EXPECT_EQ(line.bytes[line.size - 1], '\n');
}

}  // namespace
}  // namespace orvane
