#include "platform/win32/win_dll.h"

namespace orvane {

namespace {

// From winbase.h of Windows 8; older SDK headers lack them.
constexpr DWORD kSearchSystem32 = 0x00000800;  // LOAD_LIBRARY_SEARCH_SYSTEM32

}  // namespace

void RestrictDllSearchToSystem32() {
  using SetDefaultDllDirectoriesFunction = BOOL(WINAPI*)(DWORD);
  // kernel32 is mapped into every process: no search takes place here.
  const auto setDefault = ProcOf<SetDefaultDllDirectoriesFunction>(
      GetModuleHandleW(L"kernel32.dll"), "SetDefaultDllDirectories");
  if (setDefault != nullptr && setDefault(kSearchSystem32)) return;
  SetDllDirectoryW(L"");
}

HMODULE LoadSystemLibrary(const wchar_t* name) {
  wchar_t path[MAX_PATH];
  const UINT folder = GetSystemDirectoryW(path, MAX_PATH);
  if (folder == 0 || folder >= MAX_PATH) return nullptr;
  UINT n = folder;
  if (n + 1 >= MAX_PATH) return nullptr;
  path[n++] = L'\\';
  for (const wchar_t* s = name; *s; ++s) {
    if (n + 1 >= MAX_PATH) return nullptr;  // never load a cut path
    path[n++] = *s;
  }
  path[n] = 0;
  HMODULE module = LoadLibraryExW(path, nullptr, kSearchSystem32);
  if (module != nullptr || GetLastError() != ERROR_INVALID_PARAMETER) return module;
  // A Windows that knows no search flags: the folder of a DLL loaded by its
  // full path (System32) takes the program's folder's place for its dependencies.
  return LoadLibraryExW(path, nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
}

}  // namespace orvane
