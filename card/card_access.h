// The card-access state of one program and the operations on it: reader
// discovery, the PC/SC poll and the FeliCa library path. The checker and the
// settings program share this code; where they decide differently the poll
// consults the flavour (see card/flavour_policy.h).
#ifndef ORVANE_CARD_CARD_ACCESS_H
#define ORVANE_CARD_CARD_ACCESS_H

#include "card/identity.h"
#include "platform/felica_port.h"
#include "platform/smartcard_port.h"

namespace orvane {

enum class Flavour { Checker, Setting };

constexpr int kMaxReaders = 10;
constexpr int kReaderNameSize = 260;  // storage; the checker uses only 256 of it
// Longest reader name each program stores; a longer name is left out rather
// than cut, since a cut name would never connect.
constexpr int kCheckerReaderNameLength = 255;
constexpr int kSettingReaderNameLength = 259;

// Every PC/SC answer and the ATR go into buffers of this size.
constexpr int kCardBufferSize = 260;

enum ReaderKind { kNoReader = 0, kPasoriReader = 1, kOtherReaders = 2 };

// Values of CardAccess::lastReaderIndex besides a table index.
constexpr int kNoLastReader = -1;
constexpr int kReadByLibrary = -2;

// Card kinds the settings program's poll leaves behind.
constexpr int kCardKindUnknown = 255;
constexpr int kCardKindMifare = 1;
constexpr int kCardKindShortAtr = 2;
constexpr int kCardKindFelica = 4;
constexpr int kCardKindRefusedType = 8;  // card-type byte 8 from a PaSoRi reader

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
  // Where the last card that made PollCard return 1 was read: a table index,
  // kReadByLibrary, or kNoLastReader.
  int lastReaderIndex = kNoLastReader;
};

// Fills the reader table and sets the reader kind. The settings program's copy
// returns at once while a reader kind is set, and reports to the view.
void DiscoverReaders(CardAccess& access);
// True when a card was read (or, settings program, refused: card kind 2 or 8),
// false for no card.
bool PollCard(CardAccess& access);
// Loads the FeliCa library from the common program files folder; true when
// it is loaded with all five entry points.
bool LoadFelicaLibrary(CardAccess& access);
// One poll through the library; true when the identity is valid afterwards.
bool PollCardByLibrary(CardAccess& access);

// The reader label of the settings program's status texts: the display name of
// the first entry with reader kind 2, "PaSoRi" otherwise.
const char16_t* ReaderLabel(const CardAccess& access);
// End of the settings program's main dialog: FreeLibrary, after which the
// library is not usable.
void FreeFelicaLibrary(CardAccess& access);
// Releases the PC/SC context if one is established and sets reader kind 0.
void ReleaseReaders(CardAccess& access);

}  // namespace orvane

#endif
