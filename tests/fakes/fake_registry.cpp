#include "tests/fakes/fake_registry.h"

#include <cstring>

namespace orvane {

namespace {
// Windows refuses key name components longer than this.
constexpr std::size_t kMaxKeyNameLength = 255;

bool IsString(uint32_t type) {
  return type == regtype::kSz || type == regtype::kExpandSz || type == regtype::kMultiSz;
}
}  // namespace

struct FakeRegistry::Key {
  std::u16string name;
  bool deleted = false;
  // Folded name -> key / (original name, value); sorted as Windows enumerates.
  std::map<std::u16string, std::shared_ptr<Key>> children;
  std::map<std::u16string, std::pair<std::u16string, Value>> values;
};

FakeRegistry::FakeRegistry()
    : localMachine_(std::make_shared<Key>()), currentUser_(std::make_shared<Key>()) {}

FakeRegistry::~FakeRegistry() = default;

std::u16string FakeRegistry::Fold(const std::u16string& text) {
  std::u16string folded = text;
  for (char16_t& c : folded) {
    if (c >= u'a' && c <= u'z') c = static_cast<char16_t>(c - u'a' + u'A');
  }
  return folded;
}

bool FakeRegistry::SplitPath(const char16_t* path, std::vector<std::u16string>* parts) {
  parts->clear();
  if (!path || !*path) return true;  // the root itself
  std::u16string part;
  for (const char16_t* p = path;; ++p) {
    if (*p == u'\\' || *p == 0) {
      if (part.empty() || part.size() > kMaxKeyNameLength) return false;
      parts->push_back(part);
      part.clear();
      if (*p == 0) break;
    } else {
      part += *p;
    }
  }
  return true;
}

FakeRegistry::Key* FakeRegistry::RootKey(RegRoot root) const {
  return root == RegRoot::LocalMachine ? localMachine_.get() : currentUser_.get();
}

std::shared_ptr<FakeRegistry::Key> FakeRegistry::Find(RegRoot root,
                                                      const std::u16string& path) const {
  std::vector<std::u16string> parts;
  if (!SplitPath(path.c_str(), &parts)) return nullptr;
  std::shared_ptr<Key> key = root == RegRoot::LocalMachine ? localMachine_ : currentUser_;
  for (const std::u16string& part : parts) {
    auto it = key->children.find(Fold(part));
    if (it == key->children.end()) return nullptr;
    key = it->second;
  }
  return key;
}

std::shared_ptr<FakeRegistry::Key> FakeRegistry::Make(RegRoot root, const std::u16string& path) {
  std::vector<std::u16string> parts;
  if (!SplitPath(path.c_str(), &parts)) return nullptr;
  std::shared_ptr<Key> key = root == RegRoot::LocalMachine ? localMachine_ : currentUser_;
  for (const std::u16string& part : parts) {
    std::shared_ptr<Key>& child = key->children[Fold(part)];
    if (!child) {
      child = std::make_shared<Key>();
      child->name = part;
    }
    key = child;
  }
  return key;
}

FakeRegistry::Handle* FakeRegistry::Lookup(RegKeyHandle key) {
  auto it = handles_.find(key);
  if (it == handles_.end() || it->second.key->deleted) return nullptr;
  return &it->second;
}

RegKeyHandle FakeRegistry::NewHandle(const std::shared_ptr<Key>& key, RegAccess access) {
  RegKeyHandle handle = nextHandle_;
  nextHandle_ += 4;
  handles_[handle] = Handle{key, access};
  return handle;
}

std::u16string FakeRegistry::FailKey(RegRoot root, const std::u16string& path) {
  return (root == RegRoot::LocalMachine ? u"M:" : u"U:") + Fold(path);
}

RegResult FakeRegistry::DoOpenKey(RegRoot root, const char16_t* path, RegAccess access,
                                RegKeyHandle* key) {
  std::u16string text = path ? path : u"";
  RegResult result;
  auto failure = failOpen_.find(FailKey(root, text));
  std::vector<std::u16string> parts;
  if (!key) {
    result = RegResult::Failed;
  } else if (failure != failOpen_.end()) {
    result = failure->second;
  } else if (!SplitPath(path, &parts)) {
    result = RegResult::Failed;
  } else if (std::shared_ptr<Key> found = Find(root, text)) {
    *key = NewHandle(found, access);
    result = RegResult::Ok;
  } else {
    result = RegResult::NotFound;
  }
  openCalls_.push_back(OpenCall{root, text, access, false, result});
  return result;
}

RegResult FakeRegistry::DoCreateKey(RegRoot root, const char16_t* path, RegKeyHandle* key) {
  std::u16string text = path ? path : u"";
  RegResult result;
  auto failure = failCreate_.find(FailKey(root, text));
  std::vector<std::u16string> parts;
  if (!key) {
    result = RegResult::Failed;
  } else if (failure != failCreate_.end()) {
    result = failure->second;
  } else if (!SplitPath(path, &parts)) {
    result = RegResult::Failed;
  } else {
    *key = NewHandle(Make(root, text), RegAccess::Write);
    result = RegResult::Ok;
  }
  openCalls_.push_back(OpenCall{root, text, RegAccess::Write, true, result});
  return result;
}

RegResult FakeRegistry::DoQueryValue(RegKeyHandle key, const char16_t* name, uint32_t* type,
                                   unsigned char* data, uint32_t* size) {
  Handle* handle = Lookup(key);
  if (!handle) return RegResult::Failed;
  if (handle->access == RegAccess::Write) return RegResult::AccessDenied;
  if (data && !size) return RegResult::Failed;  // ERROR_INVALID_PARAMETER
  std::u16string folded = Fold(name ? name : u"");
  auto failure = failQuery_.find(folded);
  if (failure != failQuery_.end()) return failure->second;
  auto it = handle->key->values.find(folded);
  if (it == handle->key->values.end()) return RegResult::NotFound;
  const Value& value = it->second.second;
  const uint32_t needed = static_cast<uint32_t>(value.bytes.size());
  if (type) *type = value.type;
  if (!data) {
    if (size) *size = needed;
    return RegResult::Ok;
  }
  if (*size < needed) {
    *size = needed;
    return RegResult::MoreData;
  }
  if (needed) std::memcpy(data, value.bytes.data(), needed);
  // As RegQueryValueExW: a string without terminator gets one in the buffer,
  // after the bytes returned, when there is room; the size does not count it.
  if (IsString(value.type) && needed >= 2 && *size >= needed + 2 &&
      (data[needed - 2] != 0 || data[needed - 1] != 0) && needed % 2 == 0) {
    data[needed] = 0;
    data[needed + 1] = 0;
  }
  *size = needed;
  return RegResult::Ok;
}

RegResult FakeRegistry::DoSetValue(RegKeyHandle key, const char16_t* name, uint32_t type,
                                 const unsigned char* data, uint32_t size) {
  Handle* handle = Lookup(key);
  if (!handle) return RegResult::Failed;
  if (handle->access != RegAccess::Write) return RegResult::AccessDenied;
  if (!data && size) return RegResult::Failed;
  std::u16string original = name ? name : u"";
  auto failure = failSet_.find(Fold(original));
  if (failure != failSet_.end()) {
    valueCalls_.push_back({true, original, failure->second});
    return failure->second;
  }
  valueCalls_.push_back({true, original, RegResult::Ok});
  if (size >= 2 && IsString(type)) {
    // As RegSetValueExW: a string whose last unit given is not zero and whose
    // next unit in memory is gets that terminator counted in. This reads the
    // unit past size, as Windows does.
    auto unit = [data](std::size_t i) { return data[2 * i] | (data[2 * i + 1] << 8); };
    const std::size_t last = size / 2 - 1;
    if (unit(last) != 0 && unit(last + 1) == 0) size += 2;
  }
  Value value;
  value.type = type;
  if (size) value.bytes.assign(data, data + size);
  auto& slot = handle->key->values[Fold(original)];
  if (slot.first.empty()) slot.first = original;
  slot.second = value;
  return RegResult::Ok;
}

RegResult FakeRegistry::DoDeleteValue(RegKeyHandle key, const char16_t* name) {
  Handle* handle = Lookup(key);
  if (!handle) return RegResult::Failed;
  if (handle->access != RegAccess::Write) return RegResult::AccessDenied;
  const std::u16string original = name ? name : u"";
  auto failure = failDeleteValue_.find(Fold(original));
  if (failure != failDeleteValue_.end()) {
    valueCalls_.push_back({false, original, failure->second});
    return failure->second;
  }
  auto it = handle->key->values.find(Fold(original));
  if (it == handle->key->values.end()) {
    valueCalls_.push_back({false, original, RegResult::NotFound});
    return RegResult::NotFound;
  }
  handle->key->values.erase(it);
  valueCalls_.push_back({false, original, RegResult::Ok});
  return RegResult::Ok;
}

RegResult FakeRegistry::DoDeleteKey(RegRoot root, const char16_t* path) {
  std::u16string text = path ? path : u"";
  auto failure = failDelete_.find(FailKey(root, text));
  if (failure != failDelete_.end()) return failure->second;
  std::vector<std::u16string> parts;
  if (!SplitPath(path, &parts) || parts.empty()) return RegResult::Failed;
  std::u16string parentPath;
  for (std::size_t i = 0; i + 1 < parts.size(); ++i) {
    if (i) parentPath += u'\\';
    parentPath += parts[i];
  }
  std::shared_ptr<Key> parent = Find(root, parentPath);
  if (!parent) return RegResult::NotFound;
  auto it = parent->children.find(Fold(parts.back()));
  if (it == parent->children.end()) return RegResult::NotFound;
  if (!it->second->children.empty()) return RegResult::AccessDenied;
  it->second->deleted = true;
  parent->children.erase(it);
  return RegResult::Ok;
}

RegResult FakeRegistry::DoEnumKey(RegKeyHandle key, uint32_t index, char16_t* name,
                                uint32_t* length) {
  Handle* handle = Lookup(key);
  if (!handle) return RegResult::Failed;
  if (handle->access != RegAccess::Enumerate) return RegResult::AccessDenied;
  if (!name || !length) return RegResult::Failed;
  if (index >= handle->key->children.size()) return RegResult::NotFound;
  auto it = handle->key->children.begin();
  std::advance(it, index);
  const std::u16string& child = it->second->name;
  if (child.size() + 1 > *length) return RegResult::MoreData;
  std::memcpy(name, child.data(), child.size() * sizeof(char16_t));
  name[child.size()] = 0;
  *length = static_cast<uint32_t>(child.size());
  return RegResult::Ok;
}

void FakeRegistry::CloseKey(RegKeyHandle key) {
  // A handle to a deleted key is still open and still closes.
  if (handles_.erase(key) == 0) ++badCloses_;
}

void FakeRegistry::SetRaw(RegRoot root, const std::u16string& path, const std::u16string& name,
                          uint32_t type, const std::vector<unsigned char>& bytes) {
  std::shared_ptr<Key> key = Make(root, path);
  if (!key) return;
  auto& slot = key->values[Fold(name)];
  if (slot.first.empty()) slot.first = name;
  slot.second.type = type;
  slot.second.bytes = bytes;
}

void FakeRegistry::SetBinary(RegRoot root, const std::u16string& path, const std::u16string& name,
                             const std::vector<unsigned char>& bytes) {
  SetRaw(root, path, name, regtype::kBinary, bytes);
}

void FakeRegistry::SetDword(RegRoot root, const std::u16string& path, const std::u16string& name,
                            uint32_t value) {
  std::vector<unsigned char> bytes = {
      static_cast<unsigned char>(value), static_cast<unsigned char>(value >> 8),
      static_cast<unsigned char>(value >> 16), static_cast<unsigned char>(value >> 24)};
  SetRaw(root, path, name, regtype::kDword, bytes);
}

void FakeRegistry::SetString(RegRoot root, const std::u16string& path, const std::u16string& name,
                             const std::u16string& text) {
  std::vector<unsigned char> bytes;
  for (char16_t c : text) {
    bytes.push_back(static_cast<unsigned char>(c & 0xFF));
    bytes.push_back(static_cast<unsigned char>(c >> 8));
  }
  SetRaw(root, path, name, regtype::kSz, bytes);
}

void FakeRegistry::AddKey(RegRoot root, const std::u16string& path) { Make(root, path); }

bool FakeRegistry::KeyExists(RegRoot root, const std::u16string& path) const {
  return Find(root, path) != nullptr;
}

bool FakeRegistry::GetValue(RegRoot root, const std::u16string& path, const std::u16string& name,
                            Value* out) const {
  std::shared_ptr<Key> key = Find(root, path);
  if (!key) return false;
  auto it = key->values.find(Fold(name));
  if (it == key->values.end()) return false;
  if (out) *out = it->second.second;
  return true;
}

bool FakeRegistry::GetString(RegRoot root, const std::u16string& path,
                             const std::u16string& name, std::u16string* out) const {
  Value value;
  if (!GetValue(root, path, name, &value)) return false;
  out->clear();
  for (std::size_t i = 0; i + 1 < value.bytes.size(); i += 2) {
    out->push_back(static_cast<char16_t>(value.bytes[i] | (value.bytes[i + 1] << 8)));
  }
  return true;
}

bool FakeRegistry::GetDword(RegRoot root, const std::u16string& path, const std::u16string& name,
                            uint32_t* out) const {
  Value value;
  if (!GetValue(root, path, name, &value) || value.bytes.size() != 4) return false;
  *out = static_cast<uint32_t>(value.bytes[0]) | (static_cast<uint32_t>(value.bytes[1]) << 8) |
         (static_cast<uint32_t>(value.bytes[2]) << 16) |
         (static_cast<uint32_t>(value.bytes[3]) << 24);
  return true;
}

std::vector<std::u16string> FakeRegistry::ValueNames(RegRoot root,
                                                     const std::u16string& path) const {
  std::vector<std::u16string> names;
  if (std::shared_ptr<Key> key = Find(root, path)) {
    for (const auto& entry : key->values) names.push_back(entry.second.first);
  }
  return names;
}

std::vector<std::u16string> FakeRegistry::SubKeyNames(RegRoot root,
                                                      const std::u16string& path) const {
  std::vector<std::u16string> names;
  if (std::shared_ptr<Key> key = Find(root, path)) {
    for (const auto& entry : key->children) names.push_back(entry.second->name);
  }
  return names;
}

void FakeRegistry::FailOpenKey(RegRoot root, const std::u16string& path, RegResult result) {
  failOpen_[FailKey(root, path)] = result;
}

void FakeRegistry::FailCreateKey(RegRoot root, const std::u16string& path, RegResult result) {
  failCreate_[FailKey(root, path)] = result;
}

void FakeRegistry::FailSetValue(const std::u16string& name, RegResult result) {
  failSet_[Fold(name)] = result;
}

void FakeRegistry::FailQueryValue(const std::u16string& name, RegResult result) {
  failQuery_[Fold(name)] = result;
}

void FakeRegistry::FailDeleteValue(const std::u16string& name, RegResult result) {
  failDeleteValue_[Fold(name)] = result;
}

void FakeRegistry::FailDeleteKey(RegRoot root, const std::u16string& path, RegResult result) {
  failDelete_[FailKey(root, path)] = result;
}

void FakeRegistry::ClearFailures() {
  failOpen_.clear();
  failCreate_.clear();
  failSet_.clear();
  failQuery_.clear();
  failDelete_.clear();
  failDeleteValue_.clear();
}

// Each call notes the Win32 code that Windows gives for its failure.
uint32_t FakeRegistry::Note(RegResult result, uint32_t notFound) {
  switch (result) {
    case RegResult::Ok: return lastError_;
    case RegResult::NotFound: return lastError_ = notFound;
    case RegResult::MoreData: return lastError_ = kErrorMoreData;
    case RegResult::AccessDenied: return lastError_ = kErrorAccessDenied;
    case RegResult::Failed: break;
  }
  return lastError_ = failedCode_;
}

RegResult FakeRegistry::OpenKey(RegRoot root, const char16_t* path, RegAccess access,
                                RegKeyHandle* key) {
  const RegResult r = DoOpenKey(root, path, access, key);
  Note(r, kErrorFileNotFound);
  return r;
}

RegResult FakeRegistry::CreateKey(RegRoot root, const char16_t* path, RegKeyHandle* key) {
  const RegResult r = DoCreateKey(root, path, key);
  Note(r, kErrorFileNotFound);
  return r;
}

RegResult FakeRegistry::QueryValue(RegKeyHandle key, const char16_t* name, uint32_t* type,
                                   unsigned char* data, uint32_t* size) {
  const RegResult r = DoQueryValue(key, name, type, data, size);
  Note(r, kErrorFileNotFound);
  return r;
}

RegResult FakeRegistry::SetValue(RegKeyHandle key, const char16_t* name, uint32_t type,
                                 const unsigned char* data, uint32_t size) {
  const RegResult r = DoSetValue(key, name, type, data, size);
  Note(r, kErrorFileNotFound);
  return r;
}

RegResult FakeRegistry::DeleteValue(RegKeyHandle key, const char16_t* name) {
  const RegResult r = DoDeleteValue(key, name);
  Note(r, kErrorFileNotFound);
  return r;
}

RegResult FakeRegistry::DeleteKey(RegRoot root, const char16_t* path) {
  const RegResult r = DoDeleteKey(root, path);
  Note(r, kErrorFileNotFound);
  return r;
}

RegResult FakeRegistry::EnumKey(RegKeyHandle key, uint32_t index, char16_t* name,
                                uint32_t* length) {
  const RegResult r = DoEnumKey(key, index, name, length);
  Note(r, kErrorNoMoreItems);  // past the last sub-key
  return r;
}

}  // namespace orvane
