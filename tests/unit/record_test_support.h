// Small pieces the record, registration, list and sound tests share: a card's
// record path and permuted identity, and text as the registry stores it.
#ifndef ORVANE_TESTS_UNIT_RECORD_TEST_SUPPORT_H
#define ORVANE_TESTS_UNIT_RECORD_TEST_SUPPORT_H

#include <string>
#include <vector>

#include "card/identity.h"
#include "store/registry_store.h"

namespace orvane {
namespace recordtest {

inline std::u16string RecordPath(const CardIdentity& identity) {
  CardIdentity permuted{};
  char16_t path[kRecordPathSize];
  FormatRecordPath(RecordKeyValue(identity, permuted), path);
  return path;
}

inline CardIdentity Permuted(const CardIdentity& identity) {
  CardIdentity permuted{};
  PermuteIdentity(identity, permuted);
  return permuted;
}

// UTF-16LE bytes of the text, without terminator.
inline std::vector<unsigned char> Utf16Bytes(const std::u16string& text) {
  std::vector<unsigned char> bytes;
  for (char16_t c : text) {
    bytes.push_back(static_cast<unsigned char>(c & 0xFF));
    bytes.push_back(static_cast<unsigned char>(c >> 8));
  }
  return bytes;
}

}  // namespace recordtest
}  // namespace orvane

#endif
