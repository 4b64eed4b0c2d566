#include "platform/pcsclite/pcsclite_smartcard.h"

#include <PCSC/winscard.h>

#include "platform/scard_result.h"

#include <cstring>
#include <string>

#include "platform/utf.h"

namespace orvane {

namespace {

ScResult Map(LONG rv) { return MapScardResult(rv); }

SCARDCONTEXT ToContext(ScContext context) { return static_cast<SCARDCONTEXT>(context); }
SCARDHANDLE ToHandle(ScCard card) { return static_cast<SCARDHANDLE>(card); }

// The reader list as UTF-16: each name converted on its own, ended by an empty
// name. A name that is not valid UTF-8 cannot be named back to pcsc-lite, so
// it is left out.
ScResult ReaderList(SCARDCONTEXT context, std::u16string& out) {
  DWORD size = 0;
  LONG rv = SCardListReaders(context, nullptr, nullptr, &size);
  if (rv != SCARD_S_SUCCESS) return Map(rv);
  std::string list(size + 1, '\0');
  rv = SCardListReaders(context, nullptr, &list[0], &size);
  if (rv != SCARD_S_SUCCESS) return Map(rv);
  if (size > list.size() - 1) size = list.size() - 1;
  out.clear();
  std::size_t start = 0;
  while (start < size && list[start]) {
    const std::size_t end = list.find('\0', start);
    std::u16string name;
    if (Utf8ToUtf16(list.substr(start, end - start), name)) {
      out += name;
      out += u'\0';
    }
    start = end + 1;
  }
  out += u'\0';
  return ScResult::Ok;
}

}  // namespace

ScResult PcscLiteSmartCard::EstablishContext(ScContext* context) {
  SCARDCONTEXT handle = 0;
  const LONG rv = SCardEstablishContext(SCARD_SCOPE_USER, nullptr, nullptr, &handle);
  if (rv == SCARD_S_SUCCESS) *context = static_cast<ScContext>(handle);
  return Map(rv);
}

ScResult PcscLiteSmartCard::ListReaders(ScContext context, char16_t* names, uint32_t* length) {
  std::u16string list;
  const ScResult result = ReaderList(ToContext(context), list);
  if (result != ScResult::Ok) return result;
  const uint32_t needed = static_cast<uint32_t>(list.size());
  if (!names) {
    *length = needed;
    return ScResult::Ok;
  }
  if (needed > *length) {
    *length = needed;
    return ScResult::InsufficientBuffer;
  }
  std::memcpy(names, list.data(), sizeof(char16_t) * needed);
  *length = needed;
  return ScResult::Ok;
}

ScResult PcscLiteSmartCard::Connect(ScContext context, const char16_t* reader, ScCard* card) {
  const std::string name = Utf16ToUtf8(reader);
  SCARDHANDLE handle = 0;
  DWORD protocol = 0;
  const LONG rv = SCardConnect(ToContext(context), name.c_str(), SCARD_SHARE_SHARED,
                               SCARD_PROTOCOL_T0 | SCARD_PROTOCOL_T1, &handle, &protocol);
  if (rv == SCARD_S_SUCCESS) *card = static_cast<ScCard>(handle);
  return Map(rv);
}

ScResult PcscLiteSmartCard::Status(ScCard card, unsigned char* atr, uint32_t* length) {
  DWORD protocol = 0;
  DWORD atrLength = *length;
  const LONG rv = SCardStatus(ToHandle(card), nullptr, nullptr, nullptr, &protocol, atr, &atrLength);
  *length = static_cast<uint32_t>(atrLength);
  return Map(rv);
}

ScResult PcscLiteSmartCard::Transmit(ScCard card, const unsigned char* command,
                                     uint32_t commandLength, unsigned char* answer,
                                     uint32_t* answerLength) {
  DWORD received = *answerLength;
  const LONG rv = SCardTransmit(ToHandle(card), SCARD_PCI_T1, command, commandLength, nullptr,
                                answer, &received);
  *answerLength = static_cast<uint32_t>(received);
  return Map(rv);
}

ScResult PcscLiteSmartCard::Disconnect(ScCard card) {
  return Map(SCardDisconnect(ToHandle(card), SCARD_LEAVE_CARD));
}

ScResult PcscLiteSmartCard::ReleaseContext(ScContext context) {
  return Map(SCardReleaseContext(ToContext(context)));
}

}  // namespace orvane
