// The FeliCa library port on Linux: felica.dll exists only on Windows, so the
// library never loads and its path is never taken.
#ifndef ORVANE_PLATFORM_PCSCLITE_NO_FELICA_H
#define ORVANE_PLATFORM_PCSCLITE_NO_FELICA_H

#include "platform/felica_port.h"

namespace orvane {

class NoFelica : public FelicaPort {
 public:
  bool CommonProgramFilesFolder(char16_t*, std::size_t) override { return false; }
  bool Load(const char16_t*) override { return false; }
  bool Resolve(const char*) override { return false; }
  void Unload() override {}
  int InitializeLibrary() override { return 0; }
  int OpenReaderWriterAuto() override { return 0; }
  int PollingAndGetCardInformation(const unsigned char*, unsigned char, unsigned char*,
                                   unsigned char*, unsigned char*) override {
    return 0;
  }
  int CloseReaderWriter() override { return 0; }
  int DisposeLibrary() override { return 0; }
};

}  // namespace orvane

#endif
