// Kept apart from the decision logic so that programs and tests that script
// the poll do not pull in the card-access code.
#include "card/card_access.h"
#include "checker/checker.h"

namespace orvane {

void CardAccessPoller::Prepare() {
  LoadFelicaLibrary(access_);
  access_.readerCount = 0;
  access_.pasoriIndex = 0;
  access_.readerKind = kNoReader;
}

bool CardAccessPoller::Poll() { return PollCard(access_); }

const CardIdentity& CardAccessPoller::Identity() const { return access_.identity; }

// Reader kind 0 after a poll: no service or no usable reader, and the next
// poll discovers again (a new context included).
bool CardAccessPoller::ReaderAnswered() const { return access_.readerKind != kNoReader; }

}  // namespace orvane
