// Whose is a login record: the one rule by which both programs decide that a
// record's user name is the logged-on user's, so that the settings program
// never sets a removal action the checker would then refuse to carry out.
#ifndef ORVANE_STORE_RECORD_OWNER_H
#define ORVANE_STORE_RECORD_OWNER_H

#include "platform/system_port.h"

namespace orvane {

// True when recordUser equals, code unit for code unit, the logon name
// (GetUserNameW) or that account's Microsoft-account principal name
// (NetUserGetInfo level 24). When the logon name cannot be read nobody is
// the owner; when NetUserGetInfo fails only the logon name counts. Texts are
// compared within 260 code units.
bool IsLoggedOnUser(SystemPort& system, const char16_t* recordUser);

}  // namespace orvane

#endif
