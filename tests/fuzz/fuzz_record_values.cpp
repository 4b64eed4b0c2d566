// Registry values of any type and length reach the record readers: "data",
// "comment", "type" and "interval", and the typed store's reads of texts and
// numbers, must be read without running past a buffer whatever the registry
// answers and whatever limit or capacity the caller gives.
#include <cstdlib>
#include <cstring>
#include <vector>

#include "store/login_record.h"
#include "store/registry_store.h"

namespace {

// One key whose every value is the fuzz input, answering as
// RegQueryValueExW does.
class OneValueRegistry : public orvane::RegistryPort {
 public:
  OneValueRegistry(const uint8_t* data, size_t size) : value_(data, data + size) {}
  orvane::RegResult OpenKey(orvane::RegRoot, const char16_t*, orvane::RegAccess,
                            orvane::RegKeyHandle* key) override {
    *key = 1;
    ++open_;
    return orvane::RegResult::Ok;
  }
  orvane::RegResult CreateKey(orvane::RegRoot, const char16_t*, orvane::RegKeyHandle*) override {
    return orvane::RegResult::Failed;
  }
  orvane::RegResult QueryValue(orvane::RegKeyHandle, const char16_t*, uint32_t* type,
                               unsigned char* data, uint32_t* size) override {
    if (type) *type = orvane::regtype::kBinary;
    const uint32_t needed = static_cast<uint32_t>(value_.size());
    if (!data) {
      *size = needed;
      return orvane::RegResult::Ok;
    }
    if (*size < needed) {
      *size = needed;
      return orvane::RegResult::MoreData;
    }
    if (needed) std::memcpy(data, value_.data(), needed);
    *size = needed;
    return orvane::RegResult::Ok;
  }
  orvane::RegResult SetValue(orvane::RegKeyHandle, const char16_t*, uint32_t,
                             const unsigned char*, uint32_t) override {
    return orvane::RegResult::Failed;
  }
  orvane::RegResult DeleteValue(orvane::RegKeyHandle, const char16_t*) override {
    return orvane::RegResult::Failed;
  }
  orvane::RegResult DeleteKey(orvane::RegRoot, const char16_t*) override {
    return orvane::RegResult::Failed;
  }
  orvane::RegResult EnumKey(orvane::RegKeyHandle, uint32_t, char16_t*, uint32_t*) override {
    return orvane::RegResult::NotFound;
  }
  void CloseKey(orvane::RegKeyHandle) override { --open_; }
  int open() const { return open_; }

 private:
  std::vector<uint8_t> value_;
  int open_ = 0;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 2 + orvane::kIdentitySize) return 0;
  // The caller's limit, up to well past the readers' buffer.
  const uint32_t limit = static_cast<uint32_t>(data[0] | (data[1] << 8)) & 0x3FF;
  orvane::CardIdentity identity{};
  std::memcpy(identity.data(), data + 2, identity.size());
  OneValueRegistry registry(data + 2 + identity.size(), size - 2 - identity.size());

  orvane::LoginStrings strings;
  orvane::ReadLoginRecord(registry, identity, limit, strings);
  orvane::RecordComment comment;
  orvane::ReadComment(registry, 1, comment);
  const uint32_t type = orvane::ReadDwordValue(registry, 1, u"type", orvane::kNoRemovalAction);
  if (size - 2 - identity.size() != 4 && type != orvane::kNoRemovalAction) std::abort();
  // The typed reads of every other value kind, text into a buffer of just
  // the caller's capacity (so that a unit past it is caught).
  const orvane::RemovalValues removal = orvane::ReadRemovalValues(registry, 1);
  if (removal.intervalStored != (size - 2 - identity.size() == 4)) std::abort();
  orvane::ReadShortNumberValue(registry, 1, u"flag", 0);
  const std::size_t capacity = limit % 300 + 1;
  std::vector<char16_t> text(capacity);
  std::size_t length = 0;
  if (orvane::ReadTextValue(registry, 1, u"file", text.data(), capacity, &length) &&
      (length >= capacity || text[length] != 0))
    std::abort();
  orvane::SoundValues sound;
  orvane::ReadSoundValues(registry, sound);
  if (registry.open() != 0) std::abort();  // every key closed
  return 0;
}
