// Heap allocations per tick of an armed checker, on the real card-access code.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <new>

#include "card/card_access.h"
#include "checker/checker.h"
#include "tests/fakes/checker_fakes.h"
#include "tests/fakes/fake_registry.h"
#include "store/login_record.h"

namespace {
bool g_counting = false;
long g_allocations = 0;
void Count() {
  if (g_counting) ++g_allocations;
}
}  // namespace

extern "C" {
void* __real_malloc(std::size_t);
void* __real_calloc(std::size_t, std::size_t);
void* __real_realloc(void*, std::size_t);
void* __wrap_malloc(std::size_t n) {
  Count();
  return __real_malloc(n);
}
void* __wrap_calloc(std::size_t n, std::size_t m) {
  Count();
  return __real_calloc(n, m);
}
void* __wrap_realloc(void* p, std::size_t n) {
  Count();
  return __real_realloc(p, n);
}
}

void* operator new(std::size_t n) {
  Count();
  if (void* p = __real_malloc(n == 0 ? 1 : n)) return p;
  throw std::bad_alloc();
}
void* operator new[](std::size_t n) { return operator new(n); }
void* operator new(std::size_t n, const std::nothrow_t&) noexcept {
  Count();
  return __real_malloc(n == 0 ? 1 : n);
}
void* operator new[](std::size_t n, const std::nothrow_t& t) noexcept { return operator new(n, t); }
void operator delete(void* p) noexcept { std::free(p); }
void operator delete[](void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }
void operator delete[](void* p, std::size_t) noexcept { std::free(p); }

namespace orvane {
namespace {

const unsigned char kIdm[8] = {0x01, 0x2E, 0x4C, 0xD8, 0x2A, 0x1B, 0x3C, 0x4D};
const unsigned char kPmm[8] = {0x03, 0x01, 0x4B, 0x02, 0x4F, 0x49, 0x93, 0xFF};

// One PaSoRi reader with a FeliCa card, answered from fixed buffers.
class StaticSmartCard : public SmartCardPort {
 public:
  bool establishes = true;
  bool cardPresent = true;
  ScResult EstablishContext(ScContext* context) override {
    *context = 1;
    return establishes ? ScResult::Ok : ScResult::NoService;
  }
  ScResult ListReaders(ScContext, char16_t* names, uint32_t* length) override {
    static const char16_t kList[] = u"Sony PaSoRi 0\0";
    const uint32_t n = sizeof kList / sizeof kList[0];
    if (names == nullptr) {
      *length = n;
      return ScResult::Ok;
    }
    if (*length < n) return ScResult::InsufficientBuffer;
    std::memcpy(names, kList, sizeof kList);
    *length = n;
    return ScResult::Ok;
  }
  ScResult Connect(ScContext, const char16_t*, ScCard* card) override {
    if (!cardPresent) return ScResult::NoCard;
    *card = 7;
    return ScResult::Ok;
  }
  ScResult Status(ScCard, unsigned char* atr, uint32_t* length) override {
    static const unsigned char kAtr[] = {0x3B, 0x8F, 0x80, 0x01, 0x80, 0x4F, 0x0C, 0xA0, 0x00, 0x00,
                                         0x03, 0x06, 0x11, 0x00, 0x3B, 0x00, 0x00, 0x00, 0x00, 0x42};
    if (*length < sizeof kAtr) return ScResult::InsufficientBuffer;
    std::memcpy(atr, kAtr, sizeof kAtr);
    *length = sizeof kAtr;
    return ScResult::Ok;
  }
  ScResult Transmit(ScCard, const unsigned char* command, uint32_t, unsigned char* answer,
                    uint32_t* answerLength) override {
    unsigned char out[10];
    uint32_t n = 0;
    if (command[2] == 0xF3) {
      out[0] = 0x04;
      n = 1;
    } else if (command[2] == 0x00) {
      std::memcpy(out, kIdm, 8);
      n = 8;
    } else if (command[2] == 0x01) {
      std::memcpy(out, kPmm, 8);
      n = 8;
    } else {
      return ScResult::Failed;
    }
    out[n++] = 0x90;
    out[n++] = 0x00;
    if (*answerLength < n) return ScResult::InsufficientBuffer;
    std::memcpy(answer, out, n);
    *answerLength = n;
    return ScResult::Ok;
  }
  ScResult Disconnect(ScCard) override { return ScResult::Ok; }
  ScResult ReleaseContext(ScContext) override { return ScResult::Ok; }
};

// The FeliCa library, loadable or not, with the same card.
class StaticFelica : public FelicaPort {
 public:
  bool loads = true;
  bool cardPresent = true;
  bool CommonProgramFilesFolder(char16_t* out, std::size_t capacity) override {
    static const char16_t kFolder[] = u"C:\\Program Files\\Common Files";
    if (capacity < sizeof kFolder / sizeof kFolder[0]) return false;
    std::memcpy(out, kFolder, sizeof kFolder);
    return true;
  }
  bool Load(const char16_t*) override { return loads; }
  bool Resolve(const char*) override { return true; }
  void Unload() override {}
  int InitializeLibrary() override { return 1; }
  int OpenReaderWriterAuto() override { return 1; }
  int PollingAndGetCardInformation(const unsigned char*, unsigned char, unsigned char* cards,
                                   unsigned char* idm, unsigned char* pmm) override {
    *cards = cardPresent ? 1 : 0;
    if (cardPresent) {
      std::memcpy(idm, kIdm, 8);
      std::memcpy(pmm, kPmm, 8);
    }
    return 1;
  }
  int CloseReaderWriter() override { return 1; }
  int DisposeLibrary() override { return 1; }
};

class CountingSession : public SessionPort {
 public:
  int exits = 0;
  int locks = 0;
  bool EnableShutdownPrivilege() override { return true; }
  bool RequestSessionEnd(uint32_t) override {
    ++exits;
    return true;
  }
  bool LockWorkstation() override {
    ++locks;
    return true;
  }
};

class CountingDebug : public DebugOutputPort {
 public:
  int lines = 0;
  void Write(const char16_t*) override { ++lines; }
};

class FixedClock : public ClockPort {
 public:
  LocalTime Now() override { return {2026, 12, 9, 23, 0, 0}; }
  uint32_t SecondsSinceEpoch() override { return 1; }
};
class FixedRandom : public RandomPort {
 public:
  void Seed(uint32_t) override {}
  int Next() override { return 0x5A; }
};

struct AllocFixture : ::testing::Test {
  StaticSmartCard smartCard;
  StaticFelica felica;
  CardAccess access{Flavour::Checker, smartCard, felica};
  CardAccessPoller poller{access};
  FakeRegistry registry;
  FakeSystem system;
  CountingSession session;
  CountingDebug debug;
  FakeWatchWindow window;
  FakeWait wait;
  // Armed ticks log through the event port too; the adapter's own
  // allocations are Windows', so the port here keeps nothing.
  NoEventLog events;
  Checker checker{poller, registry, system, session, debug, window, wait, events};

  void Arm(uint32_t type, bool lock = false) {
    CardIdentity card{};
    std::memcpy(card.data(), kIdm, 8);
    std::memcpy(card.data() + 8, kPmm, 8);
    FixedClock clock;
    FixedRandom random;
    ASSERT_EQ(WriteLoginRecord(registry, clock, random, card, u"alice", u"secret", u"HOST", u""),
              WriteResult::Ok);
    CardIdentity permuted;
    char16_t path[kRecordPathSize];
    FormatRecordPath(RecordKeyValue(card, permuted), path);
    registry.SetDword(path, u"type", type);
    registry.SetDword(path, u"interval", 1);
    if (lock) registry.SetDword(path, u"lock", 1);
    ASSERT_EQ(StartWatch(checker), 1);
  }

  // Allocations during n ticks, with the card taken away every other tick.
  long TickAllocations(int n, bool* cardPresent) {
    g_allocations = 0;
    g_counting = true;
    for (int i = 0; i < n; ++i) {
      *cardPresent = (i % 2) == 0;
      WatchTick(checker);
    }
    g_counting = false;
    return g_allocations;
  }
};

TEST(AllocationCounter, SeesNewAndMalloc) {
  g_allocations = 0;
  g_counting = true;
  int* p = new int(1);
  void* q = std::malloc(16);
  g_counting = false;
  delete p;
  std::free(q);
  EXPECT_EQ(g_allocations, 2);
}

TEST_F(AllocFixture, PcscTicksAllocateNothing) {
  felica.loads = false;
  Arm(0x10);
  EXPECT_EQ(TickAllocations(1000, &smartCard.cardPresent), 0);
  EXPECT_EQ(session.exits, 500);
  EXPECT_EQ(debug.lines, 500);
}

TEST_F(AllocFixture, LibraryTicksAllocateNothing) {
  smartCard.establishes = false;  // no PC/SC: every tick looks for readers, then asks the library
  Arm(0x11);
  EXPECT_EQ(TickAllocations(1000, &felica.cardPresent), 0);
  EXPECT_EQ(session.exits, 500);
  EXPECT_EQ(debug.lines, 500);
}

TEST_F(AllocFixture, LockTicksAllocateNothing) {
  felica.loads = false;
  Arm(0, true);
  EXPECT_EQ(TickAllocations(1000, &smartCard.cardPresent), 0);
  EXPECT_EQ(session.locks, 500);
  EXPECT_EQ(session.exits, 0);
  EXPECT_EQ(debug.lines, 500);
}

}  // namespace
}  // namespace orvane
