// HostFacts: what the host told the plug-in about itself and its processing set-up. A plain
// fixed-size record: the processor captures it and sends its raw bytes to the controller
// (both ends are the same build), the controller keeps its own copy and reports changes.
// Main thread (captured outside the realtime work of the audio callback).
#pragma once

#include <cstdint>
#include <type_traits>

namespace norvo {

inline constexpr std::uint32_t kHostBusCapacity = 8;

// Which plug-in validator runs us, when the host is one.
enum HostValidatorKind : std::uint8_t {
  kValidatorNone = 0,
  kValidatorPluginval = 1,
  kValidatorClapValidator = 2,
  kValidatorAuval = 3,
  kValidatorSteinberg = 4,
  kValidatorNorvoProbe = 5,
};

enum HostProcessMode : std::uint8_t {
  kProcessModeRealtime = 0,
  kProcessModeOffline = 1,
  kProcessModePrefetch = 2,
};

enum HostTailKind : std::uint8_t {
  kTailUnreported = 0,
  kTailSamples = 1,
  kTailInfinite = 2,
};

// One audio bus as the host arranged it. Texts are NUL-terminated and cut to fit.
struct HostBusFact {
  char id[32] = {};
  bool isInput = false;
  std::int32_t channels = 0;
  bool active = false;
  char layout[24] = {};  // empty when unknown
};

struct HostFacts {
  char hostName[128] = {};
  char hostVersion[64] = {};
  char hostPath[512] = {};
  std::uint8_t validatorHost = kValidatorNone;
  double sampleRate = 0.0;
  std::int32_t maxBlockFrames = 0;
  std::int32_t lastBlockFrames = -1;  // -1 unknown
  std::uint8_t processMode = kProcessModeRealtime;
  std::int32_t sampleSize = 32;
  std::int32_t latencySamples = 0;
  std::uint8_t tailKind = kTailUnreported;
  std::int32_t tailSamples = 0;
  double internalSampleRate = 0.0;  // 0 = same as the host rate
  bool bypassKnown = false;
  bool bypassed = false;
  HostBusFact buses[kHostBusCapacity] = {};
  std::uint32_t busCount = 0;

  // Appends a bus while fewer than 8 are stored; a ninth and later are ignored (returns false).
  // Null texts store empty; long texts are cut.
  bool addBus(const char* id, bool isInput, std::int32_t channels, bool active,
              const char* layout) noexcept;
};

static_assert(std::is_trivially_copyable_v<HostFacts>, "HostFacts crosses as raw bytes");
static_assert(std::is_standard_layout_v<HostFacts>, "HostFacts crosses as raw bytes");

// Sets a text field of the facts (cut to fit, null = empty).
void setHostName(HostFacts& facts, const char* name) noexcept;
void setHostVersion(HostFacts& facts, const char* version) noexcept;
void setHostPath(HostFacts& facts, const char* path) noexcept;

// Validator names ("pluginval"...), null for kValidatorNone and unknown values.
const char* hostValidatorName(std::uint8_t kind) noexcept;

// The validator a host name reveals, by substring, first match wins: "pluginval"/"Pluginval",
// "auval", "clap-validator"/"clap_validator", "Validator"/"validator" (Steinberg's), then
// "Norvo"/"norvo" (our own probe); kValidatorNone otherwise and for null. Any thread.
std::uint8_t validatorKindForHostName(const char* name) noexcept;

}  // namespace norvo
