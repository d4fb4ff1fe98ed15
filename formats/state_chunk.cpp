// Name tables of the state chunk: bank sources, sampler fault codes and zone programs.
#include "formats/state_chunk.h"

#include <cstring>

namespace norvo {
namespace {

constexpr const char* kBankSourceNames[] = {"embedded", "module-relative", "user-folder", "hosted"};

struct FaultName {
  SamplerAssetDiagnostic code;
  const char* name;
};

constexpr FaultName kFaultNames[] = {
    {kSamplerAssetMissingInMemory, "missing-in-memory-asset"},
    {kSamplerAssetCorruptInMemory, "corrupt-in-memory-asset"},
    {kSamplerAssetMovedInMemory, "moved-in-memory-asset"},
    {kSamplerAssetChangedInMemory, "changed-in-memory-asset"},
    {kSamplerAssetUnsupportedStereoSource, "unsupported-stereo-source"},
};

constexpr const char* kZoneProgramNames[kSamplerZoneProgramCount] = {
    "legacy-single-zone", "one-shot-drum",    "looped-pad-release", "velocity-round-robin",
    "key-zones-pitch",    "stereo-multi-mic", "choke-and-sustain",  "voice-limit-steal",
};

int zoneProgramIndex(const char* name) noexcept {
  if (name == nullptr) return -1;
  for (int i = 0; i < kSamplerZoneProgramCount; ++i) {
    if (std::strcmp(name, kZoneProgramNames[i]) == 0) return i;
  }
  return -1;
}

}  // namespace

bool bankSourceNameKnown(const char* name) noexcept {
  if (name == nullptr) return false;
  for (const char* known : kBankSourceNames) {
    if (std::strcmp(name, known) == 0) return true;
  }
  return false;
}

const char* samplerAssetFaultName(SamplerAssetDiagnostic fault) noexcept {
  for (const FaultName& entry : kFaultNames) {
    if (entry.code == fault) return entry.name;
  }
  return nullptr;
}

bool samplerAssetFaultFromName(const char* name, SamplerAssetDiagnostic& fault) noexcept {
  if (name == nullptr) return false;
  for (const FaultName& entry : kFaultNames) {
    if (std::strcmp(name, entry.name) == 0) {
      fault = entry.code;
      return true;
    }
  }
  return false;
}

SamplerZoneProgram samplerZoneProgramFromName(const char* name) noexcept {
  const int index = zoneProgramIndex(name);
  return static_cast<SamplerZoneProgram>(index < 0 ? 0 : index);
}

bool samplerZoneProgramNameKnown(const char* name) noexcept { return zoneProgramIndex(name) >= 0; }

const char* samplerZoneProgramName(std::int32_t program) noexcept {
  if (program < 0 || program >= kSamplerZoneProgramCount) return kZoneProgramNames[0];
  return kZoneProgramNames[program];
}

}  // namespace norvo
