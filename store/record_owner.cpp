#include "store/record_owner.h"

namespace orvane {

namespace {

constexpr int kNameSize = 260;

bool SameName(const char16_t* a, const char16_t* b) {
  for (int i = 0; i < kNameSize; ++i) {
    if (a[i] != b[i]) return false;
    if (a[i] == 0) return true;
  }
  return true;
}

}  // namespace

bool IsLoggedOnUser(SystemPort& system, const char16_t* recordUser) {
  if (recordUser == nullptr) recordUser = u"";
  char16_t logon[kNameSize] = {};
  if (!system.UserName(logon, kNameSize)) return false;
  logon[kNameSize - 1] = 0;
  if (SameName(logon, recordUser)) return true;

  InternetAccount account;
  if (!system.InternetAccountOf(nullptr, logon, account)) return false;
  account.principal[kNameSize - 1] = 0;
  // An empty principal names no account: it must not match an empty record user.
  return account.hasPrincipal && account.principal[0] != 0 &&
         SameName(account.principal, recordUser);
}

}  // namespace orvane
