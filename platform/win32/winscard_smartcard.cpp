#include "platform/win32/winscard_smartcard.h"

#include <windows.h>
#include <winscard.h>

#include "platform/scard_result.h"
#include "platform/win32/win_dll.h"

namespace orvane {

namespace {

ScResult Map(LONG rv) { return MapScardResult(rv); }

SCARDCONTEXT ToContext(ScContext context) { return static_cast<SCARDCONTEXT>(context); }
SCARDHANDLE ToHandle(ScCard card) { return static_cast<SCARDHANDLE>(card); }

// winscard.dll is not a KnownDLL: it is loaded from System32 at run time, never
// imported, so that no copy beside the program is taken. The entry points and
// the T=1 send header are looked up once; without any of them there is no
// PC/SC service.
struct Winscard {
  bool tried = false;
  bool usable = false;
  LONG(WINAPI* establishContext)(DWORD, LPCVOID, LPCVOID, LPSCARDCONTEXT) = nullptr;
  LONG(WINAPI* listReaders)(SCARDCONTEXT, LPCWSTR, LPWSTR, LPDWORD) = nullptr;
  LONG(WINAPI* connect)(SCARDCONTEXT, LPCWSTR, DWORD, DWORD, LPSCARDHANDLE, LPDWORD) = nullptr;
  LONG(WINAPI* status)(SCARDHANDLE, LPWSTR, LPDWORD, LPDWORD, LPDWORD, LPBYTE, LPDWORD) = nullptr;
  LONG(WINAPI* transmit)(SCARDHANDLE, LPCSCARD_IO_REQUEST, LPCBYTE, DWORD, LPSCARD_IO_REQUEST,
                         LPBYTE, LPDWORD) = nullptr;
  LONG(WINAPI* disconnect)(SCARDHANDLE, DWORD) = nullptr;
  LONG(WINAPI* releaseContext)(SCARDCONTEXT) = nullptr;
  LPCSCARD_IO_REQUEST t1 = nullptr;
};

Winscard g_winscard;  // namespace scope: no thread-safe static guard

const Winscard* Api() {
  Winscard& api = g_winscard;
  if (!api.tried) {
    api.tried = true;
    HMODULE module = LoadSystemLibrary(L"winscard.dll");
    api.establishContext = ProcOf<decltype(api.establishContext)>(module, "SCardEstablishContext");
    api.listReaders = ProcOf<decltype(api.listReaders)>(module, "SCardListReadersW");
    api.connect = ProcOf<decltype(api.connect)>(module, "SCardConnectW");
    api.status = ProcOf<decltype(api.status)>(module, "SCardStatusW");
    api.transmit = ProcOf<decltype(api.transmit)>(module, "SCardTransmit");
    api.disconnect = ProcOf<decltype(api.disconnect)>(module, "SCardDisconnect");
    api.releaseContext = ProcOf<decltype(api.releaseContext)>(module, "SCardReleaseContext");
    api.t1 = module ? reinterpret_cast<LPCSCARD_IO_REQUEST>(
                          reinterpret_cast<void*>(GetProcAddress(module, "g_rgSCardT1Pci")))
                    : nullptr;
    api.usable = api.establishContext && api.listReaders && api.connect && api.status &&
                 api.transmit && api.disconnect && api.releaseContext && api.t1;
  }
  return api.usable ? &api : nullptr;
}

}  // namespace

ScResult WinScardSmartCard::EstablishContext(ScContext* context) {
  const Winscard* api = Api();
  if (api == nullptr) return ScResult::NoService;
  SCARDCONTEXT handle = 0;
  const LONG rv = api->establishContext(SCARD_SCOPE_USER, nullptr, nullptr, &handle);
  if (rv == SCARD_S_SUCCESS) *context = static_cast<ScContext>(handle);
  return Map(rv);
}

ScResult WinScardSmartCard::ListReaders(ScContext context, char16_t* names, uint32_t* length) {
  const Winscard* api = Api();
  if (api == nullptr) return ScResult::NoService;
  DWORD size = names ? *length : 0;
  const LONG rv =
      api->listReaders(ToContext(context), nullptr, reinterpret_cast<LPWSTR>(names), &size);
  *length = static_cast<uint32_t>(size);
  return Map(rv);
}

ScResult WinScardSmartCard::Connect(ScContext context, const char16_t* reader, ScCard* card) {
  const Winscard* api = Api();
  if (api == nullptr) return ScResult::NoService;
  SCARDHANDLE handle = 0;
  DWORD protocol = 0;
  const LONG rv = api->connect(ToContext(context), reinterpret_cast<LPCWSTR>(reader),
                                SCARD_SHARE_SHARED, SCARD_PROTOCOL_T0 | SCARD_PROTOCOL_T1,
                                &handle, &protocol);
  if (rv == SCARD_S_SUCCESS) *card = static_cast<ScCard>(handle);
  return Map(rv);
}

ScResult WinScardSmartCard::Status(ScCard card, unsigned char* atr, uint32_t* length) {
  const Winscard* api = Api();
  if (api == nullptr) return ScResult::NoService;
  DWORD protocol = 0;
  DWORD atrLength = *length;
  const LONG rv = api->status(ToHandle(card), nullptr, nullptr, nullptr, &protocol, atr, &atrLength);
  *length = static_cast<uint32_t>(atrLength);
  return Map(rv);
}

ScResult WinScardSmartCard::Transmit(ScCard card, const unsigned char* command,
                                     uint32_t commandLength, unsigned char* answer,
                                     uint32_t* answerLength) {
  const Winscard* api = Api();
  if (api == nullptr) return ScResult::NoService;
  DWORD received = *answerLength;
  const LONG rv = api->transmit(ToHandle(card), api->t1, command, commandLength, nullptr,
                                answer, &received);
  *answerLength = static_cast<uint32_t>(received);
  return Map(rv);
}

ScResult WinScardSmartCard::Disconnect(ScCard card) {
  const Winscard* api = Api();
  if (api == nullptr) return ScResult::NoService;
  return Map(api->disconnect(ToHandle(card), SCARD_LEAVE_CARD));
}

ScResult WinScardSmartCard::ReleaseContext(ScContext context) {
  const Winscard* api = Api();
  if (api == nullptr) return ScResult::NoService;
  return Map(api->releaseContext(ToContext(context)));
}

}  // namespace orvane
