#include "tools/admin_commands.h"

#include <cstdio>
#include <vector>

#include "card/identity.h"
#include "platform/utf.h"
#include "store/login_record.h"
#include "store/shared_names.h"
#include "tools/cli_common.h"

namespace orvane {

namespace {

constexpr uint32_t kNameCapacity = 260;
constexpr uint32_t kCommentBytes = 2 * kTextSize;  // what every reader of "comment" takes
constexpr uint32_t kForceIfHung = 0x10;
constexpr uint32_t kMinLoginData = 32;  // the shortest plaintext, padded: 18 bytes, one block more
constexpr uint32_t kBlock = 16;

const char kRecordsKeyText[] = "HKEY_LOCAL_MACHINE\\" ORVANE_KEY_PATH_TEXT;

std::string Utf8(const std::u16string& text) { return Utf16ToUtf8(text); }

std::string Hex32(uint32_t v) {
  char text[16];
  std::snprintf(text, sizeof text, "0x%08x", static_cast<unsigned>(v));
  return text;
}

const char* TypeName(uint32_t type) {
  switch (type) {
    case regtype::kNone: return "REG_NONE";
    case regtype::kSz: return "REG_SZ";
    case regtype::kExpandSz: return "REG_EXPAND_SZ";
    case regtype::kBinary: return "REG_BINARY";
    case regtype::kDword: return "REG_DWORD";
    case regtype::kMultiSz: return "REG_MULTI_SZ";
    case regtype::kQword: return "REG_QWORD";
    default: return "other type";
  }
}

// Size and type of a value without reading it.
RegResult ValueSize(RegistryPort& registry, RegKeyHandle key, const char16_t* name,
                    uint32_t& type, uint32_t& size) {
  type = regtype::kNone;
  size = 0;
  return registry.QueryValue(key, name, &type, nullptr, &size);
}

// A text value of at most maxUnits code units (a terminator, if stored, not
// counted); false when absent, unreadable or longer.
bool ReadText(RegistryPort& registry, RegKeyHandle key, const char16_t* name,
              uint32_t maxUnits, std::u16string& out) {
  out.clear();
  uint32_t type = 0, size = 0;
  if (ValueSize(registry, key, name, type, size) != RegResult::Ok) return false;
  if (size > 2 * (maxUnits + 1)) return false;
  std::vector<unsigned char> bytes(size + 2, 0);
  uint32_t got = size;
  if (registry.QueryValue(key, name, &type, bytes.data(), &got) != RegResult::Ok || got > size)
    return false;
  for (uint32_t i = 0; i + 1 < got; i += 2) {
    const char16_t c = static_cast<char16_t>(bytes[i] | (bytes[i + 1] << 8));
    if (c == 0) break;
    out.push_back(c);
  }
  return out.size() <= maxUnits;
}

std::u16string RecordPath(const std::u16string& name) {
  return std::u16string(names::kOrvaneKey) + u'\\' + name;
}

std::string RemovalWords(uint32_t type) {
  if (type == kNoRemovalAction) return "none";
  std::string words;
  switch (type & ~kForceIfHung) {
    case 0: words = "log off"; break;
    case 1: words = "shut down"; break;
    case 2: words = "reboot"; break;
    default: return "unknown (type " + Hex32(type) + ")";
  }
  if (type & kForceIfHung) words += ", forced";
  return words;
}

// A record key is "%x" of a nonzero 32-bit value: what no other name can be.
bool IsRecordKeyName(const std::u16string& name) {
  const uint32_t value = ParseRecordKey(name.c_str());
  if (value == 0) return false;
  char16_t text[kRecordKeyTextSize];
  FormatRecordKey(value, text);
  return name == text;
}

// The sound key shares the records key; registry names ignore case.
bool IsSoundKeyName(const std::u16string& name) {
  static const char16_t kSound[] = u"sound";
  if (name.size() != sizeof kSound / sizeof kSound[0] - 1) return false;
  for (std::size_t i = 0; i < name.size(); ++i) {
    const char16_t c = name[i] >= u'A' && name[i] <= u'Z' ? name[i] + 32 : name[i];
    if (c != kSound[i]) return false;
  }
  return true;
}

struct RecordFacts {
  std::u16string name;
  bool nameOk = true;
  bool hasComment = false;
  bool commentTooLong = false;
  RecordComment comment;
  bool hasData = false;
  uint32_t dataType = 0;
  uint32_t dataSize = 0;
  uint32_t type = kNoRemovalAction;
  uint32_t interval = kDefaultInterval;
  bool intervalStored = false;
  bool openable = true;

  bool DataLengthOk() const {
    return dataSize % kBlock == 0 && dataSize >= kMinLoginData && dataSize <= kMaxLoginData;
  }
  std::vector<const char*> Flags() const {
    std::vector<const char*> flags;
    if (!openable) flags.push_back("unreadable");
    if (!nameOk) flags.push_back("key-name");
    if (!hasData) flags.push_back("no-data");
    else if (!DataLengthOk()) flags.push_back("data-length");
    if (!hasComment) flags.push_back("no-comment");
    else if (commentTooLong) flags.push_back("comment-length");
    return flags;
  }
};

RecordFacts ReadRecordFacts(RegistryPort& registry, const std::u16string& name) {
  RecordFacts facts;
  facts.name = name;
  facts.nameOk = IsRecordKeyName(name);
  RegKey key(registry);
  if (key.Open(RegRoot::LocalMachine, RecordPath(name).c_str(), RegAccess::QueryValue) !=
      RegResult::Ok) {
    facts.openable = false;
    facts.hasData = facts.hasComment = true;  // unknown: not flagged twice
    facts.dataSize = kMinLoginData;
    return facts;
  }
  uint32_t type = 0, size = 0;
  if (ValueSize(registry, key.handle(), names::kComment, type, size) == RegResult::Ok) {
    facts.hasComment = true;
    facts.commentTooLong = size > kCommentBytes;
    if (!facts.commentTooLong) ReadComment(registry, key.handle(), facts.comment);
  }
  const RegResult data = ValueSize(registry, key.handle(), names::kData, facts.dataType,
                                   facts.dataSize);
  facts.hasData = data == RegResult::Ok || data == RegResult::MoreData;
  facts.type = ReadDwordValue(registry, key.handle(), names::kType, kNoRemovalAction);
  facts.interval = ReadDwordValue(registry, key.handle(), names::kInterval, kDefaultInterval);
  facts.intervalStored =
      ValueSize(registry, key.handle(), names::kInterval, type, size) == RegResult::Ok && size == 4;
  return facts;
}

// Every sub-key of the records key but the sound key; NotFound when there is
// no records key at all.
RegResult CollectRecords(RegistryPort& registry, std::vector<RecordFacts>& records,
                         int& unnamed) {
  unnamed = 0;
  RegKey parent(registry);
  const RegResult opened = parent.Open(RegRoot::LocalMachine, names::kOrvaneKey, RegAccess::Enumerate);
  if (opened != RegResult::Ok) return opened;
  for (uint32_t index = 0;; ++index) {
    char16_t name[kNameCapacity] = {};
    uint32_t length = kNameCapacity;
    const RegResult r = registry.EnumKey(parent.handle(), index, name, &length);
    if (r == RegResult::MoreData) {
      ++unnamed;  // no record key is that long
      continue;
    }
    if (r != RegResult::Ok) break;
    if (length >= kNameCapacity) length = kNameCapacity - 1;
    const std::u16string keyName(name, length);
    if (IsSoundKeyName(keyName)) continue;
    records.push_back(ReadRecordFacts(registry, keyName));
  }
  return RegResult::Ok;
}

const char* ResultWords(RegResult r) {
  switch (r) {
    case RegResult::AccessDenied: return "access denied";
    case RegResult::NotFound: return "not found";
    default: return "failed";
  }
}

}  // namespace

int ListRecords(RegistryPort& registry, std::string& out) {
  std::vector<RecordFacts> records;
  int unnamed = 0;
  out += std::string("key: ") + kRecordsKeyText + "\n";
  const RegResult r = CollectRecords(registry, records, unnamed);
  if (r != RegResult::Ok && r != RegResult::NotFound) {
    out += std::string("error: the records key cannot be read (") + ResultWords(r) + ")\n";
    return kAdminFailures;
  }
  int flagged = unnamed;
  for (const RecordFacts& facts : records) {
    out += "\nrecord " + Utf8(facts.name) + "\n";
    if (facts.openable) {
      out += "    time: " + (facts.hasComment && !facts.commentTooLong && facts.comment.time[0]
                                 ? Utf8(facts.comment.time)
                                 : std::string("-")) + "\n";
      out += "    description: " +
             (facts.hasComment && !facts.commentTooLong ? Utf8(facts.comment.description)
                                                        : std::string("-")) + "\n";
      out += "    removal: " + RemovalWords(facts.type) + "\n";
      out += "    interval: " + std::to_string(facts.interval) + " s" +
             (facts.intervalStored ? "" : " (default)") + "\n";
      out += "    data: " + (facts.hasData ? std::to_string(facts.dataSize) + " bytes " +
                                                 TypeName(facts.dataType)
                                           : std::string("missing")) + "\n";
    }
    const std::vector<const char*> flags = facts.Flags();
    std::string line = "    flags:";
    for (const char* f : flags) line += std::string(" ") + f;
    out += (flags.empty() ? std::string("    flags: none") : line) + "\n";
    if (!flags.empty()) ++flagged;
  }
  if (unnamed) out += "\nskipped: " + std::to_string(unnamed) + " sub-keys with names too long for a record key\n";
  out += "\nrecords: " + std::to_string(records.size()) + " flagged: " + std::to_string(flagged) + "\n";
  return flagged ? kAdminWarnings : kAdminOk;
}

namespace {

struct DoctorReport {
  std::string& out;
  int ok = 0, warn = 0, fail = 0;
  void Ok(const char* check, const std::string& sentence) { Line("OK  ", check, sentence); ++ok; }
  void Warn(const char* check, const std::string& sentence) { Line("WARN", check, sentence); ++warn; }
  void Fail(const char* check, const std::string& sentence) { Line("FAIL", check, sentence); ++fail; }
  void Line(const char* status, const char* check, const std::string& sentence) {
    out += std::string(status) + " " + check + ": " + sentence + "\n";
  }
};

std::string Plural(int n, const char* one, const char* many) {
  return std::to_string(n) + " " + (n == 1 ? one : many);
}

}  // namespace

int RunDoctor(DoctorEnvironment& env, std::string& out) {
  DoctorReport report{out};
  RegistryPort& registry = env.registry;

  if (env.reads32BitView)
    report.Ok("registry-view", "this build reads the 32-bit registry view, as the programs do.");
  else
    report.Warn("registry-view",
                "this build reads the 64-bit registry view; the programs and the logon component "
                "read the 32-bit view, which may hold other records.");

  // Readers as the settings program finds them.
  CardAccess& cards = env.cards;
  LoadFelicaLibrary(cards);
  DiscoverReaders(cards);
  const bool library = cards.libraryLoaded;
  if (cards.readerCount > 0) {
    std::string names;
    for (int i = 0; i < cards.readerCount; ++i)
      names += (i ? ", " : "") + Utf8(cards.readers[i].name);
    report.Ok("pcsc", Plural(cards.readerCount, "PC/SC reader", "PC/SC readers") + ": " + names + ".");
  } else if (library) {
    report.Warn("pcsc", "no PC/SC reader; cards can be read through the FeliCa library only.");
  } else {
    report.Fail("pcsc", "no PC/SC reader and no FeliCa library: no card can be read.");
  }
  if (library)
    report.Ok("felica", "the FeliCa library is loaded with all its entry points.");
  else
    report.Warn("felica", "the FeliCa library is not available; FeliCa cards are read through PC/SC only.");

  // The card now on the reader, read as the settings program registers it.
  if (cards.readerCount == 0 && !library) {
    report.Warn("card", "no card can be read without a reader.");
  } else if (!PollCard(cards)) {
    report.Warn("card", "no card on the reader.");
  } else if (cards.cardKind == 2 || cards.cardKind == 8) {
    report.Warn("card", "the card on the reader cannot be used (card kind " +
                            std::to_string(cards.cardKind) + ").");
  } else {
    const std::string id = IdentityHex(cards.identity);
    const std::string keyText = RecordKeyText(cards.identity);
    CardIdentity permuted{};
    char16_t key16[kRecordKeyTextSize];
    FormatRecordKey(RecordKeyValue(cards.identity, permuted), key16);
    const RecordFacts facts = ReadRecordFacts(registry, key16);
    const bool exists = facts.openable;
    if (!exists)
      report.Warn("card", "card " + id + " has no record (record key " + keyText + "): it cannot sign in.");
    else if (!facts.hasData || !facts.DataLengthOk())
      report.Fail("card", "card " + id + " has record " + keyText + ", but its data cannot be used.");
    else
      report.Ok("card", "card " + id + " has record " + keyText + ", registered " +
                            (facts.comment.time[0] ? Utf8(facts.comment.time) : std::string("at an unknown time")) + ".");
  }
  ReleaseReaders(cards);

  // The records.
  std::vector<RecordFacts> records;
  int unnamed = 0;
  const RegResult listed = CollectRecords(registry, records, unnamed);
  bool anyRemoval = false;
  int flagged = unnamed;
  for (const RecordFacts& facts : records) {
    if (!facts.Flags().empty()) ++flagged;
    if (facts.openable && facts.type != kNoRemovalAction) anyRemoval = true;
  }
  if (listed != RegResult::Ok && listed != RegResult::NotFound)
    report.Fail("records", std::string("the records key cannot be read (") + ResultWords(listed) + ").");
  else if (records.empty())
    report.Warn("records", "no card is registered on this PC.");
  else if (flagged)
    report.Warn("records", Plural(static_cast<int>(records.size()), "record", "records") + ", " +
                               std::to_string(flagged) + " flagged (orvane-card records shows them).");
  else
    report.Ok("records", Plural(static_cast<int>(records.size()), "record", "records") + ", none flagged.");

  // The checker's autostart for the user running this.
  std::u16string run;
  RegKey runKey(registry);
  const bool haveRun =
      runKey.Open(RegRoot::CurrentUser, names::kRunKey, RegAccess::QueryValue) == RegResult::Ok &&
      ReadText(registry, runKey.handle(), names::kRunValue, kTextSize - 1, run);
  if (!haveRun) {
    if (anyRemoval)
      report.Warn("run-value", "no \"OrvaneChecker\" Run value for this user, but a record has a "
                               "removal action: the checker does not start at this user's logon.");
    else
      report.Ok("run-value", "no \"OrvaneChecker\" Run value, and no record has a removal action.");
  } else {
    std::u16string path = run;
    if (path.size() >= 2 && path.front() == u'"' && path.back() == u'"') path = path.substr(1, path.size() - 2);
    if (env.files.FileExists(path.c_str()))
      report.Ok("run-value", "the checker starts at logon from " + Utf8(path) + ".");
    else
      report.Fail("run-value", "the Run value points to " + Utf8(path) +
                                   ", which does not exist: the checker cannot start.");
  }

  // The recognition sound.
  RegKey sound(registry);
  if (sound.Open(RegRoot::LocalMachine, names::kSoundKey, RegAccess::QueryValue) != RegResult::Ok) {
    report.Ok("sound", "no recognition sound is set.");
  } else {
    const uint32_t flag = ReadDwordValue(registry, sound.handle(), names::kSoundFlag, 0);
    std::u16string file;
    const bool haveFile = ReadText(registry, sound.handle(), names::kSoundFile, kTextSize - 1, file);
    if (flag == 0) {
      report.Ok("sound", "the recognition sound is off.");
    } else if (flag != 1 && flag != 2) {
      report.Warn("sound", "the sound key's \"flag\" is " + std::to_string(flag) +
                               ", which neither program knows: no sound plays.");
    } else if (!haveFile || file.empty()) {
      report.Warn("sound", "a recognition sound is on, but no readable file is set: no sound plays.");
    } else if (!env.files.FileExists(file.c_str())) {
      report.Warn("sound", "the sound file " + Utf8(file) + " does not exist: no sound plays.");
    } else {
      report.Ok("sound", std::string("plays ") + Utf8(file) +
                             (flag == 1 ? " when a card is recognised." : " when the user is recognised."));
    }
  }

  out += "doctor: " + std::to_string(report.ok) + " OK, " + std::to_string(report.warn) +
         " WARN, " + std::to_string(report.fail) + " FAIL\n";
  if (report.fail) return kAdminFailures;
  return report.warn ? kAdminWarnings : kAdminOk;
}

}  // namespace orvane
