// The login record: byte layout, keys per block, reading with its limits and
// defaults, and what a failed or refused write leaves in the registry.
#include "store/login_record.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <string>
#include <vector>

#include "tests/fakes/fake_registry.h"
#include "store/cipher.h"
#include "store/shared_names.h"
#include "tests/unit/record_test_support.h"

namespace orvane {
namespace {

using Bytes = std::vector<unsigned char>;
using recordtest::Permuted;
using recordtest::RecordPath;

class FixedClock : public ClockPort {
 public:
  LocalTime now{2024, 1, 2, 3, 4, 5};
  uint32_t seconds = 1700000000;
  LocalTime Now() override { return now; }
  uint32_t SecondsSinceEpoch() override { return seconds; }
};

// Value k after seed s has (s + k) mod 256 in its low byte, so the filler
// shows the order it was drawn in; the high bits must be dropped.
class SequenceRandom : public RandomPort {
 public:
  std::vector<uint32_t> seeds;
  int drawn = 0;
  void Seed(uint32_t seed) override {
    seeds.push_back(seed);
    base_ = static_cast<int>(seed & 0xFF);
    drawn = 0;
  }
  int Next() override { return 0x12300 + ((base_ + drawn++) & 0xFF); }

 private:
  int base_ = 0;
};

CardIdentity CardFromId(std::initializer_list<unsigned char> id) {
  CardIdentity identity{};
  int n = 0;
  for (unsigned char b : id) identity[n++] = b;
  FillIdentity(identity, n);
  return identity;
}

const CardIdentity kCard = CardFromId({0x01, 0x02, 0x03, 0x04});
const CardIdentity kOtherCard = CardFromId({0x04, 0x11, 0x22, 0x33, 0x44, 0x55, 0x66});

// Encrypted "data" for the strings, filler from a SequenceRandom.
Bytes EncryptedRecord(const CardIdentity& identity, const std::u16string& password,
                      const std::u16string& user, const std::u16string& target) {
  SequenceRandom random;
  unsigned char buffer[kMaxLoginData];
  std::size_t total = BuildLoginPlaintext(password.c_str(), user.c_str(), target.c_str(), random,
                                          buffer, sizeof buffer);
  EncryptLoginData(identity, Permuted(identity), buffer, total);
  return Bytes(buffer, buffer + total);
}

TEST(LoginPlaintextTest, OneCharacterPasswordLayout) {
  SequenceRandom random;
  unsigned char out[kMaxLoginData];
  std::memset(out, 0xEE, sizeof out);
  ASSERT_EQ(BuildLoginPlaintext(u"\u3042", u"", u"", random, out, sizeof out), 32u);
  // c = 20, n = 12: filler 0-3, password 4-5 low byte first, terminator 6-7,
  // filler 8-9, user terminator 10-11, filler 12-17, target terminator
  // 18-19, tail filler 20-31; filler bytes in the order drawn.
  const Bytes expected = {0,  1,  2,  3,  0x42, 0x30, 0,  0,  4,  5,  0,  0,  6,  7,  8,  9,
                          10, 11, 0,  0,  12,   13,   14, 15, 16, 17, 18, 19, 20, 21, 22, 23};
  EXPECT_EQ(Bytes(out, out + 32), expected);
  EXPECT_EQ(random.drawn, 24);
  EXPECT_EQ(out[32], 0xEE);  // nothing past T
}

TEST(LoginPlaintextTest, StringPositionsWithAllThreeStrings) {
  SequenceRandom random;
  unsigned char out[kMaxLoginData];
  // Lp 2, Lu 3, Lt 2: c = 32, a whole block of filler is added.
  ASSERT_EQ(BuildLoginPlaintext(u"pw", u"bob", u"PC", random, out, sizeof out), 48u);
  EXPECT_EQ(Bytes(out + 4, out + 10), (Bytes{'p', 0, 'w', 0, 0, 0}));
  EXPECT_EQ(Bytes(out + 12, out + 20), (Bytes{'b', 0, 'o', 0, 'b', 0, 0, 0}));
  EXPECT_EQ(Bytes(out + 26, out + 32), (Bytes{'P', 0, 'C', 0, 0, 0}));
  EXPECT_EQ(Bytes(out + 20, out + 26), (Bytes{6, 7, 8, 9, 10, 11}));
  EXPECT_EQ(out[32], 12);
  EXPECT_EQ(out[47], 27);
}

struct SizeCase {
  std::size_t lp, lu, lt;
  std::size_t expected;  // 0: refused
};

TEST(LoginPlaintextTest, TotalSizeIsTheNextMultipleOf16AboveC) {
  const SizeCase cases[] = {
      {0, 0, 0, 32},      {1, 0, 0, 32},     {3, 2, 2, 48},      {6, 0, 0, 32},
      {7, 0, 0, 48},      {40, 40, 38, 256}, {40, 40, 39, 0},    {86, 0, 0, 192},
      {90, 0, 0, 208},    {259, 0, 0, 0},
  };
  for (const SizeCase& c : cases) {
    SequenceRandom random;
    unsigned char out[kMaxLoginData];
    std::u16string p(c.lp, u'p'), u(c.lu, u'u'), t(c.lt, u't');
    EXPECT_EQ(BuildLoginPlaintext(p.c_str(), u.c_str(), t.c_str(), random, out, sizeof out),
              c.expected)
        << c.lp << "+" << c.lu << "+" << c.lt;
  }
  // Capacity below T refuses instead of writing past the buffer.
  SequenceRandom random;
  unsigned char small[32];
  EXPECT_EQ(BuildLoginPlaintext(u"1234567", u"", u"", random, small, sizeof small), 0u);
}

TEST(LoginPlaintextTest, StringWithoutTerminatorWithinItsBufferIsRefused) {
  // A 260-unit buffer with no terminator: must stop at 260, not run on.
  std::vector<char16_t> unterminated(260, u'x');
  SequenceRandom random;
  unsigned char out[kMaxLoginData];
  EXPECT_EQ(BuildLoginPlaintext(u"", unterminated.data(), u"", random, out, sizeof out), 0u);
  EXPECT_EQ(BuildLoginPlaintext(nullptr, nullptr, nullptr, random, out, sizeof out), 32u);
}

// Block 0 under the permuted identity, block 1 under the identity, and so on.
TEST(LoginDataTest, EvenBlocksUsePermutedIdentityOddBlocksTheIdentity) {
  SequenceRandom random;
  unsigned char plain[kMaxLoginData];
  const std::size_t total =
      BuildLoginPlaintext(u"password1", u"alice", u"WORKSTATION", random, plain, sizeof plain);
  ASSERT_EQ(total, 80u);
  unsigned char data[kMaxLoginData];
  std::memcpy(data, plain, total);
  const CardIdentity permuted = Permuted(kCard);
  EncryptLoginData(kCard, permuted, data, total);
  for (std::size_t block = 0; block < total / 16; ++block) {
    unsigned char expected[16];
    const unsigned char* key = block % 2 == 0 ? permuted.data() : kCard.data();
    CipherBlock(plain + 16 * block, expected, key, kCipherEncrypt);
    EXPECT_EQ(Bytes(data + 16 * block, data + 16 * block + 16), Bytes(expected, expected + 16))
        << "block " << block;
  }
  DecryptLoginData(kCard, permuted, data, total);
  EXPECT_EQ(Bytes(data, data + total), Bytes(plain, plain + total));
}

TEST(LoginDataTest, PartialLastBlockIsLeftAlone) {
  unsigned char data[21];
  for (int i = 0; i < 21; ++i) data[i] = static_cast<unsigned char>(i);
  EncryptLoginData(kCard, Permuted(kCard), data, sizeof data);
  for (int i = 16; i < 21; ++i) EXPECT_EQ(data[i], i);
  EXPECT_NE(data[0], 0);
}

TEST(LoginDataTest, DecodesJapaneseAndSupplementaryText) {
  const std::u16string password = u"p\u00e4ss\U0001F511";
  const std::u16string user = u"\u5c71\u7530";
  const std::u16string target = u"MicrosoftAccount\U00020BB7";
  Bytes data = EncryptedRecord(kCard, password, user, target);
  LoginStrings strings;
  ASSERT_TRUE(DecodeLoginData(kCard, Permuted(kCard), data.data(), data.size(), strings));
  EXPECT_EQ(std::u16string(strings.password), password);
  EXPECT_EQ(std::u16string(strings.user), user);
  EXPECT_EQ(std::u16string(strings.target), target);
}

// Plaintext put together by hand, to reach shapes the writer never makes.
Bytes Plain(std::initializer_list<std::u16string> strings, std::size_t pad) {
  Bytes out = {0xAA, 0xAA, 0xAA, 0xAA};
  const std::size_t fillers[] = {2, 6, 0};
  std::size_t i = 0;
  for (const std::u16string& s : strings) {
    for (char16_t c : s) {
      out.push_back(static_cast<unsigned char>(c & 0xFF));
      out.push_back(static_cast<unsigned char>(c >> 8));
    }
    out.push_back(0);
    out.push_back(0);
    out.insert(out.end(), fillers[i < 2 ? i : 2], 0xBB);
    ++i;
  }
  out.insert(out.end(), pad, 0xCC);
  return out;
}

TEST(LoginDataTest, ParseRejectsMissingTerminatorsAndOverlongStrings) {
  struct Case {
    const char* name;
    Bytes plain;
    bool ok;
  };
  Bytes noTargetEnd = Plain({u"pw", u"u", u"target"}, 0);
  noTargetEnd.resize(noTargetEnd.size() - 2);  // drop the target's terminator
  Bytes oddCut = Plain({u"pw", u"u", u"t"}, 0);
  oddCut.resize(oddCut.size() - 1);  // terminator cut in half
  const Case cases[] = {
      {"plain", Plain({u"pw", u"u", u"t"}, 0), true},
      {"empty strings", Plain({u"", u"", u""}, 0), true},
      {"259 units", Plain({std::u16string(259, u'a'), u"", u""}, 0), true},
      {"260 units", Plain({std::u16string(260, u'a'), u"", u""}, 0), false},
      {"260-unit user", Plain({u"", std::u16string(260, u'b'), u""}, 0), false},
      {"260-unit target", Plain({u"", u"", std::u16string(260, u'c')}, 0), false},
      {"no target terminator", noTargetEnd, false},
      {"half a terminator", oddCut, false},
      {"only two strings", Plain({u"pw", u"u"}, 0), false},
      {"empty", Bytes{}, false},
      {"filler only", Bytes{1, 2, 3, 4}, false},
  };
  for (const Case& c : cases) {
    LoginStrings strings;
    std::memset(strings.user, 0x55, sizeof strings.user);
    EXPECT_EQ(ParseLoginPlaintext(c.plain.data(), c.plain.size(), strings), c.ok) << c.name;
    if (!c.ok) {
      EXPECT_EQ(strings.password[0], 0) << c.name;
      EXPECT_EQ(strings.user[0], 0) << c.name;
    }
  }
}

TEST(LoginDataTest, DecodeRobustness) {
  const Bytes good = EncryptedRecord(kCard, u"secret", u"alice", u"PC");  // 48 bytes
  // Target of 8 units: its terminator is the first thing in block 2.
  const Bytes spill = EncryptedRecord(kCard, u"p", u"", u"ABCDEFGH");
  struct Case {
    const char* name;
    Bytes data;
    CardIdentity card;
    bool ok;
  };
  Bytes withTail = good;
  withTail.insert(withTail.end(), {0, 0, 0, 0, 0});
  Bytes oddLength = good;
  oddLength.push_back(0);
  Bytes cutToTail(spill.begin(), spill.begin() + 32);
  cutToTail.insert(cutToTail.end(), {0, 0});  // a terminator, but not in a whole block
  const Case cases[] = {
      {"good", good, kCard, true},
      {"wrong card", good, kOtherCard, false},
      {"partial tail ignored", withTail, kCard, true},
      {"odd length", oddLength, kCard, true},
      {"terminator only in the partial tail", cutToTail, kCard, false},
      {"short", Bytes(good.begin(), good.begin() + 15), kCard, false},
      {"one block", Bytes(good.begin(), good.begin() + 16), kCard, false},
      {"too long", Bytes(257, 0), kCard, false},
  };
  for (const Case& c : cases) {
    LoginStrings strings;
    EXPECT_EQ(DecodeLoginData(c.card, Permuted(c.card), c.data.data(), c.data.size(), strings),
              c.ok)
        << c.name;
  }
  LoginStrings strings;
  ASSERT_TRUE(DecodeLoginData(kCard, Permuted(kCard), withTail.data(), withTail.size(), strings));
  EXPECT_EQ(std::u16string(strings.password), u"secret");
}

class LoginRecordTest : public ::testing::Test {
 protected:
  void TearDown() override {
    EXPECT_EQ(registry.OpenHandleCount(), 0u);
    EXPECT_EQ(registry.BadCloseCount(), 0u);
  }
  WriteResult Write(const std::u16string& user, const std::u16string& password,
                    const std::u16string& target, const std::u16string& description,
                    const CardIdentity& card = kCard) {
    return WriteLoginRecord(registry, clock, random, card, user.c_str(), password.c_str(),
                            target.c_str(), description.c_str());
  }
  FakeRegistry registry;
  FixedClock clock;
  SequenceRandom random;
  const std::u16string path = RecordPath(kCard);
};

TEST_F(LoginRecordTest, WriteThenReadBack) {
  ASSERT_EQ(Write(u"\u5c71\u7530", u"pa55\U0001F600", u"DESKTOP-1", u"\u793e\u54e1\u8a3c"),
            WriteResult::Ok);
  EXPECT_EQ(random.seeds, std::vector<uint32_t>{clock.seconds});

  FakeRegistry::Value data;
  ASSERT_TRUE(registry.GetValue(path, u"data", &data));
  EXPECT_EQ(data.type, regtype::kBinary);
  EXPECT_EQ(data.bytes.size(), 64u);  // 17 code units: c = 52
  LoginStrings strings;
  ASSERT_EQ(ReadLoginRecord(registry, kCard, kMaxLoginData, strings), LoginDataResult::Ok);
  EXPECT_EQ(std::u16string(strings.user), u"\u5c71\u7530");
  EXPECT_EQ(std::u16string(strings.password), u"pa55\U0001F600");
  EXPECT_EQ(std::u16string(strings.target), u"DESKTOP-1");

  EXPECT_EQ(ReadLoginRecord(registry, kOtherCard, kMaxLoginData, strings),
            LoginDataResult::NoRecord);
}

TEST_F(LoginRecordTest, CommentIsTimeSpaceDescriptionWithoutTerminator) {
  clock.now = LocalTime{2031, 12, 9, 23, 5, 7};
  ASSERT_EQ(Write(u"u", u"p", u"t", u"\u793e\u54e1"), WriteResult::Ok);
  FakeRegistry::Value comment;
  ASSERT_TRUE(registry.GetValue(path, u"comment", &comment));
  EXPECT_EQ(comment.type, regtype::kSz);
  std::u16string text;
  ASSERT_TRUE(registry.GetString(path, u"comment", &text));
  EXPECT_EQ(text, u"2031/12/09 23:05:07 \u793e\u54e1");
  EXPECT_EQ(comment.bytes.size(), 2 * text.size());

  // An empty description leaves the time and one space: 40 bytes.
  ASSERT_EQ(Write(u"u", u"p", u"t", u""), WriteResult::Ok);
  ASSERT_TRUE(registry.GetValue(path, u"comment", &comment));
  EXPECT_EQ(comment.bytes.size(), 40u);
  EXPECT_EQ(comment.bytes[38], ' ');

  RegKey key(registry);
  ASSERT_EQ(key.Open(RegRoot::LocalMachine, path.c_str(), RegAccess::QueryValue), RegResult::Ok);
  RecordComment parsed;
  ASSERT_TRUE(ReadComment(registry, key.handle(), parsed));
  EXPECT_EQ(std::u16string(parsed.time), u"2031/12/09 23:05:07");
  EXPECT_EQ(std::u16string(parsed.description), u"");
}

TEST_F(LoginRecordTest, AClockOutOfRangeStillLeavesTheWholeDescription) {
  // Fields as printf's "%04d"/"%02d" write them; the time can grow, the
  // description is never cut for it and nothing runs past the text.
  const std::u16string description(239, u'd');
  struct Case {
    LocalTime now;
    std::u16string stamp;
  } cases[] = {
      {{12345, 1, 2, 3, 4, 5}, u"12345/01/02 03:04:05 "},
      {{-5, -1, 0, 0, 0, 0}, u"-005/-1/00 00:00:00 "},
      {{INT_MIN, INT_MIN, INT_MIN, INT_MIN, INT_MIN, INT_MIN}, std::u16string()},
  };
  for (const Case& c : cases) {
    clock.now = c.now;
    ASSERT_EQ(Write(u"u", u"p", u"t", description), WriteResult::Ok);
    std::u16string text;
    ASSERT_TRUE(registry.GetString(path, u"comment", &text));
    EXPECT_EQ(text.substr(text.size() - description.size()), description);
    if (!c.stamp.empty()) {
      EXPECT_EQ(text, c.stamp + description);
    }
    EXPECT_LE(text.size(), kMaxStoredText);
  }
}

TEST_F(LoginRecordTest, SameInputSameSecondGivesSameBytesOtherSecondsDiffer) {
  ASSERT_EQ(Write(u"alice", u"secret", u"PC", u""), WriteResult::Ok);
  FakeRegistry::Value first, second, third;
  ASSERT_TRUE(registry.GetValue(path, u"data", &first));
  ASSERT_EQ(Write(u"alice", u"secret", u"PC", u""), WriteResult::Ok);
  ASSERT_TRUE(registry.GetValue(path, u"data", &second));
  EXPECT_EQ(first.bytes, second.bytes);
  clock.seconds += 1;
  ASSERT_EQ(Write(u"alice", u"secret", u"PC", u""), WriteResult::Ok);
  ASSERT_TRUE(registry.GetValue(path, u"data", &third));
  EXPECT_NE(first.bytes, third.bytes);
  LoginStrings strings;
  ASSERT_EQ(ReadLoginRecord(registry, kCard, kMaxLoginData, strings), LoginDataResult::Ok);
  EXPECT_EQ(std::u16string(strings.password), u"secret");
}

TEST_F(LoginRecordTest, ReadLimitDecidesWhetherLargeRecordsAreSeen) {
  // 90 code units in all: T = 208, beyond a 200-byte reader.
  ASSERT_EQ(Write(std::u16string(30, u'u'), std::u16string(30, u'p'), std::u16string(30, u't'),
                  u""),
            WriteResult::Ok);
  LoginStrings strings;
  EXPECT_EQ(ReadLoginRecord(registry, kCard, 200, strings), LoginDataResult::NoLoginData);
  EXPECT_EQ(strings.password[0], 0);
  EXPECT_EQ(ReadLoginRecord(registry, kCard, 256, strings), LoginDataResult::Ok);
  EXPECT_EQ(std::u16string(strings.user), std::u16string(30, u'u'));
}

TEST_F(LoginRecordTest, ReadLoginDataEdgeCases) {
  const Bytes good = EncryptedRecord(kCard, u"secret", u"alice", u"PC");
  Bytes full256 = EncryptedRecord(kCard, std::u16string(40, u'p'), std::u16string(40, u'u'),
                                  std::u16string(38, u't'));
  ASSERT_EQ(full256.size(), 256u);
  struct Case {
    const char* name;
    bool present;
    uint32_t type;
    Bytes bytes;
    uint32_t limit;
    LoginDataResult expected;
  };
  Bytes longer = full256;
  longer.push_back(0);
  const Case cases[] = {
      {"good", true, regtype::kBinary, good, 256, LoginDataResult::Ok},
      {"type not examined", true, regtype::kSz, good, 256, LoginDataResult::Ok},
      {"absent", false, 0, {}, 256, LoginDataResult::NoLoginData},
      {"empty value", true, regtype::kBinary, {}, 256, LoginDataResult::NoLoginData},
      {"exactly 256", true, regtype::kBinary, full256, 256, LoginDataResult::Ok},
      {"257 bytes", true, regtype::kBinary, longer, 256, LoginDataResult::NoLoginData},
      {"limit above the buffer", true, regtype::kBinary, longer, 4096,
       LoginDataResult::NoLoginData},
      {"limit below the value", true, regtype::kBinary, good, 47, LoginDataResult::NoLoginData},
  };
  for (const Case& c : cases) {
    FakeRegistry reg;
    reg.AddKey(path);
    if (c.present) reg.SetRaw(path, u"data", c.type, c.bytes);
    RegKeyHandle key = 0;
    ASSERT_EQ(reg.OpenKey(RegRoot::LocalMachine, path.c_str(), RegAccess::QueryValue, &key),
              RegResult::Ok);
    LoginStrings strings;
    EXPECT_EQ(ReadLoginData(reg, key, kCard, Permuted(kCard), c.limit, strings), c.expected)
        << c.name;
    reg.CloseKey(key);
  }
}

TEST_F(LoginRecordTest, DwordValuesFallBackUnlessExactlyFourBytes) {
  struct Case {
    const char* name;
    bool present;
    uint32_t type;
    Bytes bytes;
    uint32_t expected;
  };
  const Case cases[] = {
      {"dword", true, regtype::kDword, {0x10, 0, 0, 0}, 0x10},
      {"minus one", true, regtype::kDword, {0xFF, 0xFF, 0xFF, 0xFF}, 0xFFFFFFFFu},
      {"little endian", true, regtype::kDword, {0x01, 0x02, 0x03, 0x04}, 0x04030201u},
      {"binary of 4 bytes", true, regtype::kBinary, {2, 0, 0, 0}, 2},
      {"absent", false, 0, {}, 777},
      {"empty", true, regtype::kDword, {}, 777},
      // These fit the 4-byte buffer: only the size check refuses them.
      {"two bytes", true, regtype::kDword, {1, 0}, 777},
      {"three bytes", true, regtype::kDword, {1, 0, 0}, 777},
      {"one byte of binary", true, regtype::kBinary, {9}, 777},
      // These do not fit: the registry answers "more data".
      {"five bytes", true, regtype::kDword, {1, 0, 0, 0, 0}, 777},
      {"qword", true, regtype::kQword, {1, 0, 0, 0, 0, 0, 0, 0}, 777},
  };
  for (const Case& c : cases) {
    FakeRegistry reg;
    reg.AddKey(path);
    if (c.present) reg.SetRaw(path, u"interval", c.type, c.bytes);
    RegKeyHandle key = 0;
    ASSERT_EQ(reg.OpenKey(RegRoot::LocalMachine, path.c_str(), RegAccess::QueryValue, &key),
              RegResult::Ok);
    EXPECT_EQ(ReadDwordValue(reg, key, u"interval", 777), c.expected) << c.name;
    reg.CloseKey(key);
  }
}

TEST(CommentTest, ParseSplitsTimeAndDescription) {
  struct Case {
    std::u16string text;
    std::u16string time;
    std::u16string description;
  };
  const Case cases[] = {
      {u"2024/01/02 03:04:05 office card", u"2024/01/02 03:04:05", u"office card"},
      {u"2024/01/02 03:04:05 ", u"2024/01/02 03:04:05", u""},
      {u"2024/01/02 03:04:05x", u"2024/01/02 03:04:05", u""},
      {u"2024/01/02 03:04:05 a", u"2024/01/02 03:04:05", u"a"},
      {u"2024/01/02 03:04:05", u"2024/01/02 03:04:05", u""},
      {u"short", u"short", u""},
      {u"", u"", u""},
      {std::u16string(u"2024/01/02 03:04:05 ab\0cd", 25), u"2024/01/02 03:04:05", u"ab"},
      // A zero inside the time ends the whole text: no description follows.
      {std::u16string(u"2024/01\0/02 03:04:05 abc", 24), u"2024/01", u""},
      {std::u16string(u"\0" u"024/01/02 03:04:05 abc", 23), u"", u""},
      {std::u16string(u"2024/01/02 03:04:05\0abc", 23), u"2024/01/02 03:04:05", u""},
      {u"2024/01/02 03:04:05 " + std::u16string(240, u'd'), u"2024/01/02 03:04:05",
       std::u16string(240, u'd')},
      {u"2024/01/02 03:04:05 " + std::u16string(300, u'd'), u"2024/01/02 03:04:05",
       std::u16string(259, u'd')},
  };
  for (const Case& c : cases) {
    RecordComment out;
    ParseComment(c.text.data(), c.text.size(), out);
    EXPECT_EQ(std::u16string(out.time), c.time);
    EXPECT_EQ(std::u16string(out.description), c.description);
  }
}

TEST(CommentTest, ReadCommentEndsAfterTheBytesReturned) {
  const std::u16string path = RecordPath(kCard);
  struct Case {
    const char* name;
    bool present;
    Bytes bytes;
    bool ok;
    std::u16string description;
  };
  Bytes odd;
  for (char c : std::string("2024/01/02 03:04:05 ab")) {
    odd.push_back(static_cast<unsigned char>(c));
    odd.push_back(0);
  }
  odd.push_back('c');  // half a character
  const Case cases[] = {
      {"odd byte count", true, odd, true, u"ab"},
      {"absent", false, {}, false, u""},
      {"520 bytes", true, Bytes(520, 'x'), true, std::u16string(240, u'\u7878')},
      {"521 bytes", true, Bytes(521, 'x'), false, u""},
  };
  for (const Case& c : cases) {
    FakeRegistry reg;
    reg.AddKey(path);
    if (c.present) reg.SetRaw(path, u"comment", regtype::kSz, c.bytes);
    RegKeyHandle key = 0;
    ASSERT_EQ(reg.OpenKey(RegRoot::LocalMachine, path.c_str(), RegAccess::QueryValue, &key),
              RegResult::Ok);
    RecordComment out;
    EXPECT_EQ(ReadComment(reg, key, out), c.ok) << c.name;
    EXPECT_EQ(std::u16string(out.description), c.description) << c.name;
    reg.CloseKey(key);
  }
}

TEST_F(LoginRecordTest, WriteFailuresStopAtTheirStep) {
  registry.FailCreateKey(RegRoot::LocalMachine, path);
  EXPECT_EQ(Write(u"u", u"p", u"t", u"d"), WriteResult::CreateFailed);
  EXPECT_FALSE(registry.KeyExists(path));

  registry.ClearFailures();
  registry.FailSetValue(u"data");
  EXPECT_EQ(Write(u"u", u"p", u"t", u"d"), WriteResult::DataFailed);
  EXPECT_TRUE(registry.KeyExists(path));  // created before the failure; no rollback
  EXPECT_FALSE(registry.GetValue(path, u"data", nullptr));
  EXPECT_FALSE(registry.GetValue(path, u"comment", nullptr));

  registry.ClearFailures();
  registry.FailSetValue(u"comment");
  EXPECT_EQ(Write(u"u", u"p", u"t", u"d"), WriteResult::CommentFailed);
  EXPECT_TRUE(registry.GetValue(path, u"data", nullptr));
  EXPECT_FALSE(registry.GetValue(path, u"comment", nullptr));
}

TEST_F(LoginRecordTest, OverwriteKeepsRemovalSettings) {
  registry.SetDword(path, u"type", 0x11);
  registry.SetDword(path, u"interval", 9);
  ASSERT_EQ(Write(u"u", u"p", u"t", u"d"), WriteResult::Ok);
  uint32_t value = 0;
  ASSERT_TRUE(registry.GetDword(path, u"type", &value));
  EXPECT_EQ(value, 0x11u);
  ASSERT_TRUE(registry.GetDword(path, u"interval", &value));
  EXPECT_EQ(value, 9u);
  // The key was created for writing only.
  ASSERT_EQ(registry.OpenCalls().size(), 1u);
  EXPECT_TRUE(registry.OpenCalls()[0].create);
}

TEST_F(LoginRecordTest, TooLongWritesNothing) {
  struct Case {
    const char* name;
    std::u16string user, password, target, description;
    WriteResult expected;
  };
  const Case cases[] = {
      {"plaintext of 272 bytes", std::u16string(40, u'u'), std::u16string(40, u'p'),
       std::u16string(39, u't'), u"", WriteResult::TooLong},
      {"password of 300", u"", std::u16string(300, u'p'), u"", u"", WriteResult::TooLong},
      {"description of 240", u"u", u"p", u"t", std::u16string(240, u'd'), WriteResult::TooLong},
      {"largest plaintext", std::u16string(40, u'u'), std::u16string(40, u'p'),
       std::u16string(38, u't'), std::u16string(239, u'd'), WriteResult::Ok},
  };
  for (const Case& c : cases) {
    FakeRegistry reg;
    EXPECT_EQ(WriteLoginRecord(reg, clock, random, kCard, c.user.c_str(), c.password.c_str(),
                               c.target.c_str(), c.description.c_str()),
              c.expected)
        << c.name;
    EXPECT_EQ(reg.KeyExists(path), c.expected == WriteResult::Ok) << c.name;
    EXPECT_EQ(reg.OpenHandleCount(), 0u);
  }
  // The longest comment still fits the readers' buffer.
  FakeRegistry reg;
  ASSERT_EQ(WriteLoginRecord(reg, clock, random, kCard, u"u", u"p", u"t",
                             std::u16string(239, u'd').c_str()),
            WriteResult::Ok);
  RegKey key(reg);
  ASSERT_EQ(key.Open(RegRoot::LocalMachine, path.c_str(), RegAccess::QueryValue), RegResult::Ok);
  RecordComment comment;
  ASSERT_TRUE(ReadComment(reg, key.handle(), comment));
  EXPECT_EQ(std::u16string(comment.description), std::u16string(239, u'd'));
}

TEST_F(LoginRecordTest, DeleteRemovesTheWholeRecord) {
  ASSERT_EQ(Write(u"u", u"p", u"t", u"d"), WriteResult::Ok);
  registry.SetDword(path, u"type", 0);
  registry.AddKey(std::u16string(names::kOrvaneKey) + u"\\sound");
  CardIdentity permuted{};
  const uint32_t value = RecordKeyValue(kCard, permuted);
  EXPECT_EQ(DeleteLoginRecord(registry, value), RegResult::Ok);
  EXPECT_FALSE(registry.KeyExists(path));
  EXPECT_TRUE(registry.KeyExists(std::u16string(names::kOrvaneKey) + u"\\sound"));
  EXPECT_EQ(DeleteLoginRecord(registry, value), RegResult::NotFound);
}

TEST(SecureZeroTest, ClearsEveryByte) {
  unsigned char buffer[37];
  std::memset(buffer, 0xA5, sizeof buffer);
  SecureZero(buffer, sizeof buffer);
  for (unsigned char b : buffer) EXPECT_EQ(b, 0);
  LoginStrings strings;
  strings.password[259] = u'x';
  SecureZero(&strings, sizeof strings);
  EXPECT_EQ(strings.password[259], 0);
}

}  // namespace
}  // namespace orvane
