#include "store/record_owner.h"

#include "store/text.h"

namespace orvane {

bool IsLoggedOnUser(SystemPort& system, const char16_t* recordUser) {
  if (recordUser == nullptr) recordUser = u"";
  char16_t logon[kTextSize] = {};
  if (!system.UserName(logon, kTextSize)) return false;
  logon[kTextSize - 1] = 0;
  if (SameText(logon, recordUser, kTextSize)) return true;

  InternetAccount account;
  if (!system.InternetAccountOf(nullptr, logon, account)) return false;
  account.principal[kTextSize - 1] = 0;
  // An empty principal names no account: it must not match an empty record user.
  return account.hasPrincipal && account.principal[0] != 0 &&
         SameText(account.principal, recordUser, kTextSize);
}

}  // namespace orvane
