#include "platform/win32/win_session.h"

#include <windows.h>

namespace orvane {

bool WinSession::Keep(bool ok) {
  if (!ok) last_ = GetLastError();
  return ok;
}

bool WinSession::EnableShutdownPrivilege() {
  HANDLE token = nullptr;
  if (!Keep(OpenProcessToken(GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY, &token)))
    return false;
  TOKEN_PRIVILEGES privileges = {};
  if (!Keep(LookupPrivilegeValueW(nullptr, SE_SHUTDOWN_NAME, &privileges.Privileges[0].Luid))) {
    CloseHandle(token);
    return false;
  }
  privileges.PrivilegeCount = 1;
  privileges.Privileges[0].Attributes = SE_PRIVILEGE_ENABLED;
  // AdjustTokenPrivileges succeeds even when it assigned nothing; only the
  // last error tells (ERROR_NOT_ALL_ASSIGNED).
  SetLastError(ERROR_SUCCESS);
  AdjustTokenPrivileges(token, FALSE, &privileges, 0, nullptr, nullptr);
  const DWORD error = GetLastError();
  bool enabled = error == ERROR_SUCCESS;
  if (!enabled) last_ = error;
  CloseHandle(token);  // once per tick while the card is away: do not leak it
  return enabled;
}

bool WinSession::RequestSessionEnd(uint32_t flags) { return Keep(ExitWindowsEx(flags, 0) != FALSE); }

bool WinSession::LockWorkstation() { return Keep(LockWorkStation() != FALSE); }

}  // namespace orvane
