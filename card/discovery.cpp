// Reader discovery: establishes the PC/SC context, lists the readers and
// fills the reader table.
#include <cstring>
#include <new>

#include "card/card_access.h"
#include "card/flavour_policy.h"

namespace orvane {

namespace {

// A list longer than this (in code units) is taken for an adapter fault, not
// for readers: 10 entries of 260 units are all the table can hold anyway.
constexpr uint32_t kMaxReaderListLength = 1u << 16;

const char16_t kMicrosoftPrefix[] = u"Microsoft";
const char16_t kPasori[] = u"PaSoRi";
const char16_t kPasoriLabel[] = u"PaSoRi";

bool StartsWith(const char16_t* text, const char16_t* prefix) {
  for (; *prefix; ++text, ++prefix)
    if (*text != *prefix) return false;
  return true;
}

bool Contains(const char16_t* text, const char16_t* part) {
  for (; *text; ++text)
    if (StartsWith(text, part)) return true;
  return false;
}

bool IsDigit(char16_t c) { return c >= u'0' && c <= u'9'; }

// Removes a trailing instance number together with the single character in
// front of it ("Reader 0" -> "Reader"). Position 0 is never examined, so a
// name made only of digits after its first character keeps them all.
void TrimDisplayName(char16_t* display) {
  int length = 0;
  while (display[length]) ++length;
  if (length == 0 || !IsDigit(display[length - 1])) return;
  int p = length - 1;
  while (p > 0 && IsDigit(display[p])) --p;
  if (p > 0) display[p] = 0;
}

void StoreEntry(CardAccess& access, const FlavourPolicy& policy, int index, const char16_t* name,
                int length) {
  ReaderEntry& entry = access.readers[index];
  std::memset(&entry, 0, sizeof entry);
  std::memcpy(entry.name, name, sizeof(char16_t) * length);
  if (policy.keepsDisplayNames) {
    std::memcpy(entry.display, name, sizeof(char16_t) * length);
    TrimDisplayName(entry.display);
  }
}

// Examines one name of the list; false once a PaSoRi reader ends the search.
bool TakeReader(CardAccess& access, const FlavourPolicy& policy, const char16_t* name, int length) {
  if (StartsWith(name, kMicrosoftPrefix)) return true;
  // A name that does not fit an entry is left out: a cut name would not
  // connect, and nothing may be written past the entry.
  if (length > policy.readerNameLength) return true;
  const bool pasori = Contains(name, kPasori);
  if (access.readerCount >= kMaxReaders) {
    if (!pasori) return true;
    // The table is full, but a PaSoRi reader is still preferred: it takes the
    // last entry, and only it is polled from now on.
    StoreEntry(access, policy, kMaxReaders - 1, name, length);
    access.pasoriIndex = kMaxReaders - 1;
    access.readerKind = kPasoriReader;
    return false;
  }
  StoreEntry(access, policy, access.readerCount, name, length);
  if (pasori) {
    access.pasoriIndex = access.readerCount;
    ++access.readerCount;
    access.readerKind = kPasoriReader;
    return false;
  }
  ++access.readerCount;
  access.readerKind = kOtherReaders;
  return true;
}

void ListReaders(CardAccess& access, const FlavourPolicy& policy) {
  uint32_t size = 0;
  if (access.smartCard.ListReaders(access.context, nullptr, &size) != ScResult::Ok) return;
  if (size > kMaxReaderListLength) return;
  // One unit more than reported, always zero: the list ends inside the buffer
  // even when the adapter leaves out the final empty name or the terminator.
  char16_t* list = new (std::nothrow) char16_t[size + 1]();
  if (!list) return;
  uint32_t length = size;
  if (access.smartCard.ListReaders(access.context, list, &length) != ScResult::Ok) {
    delete[] list;
    return;
  }
  char16_t* name = new (std::nothrow) char16_t[size + 1]();
  if (!name) {
    delete[] list;
    return;
  }
  const uint32_t used = length < size ? length : size;
  list[used] = 0;

  uint32_t start = 0;
  while (start < used && list[start]) {
    uint32_t end = start;
    while (list[end]) ++end;  // stops at list[used] at the latest
    const uint32_t nameLength = end - start;
    std::memcpy(name, list + start, sizeof(char16_t) * nameLength);
    name[nameLength] = 0;
    if (!TakeReader(access, policy, name, static_cast<int>(nameLength))) break;
    start = end + 1;
  }
  delete[] name;
  delete[] list;
}

}  // namespace

const char16_t* ReaderLabel(const CardAccess& access) {
  if (access.readerKind == kOtherReaders) return access.readers[0].display;
  return kPasoriLabel;
}

void DiscoverReaders(CardAccess& access) {
  const FlavourPolicy& policy = PolicyOf(access);
  if (policy.discoversOnlyWithoutReader && access.readerKind != kNoReader) return;

  if (access.contextEstablished) {
    access.smartCard.ReleaseContext(access.context);
    access.contextEstablished = false;
    access.context = 0;
  }
  // The table is built afresh: nothing of an earlier discovery is polled.
  access.readerCount = 0;
  access.pasoriIndex = 0;
  access.readerKind = kNoReader;

  ScContext context = 0;
  if (access.smartCard.EstablishContext(&context) == ScResult::Ok) {
    access.context = context;
    access.contextEstablished = true;
    ListReaders(access, policy);
  }

  if (!policy.reportsToView) return;
  if (!access.libraryUsable) access.libraryUsable = access.libraryLoaded;
  if (access.readerKind == kNoReader && !access.libraryUsable) return;
  if (access.view) access.view->ReaderReady(ReaderLabel(access));
}

void ReleaseReaders(CardAccess& access) {
  if (access.contextEstablished) {
    access.smartCard.ReleaseContext(access.context);
    access.contextEstablished = false;
    access.context = 0;
  }
  access.readerKind = kNoReader;
}

}  // namespace orvane
