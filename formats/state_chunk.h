// The parsed component state (`StateChunk`) with its bank reference and the name tables of
// the sampler fault codes, zone programs and bank sources. A chunk lives for one load on the
// thread that handles the host's state calls or the editor's messages; never the audio thread.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "ccmap/cc_map.h"
#include "formats/sampler_pad_overrides.h"

namespace norvo {

inline constexpr std::size_t kStateParamCount =
    4;  // "chord.on", "chord.mode", "chord.spread", "chord.velocity"
inline constexpr std::size_t kMaxAuthoredStateBytes = 1048576;

enum SamplerAssetDiagnostic : std::uint32_t {
  kSamplerAssetNoFault = 0,
  kSamplerAssetMissingInMemory = 0x53410001,
  kSamplerAssetCorruptInMemory = 0x53410002,
  kSamplerAssetMovedInMemory = 0x53410003,
  kSamplerAssetChangedInMemory = 0x53410004,
  kSamplerAssetUnsupportedStereoSource = 0x53410005,
};

enum SamplerZoneProgram : std::int32_t {
  kZoneLegacySingleZone = 0,
  kZoneOneShotDrum = 1,
  kZoneLoopedPadRelease = 2,
  kZoneVelocityRoundRobin = 3,
  kZoneKeyZonesPitch = 4,
  kZoneStereoMultiMic = 5,
  kZoneChokeAndSustain = 6,
  kZoneVoiceLimitSteal = 7,
};

inline constexpr std::int32_t kSamplerZoneProgramCount = 8;

// Reference to a runtime sample bank. Texts are NUL-terminated; capacities include the
// terminator, so the longest accepted text is one byte shorter.
struct BankStateRef {
  char id[128] = {};
  char bankVersion[32] = {};
  char sha256[65] = {};
  char source[24] = {};
  char presetId[64] = {};
  char instrument[64] = {};
  char locator[1024] = {};
  bool hasLocator = false;
  bool present = false;
  bool hasPresetId = false;
};

// The record a parsed state document fills. A default-constructed chunk is the fresh chunk
// every parse starts from.
struct StateChunk {
  double params[kStateParamCount] = {};  // plain values, parameter table order
  bool hasParam[kStateParamCount] = {};
  std::int32_t variation = -1;  // -1 = absent
  CcMap ccMap;
  bool hasCcMap = false;  // the "ccMap" value carried a bindings array
  SamplerAssetDiagnostic samplerAssetFault = kSamplerAssetNoFault;
  bool hasSamplerAssetFault = false;
  SamplerZoneProgram samplerZoneProgram = kZoneLegacySingleZone;
  bool hasSamplerZoneProgram = false;
  SamplerPadOverrides padOverrides;
  bool hasPadOverrides = false;
  std::vector<std::uint8_t> authoredBytes;
  std::int32_t authoredVersion = 0;
  bool hasAuthoredState = false;
  BankStateRef bank;
};

// True for "embedded", "module-relative", "user-folder" and "hosted"; false for anything
// else, nullptr included. Any thread.
bool bankSourceNameKnown(const char* name) noexcept;

// The document name of a fault code, or nullptr for 0 and codes outside the table. Any thread.
const char* samplerAssetFaultName(SamplerAssetDiagnostic fault) noexcept;

// The fault code of a document name; false (and `fault` untouched) for unknown names.
bool samplerAssetFaultFromName(const char* name, SamplerAssetDiagnostic& fault) noexcept;

// The number of a zone program name; 0 for unknown names and nullptr. Any thread.
SamplerZoneProgram samplerZoneProgramFromName(const char* name) noexcept;

// True when `name` is one of the eight zone program names. Any thread.
bool samplerZoneProgramNameKnown(const char* name) noexcept;

// The name of a zone program; numbers outside 0..7 give "legacy-single-zone". Any thread.
const char* samplerZoneProgramName(std::int32_t program) noexcept;

}  // namespace norvo
