// A card's login record under HKEY_LOCAL_MACHINE\SOFTWARE\Brindle\Orvane\<record key>:
// "data" (the encrypted login plaintext), "comment", "type" and "interval".
// The byte layout is a contract with the logon component.
#ifndef ORVANE_STORE_LOGIN_RECORD_H
#define ORVANE_STORE_LOGIN_RECORD_H

#include <cstddef>
#include <cstdint>

#include "card/identity.h"
#include "platform/registry_port.h"
#include "platform/system_port.h"
#include "store/registry_store.h"
#include "store/removal_type.h"
#include "store/secure_wipe.h"
#include "store/text.h"

namespace orvane {

constexpr uint32_t kMaxLoginData = 256;    // largest "data" any reader accepts
// The longest description whose comment fits the readers' 260 code units
// (19 characters of time and a space before it).
constexpr int kMaxDescriptionLength = 239;
// Password, user name and login target together, so that the plaintext fits
// kMaxLoginData bytes.
constexpr int kMaxLoginTextLength = 118;

struct LoginStrings {
  char16_t password[kTextSize] = {};
  char16_t user[kTextSize] = {};
  char16_t target[kTextSize] = {};
  LoginStrings() = default;
  LoginStrings(const LoginStrings&) = delete;
  LoginStrings& operator=(const LoginStrings&) = delete;
  ~LoginStrings() { SecureZero(this, sizeof *this); }
};

// Lays down the login plaintext (filler from random) into out and returns its
// length T, or 0 when it would exceed capacity or kMaxLoginData.
std::size_t BuildLoginPlaintext(const char16_t* password, const char16_t* user,
                                const char16_t* target, RandomPort& random, unsigned char* out,
                                std::size_t capacity);
// Encrypts or decrypts whole blocks in place: even blocks under the permuted
// identity, odd blocks under the identity. A partial last block is left alone.
void EncryptLoginData(const CardIdentity& identity, const CardIdentity& permuted,
                      unsigned char* data, std::size_t length);
void DecryptLoginData(const CardIdentity& identity, const CardIdentity& permuted,
                      unsigned char* data, std::size_t length);
// Splits decrypted data into its three strings. False ("no usable login
// data") when a string has no terminator inside the data or is longer than
// 259 code units; out is then all zero.
bool ParseLoginPlaintext(const unsigned char* plain, std::size_t length, LoginStrings& out);
// Decrypts a copy of "data" (at most kMaxLoginData bytes, else false) and
// parses the whole blocks of it; the copy is wiped afterwards.
bool DecodeLoginData(const CardIdentity& identity, const CardIdentity& permuted,
                     const unsigned char* data, std::size_t length, LoginStrings& out);

enum class LoginDataResult { NoRecord, NoLoginData, Ok };

// Reads and decodes "data" of an open record key, accepting at most limit
// bytes (never more than kMaxLoginData). NoLoginData when the value is
// absent, larger than that, or does not decode.
LoginDataResult ReadLoginData(RegistryPort& registry, RegKeyHandle key,
                              const CardIdentity& identity, const CardIdentity& permuted,
                              uint32_t limit, LoginStrings& out);
// Opens the card's record (for querying values) and reads "data" from it.
LoginDataResult ReadLoginRecord(RegistryPort& registry, const CardIdentity& identity,
                                uint32_t limit, LoginStrings& out);

struct RecordComment {
  char16_t time[20] = {};          // "YYYY/MM/DD hh:mm:ss", or empty
  char16_t description[kTextSize] = {};
};
// Splits a comment text of length code units (no terminator needed; an
// embedded zero ends it): 19 characters of time, a space, the description
// (empty for 20 characters or fewer, cut at 259).
void ParseComment(const char16_t* text, std::size_t length, RecordComment& out);
// Reads "comment" of an open key into 520 bytes; false when the query fails.
// The text ends after the bytes returned; an odd last byte is ignored.
bool ReadComment(RegistryPort& registry, RegKeyHandle key, RecordComment& out);

enum class WriteResult { Ok, TooLong, CreateFailed, DataFailed, CommentFailed };
// Builds, encrypts and writes "data" and "comment" of the card's record,
// creating the key. TooLong (nothing written) when a string is over 259 code
// units, the plaintext over kMaxLoginData bytes or the description over 239.
// A failure stops at its step and keeps what was already written. The key is
// closed on every path.
WriteResult WriteLoginRecord(RegistryPort& registry, ClockPort& clock, RandomPort& random,
                             const CardIdentity& identity, const char16_t* user,
                             const char16_t* password, const char16_t* target,
                             const char16_t* description);
// Writes "comment": "YYYY/MM/DD hh:mm:ss " at the clock's local time and the
// description (at most kMaxDescriptionLength units of it).
RegResult WriteCommentValue(RegistryPort& registry, RegKeyHandle key, ClockPort& clock,
                            const char16_t* description);
// Removes the whole record key.
RegResult DeleteLoginRecord(RegistryPort& registry, uint32_t recordKeyValue);

}  // namespace orvane

#endif
