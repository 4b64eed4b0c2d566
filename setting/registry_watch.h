// The settings program's registry, as it passes to the real one: every call
// goes through unchanged, and the last write that failed is kept (the value
// or key, in full, and its Win32 code) so that the audit trail can say which
// value a failure message was about. It decides nothing.
#ifndef ORVANE_SETTING_REGISTRY_WATCH_H
#define ORVANE_SETTING_REGISTRY_WATCH_H

#include <cstddef>
#include <cstdint>

#include "platform/registry_port.h"

namespace orvane {

class RegistryWatch : public RegistryPort {
 public:
  // Room for a key path and a value name, each as long as the programs write.
  static constexpr std::size_t kWhatSize = 600;

  explicit RegistryWatch(RegistryPort& registry) : registry_(registry) {}

  RegResult OpenKey(RegRoot root, const char16_t* path, RegAccess access,
                    RegKeyHandle* key) override;
  RegResult CreateKey(RegRoot root, const char16_t* path, RegKeyHandle* key) override;
  RegResult QueryValue(RegKeyHandle key, const char16_t* name, uint32_t* type,
                       unsigned char* data, uint32_t* size) override;
  RegResult SetValue(RegKeyHandle key, const char16_t* name, uint32_t type,
                     const unsigned char* data, uint32_t size) override;
  RegResult DeleteValue(RegKeyHandle key, const char16_t* name) override;
  RegResult DeleteKey(RegRoot root, const char16_t* path) override;
  RegResult EnumKey(RegKeyHandle key, uint32_t index, char16_t* name,
                    uint32_t* length) override;
  void CloseKey(RegKeyHandle key) override;
  uint32_t LastError() const override { return registry_.LastError(); }

  // The last failed write since Forget: true with its value or key
  // ("HKEY_LOCAL_MACHINE\...\name") and its code; false when none failed.
  bool LastFailedWrite(const char16_t** what, uint32_t* code) const;
  void Forget() { failed_ = false; }

 private:
  struct OpenKeyPath {
    RegKeyHandle handle = 0;
    bool used = false;
    char16_t path[300] = {};  // root and path; cut when longer
  };
  void Remember(RegKeyHandle handle, RegRoot root, const char16_t* path);
  const char16_t* PathOf(RegKeyHandle handle) const;
  void Failed(const char16_t* where, const char16_t* name);

  RegistryPort& registry_;
  // The keys open now (the programs hold a few at once); the oldest entry
  // gives way when more are open, and its writes are then named by value only.
  OpenKeyPath open_[8];
  std::size_t next_ = 0;
  bool failed_ = false;
  char16_t what_[kWhatSize] = {};
  uint32_t code_ = 0;
};

}  // namespace orvane

#endif
