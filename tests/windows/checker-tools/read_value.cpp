// orvane-read-value HKLM|HKCU PATH NAME
// Prints one registry value as reg export writes it ("text" with \ and "
// escaped, dword:%08x, hex:..), but a REG_SZ from exactly its stored bytes:
// Wine's reg.exe takes the last unit of a string stored without terminator
// for one and drops it. A second line gives the stored byte count. Exit 1
// when the value cannot be read.
#include <windows.h>

#include <cstdio>
#include <cwchar>
#include <string>
#include <vector>

#include "platform/utf.h"

int wmain(int argc, wchar_t** argv) {
  if (argc != 4) {
    std::fprintf(stderr, "usage: orvane-read-value HKLM|HKCU PATH NAME\n");
    return 2;
  }
  HKEY root = std::wcscmp(argv[1], L"HKCU") == 0 ? HKEY_CURRENT_USER : HKEY_LOCAL_MACHINE;
  HKEY key = nullptr;
  if (RegOpenKeyExW(root, argv[2], 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS) return 1;
  DWORD type = 0, size = 0;
  LONG status = RegQueryValueExW(key, argv[3], nullptr, &type, nullptr, &size);
  std::vector<unsigned char> data(size + 2);
  if (status == ERROR_SUCCESS)
    status = RegQueryValueExW(key, argv[3], nullptr, &type, data.data(), &size);
  RegCloseKey(key);
  if (status != ERROR_SUCCESS) return 1;
  if (type == REG_SZ) {
    std::u16string text;
    for (DWORD i = 0; i + 1 < size; i += 2)
      text += static_cast<char16_t>(data[i] | (data[i + 1] << 8));
    std::string out;
    for (char c : orvane::Utf16ToUtf8(text)) {
      if (c == '\\' || c == '"') out += '\\';
      out += c;
    }
    std::printf("\"%s\"\n", out.c_str());
  } else if (type == REG_DWORD && size == 4) {
    std::printf("dword:%08lx\n", static_cast<unsigned long>(data[0] | (data[1] << 8) | (data[2] << 16) |
                                                             (static_cast<DWORD>(data[3]) << 24)));
  } else {
    std::printf("hex(%lu):", static_cast<unsigned long>(type));
    for (DWORD i = 0; i < size; ++i) std::printf(i ? ",%02x" : "%02x", data[i]);
    std::printf("\n");
  }
  std::printf("bytes=%lu\n", static_cast<unsigned long>(size));
  return 0;
}
