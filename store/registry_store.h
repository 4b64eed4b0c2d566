// The registry as the programs store their values in it: every typed read
// and write of a value goes through here, and this is the one place that
// knows how a number or a text is laid out in bytes.
//
// Contract:
//  - Numbers are REG_DWORD, four bytes, low byte first. A number read counts
//    a value only when it is exactly four bytes; anything else (absent,
//    shorter, longer, a failed query) gives the default the caller states.
//    The stored type is not examined: the logon component does not either.
//  - Texts are REG_SZ, two bytes per code unit, low byte first. The record's
//    "comment" and the sound key's "file" are written with exactly their
//    units and no terminator, as the logon component expects; the Run value
//    is written with its terminator, as Windows expects it at logon. A text
//    read takes whatever was stored, terminator or none: the text ends at
//    the first zero unit or after the bytes, and an odd last byte is no unit.
//    Every text read out is terminated and never runs past its buffer.
//  - Record data is REG_BINARY, read only into a buffer the caller sizes.
//  - A card's record lives under HKEY_LOCAL_MACHINE at the records key and
//    a sub-key named by "%x" of the record key value; the recognition sound
//    in its "sound" sub-key. These names are shared with the logon component
//    and never change.
// Keys are opened by the caller (RegKey); these functions take an open key.
#ifndef ORVANE_STORE_REGISTRY_STORE_H
#define ORVANE_STORE_REGISTRY_STORE_H

#include <cstddef>
#include <cstdint>

#include "card/identity.h"
#include "platform/registry_port.h"
#include "store/removal_type.h"
#include "store/text.h"

namespace orvane {

// --- The byte layout of text --------------------------------------------

// length units as 2 x length bytes, low byte first (also the layout of the
// texts inside the record's encrypted data).
void PutTextUnits(const char16_t* text, std::size_t length, unsigned char* out);
// The unit whose two bytes start at bytes.
char16_t TextUnitAt(const unsigned char* bytes);

// --- Numbers ---------------------------------------------------------------

// The value when it is exactly 4 bytes, else fallback.
uint32_t ReadDwordValue(RegistryPort& registry, RegKeyHandle key, const char16_t* name,
                        uint32_t fallback);
// True and *value when the value is exactly 4 bytes; false, *value untouched,
// when it is absent, of another size or cannot be read.
bool QueryDwordValue(RegistryPort& registry, RegKeyHandle key, const char16_t* name,
                     uint32_t* value);
// The looser read of the sound key's numbers: a value of at most 4 bytes is
// the number its bytes make, low byte first (a 1-byte 2 is 2); a longer or
// unreadable one gives fallback.
uint32_t ReadShortNumberValue(RegistryPort& registry, RegKeyHandle key, const char16_t* name,
                              uint32_t fallback);
RegResult WriteDwordValue(RegistryPort& registry, RegKeyHandle key, const char16_t* name,
                          uint32_t value);

// --- Texts -----------------------------------------------------------------

// The longest text the exact-length and terminated writes take.
constexpr std::size_t kMaxStoredText = kTextSize + 32;

// Reads a value of at most 2 x maxUnits bytes (a larger one fails) as code
// units, into units (room for maxUnits), *count set to their number; no
// terminator is looked for or added. False when the query fails. maxUnits
// is at most kMaxStoredText (a larger one counts as that).
bool ReadTextUnits(RegistryPort& registry, RegKeyHandle key, const char16_t* name,
                   char16_t* units, std::size_t maxUnits, std::size_t* count);
// Reads a text of at most capacity - 1 units into out, terminated. The value
// may hold up to 2 x capacity bytes, so that a text of capacity - 1 units
// stored with its terminator is read. False, with out empty, when the query
// fails, the value is larger, or the text has no room for its terminator.
// *length (if given) receives the text's length.
bool ReadTextValue(RegistryPort& registry, RegKeyHandle key, const char16_t* name, char16_t* out,
                   std::size_t capacity, std::size_t* length = nullptr);
// Writes length units as REG_SZ of exactly 2 x length bytes, with no
// terminator stored. Failed, with nothing written, for more than
// kMaxStoredText units.
RegResult WriteExactTextValue(RegistryPort& registry, RegKeyHandle key, const char16_t* name,
                              const char16_t* text, std::size_t length);
// Writes the terminated text (at most kMaxStoredText units before the zero)
// as REG_SZ, its terminator stored too (2 x length + 2 bytes): the count
// given is the text's 2 x length bytes, the zero after them is stored by
// the registry, as it always was for the Run value.
RegResult WriteTerminatedTextValue(RegistryPort& registry, RegKeyHandle key,
                                   const char16_t* name, const char16_t* text);

// --- Binary ----------------------------------------------------------------

// Reads a value of at most capacity bytes into out; false when the query
// fails or the value is larger. *size receives its size.
bool ReadBinaryValue(RegistryPort& registry, RegKeyHandle key, const char16_t* name,
                     unsigned char* out, uint32_t capacity, uint32_t* size);
RegResult WriteBinaryValue(RegistryPort& registry, RegKeyHandle key, const char16_t* name,
                           const unsigned char* data, uint32_t size);
// Type and size of a value without reading it (type REG_NONE and size 0
// when the query fails). MoreData is never answered here.
RegResult QueryValueSize(RegistryPort& registry, RegKeyHandle key, const char16_t* name,
                         uint32_t* type, uint32_t* size);

// --- A record's removal settings and the sound key ------------------------

// "type", "lock" and "interval" of an open record key, each with its stated
// default when it is not a 4-byte value: no action, no lock, 5 seconds.
struct RemovalValues {
  uint32_t type = kNoRemovalAction;
  uint32_t lock = 0;  // as stored: IsLockRecord says what it means beside type
  uint32_t interval = kDefaultInterval;
  bool intervalStored = false;  // "interval" is there as a 4-byte value
};
RemovalValues ReadRemovalValues(RegistryPort& registry, RegKeyHandle key);
// "lock" as a choice wants it: kLockValue, or no value at all (a value
// already gone is the wanted state). True when that holds afterwards.
bool WriteLockValue(RegistryPort& registry, RegKeyHandle key, bool lock);

// The sound key's values as the settings program reads them: "flag" and
// "sync" of at most 4 bytes each (else 0), "file" of at most 259 units (else
// empty).
constexpr std::size_t kMaxSoundFileLength = kTextSize - 1;
struct SoundValues {
  uint32_t flag = 0;
  char16_t file[kTextSize] = {};
  uint32_t sync = 0;
};
// False, with values as defaulted, when the sound key cannot be opened.
bool ReadSoundValues(RegistryPort& registry, SoundValues& values);
// Creates the sound key and writes "flag", "file" (its units only, at most
// 259) and "sync" in that order, stopping at the first failure; true when
// all three were written.
bool WriteSoundValues(RegistryPort& registry, uint32_t flag, const char16_t* file, uint32_t sync);

// --- Where the records are -------------------------------------------------

// "SOFTWARE\Brindle\Orvane\%x": a record's path under HKEY_LOCAL_MACHINE.
constexpr int kRecordPathSize = 40;
void FormatRecordPath(uint32_t recordKey, char16_t (&path)[kRecordPathSize]);
// The same for the card: the record key value is returned, and the permuted
// identity it is made from is wiped (half of the record's key).
uint32_t FormatCardRecordPath(const CardIdentity& identity, char16_t (&path)[kRecordPathSize]);
// The records key and a sub-key name as found by enumeration (any name of
// at most 259 units).
constexpr std::size_t kSubKeyPathSize = 24 + kTextSize;
// False, with path empty, when name is longer than 259 units.
bool FormatSubKeyPath(const char16_t* name, char16_t (&path)[kSubKeyPathSize]);
// The sound key among the records key's sub-keys ("sound", in any case).
bool IsSoundKeyName(const char16_t* name, std::size_t length);

}  // namespace orvane

#endif
