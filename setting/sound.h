// The recognition sound: the sound key, its dialog (template 158), and the
// sound played when a poll reads a card.
#ifndef ORVANE_SETTING_SOUND_H
#define ORVANE_SETTING_SOUND_H

#include "setting/setting.h"

namespace orvane {

// The sound key into settings (defaults where nothing can be read); false
// when the key cannot be opened.
bool ReadSoundSettings(SettingProgram& program, SoundSettings& settings);
// Plays the process-wide choice, asynchronously.
void PlayRecognitionSound(SettingProgram& program);
// Opens the sound dialog and returns when it is closed.
void RunSoundDialog(SettingProgram& program);

}  // namespace orvane

#endif
