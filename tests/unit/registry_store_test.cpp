// The typed store over the registry port: what each read makes of values of
// every size and type, and the exact bytes each write leaves in the
// registry (a contract with the logon component).
#include "store/registry_store.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "store/removal_type.h"
#include "store/shared_names.h"
#include "tests/fakes/fake_registry.h"
#include "tests/unit/record_test_support.h"

namespace orvane {
namespace {

using Bytes = std::vector<unsigned char>;

constexpr char16_t kKey[] = u"SOFTWARE\\Test";
constexpr uint32_t kFallback = 0xA5A5A5A5u;

// One key, opened for what the case does; every handle closed at the end.
class StoreTest : public ::testing::Test {
 protected:
  void TearDown() override { EXPECT_EQ(registry.OpenHandleCount(), 0u); }
  void Put(uint32_t type, const Bytes& bytes) { registry.SetRaw(kKey, u"v", type, bytes); }
  Bytes Stored(uint32_t* type = nullptr) {
    FakeRegistry::Value value;
    EXPECT_TRUE(registry.GetValue(kKey, u"v", &value));
    if (type) *type = value.type;
    return value.bytes;
  }
  FakeRegistry registry;
};

struct NumberCase {
  const char* what;
  bool present;
  uint32_t type;
  Bytes bytes;
  bool dword;          // ReadDwordValue / QueryDwordValue take it
  uint32_t number;     // what the exact read gives when it takes it
  uint32_t shortRead;  // what ReadShortNumberValue gives
};

TEST_F(StoreTest, NumbersCountOnlyTheSizesTheirReadersTake) {
  const NumberCase cases[] = {
      {"absent", false, regtype::kDword, {}, false, 0, kFallback},
      {"0 bytes", true, regtype::kDword, {}, false, 0, 0},
      {"1 byte", true, regtype::kDword, {0x02}, false, 0, 2},
      {"2 bytes", true, regtype::kDword, {0x34, 0x12}, false, 0, 0x1234},
      {"3 bytes", true, regtype::kDword, {0x56, 0x34, 0x12}, false, 0, 0x123456},
      {"4 bytes, low byte first", true, regtype::kDword, {0x78, 0x56, 0x34, 0x12}, true,
       0x12345678, 0x12345678},
      {"4 bytes of another type", true, regtype::kBinary, {1, 0, 0, 0}, true, 1, 1},
      {"4 bytes as text", true, regtype::kSz, {0xFF, 0xFF, 0xFF, 0xFF}, true, 0xFFFFFFFF,
       0xFFFFFFFF},
      {"5 bytes", true, regtype::kDword, {1, 0, 0, 0, 0}, false, 0, kFallback},
      {"8 bytes", true, regtype::kQword, {1, 2, 3, 4, 5, 6, 7, 8}, false, 0, kFallback},
  };
  for (const NumberCase& c : cases) {
    SCOPED_TRACE(c.what);
    registry.DeleteKey(RegRoot::LocalMachine, kKey);
    registry.AddKey(kKey);
    if (c.present) Put(c.type, c.bytes);
    RegKey key(registry);
    ASSERT_EQ(key.Open(RegRoot::LocalMachine, kKey, RegAccess::QueryValue), RegResult::Ok);
    EXPECT_EQ(ReadDwordValue(registry, key.handle(), u"v", kFallback),
              c.dword ? c.number : kFallback);
    uint32_t value = kFallback;
    EXPECT_EQ(QueryDwordValue(registry, key.handle(), u"v", &value), c.dword);
    EXPECT_EQ(value, c.dword ? c.number : kFallback);  // untouched when not taken
    EXPECT_EQ(ReadShortNumberValue(registry, key.handle(), u"v", kFallback), c.shortRead);
  }
}

TEST_F(StoreTest, DwordWriteIsFourBytesLowByteFirst) {
  RegKey key(registry);
  ASSERT_EQ(key.Create(RegRoot::LocalMachine, kKey), RegResult::Ok);
  for (uint32_t v : {0u, 1u, 0x12345678u, 0xFFFFFFFFu}) {
    ASSERT_EQ(WriteDwordValue(registry, key.handle(), u"v", v), RegResult::Ok);
    uint32_t type = 0;
    const Bytes bytes = Stored(&type);
    EXPECT_EQ(type, regtype::kDword);
    EXPECT_EQ(bytes, (Bytes{static_cast<unsigned char>(v), static_cast<unsigned char>(v >> 8),
                            static_cast<unsigned char>(v >> 16),
                            static_cast<unsigned char>(v >> 24)}));
  }
}

struct TextCase {
  const char* what;
  Bytes bytes;  // as stored, any terminator included
  bool read;
  std::u16string text;
};

// Written out here, not by the code under test.
Bytes Units(const std::u16string& text) { return recordtest::Utf16Bytes(text); }

Bytes Concat(Bytes a, const Bytes& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

// A buffer of 8 units (7 and a terminator), guarded on both sides: a read
// must neither stop short of what fits nor write past it.
TEST_F(StoreTest, TextReadTakesAnyTerminatorAndStaysInItsBuffer) {
  const std::u16string seven = u"abcdefg";
  const TextCase cases[] = {
      {"no terminator", Units(u"abc"), true, u"abc"},
      {"with its terminator", Units(std::u16string(u"abc") + u'\0'), true, u"abc"},
      {"ends at the first zero", Concat(Units(u"ab"), Bytes{0, 0, 'z', 0}), true, u"ab"},
      {"an odd last byte is no unit", Concat(Units(u"abc"), Bytes{'d'}), true, u"abc"},
      {"empty", {}, true, u""},
      {"only a terminator", {0, 0}, true, u""},
      {"non-ASCII units, low byte first", Bytes{0xC7, 0x30, 0xBC, 0x30}, true, u"\u30c7\u30bc"},
      {"7 units, no terminator", Units(seven), true, seven},
      {"7 units and a terminator fill the buffer's bytes", Units(seven + u'\0'), true, seven},
      {"8 units leave no room for the terminator", Units(seven + u"h"), false, u""},
      {"more bytes than the buffer", Units(seven + u"hi"), false, u""},
  };
  for (const TextCase& c : cases) {
    SCOPED_TRACE(c.what);
    Put(regtype::kSz, c.bytes);
    RegKey key(registry);
    ASSERT_EQ(key.Open(RegRoot::LocalMachine, kKey, RegAccess::QueryValue), RegResult::Ok);
    char16_t buffer[10];
    for (char16_t& u : buffer) u = u'#';
    std::size_t length = 99;
    EXPECT_EQ(ReadTextValue(registry, key.handle(), u"v", buffer + 1, 8, &length), c.read);
    EXPECT_EQ(std::u16string(buffer + 1), c.text);
    EXPECT_EQ(length, c.text.size());
    EXPECT_EQ(buffer[0], u'#');
    EXPECT_EQ(buffer[9], u'#');
  }
}

TEST_F(StoreTest, TextReadOfAMissingValueIsEmpty) {
  registry.AddKey(kKey);
  RegKey key(registry);
  ASSERT_EQ(key.Open(RegRoot::LocalMachine, kKey, RegAccess::QueryValue), RegResult::Ok);
  char16_t out[4] = {u'x', u'x', u'x', u'x'};
  EXPECT_FALSE(ReadTextValue(registry, key.handle(), u"v", out, 4));
  EXPECT_EQ(out[0], 0);
}

TEST_F(StoreTest, TextUnitsAreEveryWholeUnitStored) {
  Put(regtype::kSz, Concat(Units(std::u16string(u"a\0b", 3)), Bytes{'c'}));
  RegKey key(registry);
  ASSERT_EQ(key.Open(RegRoot::LocalMachine, kKey, RegAccess::QueryValue), RegResult::Ok);
  char16_t units[4] = {};
  std::size_t count = 0;
  ASSERT_TRUE(ReadTextUnits(registry, key.handle(), u"v", units, 4, &count));
  EXPECT_EQ(std::u16string(units, count), std::u16string(u"a\0b", 3));
  EXPECT_FALSE(ReadTextUnits(registry, key.handle(), u"v", units, 2, &count));  // 7 bytes > 4
  EXPECT_EQ(count, 0u);
}

// The two text writes differ only in the terminator; their byte images are
// what the logon component and Windows read.
TEST_F(StoreTest, TextWritesStoreExactlyTheTextOrTheTextAndItsTerminator) {
  const std::u16string longest(kMaxStoredText, u'w');
  RegKey key(registry);
  ASSERT_EQ(key.Create(RegRoot::LocalMachine, kKey), RegResult::Ok);
  for (const std::u16string& text :
       {std::u16string(), std::u16string(u"ab"), std::u16string(u"\"C:\\Program Files\\x.exe\""),
        std::u16string(u"\u30c7"), longest}) {
    SCOPED_TRACE(std::string(text.begin(), text.end()).substr(0, 30));
    uint32_t type = 0;
    ASSERT_EQ(WriteExactTextValue(registry, key.handle(), u"v", text.c_str(), text.size()),
              RegResult::Ok);
    EXPECT_EQ(Stored(&type), Units(text));
    EXPECT_EQ(type, regtype::kSz);
    ASSERT_EQ(WriteTerminatedTextValue(registry, key.handle(), u"v", text.c_str()), RegResult::Ok);
    EXPECT_EQ(Stored(&type), Units(text + u'\0'));
    EXPECT_EQ(type, regtype::kSz);
  }
  // Only length units are taken, whatever follows them.
  ASSERT_EQ(WriteExactTextValue(registry, key.handle(), u"v", u"abc", 2), RegResult::Ok);
  EXPECT_EQ(Stored(), Units(u"ab"));
  // Too long: refused, and the value stays as it was.
  const std::u16string over(kMaxStoredText + 1, u'o');
  EXPECT_EQ(WriteExactTextValue(registry, key.handle(), u"v", over.c_str(), over.size()),
            RegResult::Failed);
  EXPECT_EQ(WriteTerminatedTextValue(registry, key.handle(), u"v", over.c_str()),
            RegResult::Failed);
  EXPECT_EQ(Stored(), Units(u"ab"));
}

TEST_F(StoreTest, BinaryReadTakesOnlyWhatFitsTheCallersBuffer) {
  Put(regtype::kBinary, Bytes{1, 2, 3, 4, 5});
  RegKey key(registry);
  ASSERT_EQ(key.Open(RegRoot::LocalMachine, kKey, RegAccess::QueryValue), RegResult::Ok);
  unsigned char out[6] = {};
  uint32_t size = 0;
  ASSERT_TRUE(ReadBinaryValue(registry, key.handle(), u"v", out, 5, &size));
  EXPECT_EQ(Bytes(out, out + size), (Bytes{1, 2, 3, 4, 5}));
  unsigned char small[5] = {9, 9, 9, 9, 9};
  EXPECT_FALSE(ReadBinaryValue(registry, key.handle(), u"v", small, 4, &size));
  EXPECT_EQ(small[4], 9);
  uint32_t type = 0;
  ASSERT_EQ(QueryValueSize(registry, key.handle(), u"v", &type, &size), RegResult::Ok);
  EXPECT_EQ(type, regtype::kBinary);
  EXPECT_EQ(size, 5u);
}

TEST_F(StoreTest, RemovalValuesHaveTheirDefaultsUnlessFourBytesAreStored) {
  registry.AddKey(kKey);
  {
    RegKey key(registry);
    ASSERT_EQ(key.Open(RegRoot::LocalMachine, kKey, RegAccess::QueryValue), RegResult::Ok);
    const RemovalValues none = ReadRemovalValues(registry, key.handle());
    EXPECT_EQ(none.type, kNoRemovalAction);
    EXPECT_EQ(none.lock, 0u);
    EXPECT_EQ(none.interval, kDefaultInterval);
    EXPECT_FALSE(none.intervalStored);
  }
  registry.SetDword(kKey, names::kType, 0x11);
  registry.SetDword(kKey, names::kLock, 7);
  registry.SetRaw(kKey, names::kInterval, regtype::kDword, {30, 0});  // 2 bytes: not taken
  {
    RegKey key(registry);
    ASSERT_EQ(key.Open(RegRoot::LocalMachine, kKey, RegAccess::QueryValue), RegResult::Ok);
    const RemovalValues short_ = ReadRemovalValues(registry, key.handle());
    EXPECT_EQ(short_.type, 0x11u);
    EXPECT_EQ(short_.lock, 7u);
    EXPECT_EQ(short_.interval, kDefaultInterval);
    EXPECT_FALSE(short_.intervalStored);
  }
  registry.SetDword(kKey, names::kInterval, 0);
  RegKey key(registry);
  ASSERT_EQ(key.Open(RegRoot::LocalMachine, kKey, RegAccess::QueryValue), RegResult::Ok);
  const RemovalValues zero = ReadRemovalValues(registry, key.handle());
  EXPECT_EQ(zero.interval, 0u);
  EXPECT_TRUE(zero.intervalStored);
}

TEST_F(StoreTest, LockIsOneOrNoValueAtAll) {
  RegKey key(registry);
  ASSERT_EQ(key.Create(RegRoot::LocalMachine, kKey), RegResult::Ok);
  EXPECT_TRUE(WriteLockValue(registry, key.handle(), false));  // nothing there: already so
  EXPECT_TRUE(registry.ValueNames(RegRoot::LocalMachine, kKey).empty());
  ASSERT_TRUE(WriteLockValue(registry, key.handle(), true));
  FakeRegistry::Value value;
  ASSERT_TRUE(registry.GetValue(kKey, names::kLock, &value));
  EXPECT_EQ(value.type, regtype::kDword);
  EXPECT_EQ(value.bytes, (Bytes{1, 0, 0, 0}));
  ASSERT_TRUE(WriteLockValue(registry, key.handle(), false));
  EXPECT_FALSE(registry.GetValue(kKey, names::kLock, &value));
}

TEST(SoundKey, WrittenAsTheLogonComponentReadsItAndReadBack) {
  FakeRegistry registry;
  const std::u16string file = u"C:\\Windows\\Media\\chimes.wav";
  ASSERT_TRUE(WriteSoundValues(registry, 2, file.c_str(), 1));
  FakeRegistry::Value flag, stored, sync;
  ASSERT_TRUE(registry.GetValue(names::kSoundKey, names::kSoundFlag, &flag));
  ASSERT_TRUE(registry.GetValue(names::kSoundKey, names::kSoundFile, &stored));
  ASSERT_TRUE(registry.GetValue(names::kSoundKey, names::kSoundSync, &sync));
  EXPECT_EQ(flag.bytes, (Bytes{2, 0, 0, 0}));
  EXPECT_EQ(flag.type, regtype::kDword);
  EXPECT_EQ(stored.bytes, Units(file));  // no terminator
  EXPECT_EQ(stored.type, regtype::kSz);
  EXPECT_EQ(sync.bytes, (Bytes{1, 0, 0, 0}));
  SoundValues values;
  ASSERT_TRUE(ReadSoundValues(registry, values));
  EXPECT_EQ(values.flag, 2u);
  EXPECT_EQ(std::u16string(values.file), file);
  EXPECT_EQ(values.sync, 1u);
  EXPECT_EQ(registry.OpenHandleCount(), 0u);

  // A file over 259 units is cut to them; short numbers are their bytes.
  const std::u16string longFile(kTextSize + 5, u'f');
  ASSERT_TRUE(WriteSoundValues(registry, 1, longFile.c_str(), 0));
  ASSERT_TRUE(registry.GetValue(names::kSoundKey, names::kSoundFile, &stored));
  EXPECT_EQ(stored.bytes.size(), 2u * (kTextSize - 1));
  registry.SetRaw(names::kSoundKey, names::kSoundFlag, regtype::kBinary, {2});
  registry.SetString(names::kSoundKey, names::kSoundFile, std::u16string(kTextSize, u'g'));
  ASSERT_TRUE(ReadSoundValues(registry, values));
  EXPECT_EQ(values.flag, 2u);
  EXPECT_EQ(values.file[0], 0);  // 260 units: too long for the field

  FakeRegistry empty;
  EXPECT_FALSE(ReadSoundValues(empty, values));
  EXPECT_EQ(values.flag, 0u);
}

TEST(RecordPaths, AreTheRecordsKeyAndTheRecordKeyInHex) {
  const struct {
    uint32_t value;
    const char16_t* path;
  } cases[] = {
      {0, u"SOFTWARE\\Brindle\\Orvane\\0"},
      {0x6605431, u"SOFTWARE\\Brindle\\Orvane\\6605431"},
      {0xFFFFFFFF, u"SOFTWARE\\Brindle\\Orvane\\ffffffff"},
  };
  for (const auto& c : cases) {
    char16_t path[kRecordPathSize];
    FormatRecordPath(c.value, path);
    EXPECT_EQ(std::u16string(path), c.path);
  }
  CardIdentity identity{};
  for (int i = 0; i < kIdentitySize; ++i) identity[i] = static_cast<unsigned char>(0x10 + i);
  CardIdentity permuted{};
  char16_t expected[kRecordPathSize];
  FormatRecordPath(RecordKeyValue(identity, permuted), expected);
  char16_t path[kRecordPathSize];
  EXPECT_EQ(FormatCardRecordPath(identity, path), RecordKeyValue(identity, permuted));
  EXPECT_EQ(std::u16string(path), expected);
}

TEST(RecordPaths, OfAnyEnumeratedSubKeyNameThatFits) {
  char16_t path[kSubKeyPathSize];
  const std::u16string longest(kTextSize - 1, u'k');
  ASSERT_TRUE(FormatSubKeyPath(longest.c_str(), path));
  EXPECT_EQ(std::u16string(path), std::u16string(names::kOrvaneKey) + u"\\" + longest);
  const std::u16string over(kTextSize, u'k');
  EXPECT_FALSE(FormatSubKeyPath(over.c_str(), path));
  EXPECT_EQ(path[0], 0);
}

TEST(RecordPaths, TheSoundKeyIsKnownInAnyCase) {
  const struct {
    std::u16string name;
    bool sound;
  } cases[] = {{u"sound", true},  {u"SOUND", true},  {u"Sound", true},
               {u"sounds", false}, {u"soun", false}, {u"", false},
               {std::u16string(u"sound\0", 6), false}, {u"s\u00f6und", false}};
  for (const auto& c : cases)
    EXPECT_EQ(IsSoundKeyName(c.name.data(), c.name.size()), c.sound)
        << std::string(c.name.begin(), c.name.end());
}

TEST(RemovalType, NamedBitsAndWords) {
  const struct {
    uint32_t type;
    bool written;
    const char16_t* audit;
    const char* tool;
  } cases[] = {
      {0x00, true, u"log off", "log off"},      {0x10, true, u"log off", "log off"},
      {0x01, true, u"shut down", "shut down"},  {0x11, true, u"shut down", "shut down"},
      {0x02, true, u"restart", "reboot"},       {0x12, true, u"restart", "reboot"},
      {0x03, false, nullptr, nullptr},          {0x04, false, nullptr, nullptr},
      {kNoRemovalAction, true, nullptr, nullptr},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.type);
    EXPECT_EQ(IsWrittenRemovalType(c.type), c.written);
    const RemovalActionWords* words = WordsForRemoval(c.type);
    ASSERT_EQ(words != nullptr, c.audit != nullptr);
    if (!words) continue;
    EXPECT_EQ(std::u16string(words->audit), c.audit);
    EXPECT_EQ(std::string(words->tool), c.tool);
    EXPECT_EQ(IsForcedRemoval(c.type), (c.type & 0x10) != 0);
  }
  // "lock" counts only as exactly 1 beside a plain, unforced log off.
  EXPECT_TRUE(IsLockRecord(0, 1));
  EXPECT_FALSE(IsLockRecord(0, 2));
  EXPECT_FALSE(IsLockRecord(0, 0));
  EXPECT_FALSE(IsLockRecord(0x10, 1));
  EXPECT_FALSE(IsLockRecord(1, 1));
  EXPECT_FALSE(IsLockRecord(kNoRemovalAction, 1));
}

TEST(Text, LengthCopyAndEqualityStayInTheirBuffers) {
  EXPECT_EQ(BoundedLength(nullptr, 5), 0u);
  EXPECT_EQ(BoundedLength(u"abc", 5), 3u);
  EXPECT_EQ(BoundedLength(u"abcdefg", 5), 5u);
  const std::u16string full(kTextSize + 3, u'x');
  EXPECT_EQ(BoundedLength(full.c_str()), static_cast<std::size_t>(kTextSize));

  char16_t out[4] = {u'#', u'#', u'#', u'#'};
  EXPECT_EQ(BoundedCopy(out, 3, u"abcdef"), 2u);
  EXPECT_EQ(std::u16string(out), u"ab");
  EXPECT_EQ(out[3], u'#');
  EXPECT_EQ(BoundedCopy(out, 3, nullptr), 0u);
  EXPECT_EQ(out[0], 0);
  EXPECT_EQ(BoundedCopy(out, 0, u"abc"), 0u);  // nothing written, not even a terminator
  EXPECT_EQ(out[3], u'#');

  EXPECT_TRUE(SameText(u"abc", u"abc", 8));
  EXPECT_FALSE(SameText(u"abc", u"abd", 8));
  EXPECT_FALSE(SameText(u"abc", u"ab", 8));
  EXPECT_FALSE(SameText(u"abc", u"ABC", 8));
  EXPECT_TRUE(SameText(u"abcX", u"abcY", 3));  // equal as far as the buffer goes
  EXPECT_TRUE(SameText(nullptr, u"", 8));
  EXPECT_FALSE(SameText(nullptr, u"a", 8));
}

}  // namespace
}  // namespace orvane
