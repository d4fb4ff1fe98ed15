// The diagnostic blocks of the hello message sent to the editor page. Main thread.
#pragma once

#include <cstdint>
#include <string>

#include "diagnostics/host_facts.h"
#include "diagnostics/preset_state_facts.h"

namespace norvo {

// Appends ,"identity":{..}[,"host":{..}],"diagnostics":{..},"presetState":{..} to a hello
// object the caller has opened and filled with its own members. "host" is written only once
// the host facts carry a sample rate above 0.
void appendDiagnosticHelloBlocks(std::string& out, std::uint8_t target, const HostFacts& host,
                                 const PresetStateFacts& presets);

}  // namespace norvo
