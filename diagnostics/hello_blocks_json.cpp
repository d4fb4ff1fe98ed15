// The hello message's diagnostic blocks.
#include "diagnostics/hello_blocks_json.h"

#include "diagnostics/host_facts_json.h"
#include "diagnostics/identity_json.h"
#include "diagnostics/preset_state_json.h"

namespace norvo {

void appendDiagnosticHelloBlocks(std::string& out, std::uint8_t target, const HostFacts& host,
                                 const PresetStateFacts& presets) {
  out += ",\"identity\":";
  writeDiagnosticIdentityJson(out, target);
  if (host.sampleRate > 0) {
    out += ",\"host\":";
    writeDiagnosticHostJson(out, host);
  }
  out += ",\"diagnostics\":";
  writeDiagnosticCapabilitiesJson(out);
  out += ",\"presetState\":";
  writeDiagnosticPresetStateJson(out, presets);
}

}  // namespace norvo
