#include "platform/win32/win_system.h"

#include <windows.h>
#include <lm.h>

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

namespace {

void CopyBounded(const wchar_t* text, char16_t* out, std::size_t capacity) {
  std::size_t n = 0;
  if (text != nullptr)
    while (n + 1 < capacity && text[n] != 0) {
      out[n] = static_cast<char16_t>(text[n]);
      ++n;
    }
  out[n] = 0;
}

}  // namespace

bool WinSystem::InternetAccountOf(const char16_t* server, const char16_t* user,
                                  InternetAccount& out) {
  out = InternetAccount{};
  LPBYTE buffer = nullptr;
  if (NetUserGetInfo(reinterpret_cast<const wchar_t*>(server),
                     reinterpret_cast<const wchar_t*>(user), 24, &buffer) != NERR_Success ||
      buffer == nullptr) {
    if (buffer) NetApiBufferFree(buffer);
    return false;
  }
  const USER_INFO_24* info = reinterpret_cast<const USER_INFO_24*>(buffer);
  out.hasPrincipal = info->usri24_internet_principal_name != nullptr;
  out.hasProvider = info->usri24_internet_provider_name != nullptr;
  CopyBounded(info->usri24_internet_principal_name, out.principal, 260);
  CopyBounded(info->usri24_internet_provider_name, out.provider, 260);
  NetApiBufferFree(buffer);
  return true;
}

}  // namespace orvane
