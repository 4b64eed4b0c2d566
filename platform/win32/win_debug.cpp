#include "platform/win32/win_debug.h"

#include <windows.h>

namespace orvane {

void WinDebugOutput::Write(const char16_t* line) {
  OutputDebugStringW(reinterpret_cast<const wchar_t*>(line));
}

}  // namespace orvane
