// FelicaPort on Win32: felica.dll loaded at run time from the common program
// files folder.
#ifndef ORVANE_PLATFORM_WIN32_WIN_FELICA_H
#define ORVANE_PLATFORM_WIN32_WIN_FELICA_H

#include "platform/felica_port.h"

namespace orvane {

class WinFelica : public FelicaPort {
 public:
  ~WinFelica() override = default;  // the module is freed only on request

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
  void* module_ = nullptr;
  void* initialize_ = nullptr;
  void* open_ = nullptr;
  void* dispose_ = nullptr;
  void* polling_ = nullptr;
  void* close_ = nullptr;
};

}  // namespace orvane

#endif
