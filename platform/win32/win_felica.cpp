#include "platform/win32/win_felica.h"

#include <windows.h>
#include <shlobj.h>

#include <cstring>

#include "platform/win32/felica_abi.h"

namespace orvane {

namespace {

template <typename Fn>
Fn As(void* address) {
  return reinterpret_cast<Fn>(reinterpret_cast<void (*)()>(address));
}

}  // namespace

bool WinFelica::CommonProgramFilesFolder(char16_t* out, std::size_t capacity) {
  wchar_t folder[MAX_PATH] = {};
  if (!SHGetSpecialFolderPathW(nullptr, folder, CSIDL_PROGRAM_FILES_COMMON, FALSE)) return false;
  folder[MAX_PATH - 1] = 0;
  const std::size_t length = wcslen(folder);
  if (length + 1 > capacity) return false;
  std::memcpy(out, folder, sizeof(wchar_t) * (length + 1));
  return true;
}

bool WinFelica::Load(const char16_t* path) {
  if (module_) Unload();
  // By its full path; its own dependencies from its folder or System32, never
  // from the program's folder, the current directory or PATH.
  constexpr DWORD kSearchDllLoadDir = 0x00000100;  // LOAD_LIBRARY_SEARCH_DLL_LOAD_DIR
  constexpr DWORD kSearchSystem32 = 0x00000800;    // LOAD_LIBRARY_SEARCH_SYSTEM32
  const LPCWSTR file = reinterpret_cast<LPCWSTR>(path);
  HMODULE module = LoadLibraryExW(file, nullptr, kSearchDllLoadDir | kSearchSystem32);
  // A Windows that knows no search flags: the library's folder takes the
  // program's folder's place for its dependencies.
  if (module == nullptr && GetLastError() == ERROR_INVALID_PARAMETER)
    module = LoadLibraryExW(file, nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
  module_ = reinterpret_cast<void*>(module);
  return module_ != nullptr;
}

bool WinFelica::Resolve(const char* name) {
  if (!module_) return false;
  void* address =
      reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(module_), name));
  if (std::strcmp(name, FELICA_INITIALIZE_LIBRARY) == 0)
    initialize_ = address;
  else if (std::strcmp(name, FELICA_OPEN_READER_WRITER_AUTO) == 0)
    open_ = address;
  else if (std::strcmp(name, FELICA_DISPOSE_LIBRARY) == 0)
    dispose_ = address;
  else if (std::strcmp(name, FELICA_POLLING_AND_GET_CARD_INFORMATION) == 0)
    polling_ = address;
  else if (std::strcmp(name, FELICA_CLOSE_READER_WRITER) == 0)
    close_ = address;
  else
    return false;
  return address != nullptr;
}

void WinFelica::Unload() {
  if (module_) FreeLibrary(static_cast<HMODULE>(module_));
  module_ = initialize_ = open_ = dispose_ = polling_ = close_ = nullptr;
}

int WinFelica::InitializeLibrary() {
  return initialize_ ? As<initialize_library_fn>(initialize_)() : 0;
}

int WinFelica::OpenReaderWriterAuto() {
  return open_ ? As<open_reader_writer_auto_fn>(open_)() : 0;
}

int WinFelica::PollingAndGetCardInformation(const unsigned char* systemCode,
                                            unsigned char timeSlot, unsigned char* numberOfCards,
                                            unsigned char* idm, unsigned char* pmm) {
  if (!polling_) return 0;
  // The records are built afresh for every call; the library may write to them.
  unsigned char code[2] = {systemCode[0], systemCode[1]};
  polling pollingRecord = {code, timeSlot};
  card_information cardInformation = {idm, pmm};
  return As<polling_and_get_card_information_fn>(polling_)(&pollingRecord, numberOfCards,
                                                           &cardInformation);
}

int WinFelica::CloseReaderWriter() { return close_ ? As<close_reader_writer_fn>(close_)() : 0; }

int WinFelica::DisposeLibrary() { return dispose_ ? As<dispose_library_fn>(dispose_)() : 0; }

}  // namespace orvane
