// SmartCardPort on winscard.dll, loaded from System32 at the first call; when
// it or one of its entry points is missing every call answers NoService.
#ifndef ORVANE_PLATFORM_WIN32_WINSCARD_SMARTCARD_H
#define ORVANE_PLATFORM_WIN32_WINSCARD_SMARTCARD_H

#include "platform/smartcard_port.h"

namespace orvane {

class WinScardSmartCard : public SmartCardPort {
 public:
  ScResult EstablishContext(ScContext* context) override;
  ScResult ListReaders(ScContext context, char16_t* names, uint32_t* length) override;
  ScResult Connect(ScContext context, const char16_t* reader, ScCard* card) override;
  ScResult Status(ScCard card, unsigned char* atr, uint32_t* length) override;
  // Always with the T=1 send header, whatever protocol was negotiated.
  ScResult Transmit(ScCard card, const unsigned char* command, uint32_t commandLength,
                    unsigned char* answer, uint32_t* answerLength) override;
  ScResult Disconnect(ScCard card) override;
  ScResult ReleaseContext(ScContext context) override;
};

}  // namespace orvane

#endif
