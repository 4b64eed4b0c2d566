#include "card/identity.h"
#include "store/registry_store.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

namespace orvane {
namespace {

CardIdentity FromId(const std::vector<unsigned char>& id) {
  CardIdentity identity{};
  const size_t n = std::min<size_t>(id.size(), kIdentitySize);
  std::copy(id.begin(), id.begin() + n, identity.begin());
  FillIdentity(identity, static_cast<int>(id.size()));
  return identity;
}

struct FillCase {
  const char* name;
  std::vector<unsigned char> id;
  CardIdentity expected;
};

class FillTest : public ::testing::TestWithParam<FillCase> {};

TEST_P(FillTest, CompletesTheCardIdTo16Bytes) {
  EXPECT_EQ(FromId(GetParam().id), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    WorkedExamples, FillTest,
    ::testing::Values(
        FillCase{"Uid4", {0x01, 0x02, 0x03, 0x04},
                 {0x01, 0x02, 0x03, 0x04, 0x0F, 0x04, 0xE3, 0xA1, 0xA2, 0x4D, 0x35, 0xD9, 0xDB,
                  0x4E, 0x9A, 0xFF}},
        // Ends with a single fill byte: the CRC-16 high byte of the first 15 bytes.
        FillCase{"Uid7", {0x04, 0x11, 0x22, 0x33, 0x44, 0x55, 0x66},
                 {0x04, 0x11, 0x22, 0x33, 0x44, 0x55, 0x66, 0xAD, 0x73, 0xA4, 0x4E, 0x4A, 0x47,
                  0xDD, 0xAD, 0x9A}},
        // Ends with a group of two: CRC-16 high byte and XOR of the first 14 bytes.
        FillCase{"Uid10", {0x04, 0x52, 0x3A, 0x12, 0x34, 0x56, 0x78, 0x9A, 0xBC, 0xDE},
                 {0x04, 0x52, 0x3A, 0x12, 0x34, 0x56, 0x78, 0x9A, 0xBC, 0xDE, 0xB3, 0x9C, 0xFC,
                  0x91, 0x1D, 0xDE}},
        FillCase{"Zero7", std::vector<unsigned char>(7, 0), {}},
        FillCase{"Empty", {}, {}},
        FillCase{"Exactly16NotFilled",
                 {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16},
                 {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16}},
        FillCase{"Longer20KeepsFirst16",
                 {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17, 18, 19, 20},
                 {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(IdentityChecks, CheckValuesOverTheDigits) {
  const unsigned char digits[] = {'1', '2', '3', '4', '5', '6', '7', '8', '9'};
  const uint32_t sum = 0x31 + 0x32 + 0x33 + 0x34 + 0x35 + 0x36 + 0x37 + 0x38 + 0x39;
  EXPECT_EQ(IdentityChecksum(digits, 9), (sum << 16) | 0xBB3Du);
  CardIdentity id{};
  std::memcpy(id.data(), digits, 9);
  EXPECT_EQ(IdentityCrc8(id, 9), 0xF4);
  EXPECT_EQ(IdentityXor(id, 9), 0x31 ^ 0x32 ^ 0x33 ^ 0x34 ^ 0x35 ^ 0x36 ^ 0x37 ^ 0x38 ^ 0x39);
}

TEST(IdentityChecks, NonPositiveCountsGiveZero) {
  const unsigned char data[] = {1, 2, 3};
  CardIdentity id{};
  id[0] = 0x55;
  for (int n : {0, -1, -100}) {
    EXPECT_EQ(IdentityChecksum(data, n), 0u);
    EXPECT_EQ(IdentityCrc8(id, n), 0);
    EXPECT_EQ(IdentityXor(id, n), 0);
  }
}

TEST(IdentityChecks, SumWrapsModulo65536) {
  std::vector<unsigned char> bytes(300, 0xFF);  // 76500 = 0x12AD4
  EXPECT_EQ(IdentityChecksum(bytes.data(), 300) >> 16, 0x2AD4u);
}

TEST(IdentityValidity, AnyNonZeroByteIsACard) {
  CardIdentity id{};
  EXPECT_FALSE(IdentityIsValid(id));
  for (int i = 0; i < kIdentitySize; ++i) {
    CardIdentity one{};
    one[i] = 1;
    EXPECT_TRUE(IdentityIsValid(one)) << i;
  }
  // A byte-sum that wraps an 8-bit total must still count as present.
  const CardIdentity wrapping[] = {
      {0x01, 0xFF},                                       // 100h
      {0x80, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0x80},  // 100h
      {0x40, 0x40, 0x40, 0x40, 0x40, 0x40, 0x40, 0x40},   // 200h
  };
  for (const CardIdentity& id : wrapping) EXPECT_TRUE(IdentityIsValid(id));
  CardIdentity full;
  full.fill(0xFF);
  EXPECT_TRUE(IdentityIsValid(full));
}

TEST(IdentityPermutation, IsAPermutationButNotTheIdentityMapping) {
  bool seen[kIdentitySize] = {};
  bool moved = false;
  for (int i = 0; i < kIdentitySize; ++i) {
    ASSERT_LT(kIdentityPermutation[i], kIdentitySize);
    EXPECT_FALSE(seen[kIdentityPermutation[i]]);
    seen[kIdentityPermutation[i]] = true;
    moved |= kIdentityPermutation[i] != i;
  }
  EXPECT_TRUE(moved);
}

TEST(RecordKey, OfTheWorkedExample) {
  // The contract value: if this changes, every stored record is lost.
  CardIdentity id = FromId({0x01, 0x02, 0x03, 0x04});
  CardIdentity permuted{};
  const uint32_t value = RecordKeyValue(id, permuted);
  for (int i = 0; i < kIdentitySize; ++i) EXPECT_EQ(permuted[i], id[kIdentityPermutation[i]]);
  // Computed independently of this code from the permutation table.
  EXPECT_EQ(value, 0x6605431u);
  char16_t path[kRecordPathSize];
  FormatRecordPath(value, path);
  char16_t key[kRecordKeyTextSize];
  FormatRecordKey(value, key);
  EXPECT_EQ(std::u16string(path), u"SOFTWARE\\Brindle\\Orvane\\" + std::u16string(key));
}

// Sixteen distinct bytes pin every entry of the permutation table: the
// worked example has 04h twice, so swapping those two entries would pass it.
TEST(RecordKey, OfSixteenDistinctBytes) {
  CardIdentity id{};
  for (int i = 0; i < kIdentitySize; ++i) id[i] = static_cast<unsigned char>(0x10 + i);
  CardIdentity permuted{};
  const uint32_t value = RecordKeyValue(id, permuted);
  const CardIdentity expected = {0x17, 0x1C, 0x11, 0x1E, 0x19, 0x10, 0x1B, 0x14,
                                 0x1F, 0x12, 0x16, 0x1D, 0x13, 0x18, 0x1A, 0x15};
  EXPECT_EQ(permuted, expected);
  EXPECT_EQ(value, 0x1783EBFu);  // CRC-16/ARC 3EBFh, byte sum 178h
}

TEST(RecordKey, SameBytesInAnotherOrderShareTheHighHalf) {
  CardIdentity a = FromId({1, 2, 3, 4}), b = a, pa{}, pb{};
  std::reverse(b.begin(), b.end());
  const uint32_t ka = RecordKeyValue(a, pa), kb = RecordKeyValue(b, pb);
  EXPECT_EQ(ka >> 16, kb >> 16);
  EXPECT_NE(ka, kb);
}

struct FormatCase {
  uint32_t value;
  const char16_t* text;
};

TEST(RecordKey, FormatsLowerCaseHexWithoutLeadingZeros) {
  const FormatCase cases[] = {{0, u"0"},          {0x1, u"1"},           {0x10000, u"10000"},
                              {0xABCDEF, u"abcdef"}, {0xFF00BB3D, u"ff00bb3d"}, {0x0ff0, u"ff0"}};
  for (const auto& c : cases) {
    char16_t text[kRecordKeyTextSize];
    FormatRecordKey(c.value, text);
    EXPECT_EQ(std::u16string(text), std::u16string(c.text)) << c.value;
    EXPECT_EQ(ParseRecordKey(text), c.value);
  }
}

TEST(RecordKey, ValidIdentitiesGiveFiveToSevenCharacters) {
  // Smallest and largest byte sums of a valid identity.
  CardIdentity low{}, high, permuted{};
  low[15] = 1;
  high.fill(0xFF);
  for (const CardIdentity& id : {low, high}) {
    char16_t text[kRecordKeyTextSize];
    FormatRecordKey(RecordKeyValue(id, permuted), text);
    const size_t len = std::u16string(text).size();
    EXPECT_GE(len, 5u);
    EXPECT_LE(len, 7u);
    EXPECT_NE(text[0], u'0');
  }
}

struct ParseCase {
  const char16_t* text;
  uint32_t value;
};

TEST(ParseRecordKey, FollowsItsDigitRules) {
  const ParseCase cases[] = {
      {u"", 0},
      {u"7a6bb3d", 0x7a6bb3d},
      {u"7A6BB3D", 0x7a6bb3d},
      {u"z", 35},                  // letters beyond f count as 10..35
      {u"Z1", 35 * 16 + 1},
      {u"12-3", 0x12 * 16},        // the multiplication made for the stop character stays
      {u"123456789", 0x23456789},  // overflow is discarded
  };
  for (const auto& c : cases) {
    EXPECT_EQ(ParseRecordKey(c.text), c.value) << std::string(c.text, c.text + std::u16string(c.text).size());
  }
  // "sound": s=28, o=24, u=30, n=23, d=13, wrapping in 32 bits.
  uint32_t v = 0;
  for (char16_t ch : std::u16string(u"sound")) v = v * 16 + (ch - 87);
  EXPECT_EQ(ParseRecordKey(u"sound"), v);
}

TEST(CardKindLabel, ByCardKind) {
  EXPECT_EQ(std::u16string(CardKindLabel(1)), u" (Mifare) ");
  EXPECT_EQ(std::u16string(CardKindLabel(7)), u" (Mifare) ");
  EXPECT_EQ(std::u16string(CardKindLabel(4)), u" (FeliCa) ");
  for (int kind : {0, 2, 8, 255, -1}) EXPECT_EQ(std::u16string(CardKindLabel(kind)), u"");
}

}  // namespace
}  // namespace orvane
