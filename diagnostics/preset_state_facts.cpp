// Compiled sample banks: this product compiles none into the plug-in.
#include "diagnostics/preset_state_facts.h"

namespace norvo {

std::uint32_t compiledBankCount() noexcept { return 0; }

bool describeCompiledBank(std::uint32_t, BankFacts& facts) noexcept {
  facts = BankFacts{};
  return false;
}

}  // namespace norvo
