// The one rule both programs use to decide that a record's user is the
// logged-on user.
#include <gtest/gtest.h>

#include <string>

#include "store/record_owner.h"
#include "tests/fakes/checker_fakes.h"

namespace orvane {
namespace {

struct OwnerCase {
  const char* name;
  std::u16string logonName;
  bool netUserWorks;
  std::u16string principal;  // with netUserWorks: the account's principal name
  bool logonNameFails;
  std::u16string recordUser;
  bool expected;
};

TEST(RecordOwner, LogonNameOrMicrosoftAccountPrincipal) {
  const OwnerCase cases[] = {
      {"LocalAccountByName", u"alice", false, u"", false, u"alice", true},
      {"LocalAccountOtherName", u"alice", false, u"", false, u"bob", false},
      {"LocalAccountNameCaseDiffers", u"alice", false, u"", false, u"Alice", false},
      {"MicrosoftAccountByPrincipal", u"alice", true, u"alice@example.com", false,
       u"alice@example.com", true},
      {"MicrosoftAccountByLogonName", u"alice", true, u"alice@example.com", false, u"alice",
       true},
      {"AnotherAccountsPrincipal", u"alice", true, u"alice@example.com", false,
       u"bob@example.com", false},
      {"PrincipalDiffersOnlyInCase", u"alice", true, u"alice@example.com", false,
       u"Alice@Example.com", false},
      {"NetUserGetInfoFailsPrincipalDoesNotCount", u"alice", false, u"alice@example.com", false,
       u"alice@example.com", false},
      {"NetUserGetInfoFailsLogonNameCounts", u"alice", false, u"alice@example.com", false,
       u"alice", true},
      {"EmptyPrincipalMatchesNoEmptyUser", u"alice", true, u"", false, u"", false},
      {"NoLogonNameNobodyOwns", u"alice", true, u"alice@example.com", true,
       u"alice@example.com", false},
  };
  for (const OwnerCase& c : cases) {
    FakeSystem system;
    system.user = c.logonName;
    system.fail = c.logonNameFails;
    system.SetMicrosoftAccount(c.principal, u"MicrosoftAccount");
    system.netUserWorks = c.netUserWorks;
    EXPECT_EQ(IsLoggedOnUser(system, c.recordUser.c_str()), c.expected) << c.name;
    if (!c.logonNameFails && c.recordUser != c.logonName) {
      // The principal is looked up for the logon name on this computer.
      ASSERT_EQ(system.netUserCalls.size(), 1u) << c.name;
      EXPECT_EQ(system.netUserCalls[0].first, u"") << c.name;
      EXPECT_EQ(system.netUserCalls[0].second, c.logonName) << c.name;
    }
  }
}

}  // namespace
}  // namespace orvane
