// What the card-access code relies on from PC/SC when things go wrong
// (no card, unknown reader, buffers too small, the card leaving while
// connected), as one set of cases for any SmartCardPort: the scripted fake
// natively, the pcsc-lite adapter on the tests' pcscd with a vpcd card.
// Where the two disagree the fake is wrong.
#ifndef ORVANE_TESTS_CONTRACT_SMARTCARD_CONTRACT_H
#define ORVANE_TESTS_CONTRACT_SMARTCARD_CONTRACT_H

#include <vector>

#include "platform/smartcard_port.h"
#include "tests/contract/contract_log.h"

namespace orvane {

// The readers and the card of a run, and the one move the cases need.
class CardStage {
 public:
  virtual ~CardStage() = default;
  virtual const char16_t* ReaderWithCard() const = 0;
  virtual const char16_t* ReaderWithoutCard() const = 0;
  // The card's ATR and its answer to the ID command FF CA 00 00 00.
  virtual std::vector<unsigned char> Atr() const = 0;
  virtual std::vector<unsigned char> IdAnswer() const = 0;
  // Takes the card off its reader; true once the reader shows no card.
  virtual bool RemoveCard() = 0;
};

// Returns the number of failed checks.
int RunSmartCardContract(SmartCardPort& port, CardStage& stage, ContractLog& log);

}  // namespace orvane

#endif
