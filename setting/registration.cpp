#include "setting/registration.h"

namespace orvane {

void LookUpRecord(SettingProgram& program, DialogView& view) {}

void RegisterCommand(SettingProgram& program, DialogView& view) {}

}  // namespace orvane
