// The 16-byte card identity, its fill, the identity permutation and the
// record key that names a card's registry sub-key. Shared byte for byte with
// the logon component.
#ifndef ORVANE_CARD_IDENTITY_H
#define ORVANE_CARD_IDENTITY_H

#include <array>
#include <cstdint>

namespace orvane {

constexpr int kIdentitySize = 16;
using CardIdentity = std::array<unsigned char, kIdentitySize>;

// Byte i of the permuted identity is identity byte kIdentityPermutation[i].
extern const unsigned char kIdentityPermutation[kIdentitySize];

// CRC-16/ARC of n bytes in the low half, their sum modulo 65536 in the high
// half; 0 for n <= 0.
uint32_t IdentityChecksum(const unsigned char* data, int n);
// CRC-8 (polynomial 07h, initial 0) and XOR of the first n identity bytes
// (n is clamped to 16); 0 for n <= 0.
unsigned char IdentityCrc8(const CardIdentity& identity, int n);
unsigned char IdentityXor(const CardIdentity& identity, int n);

// Completes the identity from position n with groups of CRC-16 high byte,
// XOR, CRC-8, CRC-16 low byte; nothing for n >= 16. n < 0 counts as 0.
void FillIdentity(CardIdentity& identity, int n);
bool IdentityIsValid(const CardIdentity& identity);
void PermuteIdentity(const CardIdentity& identity, CardIdentity& permuted);
// Writes the permuted identity and returns IdentityChecksum over it.
uint32_t RecordKeyValue(const CardIdentity& identity, CardIdentity& permuted);

// "%x" of the value: at most 8 digits and a terminator.
constexpr int kRecordKeyTextSize = 9;
void FormatRecordKey(uint32_t value, char16_t (&text)[kRecordKeyTextSize]);
// Sub-key name back to its value (hexadecimal-like, stops at the first other
// character after having multiplied by 16 for it).
uint32_t ParseRecordKey(const char16_t* text);

// " (Mifare) " for card kinds 1 and 7, " (FeliCa) " for 4, empty otherwise.
const char16_t* CardKindLabel(int cardKind);

}  // namespace orvane

#endif
