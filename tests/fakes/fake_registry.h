// An in-memory registry for tests, behaving like the Win32 registry as far as
// the core can see: case-insensitive key and value names, values that keep
// their type and exact bytes (with RegSetValueExW's counting of a string's
// left-out terminator), RegQueryValueExW size rules, RegDeleteKeyW
// refusing keys with sub-keys, and access rights per open handle.
//
// Tests can also inject failures and check that every opened key was closed.
#ifndef ORVANE_TESTS_FAKES_FAKE_REGISTRY_H
#define ORVANE_TESTS_FAKES_FAKE_REGISTRY_H

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "platform/registry_port.h"

namespace orvane {

class FakeRegistry : public RegistryPort {
 public:
  struct Value {
    uint32_t type = regtype::kNone;
    std::vector<unsigned char> bytes;
  };

  FakeRegistry();
  ~FakeRegistry() override;

  // RegistryPort. Access is checked as Windows checks it: QueryValue needs a
  // key opened for QueryValue or Enumerate (KEY_READ); SetValue and
  // DeleteValue need Write (CreateKey opens for Write); EnumKey needs
  // Enumerate. A wrong right gives AccessDenied; an unknown or closed handle
  // gives Failed, and so does any use of a key deleted while open.
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
  // The code Windows gives for the last failure: 2 for a missing key or
  // value, 259 past the last sub-key, 234 for MoreData, 5 for AccessDenied,
  // and for Failed the code set by SetFailedCode (6, an invalid handle,
  // until then).
  uint32_t LastError() const override { return lastError_; }
  void SetFailedCode(uint32_t code) { failedCode_ = code; }

  static constexpr uint32_t kErrorFileNotFound = 2;
  static constexpr uint32_t kErrorAccessDenied = 5;
  static constexpr uint32_t kErrorInvalidHandle = 6;
  static constexpr uint32_t kErrorMoreData = 234;
  static constexpr uint32_t kErrorNoMoreItems = 259;

  // Test setup, bypassing handles and injected failures. Paths and names as
  // for the port; the key and its parents are created. SetString stores the
  // text as the programs write it: 2 bytes per code unit, no terminator.
  void SetRaw(RegRoot root, const std::u16string& path, const std::u16string& name,
              uint32_t type, const std::vector<unsigned char>& bytes);
  void SetBinary(RegRoot root, const std::u16string& path, const std::u16string& name,
                 const std::vector<unsigned char>& bytes);
  void SetDword(RegRoot root, const std::u16string& path, const std::u16string& name,
                uint32_t value);
  void SetString(RegRoot root, const std::u16string& path, const std::u16string& name,
                 const std::u16string& text);
  void AddKey(RegRoot root, const std::u16string& path);
  // The same under HKEY_LOCAL_MACHINE.
  void SetRaw(const std::u16string& path, const std::u16string& name, uint32_t type,
              const std::vector<unsigned char>& bytes) {
    SetRaw(RegRoot::LocalMachine, path, name, type, bytes);
  }
  void SetBinary(const std::u16string& path, const std::u16string& name,
                 const std::vector<unsigned char>& bytes) {
    SetBinary(RegRoot::LocalMachine, path, name, bytes);
  }
  void SetDword(const std::u16string& path, const std::u16string& name, uint32_t value) {
    SetDword(RegRoot::LocalMachine, path, name, value);
  }
  void SetString(const std::u16string& path, const std::u16string& name,
                 const std::u16string& text) {
    SetString(RegRoot::LocalMachine, path, name, text);
  }
  void AddKey(const std::u16string& path) { AddKey(RegRoot::LocalMachine, path); }

  // Inspection. GetValue is false when the key or value is absent.
  bool KeyExists(RegRoot root, const std::u16string& path) const;
  bool GetValue(RegRoot root, const std::u16string& path, const std::u16string& name,
                Value* out) const;
  // The value's bytes read as UTF-16 (low byte first); an odd last byte is dropped.
  bool GetString(RegRoot root, const std::u16string& path, const std::u16string& name,
                 std::u16string* out) const;
  bool GetDword(RegRoot root, const std::u16string& path, const std::u16string& name,
                uint32_t* out) const;
  std::vector<std::u16string> ValueNames(RegRoot root, const std::u16string& path) const;
  std::vector<std::u16string> SubKeyNames(RegRoot root, const std::u16string& path) const;
  bool KeyExists(const std::u16string& path) const {
    return KeyExists(RegRoot::LocalMachine, path);
  }
  bool GetValue(const std::u16string& path, const std::u16string& name, Value* out) const {
    return GetValue(RegRoot::LocalMachine, path, name, out);
  }
  bool GetString(const std::u16string& path, const std::u16string& name,
                 std::u16string* out) const {
    return GetString(RegRoot::LocalMachine, path, name, out);
  }
  bool GetDword(const std::u16string& path, const std::u16string& name, uint32_t* out) const {
    return GetDword(RegRoot::LocalMachine, path, name, out);
  }

  // Handles opened and not yet closed.
  std::size_t OpenHandleCount() const { return handles_.size(); }
  // Every OpenKey/CreateKey call, successful or not, and the rights asked.
  struct OpenCall {
    RegRoot root;
    std::u16string path;
    RegAccess access;  // Write for CreateKey
    bool create;
    RegResult result;
  };
  const std::vector<OpenCall>& OpenCalls() const { return openCalls_; }

  // Every SetValue and DeleteValue call that reached a key (after the
  // handle and access checks), in order, with its outcome: the order of
  // writes a sequence made and where it stopped.
  struct ValueCall {
    bool set;  // false for DeleteValue
    std::u16string name;
    RegResult result;
  };
  const std::vector<ValueCall>& ValueCalls() const { return valueCalls_; }

  // CloseKey calls with a handle that was not open (double closes).
  std::size_t BadCloseCount() const { return badCloses_; }

  // Failure injection: every matching call from now on returns result and
  // changes nothing. Key paths match case-insensitively; an empty
  // value name matches the default value only. Cleared by ClearFailures.
  void FailOpenKey(RegRoot root, const std::u16string& path,
                   RegResult result = RegResult::AccessDenied);
  void FailCreateKey(RegRoot root, const std::u16string& path,
                     RegResult result = RegResult::AccessDenied);
  void FailSetValue(const std::u16string& name, RegResult result = RegResult::Failed);
  void FailQueryValue(const std::u16string& name, RegResult result = RegResult::Failed);
  void FailDeleteValue(const std::u16string& name, RegResult result = RegResult::AccessDenied);
  void FailDeleteKey(RegRoot root, const std::u16string& path,
                     RegResult result = RegResult::AccessDenied);
  void ClearFailures();

 private:
  struct Key;
  struct Handle {
    std::shared_ptr<Key> key;
    RegAccess access;
  };

  static std::u16string Fold(const std::u16string& text);
  static bool SplitPath(const char16_t* path, std::vector<std::u16string>* parts);
  Key* RootKey(RegRoot root) const;
  std::shared_ptr<Key> Find(RegRoot root, const std::u16string& path) const;
  std::shared_ptr<Key> Make(RegRoot root, const std::u16string& path);
  Handle* Lookup(RegKeyHandle key);
  RegKeyHandle NewHandle(const std::shared_ptr<Key>& key, RegAccess access);
  static std::u16string FailKey(RegRoot root, const std::u16string& path);
  RegResult DoOpenKey(RegRoot root, const char16_t* path, RegAccess access, RegKeyHandle* key);
  RegResult DoCreateKey(RegRoot root, const char16_t* path, RegKeyHandle* key);
  RegResult DoQueryValue(RegKeyHandle key, const char16_t* name, uint32_t* type,
                         unsigned char* data, uint32_t* size);
  RegResult DoSetValue(RegKeyHandle key, const char16_t* name, uint32_t type,
                       const unsigned char* data, uint32_t size);
  RegResult DoDeleteValue(RegKeyHandle key, const char16_t* name);
  RegResult DoDeleteKey(RegRoot root, const char16_t* path);
  RegResult DoEnumKey(RegKeyHandle key, uint32_t index, char16_t* name, uint32_t* length);
  uint32_t Note(RegResult result, uint32_t notFound);

  std::shared_ptr<Key> localMachine_;
  std::shared_ptr<Key> currentUser_;
  std::map<RegKeyHandle, Handle> handles_;
  RegKeyHandle nextHandle_ = 0x100;
  std::size_t badCloses_ = 0;
  std::vector<OpenCall> openCalls_;
  std::vector<ValueCall> valueCalls_;
  std::map<std::u16string, RegResult> failOpen_, failCreate_, failSet_, failQuery_,
      failDelete_, failDeleteValue_;
  uint32_t lastError_ = 0;
  uint32_t failedCode_ = kErrorInvalidHandle;
};

}  // namespace orvane

#endif
