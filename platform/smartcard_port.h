// PC/SC as the core sees it: the seven calls the card-access code makes, with
// the core's own result codes and widths (no DWORD or LONG here: they differ
// between Windows and pcsc-lite).
#ifndef ORVANE_PLATFORM_SMARTCARD_PORT_H
#define ORVANE_PLATFORM_SMARTCARD_PORT_H

#include <cstdint>

namespace orvane {

enum class ScResult {
  Ok,
  NoService,           // the resource manager is not running
  NoReaders,           // no reader is available
  NoCard,              // no card in the reader (or it does not answer)
  Removed,             // the card went away during the call
  Sharing,             // the reader or card is in exclusive use
  InsufficientBuffer,  // the answer does not fit the buffer
  Failed,              // any other failure
};

using ScContext = std::uintptr_t;
using ScCard = std::uintptr_t;

class SmartCardPort {
 public:
  virtual ~SmartCardPort() = default;

  // SCardEstablishContext, scope user.
  virtual ScResult EstablishContext(ScContext* context) = 0;
  // SCardListReadersW over all groups. The list is a sequence of zero-terminated
  // names ended by an empty one. With names null, *length receives the size in
  // code units; otherwise *length is the capacity on entry and the size used on
  // return.
  virtual ScResult ListReaders(ScContext context, char16_t* names, uint32_t* length) = 0;
  // SCardConnectW, shared, T=0 or T=1.
  virtual ScResult Connect(ScContext context, const char16_t* reader, ScCard* card) = 0;
  // SCardStatusW: only the ATR. *length is the capacity on entry, the ATR's length on return.
  virtual ScResult Status(ScCard card, unsigned char* atr, uint32_t* length) = 0;
  // SCardTransmit with the T=1 send header, no receive header. *receiveLength
  // is the capacity on entry and the answer's length (status bytes included) on return.
  virtual ScResult Transmit(ScCard card, const unsigned char* command, uint32_t commandLength,
                            unsigned char* answer, uint32_t* answerLength) = 0;
  // SCardDisconnect, leaving the card.
  virtual ScResult Disconnect(ScCard card) = 0;
  virtual ScResult ReleaseContext(ScContext context) = 0;
};

}  // namespace orvane

#endif
