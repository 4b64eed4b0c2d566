#include "tools/admin_commands.h"

#include <cstdio>
#include <vector>

#include "card/identity.h"
#include "platform/utf.h"
#include "store/login_record.h"
#include "store/registry_store.h"
#include "store/shared_names.h"
#include "store/sound_path.h"
#include "tools/cli_common.h"

namespace orvane {

namespace {

constexpr uint32_t kNameCapacity = 260;
constexpr uint32_t kCommentBytes = 2 * kTextSize;  // what every reader of "comment" takes
constexpr uint32_t kMinLoginData = 32;  // the shortest plaintext, padded: 18 bytes, one block more
constexpr uint32_t kBlock = 16;
// The interval field of the settings program takes six digits, from 1.
constexpr uint32_t kMinInterval = 1;
constexpr uint32_t kMaxInterval = 999999;

const char kRecordsKeyText[] = "HKEY_LOCAL_MACHINE\\" ORVANE_KEY_PATH_TEXT;

// Everything from the registry or a reader is shown escaped.
std::string Utf8(const std::u16string& text) { return ShownText(text); }

bool Escaped(char16_t c) {
  return c < 0x20 || (c >= 0x7F && c <= 0x9F) || c == 0x2028 || c == 0x2029 ||
         (c >= 0x202A && c <= 0x202E) || (c >= 0x2066 && c <= 0x2069);
}

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

// A text value of at most 259 code units (a terminator, if stored, not
// counted); false when absent, unreadable or longer.
bool ReadText(RegistryPort& registry, RegKeyHandle key, const char16_t* name,
              std::u16string& out) {
  char16_t text[kTextSize];
  std::size_t length = 0;
  const bool read = ReadTextValue(registry, key, name, text, kTextSize, &length);
  out.assign(text, length);
  return read;
}

std::string RemovalWords(uint32_t type, uint32_t lock) {
  if (type == kNoRemovalAction) return "none";
  if (IsLockRecord(type, lock)) return "lock";
  const RemovalActionWords* words = WordsForRemoval(type);
  if (words == nullptr) return "unknown (type " + Hex32(type) + ")";
  return std::string(words->tool) + (IsForcedRemoval(type) ? ", forced" : "");
}

// A record key is "%x" of a nonzero 32-bit value: what no other name can be.
bool IsRecordKeyName(const std::u16string& name) {
  const uint32_t value = ParseRecordKey(name.c_str());
  if (value == 0) return false;
  char16_t text[kRecordKeyTextSize];
  FormatRecordKey(value, text);
  return name == text;
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
  uint32_t lock = 0;
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
  char16_t path[kSubKeyPathSize];
  RegKey key(registry);
  if (!FormatSubKeyPath(name.c_str(), path) ||
      key.Open(RegRoot::LocalMachine, path, RegAccess::QueryValue) != RegResult::Ok) {
    facts.openable = false;
    facts.hasData = facts.hasComment = true;  // unknown: not flagged twice
    facts.dataSize = kMinLoginData;
    return facts;
  }
  uint32_t type = 0, size = 0;
  if (QueryValueSize(registry, key.handle(), names::kComment, &type, &size) == RegResult::Ok) {
    facts.hasComment = true;
    facts.commentTooLong = size > kCommentBytes;
    if (!facts.commentTooLong) ReadComment(registry, key.handle(), facts.comment);
  }
  const RegResult data = QueryValueSize(registry, key.handle(), names::kData, &facts.dataType,
                                        &facts.dataSize);
  facts.hasData = data == RegResult::Ok || data == RegResult::MoreData;
  const RemovalValues removal = ReadRemovalValues(registry, key.handle());
  facts.type = removal.type;
  facts.lock = removal.lock;
  facts.interval = removal.interval;
  facts.intervalStored = removal.intervalStored;
  return facts;
}

// What a pass over the records counted.
struct RecordTally {
  uint64_t records = 0;
  uint64_t flagged = 0;  // records with a flag, and sub-keys with over-long names
  uint64_t unnamed = 0;  // sub-keys whose names no record key can have
  bool anyRemoval = false;
};

// Hands each sub-key of the records key but the sound key to each as it is
// read, one at a time; NotFound when there is no records key at all.
template <typename Each>
RegResult ForEachRecord(RegistryPort& registry, RecordTally& tally, Each each) {
  RegKey parent(registry);
  const RegResult opened = parent.Open(RegRoot::LocalMachine, names::kOrvaneKey, RegAccess::Enumerate);
  if (opened != RegResult::Ok) return opened;
  for (uint32_t index = 0;; ++index) {
    char16_t name[kNameCapacity] = {};
    uint32_t length = kNameCapacity;
    const RegResult r = registry.EnumKey(parent.handle(), index, name, &length);
    if (r == RegResult::MoreData) {
      ++tally.unnamed;  // no record key is that long
      ++tally.flagged;
      continue;
    }
    if (r != RegResult::Ok) break;
    if (length >= kNameCapacity) length = kNameCapacity - 1;
    const std::u16string keyName(name, length);
    if (IsSoundKeyName(name, length)) continue;
    const RecordFacts facts = ReadRecordFacts(registry, keyName);
    ++tally.records;
    if (!facts.Flags().empty()) ++tally.flagged;
    if (facts.openable && facts.type != kNoRemovalAction) tally.anyRemoval = true;
    each(facts);
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

std::string ShownText(const std::u16string& text) {
  std::string shown;
  std::size_t plain = 0;  // start of the run of text shown as it is
  for (std::size_t i = 0; i <= text.size(); ++i) {
    if (i < text.size() && !Escaped(text[i])) continue;
    shown += Utf16ToUtf8(text.substr(plain, i - plain));
    plain = i + 1;
    if (i == text.size()) break;
    const char16_t c = text[i];
    char escape[8];
    if (c == u'\r') std::snprintf(escape, sizeof escape, "\\r");
    else if (c == u'\n') std::snprintf(escape, sizeof escape, "\\n");
    else if (c == u'\t') std::snprintf(escape, sizeof escape, "\\t");
    else if (c <= 0x9F) std::snprintf(escape, sizeof escape, "\\x%02X", static_cast<unsigned>(c));
    else std::snprintf(escape, sizeof escape, "\\u%04X", static_cast<unsigned>(c));
    shown += escape;
  }
  return shown;
}

namespace {

// One record's block, written as soon as the record is read.
void WriteRecordBlock(const RecordFacts& facts, TextSink& out) {
  std::string block = "\nrecord " + Utf8(facts.name) + "\n";
  if (facts.openable) {
    block += "    time: " + (facts.hasComment && !facts.commentTooLong && facts.comment.time[0]
                               ? Utf8(facts.comment.time)
                               : std::string("-")) + "\n";
    block += "    description: " +
           (facts.hasComment && !facts.commentTooLong ? Utf8(facts.comment.description)
                                                      : std::string("-")) + "\n";
    block += "    removal: " + RemovalWords(facts.type, facts.lock) + "\n";
    block += "    interval: " + std::to_string(facts.interval) + " s" +
           (facts.intervalStored ? "" : " (default)") + "\n";
    block += "    data: " + (facts.hasData ? std::to_string(facts.dataSize) + " bytes " +
                                               TypeName(facts.dataType)
                                         : std::string("missing")) + "\n";
  }
  const std::vector<const char*> flags = facts.Flags();
  std::string line = "    flags:";
  for (const char* f : flags) line += std::string(" ") + f;
  block += (flags.empty() ? std::string("    flags: none") : line) + "\n";
  out.Write(block);
}

}  // namespace

int ListRecords(RegistryPort& registry, TextSink& out) {
  out.Write(std::string("key: ") + kRecordsKeyText + "\n");
  RecordTally tally;
  const RegResult r = ForEachRecord(registry, tally, [&](const RecordFacts& facts) {
    WriteRecordBlock(facts, out);
  });
  if (r != RegResult::Ok && r != RegResult::NotFound) {
    out.Write(std::string("error: the records key cannot be read (") + ResultWords(r) + ")\n");
    return kAdminFailures;
  }
  if (tally.unnamed)
    out.Write("\nskipped: " + std::to_string(tally.unnamed) +
              " sub-keys with names too long for a record key\n");
  out.Write("\nrecords: " + std::to_string(tally.records) +
            " flagged: " + std::to_string(tally.flagged) + "\n");
  return tally.flagged ? kAdminWarnings : kAdminOk;
}

namespace {

struct DoctorReport {
  TextSink& out;
  int ok = 0, warn = 0, fail = 0;
  void Ok(const char* check, const std::string& sentence) { Line("OK  ", check, sentence); ++ok; }
  void Warn(const char* check, const std::string& sentence) { Line("WARN", check, sentence); ++warn; }
  void Fail(const char* check, const std::string& sentence) { Line("FAIL", check, sentence); ++fail; }
  void Line(const char* status, const char* check, const std::string& sentence) {
    out.Write(std::string(status) + " " + check + ": " + sentence + "\n");
  }
};

std::string Plural(uint64_t n, const char* one, const char* many) {
  return std::to_string(n) + " " + (n == 1 ? one : many);
}

}  // namespace

int RunDoctor(DoctorEnvironment& env, TextSink& out) {
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

  // The records, each looked at as it is read: its removal settings must be
  // ones the settings program writes.
  RecordTally tally;
  const RegResult listed = ForEachRecord(registry, tally, [&](const RecordFacts& facts) {
    if (!facts.openable) return;
    if (!IsWrittenRemovalType(facts.type))
      report.Warn("type", "record " + Utf8(facts.name) + " has removal type " + Hex32(facts.type) +
                              ", which the settings program never writes (log off 0, shut down 1, "
                              "reboot 2, each optionally with 0x10, or 0xffffffff for none).");
    if (facts.intervalStored && (facts.interval < kMinInterval || facts.interval > kMaxInterval))
      report.Warn("interval", "record " + Utf8(facts.name) + " has an interval of " +
                                  std::to_string(facts.interval) +
                                  " s, outside the 1 to 999999 s the settings program writes" +
                                  (facts.interval == 0 ? ": the checker takes no action for it."
                                                       : "."));
  });
  const bool anyRemoval = tally.anyRemoval;
  if (listed != RegResult::Ok && listed != RegResult::NotFound)
    report.Fail("records", std::string("the records key cannot be read (") + ResultWords(listed) + ").");
  else if (tally.records == 0)
    report.Warn("records", "no card is registered on this PC.");
  else if (tally.flagged)
    report.Warn("records", Plural(tally.records, "record", "records") + ", " +
                               std::to_string(tally.flagged) + " flagged (orvane-card records shows them).");
  else
    report.Ok("records", Plural(tally.records, "record", "records") + ", none flagged.");

  // The checker's autostart for the user running this.
  std::u16string run;
  RegKey runKey(registry);
  const bool haveRun =
      runKey.Open(RegRoot::CurrentUser, names::kRunKey, RegAccess::QueryValue) == RegResult::Ok &&
      ReadText(registry, runKey.handle(), names::kRunValue, run);
  if (!haveRun) {
    if (anyRemoval)
      report.Warn("run-value", "no \"OrvaneChecker\" Run value for this user, but a record has a "
                               "removal action: the checker does not start at this user's logon.");
    else
      report.Ok("run-value", "no \"OrvaneChecker\" Run value, and no record has a removal action.");
  } else {
    std::u16string path = run;
    const bool quoted = path.size() >= 2 && path.front() == u'"' && path.back() == u'"';
    if (quoted) path = path.substr(1, path.size() - 2);
    if (!env.files.FileExists(path.c_str()))
      report.Fail("run-value", "the Run value points to " + Utf8(path) +
                                   ", which does not exist: the checker cannot start.");
    else if (!quoted && path.find(u' ') != std::u16string::npos)
      // Windows tries each space as the end of the program's name, so a file
      // such as C:\Program.exe would start instead of the checker (CWE-428).
      report.Warn("run-value", "the Run value " + Utf8(path) +
                                   " contains a space and is not in double quotes: a program at "
                                   "the path's first part (such as C:\\Program.exe) would start "
                                   "instead of the checker (CWE-428); saving a removal action in "
                                   "the settings program writes it quoted.");
    else
      report.Ok("run-value", "the checker starts at logon from " + Utf8(path) + ".");
  }

  // The recognition sound.
  RegKey sound(registry);
  if (sound.Open(RegRoot::LocalMachine, names::kSoundKey, RegAccess::QueryValue) != RegResult::Ok) {
    report.Ok("sound", "no recognition sound is set.");
  } else {
    const uint32_t flag = ReadDwordValue(registry, sound.handle(), names::kSoundFlag, 0);
    std::u16string file;
    const bool haveFile = ReadText(registry, sound.handle(), names::kSoundFile, file);
    if (flag == 0) {
      report.Ok("sound", "the recognition sound is off.");
    } else if (flag != 1 && flag != 2) {
      report.Warn("sound", "the sound key's \"flag\" is " + std::to_string(flag) +
                               ", which neither program knows: no sound plays.");
    } else if (!haveFile || file.empty()) {
      report.Warn("sound", "a recognition sound is on, but no readable file is set: no sound plays.");
    } else if (!IsAllowedSoundPath(file.c_str())) {
      // Never probed: looking a UNC path up already sends credentials to it.
      report.Warn("sound", "the sound file " + Utf8(file) +
                               " is not a full path on a local drive: the settings program "
                               "refuses it and does not play it.");
    } else if (!env.files.FileExists(file.c_str())) {
      report.Warn("sound", "the sound file " + Utf8(file) + " does not exist: no sound plays.");
    } else {
      report.Ok("sound", std::string("plays ") + Utf8(file) +
                             (flag == 1 ? " when a card is recognised." : " when the user is recognised."));
    }
  }

  out.Write("doctor: " + std::to_string(report.ok) + " OK, " + std::to_string(report.warn) +
            " WARN, " + std::to_string(report.fail) + " FAIL\n");
  if (report.fail) return kAdminFailures;
  return report.warn ? kAdminWarnings : kAdminOk;
}

}  // namespace orvane
