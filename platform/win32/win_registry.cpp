#include "platform/win32/win_registry.h"

#include <windows.h>

namespace orvane {

static_assert(sizeof(wchar_t) == sizeof(char16_t), "UTF-16 wchar_t expected");

namespace {

HKEY Root(RegRoot root) {
  return root == RegRoot::CurrentUser ? HKEY_CURRENT_USER : HKEY_LOCAL_MACHINE;
}

REGSAM Rights(RegAccess access) {
  switch (access) {
    case RegAccess::QueryValue: return KEY_QUERY_VALUE;
    case RegAccess::Write: return KEY_WRITE;
    case RegAccess::Enumerate: return KEY_READ;  // list the sub-keys and read what they say
  }
  return KEY_QUERY_VALUE;
}

RegResult Map(LONG status) {
  switch (status) {
    case ERROR_SUCCESS: return RegResult::Ok;
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_NO_MORE_ITEMS: return RegResult::NotFound;
    case ERROR_MORE_DATA: return RegResult::MoreData;
    case ERROR_ACCESS_DENIED: return RegResult::AccessDenied;
    default: return RegResult::Failed;
  }
}

const wchar_t* W(const char16_t* s) { return reinterpret_cast<const wchar_t*>(s); }
HKEY H(RegKeyHandle key) { return reinterpret_cast<HKEY>(key); }

}  // namespace

RegResult WinRegistry::Keep(long status) {
  if (status != ERROR_SUCCESS) last_ = static_cast<uint32_t>(status);
  return Map(status);
}

RegResult WinRegistry::OpenKey(RegRoot root, const char16_t* path, RegAccess access,
                               RegKeyHandle* key) {
  HKEY h = nullptr;
  RegResult r = Keep(RegOpenKeyExW(Root(root), W(path), 0, Rights(access), &h));
  *key = r == RegResult::Ok ? reinterpret_cast<RegKeyHandle>(h) : 0;
  return r;
}

RegResult WinRegistry::CreateKey(RegRoot root, const char16_t* path, RegKeyHandle* key) {
  HKEY h = nullptr;
  RegResult r = Keep(RegCreateKeyExW(Root(root), W(path), 0, nullptr, REG_OPTION_NON_VOLATILE,
                                    KEY_WRITE, nullptr, &h, nullptr));
  *key = r == RegResult::Ok ? reinterpret_cast<RegKeyHandle>(h) : 0;
  return r;
}

RegResult WinRegistry::QueryValue(RegKeyHandle key, const char16_t* name, uint32_t* type,
                                  unsigned char* data, uint32_t* size) {
  DWORD t = 0;
  DWORD n = size != nullptr ? *size : 0;
  LONG status = RegQueryValueExW(H(key), W(name), nullptr, &t, data, size != nullptr ? &n : nullptr);
  if (type != nullptr) *type = t;
  if (size != nullptr) *size = n;
  return Keep(status);
}

RegResult WinRegistry::SetValue(RegKeyHandle key, const char16_t* name, uint32_t type,
                                const unsigned char* data, uint32_t size) {
  return Keep(RegSetValueExW(H(key), W(name), 0, type, data, size));
}

RegResult WinRegistry::DeleteValue(RegKeyHandle key, const char16_t* name) {
  return Keep(RegDeleteValueW(H(key), W(name)));
}

RegResult WinRegistry::DeleteKey(RegRoot root, const char16_t* path) {
  return Keep(RegDeleteKeyW(Root(root), W(path)));
}

RegResult WinRegistry::EnumKey(RegKeyHandle key, uint32_t index, char16_t* name,
                               uint32_t* length) {
  DWORD n = *length;
  LONG status = RegEnumKeyExW(H(key), index, reinterpret_cast<wchar_t*>(name), &n, nullptr,
                              nullptr, nullptr, nullptr);
  *length = n;
  return Keep(status);
}

void WinRegistry::CloseKey(RegKeyHandle key) { RegCloseKey(H(key)); }

}  // namespace orvane
