#include "store/registry_store.h"

#include "store/secure_wipe.h"
#include "store/shared_names.h"

namespace orvane {

namespace {

// The two codecs: little-endian numbers and UTF-16LE units.
uint32_t NumberFromBytes(const unsigned char* bytes, uint32_t size) {
  uint32_t value = 0;
  for (uint32_t i = 0; i < size && i < 4; ++i) value |= static_cast<uint32_t>(bytes[i]) << (8 * i);
  return value;
}

// length units as REG_SZ, and the terminator after them only when asked.
RegResult WriteUnits(RegistryPort& registry, RegKeyHandle key, const char16_t* name,
                     const char16_t* text, std::size_t length, bool terminated) {
  if (length > kMaxStoredText) return RegResult::Failed;
  unsigned char bytes[2 * kMaxStoredText + 2];
  PutTextUnits(text, length, bytes);
  // RegSetValueExW stores a zero unit right after the bytes given as a
  // terminator even when it is not counted: a zero there is how the
  // terminated text gets its terminator (the count stays the text's bytes),
  // a non-zero unit keeps the stored bytes exactly the text. An empty text
  // has no unit for the registry to look past: its terminator is counted.
  const char16_t after = terminated ? 0 : 0xFFFF;
  PutTextUnits(&after, 1, bytes + 2 * length);
  const std::size_t size = terminated && length == 0 ? 2 : 2 * length;
  return registry.SetValue(key, name, regtype::kSz, bytes, static_cast<uint32_t>(size));
}

}  // namespace

void PutTextUnits(const char16_t* text, std::size_t length, unsigned char* out) {
  for (std::size_t i = 0; i < length; ++i) {
    out[2 * i] = static_cast<unsigned char>(text[i] & 0xFF);
    out[2 * i + 1] = static_cast<unsigned char>(text[i] >> 8);
  }
}

char16_t TextUnitAt(const unsigned char* bytes) {
  return static_cast<char16_t>(bytes[0] | (bytes[1] << 8));
}

uint32_t ReadDwordValue(RegistryPort& registry, RegKeyHandle key, const char16_t* name,
                        uint32_t fallback) {
  uint32_t value = fallback;
  QueryDwordValue(registry, key, name, &value);
  return value;
}

bool QueryDwordValue(RegistryPort& registry, RegKeyHandle key, const char16_t* name,
                     uint32_t* value) {
  unsigned char bytes[4] = {};
  uint32_t size = sizeof bytes;
  if (registry.QueryValue(key, name, nullptr, bytes, &size) != RegResult::Ok || size != 4)
    return false;
  *value = NumberFromBytes(bytes, size);
  return true;
}

uint32_t ReadShortNumberValue(RegistryPort& registry, RegKeyHandle key, const char16_t* name,
                              uint32_t fallback) {
  unsigned char bytes[4] = {};
  uint32_t size = sizeof bytes;
  if (registry.QueryValue(key, name, nullptr, bytes, &size) != RegResult::Ok || size > sizeof bytes)
    return fallback;
  return NumberFromBytes(bytes, size);
}

RegResult WriteDwordValue(RegistryPort& registry, RegKeyHandle key, const char16_t* name,
                          uint32_t value) {
  const unsigned char bytes[4] = {
      static_cast<unsigned char>(value & 0xFF), static_cast<unsigned char>((value >> 8) & 0xFF),
      static_cast<unsigned char>((value >> 16) & 0xFF),
      static_cast<unsigned char>((value >> 24) & 0xFF)};
  return registry.SetValue(key, name, regtype::kDword, bytes, sizeof bytes);
}

bool ReadTextUnits(RegistryPort& registry, RegKeyHandle key, const char16_t* name,
                   char16_t* units, std::size_t maxUnits, std::size_t* count) {
  *count = 0;
  unsigned char bytes[2 * kMaxStoredText];
  if (maxUnits > kMaxStoredText) maxUnits = kMaxStoredText;
  uint32_t size = static_cast<uint32_t>(2 * maxUnits);
  if (registry.QueryValue(key, name, nullptr, bytes, &size) != RegResult::Ok ||
      size > 2 * maxUnits)
    return false;
  const std::size_t n = size / 2;  // an odd last byte is no unit
  for (std::size_t i = 0; i < n; ++i) units[i] = TextUnitAt(bytes + 2 * i);
  *count = n;
  return true;
}

bool ReadTextValue(RegistryPort& registry, RegKeyHandle key, const char16_t* name, char16_t* out,
                   std::size_t capacity, std::size_t* length) {
  if (length) *length = 0;
  if (capacity == 0) return false;
  out[0] = 0;
  std::size_t count = 0;
  if (!ReadTextUnits(registry, key, name, out, capacity, &count)) {
    out[0] = 0;
    return false;
  }
  const std::size_t n = BoundedLength(out, count);
  if (n == capacity) {  // no room for the terminator: too long
    out[0] = 0;
    return false;
  }
  out[n] = 0;
  if (length) *length = n;
  return true;
}

RegResult WriteExactTextValue(RegistryPort& registry, RegKeyHandle key, const char16_t* name,
                              const char16_t* text, std::size_t length) {
  return WriteUnits(registry, key, name, text, length, false);
}

RegResult WriteTerminatedTextValue(RegistryPort& registry, RegKeyHandle key,
                                   const char16_t* name, const char16_t* text) {
  const std::size_t length = BoundedLength(text, kMaxStoredText + 1);
  if (length > kMaxStoredText) return RegResult::Failed;
  return WriteUnits(registry, key, name, text ? text : u"", length, true);
}

bool ReadBinaryValue(RegistryPort& registry, RegKeyHandle key, const char16_t* name,
                     unsigned char* out, uint32_t capacity, uint32_t* size) {
  *size = capacity;
  return registry.QueryValue(key, name, nullptr, out, size) == RegResult::Ok && *size <= capacity;
}

RegResult WriteBinaryValue(RegistryPort& registry, RegKeyHandle key, const char16_t* name,
                           const unsigned char* data, uint32_t size) {
  return registry.SetValue(key, name, regtype::kBinary, data, size);
}

RegResult QueryValueSize(RegistryPort& registry, RegKeyHandle key, const char16_t* name,
                         uint32_t* type, uint32_t* size) {
  *type = regtype::kNone;
  *size = 0;
  return registry.QueryValue(key, name, type, nullptr, size);
}

RemovalValues ReadRemovalValues(RegistryPort& registry, RegKeyHandle key) {
  RemovalValues values;
  values.type = ReadDwordValue(registry, key, names::kType, kNoRemovalAction);
  values.lock = ReadDwordValue(registry, key, names::kLock, 0);
  values.intervalStored = QueryDwordValue(registry, key, names::kInterval, &values.interval);
  return values;
}

bool WriteLockValue(RegistryPort& registry, RegKeyHandle key, bool lock) {
  if (lock) return WriteDwordValue(registry, key, names::kLock, kLockValue) == RegResult::Ok;
  const RegResult r = registry.DeleteValue(key, names::kLock);
  return r == RegResult::Ok || r == RegResult::NotFound;
}

bool ReadSoundValues(RegistryPort& registry, SoundValues& values) {
  values = SoundValues{};
  RegKey key(registry);
  if (key.Open(RegRoot::LocalMachine, names::kSoundKey, RegAccess::QueryValue) != RegResult::Ok)
    return false;
  ReadTextValue(registry, key.handle(), names::kSoundFile, values.file, kTextSize);
  values.flag = ReadShortNumberValue(registry, key.handle(), names::kSoundFlag, 0);
  values.sync = ReadShortNumberValue(registry, key.handle(), names::kSoundSync, 0);
  return true;
}

bool WriteSoundValues(RegistryPort& registry, uint32_t flag, const char16_t* file, uint32_t sync) {
  // The units only: the logon component ends the text itself.
  const std::size_t length = BoundedLength(file, kMaxSoundFileLength);
  RegKey key(registry);
  return key.Create(RegRoot::LocalMachine, names::kSoundKey) == RegResult::Ok &&
         WriteDwordValue(registry, key.handle(), names::kSoundFlag, flag) == RegResult::Ok &&
         WriteExactTextValue(registry, key.handle(), names::kSoundFile, file ? file : u"",
                             length) == RegResult::Ok &&
         WriteDwordValue(registry, key.handle(), names::kSoundSync, sync) == RegResult::Ok;
}

void FormatRecordPath(uint32_t recordKey, char16_t (&path)[kRecordPathSize]) {
  char16_t name[kRecordKeyTextSize];
  FormatRecordKey(recordKey, name);
  char16_t full[kSubKeyPathSize];
  FormatSubKeyPath(name, full);
  BoundedCopy(path, kRecordPathSize, full);
}

uint32_t FormatCardRecordPath(const CardIdentity& identity, char16_t (&path)[kRecordPathSize]) {
  CardIdentity permuted{};
  const uint32_t value = RecordKeyValue(identity, permuted);
  SecureZero(permuted.data(), permuted.size());
  FormatRecordPath(value, path);
  return value;
}

bool FormatSubKeyPath(const char16_t* name, char16_t (&path)[kSubKeyPathSize]) {
  path[0] = 0;
  const std::size_t nameLength = BoundedLength(name, kTextSize);
  if (nameLength >= static_cast<std::size_t>(kTextSize)) return false;
  std::size_t n = BoundedCopy(path, kSubKeyPathSize, names::kOrvaneKey);
  path[n++] = u'\\';
  BoundedCopy(path + n, kSubKeyPathSize - n, name);
  return true;
}

bool IsSoundKeyName(const char16_t* name, std::size_t length) {
  return SameAsciiWordIgnoringCase(name, length, u"sound");
}

}  // namespace orvane
