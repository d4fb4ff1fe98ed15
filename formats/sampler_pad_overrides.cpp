// The table of the fifteen pad override values and their acceptance rules. Any thread.
#include "formats/sampler_pad_overrides.h"

#include <cmath>

namespace norvo {

const PadOverrideValueLimits kPadOverrideValues[kPadOverrideValueCount] = {
    {"transpose", -24, 24, PadValueRule::Whole, &SamplerPadOverride::transpose},
    {"fineTune", -100, 100, PadValueRule::Any, &SamplerPadOverride::fineTune},
    {"gain", 0, 4, PadValueRule::Any, &SamplerPadOverride::gain},
    {"pan", -1, 1, PadValueRule::Any, &SamplerPadOverride::pan},
    {"start", 0, 1, PadValueRule::Any, &SamplerPadOverride::start},
    {"end", 0, 1, PadValueRule::Any, &SamplerPadOverride::end},
    {"attack", 0, 2, PadValueRule::Any, &SamplerPadOverride::attack},
    {"release", 0.001, 4, PadValueRule::Any, &SamplerPadOverride::release},
    {"filterHz", 20, 20000, PadValueRule::Any, &SamplerPadOverride::filterHz},
    {"resonance", 0.1, 18, PadValueRule::Any, &SamplerPadOverride::resonance},
    {"reverse", 0, 1, PadValueRule::ZeroOrOne, &SamplerPadOverride::reverse},
    {"muted", 0, 1, PadValueRule::ZeroOrOne, &SamplerPadOverride::muted},
    {"chokeGroup", 0, 8, PadValueRule::Whole, &SamplerPadOverride::chokeGroup},
    {"roundRobinGroup", 0, 8, PadValueRule::Whole, &SamplerPadOverride::roundRobinGroup},
    {"velocitySensitivity", 0, 1, PadValueRule::Any, &SamplerPadOverride::velocitySensitivity},
};

int padOverrideValueIndex(const std::string& key) noexcept {
  for (int i = 0; i < kPadOverrideValueCount; ++i) {
    if (key == kPadOverrideValues[i].key) return i;
  }
  return -1;
}

bool padOverrideValueAccepted(int index, double value) noexcept {
  if (index < 0 || index >= kPadOverrideValueCount || !std::isfinite(value)) return false;
  const PadOverrideValueLimits& limits = kPadOverrideValues[index];
  if (value < limits.min || value > limits.max) return false;
  switch (limits.rule) {
    case PadValueRule::Whole:
      return value == std::floor(value);
    case PadValueRule::ZeroOrOne:
      return value == 0 || value == 1;
    case PadValueRule::Any:
      return true;
  }
  return false;
}

}  // namespace norvo
