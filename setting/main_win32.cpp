// OrvaneSetting's Win32 entry: the single-instance mutex, the ports on
// Win32, and the main dialog's loop. Decisions are made in the dialogs'
// logic (main_dialog.cpp and the others).
#include <windows.h>

#include <commctrl.h>

#include "platform/std/std_clock_random.h"
#include "platform/win32/win_dialog_host.h"
#include "platform/win32/win_event_log.h"
#include "platform/win32/win_felica.h"
#include "platform/win32/win_registry.h"
#include "platform/win32/win_system.h"
#include "platform/win32/win_ui.h"
#include "platform/win32/winscard_smartcard.h"
#include "setting/main_dialog.h"
#include "setting/resource.h"
#include "store/shared_names.h"

namespace orvane {
namespace {

// Process-wide, as the program's state lives as long as the process;
// namespace-scope objects rather than function-local statics, which would
// drag the thread-safe guard machinery into the program.
WinRegistry g_registry;
WinSystem g_account;
WinSettingSystem g_system;
WinMessageBoxes g_messages;
WinHtmlHelp g_help;
WinSound g_sound;
WinFiles g_files;
StdClock g_clock;
StdRandom g_random;
WinScardSmartCard g_smartCard;
WinFelica g_felica;
WinEventLog g_events;

int RunSetting(HINSTANCE instance) {
  HANDLE mutex = CreateMutexW(nullptr, TRUE, reinterpret_cast<const wchar_t*>(names::kSettingMutex));
  // Another copy runs (or the mutex cannot be had): end silently.
  if (mutex == nullptr || GetLastError() != 0) {
    if (mutex != nullptr) CloseHandle(mutex);
    return 0;
  }
  INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_LISTVIEW_CLASSES | ICC_STANDARD_CLASSES};
  InitCommonControlsEx(&controls);

  WinStrings strings(instance);
  WinDialogRunner dialogs(instance, IDI_ORVANE_BIG, IDI_ORVANE_SMALL);
  SettingProgram program(SettingPorts{g_registry, g_account, g_system, g_messages, strings, g_help,
                                      g_sound, g_files, g_clock, g_random, dialogs, g_events},
                         g_smartCard, g_felica);
  MainDialog mainDialog(program);
  dialogs.Run(IDD_MAIN, mainDialog);
  CloseHandle(mutex);
  return 0;
}

}  // namespace
}  // namespace orvane

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
  // Before anything else loads a DLL: System32 only, never the current
  // directory or PATH.
  orvane::RestrictDllSearchToSystem32();
  return orvane::RunSetting(instance);
}
