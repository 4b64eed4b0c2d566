// Names that OrvaneSetting, OrvaneChecker and the logon component all use:
// registry paths and value names, the checker's window, the settings
// program's mutex. Each text exists once, as a narrow macro that resource
// scripts can use, and as a UTF-16 constant for the code.
#ifndef ORVANE_STORE_SHARED_NAMES_H
#define ORVANE_STORE_SHARED_NAMES_H

#define ORVANE_KEY_PATH_TEXT "SOFTWARE\\Brindle\\Orvane"
#define ORVANE_SOUND_KEY_PATH_TEXT "SOFTWARE\\Brindle\\Orvane\\sound"
#define ORVANE_RUN_KEY_PATH_TEXT "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run"
#define ORVANE_RUN_VALUE_TEXT "OrvaneChecker"
#define ORVANE_CHECKER_EXE_TEXT "OrvaneChecker.exe"
#define ORVANE_CHECKER_CLASS_TEXT "$$ORVANECHECKER$$"
#define ORVANE_CHECKER_TITLE_TEXT "OrvaneChecker"
#define ORVANE_SETTING_MUTEX_TEXT "$$ORVANE$SETTING$$"
#define ORVANE_HELP_FILE_TEXT "Orvane.chm"

#ifndef RC_INVOKED
namespace orvane {
namespace names {

// Under HKEY_LOCAL_MACHINE (the 32-bit view on 64-bit Windows).
constexpr char16_t kOrvaneKey[] = u"" ORVANE_KEY_PATH_TEXT;
constexpr char16_t kSoundKey[] = u"" ORVANE_SOUND_KEY_PATH_TEXT;
// Values of a login record.
constexpr char16_t kData[] = u"data";
constexpr char16_t kComment[] = u"comment";
constexpr char16_t kType[] = u"type";
constexpr char16_t kInterval[] = u"interval";
// REG_DWORD 1 beside "type" 0: lock the workstation instead of logging off.
constexpr char16_t kLock[] = u"lock";
// Values of the sound key.
constexpr char16_t kSoundFlag[] = u"flag";
constexpr char16_t kSoundFile[] = u"file";
constexpr char16_t kSoundSync[] = u"sync";
// The checker's autostart, under HKEY_CURRENT_USER.
constexpr char16_t kRunKey[] = u"" ORVANE_RUN_KEY_PATH_TEXT;
constexpr char16_t kRunValue[] = u"" ORVANE_RUN_VALUE_TEXT;
constexpr char16_t kCheckerExe[] = u"" ORVANE_CHECKER_EXE_TEXT;
// The checker's hidden window, found and closed by the settings program.
constexpr char16_t kCheckerClass[] = u"" ORVANE_CHECKER_CLASS_TEXT;
constexpr char16_t kCheckerTitle[] = u"" ORVANE_CHECKER_TITLE_TEXT;
constexpr char16_t kSettingMutex[] = u"" ORVANE_SETTING_MUTEX_TEXT;
constexpr char16_t kHelpFile[] = u"" ORVANE_HELP_FILE_TEXT;

}  // namespace names
}  // namespace orvane
#endif

#endif
