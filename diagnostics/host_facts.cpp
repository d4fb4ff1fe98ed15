// HostFacts construction helpers.
#include "diagnostics/host_facts.h"

#include <cstring>

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

std::uint8_t validatorKindForHostName(const char* name) noexcept {
  if (name == nullptr) return kValidatorNone;
  const auto has = [name](const char* part) { return std::strstr(name, part) != nullptr; };
  if (has("pluginval") || has("Pluginval")) return kValidatorPluginval;
  if (has("auval")) return kValidatorAuval;
  if (has("clap-validator") || has("clap_validator")) return kValidatorClapValidator;
  if (has("Validator") || has("validator")) return kValidatorSteinberg;
  if (has("Norvo") || has("norvo")) return kValidatorNorvoProbe;
  return kValidatorNone;
}

}  // namespace norvo
