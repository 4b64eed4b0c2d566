// orvane-write-record IDENTITY USER PASSWORD TARGET TYPE INTERVAL [LOCK]
// Writes a card's login record into the registry as the settings program
// does: "data" and "comment" with WriteLoginRecord, then "type", "lock" and
// "interval" as DWORDs. IDENTITY is 32 hex digits; TYPE, INTERVAL and LOCK
// are numbers (0x.. for hex) or "none" to leave the value out. Without LOCK
// there is no "lock", whatever an earlier record of the card had.
// orvane-write-record IDENTITY --delete removes the card's record.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cwchar>
#include <string>
#include <vector>

#include "card/identity.h"
#include "platform/registry_port.h"
#include "platform/std/std_clock_random.h"
#include "platform/win32/win_registry.h"
#include "store/login_record.h"
#include "tools/hex.h"

namespace {

// 32 hex digits, nothing else.
bool ParseIdentity(const wchar_t* text, orvane::CardIdentity& out) {
  std::string narrow;
  for (const wchar_t* p = text; *p; ++p) {
    if (*p > 0x7F || *p == L' ' || *p == L'\t') return false;
    narrow += static_cast<char>(*p);
  }
  std::vector<unsigned char> bytes;
  if (narrow.size() != 32 || !orvane::ParseHex(narrow, bytes)) return false;
  std::copy(bytes.begin(), bytes.end(), out.begin());
  return true;
}

// "none" -> absent; otherwise a number in 32 bits.
bool ParseDword(const wchar_t* text, bool* present, uint32_t* value) {
  if (std::wcscmp(text, L"none") == 0) {
    *present = false;
    return true;
  }
  wchar_t* end = nullptr;
  unsigned long long v = std::wcstoull(text, &end, 0);
  if (end == text || *end != 0 || v > 0xFFFFFFFFull) return false;
  *present = true;
  *value = static_cast<uint32_t>(v);
  return true;
}

const char16_t* U(const wchar_t* s) { return reinterpret_cast<const char16_t*>(s); }

}  // namespace

int wmain(int argc, wchar_t** argv) {
  orvane::CardIdentity identity{};
  if (argc == 3 && std::wcscmp(argv[2], L"--delete") == 0 && ParseIdentity(argv[1], identity)) {
    orvane::WinRegistry registry;
    orvane::CardIdentity permuted;
    orvane::RegResult r =
        orvane::DeleteLoginRecord(registry, orvane::RecordKeyValue(identity, permuted));
    if (r != orvane::RegResult::Ok && r != orvane::RegResult::NotFound) {
      std::fwprintf(stderr, L"cannot delete the record\n");
      return 1;
    }
    std::wprintf(L"record deleted\n");
    return 0;
  }
  bool haveType = false, haveInterval = false, haveLock = false;
  uint32_t type = 0, interval = 0, lock = 0;
  if ((argc != 7 && argc != 8) || !ParseIdentity(argv[1], identity) ||
      !ParseDword(argv[5], &haveType, &type) || !ParseDword(argv[6], &haveInterval, &interval) ||
      (argc == 8 && !ParseDword(argv[7], &haveLock, &lock))) {
    std::fwprintf(stderr,
                  L"usage: orvane-write-record IDENTITY(32 hex) USER PASSWORD TARGET TYPE|none "
                  L"INTERVAL|none [LOCK|none]\n       orvane-write-record IDENTITY --delete\n");
    return 2;
  }
  orvane::WinRegistry registry;
  orvane::StdClock clock;
  orvane::StdRandom random;
  orvane::WriteResult written = orvane::WriteLoginRecord(
      registry, clock, random, identity, U(argv[2]), U(argv[3]), U(argv[4]), u"wine test");
  if (written != orvane::WriteResult::Ok) {
    std::fwprintf(stderr, L"writing the record failed (%d)\n", static_cast<int>(written));
    return 1;
  }
  orvane::CardIdentity permuted;
  char16_t path[orvane::kRecordPathSize];
  orvane::FormatRecordPath(orvane::RecordKeyValue(identity, permuted), path);
  orvane::RegKey key(registry);
  if (key.Create(orvane::RegRoot::LocalMachine, path) != orvane::RegResult::Ok) {
    std::fwprintf(stderr, L"cannot open the record key\n");
    return 1;
  }
  struct {
    bool present;
    const char16_t* name;
    uint32_t value;
  } dwords[] = {{haveType, u"type", type},
                {haveLock, u"lock", lock},
                {haveInterval, u"interval", interval}};
  for (const auto& d : dwords) {
    orvane::RegResult r =
        d.present ? registry.SetValue(key.handle(), d.name, orvane::regtype::kDword,
                                      reinterpret_cast<const unsigned char*>(&d.value), 4)
                  : registry.DeleteValue(key.handle(), d.name);
    if (r != orvane::RegResult::Ok && !(r == orvane::RegResult::NotFound && !d.present)) {
      std::fwprintf(stderr, L"cannot write %ls\n", reinterpret_cast<const wchar_t*>(d.name));
      return 1;
    }
  }
  std::wprintf(L"record %ls written\n", reinterpret_cast<const wchar_t*>(path));
  return 0;
}
