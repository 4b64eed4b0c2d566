// orvane-card's records and doctor on the in-memory registry, files and
// readers: the record flags, the output form scripts read, and each doctor
// check's verdict.
#include "tools/admin_commands.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "card/identity.h"
#include "platform/utf.h"
#include "tests/fakes/fake_registry.h"
#include "tests/fakes/setting_fakes.h"
#include "tests/unit/card_test_support.h"
#include "tools/cli_common.h"

namespace orvane {
namespace {

using ::testing::HasSubstr;
using ::testing::Not;
using namespace cardtest;

const std::u16string kRoot = u"SOFTWARE\\Brindle\\Orvane";
const std::u16string kRun = u"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run";

std::vector<unsigned char> Data(std::size_t n) { return std::vector<unsigned char>(n, 0x5A); }

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

// The block of one record: its lines after "record NAME", up to the blank line.
std::vector<std::string> Block(const std::string& out, const std::string& name) {
  std::vector<std::string> block;
  bool inside = false;
  for (const std::string& line : Lines(out)) {
    if (line == "record " + name) { inside = true; continue; }
    if (inside && line.empty()) break;
    if (inside) block.push_back(line);
  }
  return block;
}

void GoodRecord(FakeRegistry& reg, const std::u16string& key) {
  reg.SetBinary(kRoot + u"\\" + key, u"data", Data(48));
  reg.SetString(kRoot + u"\\" + key, u"comment", u"2026/01/02 03:04:05 社員証");
}

TEST(RecordsCommand, ExactOutputOfOneGoodRecordAndTheSoundKeySkipped) {
  FakeRegistry reg;
  GoodRecord(reg, u"2a5c0e1f");
  reg.SetDword(kRoot + u"\\2a5c0e1f", u"type", 0x10);
  reg.SetDword(kRoot + u"\\2a5c0e1f", u"interval", 7);
  reg.SetDword(kRoot + u"\\sound", u"flag", 1);
  std::string out;
  EXPECT_EQ(ListRecords(reg, out), kAdminOk);
  EXPECT_EQ(out,
            "key: HKEY_LOCAL_MACHINE\\SOFTWARE\\Brindle\\Orvane\n"
            "\n"
            "record 2a5c0e1f\n"
            "    time: 2026/01/02 03:04:05\n"
            "    description: 社員証\n"
            "    removal: log off, forced\n"
            "    interval: 7 s\n"
            "    data: 48 bytes REG_BINARY\n"
            "    flags: none\n"
            "\n"
            "records: 1 flagged: 0\n");
  EXPECT_EQ(reg.OpenHandleCount(), 0u);
}

struct RecordCase {
  const char* name;
  void (*arrange)(FakeRegistry& reg, const std::u16string& path);
  std::vector<std::string> expectedLines;  // each must be in the block
};

const RecordCase kRecordCases[] = {
    {"DataOneByteShort", [](FakeRegistry& r, const std::u16string& p) {
       r.SetBinary(p, u"data", Data(47));
       r.SetString(p, u"comment", u"2026/01/02 03:04:05 x");
     }, {"    data: 47 bytes REG_BINARY", "    flags: data-length"}},
    {"DataOneBlock", [](FakeRegistry& r, const std::u16string& p) {
       r.SetBinary(p, u"data", Data(16));
       r.SetString(p, u"comment", u"2026/01/02 03:04:05 x");
     }, {"    flags: data-length"}},
    {"DataLongerThanAnyReaderTakes", [](FakeRegistry& r, const std::u16string& p) {
       r.SetBinary(p, u"data", Data(272));
       r.SetString(p, u"comment", u"2026/01/02 03:04:05 x");
     }, {"    data: 272 bytes REG_BINARY", "    flags: data-length"}},
    {"LongestData", [](FakeRegistry& r, const std::u16string& p) {
       r.SetBinary(p, u"data", Data(256));
       r.SetString(p, u"comment", u"2026/01/02 03:04:05 x");
     }, {"    flags: none"}},
    {"DataMissing", [](FakeRegistry& r, const std::u16string& p) {
       r.SetString(p, u"comment", u"2026/01/02 03:04:05 x");
     }, {"    data: missing", "    flags: no-data"}},
    {"DataAsText", [](FakeRegistry& r, const std::u16string& p) {
       r.SetRaw(p, u"data", regtype::kSz, Data(32));
       r.SetString(p, u"comment", u"2026/01/02 03:04:05 x");
     }, {"    data: 32 bytes REG_SZ", "    flags: none"}},
    {"CommentMissing", [](FakeRegistry& r, const std::u16string& p) {
       r.SetBinary(p, u"data", Data(32));
     }, {"    time: -", "    description: -", "    flags: no-comment"}},
    {"CommentLongerThanTheReaders", [](FakeRegistry& r, const std::u16string& p) {
       r.SetBinary(p, u"data", Data(32));
       r.SetString(p, u"comment", std::u16string(300, u'x'));
     }, {"    description: -", "    flags: comment-length"}},
    {"BothMissing", [](FakeRegistry& r, const std::u16string& p) { r.AddKey(p); },
     {"    flags: no-data no-comment"}},
    {"RemovalActions", [](FakeRegistry& r, const std::u16string& p) {
       GoodRecord(r, p.substr(p.rfind(u'\\') + 1));
       r.SetDword(p, u"type", 2);
     }, {"    removal: reboot", "    interval: 5 s (default)"}},
    {"UnknownAction", [](FakeRegistry& r, const std::u16string& p) {
       GoodRecord(r, p.substr(p.rfind(u'\\') + 1));
       r.SetDword(p, u"type", 7);
     }, {"    removal: unknown (type 0x00000007)", "    flags: none"}},
    {"Lock", [](FakeRegistry& r, const std::u16string& p) {
       GoodRecord(r, p.substr(p.rfind(u'\\') + 1));
       r.SetDword(p, u"type", 0);
       r.SetDword(p, u"lock", 1);
     }, {"    removal: lock", "    flags: none"}},
    {"LockBesideAnotherTypeIsNoLock", [](FakeRegistry& r, const std::u16string& p) {
       GoodRecord(r, p.substr(p.rfind(u'\\') + 1));
       r.SetDword(p, u"type", 0x10);
       r.SetDword(p, u"lock", 1);
     }, {"    removal: log off, forced"}},
    {"LockOtherThanOneIsNoLock", [](FakeRegistry& r, const std::u16string& p) {
       GoodRecord(r, p.substr(p.rfind(u'\\') + 1));
       r.SetDword(p, u"type", 0);
       r.SetDword(p, u"lock", 2);
     }, {"    removal: log off"}},
    {"TypeNotFourBytes", [](FakeRegistry& r, const std::u16string& p) {
       GoodRecord(r, p.substr(p.rfind(u'\\') + 1));
       r.SetRaw(p, u"type", regtype::kDword, {1, 0});
     }, {"    removal: none"}},
};

void PrintTo(const RecordCase& c, std::ostream* os) { *os << c.name; }

class RecordFlags : public ::testing::TestWithParam<RecordCase> {};

TEST_P(RecordFlags, BlockSaysWhatTheRecordHolds) {
  FakeRegistry reg;
  GoodRecord(reg, u"11");  // a good neighbour stays unflagged
  GetParam().arrange(reg, kRoot + u"\\2a5c0e1f");
  std::string out;
  const int status = ListRecords(reg, out);
  const std::vector<std::string> block = Block(out, "2a5c0e1f");
  for (const std::string& line : GetParam().expectedLines) EXPECT_THAT(block, ::testing::Contains(line)) << out;
  EXPECT_THAT(Block(out, "11"), ::testing::Contains("    flags: none"));
  const bool flagged = !::testing::Matches(::testing::Contains("    flags: none"))(block);
  EXPECT_EQ(status, flagged ? kAdminWarnings : kAdminOk);
  EXPECT_THAT(out, HasSubstr(std::string("records: 2 flagged: ") + (flagged ? "1" : "0")));
}

INSTANTIATE_TEST_SUITE_P(Records, RecordFlags, ::testing::ValuesIn(kRecordCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(RecordsCommand, KeyNamesNoCardCanHave) {
  FakeRegistry reg;
  for (const char16_t* name : {u"00ab", u"AB", u"0", u"1ffffffff", u"ab cd"}) GoodRecord(reg, name);
  std::string out;
  EXPECT_EQ(ListRecords(reg, out), kAdminWarnings);
  for (const char* name : {"00ab", "AB", "0", "1ffffffff", "ab cd"})
    EXPECT_THAT(Block(out, name), ::testing::Contains("    flags: key-name")) << name;
  EXPECT_THAT(out, HasSubstr("records: 5 flagged: 5"));
}

// Text from the registry is shown on one line, whatever it holds.
struct ShownCase {
  const char* name;
  std::u16string text;
  std::string shown;
};

const ShownCase kShownCases[] = {
    {"ForgedRecordLine", u"x\r\nrecord 1234", "x\\r\\nrecord 1234"},
    {"ForgedFlagsLine", u"a\n    flags: none", "a\\n    flags: none"},
    {"Tab", u"a\tb", "a\\tb"},
    {"OtherC0", u"\x01\x1b[2J\x1f", "\\x01\\x1B[2J\\x1F"},
    {"DelAndC1", u"a\x7f\x85\x9f", "a\\x7F\\x85\\x9F"},
    {"LineAndParagraphSeparators", u"a\u2028b\u2029", "a\\u2028b\\u2029"},
    {"BidiOverrideAndIsolate", u"\u202Eabc\u2066", "\\u202Eabc\\u2066"},
    {"PlainTextAsItIs", u"社員証 é\u00a0\U0001F511", "社員証 é\u00a0\U0001F511"},
    {"BackslashAsItIs", u"C:\\x\\n", "C:\\x\\n"},
    {"UnpairedSurrogate", std::u16string(u"a") + char16_t(0xD800) + u"b", "a\xEF\xBF\xBD" "b"},
};

void PrintTo(const ShownCase& c, std::ostream* os) { *os << c.name; }

class RecordText : public ::testing::TestWithParam<ShownCase> {};

TEST_P(RecordText, DescriptionAndKeyNameStayOnTheirLine) {
  FakeRegistry reg;
  reg.SetBinary(kRoot + u"\\2a5c0e1f", u"data", Data(48));
  reg.SetString(kRoot + u"\\2a5c0e1f", u"comment", u"2026/01/02 03:04:05 " + GetParam().text);
  // A key name holds anything but a backslash.
  const bool keyCase = GetParam().text.find(u'\\') == std::u16string::npos;
  if (keyCase) GoodRecord(reg, u"k" + GetParam().text);
  std::string out;
  ListRecords(reg, out);
  EXPECT_THAT(Block(out, "2a5c0e1f"), ::testing::Contains("    description: " + GetParam().shown)) << out;
  if (keyCase) {
    EXPECT_THAT(Block(out, "k" + GetParam().shown), ::testing::Contains("    flags: key-name")) << out;
  }
  // Every line is one the command writes: no forged record or field.
  for (const std::string& line : Lines(out)) {
    if (line.rfind("record ", 0) == 0) {
      EXPECT_TRUE(line == "record 2a5c0e1f" || line == "record k" + GetParam().shown) << line;
    }
  }
  EXPECT_THAT(out, HasSubstr(keyCase ? "records: 2 flagged: 1" : "records: 1 flagged: 0"));
}

INSTANTIATE_TEST_SUITE_P(Records, RecordText, ::testing::ValuesIn(kShownCases),
                         [](const auto& info) { return std::string(info.param.name); });

// Counts the records key's enumeration, so that a test can tell when a line
// was written.
class CountingRegistry : public FakeRegistry {
 public:
  RegResult EnumKey(RegKeyHandle key, uint32_t index, char16_t* name, uint32_t* length) override {
    ++enumerations;
    return FakeRegistry::EnumKey(key, index, name, length);
  }
  int enumerations = 0;
};

// Each piece written, with the enumerations done before it.
struct TimedSink : TextSink {
  explicit TimedSink(const CountingRegistry& reg) : reg(reg) {}
  void Write(const std::string& text) override { pieces.push_back({reg.enumerations, text}); }
  // Enumerations done when the first piece holding text was written; -1 if none.
  int WrittenAfter(const std::string& text) const {
    for (const auto& piece : pieces)
      if (piece.second.find(text) != std::string::npos) return piece.first;
    return -1;
  }
  const CountingRegistry& reg;
  std::vector<std::pair<int, std::string>> pieces;
};

TEST(RecordsCommand, EachRecordIsWrittenBeforeTheNextIsRead) {
  CountingRegistry reg;
  for (const char16_t* key : {u"11", u"22", u"33"}) GoodRecord(reg, key);
  reg.SetDword(kRoot + u"\\22", u"interval", 0);
  TimedSink sink(reg);
  EXPECT_EQ(ListRecords(reg, sink), kAdminOk);
  EXPECT_EQ(sink.WrittenAfter("record 11\n"), 1);
  EXPECT_EQ(sink.WrittenAfter("record 22\n"), 2);
  EXPECT_EQ(sink.WrittenAfter("record 33\n"), 3);
  EXPECT_EQ(sink.WrittenAfter("records: 3 flagged: 0"), 4);  // after the last
}

TEST(RecordsCommand, NoRecordsKeyAndAnUnreadableKey) {
  FakeRegistry empty;
  std::string out;
  EXPECT_EQ(ListRecords(empty, out), kAdminOk);
  EXPECT_THAT(out, HasSubstr("records: 0 flagged: 0"));

  FakeRegistry reg;
  GoodRecord(reg, u"11");
  reg.FailOpenKey(RegRoot::LocalMachine, kRoot);
  out.clear();
  EXPECT_EQ(ListRecords(reg, out), kAdminFailures);
  EXPECT_THAT(out, HasSubstr("error: the records key cannot be read (access denied)"));
}

// --- doctor ---

struct DoctorRig {
  FakeRegistry reg;
  FakeFiles files;
  ScriptedSmartCard smartCard;
  FakeFelica felica;
  CardAccess cards{Flavour::Setting, smartCard, felica};
  bool reads32 = true;

  DoctorRig() { felica.loadSucceeds = false; }
  // A Mifare card on an ACS reader, and the record key it has.
  std::u16string PutCard() {
    smartCard.PutCard(kAcsName).atr = kMifareAtr;
    smartCard.PutCard(kAcsName).Answer(kCardTypeCommand, {0x01, 0x90, 0x00}).Answer(kIdCommand, Ok(kUid4));
    CardIdentity permuted{};
    char16_t key[kRecordKeyTextSize];
    FormatRecordKey(RecordKeyValue(Filled(kUid4), permuted), key);
    return key;
  }
  std::string Run(int& status) {
    DoctorEnvironment env{reg, cards, files, reads32};
    std::string out;
    status = RunDoctor(env, out);
    return out;
  }
};

TEST(Doctor, AllWellWithACardRegisteredTheCheckerAndASound) {
  DoctorRig rig;
  const std::u16string key = rig.PutCard();
  GoodRecord(rig.reg, key);
  rig.reg.SetDword(kRoot + u"\\" + key, u"type", 0);
  rig.reg.SetString(RegRoot::CurrentUser, kRun, u"OrvaneChecker", u"\"C:\\Program Files (x86)\\Orvane\\OrvaneChecker.exe\"");
  rig.files.files.insert(u"C:\\Program Files (x86)\\Orvane\\OrvaneChecker.exe");
  rig.reg.SetDword(kRoot + u"\\sound", u"flag", 1);
  rig.reg.SetString(kRoot + u"\\sound", u"file", u"C:\\beep.wav");
  rig.files.files.insert(u"C:\\beep.wav");
  int status = -1;
  const std::string out = rig.Run(status);
  EXPECT_EQ(status, kAdminWarnings) << out;  // the FeliCa library is missing
  const std::vector<std::string> lines = Lines(out);
  ASSERT_EQ(lines.size(), 8u) << out;
  EXPECT_EQ(lines[0], "OK   registry-view: this build reads the 32-bit registry view, as the programs do.");
  EXPECT_EQ(lines[1], "OK   pcsc: 1 PC/SC reader: " + Utf16ToUtf8(kAcsName) + ".");
  EXPECT_THAT(lines[2], HasSubstr("WARN felica: "));
  EXPECT_EQ(lines[3], "OK   card: card " + IdentityHex(Filled(kUid4)) + " has record " +
                          Utf16ToUtf8(key) + ", registered 2026/01/02 03:04:05.");
  EXPECT_EQ(lines[4], "OK   records: 1 record, none flagged.");
  EXPECT_EQ(lines[5], "OK   run-value: the checker starts at logon from C:\\Program Files (x86)\\Orvane\\OrvaneChecker.exe.");
  EXPECT_EQ(lines[6], "OK   sound: plays C:\\beep.wav when a card is recognised.");
  EXPECT_EQ(lines[7], "doctor: 6 OK, 1 WARN, 0 FAIL");
  EXPECT_EQ(rig.reg.OpenHandleCount(), 0u);
  EXPECT_EQ(rig.smartCard.OpenConnections(), 0);
}

TEST(Doctor, EachRecordIsCheckedBeforeTheNextIsRead) {
  DoctorRig rig;
  CountingRegistry reg;
  for (const char16_t* key : {u"11", u"22", u"33"}) GoodRecord(reg, key);
  reg.SetDword(kRoot + u"\\11", u"interval", 0);
  reg.SetDword(kRoot + u"\\33", u"type", 7);
  DoctorEnvironment env{reg, rig.cards, rig.files, true};
  TimedSink sink(reg);
  RunDoctor(env, sink);
  EXPECT_EQ(sink.WrittenAfter("WARN interval: record 11 "), 1);
  EXPECT_EQ(sink.WrittenAfter("WARN type: record 33 "), 3);
  EXPECT_EQ(sink.WrittenAfter("records: 3 records"), 4);
}

// The removal settings of each record, against what the settings program
// writes: a line for each value it never writes, none for one it does.
struct RemovalSettingCase {
  const char* name;
  uint32_t type;      // kNoRemovalAction unless set
  bool storeInterval;
  uint32_t interval;
  std::string line;   // the WARN line expected, or empty for none
};

const RemovalSettingCase kRemovalSettingCases[] = {
    {"LogOff", 0, true, 5, ""},
    {"ShutDownForced", 0x11, true, 1, ""},
    {"RebootForced", 0x12, true, 999999, ""},
    {"NoneWithoutInterval", kNoRemovalAction, false, 0, ""},
    {"TypeThree", 3, false, 0,
     "WARN type: record 11 has removal type 0x00000003, which the settings program never writes (log "
     "off 0, shut down 1, reboot 2, each optionally with 0x10, or 0xffffffff for none)."},
    {"ForcedTypeThree", 0x13, false, 0, "WARN type: record 11 has removal type 0x00000013"},
    {"OtherFlagBit", 0x20, false, 0, "WARN type: record 11 has removal type 0x00000020"},
    {"PowerOffBit", 0x8, false, 0, "WARN type: record 11 has removal type 0x00000008"},
    {"AllButNone", 0xFFFFFFFE, false, 0, "WARN type: record 11 has removal type 0xfffffffe"},
    {"IntervalZero", 0, true, 0,
     "WARN interval: record 11 has an interval of 0 s, outside the 1 to 999999 s the settings "
     "program writes: the checker takes no action for it."},
    {"IntervalSevenDigits", 1, true, 1000000,
     "WARN interval: record 11 has an interval of 1000000 s, outside the 1 to 999999 s the "
     "settings program writes."},
    {"IntervalWrapping", 1, true, 4294968, "WARN interval: record 11 has an interval of 4294968 s"},
    {"IntervalLargest", kNoRemovalAction, true, 0xFFFFFFFF,
     "WARN interval: record 11 has an interval of 4294967295 s"},
};

void PrintTo(const RemovalSettingCase& c, std::ostream* os) { *os << c.name; }

class DoctorRemovalSettings : public ::testing::TestWithParam<RemovalSettingCase> {};

TEST_P(DoctorRemovalSettings, FlagsWhatTheSettingsProgramNeverWrites) {
  const RemovalSettingCase& c = GetParam();
  DoctorRig rig;
  GoodRecord(rig.reg, u"11");
  GoodRecord(rig.reg, u"22");  // a good neighbour: no line
  if (c.type != kNoRemovalAction) rig.reg.SetDword(kRoot + u"\\11", u"type", c.type);
  if (c.storeInterval) rig.reg.SetDword(kRoot + u"\\11", u"interval", c.interval);
  int status = -1;
  const std::string out = rig.Run(status);
  std::vector<std::string> removalLines;
  for (const std::string& line : Lines(out))
    if (line.rfind("WARN type:", 0) == 0 || line.rfind("WARN interval:", 0) == 0) removalLines.push_back(line);
  if (c.line.empty()) {
    EXPECT_THAT(removalLines, ::testing::IsEmpty()) << out;
  } else {
    ASSERT_EQ(removalLines.size(), 1u) << out;
    EXPECT_EQ(removalLines[0].rfind(c.line, 0), 0u) << removalLines[0];
  }
}

INSTANTIATE_TEST_SUITE_P(Doctor, DoctorRemovalSettings, ::testing::ValuesIn(kRemovalSettingCases),
                         [](const auto& info) { return std::string(info.param.name); });

struct DoctorCase {
  const char* name;
  void (*arrange)(DoctorRig& rig);
  std::string expectedPrefix;  // a line starting so
  int status;
};

const DoctorCase kDoctorCases[] = {
    {"NoReaderAtAll", [](DoctorRig&) {}, "FAIL pcsc: no PC/SC reader and no FeliCa library", kAdminFailures},
    {"LibraryOnly", [](DoctorRig& r) {
       r.felica.loadSucceeds = true;
       r.felica.SetCard(kLibraryIdm, kLibraryPmm);
     }, "WARN pcsc: no PC/SC reader; cards can be read through the FeliCa library only.", kAdminWarnings},
    {"NoCardOnTheReader", [](DoctorRig& r) { r.smartCard.AddReader(kAcsName); },
     "WARN card: no card on the reader.", kAdminWarnings},
    {"CardWithoutRecord", [](DoctorRig& r) { r.PutCard(); },
     "WARN card: card " + IdentityHex(Filled(kUid4)) + " has no record", kAdminWarnings},
    {"CardWhoseDataCannotBeUsed", [](DoctorRig& r) {
       const std::u16string key = r.PutCard();
       r.reg.SetString(kRoot + u"\\" + key, u"comment", u"2026/01/02 03:04:05 x");
     }, "FAIL card: card " + IdentityHex(Filled(kUid4)) + " has record", kAdminFailures},
    {"RefusedCard", [](DoctorRig& r) {
       // The card type is asked of a PaSoRi only.
       r.smartCard.PutCard(kPasoriName).atr = kMifareAtr;
       r.smartCard.PutCard(kPasoriName).Answer(kCardTypeCommand, {0x02, 0x90, 0x00}).Answer(kIdCommand, Ok(kUid4));
     }, "WARN card: the card on the reader cannot be used (card kind 2).", kAdminWarnings},
    {"FlaggedRecord", [](DoctorRig& r) {
       r.smartCard.AddReader(kAcsName);
       r.reg.SetBinary(kRoot + u"\\11", u"data", Data(32));
     },
     "WARN records: 1 record, 1 flagged", kAdminWarnings},
    {"RunValuePointsNowhere", [](DoctorRig& r) {
       r.reg.SetString(RegRoot::CurrentUser, kRun, u"OrvaneChecker", u"C:\\gone\\OrvaneChecker.exe");
     }, "FAIL run-value: the Run value points to C:\\gone\\OrvaneChecker.exe, which does not exist", kAdminFailures},
    {"RunValueQuoted", [](DoctorRig& r) {
       r.reg.SetString(RegRoot::CurrentUser, kRun, u"OrvaneChecker", u"\"C:\\o\\OrvaneChecker.exe\"");
       r.files.files.insert(u"C:\\o\\OrvaneChecker.exe");
     }, "OK   run-value: the checker starts at logon from C:\\o\\OrvaneChecker.exe.", kAdminFailures},
    {"RunValueUnquotedWithASpace", [](DoctorRig& r) {
       r.reg.SetString(RegRoot::CurrentUser, kRun, u"OrvaneChecker", u"C:\\Program Files (x86)\\Orvane\\OrvaneChecker.exe");
       r.files.files.insert(u"C:\\Program Files (x86)\\Orvane\\OrvaneChecker.exe");
     }, "WARN run-value: the Run value C:\\Program Files (x86)\\Orvane\\OrvaneChecker.exe contains a "
        "space and is not in double quotes: a program at the path's first part (such as "
        "C:\\Program.exe) would start instead of the checker (CWE-428)", kAdminFailures},
    {"RunValueQuotedWithASpace", [](DoctorRig& r) {
       r.reg.SetString(RegRoot::CurrentUser, kRun, u"OrvaneChecker", u"\"C:\\Program Files\\OrvaneChecker.exe\"");
       r.files.files.insert(u"C:\\Program Files\\OrvaneChecker.exe");
     }, "OK   run-value: the checker starts at logon from C:\\Program Files\\OrvaneChecker.exe.", kAdminFailures},
    {"RunValueUnquotedWithoutSpace", [](DoctorRig& r) {
       r.reg.SetString(RegRoot::CurrentUser, kRun, u"OrvaneChecker", u"C:\\o\\OrvaneChecker.exe");
       r.files.files.insert(u"C:\\o\\OrvaneChecker.exe");
     }, "OK   run-value: the checker starts at logon from C:\\o\\OrvaneChecker.exe.", kAdminFailures},
    {"RunValueUnquotedWithASpaceGone", [](DoctorRig& r) {
       r.reg.SetString(RegRoot::CurrentUser, kRun, u"OrvaneChecker", u"C:\\Program Files\\OrvaneChecker.exe");
     }, "FAIL run-value: the Run value points to C:\\Program Files\\OrvaneChecker.exe, which does not exist", kAdminFailures},
    {"SoundFileNameForgingALine", [](DoctorRig& r) {
       r.reg.SetDword(kRoot + u"\\sound", u"flag", 1);
       r.reg.SetString(kRoot + u"\\sound", u"file", u"C:\\a.wav\r\nOK   card: fine");
       r.files.files.insert(u"C:\\a.wav\r\nOK   card: fine");
     }, "WARN sound: the sound file C:\\a.wav\\r\\nOK   card: fine is not a full path", kAdminFailures},
    {"RemovalActionWithoutRunValue", [](DoctorRig& r) {
       GoodRecord(r.reg, u"11");
       r.reg.SetDword(kRoot + u"\\11", u"type", 1);
     }, "WARN run-value: no \"OrvaneChecker\" Run value for this user, but a record has a removal action", kAdminFailures},
    {"NoRunValueNoAction", [](DoctorRig& r) { GoodRecord(r.reg, u"11"); },
     "OK   run-value: no \"OrvaneChecker\" Run value, and no record has a removal action.", kAdminFailures},
    {"SoundFileUnc", [](DoctorRig& r) {
       r.reg.SetDword(kRoot + u"\\sound", u"flag", 1);
       r.reg.SetString(kRoot + u"\\sound", u"file", u"\\\\server\\share\\a.wav");
       r.files.files.insert(u"\\\\server\\share\\a.wav");
     }, "WARN sound: the sound file \\\\server\\share\\a.wav is not a full path on a local drive", kAdminFailures},
    {"SoundFilePattern", [](DoctorRig& r) {
       r.reg.SetDword(kRoot + u"\\sound", u"flag", 1);
       r.reg.SetString(kRoot + u"\\sound", u"file", u"C:\\ding?.wav");
       r.files.files.insert(u"C:\\ding.wav");  // what the pattern would find
     }, "WARN sound: the sound file C:\\ding?.wav is not a full path on a local drive", kAdminFailures},
    {"SoundFileMissing", [](DoctorRig& r) {
       r.reg.SetDword(kRoot + u"\\sound", u"flag", 2);
       r.reg.SetString(kRoot + u"\\sound", u"file", u"C:\\gone.wav");
     }, "WARN sound: the sound file C:\\gone.wav does not exist: no sound plays.", kAdminFailures},
    {"SoundOff", [](DoctorRig& r) { r.reg.SetDword(kRoot + u"\\sound", u"flag", 0); },
     "OK   sound: the recognition sound is off.", kAdminFailures},
    {"SoundFlagUnknown", [](DoctorRig& r) { r.reg.SetDword(kRoot + u"\\sound", u"flag", 9); },
     "WARN sound: the sound key's \"flag\" is 9", kAdminFailures},
    {"SoundFileOverlong", [](DoctorRig& r) {
       r.reg.SetDword(kRoot + u"\\sound", u"flag", 1);
       r.reg.SetString(kRoot + u"\\sound", u"file", std::u16string(400, u'a'));
     }, "WARN sound: a recognition sound is on, but no readable file is set", kAdminFailures},
    {"SixtyFourBitView", [](DoctorRig& r) { r.reads32 = false; },
     "WARN registry-view: this build reads the 64-bit registry view", kAdminFailures},
};

void PrintTo(const DoctorCase& c, std::ostream* os) { *os << c.name; }

class DoctorChecks : public ::testing::TestWithParam<DoctorCase> {};

TEST_P(DoctorChecks, LineAndExitStatus) {
  DoctorRig rig;
  GetParam().arrange(rig);
  int status = -1;
  const std::string out = rig.Run(status);
  bool found = false;
  for (const std::string& line : Lines(out)) found = found || line.rfind(GetParam().expectedPrefix, 0) == 0;
  EXPECT_TRUE(found) << "no line starting with: " << GetParam().expectedPrefix << "\n" << out;
  // Cases without a reader also carry that FAIL.
  const bool anyFail = out.find("\nFAIL ") != std::string::npos || out.rfind("FAIL ", 0) == 0;
  EXPECT_EQ(status, anyFail ? kAdminFailures : kAdminWarnings) << out;
  if (GetParam().status != kAdminFailures) {
    EXPECT_EQ(status, GetParam().status) << out;
  }
  EXPECT_EQ(rig.reg.OpenHandleCount(), 0u);
  EXPECT_EQ(rig.smartCard.OpenConnections(), 0);
}

INSTANTIATE_TEST_SUITE_P(Doctor, DoctorChecks, ::testing::ValuesIn(kDoctorCases),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace orvane
