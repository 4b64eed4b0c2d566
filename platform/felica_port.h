// The optional FeliCa library as the core sees it: where to find it, loading
// it, and its five entry points.
#ifndef ORVANE_PLATFORM_FELICA_PORT_H
#define ORVANE_PLATFORM_FELICA_PORT_H

#include <cstddef>

namespace orvane {

// Room given to each of the library's output destinations (IDm, PMm): the
// library is told no size, so it gets far more than the 8 bytes it should write.
constexpr std::size_t kFelicaOutputRoom = 64;

class FelicaPort {
 public:
  virtual ~FelicaPort() = default;

  // The common program files folder (CSIDL_PROGRAM_FILES_COMMON) into out,
  // zero-terminated; false when it cannot be had or does not fit capacity.
  virtual bool CommonProgramFilesFolder(char16_t* out, std::size_t capacity) = 0;
  // Loads the library by the given full path; its own dependencies come from
  // its folder or System32 only.
  virtual bool Load(const char16_t* path) = 0;
  // GetProcAddress of one entry point of the loaded library; the adapter keeps
  // the address for the calls below.
  virtual bool Resolve(const char* name) = 0;
  // FreeLibrary; afterwards nothing is resolved.
  virtual void Unload() = 0;

  // The entry points; called only after all five were resolved.
  virtual int InitializeLibrary() = 0;
  virtual int OpenReaderWriterAuto() = 0;
  // polling_and_get_card_information with a polling record {systemCode, timeSlot}
  // and a card information record {idm, pmm}; the library writes 8 bytes to each
  // destination and the number of cards found. The caller gives each destination
  // kFelicaOutputRoom bytes: nothing bounds what the library writes.
  virtual int PollingAndGetCardInformation(const unsigned char* systemCode,
                                           unsigned char timeSlot,
                                           unsigned char* numberOfCards,
                                           unsigned char* idm, unsigned char* pmm) = 0;
  virtual int CloseReaderWriter() = 0;
  virtual int DisposeLibrary() = 0;
};

}  // namespace orvane

#endif
