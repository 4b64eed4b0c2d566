// orvane-close-checker [--find] [TIMEOUT_MS]
// Finds the checker's hidden window by class and title, as the settings
// program does, and sends it WM_CLOSE (--find: only reports that it exists).
// Retries until found or the timeout (default 10000 ms) passes. Exit 0 when
// found, 1 when no window was found.
#include <windows.h>

#include <cstdio>
#include <cwchar>

#include "store/shared_names.h"

int wmain(int argc, wchar_t** argv) {
  bool findOnly = argc > 1 && std::wcscmp(argv[1], L"--find") == 0;
  int next = findOnly ? 2 : 1;
  DWORD timeout = argc > next ? static_cast<DWORD>(std::wcstoul(argv[next], nullptr, 10)) : 10000;
  DWORD start = GetTickCount();
  for (;;) {
    HWND hwnd = FindWindowW(reinterpret_cast<const wchar_t*>(orvane::names::kCheckerClass),
                              reinterpret_cast<const wchar_t*>(orvane::names::kCheckerTitle));
    if (hwnd != nullptr && findOnly) {
      std::printf("checker window found\n");
      return 0;
    }
    if (hwnd != nullptr) {
      SendMessageW(hwnd, WM_CLOSE, 0, 0);
      std::printf("WM_CLOSE sent\n");
      return 0;
    }
    if (GetTickCount() - start >= timeout) break;
    Sleep(100);
  }
  std::printf("no checker window\n");
  return 1;
}
