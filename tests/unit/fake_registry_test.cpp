// The fake registry must behave like the Win32 registry where the core can
// tell the difference, or tests against it would prove nothing.
#include "tests/fakes/fake_registry.h"

#include <gtest/gtest.h>

#include <vector>

namespace orvane {
namespace {

using Bytes = std::vector<unsigned char>;

TEST(FakeRegistryTest, CreateKeyMakesParentsAndNamesAreCaseInsensitive) {
  FakeRegistry reg;
  RegKeyHandle key = 0;
  ASSERT_EQ(reg.CreateKey(RegRoot::LocalMachine, u"SOFTWARE\\Brindle\\Orvane\\1a2b3", &key),
            RegResult::Ok);
  const unsigned char byte = 7;
  ASSERT_EQ(reg.SetValue(key, u"Data", regtype::kBinary, &byte, 1), RegResult::Ok);
  reg.CloseKey(key);

  EXPECT_TRUE(reg.KeyExists(u"software\\brindle"));
  EXPECT_FALSE(reg.KeyExists(RegRoot::CurrentUser, u"SOFTWARE\\Brindle"));
  ASSERT_EQ(reg.OpenKey(RegRoot::LocalMachine, u"software\\BRINDLE\\orvane\\1A2B3",
                        RegAccess::QueryValue, &key),
            RegResult::Ok);
  unsigned char out = 0;
  uint32_t size = 1, type = 0;
  EXPECT_EQ(reg.QueryValue(key, u"DATA", &type, &out, &size), RegResult::Ok);
  EXPECT_EQ(out, 7);
  EXPECT_EQ(type, regtype::kBinary);
  reg.CloseKey(key);
  // The name keeps the spelling of its first creation.
  EXPECT_EQ(reg.ValueNames(RegRoot::LocalMachine, u"SOFTWARE\\Brindle\\Orvane\\1a2b3"),
            std::vector<std::u16string>{u"Data"});
  EXPECT_EQ(reg.OpenHandleCount(), 0u);
  EXPECT_EQ(reg.BadCloseCount(), 0u);
}

TEST(FakeRegistryTest, OpenMissingKeyIsNotFoundAndBadPathsFail) {
  FakeRegistry reg;
  RegKeyHandle key = 0;
  EXPECT_EQ(reg.OpenKey(RegRoot::LocalMachine, u"SOFTWARE\\Nothing", RegAccess::QueryValue, &key),
            RegResult::NotFound);
  EXPECT_EQ(reg.CreateKey(RegRoot::LocalMachine, u"SOFTWARE\\\\Twice", &key), RegResult::Failed);
  EXPECT_EQ(reg.CreateKey(RegRoot::LocalMachine, u"\\Leading", &key), RegResult::Failed);
  std::u16string tooLong(256, u'k');
  EXPECT_EQ(reg.CreateKey(RegRoot::LocalMachine, tooLong.c_str(), &key), RegResult::Failed);
  EXPECT_EQ(reg.OpenHandleCount(), 0u);
  EXPECT_FALSE(reg.KeyExists(u"SOFTWARE"));
}

// RegQueryValueExW: size in and out, MoreData with the needed size and the
// buffer untouched, a null buffer asks for the size.
TEST(FakeRegistryTest, QueryValueFollowsWin32SizeRules) {
  FakeRegistry reg;
  reg.SetBinary(u"K", u"v", Bytes{1, 2, 3, 4, 5});
  RegKeyHandle key = 0;
  ASSERT_EQ(reg.OpenKey(RegRoot::LocalMachine, u"K", RegAccess::QueryValue, &key), RegResult::Ok);

  uint32_t size = 0, type = 0;
  EXPECT_EQ(reg.QueryValue(key, u"v", &type, nullptr, &size), RegResult::Ok);
  EXPECT_EQ(size, 5u);
  EXPECT_EQ(type, regtype::kBinary);

  unsigned char buffer[8] = {0xEE, 0xEE, 0xEE, 0xEE, 0xEE, 0xEE, 0xEE, 0xEE};
  size = 4;
  EXPECT_EQ(reg.QueryValue(key, u"v", nullptr, buffer, &size), RegResult::MoreData);
  EXPECT_EQ(size, 5u);
  for (unsigned char b : buffer) EXPECT_EQ(b, 0xEE);

  size = sizeof buffer;
  EXPECT_EQ(reg.QueryValue(key, u"v", nullptr, buffer, &size), RegResult::Ok);
  EXPECT_EQ(size, 5u);
  EXPECT_EQ(buffer[4], 5);
  EXPECT_EQ(buffer[5], 0xEE);

  EXPECT_EQ(reg.QueryValue(key, u"absent", nullptr, buffer, &size), RegResult::NotFound);
  EXPECT_EQ(reg.QueryValue(key, u"v", nullptr, buffer, nullptr), RegResult::Failed);
  reg.CloseKey(key);
}

// Text values are stored exactly as written: two bytes per character and no
// terminator when the writer gives none.
TEST(FakeRegistryTest, StringValuesKeepTheirExactBytes) {
  FakeRegistry reg;
  reg.SetString(u"K", u"comment", u"ab\u3042");
  FakeRegistry::Value value;
  ASSERT_TRUE(reg.GetValue(u"K", u"comment", &value));
  EXPECT_EQ(value.type, regtype::kSz);
  EXPECT_EQ(value.bytes, (Bytes{'a', 0, 'b', 0, 0x42, 0x30}));
  std::u16string text;
  ASSERT_TRUE(reg.GetString(u"K", u"comment", &text));
  EXPECT_EQ(text, u"ab\u3042");

  // A DWORD written with the wrong size stays that size.
  RegKeyHandle key = 0;
  ASSERT_EQ(reg.CreateKey(RegRoot::LocalMachine, u"K", &key), RegResult::Ok);
  const unsigned char two[2] = {1, 2};
  ASSERT_EQ(reg.SetValue(key, u"type", regtype::kDword, two, 2), RegResult::Ok);
  reg.CloseKey(key);
  uint32_t dword = 0;
  EXPECT_FALSE(reg.GetDword(u"K", u"type", &dword));
  ASSERT_TRUE(reg.GetValue(u"K", u"type", &value));
  EXPECT_EQ(value.bytes.size(), 2u);
}

TEST(FakeRegistryTest, AccessRightsAreCheckedPerHandle) {
  FakeRegistry reg;
  reg.SetDword(u"K", u"interval", 5);
  reg.AddKey(u"K\\Sub");
  RegKeyHandle query = 0, write = 0, enumerate = 0;
  ASSERT_EQ(reg.OpenKey(RegRoot::LocalMachine, u"K", RegAccess::QueryValue, &query),
            RegResult::Ok);
  ASSERT_EQ(reg.OpenKey(RegRoot::LocalMachine, u"K", RegAccess::Write, &write), RegResult::Ok);
  ASSERT_EQ(reg.OpenKey(RegRoot::LocalMachine, u"K", RegAccess::Enumerate, &enumerate),
            RegResult::Ok);
  EXPECT_EQ(reg.OpenHandleCount(), 3u);

  const unsigned char byte = 1;
  uint32_t size = 4;
  unsigned char buffer[4];
  char16_t name[16];
  uint32_t length = 16;
  EXPECT_EQ(reg.SetValue(query, u"x", regtype::kBinary, &byte, 1), RegResult::AccessDenied);
  EXPECT_EQ(reg.DeleteValue(query, u"interval"), RegResult::AccessDenied);
  EXPECT_EQ(reg.EnumKey(query, 0, name, &length), RegResult::AccessDenied);
  EXPECT_EQ(reg.QueryValue(write, u"interval", nullptr, buffer, &size), RegResult::AccessDenied);
  EXPECT_EQ(reg.EnumKey(enumerate, 0, name, &length), RegResult::Ok);
  EXPECT_EQ(reg.DeleteValue(write, u"interval"), RegResult::Ok);
  EXPECT_FALSE(reg.GetValue(u"K", u"interval", nullptr));

  reg.CloseKey(query);
  reg.CloseKey(write);
  EXPECT_EQ(reg.OpenHandleCount(), 1u);
  reg.CloseKey(enumerate);
  reg.CloseKey(enumerate);
  EXPECT_EQ(reg.OpenHandleCount(), 0u);
  EXPECT_EQ(reg.BadCloseCount(), 1u);
}

TEST(FakeRegistryTest, EnumKeyListsSubKeysInOrderAndChecksTheBuffer) {
  FakeRegistry reg;
  reg.AddKey(u"P\\b2");
  reg.AddKey(u"P\\A1");
  reg.AddKey(u"P\\sound");
  reg.AddKey(u"P\\b2\\deeper");
  RegKeyHandle key = 0;
  ASSERT_EQ(reg.OpenKey(RegRoot::LocalMachine, u"P", RegAccess::Enumerate, &key), RegResult::Ok);
  std::vector<std::u16string> names;
  char16_t name[8];
  for (uint32_t i = 0;; ++i) {
    uint32_t length = 8;
    RegResult r = reg.EnumKey(key, i, name, &length);
    if (r == RegResult::NotFound) break;
    ASSERT_EQ(r, RegResult::Ok);
    EXPECT_EQ(name[length], 0);
    names.emplace_back(name, length);
  }
  EXPECT_EQ(names, (std::vector<std::u16string>{u"A1", u"b2", u"sound"}));
  uint32_t small = 5;  // "sound" needs 6 with its terminator
  EXPECT_EQ(reg.EnumKey(key, 2, name, &small), RegResult::MoreData);
  reg.CloseKey(key);
}

TEST(FakeRegistryTest, DeleteKeyRefusesKeysWithSubKeysAndInvalidatesHandles) {
  FakeRegistry reg;
  reg.AddKey(u"P\\rec\\child");
  EXPECT_EQ(reg.DeleteKey(RegRoot::LocalMachine, u"P\\rec"), RegResult::AccessDenied);
  EXPECT_TRUE(reg.KeyExists(u"P\\rec\\child"));
  EXPECT_EQ(reg.DeleteKey(RegRoot::LocalMachine, u"P\\nothing"), RegResult::NotFound);
  EXPECT_EQ(reg.DeleteKey(RegRoot::LocalMachine, u""), RegResult::Failed);

  RegKeyHandle key = 0;
  ASSERT_EQ(reg.OpenKey(RegRoot::LocalMachine, u"P\\REC\\Child", RegAccess::QueryValue, &key),
            RegResult::Ok);
  EXPECT_EQ(reg.DeleteKey(RegRoot::LocalMachine, u"P\\rec\\child"), RegResult::Ok);
  EXPECT_FALSE(reg.KeyExists(u"P\\rec\\child"));
  uint32_t size = 0;
  EXPECT_EQ(reg.QueryValue(key, u"x", nullptr, nullptr, &size), RegResult::Failed);
  reg.CloseKey(key);
  EXPECT_EQ(reg.BadCloseCount(), 0u);
  EXPECT_EQ(reg.DeleteKey(RegRoot::LocalMachine, u"P\\rec"), RegResult::Ok);
}

TEST(FakeRegistryTest, InjectedFailuresChangeNothing) {
  FakeRegistry reg;
  reg.FailCreateKey(RegRoot::LocalMachine, u"a\\B");
  RegKeyHandle key = 0;
  EXPECT_EQ(reg.CreateKey(RegRoot::LocalMachine, u"A\\b", &key), RegResult::AccessDenied);
  EXPECT_FALSE(reg.KeyExists(u"A"));
  EXPECT_EQ(reg.OpenHandleCount(), 0u);

  reg.FailSetValue(u"comment");
  ASSERT_EQ(reg.CreateKey(RegRoot::LocalMachine, u"C", &key), RegResult::Ok);
  const unsigned char byte = 1;
  EXPECT_EQ(reg.SetValue(key, u"Comment", regtype::kSz, &byte, 1), RegResult::Failed);
  EXPECT_EQ(reg.SetValue(key, u"data", regtype::kBinary, &byte, 1), RegResult::Ok);
  reg.CloseKey(key);
  EXPECT_FALSE(reg.GetValue(u"C", u"comment", nullptr));

  reg.FailQueryValue(u"data", RegResult::MoreData);
  reg.FailOpenKey(RegRoot::CurrentUser, u"C");
  reg.FailDeleteKey(RegRoot::LocalMachine, u"C");
  EXPECT_EQ(reg.OpenKey(RegRoot::CurrentUser, u"C", RegAccess::QueryValue, &key),
            RegResult::AccessDenied);
  EXPECT_EQ(reg.DeleteKey(RegRoot::LocalMachine, u"C"), RegResult::AccessDenied);
  ASSERT_EQ(reg.OpenKey(RegRoot::LocalMachine, u"C", RegAccess::QueryValue, &key), RegResult::Ok);
  uint32_t size = 1;
  unsigned char out = 0;
  EXPECT_EQ(reg.QueryValue(key, u"data", nullptr, &out, &size), RegResult::MoreData);
  reg.CloseKey(key);

  reg.ClearFailures();
  EXPECT_EQ(reg.DeleteKey(RegRoot::LocalMachine, u"C"), RegResult::Ok);
  ASSERT_EQ(reg.OpenCalls().size(), 4u);
  EXPECT_TRUE(reg.OpenCalls()[0].create);
  EXPECT_EQ(reg.OpenCalls()[0].result, RegResult::AccessDenied);
  EXPECT_EQ(reg.OpenCalls()[3].access, RegAccess::QueryValue);
}

// RegDeleteValueW: a missing value is ERROR_FILE_NOT_FOUND; an injected
// failure keeps the value. The value-call log keeps the order and outcomes.
TEST(FakeRegistryTest, DeleteValueFailuresAndTheValueCallLog) {
  FakeRegistry reg;
  reg.SetDword(RegRoot::CurrentUser, u"Run", u"Checker", 1);
  RegKeyHandle key = 0;
  ASSERT_EQ(reg.CreateKey(RegRoot::CurrentUser, u"Run", &key), RegResult::Ok);
  EXPECT_EQ(reg.DeleteValue(key, u"absent"), RegResult::NotFound);
  reg.FailDeleteValue(u"checker");
  EXPECT_EQ(reg.DeleteValue(key, u"CHECKER"), RegResult::AccessDenied);
  EXPECT_TRUE(reg.GetValue(RegRoot::CurrentUser, u"Run", u"Checker", nullptr));
  reg.FailSetValue(u"x");
  const unsigned char byte = 1;
  EXPECT_EQ(reg.SetValue(key, u"x", regtype::kBinary, &byte, 1), RegResult::Failed);
  reg.ClearFailures();
  EXPECT_EQ(reg.DeleteValue(key, u"Checker"), RegResult::Ok);
  EXPECT_FALSE(reg.GetValue(RegRoot::CurrentUser, u"Run", u"Checker", nullptr));
  reg.CloseKey(key);
  // A handle without write access never reaches a value.
  ASSERT_EQ(reg.OpenKey(RegRoot::CurrentUser, u"Run", RegAccess::QueryValue, &key),
            RegResult::Ok);
  EXPECT_EQ(reg.DeleteValue(key, u"x"), RegResult::AccessDenied);
  reg.CloseKey(key);

  const auto& calls = reg.ValueCalls();
  ASSERT_EQ(calls.size(), 4u);
  EXPECT_FALSE(calls[0].set);
  EXPECT_EQ(calls[0].name, u"absent");
  EXPECT_EQ(calls[0].result, RegResult::NotFound);
  EXPECT_EQ(calls[1].result, RegResult::AccessDenied);
  EXPECT_TRUE(calls[2].set);
  EXPECT_EQ(calls[2].result, RegResult::Failed);
  EXPECT_EQ(calls[3].name, u"Checker");
  EXPECT_EQ(calls[3].result, RegResult::Ok);
}

}  // namespace
}  // namespace orvane
