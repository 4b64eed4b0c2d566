// A fake FelicaPort for tests: the common program files folder, load and
// resolve failures per entry point, the results of the entry points, the
// card the library reports, and a log of every call.
#ifndef ORVANE_TESTS_FAKES_FAKE_FELICA_H
#define ORVANE_TESTS_FAKES_FAKE_FELICA_H

#include <array>
#include <set>
#include <string>
#include <vector>

#include "platform/felica_port.h"

namespace orvane {

class FakeFelica : public FelicaPort {
 public:
  // --- script ---
  bool folderAvailable = true;
  std::u16string folder = u"C:\\Program Files\\Common Files";
  bool loadSucceeds = true;
  std::set<std::string> missingEntryPoints;
  int initializeResult = 1;
  int openResult = 1;
  int pollResult = 1;
  unsigned char numberOfCards = 1;       // written by the poll
  std::array<unsigned char, 8> idm = {};  // written when the poll succeeds
  std::array<unsigned char, 8> pmm = {};
  // Bytes a misbehaving library writes past the 8 of each destination (0xEE),
  // at most kFelicaOutputRoom - 8.
  std::size_t extraBytes = 0;

  // --- observations ---
  std::vector<std::string> log;
  std::vector<std::string>* sharedLog = nullptr;  // see ScriptedSmartCard
  std::vector<std::string> errors;
  std::u16string loadedPath;
  bool loaded = false;
  // What the last polling call was given.
  struct PollingCall {
    unsigned char systemCode[2];
    unsigned char timeSlot;
    unsigned char numberOfCardsOnEntry;
    bool destinationsClear;  // IDm and PMm destinations all zero on entry, room included
    bool destinationsApart;  // the two destinations' rooms do not overlap
  } lastPolling = {};

  // A card the library finds: IDm and PMm, one card.
  void SetCard(const std::array<unsigned char, 8>& cardIdm,
               const std::array<unsigned char, 8>& cardPmm);

  // --- FelicaPort ---
  bool CommonProgramFilesFolder(char16_t* out, std::size_t capacity) override;
  bool Load(const char16_t* path) override;
  bool Resolve(const char* name) override;
  void Unload() override;
  int InitializeLibrary() override;
  int OpenReaderWriterAuto() override;
  int PollingAndGetCardInformation(const unsigned char* systemCode, unsigned char timeSlot,
                                   unsigned char* numberOfCards, unsigned char* idm,
                                   unsigned char* pmm) override;
  int CloseReaderWriter() override;
  int DisposeLibrary() override;

 private:
  void Log(const std::string& entry);
  void Entered(const char* name);
  std::set<std::string> resolved_;
};

}  // namespace orvane

#endif
