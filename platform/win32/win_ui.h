// The settings program's user-interface ports on Win32: message boxes, the
// string table, HTML Help, sound, files, and the system facts it asks for.
#ifndef ORVANE_PLATFORM_WIN32_WIN_UI_H
#define ORVANE_PLATFORM_WIN32_WIN_UI_H

#include <windows.h>

#include "platform/file_port.h"
#include "platform/setting_system_port.h"
#include "platform/ui_port.h"

namespace orvane {

class WinMessageBoxes : public MessageBoxPort {
 public:
  int Show(DialogView* owner, const char16_t* text, const char16_t* caption,
           uint32_t style) override;
};

class WinStrings : public StringsPort {
 public:
  explicit WinStrings(HINSTANCE instance) : instance_(instance) {}
  bool Load(int id, char16_t* out, int capacity) override;

 private:
  HINSTANCE instance_;
};

class WinHtmlHelp : public HelpPort {
 public:
  void ShowContext(const char16_t* file, uint32_t context) override;

 private:
  using HtmlHelpFunction = HWND(WINAPI*)(HWND, LPCWSTR, UINT, DWORD_PTR);
  bool tried_ = false;
  HtmlHelpFunction htmlHelp_ = nullptr;
};

class WinSound : public SoundPort {
 public:
  void PlayAsync(const char16_t* file) override;

 private:
  using PlayFunction = BOOL(WINAPI*)(LPCWSTR, UINT);
  bool tried_ = false;
  PlayFunction play_ = nullptr;
};

class WinFiles : public FilePort {
 public:
  bool FileExists(const char16_t* path) override;
  bool ChooseOpenFile(DialogView& owner, const char16_t* filter, std::size_t filterLength,
                      const char16_t* title, uint32_t flags, char16_t* out,
                      std::size_t capacity) override;
};

class WinSettingSystem : public SettingSystemPort {
 public:
  bool ComputerName(char16_t* out, std::size_t capacity) override;
  bool IsWindows8OrLater() override;
  bool GetOsVersion(OsVersion& out) override;
  std::size_t ModulePath(char16_t* out, std::size_t capacity) override;
  bool CloseWindowOf(const char16_t* className, const char16_t* title) override;

 private:
  FARPROC rtlGetVersion_ = nullptr;  // looked up once
};

}  // namespace orvane

#endif
