#include "tests/fakes/fake_felica.h"

#include <cstring>

namespace orvane {

namespace {

const char* const kAllEntryPoints[] = {"initialize_library", "open_reader_writer_auto",
                                       "dispose_library", "polling_and_get_card_information",
                                       "close_reader_writer"};

std::string Narrow(const std::u16string& text) {
  std::string out;
  for (char16_t c : text) out += (c >= 0x20 && c < 0x7F) ? static_cast<char>(c) : '?';
  return out;
}

}  // namespace

void FakeFelica::SetCard(const std::array<unsigned char, 8>& cardIdm,
                         const std::array<unsigned char, 8>& cardPmm) {
  idm = cardIdm;
  pmm = cardPmm;
  numberOfCards = 1;
  pollResult = 1;
}

void FakeFelica::Log(const std::string& entry) {
  log.push_back(entry);
  if (sharedLog) sharedLog->push_back(entry);
}

void FakeFelica::Entered(const char* name) {
  Log(name);
  if (!loaded) {
    errors.push_back(std::string(name) + " called without a loaded library");
    return;
  }
  for (const char* entry : kAllEntryPoints)
    if (!resolved_.count(entry)) {
      errors.push_back(std::string(name) + " called before every entry point was resolved");
      return;
    }
}

bool FakeFelica::CommonProgramFilesFolder(char16_t* out, std::size_t capacity) {
  Log("CommonProgramFilesFolder(capacity=" + std::to_string(capacity) + ")");
  if (!folderAvailable || folder.size() + 1 > capacity) return false;
  std::memcpy(out, folder.c_str(), sizeof(char16_t) * (folder.size() + 1));
  return true;
}

bool FakeFelica::Load(const char16_t* path) {
  loadedPath = path;
  Log("Load(" + Narrow(loadedPath) + ")");
  if (!loadSucceeds) return false;
  loaded = true;
  resolved_.clear();
  return true;
}

bool FakeFelica::Resolve(const char* name) {
  Log(std::string("Resolve(") + name + ")");
  if (!loaded) errors.push_back("Resolve without a loaded library");
  if (!loaded || missingEntryPoints.count(name)) return false;
  resolved_.insert(name);
  return true;
}

void FakeFelica::Unload() {
  Log("Unload");
  loaded = false;
  resolved_.clear();
}

int FakeFelica::InitializeLibrary() {
  Entered("initialize_library");
  return initializeResult;
}

int FakeFelica::OpenReaderWriterAuto() {
  Entered("open_reader_writer_auto");
  return openResult;
}

int FakeFelica::PollingAndGetCardInformation(const unsigned char* systemCode,
                                             unsigned char timeSlot,
                                             unsigned char* numberOfCardsOut, unsigned char* idmOut,
                                             unsigned char* pmmOut) {
  Entered("polling_and_get_card_information");
  lastPolling.systemCode[0] = systemCode[0];
  lastPolling.systemCode[1] = systemCode[1];
  lastPolling.timeSlot = timeSlot;
  lastPolling.numberOfCardsOnEntry = *numberOfCardsOut;
  bool clear = true;
  for (std::size_t i = 0; i < kFelicaOutputRoom; ++i)
    if (idmOut[i] || pmmOut[i]) clear = false;
  lastPolling.destinationsClear = clear;
  lastPolling.destinationsApart =
      idmOut + kFelicaOutputRoom <= pmmOut || pmmOut + kFelicaOutputRoom <= idmOut;
  if (extraBytes > kFelicaOutputRoom - 8) errors.push_back("extraBytes beyond the room");
  if (pollResult) {
    const std::size_t extra = extraBytes < kFelicaOutputRoom - 8 ? extraBytes : kFelicaOutputRoom - 8;
    std::memcpy(idmOut, idm.data(), 8);
    std::memset(idmOut + 8, 0xEE, extra);
    std::memcpy(pmmOut, pmm.data(), 8);
    std::memset(pmmOut + 8, 0xEE, extra);
    *numberOfCardsOut = numberOfCards;
  }
  return pollResult;
}

int FakeFelica::CloseReaderWriter() {
  Entered("close_reader_writer");
  return 1;
}

int FakeFelica::DisposeLibrary() {
  Entered("dispose_library");
  return 1;
}

}  // namespace orvane
