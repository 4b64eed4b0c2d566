// orvane-checker-window pump|hang READY_FILE
// A top-level window with the checker's class and title, as a second copy of
// the checker or another program of that name would have. pump: a message
// loop; WM_CLOSE ends the program with code 0. hang: never takes a message
// (a hung program), and ends by itself after 120 s. READY_FILE is written
// once the window exists.
#include <windows.h>

#include <cwchar>

#include "store/shared_names.h"

namespace {

LRESULT CALLBACK WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_DESTROY) {
    PostQuitMessage(0);
    return 0;
  }
  return DefWindowProcW(hwnd, message, wParam, lParam);
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc != 3 || (std::wcscmp(argv[1], L"pump") != 0 && std::wcscmp(argv[1], L"hang") != 0)) {
    std::fwprintf(stderr, L"usage: orvane-checker-window pump|hang READY_FILE\n");
    return 2;
  }
  const bool pump = std::wcscmp(argv[1], L"pump") == 0;
  const auto* className = reinterpret_cast<const wchar_t*>(orvane::names::kCheckerClass);
  const auto* title = reinterpret_cast<const wchar_t*>(orvane::names::kCheckerTitle);
  WNDCLASSEXW wc = {};
  wc.cbSize = sizeof wc;
  wc.lpfnWndProc = WindowProc;
  wc.hInstance = GetModuleHandleW(nullptr);
  wc.lpszClassName = className;
  RegisterClassExW(&wc);
  HWND hwnd = CreateWindowExW(0, className, title, WS_OVERLAPPEDWINDOW, 0, 0, 0, 0, nullptr, nullptr,
                              wc.hInstance, nullptr);
  if (hwnd == nullptr) return 1;
  HANDLE ready = CreateFileW(argv[2], GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (ready != INVALID_HANDLE_VALUE) CloseHandle(ready);
  if (!pump) {
    Sleep(120000);
    return 3;
  }
  MSG msg = {};
  while (GetMessageW(&msg, nullptr, 0, 0) > 0) DispatchMessageW(&msg);
  return static_cast<int>(msg.wParam);
}
