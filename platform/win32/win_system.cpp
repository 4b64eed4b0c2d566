#include "platform/win32/win_system.h"

#include <windows.h>

namespace orvane {

bool WinSystem::UserName(char16_t* out, std::size_t capacity) {
  if (capacity == 0) return false;
  DWORD size = static_cast<DWORD>(capacity < 0x7FFFFFFF ? capacity : 0x7FFFFFFF);
  if (!GetUserNameW(reinterpret_cast<wchar_t*>(out), &size)) {
    out[0] = 0;
    return false;
  }
  out[capacity - 1] = 0;
  return true;
}

}  // namespace orvane
