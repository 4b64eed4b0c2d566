#include "platform/win32/winscard_smartcard.h"

#include <windows.h>
#include <winscard.h>

#include "platform/scard_result.h"

namespace orvane {

namespace {

ScResult Map(LONG rv) { return MapScardResult(rv); }

SCARDCONTEXT ToContext(ScContext context) { return static_cast<SCARDCONTEXT>(context); }
SCARDHANDLE ToHandle(ScCard card) { return static_cast<SCARDHANDLE>(card); }

}  // namespace

ScResult WinScardSmartCard::EstablishContext(ScContext* context) {
  SCARDCONTEXT handle = 0;
  const LONG rv = SCardEstablishContext(SCARD_SCOPE_USER, nullptr, nullptr, &handle);
  if (rv == SCARD_S_SUCCESS) *context = static_cast<ScContext>(handle);
  return Map(rv);
}

ScResult WinScardSmartCard::ListReaders(ScContext context, char16_t* names, uint32_t* length) {
  DWORD size = names ? *length : 0;
  const LONG rv =
      SCardListReadersW(ToContext(context), nullptr, reinterpret_cast<LPWSTR>(names), &size);
  *length = static_cast<uint32_t>(size);
  return Map(rv);
}

ScResult WinScardSmartCard::Connect(ScContext context, const char16_t* reader, ScCard* card) {
  SCARDHANDLE handle = 0;
  DWORD protocol = 0;
  const LONG rv = SCardConnectW(ToContext(context), reinterpret_cast<LPCWSTR>(reader),
                                SCARD_SHARE_SHARED, SCARD_PROTOCOL_T0 | SCARD_PROTOCOL_T1,
                                &handle, &protocol);
  if (rv == SCARD_S_SUCCESS) *card = static_cast<ScCard>(handle);
  return Map(rv);
}

ScResult WinScardSmartCard::Status(ScCard card, unsigned char* atr, uint32_t* length) {
  DWORD protocol = 0;
  DWORD atrLength = *length;
  const LONG rv = SCardStatusW(ToHandle(card), nullptr, nullptr, nullptr, &protocol, atr, &atrLength);
  *length = static_cast<uint32_t>(atrLength);
  return Map(rv);
}

ScResult WinScardSmartCard::Transmit(ScCard card, const unsigned char* command,
                                     uint32_t commandLength, unsigned char* answer,
                                     uint32_t* answerLength) {
  DWORD received = *answerLength;
  const LONG rv = SCardTransmit(ToHandle(card), SCARD_PCI_T1, command, commandLength, nullptr,
                                answer, &received);
  *answerLength = static_cast<uint32_t>(received);
  return Map(rv);
}

ScResult WinScardSmartCard::Disconnect(ScCard card) {
  return Map(SCardDisconnect(ToHandle(card), SCARD_LEAVE_CARD));
}

ScResult WinScardSmartCard::ReleaseContext(ScContext context) {
  return Map(SCardReleaseContext(ToContext(context)));
}

}  // namespace orvane
