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
    {"TypeNotFourBytes", [](FakeRegistry& r, const std::u16string& p) {
       GoodRecord(r, p.substr(p.rfind(u'\\') + 1));
       r.SetRaw(p, u"type", regtype::kDword, {1, 0});
     }, {"    removal: none"}},
};

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
  rig.reg.SetString(RegRoot::CurrentUser, kRun, u"OrvaneChecker", u"C:\\Program Files (x86)\\Orvane\\OrvaneChecker.exe");
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
    {"RemovalActionWithoutRunValue", [](DoctorRig& r) {
       GoodRecord(r.reg, u"11");
       r.reg.SetDword(kRoot + u"\\11", u"type", 1);
     }, "WARN run-value: no \"OrvaneChecker\" Run value for this user, but a record has a removal action", kAdminFailures},
    {"NoRunValueNoAction", [](DoctorRig& r) { GoodRecord(r.reg, u"11"); },
     "OK   run-value: no \"OrvaneChecker\" Run value, and no record has a removal action.", kAdminFailures},
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
