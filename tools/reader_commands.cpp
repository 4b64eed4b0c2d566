// orvane-card's reader commands: the reader table as discovery builds it, one
// poll as either program makes it, and a watch of the card on the reader.
#include "tools/reader_commands.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>

#include "card/card_access.h"
#include "card/identity.h"
#include "platform/utf.h"
#include "tools/cli_common.h"

#ifdef _WIN32
#include <windows.h>

#include "platform/win32/win_felica.h"
#include "platform/win32/winscard_smartcard.h"
#else
#include <time.h>

#include "platform/pcsclite/no_felica.h"
#include "platform/pcsclite/pcsclite_smartcard.h"
#endif

namespace orvane {

namespace {

#ifdef _WIN32
using PlatformSmartCard = WinScardSmartCard;
using PlatformFelica = WinFelica;
void SleepOneSecond() { Sleep(1000); }
#else
using PlatformSmartCard = PcscLiteSmartCard;
using PlatformFelica = NoFelica;
void SleepOneSecond() {
  const timespec second = {1, 0};
  nanosleep(&second, nullptr);
}
#endif

const char kUsage[] =
    "usage: orvane-card readers\n"
    "       orvane-card poll [--for checker|setting]\n"
    "       orvane-card watch [--for checker|setting] [--polls N]\n";

int Usage() {
  WriteErr(kUsage);
  return 2;
}

std::string Format(const char* format, int value) {
  char text[64];
  std::snprintf(text, sizeof text, format, value);
  return text;
}

std::string Text(const char16_t* text) { return Utf16ToUtf8(std::u16string(text)); }

std::string ReaderText(const CardAccess& access) {
  if (access.lastReaderIndex == kReadByLibrary) return "FeliCa library";
  if (access.lastReaderIndex >= 0 && access.lastReaderIndex < access.readerCount)
    return Text(access.readers[access.lastReaderIndex].name);
  return "?";
}

std::string CardKindText(int cardKind) {
  std::string label = Text(CardKindLabel(cardKind));
  // " (FeliCa) " -> " (FeliCa)"
  while (!label.empty() && label.back() == ' ') label.pop_back();
  return std::to_string(cardKind) + label;
}

const char* ReaderKindText(int kind) {
  switch (kind) {
    case kPasoriReader:
      return "1 (PaSoRi reader, polled alone)";
    case kOtherReaders:
      return "2 (other readers, polled in turn)";
    default:
      return "0 (no reader)";
  }
}

bool ParseFlavour(const char* value, Flavour& flavour) {
  if (std::strcmp(value, "checker") == 0) {
    flavour = Flavour::Checker;
    return true;
  }
  if (std::strcmp(value, "setting") == 0) {
    flavour = Flavour::Setting;
    return true;
  }
  return false;
}

// Start-up as each program makes it: the library first, then (settings
// program) discovery; the checker's poll discovers by itself.
void Prepare(CardAccess& access) {
  LoadFelicaLibrary(access);
  if (access.flavour == Flavour::Setting) DiscoverReaders(access);
}

bool Refused(const CardAccess& access) {
  return access.flavour == Flavour::Setting && (access.cardKind == 2 || access.cardKind == 8);
}

int Readers() {
  PlatformSmartCard smartCard;
  PlatformFelica felica;
  CardAccess access(Flavour::Setting, smartCard, felica);
  DiscoverReaders(access);
  if (access.readerCount == 0) WriteOut("no reader\n");
  for (int i = 0; i < access.readerCount; ++i) {
    WriteOut(Format("reader %d: ", i) + Text(access.readers[i].name) + "\n");
    WriteOut("  display name: " + Text(access.readers[i].display) + "\n");
  }
  WriteOut(std::string("reader kind: ") + ReaderKindText(access.readerKind) + "\n");
  if (access.readerKind == kPasoriReader) WriteOut(Format("PaSoRi index: %d\n", access.pasoriIndex));
  ReleaseReaders(access);
  return 0;
}

int Poll(Flavour flavour) {
  PlatformSmartCard smartCard;
  PlatformFelica felica;
  CardAccess access(flavour, smartCard, felica);
  Prepare(access);
  const int result = PollCard(access);
  const bool noReader = access.readerKind == kNoReader && !access.libraryUsable;
  int status = 0;
  if (!result) {
    WriteOut("no card\n");
    if (noReader) WriteErr("no reader found\n");
    status = 1;
  } else {
    WriteOut("reader: " + ReaderText(access) + "\n");
    if (flavour == Flavour::Setting) WriteOut("card kind: " + CardKindText(access.cardKind) + "\n");
    if (Refused(access)) {
      WriteOut("card refused: this card cannot be used\n");
      status = 1;
    } else {
      WriteOut("identity: " + IdentityHex(access.identity) + "\n");
      WriteOut("record key: " + RecordKeyText(access.identity) + "\n");
    }
  }
  ReleaseReaders(access);
  return status;
}

std::string Now() {
  char stamp[32] = "";
  const std::time_t now = std::time(nullptr);
  const std::tm* local = std::localtime(&now);
  if (local) std::strftime(stamp, sizeof stamp, "%Y-%m-%d %H:%M:%S", local);
  return stamp;
}

// What the card on the reader looks like to the watch; empty for none.
std::string CardState(CardAccess& access) {
  if (!PollCard(access)) return std::string();
  if (Refused(access)) return "refused card (card kind " + std::to_string(access.cardKind) + ")";
  return "identity " + IdentityHex(access.identity) + ", record key " +
         RecordKeyText(access.identity) + ", reader " + ReaderText(access);
}

int Watch(Flavour flavour, long polls) {
  PlatformSmartCard smartCard;
  PlatformFelica felica;
  CardAccess access(flavour, smartCard, felica);
  Prepare(access);
  std::string previous;
  for (long i = 0; polls <= 0 || i < polls; ++i) {
    if (i) SleepOneSecond();
    const std::string state = CardState(access);
    if (i == 0 || state != previous) {
      const char* what = state.empty()                     ? (i == 0 ? "no card" : "card gone")
                         : (i == 0 || previous.empty())    ? "card on: "
                                                           : "card changed: ";
      WriteOut(Now() + " " + what + state + "\n");
      std::fflush(stdout);
    }
    previous = state;
  }
  ReleaseReaders(access);
  return 0;
}

}  // namespace

int RunReaderCommand(int argc, char** argv) {
  if (argc < 1) return Usage();
  const std::string command = argv[0];
  Flavour flavour = Flavour::Checker;
  long polls = 0;
  for (int i = 1; i < argc; ++i) {
    const std::string option = argv[i];
    if (command != "readers" && option == "--for" && i + 1 < argc) {
      if (!ParseFlavour(argv[++i], flavour)) return Usage();
    } else if (command == "watch" && option == "--polls" && i + 1 < argc) {
      char* end = nullptr;
      polls = std::strtol(argv[++i], &end, 10);
      if (!*argv[i] || *end || polls <= 0) return Usage();
    } else {
      return Usage();
    }
  }
  if (command == "readers") return Readers();
  if (command == "poll") return Poll(flavour);
  if (command == "watch") return Watch(flavour, polls);
  return Usage();
}

}  // namespace orvane
