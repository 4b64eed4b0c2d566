// The registry as the core sees it: a handful of calls shaped like the
// Win32 registry functions, with the core's own result codes.
#ifndef ORVANE_PLATFORM_REGISTRY_PORT_H
#define ORVANE_PLATFORM_REGISTRY_PORT_H

#include <cstdint>

namespace orvane {

enum class RegRoot { LocalMachine, CurrentUser };

// What a key is opened for (KEY_QUERY_VALUE or KEY_WRITE); keys are opened
// for the one purpose at hand.
enum class RegAccess { QueryValue, Write, Enumerate };

enum class RegResult {
  Ok,
  NotFound,      // no such key or value
  MoreData,      // the value is larger than the buffer; the buffer holds nothing usable
  AccessDenied,
  Failed,        // any other failure
};

// Registry value types, numbered as Windows numbers them.
namespace regtype {
constexpr uint32_t kNone = 0;
constexpr uint32_t kSz = 1;
constexpr uint32_t kExpandSz = 2;
constexpr uint32_t kBinary = 3;
constexpr uint32_t kDword = 4;
constexpr uint32_t kMultiSz = 7;
constexpr uint32_t kQword = 11;
}  // namespace regtype

using RegKeyHandle = std::uintptr_t;

class RegistryPort {
 public:
  virtual ~RegistryPort() = default;

  // Opens an existing key; path is relative to root, components separated by '\'.
  virtual RegResult OpenKey(RegRoot root, const char16_t* path, RegAccess access,
                            RegKeyHandle* key) = 0;
  // Opens the key with KEY_WRITE, creating it (and missing parents) when absent.
  virtual RegResult CreateKey(RegRoot root, const char16_t* path, RegKeyHandle* key) = 0;
  // As RegQueryValueExW: *size is the buffer's capacity in bytes on entry and the
  // value's size on return (also with MoreData). data may be null to ask only the
  // size and type; type may be null.
  virtual RegResult QueryValue(RegKeyHandle key, const char16_t* name, uint32_t* type,
                               unsigned char* data, uint32_t* size) = 0;
  // As RegSetValueExW, also in this: for REG_SZ, REG_EXPAND_SZ and
  // REG_MULTI_SZ, when the last code unit given is not zero and the unit
  // right after size bytes is zero, that terminator is stored too. A writer
  // that means to store text without terminator puts a non-zero unit there.
  virtual RegResult SetValue(RegKeyHandle key, const char16_t* name, uint32_t type,
                             const unsigned char* data, uint32_t size) = 0;
  virtual RegResult DeleteValue(RegKeyHandle key, const char16_t* name) = 0;
  // Deletes a key that has no sub-keys, with all its values.
  virtual RegResult DeleteKey(RegRoot root, const char16_t* path) = 0;
  // As RegEnumKeyExW: *length is the capacity of name in code units (terminator
  // included) on entry and the name's length without terminator on return.
  // NotFound when index is past the last sub-key.
  virtual RegResult EnumKey(RegKeyHandle key, uint32_t index, char16_t* name,
                            uint32_t* length) = 0;
  virtual void CloseKey(RegKeyHandle key) = 0;
  // The Win32 error code of the last call that did not succeed (0 while none
  // has failed): for what the programs log about a failure, never for what
  // they decide.
  virtual uint32_t LastError() const { return 0; }
};

// Closes its key on every path out of a scope.
class RegKey {
 public:
  explicit RegKey(RegistryPort& registry) : registry_(registry) {}
  ~RegKey() { Close(); }
  RegKey(const RegKey&) = delete;
  RegKey& operator=(const RegKey&) = delete;

  RegResult Open(RegRoot root, const char16_t* path, RegAccess access) {
    Close();
    RegResult r = registry_.OpenKey(root, path, access, &handle_);
    open_ = (r == RegResult::Ok);
    return r;
  }
  RegResult Create(RegRoot root, const char16_t* path) {
    Close();
    RegResult r = registry_.CreateKey(root, path, &handle_);
    open_ = (r == RegResult::Ok);
    return r;
  }
  void Close() {
    if (open_) registry_.CloseKey(handle_);
    open_ = false;
  }
  bool is_open() const { return open_; }
  RegKeyHandle handle() const { return handle_; }
  RegistryPort& registry() const { return registry_; }

 private:
  RegistryPort& registry_;
  RegKeyHandle handle_ = 0;
  bool open_ = false;
};

}  // namespace orvane

#endif
