/* A DLL planted where a program must never load it from (beside a copy of the
   program, in the current directory): loaded, it writes "<its own path>.loaded"
   and does nothing else. The tests copy it under the names of the DLLs the
   programs use (winscard.dll, winmm.dll, netapi32.dll, hhctrl.ocx). A test
   fixture: never installed, never shipped. */
#include <windows.h>

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved) {
  (void)reserved;
  if (reason == DLL_PROCESS_ATTACH) {
    WCHAR path[MAX_PATH + 8];
    DWORD n = GetModuleFileNameW(instance, path, MAX_PATH);
    if (n > 0 && n < MAX_PATH) {
      lstrcpyW(path + n, L".loaded");
      HANDLE file = CreateFileW(path, GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, NULL);
      if (file != INVALID_HANDLE_VALUE) CloseHandle(file);
    }
  }
  return TRUE;
}
