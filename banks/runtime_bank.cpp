// Names of the bank load outcomes.
#include "banks/runtime_bank.h"

namespace norvo {

const char* runtimeBankOutcomeName(RuntimeBankOutcome outcome) noexcept {
  switch (outcome) {
    case RuntimeBankOutcome::Ok:
      return "ok";
    case RuntimeBankOutcome::BankHashMismatch:
      return "bank-hash-mismatch";
    case RuntimeBankOutcome::BankMalformed:
      return "bank-malformed";
    case RuntimeBankOutcome::BankUnsupportedCodec:
      return "bank-unsupported-codec";
    case RuntimeBankOutcome::BankTooLarge:
      return "bank-too-large";
    case RuntimeBankOutcome::BankInstrumentUnknown:
      return "bank-instrument-unknown";
    case RuntimeBankOutcome::BankMissing:
      break;
  }
  return "bank-missing";
}

}  // namespace norvo
