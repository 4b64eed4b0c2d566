// The recognition sound: the sound key, its dialog (IDD_SOUND), and the
// sound played when a poll reads a card.
//
// The sound key, HKEY_LOCAL_MACHINE\SOFTWARE\Brindle\Orvane\sound (32-bit
// view), is shared with the logon component: "flag" REG_DWORD (0 never,
// 1 at card recognition, 2 at user recognition), "file" REG_SZ holding only
// the characters of the wave file's path (2 bytes each, no terminator, an
// empty path as 0 bytes), "sync" REG_DWORD (1 = logon waits for the sound).
#ifndef ORVANE_SETTING_SOUND_H
#define ORVANE_SETTING_SOUND_H

#include <cstdint>

#include "setting/setting.h"

namespace orvane {

// The file dialog's flags: OFN_FILEMUSTEXIST | OFN_NOCHANGEDIR | OFN_HIDEREADONLY.
constexpr uint32_t kBrowseFlags = 0x100C;

// The sound key into settings (defaults where nothing can be read); false
// when the key cannot be opened.
bool ReadSoundSettings(SettingProgram& program, SoundSettings& settings);
// Writes "flag", "file" and "sync" in that order, stopping at the first
// failure, and audits it; leads to IDS_SOUND_WRITTEN or IDS_SOUND_WRITE_FAILED.
Message WriteSoundSettings(SettingProgram& program, int32_t mode, const char16_t* file,
                           int32_t wait);
// Plays the process-wide choice, asynchronously.
void PlayRecognitionSound(SettingProgram& program);
// Opens the sound dialog and returns when it is closed.
void RunSoundDialog(SettingProgram& program);

// File field, browse button and wait box on for modes 1 and 2 only.
void UpdateSoundControls(DialogView& view, int index);
// The text after the last '.', empty when a '\', '/' or ':' comes first
// (scanning back to the second character), else the whole text. Points into path.
const char16_t* FileExtension(const char16_t* path);
// An allowed path (asked first, so that a path that is refused is never
// probed) naming an existing file, not a folder.
bool SoundFileExists(SettingProgram& program, const char16_t* path);

class SoundDialog : public DialogLogic {
 public:
  explicit SoundDialog(SettingProgram& program);

  bool OnInit(DialogView& view) override;
  bool OnCommand(DialogView& view, int id, int code) override;
  void OnDropFile(DialogView& view, const char16_t* path) override;
  void OnDestroy(DialogView& view) override;
  void OnHelpKey() override;

 private:
  void Save(DialogView& view);
  void Browse(DialogView& view);
  // A chosen or dropped path into the field, the controls then following
  // the selected mode; IDS_SOUND_FILE_MISSING when the path is not allowed.
  Message TakeFile(DialogView& view, const char16_t* path);

  SettingProgram& program_;
  SoundSettings shown_;  // the dialog's own copy, read at start
};

}  // namespace orvane

#endif
