#include "store/login_record.h"

#include <cstring>

#include "store/cipher.h"
#include "store/shared_names.h"
#include "store/text_format.h"

namespace orvane {

namespace {

constexpr std::size_t kBlock = 16;
constexpr std::size_t kMaxText = kTextSize - 1;  // 259 code units
constexpr std::size_t kTimeLength = 19;          // "YYYY/MM/DD hh:mm:ss"
// The comment is read into 260 code units, so time, space and description
// must stay within 259 characters.
constexpr std::size_t kMaxDescription = kMaxText - kTimeLength - 1;
static_assert(kMaxDescription == kMaxDescriptionLength, "the description limit follows the comment");

const char16_t* const kDataName = names::kData;
const char16_t* const kCommentName = names::kComment;

void PutFiller(RandomPort& random, unsigned char* out, std::size_t count) {
  for (std::size_t i = 0; i < count; ++i) out[i] = static_cast<unsigned char>(random.Next() & 0xFF);
}

void PutText(const char16_t* text, std::size_t length, unsigned char* out) {
  PutTextUnits(text, length, out);
  out[2 * length] = 0;  // terminator
  out[2 * length + 1] = 0;
}

// Takes the string at *pos up to its terminator into out (260 code units).
// False when no terminator lies within length or the string is over 259.
bool TakeString(const unsigned char* plain, std::size_t length, std::size_t* pos,
                char16_t* out) {
  std::size_t n = 0;
  for (std::size_t p = *pos; p + 1 < length; p += 2) {
    const char16_t unit = TextUnitAt(plain + p);
    if (unit == 0) {
      out[n] = 0;
      *pos = p + 2;
      return true;
    }
    if (n == kMaxText) return false;
    out[n++] = unit;
  }
  return false;
}

void CryptBlocks(const CardIdentity& identity, const CardIdentity& permuted,
                 unsigned char* data, std::size_t length, int direction) {
  for (std::size_t block = 0; block < length / kBlock; ++block) {
    const unsigned char* key = (block % 2 == 0) ? permuted.data() : identity.data();
    unsigned char* at = data + block * kBlock;
    CipherBlock(at, at, key, direction);
  }
}

}  // namespace

std::size_t BuildLoginPlaintext(const char16_t* password, const char16_t* user,
                                const char16_t* target, RandomPort& random, unsigned char* out,
                                std::size_t capacity) {
  const std::size_t lp = BoundedLength(password);
  const std::size_t lu = BoundedLength(user);
  const std::size_t lt = BoundedLength(target);
  if (lp > kMaxText || lu > kMaxText || lt > kMaxText) return 0;
  const std::size_t c = 18 + 2 * (lp + lu + lt);
  const std::size_t total = c + (kBlock - c % kBlock);  // a whole filler block when c is aligned
  if (total > kMaxLoginData || total > capacity || !out) return 0;

  // Filler is drawn in layout order; a reader never looks at it.
  std::size_t pos = 0;
  PutFiller(random, out + pos, 4);
  pos += 4;
  PutText(password, lp, out + pos);
  pos += 2 * lp + 2;
  PutFiller(random, out + pos, 2);
  pos += 2;
  PutText(user, lu, out + pos);
  pos += 2 * lu + 2;
  PutFiller(random, out + pos, 6);
  pos += 6;
  PutText(target, lt, out + pos);
  pos += 2 * lt + 2;
  PutFiller(random, out + pos, total - pos);
  return total;
}

void EncryptLoginData(const CardIdentity& identity, const CardIdentity& permuted,
                      unsigned char* data, std::size_t length) {
  CryptBlocks(identity, permuted, data, length, kCipherEncrypt);
}

void DecryptLoginData(const CardIdentity& identity, const CardIdentity& permuted,
                      unsigned char* data, std::size_t length) {
  CryptBlocks(identity, permuted, data, length, kCipherDecrypt);
}

bool ParseLoginPlaintext(const unsigned char* plain, std::size_t length, LoginStrings& out) {
  SecureZero(&out, sizeof out);
  std::size_t pos = 4;  // after the leading filler
  bool ok = plain && TakeString(plain, length, &pos, out.password);
  if (ok) {
    pos += 2;  // filler
    ok = TakeString(plain, length, &pos, out.user);
  }
  if (ok) {
    pos += 6;  // filler
    ok = TakeString(plain, length, &pos, out.target);
  }
  if (!ok) SecureZero(&out, sizeof out);
  return ok;
}

bool DecodeLoginData(const CardIdentity& identity, const CardIdentity& permuted,
                     const unsigned char* data, std::size_t length, LoginStrings& out) {
  if (!data || length > kMaxLoginData) {
    SecureZero(&out, sizeof out);
    return false;
  }
  unsigned char plain[kMaxLoginData];
  std::memcpy(plain, data, length);
  DecryptLoginData(identity, permuted, plain, length);
  // A partial block at the end is filler: the strings must end before it.
  bool ok = ParseLoginPlaintext(plain, length - length % kBlock, out);
  SecureZero(plain, sizeof plain);
  return ok;
}

LoginDataResult ReadLoginData(RegistryPort& registry, RegKeyHandle key,
                              const CardIdentity& identity, const CardIdentity& permuted,
                              uint32_t limit, LoginStrings& out) {
  SecureZero(&out, sizeof out);
  unsigned char data[kMaxLoginData];
  const uint32_t capacity = limit < kMaxLoginData ? limit : kMaxLoginData;
  uint32_t size = 0;
  LoginDataResult result = LoginDataResult::NoLoginData;
  if (ReadBinaryValue(registry, key, kDataName, data, capacity, &size) &&
      DecodeLoginData(identity, permuted, data, size, out)) {
    result = LoginDataResult::Ok;
  }
  SecureZero(data, sizeof data);
  return result;
}

LoginDataResult ReadLoginRecord(RegistryPort& registry, const CardIdentity& identity,
                                uint32_t limit, LoginStrings& out) {
  SecureZero(&out, sizeof out);
  CardIdentity permuted{};
  char16_t path[kRecordPathSize];
  FormatRecordPath(RecordKeyValue(identity, permuted), path);
  RegKey key(registry);
  if (key.Open(RegRoot::LocalMachine, path, RegAccess::QueryValue) != RegResult::Ok) {
    return LoginDataResult::NoRecord;
  }
  return ReadLoginData(registry, key.handle(), identity, permuted, limit, out);
}

void ParseComment(const char16_t* text, std::size_t length, RecordComment& out) {
  out = RecordComment{};
  if (!text) return;
  // Like the C string it ends as, the text stops at an embedded zero.
  std::size_t n = 0;
  while (n < length && text[n] != 0) ++n;
  const std::size_t timeLength = n < kTimeLength ? n : kTimeLength;
  std::memcpy(out.time, text, timeLength * sizeof(char16_t));
  if (n > kTimeLength + 1) {
    std::size_t descriptionLength = n - (kTimeLength + 1);
    if (descriptionLength > kMaxText) descriptionLength = kMaxText;
    std::memcpy(out.description, text + kTimeLength + 1, descriptionLength * sizeof(char16_t));
  }
}

bool ReadComment(RegistryPort& registry, RegKeyHandle key, RecordComment& out) {
  out = RecordComment{};
  // The readers' buffer: 260 units, with or without a terminator.
  char16_t text[kTextSize];
  std::size_t units = 0;
  if (!ReadTextUnits(registry, key, kCommentName, text, kTextSize, &units)) return false;
  ParseComment(text, units, out);
  return true;
}

WriteResult WriteLoginRecord(RegistryPort& registry, ClockPort& clock, RandomPort& random,
                             const CardIdentity& identity, const char16_t* user,
                             const char16_t* password, const char16_t* target,
                             const char16_t* description) {
  // Refuse before anything is written: a record no reader can decode, or a
  // comment too long for the readers' buffer, would look registered but fail.
  const std::size_t ld = BoundedLength(description);
  if (ld > kMaxDescription) return WriteResult::TooLong;

  random.Seed(clock.SecondsSinceEpoch());
  CardIdentity permuted{};
  const uint32_t recordKey = RecordKeyValue(identity, permuted);
  unsigned char data[kMaxLoginData];
  const std::size_t total =
      BuildLoginPlaintext(password, user, target, random, data, sizeof data);
  if (total == 0) {
    SecureZero(data, sizeof data);
    return WriteResult::TooLong;
  }
  EncryptLoginData(identity, permuted, data, total);

  char16_t path[kRecordPathSize];
  FormatRecordPath(recordKey, path);
  RegKey key(registry);
  WriteResult result = WriteResult::Ok;
  if (key.Create(RegRoot::LocalMachine, path) != RegResult::Ok) {
    result = WriteResult::CreateFailed;
  } else if (WriteBinaryValue(registry, key.handle(), kDataName, data,
                              static_cast<uint32_t>(total)) != RegResult::Ok) {
    result = WriteResult::DataFailed;
  } else {
    if (WriteCommentValue(registry, key.handle(), clock, description) != RegResult::Ok) {
      result = WriteResult::CommentFailed;
    }
    // The removal settings ("type", "interval") are written by their own
    // step with this key; nothing to do here yet.
  }
  SecureZero(data, sizeof data);
  return result;
}

RegResult WriteCommentValue(RegistryPort& registry, RegKeyHandle key, ClockPort& clock,
                            const char16_t* description) {
  const LocalTime now = clock.Now();
  char16_t text[kMaxStoredText];
  // GetLocalTime's fields make 20 units; the room left is kept for the
  // description whatever the clock says.
  std::size_t units = static_cast<std::size_t>(
      FormatText(text, static_cast<int>(kMaxStoredText - kMaxDescription),
                 u"%04d/%02d/%02d %02d:%02d:%02d ", now.year, now.month, now.day, now.hour,
                 now.minute, now.second));
  const std::size_t length = BoundedLength(description);
  for (std::size_t i = 0; i < length && i < kMaxDescription; ++i) text[units++] = description[i];
  return WriteExactTextValue(registry, key, kCommentName, text, units);
}

RegResult DeleteLoginRecord(RegistryPort& registry, uint32_t recordKeyValue) {
  char16_t path[kRecordPathSize];
  FormatRecordPath(recordKeyValue, path);
  return registry.DeleteKey(RegRoot::LocalMachine, path);
}

}  // namespace orvane
