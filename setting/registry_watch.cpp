#include "setting/registry_watch.h"

#include "store/text_format.h"

namespace orvane {

namespace {

const char16_t* RootName(RegRoot root) {
  return root == RegRoot::CurrentUser ? u"HKEY_CURRENT_USER" : u"HKEY_LOCAL_MACHINE";
}

}  // namespace

void RegistryWatch::Remember(RegKeyHandle handle, RegRoot root, const char16_t* path) {
  OpenKeyPath& entry = open_[next_];
  next_ = (next_ + 1) % (sizeof open_ / sizeof open_[0]);
  entry.handle = handle;
  entry.used = true;
  FormatText(entry.path, static_cast<int>(sizeof entry.path / sizeof entry.path[0]), u"%s\\%s",
             RootName(root), path ? path : u"");
}

const char16_t* RegistryWatch::PathOf(RegKeyHandle handle) const {
  for (const OpenKeyPath& entry : open_) {
    if (entry.used && entry.handle == handle) return entry.path;
  }
  return u"(key)";
}

void RegistryWatch::Failed(const char16_t* where, const char16_t* name) {
  failed_ = true;
  code_ = registry_.LastError();
  if (name != nullptr) {
    FormatText(what_, static_cast<int>(kWhatSize), u"%s\\%s", where, name);
  } else {
    FormatText(what_, static_cast<int>(kWhatSize), u"%s", where);
  }
}

bool RegistryWatch::LastFailedWrite(const char16_t** what, uint32_t* code) const {
  if (!failed_) return false;
  *what = what_;
  *code = code_;
  return true;
}

RegResult RegistryWatch::OpenKey(RegRoot root, const char16_t* path, RegAccess access,
                                 RegKeyHandle* key) {
  const RegResult r = registry_.OpenKey(root, path, access, key);
  if (r == RegResult::Ok) {
    Remember(*key, root, path);
  } else if (access == RegAccess::Write) {
    char16_t where[300];
    FormatText(where, 300, u"%s\\%s", RootName(root), path ? path : u"");
    Failed(where, nullptr);
  }
  return r;
}

RegResult RegistryWatch::CreateKey(RegRoot root, const char16_t* path, RegKeyHandle* key) {
  const RegResult r = registry_.CreateKey(root, path, key);
  if (r == RegResult::Ok) {
    Remember(*key, root, path);
  } else {
    char16_t where[300];
    FormatText(where, 300, u"%s\\%s", RootName(root), path ? path : u"");
    Failed(where, nullptr);
  }
  return r;
}

RegResult RegistryWatch::QueryValue(RegKeyHandle key, const char16_t* name, uint32_t* type,
                                    unsigned char* data, uint32_t* size) {
  return registry_.QueryValue(key, name, type, data, size);
}

RegResult RegistryWatch::SetValue(RegKeyHandle key, const char16_t* name, uint32_t type,
                                  const unsigned char* data, uint32_t size) {
  const RegResult r = registry_.SetValue(key, name, type, data, size);
  if (r != RegResult::Ok) Failed(PathOf(key), name ? name : u"");
  return r;
}

RegResult RegistryWatch::DeleteValue(RegKeyHandle key, const char16_t* name) {
  const RegResult r = registry_.DeleteValue(key, name);
  // A value already gone is what every caller wanted, never a failure it reports.
  if (r != RegResult::Ok && r != RegResult::NotFound) Failed(PathOf(key), name ? name : u"");
  return r;
}

RegResult RegistryWatch::DeleteKey(RegRoot root, const char16_t* path) {
  const RegResult r = registry_.DeleteKey(root, path);
  if (r != RegResult::Ok) {
    char16_t where[300];
    FormatText(where, 300, u"%s\\%s", RootName(root), path ? path : u"");
    Failed(where, nullptr);
  }
  return r;
}

RegResult RegistryWatch::EnumKey(RegKeyHandle key, uint32_t index, char16_t* name,
                                 uint32_t* length) {
  return registry_.EnumKey(key, index, name, length);
}

void RegistryWatch::CloseKey(RegKeyHandle key) {
  for (OpenKeyPath& entry : open_) {
    if (entry.used && entry.handle == key) entry.used = false;
  }
  registry_.CloseKey(key);
}

}  // namespace orvane
