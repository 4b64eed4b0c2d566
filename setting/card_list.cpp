#include "setting/card_list.h"

namespace orvane {

void RunCardListDialog(SettingProgram& program) {}

}  // namespace orvane
