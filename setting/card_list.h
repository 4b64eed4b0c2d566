// The registered-card list (template 129) and deletion of a record.
#ifndef ORVANE_SETTING_CARD_LIST_H
#define ORVANE_SETTING_CARD_LIST_H

#include "setting/setting.h"

namespace orvane {

// Opens the list dialog and returns when it is closed.
void RunCardListDialog(SettingProgram& program);

}  // namespace orvane

#endif
