// Where the programs take DLLs from. OrvaneSetting runs elevated and may be
// started from a copy in a user-writable folder: a DLL lying beside it, in the
// current directory or on PATH must never be loaded. Static imports are only
// DLLs that Windows takes from System32 whatever the search order (see
// README, Security); every other DLL is loaded here, from System32.
#ifndef ORVANE_PLATFORM_WIN32_WIN_DLL_H
#define ORVANE_PLATFORM_WIN32_WIN_DLL_H

#include <windows.h>

namespace orvane {

// SetDefaultDllDirectories(LOAD_LIBRARY_SEARCH_SYSTEM32) for every later load,
// the system's own included. Where the call does not exist (Windows 7 without
// KB2533623) the current directory at least leaves the search order.
void RestrictDllSearchToSystem32();

// The named DLL of System32 by its full path, its own dependencies from
// System32 too; nullptr when it is not there or the path does not fit.
HMODULE LoadSystemLibrary(const wchar_t* name);

// GetProcAddress as the function pointer type the caller needs.
template <typename Fn>
Fn ProcOf(HMODULE module, const char* name) {
  if (module == nullptr) return nullptr;
  return reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(module, name)));
}

}  // namespace orvane

#endif
