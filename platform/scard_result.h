// PC/SC status codes as the smart-card port's results. The codes have the same
// names and values in winscard and pcsc-lite; only the width of LONG differs.
// Include after the platform's own winscard.h.
#ifndef ORVANE_PLATFORM_SCARD_RESULT_H
#define ORVANE_PLATFORM_SCARD_RESULT_H

#include "platform/smartcard_port.h"

namespace orvane {

template <typename Long>
ScResult MapScardResult(Long rv) {
  switch (rv) {
    case SCARD_S_SUCCESS:
      return ScResult::Ok;
    case SCARD_E_NO_SERVICE:
    case SCARD_E_SERVICE_STOPPED:
      return ScResult::NoService;
    case SCARD_E_NO_READERS_AVAILABLE:
    case SCARD_E_UNKNOWN_READER:
    case SCARD_E_READER_UNAVAILABLE:
      return ScResult::NoReaders;
    case SCARD_E_NO_SMARTCARD:
    case SCARD_W_UNRESPONSIVE_CARD:
    case SCARD_W_UNPOWERED_CARD:
      return ScResult::NoCard;
    case SCARD_W_REMOVED_CARD:
    case SCARD_W_RESET_CARD:
      return ScResult::Removed;
    case SCARD_E_SHARING_VIOLATION:
      return ScResult::Sharing;
    case SCARD_E_INSUFFICIENT_BUFFER:
      return ScResult::InsufficientBuffer;
    default:
      return ScResult::Failed;
  }
}

}  // namespace orvane

#endif
