// AES-128 against the published known answers, both directions and in place.
#include "store/cipher.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <random>
#include <string>

namespace orvane {
namespace {

using Block = std::array<unsigned char, 16>;

Block FromHex(const std::string& hex) {
  Block block{};
  for (std::size_t i = 0; i < 16; ++i) block[i] = static_cast<unsigned char>(std::stoul(hex.substr(2 * i, 2), nullptr, 16));
  return block;
}

struct KnownAnswer {
  const char* name;
  const char* key;
  const char* plain;
  const char* cipher;
};

const KnownAnswer kKnownAnswers[] = {
    // FIPS-197 Appendix C.1
    {"fips197_c1", "000102030405060708090a0b0c0d0e0f", "00112233445566778899aabbccddeeff",
     "69c4e0d86a7b0430d8cdb78070b4c55a"},
    // FIPS-197 Appendix B
    {"fips197_b", "2b7e151628aed2a6abf7158809cf4f3c", "3243f6a8885a308d313198a2e0370734",
     "3925841d02dc09fbdc118597196a0b32"},
    // SP 800-38A F.1.1, first block
    {"sp800_38a", "2b7e151628aed2a6abf7158809cf4f3c", "6bc1bee22e409f96e93d7e117393172a",
     "3ad77bb40d7a3660a89ecaf32466ef97"},
    // The all-zero key is an ordinary key.
    {"zero_key", "00000000000000000000000000000000", "00000000000000000000000000000000",
     "66e94bd4ef8a2c3b884cfa59ca342b2e"},
};

class CipherKnownAnswerTest : public ::testing::TestWithParam<KnownAnswer> {};

TEST_P(CipherKnownAnswerTest, EncryptsAndDecryptsSeparatelyAndInPlace) {
  const Block key = FromHex(GetParam().key);
  const Block plain = FromHex(GetParam().plain);
  const Block cipher = FromHex(GetParam().cipher);

  Block out{};
  EXPECT_EQ(CipherBlock(plain.data(), out.data(), key.data(), kCipherEncrypt), 0);
  EXPECT_EQ(out, cipher);
  out.fill(0);
  EXPECT_EQ(CipherBlock(cipher.data(), out.data(), key.data(), kCipherDecrypt), 0);
  EXPECT_EQ(out, plain);

  Block inPlace = plain;
  CipherBlock(inPlace.data(), inPlace.data(), key.data(), kCipherEncrypt);
  EXPECT_EQ(inPlace, cipher);
  // Any direction other than 0 decrypts.
  CipherBlock(inPlace.data(), inPlace.data(), key.data(), -7);
  EXPECT_EQ(inPlace, plain);
}

INSTANTIATE_TEST_SUITE_P(Vectors, CipherKnownAnswerTest, ::testing::ValuesIn(kKnownAnswers),
                         [](const auto& info) { return std::string(info.param.name); });

uint32_t Word(const unsigned char* words, int i) {
  return (uint32_t{words[4 * i]} << 24) | (uint32_t{words[4 * i + 1]} << 16) |
         (uint32_t{words[4 * i + 2]} << 8) | words[4 * i + 3];
}

// FIPS-197 Appendix A: the expansion for every key length, which checks the
// round constants and the extra SubWord step of 256-bit keys.
TEST(CipherKeyExpansionTest, MatchesTheStandardsExpansions) {
  unsigned char words[60 * 4] = {};
  const unsigned char key128[16] = {0x2b, 0x7e, 0x15, 0x16, 0x28, 0xae, 0xd2, 0xa6,
                                    0xab, 0xf7, 0x15, 0x88, 0x09, 0xcf, 0x4f, 0x3c};
  cipher_detail::ExpandKey(key128, 4, 10, words);
  EXPECT_EQ(Word(words, 4), 0xa0fafe17u);
  EXPECT_EQ(Word(words, 7), 0x2a6c7605u);
  EXPECT_EQ(Word(words, 32), 0xead27321u);
  EXPECT_EQ(Word(words, 36), 0xac7766f3u);
  EXPECT_EQ(Word(words, 40), 0xd014f9a8u);
  EXPECT_EQ(Word(words, 43), 0xb6630ca6u);

  const unsigned char key192[24] = {0x8e, 0x73, 0xb0, 0xf7, 0xda, 0x0e, 0x64, 0x52,
                                    0xc8, 0x10, 0xf3, 0x2b, 0x80, 0x90, 0x79, 0xe5,
                                    0x62, 0xf8, 0xea, 0xd2, 0x52, 0x2c, 0x6b, 0x7b};
  cipher_detail::ExpandKey(key192, 6, 12, words);
  EXPECT_EQ(Word(words, 6), 0xfe0c91f7u);
  EXPECT_EQ(Word(words, 51), 0x01002202u);

  const unsigned char key256[32] = {0x60, 0x3d, 0xeb, 0x10, 0x15, 0xca, 0x71, 0xbe,
                                    0x2b, 0x73, 0xae, 0xf0, 0x85, 0x7d, 0x77, 0x81,
                                    0x1f, 0x35, 0x2c, 0x07, 0x3b, 0x61, 0x08, 0xd7,
                                    0x2d, 0x98, 0x10, 0xa3, 0x09, 0x14, 0xdf, 0xf4};
  cipher_detail::ExpandKey(key256, 8, 14, words);
  EXPECT_EQ(Word(words, 8), 0x9ba35411u);
  EXPECT_EQ(Word(words, 12), 0xa8b09c1au);  // the SubWord-only step
  EXPECT_EQ(Word(words, 59), 0x706c631eu);
}

TEST(CipherRoundTripTest, RandomKeysAndBlocks) {
  std::mt19937 gen(20240601);
  std::uniform_int_distribution<int> byte(0, 255);
  for (int round = 0; round < 2000; ++round) {
    Block key, other, plain;
    for (int i = 0; i < 16; ++i) {
      key[i] = static_cast<unsigned char>(byte(gen));
      other[i] = key[i];
      plain[i] = static_cast<unsigned char>(byte(gen));
    }
    other[round % 16] ^= static_cast<unsigned char>(1 << (round % 8));

    Block cipher{}, back{}, wrong{};
    CipherBlock(plain.data(), cipher.data(), key.data(), kCipherEncrypt);
    EXPECT_NE(cipher, plain);
    CipherBlock(cipher.data(), back.data(), key.data(), kCipherDecrypt);
    ASSERT_EQ(back, plain) << "round " << round;
    // A key one bit off gives unrelated bytes, and nothing fails.
    EXPECT_EQ(CipherBlock(cipher.data(), wrong.data(), other.data(), kCipherDecrypt), 0);
    EXPECT_NE(wrong, plain);
  }
}

}  // namespace
}  // namespace orvane
