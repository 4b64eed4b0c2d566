#include "store/removal_type.h"

namespace orvane {

const RemovalActionWords* WordsForRemoval(uint32_t type) {
  static const RemovalActionWords kWords[] = {
      {u"log off", "log off"},
      {u"shut down", "shut down"},
      {u"restart", "reboot"},
  };
  const uint32_t action = RemovalAction(type);
  return action <= removal::kReboot ? &kWords[action] : nullptr;
}

}  // namespace orvane
