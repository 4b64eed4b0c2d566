// Decoding "data" of any length under any identity must neither read past
// the data nor return strings the writer could not have laid down; and what
// decodes must lay down and decode again to the same strings.
#include <cstdlib>
#include <cstring>

#include "card/identity.h"
#include "store/login_record.h"

namespace {

using orvane::CardIdentity;
using orvane::LoginStrings;

// Any filler will do: readers skip it by position.
class ReplayRandom : public orvane::RandomPort {
 public:
  void Seed(uint32_t) override {}
  int Next() override { return next_++ * 37; }

 private:
  int next_ = 0;
};

bool Terminated(const char16_t* text) {
  for (int i = 0; i < orvane::kTextSize; ++i)
    if (text[i] == 0) return true;
  return false;
}

void CheckStrings(const LoginStrings& strings) {
  if (!Terminated(strings.password) || !Terminated(strings.user) || !Terminated(strings.target))
    std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* input, size_t size) {
  if (size < orvane::kIdentitySize) return 0;
  CardIdentity identity{};
  std::memcpy(identity.data(), input, identity.size());
  const uint8_t* data = input + identity.size();
  const size_t length = size - identity.size();

  // The raw split, as a reader meets it after decryption. Copied so that the
  // sanitizer sees the exact end of the data.
  unsigned char* copy = static_cast<unsigned char*>(std::malloc(length ? length : 1));
  if (length) std::memcpy(copy, data, length);
  LoginStrings parsed;
  if (orvane::ParseLoginPlaintext(copy, length, parsed)) {
    CheckStrings(parsed);
    // Short enough strings lay down again and come back unchanged.
    ReplayRandom random;
    unsigned char again[orvane::kMaxLoginData];
    size_t total = orvane::BuildLoginPlaintext(parsed.password, parsed.user, parsed.target,
                                               random, again, sizeof again);
    if (total) {
      LoginStrings back;
      if (total % 16 != 0 || !orvane::ParseLoginPlaintext(again, total, back)) std::abort();
      if (std::memcmp(back.password, parsed.password, sizeof back.password) != 0 ||
          std::memcmp(back.user, parsed.user, sizeof back.user) != 0 ||
          std::memcmp(back.target, parsed.target, sizeof back.target) != 0)
        std::abort();
    }
  } else if (parsed.password[0] || parsed.user[0] || parsed.target[0]) {
    std::abort();  // a refusal leaves nothing behind
  }

  // Decryption and parsing together, as the programs read a record.
  CardIdentity permuted{};
  orvane::PermuteIdentity(identity, permuted);
  LoginStrings decoded;
  const bool ok = orvane::DecodeLoginData(identity, permuted, copy, length, decoded);
  if (ok) CheckStrings(decoded);
  if (ok && length > orvane::kMaxLoginData) std::abort();
  std::free(copy);
  return 0;
}
