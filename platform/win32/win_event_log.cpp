#include "platform/win32/win_event_log.h"

#include <windows.h>

#include "store/audit_events.h"

namespace orvane {

namespace {

WORD TypeOf(EventType type) {
  switch (type) {
    case EventType::Warning:
      return EVENTLOG_WARNING_TYPE;
    case EventType::Error:
      return EVENTLOG_ERROR_TYPE;
    case EventType::Information:
      break;
  }
  return EVENTLOG_INFORMATION_TYPE;
}

}  // namespace

WinEventLog::~WinEventLog() {
  if (source_) DeregisterEventSource(static_cast<HANDLE>(source_));
}

void WinEventLog::Report(EventType type, uint32_t id, const char16_t* const* strings,
                         std::size_t count) {
  // Opened lazily and once: a program that reports nothing never touches the
  // log. Without the source registered, Windows still logs under this name.
  if (!opened_) {
    opened_ = true;
    source_ = RegisterEventSourceW(nullptr, reinterpret_cast<const wchar_t*>(events::kSource));
    HANDLE token = nullptr;
    if (OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) {
      union {
        TOKEN_USER user;
        unsigned char bytes[sizeof(TOKEN_USER) + SECURITY_MAX_SID_SIZE];
      } info;
      DWORD size = 0;
      if (GetTokenInformation(token, TokenUser, &info, sizeof info, &size) &&
          IsValidSid(info.user.User.Sid) && GetLengthSid(info.user.User.Sid) <= sizeof user_) {
        CopySid(sizeof user_, reinterpret_cast<PSID>(user_), info.user.User.Sid);
      }
      CloseHandle(token);
    }
  }
  if (!source_) return;
  // The event's user is the account this process runs as: Event Viewer shows
  // it in its User column beside the account named in the text.
  ReportEventW(static_cast<HANDLE>(source_), TypeOf(type), 0, static_cast<DWORD>(id),
               user_[0] ? reinterpret_cast<PSID>(user_) : nullptr, static_cast<WORD>(count), 0,
               const_cast<LPCWSTR*>(reinterpret_cast<const LPCWSTR*>(strings)), nullptr);
}

}  // namespace orvane
