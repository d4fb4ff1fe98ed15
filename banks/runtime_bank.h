// The records a bank load produces: the outcome code with its name, the staged bank with its
// positionings, presets, sample arena and zones. Built off the audio thread; once staged, a
// bank is read-only and may be shared with any thread.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace norvo {

enum class RuntimeBankOutcome : std::uint8_t {
  Ok = 0,
  BankMissing = 1,
  BankHashMismatch = 2,
  BankMalformed = 3,
  BankUnsupportedCodec = 4,
  BankTooLarge = 5,
  BankInstrumentUnknown = 6,
};

// "ok", "bank-missing", ... ; every code above 6 is named "bank-missing". Any thread.
const char* runtimeBankOutcomeName(RuntimeBankOutcome outcome) noexcept;

// Loop and frame values that were not read from the document.
inline constexpr std::uint32_t kStagedFrameNotRead = 4294967295u;

struct StagedPositioning {
  std::string id;
  std::string name;
  std::string kind;  // "instruments" or "kits"
};

struct StagedPreset {
  std::string id;
  std::string name;
  std::string instrument;
  std::vector<std::pair<std::string, double>> params;  // ascending by key bytes, all finite
};

struct StagedZone {
  std::string id;
  std::uint32_t assetOffset = 0;
  std::uint32_t assetFrames = 0;
  std::uint32_t declaredLoopStart = kStagedFrameNotRead;
  std::uint32_t declaredLoopEnd = kStagedFrameNotRead;
  std::uint32_t declaredCrossfade = kStagedFrameNotRead;
  std::uint32_t start = 0;   // arena index of the first frame played
  std::uint32_t frames = 0;  // frames played from `start`
  double sampleRate = 48000.0;
  std::uint32_t lowKey = 0;
  std::uint32_t highKey = 127;
  std::uint32_t rootKey = 60;
  bool keyTracking = true;
  std::uint32_t lowVelocity = 0;
  std::uint32_t highVelocity = 127;
  double gain = 1.0;
  double pan = 0.0;
  double fineTuneCents = 0.0;
  std::uint32_t roundRobinGroup = 0;
  std::uint32_t chokeGroup = 0;
  std::int32_t trigger = 0;     // 0 attack, 1 release, 2 legato
  std::int32_t loopMode = 0;    // 0 none, 1 forward
  std::uint32_t loopStart = 0;  // relative to `start`
  std::uint32_t loopEnd = 0;    // relative to `start`
  std::uint32_t loopCrossfade = 0;
  double attackSeconds = 0.001;
  double releaseSeconds = 0.05;
  bool reverse = false;
  double filterCutoffHz = 0.0;
  double filterResonance = 0.0;
};

struct StagedBank {
  std::string id;
  std::string version;
  std::string instrumentId;
  std::string instrumentName;
  std::string instrumentKind;  // "instruments" or "kits"
  std::vector<StagedPositioning> positionings;
  std::vector<StagedPreset> presets;
  std::string manifestSha256;
  std::string name;
  std::vector<float> samples;  // the arena: mono frames of every used asset, end to end
  std::vector<StagedZone> zones;
  double sampleRate = 48000.0;
};

struct RuntimeBankLoad {
  RuntimeBankOutcome outcome = RuntimeBankOutcome::BankMissing;
  StagedBank bank;
  std::string error;  // empty on success
};

}  // namespace norvo
