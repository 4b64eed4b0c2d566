// The FeliCa library path: loading felica.dll and one poll through it.
#include "card/card_access.h"
#include "card/flavour_policy.h"

#include <cstring>

namespace orvane {

namespace {

constexpr int kPathSize = 260;
const char16_t kLibrarySuffix[] = u"\\Sony Shared\\FeliCaLibrary\\felica.dll";

// Resolved in this order; every one is looked up even after a failure.
const char* const kEntryPoints[] = {
    "initialize_library",
    "open_reader_writer_auto",
    "dispose_library",
    "polling_and_get_card_information",
    "close_reader_writer",
};

// folder + suffix into path; false when the whole path does not fit, so that
// a cut path is never loaded.
bool FormatLibraryPath(const char16_t* folder, char16_t (&path)[kPathSize]) {
  int p = 0;
  for (const char16_t* s = folder; *s; ++s) {
    if (p >= kPathSize - 1) return false;
    path[p++] = *s;
  }
  for (const char16_t* s = kLibrarySuffix; *s; ++s) {
    if (p >= kPathSize - 1) return false;
    path[p++] = *s;
  }
  path[p] = 0;
  return true;
}

// The card's IDm and PMm are the key material of its record: no copy stays on
// the stack.
void Wipe(unsigned char* data, std::size_t size) {
  volatile unsigned char* p = data;
  for (std::size_t i = 0; i < size; ++i) p[i] = 0;
}

}  // namespace

bool LoadFelicaLibrary(CardAccess& access) {
  const FlavourPolicy& policy = PolicyOf(access);
  if (policy.reportsToView) {
    access.readerCount = 0;
    access.pasoriIndex = 0;
    access.readerKind = kNoReader;
    access.libraryUsable = false;
    access.libraryLoaded = false;
  }

  char16_t folder[kPathSize] = {};
  if (!access.felica.CommonProgramFilesFolder(folder, kPathSize)) return false;
  folder[kPathSize - 1] = 0;
  char16_t path[kPathSize] = {};
  if (!FormatLibraryPath(folder, path)) return false;
  if (!access.felica.Load(path)) return false;

  bool all = true;
  for (const char* name : kEntryPoints)
    if (!access.felica.Resolve(name)) all = false;
  // The module stays loaded even when an entry point is missing; it is simply
  // never called.
  if (!all) return false;
  if (policy.reportsToView)
    access.libraryLoaded = true;
  else
    access.libraryUsable = true;
  return true;
}

bool PollCardByLibrary(CardAccess& access) {
  // Never call into a library whose entry points were not all found.
  if (!access.libraryUsable) return false;
  FelicaPort& felica = access.felica;
  if (!felica.InitializeLibrary()) return false;
  if (!felica.OpenReaderWriterAuto()) {
    felica.DisposeLibrary();
    return false;
  }

  const unsigned char systemCode[2] = {0xFF, 0xFF};  // any system
  unsigned char numberOfCards = 0;
  access.identity.fill(0);
  // The library writes into scratch, never into the identity: a library that
  // writes more than 8 bytes would otherwise overwrite the fields after it.
  unsigned char idm[kFelicaOutputRoom] = {};
  unsigned char pmm[kFelicaOutputRoom] = {};
  const int polled = felica.PollingAndGetCardInformation(systemCode, 0, &numberOfCards, idm, pmm);
  std::memcpy(access.identity.data(), idm, 8);
  std::memcpy(access.identity.data() + 8, pmm, 8);
  Wipe(idm, sizeof idm);
  Wipe(pmm, sizeof pmm);
  bool result = false;
  if (polled && numberOfCards > 0) {
    PlayRecognitionHook(access);
    if (IdentityIsValid(access.identity)) {
      result = true;
      if (PolicyOf(access).recordsCardKind) access.cardKind = kCardKindFelica;
      access.lastReaderIndex = kReadByLibrary;
    }
  }
  felica.CloseReaderWriter();
  felica.DisposeLibrary();
  return result;
}

void FreeFelicaLibrary(CardAccess& access) {
  access.felica.Unload();
  access.libraryUsable = false;
  access.libraryLoaded = false;
}

}  // namespace orvane
