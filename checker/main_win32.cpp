// OrvaneChecker's Win32 side: resources, the hidden window whose timer drives
// the watch, and the message loop. Decisions are made in checker.cpp.
#include <windows.h>

#include "card/card_access.h"
#include "checker/checker.h"
#include "checker/resource.h"
#include "platform/win32/win_debug.h"
#include "platform/win32/win_event_log.h"
#include "platform/win32/win_felica.h"
#include "platform/win32/win_registry.h"
#include "platform/win32/win_session.h"
#include "platform/win32/win_system.h"
#include "platform/win32/winscard_smartcard.h"

namespace orvane {
namespace {

constexpr int kNameSize = 260;
constexpr UINT_PTR kWatchTimer = 1;

wchar_t g_title[kNameSize];
wchar_t g_className[kNameSize];
Checker* g_checker = nullptr;
uint32_t g_periodMs = 0;

LRESULT CALLBACK WatchWindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_CREATE:
      SetTimer(hwnd, kWatchTimer, g_periodMs, nullptr);
      return 0;
    case WM_TIMER:
      if (wParam == kWatchTimer && g_checker != nullptr) WatchTick(*g_checker);
      return 0;
    case WM_DESTROY:
      PostQuitMessage(0);
      return 0;
    default:
      return DefWindowProcW(hwnd, message, wParam, lParam);
  }
}

class Win32WatchWindow : public WatchWindowPort {
 public:
  HINSTANCE instance = nullptr;
  bool Create(uint32_t periodMs) override {
    g_periodMs = periodMs;  // read by WM_CREATE, which arrives inside CreateWindowExW
    HWND hwnd = CreateWindowExW(0, g_className, g_title, WS_OVERLAPPEDWINDOW, 0, 0, 0, 0, nullptr,
                                nullptr, instance, nullptr);
    if (hwnd == nullptr) return false;
    ShowWindow(hwnd, SW_HIDE);
    UpdateWindow(hwnd);
    return true;
  }
};

class SleepWait : public WaitPort {
 public:
  void Wait(uint32_t milliseconds) override { Sleep(milliseconds); }
};

void RegisterWatchClass(HINSTANCE instance) {
  WNDCLASSEXW wc = {};
  wc.cbSize = sizeof wc;
  wc.style = CS_HREDRAW | CS_VREDRAW;
  wc.lpfnWndProc = WatchWindowProc;
  wc.hInstance = instance;
  wc.hIcon = LoadIconW(instance, MAKEINTRESOURCEW(IDI_ORVANECHECKER));
  wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
  wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
  wc.lpszClassName = g_className;
  wc.hIconSm = LoadIconW(instance, MAKEINTRESOURCEW(IDI_SMALL));
  RegisterClassExW(&wc);
}

// Process-wide, as the watch lives as long as the program; namespace-scope
// objects rather than function-local statics, which would drag the
// thread-safe guard machinery into the program.
WinScardSmartCard g_smartCard;
WinFelica g_felica;
CardAccess g_access(Flavour::Checker, g_smartCard, g_felica);
CardAccessPoller g_poller(g_access);
WinRegistry g_registry;
WinSystem g_system;
WinSession g_session;
WinDebugOutput g_debug;
Win32WatchWindow g_window;
SleepWait g_wait;
WinEventLog g_events;
Checker g_watch(g_poller, g_registry, g_system, g_session, g_debug, g_window, g_wait, g_events);

}  // namespace

int RunChecker(HINSTANCE instance) {
  LoadStringW(instance, IDS_APP_TITLE, g_title, kNameSize);
  LoadStringW(instance, IDC_ORVANECHECKER, g_className, kNameSize);
  RegisterWatchClass(instance);

  g_window.instance = instance;
  g_checker = &g_watch;

  if (StartWatch(g_watch) == 0) return 0;

  MSG msg = {};
  while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
  return static_cast<int>(msg.wParam);
}

}  // namespace orvane

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
  // Before anything else loads a DLL: System32 only, never the current
  // directory or PATH.
  orvane::RestrictDllSearchToSystem32();
  return orvane::RunChecker(instance);
}
