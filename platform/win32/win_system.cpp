#include "platform/win32/win_system.h"

#include <windows.h>
#include <lm.h>

#include "platform/win32/win_dll.h"

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

// netapi32.dll is not a KnownDLL: loaded from System32 at the first use, never
// imported. Without it (or its entry points) NetUserGetInfo counts as failed.
struct Netapi {
  bool tried = false;
  NET_API_STATUS(WINAPI* userGetInfo)(LPCWSTR, LPCWSTR, DWORD, LPBYTE*) = nullptr;
  NET_API_STATUS(WINAPI* bufferFree)(LPVOID) = nullptr;
};

Netapi g_netapi;  // namespace scope: no thread-safe static guard

const Netapi* NetapiOrNull() {
  if (!g_netapi.tried) {
    g_netapi.tried = true;
    HMODULE module = LoadSystemLibrary(L"netapi32.dll");
    g_netapi.userGetInfo = ProcOf<decltype(g_netapi.userGetInfo)>(module, "NetUserGetInfo");
    g_netapi.bufferFree = ProcOf<decltype(g_netapi.bufferFree)>(module, "NetApiBufferFree");
  }
  return g_netapi.userGetInfo && g_netapi.bufferFree ? &g_netapi : nullptr;
}

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
  const Netapi* net = NetapiOrNull();
  if (net == nullptr) return false;
  LPBYTE buffer = nullptr;
  if (net->userGetInfo(reinterpret_cast<const wchar_t*>(server),
                     reinterpret_cast<const wchar_t*>(user), 24, &buffer) != NERR_Success ||
      buffer == nullptr) {
    if (buffer) net->bufferFree(buffer);
    return false;
  }
  const USER_INFO_24* info = reinterpret_cast<const USER_INFO_24*>(buffer);
  out.hasPrincipal = info->usri24_internet_principal_name != nullptr;
  out.hasProvider = info->usri24_internet_provider_name != nullptr;
  CopyBounded(info->usri24_internet_principal_name, out.principal, 260);
  CopyBounded(info->usri24_internet_provider_name, out.provider, 260);
  net->bufferFree(buffer);
  return true;
}

}  // namespace orvane
