#include "checker/checker.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <tuple>
#include <vector>

#include "card/card_access.h"
#include "tests/fakes/checker_fakes.h"
#include "tests/fakes/fake_event_log.h"
#include "tests/fakes/fake_felica.h"
#include "tests/fakes/fake_registry.h"
#include "tests/fakes/scripted_smartcard.h"
#include "store/login_record.h"
#include "store/text_format.h"

namespace orvane {
namespace {

const CardIdentity kCard = {0x01, 0x2E, 0x4C, 0x7F, 0x11, 0x22, 0x33, 0x44,
                            0x03, 0x01, 0x4B, 0x02, 0x4F, 0x49, 0x93, 0xFF};
// The same card but for its last byte.
const CardIdentity kLastByteDiffers = {0x01, 0x2E, 0x4C, 0x7F, 0x11, 0x22, 0x33, 0x44,
                                       0x03, 0x01, 0x4B, 0x02, 0x4F, 0x49, 0x93, 0xFE};
// The same card but for its first byte.
const CardIdentity kFirstByteDiffers = {0x00, 0x2E, 0x4C, 0x7F, 0x11, 0x22, 0x33, 0x44,
                                        0x03, 0x01, 0x4B, 0x02, 0x4F, 0x49, 0x93, 0xFF};
const CardIdentity kOtherCard = {0x04, 0x8A, 0x21, 0x6B, 0x33, 0x55, 0x80, 0x9C,
                                 0x10, 0x20, 0x30, 0x40, 0x50, 0x60, 0x70, 0x80};

class FixedClock : public ClockPort {
 public:
  LocalTime Now() override { return {2026, 12, 9, 22, 30, 0}; }
  uint32_t SecondsSinceEpoch() override { return 1796855400u; }
};

class CountingRandom : public RandomPort {
 public:
  void Seed(uint32_t seed) override { next_ = static_cast<int>(seed); }
  int Next() override { return next_++ & 0x7FFF; }

 private:
  int next_ = 0;
};

std::u16string RecordPath(const CardIdentity& card) {
  CardIdentity permuted;
  char16_t path[kRecordPathSize];
  FormatRecordPath(RecordKeyValue(card, permuted), path);
  return path;
}

// USER_TIMER_MAXIMUM: the longest period a window timer takes.
constexpr uint32_t kTimerMaximum = 0x7FFFFFFFu;

struct CheckerFixture : ::testing::Test {
  FakeRegistry registry;
  FakePoller poller;
  FakeSystem system;
  FakeSession session;
  FakeDebugOutput debug;
  FakeWatchWindow window;
  FakeWait wait;
  FakeEventLog events;
  Checker checker{poller, registry, system, session, debug, window, wait, events};

  // A record as the settings program writes it.
  void Register(const CardIdentity& card, const std::u16string& user, const char16_t* password,
                const char16_t* target) {
    FixedClock clock;
    CountingRandom random;
    ASSERT_EQ(WriteLoginRecord(registry, clock, random, card, user.c_str(), password, target,
                               u"test card"),
              WriteResult::Ok);
  }
  void Register(const CardIdentity& card, const std::u16string& user) {
    Register(card, user, u"secret", u"DESKTOP");
  }
  void SetRemoval(const CardIdentity& card, uint32_t type, uint32_t interval) {
    registry.SetDword(RecordPath(card), u"type", type);
    registry.SetDword(RecordPath(card), u"interval", interval);
  }
  // Registered card of alice on the reader, log off forced if hung, 1 second.
  void ArmOnCard(uint32_t type = 0x10) {
    Register(kCard, u"alice");
    SetRemoval(kCard, type, 1);
    poller.PutCard(kCard);
    ASSERT_EQ(StartWatch(checker), 1);
    ASSERT_TRUE(debug.lines.empty());
  }
  std::vector<std::u16string> Lines(std::initializer_list<const char16_t*> lines) {
    std::vector<std::u16string> out;
    for (const char16_t* l : lines) out.emplace_back(l);
    return out;
  }
};

// --- start-up -------------------------------------------------------------

enum class Setup {
  NoCard,
  NoRecordKey,
  KeyWithoutData,
  DataTooLong,
  DataOfAnotherCard,
  NoType,
  TypeMinusOne,
  NoInterval,
  IntervalZero,
  IntervalWouldWrapToZero,
  IntervalWouldWrapToNonZero,
  IntervalOverTimerMaximum,
  UserDiffersInCase,
  UserWithTrailingSpace,
  UserIsPrefixOfRecordUser,
  UserEmpty,
  UserNameUnavailable,
  MicrosoftAccountPrincipal,
  OtherAccountsPrincipal,
  WindowFails,
  Armed,
};

// The logged-on account of the Microsoft-account rows: logon name "alice",
// principal "alice@outlook.com".
const char16_t kPrincipal[] = u"alice@outlook.com";

struct StartCase {
  const char* name;
  Setup setup;
  int result;
  const char16_t* line;  // nullptr: no debug line at all
  uint32_t periodMs;     // checked when the window was created
};

class StartWatchTest : public CheckerFixture, public ::testing::WithParamInterface<StartCase> {};

TEST_P(StartWatchTest, DecidesOnceAndSaysWhy) {
  const StartCase& c = GetParam();
  uint32_t type = 0x11;
  uint32_t interval = 1;
  bool writeType = true, writeInterval = true;
  switch (c.setup) {
    case Setup::NoType: writeType = false; break;
    case Setup::TypeMinusOne: type = 0xFFFFFFFFu; break;
    case Setup::NoInterval: writeInterval = false; break;
    case Setup::IntervalZero: interval = 0; break;
    case Setup::IntervalWouldWrapToZero: interval = 536870912u; break;  // 2^29 * 1000 = 0 mod 2^32
    case Setup::IntervalWouldWrapToNonZero: interval = 4294968u; break;  // 704 mod 2^32
    case Setup::IntervalOverTimerMaximum: interval = 2147484u; break;
    default: break;
  }
  std::u16string recordUser = u"alice";
  if (c.setup == Setup::MicrosoftAccountPrincipal) recordUser = kPrincipal;
  if (c.setup == Setup::OtherAccountsPrincipal) recordUser = u"bob@outlook.com";
  if (c.setup == Setup::MicrosoftAccountPrincipal || c.setup == Setup::OtherAccountsPrincipal)
    system.SetMicrosoftAccount(kPrincipal, u"MicrosoftAccount");
  if (c.setup != Setup::NoCard) poller.PutCard(kCard);
  if (c.setup != Setup::NoRecordKey) {
    if (c.setup == Setup::KeyWithoutData || c.setup == Setup::DataTooLong) {
      registry.AddKey(RecordPath(kCard));
    } else if (c.setup == Setup::DataOfAnotherCard) {
      // Another card's ciphertext under this card's key decodes to noise.
      Register(kOtherCard, recordUser);
      FakeRegistry::Value data;
      ASSERT_TRUE(registry.GetValue(RecordPath(kOtherCard), u"data", &data));
      registry.SetBinary(RecordPath(kCard), u"data", data.bytes);
    } else {
      Register(kCard, recordUser);
    }
    if (c.setup == Setup::DataTooLong)
      registry.SetBinary(RecordPath(kCard), u"data", std::vector<unsigned char>(272, 0x5A));
    if (writeType) registry.SetDword(RecordPath(kCard), u"type", type);
    if (writeInterval) registry.SetDword(RecordPath(kCard), u"interval", interval);
  }
  if (c.setup == Setup::UserDiffersInCase) system.user = u"Alice";
  if (c.setup == Setup::UserWithTrailingSpace) system.user = u"alice ";
  if (c.setup == Setup::UserIsPrefixOfRecordUser) system.user = u"ali";
  if (c.setup == Setup::UserEmpty) system.user = u"";
  if (c.setup == Setup::UserNameUnavailable) system.fail = true;
  if (c.setup == Setup::WindowFails) window.fail = true;

  EXPECT_EQ(StartWatch(checker), c.result);

  if (c.line != nullptr)
    EXPECT_EQ(debug.lines, Lines({c.line}));
  else
    EXPECT_TRUE(debug.lines.empty());
  EXPECT_EQ(poller.prepares, 1);
  EXPECT_EQ(poller.polls, 1);
  EXPECT_TRUE(wait.waits.empty());
  EXPECT_TRUE(session.exitCalls.empty());
  EXPECT_EQ(session.privilegeRequests, 0);
  EXPECT_EQ(registry.OpenHandleCount(), 0u);
  EXPECT_EQ(checker.armed, c.result == 1);
  // Only an armed watch is logged: the exits at an ordinary logon are noise.
  EXPECT_EQ(events.Ids(), c.result == 1 ? std::vector<uint32_t>{2001} : std::vector<uint32_t>{});
  EXPECT_TRUE(events.misuse.empty());
  const bool reachedWindow = c.setup == Setup::WindowFails || c.result == 1;
  EXPECT_EQ(window.creates, reachedWindow ? 1 : 0);
  if (reachedWindow) {
    EXPECT_EQ(window.periodMs, c.periodMs);
    EXPECT_EQ(checker.saved, kCard);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Outcomes, StartWatchTest,
    ::testing::Values(
        StartCase{"NoCard", Setup::NoCard, 0, u"no card\n", 0},
        StartCase{"NoRecordKey", Setup::NoRecordKey, 0, u"no registry data\n", 0},
        StartCase{"KeyWithoutData", Setup::KeyWithoutData, 0, u"no registry data\n", 0},
        StartCase{"DataTooLong", Setup::DataTooLong, 0, u"no registry data\n", 0},
        StartCase{"DataOfAnotherCard", Setup::DataOfAnotherCard, 0, u"no registry data\n", 0},
        StartCase{"NoType", Setup::NoType, 0, u"no shutdown data\n", 0},
        StartCase{"TypeMinusOne", Setup::TypeMinusOne, 0, u"no shutdown data\n", 0},
        StartCase{"NoIntervalMeansFiveSeconds", Setup::NoInterval, 1, nullptr, 5000},
        StartCase{"IntervalZero", Setup::IntervalZero, 0, u"no shutdown data\n", 0},
        StartCase{"IntervalWouldWrapToZero", Setup::IntervalWouldWrapToZero, 1, nullptr,
                  kTimerMaximum},
        StartCase{"IntervalWouldWrapToNonZero", Setup::IntervalWouldWrapToNonZero, 1, nullptr,
                  kTimerMaximum},
        StartCase{"IntervalOverTimerMaximum", Setup::IntervalOverTimerMaximum, 1, nullptr,
                  kTimerMaximum},
        StartCase{"UserDiffersInCase", Setup::UserDiffersInCase, 0, u"user != login_user\n", 0},
        StartCase{"UserWithTrailingSpace", Setup::UserWithTrailingSpace, 0,
                  u"user != login_user\n", 0},
        StartCase{"UserIsPrefixOfRecordUser", Setup::UserIsPrefixOfRecordUser, 0,
                  u"user != login_user\n", 0},
        StartCase{"UserEmpty", Setup::UserEmpty, 0, u"user != login_user\n", 0},
        StartCase{"UserNameUnavailable", Setup::UserNameUnavailable, 0, u"user != login_user\n",
                  0},
        StartCase{"MicrosoftAccountPrincipal", Setup::MicrosoftAccountPrincipal, 1, nullptr,
                  1000},
        StartCase{"OtherAccountsPrincipal", Setup::OtherAccountsPrincipal, 0,
                  u"user != login_user\n", 0},
        StartCase{"WindowFailsSilently", Setup::WindowFails, 0, nullptr, 1000},
        StartCase{"Armed", Setup::Armed, 1, nullptr, 1000}),
    [](const ::testing::TestParamInfo<StartCase>& info) { return std::string(info.param.name); });

// --- waiting for the reader at logon ---------------------------------------

// The reader (with or without the card) comes at a given second of the start;
// until then there is no service or no reader. The start polls once and then
// once a second for at most 30 seconds; a reader that answers is decided at once.
struct ReaderWaitCase {
  const char* name;
  int readerAtSecond;  // -1: never
  bool cardWithReader;
  int result;
  const char16_t* line;  // nullptr: no debug line at all
  int polls;
};

class ReaderWaitTest : public CheckerFixture,
                       public ::testing::WithParamInterface<ReaderWaitCase> {};

TEST_P(ReaderWaitTest, WaitsOnlyForAnAbsentReaderAndAtMostThirtySeconds) {
  const ReaderWaitCase& c = GetParam();
  Register(kCard, u"alice");
  SetRemoval(kCard, 0x10, 1);
  auto bring = [&](uint64_t nowMs) {
    if (c.readerAtSecond < 0 || nowMs != uint64_t(c.readerAtSecond) * 1000) return;
    poller.reader = true;
    if (c.cardWithReader) poller.PutCard(kCard);
  };
  poller.reader = false;
  bring(0);
  wait.onWaited = bring;

  EXPECT_EQ(StartWatch(checker), c.result);

  if (c.line != nullptr)
    EXPECT_EQ(debug.lines, Lines({c.line}));
  else
    EXPECT_TRUE(debug.lines.empty());
  EXPECT_EQ(poller.prepares, 1);
  EXPECT_EQ(poller.polls, c.polls);
  EXPECT_EQ(wait.waits, std::vector<uint32_t>(c.polls - 1, 1000u));
  EXPECT_EQ(checker.armed, c.result == 1);
  EXPECT_EQ(window.creates, c.result);
}

INSTANTIATE_TEST_SUITE_P(
    Readers, ReaderWaitTest,
    ::testing::Values(
        ReaderWaitCase{"ReaderNeverComes", -1, false, 0, u"no card\n", 31},
        ReaderWaitCase{"ReaderWithCardAtStart", 0, true, 1, nullptr, 1},
        ReaderWaitCase{"ReaderWithoutCardAtStart", 0, false, 0, u"no card\n", 1},
        ReaderWaitCase{"ReaderAndCardComeAtSecondFive", 5, true, 1, nullptr, 6},
        ReaderWaitCase{"ReaderWithoutCardComesAtSecondFive", 5, false, 0, u"no card\n", 6},
        ReaderWaitCase{"ReaderComesAtTheLastSecond", 30, true, 1, nullptr, 31},
        ReaderWaitCase{"ReaderComesTooLate", 31, true, 0, u"no card\n", 31}),
    [](const ::testing::TestParamInfo<ReaderWaitCase>& info) {
      return std::string(info.param.name);
    });

TEST_F(CheckerFixture, WaitingForTheReaderDoesNotSkipTheLaterChecks) {
  Register(kCard, u"bob");
  SetRemoval(kCard, 0x10, 1);
  poller.reader = false;
  poller.PutCard(kCard);
  wait.onWaited = [&](uint64_t nowMs) { poller.reader = nowMs >= 2000; };
  EXPECT_EQ(StartWatch(checker), 0);
  EXPECT_EQ(debug.lines, Lines({u"user != login_user\n"}));
  EXPECT_EQ(wait.nowMs, 2000u);
  EXPECT_EQ(window.creates, 0);
}

// --- the record as the checker reads it -----------------------------------

struct PeriodCase {
  uint32_t interval;
  uint32_t periodMs;
};

class PeriodTest : public CheckerFixture, public ::testing::WithParamInterface<PeriodCase> {};

TEST_P(PeriodTest, IntervalTimesThousandClampedToTheTimerMaximum) {
  Register(kCard, u"alice");
  SetRemoval(kCard, 0x10, GetParam().interval);
  poller.PutCard(kCard);
  ASSERT_EQ(poller.Poll(), 1);
  EXPECT_EQ(ReadCheckerRecord(checker), 1);
  EXPECT_EQ(checker.periodMs, GetParam().periodMs);
}

INSTANTIATE_TEST_SUITE_P(Intervals, PeriodTest,
                         ::testing::Values(PeriodCase{0, 0}, PeriodCase{1, 1000},
                                           PeriodCase{5, 5000},
                                           PeriodCase{2147483u, 2147483000u},
                                           PeriodCase{2147484u, kTimerMaximum},
                                           PeriodCase{4294967u, kTimerMaximum},
                                           PeriodCase{4294968u, kTimerMaximum},
                                           PeriodCase{536870912u, kTimerMaximum},
                                           PeriodCase{0xFFFFFFFFu, kTimerMaximum}),
                         [](const ::testing::TestParamInfo<PeriodCase>& info) {
                           return "Interval" + std::to_string(info.param.interval);
                         });

TEST_F(CheckerFixture, TypeAndIntervalAreReadEvenWithoutData) {
  registry.AddKey(RecordPath(kCard));
  SetRemoval(kCard, 0x12, 7);
  poller.PutCard(kCard);
  ASSERT_EQ(poller.Poll(), 1);
  EXPECT_EQ(ReadCheckerRecord(checker), 0);
  EXPECT_EQ(checker.removalType, 0x12u);
  EXPECT_EQ(checker.periodMs, 7000u);
  EXPECT_EQ(registry.OpenHandleCount(), 0u);
}

// "type" and "interval" count only as 4 bytes: shorter values fit the read
// buffer and are refused by the size check, longer ones by "more data".
struct WrongSizeCase {
  const char* name;
  uint32_t valueType;
  std::vector<unsigned char> bytes;
};

class WrongSizeTest : public CheckerFixture,
                      public ::testing::WithParamInterface<WrongSizeCase> {};

TEST_P(WrongSizeTest, TypeAndIntervalTakeTheirDefaults) {
  Register(kCard, u"alice");
  registry.SetRaw(RecordPath(kCard), u"type", GetParam().valueType, GetParam().bytes);
  registry.SetRaw(RecordPath(kCard), u"interval", GetParam().valueType, GetParam().bytes);
  poller.PutCard(kCard);
  ASSERT_EQ(poller.Poll(), 1);
  EXPECT_EQ(ReadCheckerRecord(checker), 1);
  EXPECT_EQ(checker.removalType, kNoRemovalAction);
  EXPECT_EQ(checker.periodMs, 5000u);
}

INSTANTIATE_TEST_SUITE_P(
    Sizes, WrongSizeTest,
    ::testing::Values(WrongSizeCase{"Empty", regtype::kDword, {}},
                      WrongSizeCase{"OneByte", regtype::kBinary, {0x10}},
                      WrongSizeCase{"TwoBytes", regtype::kDword, {0x10, 0}},
                      WrongSizeCase{"ThreeBytes", regtype::kDword, {0x10, 0, 0}},
                      WrongSizeCase{"FiveBytes", regtype::kBinary, {0x10, 0, 0, 0, 0}},
                      WrongSizeCase{"Qword", regtype::kQword, {0x10, 0, 0, 0, 0, 0, 0, 0}}),
    [](const ::testing::TestParamInfo<WrongSizeCase>& info) {
      return std::string(info.param.name);
    });

TEST_F(CheckerFixture, RecordKeyIsOpenedForQueryingValuesOnly) {
  Register(kCard, u"alice");
  SetRemoval(kCard, 0x10, 1);
  poller.PutCard(kCard);
  ASSERT_EQ(StartWatch(checker), 1);
  ASSERT_FALSE(registry.OpenCalls().empty());
  const auto& last = registry.OpenCalls().back();
  EXPECT_EQ(last.root, RegRoot::LocalMachine);
  EXPECT_EQ(last.path, RecordPath(kCard));
  EXPECT_EQ(last.access, RegAccess::QueryValue);
  EXPECT_FALSE(last.create);
}

// Every record the settings program can write, up to 256 bytes of "data", is
// honoured: three strings of 90 code units in all make 208 bytes.
struct LengthCase {
  int passwordUnits, userUnits, targetUnits;
};

class RecordLengthTest : public CheckerFixture, public ::testing::WithParamInterface<LengthCase> {};

TEST_P(RecordLengthTest, LongRecordsArmTheWatch) {
  const LengthCase& c = GetParam();
  std::u16string user(c.userUnits, u'u');
  std::u16string password(c.passwordUnits, u'p');
  std::u16string target(c.targetUnits, u't');
  system.user = user;
  Register(kCard, user, password.c_str(), target.c_str());
  SetRemoval(kCard, 0x10, 1);
  FakeRegistry::Value data;
  ASSERT_TRUE(registry.GetValue(RecordPath(kCard), u"data", &data));
  EXPECT_GT(data.bytes.size(), 200u);
  poller.PutCard(kCard);
  EXPECT_EQ(StartWatch(checker), 1);
  EXPECT_TRUE(debug.lines.empty());
  EXPECT_EQ(std::u16string(checker.recordUser), user);
}

INSTANTIATE_TEST_SUITE_P(Lengths, RecordLengthTest,
                         ::testing::Values(LengthCase{30, 30, 30},    // T = 208
                                           LengthCase{10, 60, 20},    // T = 208
                                           LengthCase{40, 40, 38}));  // T = 256

// --- the watch ------------------------------------------------------------

TEST_F(CheckerFixture, CardStayingOnTheReaderDoesNothing) {
  ArmOnCard();
  for (int i = 0; i < 5; ++i) WatchTick(checker);
  EXPECT_TRUE(debug.lines.empty());
  EXPECT_TRUE(session.exitCalls.empty());
  EXPECT_EQ(poller.polls, 6);
}

TEST_F(CheckerFixture, CardGoneEndsTheSessionWithTheRecordedFlags) {
  ArmOnCard(0x11);
  poller.TakeCard();
  WatchTick(checker);
  EXPECT_EQ(debug.lines, Lines({u"shutdown\n"}));
  EXPECT_EQ(session.exitCalls, std::vector<uint32_t>{0x11});
}

TEST_F(CheckerFixture, CardGoneRepeatsEveryTickAndStopsWhenItComesBack) {
  ArmOnCard(0x10);
  poller.TakeCard();
  WatchTick(checker);
  WatchTick(checker);
  poller.PutCard(kCard);
  WatchTick(checker);
  WatchTick(checker);
  EXPECT_EQ(debug.lines, Lines({u"shutdown\n", u"shutdown\n"}));
  EXPECT_EQ(session.exitCalls, (std::vector<uint32_t>{0x10, 0x10}));
}

struct ReplacementCase {
  const char* name;
  CardIdentity card;
  bool registered;
};

class ReplacedCardTest : public CheckerFixture,
                         public ::testing::WithParamInterface<ReplacementCase> {};

TEST_P(ReplacedCardTest, AnotherCardCountsAsGone) {
  ArmOnCard(0x12);
  if (GetParam().registered) {
    Register(GetParam().card, u"alice");
    SetRemoval(GetParam().card, 0x12, 1);
  }
  poller.PutCard(GetParam().card);
  WatchTick(checker);
  EXPECT_EQ(debug.lines, Lines({u"shutdown\n"}));
  EXPECT_EQ(session.exitCalls, std::vector<uint32_t>{0x12});
}

INSTANTIATE_TEST_SUITE_P(
    Cards, ReplacedCardTest,
    ::testing::Values(ReplacementCase{"FirstByteDiffers", kFirstByteDiffers, false},
                      ReplacementCase{"LastByteDiffers", kLastByteDiffers, false},
                      ReplacementCase{"UnregisteredCard", kOtherCard, false},
                      ReplacementCase{"RegisteredCardOfSameUser", kOtherCard, true}),
    [](const ::testing::TestParamInfo<ReplacementCase>& info) {
      return std::string(info.param.name);
    });

TEST_F(CheckerFixture, LaterRecordChangesAreNotSeen) {
  ArmOnCard(0x10);
  SetRemoval(kCard, 0xFFFFFFFFu, 0);
  poller.TakeCard();
  WatchTick(checker);
  EXPECT_EQ(session.exitCalls, std::vector<uint32_t>{0x10});
}

// A plain log off (EWX_LOGOFF, optionally EWX_FORCE and EWX_FORCEIFHUNG)
// needs no privilege: a user without the shut-down privilege is still logged
// off. Every other type, bits that name no action today included, enables
// the privilege first and does nothing without it.
struct PrivilegeCase {
  uint32_t type;
  bool plainLogOff;
};

class PrivilegeTest : public CheckerFixture,
                      public ::testing::WithParamInterface<std::tuple<PrivilegeCase, bool>> {};

TEST_P(PrivilegeTest, OnlyAPlainLogOffGoesWithoutThePrivilege) {
  const PrivilegeCase& c = std::get<0>(GetParam());
  const bool granted = std::get<1>(GetParam());
  ArmOnCard(c.type);
  session.privilegeGranted = granted;
  poller.TakeCard();
  WatchTick(checker);
  WatchTick(checker);
  EXPECT_EQ(debug.lines, Lines({u"shutdown\n", u"shutdown\n"}));
  EXPECT_EQ(NeedsShutdownPrivilege(c.type), !c.plainLogOff);
  if (c.plainLogOff) {
    EXPECT_EQ(session.privilegeRequests, 0);
    EXPECT_EQ(session.calls, "EE");
  } else {
    EXPECT_EQ(session.privilegeRequests, 2);
    EXPECT_EQ(session.calls, granted ? "PEPE" : "PP");
  }
  const std::vector<uint32_t> ended(session.calls.find('E') == std::string::npos ? 0 : 2, c.type);
  EXPECT_EQ(session.exitCalls, ended);
}

INSTANTIATE_TEST_SUITE_P(
    Types, PrivilegeTest,
    ::testing::Combine(
        ::testing::Values(PrivilegeCase{0x00, true},         // log off
                          PrivilegeCase{0x04, true},         // forced
                          PrivilegeCase{0x10, true},         // forced if hung
                          PrivilegeCase{0x14, true},         // both
                          PrivilegeCase{0x01, false},        // shut down
                          PrivilegeCase{0x11, false},
                          PrivilegeCase{0x02, false},        // reboot
                          PrivilegeCase{0x12, false},
                          PrivilegeCase{0x08, false},        // power off
                          PrivilegeCase{0x20, false},        // EWX_QUICKRESOLVE
                          PrivilegeCase{0x40, false},        // EWX_RESTARTAPPS
                          PrivilegeCase{0x50, false},        // restart apps, forced if hung
                          PrivilegeCase{0x400000, false},    // EWX_HYBRID_SHUTDOWN
                          PrivilegeCase{0x1000000, false},   // EWX_BOOTOPTIONS
                          PrivilegeCase{0x80000000u, false}, // a bit no flag has today
                          PrivilegeCase{0xFFFFFFFEu, false}),
        ::testing::Bool()),
    [](const ::testing::TestParamInfo<std::tuple<PrivilegeCase, bool>>& info) {
      char name[40];
      std::snprintf(name, sizeof name, "Type%X%s", std::get<0>(info.param).type,
                    std::get<1>(info.param) ? "Granted" : "Refused");
      return std::string(name);
    });

TEST_F(CheckerFixture, ShutDownWithThePrivilegeEndsTheSession) {
  ArmOnCard(0x01);
  poller.TakeCard();
  WatchTick(checker);
  EXPECT_EQ(session.privilegeRequests, 1);
  EXPECT_EQ(session.exitCalls, std::vector<uint32_t>{0x01});
}

// --- locking the workstation ------------------------------------------------

struct LockFixture : CheckerFixture {
  // Alice's card on the reader, its record "type" 0 and "lock" = 1, armed.
  void ArmLock() {
    Register(kCard, u"alice");
    SetRemoval(kCard, 0, 1);
    registry.SetDword(RecordPath(kCard), u"lock", 1);
    poller.PutCard(kCard);
    ASSERT_EQ(StartWatch(checker), 1);
    ASSERT_TRUE(debug.lines.empty());
    ASSERT_TRUE(checker.lockOnRemoval);
  }
};

// One step of a watch: what lies on the reader at the tick, and what the
// tick must do.
enum class Reader { Card, Empty, OtherCard };
struct LockStep {
  Reader reader;
  bool lockSucceeds;
  bool locks;  // "lock" written and LockWorkstation called at this tick
};

struct LockEdgeCase {
  const char* name;
  std::vector<LockStep> steps;
};

class LockEdgeTest : public LockFixture, public ::testing::WithParamInterface<LockEdgeCase> {};

TEST_P(LockEdgeTest, LocksOncePerRemoval) {
  ArmLock();
  for (std::size_t i = 0; i < GetParam().steps.size(); ++i) {
    const LockStep& step = GetParam().steps[i];
    poller.TakeCard();
    if (step.reader == Reader::Card) poller.PutCard(kCard);
    if (step.reader == Reader::OtherCard) poller.PutCard(kLastByteDiffers);
    session.lockSucceeds = step.lockSucceeds;
    const std::size_t linesBefore = debug.lines.size();
    const int locksBefore = session.locks;
    WatchTick(checker);
    SCOPED_TRACE("tick " + std::to_string(i));
    EXPECT_EQ(session.locks - locksBefore, step.locks ? 1 : 0);
    if (step.locks)
      EXPECT_EQ(std::vector<std::u16string>(debug.lines.begin() + linesBefore, debug.lines.end()),
                Lines({u"lock\n"}));
    else
      EXPECT_EQ(debug.lines.size(), linesBefore);
  }
  // A lock needs no privilege and never ends the session.
  EXPECT_EQ(session.calls, std::string(session.locks, 'L'));
  EXPECT_TRUE(session.exitCalls.empty());
}

constexpr bool kOk = true, kRefused = false;

INSTANTIATE_TEST_SUITE_P(
    Watches, LockEdgeTest,
    ::testing::Values(
        LockEdgeCase{"CardStaysNothingHappens",
                     {{Reader::Card, kOk, false}, {Reader::Card, kOk, false},
                      {Reader::Card, kOk, false}}},
        LockEdgeCase{"OneLockWhileTheCardStaysAway",
                     {{Reader::Card, kOk, false}, {Reader::Empty, kOk, true},
                      {Reader::Empty, kOk, false}, {Reader::Empty, kOk, false}}},
        LockEdgeCase{"AgainAfterTheCardCameBack",
                     {{Reader::Empty, kOk, true}, {Reader::Empty, kOk, false},
                      {Reader::Card, kOk, false}, {Reader::Card, kOk, false},
                      {Reader::Empty, kOk, true}, {Reader::Empty, kOk, false},
                      {Reader::Card, kOk, false}, {Reader::Empty, kOk, true}}},
        LockEdgeCase{"AnotherCardCountsAsGone",
                     {{Reader::OtherCard, kOk, true}, {Reader::OtherCard, kOk, false},
                      {Reader::Empty, kOk, false}, {Reader::OtherCard, kOk, false}}},
        LockEdgeCase{"AnotherCardIsNotTheCardComingBack",
                     {{Reader::Empty, kOk, true}, {Reader::OtherCard, kOk, false},
                      {Reader::Empty, kOk, false}, {Reader::Card, kOk, false},
                      {Reader::OtherCard, kOk, true}}},
        LockEdgeCase{"RefusedLockIsTriedAtTheNextTick",
                     {{Reader::Empty, kRefused, true}, {Reader::Empty, kRefused, true},
                      {Reader::Empty, kOk, true}, {Reader::Empty, kOk, false},
                      {Reader::Empty, kRefused, false}}},
        LockEdgeCase{"RefusedLockThenTheCardCameBack",
                     {{Reader::Empty, kRefused, true}, {Reader::Card, kRefused, false},
                      {Reader::Empty, kOk, true}, {Reader::Empty, kOk, false}}}),
    [](const ::testing::TestParamInfo<LockEdgeCase>& info) {
      return std::string(info.param.name);
    });

// A new start forgets a lock of an earlier watch: its first removal locks.
TEST_F(LockFixture, StartingAgainForgetsAnEarlierLock) {
  ArmLock();
  poller.TakeCard();
  WatchTick(checker);
  poller.PutCard(kCard);
  ASSERT_EQ(StartWatch(checker), 1);
  poller.TakeCard();
  WatchTick(checker);
  EXPECT_EQ(session.locks, 2);
}

// "lock" counts only as exactly 4 bytes holding 1 beside "type" 0. Anything
// else leaves the record's own action: every tick with the card away ends
// the session with "type" as it did before "lock" existed.
struct LockValueCase {
  const char* name;
  uint32_t type;
  bool writeLock;
  uint32_t valueType;
  std::vector<unsigned char> lock;
  bool isLock;
};

class LockValueTest : public CheckerFixture,
                      public ::testing::WithParamInterface<LockValueCase> {};

TEST_P(LockValueTest, OnlyOneBesideAPlainLogOffLocks) {
  const LockValueCase& c = GetParam();
  Register(kCard, u"alice");
  SetRemoval(kCard, c.type, 1);
  if (c.writeLock) registry.SetRaw(RecordPath(kCard), u"lock", c.valueType, c.lock);
  poller.PutCard(kCard);
  ASSERT_EQ(StartWatch(checker), 1);
  EXPECT_TRUE(debug.lines.empty());
  EXPECT_EQ(checker.lockOnRemoval, c.isLock);
  EXPECT_EQ(checker.removalType, c.type);
  poller.TakeCard();
  WatchTick(checker);
  WatchTick(checker);
  if (c.isLock) {
    EXPECT_EQ(debug.lines, Lines({u"lock\n"}));
    EXPECT_EQ(session.calls, "L");
  } else {
    EXPECT_EQ(debug.lines, Lines({u"shutdown\n", u"shutdown\n"}));
    EXPECT_EQ(session.locks, 0);
    EXPECT_EQ(session.exitCalls, (std::vector<uint32_t>{c.type, c.type}));
  }
}

INSTANTIATE_TEST_SUITE_P(
    Values, LockValueTest,
    ::testing::Values(
        LockValueCase{"LockBesideLogOff", 0, true, regtype::kDword, {1, 0, 0, 0}, true},
        LockValueCase{"NoLock", 0, false, regtype::kDword, {}, false},
        LockValueCase{"LockZero", 0, true, regtype::kDword, {0, 0, 0, 0}, false},
        LockValueCase{"LockTwo", 0, true, regtype::kDword, {2, 0, 0, 0}, false},
        LockValueCase{"LockHighBitsBesideOne", 0, true, regtype::kDword, {1, 0, 0, 1}, false},
        LockValueCase{"LockAllOnes", 0, true, regtype::kDword, {0xFF, 0xFF, 0xFF, 0xFF}, false},
        LockValueCase{"LockOneByte", 0, true, regtype::kBinary, {1}, false},
        LockValueCase{"LockTwoBytes", 0, true, regtype::kDword, {1, 0}, false},
        LockValueCase{"LockFiveBytes", 0, true, regtype::kBinary, {1, 0, 0, 0, 0}, false},
        LockValueCase{"LockQword", 0, true, regtype::kQword, {1, 0, 0, 0, 0, 0, 0, 0}, false},
        LockValueCase{"LockText", 0, true, regtype::kSz, {'1', 0, 0, 0}, false},
        // Like "type", only the size and the bytes count, not the value's kind.
        LockValueCase{"LockBinaryOfFourBytes", 0, true, regtype::kBinary, {1, 0, 0, 0}, true},
        LockValueCase{"LockEmpty", 0, true, regtype::kDword, {}, false},
        LockValueCase{"LockBesideForcedIfHung", 0x10, true, regtype::kDword, {1, 0, 0, 0}, false},
        LockValueCase{"LockBesideForced", 0x04, true, regtype::kDword, {1, 0, 0, 0}, false},
        LockValueCase{"LockBesideShutDown", 1, true, regtype::kDword, {1, 0, 0, 0}, false},
        LockValueCase{"LockBesideReboot", 2, true, regtype::kDword, {1, 0, 0, 0}, false}),
    [](const ::testing::TestParamInfo<LockValueCase>& info) {
      return std::string(info.param.name);
    });

// A lock record still asks for a removal action: without "interval" the
// start arms with five seconds, with another user it says so, as for a log off.
TEST_F(CheckerFixture, LockRecordMakesTheSameStartDecisions) {
  Register(kCard, u"bob");
  registry.SetDword(RecordPath(kCard), u"type", 0);
  registry.SetDword(RecordPath(kCard), u"lock", 1);
  poller.PutCard(kCard);
  EXPECT_EQ(StartWatch(checker), 0);
  EXPECT_EQ(debug.lines, Lines({u"user != login_user\n"}));
  system.user = u"bob";
  debug.lines.clear();
  EXPECT_EQ(StartWatch(checker), 1);
  EXPECT_TRUE(debug.lines.empty());
  EXPECT_EQ(window.periodMs, 5000u);
  registry.SetDword(RecordPath(kCard), u"interval", 0);
  EXPECT_EQ(StartWatch(checker), 0);
  EXPECT_EQ(debug.lines, Lines({u"no shutdown data\n"}));
}

// A lock record keeps "type" 0: a checker that knows nothing of "lock" reads
// "type" as always and logs the user off, so an older checker fails safe.
TEST_F(LockFixture, CheckerIgnoringLockLogsOff) {
  ArmLock();
  RegKey key(registry);
  ASSERT_EQ(key.Open(RegRoot::LocalMachine, RecordPath(kCard).c_str(), RegAccess::QueryValue),
            RegResult::Ok);
  const uint32_t type = ReadDwordValue(registry, key.handle(), u"type", kNoRemovalAction);
  EXPECT_EQ(type, 0u);
  EXPECT_FALSE(NeedsShutdownPrivilege(type));

  checker.lockOnRemoval = false;  // what a checker without "lock" has
  poller.TakeCard();
  WatchTick(checker);
  EXPECT_EQ(session.calls, "E");
  EXPECT_EQ(session.exitCalls, std::vector<uint32_t>{0});
}

// --- debug lines ----------------------------------------------------------

TEST(DebugTextTest, FormatsAndStaysInsideTheBuffer) {
  char16_t out[12];
  EXPECT_EQ(FormatText(out, 12, u"%s=%u/%x/%d%%", u"ab", 42u, 0xBEEFu, -7), 11);
  EXPECT_EQ(std::u16string(out), u"ab=42/beef/");
  char16_t wide[40];
  FormatText(wide, 40, u"%s=%u/%x/%d%%", u"ab", 42u, 0xBEEFu, -7);
  EXPECT_EQ(std::u16string(wide), u"ab=42/beef/-7%");
  char16_t one[1] = {u'x'};
  EXPECT_EQ(FormatText(one, 1, u"anything"), 0);
  EXPECT_EQ(one[0], 0);
}

TEST(DebugTextTest, ZeroPaddedNumbersAsPrintfWritesThem) {
  const struct {
    const char16_t* format;
    int value;
    std::u16string expected;
  } cases[] = {
      {u"%04d", 7, u"0007"},       {u"%02d", 12, u"12"},     {u"%04d", 12345, u"12345"},
      {u"%04d", -5, u"-005"},      {u"%02d", -1, u"-1"},     {u"%08x", 0xBEEF, u"0000beef"},
      {u"%03u", 9, u"009"},        {u"%0d", 7, u"%0d"},      {u"%0", 7, u"%0"},
  };
  for (std::size_t i = 0; i < sizeof cases / sizeof cases[0]; ++i) {
    char16_t out[32];
    FormatText(out, 32, cases[i].format, cases[i].value);
    EXPECT_EQ(std::u16string(out), cases[i].expected) << "row " << i;
  }
}

TEST_F(CheckerFixture, DebugLineIsCutAtTheLineBuffer) {
  std::u16string longText(3000, u'z');
  DebugLine(checker, u"%s", longText.c_str());
  ASSERT_EQ(debug.lines.size(), 1u);
  EXPECT_EQ(debug.lines[0], std::u16string(kDebugLineSize - 1, u'z'));
}

// --- the watch on the shared card-access code ------------------------------

const Bytes kCardTypeCommand = {0xFF, 0xCA, 0xF3, 0x00, 0x00};
const Bytes kIdCommand = {0xFF, 0xCA, 0x00, 0x00, 0x00};
const Bytes kPmmCommand = {0xFF, 0xCA, 0x01, 0x00, 0x00};
const std::array<unsigned char, 8> kIdm = {0x01, 0x2E, 0x4C, 0xD8, 0x2A, 0x1B, 0x3C, 0x4D};
const std::array<unsigned char, 8> kPmm = {0x03, 0x01, 0x4B, 0x02, 0x4F, 0x49, 0x93, 0xFF};
const std::u16string kPasori = u"Sony FeliCa Port/PaSoRi 3.0 0";

CardIdentity FelicaIdentity() {
  CardIdentity id{};
  std::copy(kIdm.begin(), kIdm.end(), id.begin());
  std::copy(kPmm.begin(), kPmm.end(), id.begin() + 8);
  return id;
}

// A FeliCa card on a PaSoRi reader as PC/SC shows it.
void LayFelicaCard(FakeCard& card) {
  card.atr = {0x3B, 0x8F, 0x80, 0x01, 0x80, 0x4F, 0x0C, 0xA0, 0x00, 0x00,
              0x03, 0x06, 0x11, 0x00, 0x3B, 0x00, 0x00, 0x00, 0x00, 0x42};
  card.Answer(kCardTypeCommand, {0x04, 0x90, 0x00});
  Bytes id(kIdm.begin(), kIdm.end());
  id.insert(id.end(), {0x90, 0x00});
  card.Answer(kIdCommand, id);
  Bytes pmm(kPmm.begin(), kPmm.end());
  pmm.insert(pmm.end(), {0x90, 0x00});
  card.Answer(kPmmCommand, pmm);
}

struct RealPollFixture : CheckerFixture {
  ScriptedSmartCard smartCard;
  FakeFelica felica;
  CardAccess access{Flavour::Checker, smartCard, felica};
  CardAccessPoller realPoller{access};
  Checker real{realPoller, registry, system, session, debug, window, wait, events};

  void RegisterFelica(uint32_t type) {
    Register(FelicaIdentity(), u"alice");
    SetRemoval(FelicaIdentity(), type, 1);
  }
};

TEST_F(RealPollFixture, PasoriCardGoesComesBackAndReaderIsUnplugged) {
  RegisterFelica(0x10);
  felica.loadSucceeds = false;
  LayFelicaCard(smartCard.PutCard(kPasori));
  ASSERT_EQ(StartWatch(real), 1);
  EXPECT_EQ(real.saved, FelicaIdentity());
  EXPECT_TRUE(debug.lines.empty());

  WatchTick(real);  // still there
  smartCard.FindReader(kPasori)->hasCard = false;
  WatchTick(real);  // gone
  smartCard.FindReader(kPasori)->hasCard = true;
  WatchTick(real);  // back
  smartCard.FindReader(kPasori)->connectResult = ScResult::NoReaders;
  WatchTick(real);  // reader unplugged

  EXPECT_EQ(debug.lines, Lines({u"shutdown\n", u"shutdown\n"}));
  EXPECT_EQ(session.exitCalls, (std::vector<uint32_t>{0x10, 0x10}));
  // Readers are discovered once; the poll keeps no connection between ticks.
  EXPECT_EQ(smartCard.establishCount, 1);
  EXPECT_EQ(smartCard.OpenConnections(), 0);
  EXPECT_TRUE(smartCard.errors.empty());
}

TEST_F(RealPollFixture, StartForgetsReadersSoTheFirstPollDiscoversThem) {
  RegisterFelica(0x10);
  felica.loadSucceeds = false;
  LayFelicaCard(smartCard.PutCard(kPasori));
  access.readerKind = kOtherReaders;  // stale state with an empty table
  access.readerCount = 0;
  ASSERT_EQ(StartWatch(real), 1);
  EXPECT_EQ(smartCard.establishCount, 1);
  EXPECT_EQ(access.readerKind, kPasoriReader);
}

TEST_F(RealPollFixture, LibraryCardWithoutPcscReader) {
  RegisterFelica(0x11);
  smartCard.establishResult = ScResult::NoService;
  felica.SetCard(kIdm, kPmm);
  ASSERT_EQ(StartWatch(real), 1);
  EXPECT_TRUE(felica.loaded);
  WatchTick(real);
  EXPECT_TRUE(debug.lines.empty());
  felica.numberOfCards = 0;  // card taken off the library's reader
  WatchTick(real);
  EXPECT_EQ(debug.lines, Lines({u"shutdown\n"}));
  EXPECT_EQ(session.exitCalls, std::vector<uint32_t>{0x11});
}

TEST_F(RealPollFixture, NoReaderAndNoLibraryMeansNoCard) {
  RegisterFelica(0x10);
  smartCard.establishResult = ScResult::NoService;
  felica.loadSucceeds = false;
  EXPECT_EQ(StartWatch(real), 0);
  EXPECT_EQ(debug.lines, Lines({u"no card\n"}));
  EXPECT_EQ(window.creates, 0);
  // Every second of the bounded wait asks for the service again.
  EXPECT_EQ(wait.nowMs, 30000u);
  EXPECT_EQ(smartCard.establishCount, 31);
}

// The smart-card service starts at second 5 with the card already on the
// reader: each retry establishes a new context, none stays behind.
TEST_F(RealPollFixture, ServiceStartingLateIsWaitedFor) {
  RegisterFelica(0x10);
  felica.loadSucceeds = false;
  smartCard.establishResult = ScResult::NoService;
  wait.onWaited = [&](uint64_t nowMs) {
    if (nowMs == 5000) {
      smartCard.establishResult = ScResult::Ok;
      LayFelicaCard(smartCard.PutCard(kPasori));
    }
  };
  ASSERT_EQ(StartWatch(real), 1);
  EXPECT_TRUE(debug.lines.empty());
  EXPECT_EQ(wait.nowMs, 5000u);
  EXPECT_EQ(smartCard.establishCount, 6);
  EXPECT_EQ(smartCard.LiveContexts(), 1);
  EXPECT_EQ(real.saved, FelicaIdentity());
  WatchTick(real);
  smartCard.FindReader(kPasori)->hasCard = false;
  WatchTick(real);
  EXPECT_EQ(session.exitCalls, std::vector<uint32_t>{0x10});
  EXPECT_TRUE(smartCard.errors.empty());
}

// The service runs but lists no reader until second 3: the context of each
// empty discovery is released before the next one.
TEST_F(RealPollFixture, ReaderEnumeratedLateIsWaitedFor) {
  RegisterFelica(0x10);
  felica.loadSucceeds = false;
  wait.onWaited = [&](uint64_t nowMs) {
    if (nowMs == 3000) LayFelicaCard(smartCard.PutCard(kPasori));
  };
  ASSERT_EQ(StartWatch(real), 1);
  EXPECT_EQ(wait.nowMs, 3000u);
  EXPECT_EQ(smartCard.establishCount, 4);
  EXPECT_EQ(smartCard.LiveContexts(), 1);
  EXPECT_EQ(access.readerKind, kPasoriReader);
  EXPECT_TRUE(smartCard.errors.empty());
}

// A reader without a card is a final answer: a password logon leaves no
// process waiting.
TEST_F(RealPollFixture, ReaderWithoutCardIsDecidedAtOnce) {
  RegisterFelica(0x10);
  felica.loadSucceeds = false;
  smartCard.AddReader(kPasori);
  EXPECT_EQ(StartWatch(real), 0);
  EXPECT_EQ(debug.lines, Lines({u"no card\n"}));
  EXPECT_TRUE(wait.waits.empty());
  EXPECT_EQ(smartCard.establishCount, 1);
}

// Without a PC/SC reader the FeliCa library is asked again each second too.
TEST_F(RealPollFixture, LibraryCardComingLateIsWaitedFor) {
  RegisterFelica(0x11);
  smartCard.establishResult = ScResult::NoService;
  felica.SetCard(kIdm, kPmm);
  felica.numberOfCards = 0;
  wait.onWaited = [&](uint64_t nowMs) {
    if (nowMs == 2000) felica.numberOfCards = 1;
  };
  ASSERT_EQ(StartWatch(real), 1);
  EXPECT_EQ(wait.nowMs, 2000u);
  EXPECT_EQ(real.saved, FelicaIdentity());
}

// --- the audit trail ---------------------------------------------------------

std::u16string KeyText(const CardIdentity& card) {
  const std::u16string path = RecordPath(card);
  return path.substr(path.rfind(u'\\') + 1);
}

TEST_F(CheckerFixture, ArmedNamesTheAccountTheRecordTheActionAndTheInterval) {
  Register(kCard, u"alice");
  SetRemoval(kCard, 0x11, 30);
  poller.PutCard(kCard);
  ASSERT_EQ(StartWatch(checker), 1);
  ASSERT_EQ(events.events.size(), 1u);
  EXPECT_EQ(events.events[0].type, EventType::Information);
  EXPECT_EQ(events.events[0].strings,
            (std::vector<std::u16string>{u"alice", KeyText(kCard),
                                         u"shut down, forced (ExitWindowsEx 0x00000011)", u"30"}));
}

// The account is the one Windows names, not the user name decrypted from the
// record (the two match under a Microsoft account only by its principal).
TEST_F(CheckerFixture, ArmedNamesTheLoggedOnAccountNotTheRecordsUser) {
  Register(kCard, kPrincipal);
  SetRemoval(kCard, 0x10, 1);
  system.SetMicrosoftAccount(kPrincipal, u"MicrosoftAccount");
  poller.PutCard(kCard);
  ASSERT_EQ(StartWatch(checker), 1);
  ASSERT_EQ(events.events.size(), 1u);
  EXPECT_EQ(events.events[0].strings[0], u"alice");
  EXPECT_FALSE(events.AnyStringContains(kPrincipal));
}

// One removal, one tick: the event it leaves, with its strings after the
// account and the record key.
struct GoneCase {
  const char* name;
  uint32_t type;
  bool lock;
  bool privilege;
  bool taken;  // ExitWindowsEx or LockWorkStation accepted the request
  uint32_t code;
  uint32_t event;
  EventType level;
  std::vector<std::u16string> rest;
};

class CardGoneEventTest : public LockFixture, public ::testing::WithParamInterface<GoneCase> {};

TEST_P(CardGoneEventTest, SaysWhatWasRequestedAndHowItWent) {
  const GoneCase& c = GetParam();
  if (c.lock) {
    ArmLock();
  } else {
    ArmOnCard(c.type);
  }
  session.privilegeGranted = c.privilege;
  session.exitSucceeds = c.taken;
  session.lockSucceeds = c.taken;
  session.failureCode = c.code;
  events.events.clear();
  poller.TakeCard();
  WatchTick(checker);
  ASSERT_EQ(events.Ids(), std::vector<uint32_t>{c.event});
  EXPECT_EQ(events.events[0].type, c.level);
  std::vector<std::u16string> strings{u"alice", KeyText(kCard)};
  strings.insert(strings.end(), c.rest.begin(), c.rest.end());
  EXPECT_EQ(events.events[0].strings, strings);
  EXPECT_TRUE(events.misuse.empty()) << events.misuse[0];
}

INSTANTIATE_TEST_SUITE_P(
    Removals, CardGoneEventTest,
    ::testing::Values(
        GoneCase{"LogOffTaken", 0x10, false, true, true, 0, 2002, EventType::Warning,
                 {u"log off, forced (ExitWindowsEx 0x00000010)"}},
        GoneCase{"LogOffRefused", 0x0, false, true, false, 1115, 2003, EventType::Warning,
                 {u"log off (ExitWindowsEx 0x00000000)", u"1115"}},
        GoneCase{"RestartTaken", 0x2, false, true, true, 0, 2002, EventType::Warning,
                 {u"restart (ExitWindowsEx 0x00000002)"}},
        GoneCase{"ShutDownWithoutThePrivilege", 0x1, false, false, true, 1300, 2004,
                 EventType::Error,
                 {u"shut down (ExitWindowsEx 0x00000001)", u"SeShutdownPrivilege", u"1300"}},
        GoneCase{"FlagsNoEntryNames", 0x8, false, true, true, 0, 2002, EventType::Warning,
                 {u"ExitWindowsEx 0x00000008"}},
        GoneCase{"LockTaken", 0, true, true, true, 0, 2002, EventType::Warning,
                 {u"lock (LockWorkStation)"}},
        GoneCase{"LockRefused", 0, true, true, false, 5, 2003, EventType::Warning,
                 {u"lock (LockWorkStation)", u"5"}}),
    [](const ::testing::TestParamInfo<GoneCase>& info) { return std::string(info.param.name); });

// The request repeats at every tick while the card is away; the log says it
// once per removal, and again only when the outcome changes.
TEST_F(CheckerFixture, AnAbsenceIsLoggedOnceUnlessItsOutcomeChanges) {
  ArmOnCard(0x10);
  events.events.clear();
  session.exitSucceeds = false;
  session.failureCode = 1115;
  poller.TakeCard();
  WatchTick(checker);
  WatchTick(checker);  // refused again, the same way: not logged again
  session.failureCode = 21;
  WatchTick(checker);  // refused another way
  session.exitSucceeds = true;
  WatchTick(checker);  // taken
  WatchTick(checker);
  poller.PutCard(kCard);
  WatchTick(checker);
  poller.TakeCard();
  WatchTick(checker);  // a new removal
  EXPECT_EQ(session.exitCalls.size(), 6u);
  EXPECT_EQ(events.Ids(), (std::vector<uint32_t>{2003, 2003, 2002, 2002}));
  EXPECT_EQ(events.events[1].strings.back(), u"21");
}

TEST_F(CheckerFixture, NoEventEverHoldsThePassword) {
  Register(kCard, u"alice", u"Pa55-w0rd", u"DESKTOP");
  SetRemoval(kCard, 0x01, 1);
  poller.PutCard(kCard);
  ASSERT_EQ(StartWatch(checker), 1);
  poller.TakeCard();
  session.privilegeGranted = false;
  WatchTick(checker);
  session.privilegeGranted = true;
  session.exitSucceeds = false;
  WatchTick(checker);
  session.exitSucceeds = true;
  WatchTick(checker);
  ASSERT_EQ(events.Ids(), (std::vector<uint32_t>{2001, 2004, 2003, 2002}));
  EXPECT_FALSE(events.AnyStringContains(u"Pa55-w0rd"));
  EXPECT_FALSE(events.AnyStringContains(u"DESKTOP"));
}

}  // namespace
}  // namespace orvane
