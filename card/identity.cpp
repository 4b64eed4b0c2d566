#include "card/identity.h"


namespace orvane {

// Part of the record contract with the logon component: never change it.
const unsigned char kIdentityPermutation[kIdentitySize] = {
    7, 12, 1, 14, 9, 0, 11, 4, 15, 2, 6, 13, 3, 8, 10, 5};

namespace {

uint16_t Crc16(const unsigned char* data, int n) {
  uint16_t crc = 0;
  for (int i = 0; i < n; ++i) {
    crc ^= data[i];
    for (int bit = 0; bit < 8; ++bit) crc = (crc & 1) ? (crc >> 1) ^ 0xA001 : crc >> 1;
  }
  return crc;
}

int ClampCount(int n) { return n < 0 ? 0 : (n > kIdentitySize ? kIdentitySize : n); }

}  // namespace

uint32_t IdentityChecksum(const unsigned char* data, int n) {
  if (n <= 0) return 0;
  uint32_t sum = 0;
  for (int i = 0; i < n; ++i) sum += data[i];
  return (static_cast<uint32_t>(sum & 0xFFFF) << 16) | Crc16(data, n);
}

unsigned char IdentityCrc8(const CardIdentity& identity, int n) {
  n = ClampCount(n);
  unsigned char crc = 0;
  for (int i = 0; i < n; ++i) {
    crc ^= identity[i];
    for (int bit = 0; bit < 8; ++bit)
      crc = (crc & 0x80) ? static_cast<unsigned char>((crc << 1) ^ 0x07)
                         : static_cast<unsigned char>(crc << 1);
  }
  return crc;
}

unsigned char IdentityXor(const CardIdentity& identity, int n) {
  n = ClampCount(n);
  unsigned char x = 0;
  for (int i = 0; i < n; ++i) x ^= identity[i];
  return x;
}

void FillIdentity(CardIdentity& identity, int n) {
  int p = n < 0 ? 0 : n;
  while (p < kIdentitySize) {
    // All three checks cover the bytes as they stand before this group.
    const uint16_t crc = Crc16(identity.data(), p);
    const unsigned char x = IdentityXor(identity, p);
    const unsigned char k = IdentityCrc8(identity, p);
    const unsigned char group[4] = {static_cast<unsigned char>(crc >> 8), x, k,
                                    static_cast<unsigned char>(crc & 0xFF)};
    for (int g = 0; g < 4 && p < kIdentitySize; ++g) identity[p++] = group[g];
  }
}

bool IdentityIsValid(const CardIdentity& identity) {
  unsigned total = 0;
  for (unsigned char b : identity) total += b;
  return total != 0;
}

void PermuteIdentity(const CardIdentity& identity, CardIdentity& permuted) {
  for (int i = 0; i < kIdentitySize; ++i) permuted[i] = identity[kIdentityPermutation[i]];
}

uint32_t RecordKeyValue(const CardIdentity& identity, CardIdentity& permuted) {
  PermuteIdentity(identity, permuted);
  return IdentityChecksum(permuted.data(), kIdentitySize);
}

void FormatRecordKey(uint32_t value, char16_t (&text)[kRecordKeyTextSize]) {
  static const char16_t kDigits[] = u"0123456789abcdef";
  char16_t reversed[8];
  int n = 0;
  do {
    reversed[n++] = kDigits[value & 0xF];
    value >>= 4;
  } while (value != 0);
  for (int i = 0; i < n; ++i) text[i] = reversed[n - 1 - i];
  text[n] = 0;
}

uint32_t ParseRecordKey(const char16_t* text) {
  uint32_t v = 0;
  for (; *text; ++text) {
    v *= 16;
    const char16_t c = *text;
    if (c >= u'0' && c <= u'9') v += c - u'0';
    else if (c >= u'A' && c <= u'Z') v += c - 55;
    else if (c >= u'a' && c <= u'z') v += c - 87;
    else break;
  }
  return v;
}

const char16_t* CardKindLabel(int cardKind) {
  switch (cardKind) {
    case 1:
    case 7: return u" (Mifare) ";
    case 4: return u" (FeliCa) ";
    default: return u"";
  }
}

}  // namespace orvane
