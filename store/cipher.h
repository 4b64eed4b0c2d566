// AES-128 (FIPS-197) on a single 16-byte block.
#ifndef ORVANE_STORE_CIPHER_H
#define ORVANE_STORE_CIPHER_H

namespace orvane {

constexpr int kCipherEncrypt = 0;
constexpr int kCipherDecrypt = 1;  // any value other than 0 decrypts

// input and output may be the same buffer. Returns 0 when the block was
// transformed (the key schedule lives on the stack, so it always is).
int CipherBlock(const unsigned char* input, unsigned char* output, const unsigned char* key,
                int direction);

namespace cipher_detail {
// The key expansion on its own, for checking it against the standard's
// worked examples: nk key words (4, 6 or 8) with nr = nk + 6 rounds; writes
// 4 * (nr + 1) words of 4 bytes. Other (nk, nr) pairs write nothing.
void ExpandKey(const unsigned char* key, int nk, int nr, unsigned char* words);
}  // namespace cipher_detail

}  // namespace orvane

#endif
