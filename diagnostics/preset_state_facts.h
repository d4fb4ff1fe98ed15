// BankFacts and PresetStateFacts: one sample bank and the preset situation as the diagnostics
// report them. Plain values owned by their holders (the controller's preset facts).
// Main thread.
#pragma once

#include <cstdint>

namespace norvo {

struct BankFacts {
  bool present = false;
  std::int32_t index = -1;  // -1 unknown, like every number below
  char id[128] = {};
  char name[128] = {};
  char kind[16] = {};
  char version[32] = {};
  char sha256[65] = {};
  char source[24] = {};
  char entryId[96] = {};
  std::int32_t zoneCount = -1;
  std::int32_t roundRobinGroups = -1;
  std::int32_t chokeGroups = -1;
  std::int32_t velocityLayers = -1;
  std::int32_t padCount = -1;
};

struct PresetStateFacts {
  std::uint32_t factoryCount = 0;
  char currentId[96] = {};
  char currentName[96] = {};
  bool dirty = false;
  bool userPresetsSupported = false;
  std::int64_t lastStateBytes = -1;  // -1 unknown
  BankFacts bank{};
};

// Sample banks compiled into the plug-in: none in this product.
std::uint32_t compiledBankCount() noexcept;

// Fills `facts` with empty facts and returns false: there is no compiled bank at any index.
bool describeCompiledBank(std::uint32_t index, BankFacts& facts) noexcept;

}  // namespace norvo
