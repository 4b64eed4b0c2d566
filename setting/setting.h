// OrvaneSetting's process-wide state, the ports it reaches the outside
// through, and the small routines every dialog of the program shares.
// Portable: the Win32 program and the tests build the same logic.
#ifndef ORVANE_SETTING_SETTING_H
#define ORVANE_SETTING_SETTING_H

#include <cstddef>
#include <cstdint>

#include "card/card_access.h"
#include "platform/dialog_port.h"
#include "platform/event_log_port.h"
#include "platform/file_port.h"
#include "platform/registry_port.h"
#include "platform/setting_system_port.h"
#include "platform/system_port.h"
#include "platform/ui_port.h"
#include "setting/registry_watch.h"
#include "store/login_record.h"
#include "store/text.h"

namespace orvane {

// Output mode, wave file and wait flag of the recognition sound.
struct SoundSettings {
  int32_t flag = 0;
  char16_t file[kTextSize] = {};
  int32_t sync = 0;
};

// A removal type (ExitWindowsEx flags, -1 for none), a check interval and
// the lock flag. Locking is stored as a plain log off (type 0) with "lock" =
// 1, so that a checker that knows nothing of "lock" still ends the session.
// The flag is what "lock" holds, whatever the type beside it: only with
// type 0 does it make the action a lock (IsLockAction).
struct RemovalSettings {
  int32_t type = -1;
  int32_t interval = 5;
  bool lock = false;
};

struct SettingPorts {
  RegistryPort& registry;
  SystemPort& account;  // GetUserNameW
  SettingSystemPort& system;
  MessageBoxPort& messages;
  StringsPort& strings;
  HelpPort& help;
  SoundPort& sound;
  FilePort& files;
  ClockPort& clock;
  RandomPort& random;
  DialogRunner& dialogs;
  EventLogPort& events;  // the audit trail; best effort, nothing comes back
};

// Everything the program keeps for its lifetime, in one place.
struct SettingState {
  SettingState(SmartCardPort& smartCard, FelicaPort& felica)
      : card(Flavour::Setting, smartCard, felica) {}

  CardAccess card;                          // identity, card kind, readers, library
  bool reading = false;                     // timer 1 polls
  char16_t currentUser[kTextSize] = {};     // logon name or Microsoft-account principal
  SoundSettings sound;                      // what PlayRecognitionSound plays
  RemovalSettings stored;                   // what the shown card's record holds
  RemovalSettings choice;                   // what the removal controls say
  bool recordOwner = false;                 // the shown record names the current user
  char16_t rememberedDescription[kTextSize] = {};
};

struct SettingProgram {
  SettingProgram(const SettingPorts& p, SmartCardPort& smartCard, FelicaPort& felica)
      : watch(p.registry), ports(Watched(p, watch)), state(smartCard, felica) {}
  SettingProgram(const SettingProgram&) = delete;
  SettingProgram& operator=(const SettingProgram&) = delete;
  // Every registry call of the program passes through it: a failure message
  // is logged with the value that failed.
  RegistryWatch watch;
  SettingPorts ports;
  SettingState state;

 private:
  static SettingPorts Watched(const SettingPorts& p, RegistryPort& registry) {
    return SettingPorts{registry, p.account, p.system, p.messages, p.strings, p.help,
                        p.sound,  p.files,   p.clock,  p.random,   p.dialogs, p.events};
  }
};

// What a check or a writer leads to: the message the command then shows
// (string id and box style), or none. Checks and writers decide; only the
// command that called them shows, once.
struct Message {
  int id = 0;  // 0: nothing to show
  uint32_t style = 0;
  bool Any() const { return id != 0; }
};

// String table entry id into out (260 units); empty when missing.
void LoadText(SettingProgram& program, int id, char16_t (&out)[kTextSize]);
// The message box of the program: caption IDS_CAPTION, text a string id, no owner.
int ShowMessage(SettingProgram& program, int textId, uint32_t style);
// The outcome's message, if it has one.
void ShowMessage(SettingProgram& program, const Message& message);
// The same with a text already made and an owner dialog (null for none).
int ShowMessageText(SettingProgram& program, DialogView* owner, const char16_t* text,
                    uint32_t style);
// String id formatted with the reader label as its %s.
void FormatReaderText(SettingProgram& program, int id, char16_t (&out)[kTextSize]);
// The program's folder and name into out (cut at the module path's last
// backslash); false, with out empty, when it does not fit in capacity.
bool PathBesideProgram(SettingProgram& program, const char16_t* name, char16_t* out,
                       std::size_t capacity);
// F1: the help file beside the program, at one context.
void ShowHelp(SettingProgram& program, uint32_t context);

}  // namespace orvane

#endif
