#include "platform/win32/win_ui.h"

#include <commdlg.h>
#include <htmlhelp.h>
#include <mmsystem.h>

#include "platform/win32/win_dialog_host.h"
#include "platform/win32/win_dll.h"

namespace orvane {

namespace {

const wchar_t* W(const char16_t* text) { return reinterpret_cast<const wchar_t*>(text); }
wchar_t* W(char16_t* text) { return reinterpret_cast<wchar_t*>(text); }

DWORD Capacity(std::size_t capacity) {
  return static_cast<DWORD>(capacity < 0x7FFFFFFF ? capacity : 0x7FFFFFFF);
}

}  // namespace

int WinMessageBoxes::Show(DialogView* owner, const char16_t* text, const char16_t* caption,
                          uint32_t style) {
  // Every view of this program is a host view.
  HWND hwnd = owner ? static_cast<WinDialogView*>(owner)->hwnd() : nullptr;
  return MessageBoxW(hwnd, W(text), W(caption), style);
}

bool WinStrings::Load(int id, char16_t* out, int capacity) {
  if (capacity <= 0) return false;
  out[0] = 0;
  const int n = LoadStringW(instance_, static_cast<UINT>(id), W(out), capacity);
  out[capacity - 1] = 0;
  return n > 0;
}

void WinHtmlHelp::ShowContext(const char16_t* file, uint32_t context) {
  if (!tried_) {
    tried_ = true;
    // By its System32 path: never a copy beside the program or in the current directory.
    htmlHelp_ = ProcOf<HtmlHelpFunction>(LoadSystemLibrary(L"hhctrl.ocx"), "HtmlHelpW");
  }
  if (htmlHelp_ != nullptr) htmlHelp_(nullptr, W(file), HH_HELP_CONTEXT, context);
}

void WinSound::PlayAsync(const char16_t* file) {
  // winmm.dll from System32 at the first sound; without it no sound is played.
  if (!tried_) {
    tried_ = true;
    play_ = ProcOf<PlayFunction>(LoadSystemLibrary(L"winmm.dll"), "sndPlaySoundW");
  }
  if (play_ != nullptr) play_(W(file), SND_ASYNC);
}

bool WinFiles::FileExists(const char16_t* path) {
  WIN32_FIND_DATAW found = {};
  HANDLE search = FindFirstFileW(W(path), &found);
  if (search == INVALID_HANDLE_VALUE) return false;
  FindClose(search);
  return (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

bool WinFiles::ChooseOpenFile(DialogView& owner, const char16_t* filter, std::size_t,
                              const char16_t* title, uint32_t flags, char16_t* out,
                              std::size_t capacity) {
  if (capacity == 0) return false;
  OPENFILENAMEW ofn = {};
  ofn.lStructSize = sizeof ofn;
  ofn.hwndOwner = static_cast<WinDialogView&>(owner).hwnd();
  ofn.lpstrFilter = W(filter);
  ofn.lpstrFile = W(out);
  ofn.nMaxFile = Capacity(capacity);
  ofn.lpstrTitle = W(title);
  ofn.Flags = flags;
  const bool chosen = GetOpenFileNameW(&ofn) != FALSE;
  out[capacity - 1] = 0;
  return chosen;
}

bool WinSettingSystem::ComputerName(char16_t* out, std::size_t capacity) {
  if (capacity == 0) return false;
  DWORD size = Capacity(capacity);
  if (!GetComputerNameW(W(out), &size)) {
    out[0] = 0;
    return false;
  }
  out[capacity - 1] = 0;
  return true;
}

bool WinSettingSystem::IsWindows8OrLater() {
  OSVERSIONINFOEXW info = {};
  info.dwOSVersionInfoSize = sizeof info;
  info.dwMajorVersion = 6;
  info.dwMinorVersion = 2;
  info.wServicePackMajor = 0;
  DWORDLONG mask = 0;
  mask = VerSetConditionMask(mask, VER_MAJORVERSION, VER_GREATER_EQUAL);
  mask = VerSetConditionMask(mask, VER_MINORVERSION, VER_GREATER_EQUAL);
  mask = VerSetConditionMask(mask, VER_SERVICEPACKMAJOR, VER_GREATER_EQUAL);
  return VerifyVersionInfoW(&info, VER_MAJORVERSION | VER_MINORVERSION | VER_SERVICEPACKMAJOR,
                            mask) != FALSE;
}

bool WinSettingSystem::GetOsVersion(OsVersion& out) {
  // ntdll is mapped into every process: found without a search.
  HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
  if (ntdll == nullptr) return false;
  if (rtlGetVersion_ == nullptr) rtlGetVersion_ = GetProcAddress(ntdll, "RtlGetVersion");
  bool ok = false;
  if (rtlGetVersion_ != nullptr) {
    using RtlGetVersionFunction = LONG(WINAPI*)(OSVERSIONINFOEXW*);
    OSVERSIONINFOEXW info = {};
    info.dwOSVersionInfoSize = sizeof info;  // 284: the extended record
    auto rtlGetVersion = reinterpret_cast<RtlGetVersionFunction>(reinterpret_cast<void*>(rtlGetVersion_));
    if (rtlGetVersion(&info) == 0) {
      out.major = info.dwMajorVersion;
      out.minor = info.dwMinorVersion;
      out.build = info.dwBuildNumber;
      ok = true;
    }
  }
  return ok;
}

std::size_t WinSettingSystem::ModulePath(char16_t* out, std::size_t capacity) {
  if (capacity == 0) return 0;
  const DWORD n = GetModuleFileNameW(nullptr, W(out), Capacity(capacity));
  out[capacity - 1] = 0;
  return n;
}

bool WinSettingSystem::CloseWindowOf(const char16_t* className, const char16_t* title) {
  // Every window of that class and title, the ones of other sessions' or
  // programs' copies included; gathered first, as a closed window can no
  // longer be the start of the next search.
  constexpr int kMostWindows = 256;
  HWND windows[kMostWindows];
  int count = 0;
  HWND window = nullptr;
  while (count < kMostWindows &&
         (window = FindWindowExW(nullptr, window, W(className), W(title))) != nullptr)
    windows[count++] = window;
  // A window that does not answer (hung, or another program's that ignores
  // WM_CLOSE) costs at most the timeout, never the elevated program's life.
  constexpr UINT kCloseTimeoutMs = 3000;
  for (int i = 0; i < count; ++i) {
    DWORD_PTR result = 0;
    SendMessageTimeoutW(windows[i], WM_CLOSE, 0, 0, SMTO_NORMAL | SMTO_ABORTIFHUNG,
                        kCloseTimeoutMs, &result);
  }
  return count > 0;
}

}  // namespace orvane
