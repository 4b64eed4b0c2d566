// The card-access state of one program and the operations on it: reader
// discovery, the PC/SC poll and the FeliCa library path. The checker and the
// settings program share this code; where they decide differently the poll
// consults the flavour.
#ifndef ORVANE_CARD_CARD_ACCESS_H
#define ORVANE_CARD_CARD_ACCESS_H

#include "card/identity.h"
#include "platform/felica_port.h"
#include "platform/smartcard_port.h"

namespace orvane {

enum class Flavour { Checker, Setting };

constexpr int kMaxReaders = 10;
constexpr int kReaderNameSize = 260;  // storage; the checker uses only 256 of it

enum ReaderKind { kNoReader = 0, kPasoriReader = 1, kOtherReaders = 2 };

struct ReaderEntry {
  char16_t name[kReaderNameSize];
  char16_t display[kReaderNameSize];  // settings program only
};

// What the settings program's discovery updates in its main dialog.
class ReaderStatusView {
 public:
  virtual ~ReaderStatusView() = default;
  // Discovery found a reader (or the library): show the status text built
  // from the reader label, and enable the read button.
  virtual void ReaderReady(const char16_t* readerLabel) = 0;
};

// Called as soon as an identity has been completed (settings program).
using RecognitionSoundHook = void (*)(void* context);

struct CardAccess {
  CardAccess(Flavour f, SmartCardPort& sc, FelicaPort& lib) : flavour(f), smartCard(sc), felica(lib) {}

  Flavour flavour;
  SmartCardPort& smartCard;
  FelicaPort& felica;
  ReaderStatusView* view = nullptr;
  RecognitionSoundHook soundHook = nullptr;
  void* soundContext = nullptr;

  ScContext context = 0;
  bool contextEstablished = false;
  ReaderEntry readers[kMaxReaders] = {};
  int readerCount = 0;
  int pasoriIndex = 0;
  int readerKind = kNoReader;
  bool libraryLoaded = false;  // settings program: set by the loader
  bool libraryUsable = false;
  CardIdentity identity = {};
  CardIdentity permuted = {};
  int cardKind = 0;  // settings program
};

void DiscoverReaders(CardAccess& access);
// 1 when a card was read (or, settings program, refused: card kind 2 or 8), 0 for no card.
int PollCard(CardAccess& access);
// Loads the FeliCa library from the common program files folder.
int LoadFelicaLibrary(CardAccess& access);
int PollCardByLibrary(CardAccess& access);

}  // namespace orvane

#endif
