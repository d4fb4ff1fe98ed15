// HostFacts construction helpers.
#include "diagnostics/host_facts.h"

#include "common/fixed_text.h"

namespace norvo {

bool HostFacts::addBus(const char* id, bool isInput, std::int32_t channels, bool active,
                       const char* layout) noexcept {
  if (busCount >= kHostBusCapacity) {
    return false;
  }
  HostBusFact& bus = buses[busCount++];
  copyFixedText(bus.id, id);
  bus.isInput = isInput;
  bus.channels = channels;
  bus.active = active;
  copyFixedText(bus.layout, layout);
  return true;
}

void setHostName(HostFacts& facts, const char* name) noexcept {
  copyFixedText(facts.hostName, name);
}

void setHostVersion(HostFacts& facts, const char* version) noexcept {
  copyFixedText(facts.hostVersion, version);
}

void setHostPath(HostFacts& facts, const char* path) noexcept {
  copyFixedText(facts.hostPath, path);
}

const char* hostValidatorName(std::uint8_t kind) noexcept {
  switch (kind) {
    case kValidatorPluginval:
      return "pluginval";
    case kValidatorClapValidator:
      return "clap-validator";
    case kValidatorAuval:
      return "auval";
    case kValidatorSteinberg:
      return "steinberg-validator";
    case kValidatorNorvoProbe:
      return "norvo-probe";
    default:
      return nullptr;
  }
}

}  // namespace norvo
