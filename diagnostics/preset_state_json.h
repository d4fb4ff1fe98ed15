// Writers of the bank object, the preset state object and the compiled bank list. Main thread.
#pragma once

#include <string>

#include "diagnostics/preset_state_facts.h"

namespace norvo {

// Appends the bank object: "id" always, the texts only when not empty, the numbers only when
// known (>= 0).
void writeDiagnosticBankJson(std::string& out, const BankFacts& bank);

// Appends the preset state object; "bank" only when the bank facts are present with an id.
void writeDiagnosticPresetStateJson(std::string& out, const PresetStateFacts& facts);

// Appends the compiled banks: this product compiles none, so nothing is appended.
void writeDiagnosticBanksJson(std::string& out);

}  // namespace norvo
