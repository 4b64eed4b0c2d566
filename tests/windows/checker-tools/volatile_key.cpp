// orvane-volatile-key HKLM|HKCU PATH
// Creates PATH as a volatile key. A key that is not volatile cannot be
// created below it (ERROR_CHILD_MUST_BE_VOLATILE): how the tests make a Run
// key that cannot be created, as Wine enforces no registry permissions.
// Exit 1 when the key cannot be created.
#include <windows.h>

#include <cwchar>

int wmain(int argc, wchar_t** argv) {
  if (argc != 3) return 2;
  HKEY root = std::wcscmp(argv[1], L"HKCU") == 0 ? HKEY_CURRENT_USER : HKEY_LOCAL_MACHINE;
  HKEY key = nullptr;
  if (RegCreateKeyExW(root, argv[2], 0, nullptr, REG_OPTION_VOLATILE, KEY_WRITE, nullptr, &key,
                      nullptr) != ERROR_SUCCESS) {
    return 1;
  }
  RegCloseKey(key);
  return 0;
}
