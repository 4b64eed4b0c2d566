#include "setting/sound.h"

namespace orvane {

bool ReadSoundSettings(SettingProgram& program, SoundSettings& settings) {
  settings = SoundSettings{};
  return false;
}

void PlayRecognitionSound(SettingProgram& program) {}

void RunSoundDialog(SettingProgram& program) {}

}  // namespace orvane
