// Per-pad adjustments of a sample bank (transpose, tuning, level, envelope, filter, switches,
// groups): the in-memory record and the table of the fifteen values with their ranges.
// Plain values; each holder (controller, processor, state chunk) keeps its own copy. Main
// thread or state-restore thread; never the audio thread (the record owns strings).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace norvo {

inline constexpr std::size_t kMaxPadOverrides = 256;  // entries kept; more members read as empty
inline constexpr std::size_t kMaxPadIdBytes = 160;    // longer pad ids are dropped
inline constexpr int kPadOverrideValueCount = 15;

// Bit k of SamplerPadOverride::mask: the k-th value was given.
enum PadOverrideBit : std::uint32_t {
  kPadTranspose = 1u << 0,
  kPadFineTune = 1u << 1,
  kPadGain = 1u << 2,
  kPadPan = 1u << 3,
  kPadStart = 1u << 4,
  kPadEnd = 1u << 5,
  kPadAttack = 1u << 6,
  kPadRelease = 1u << 7,
  kPadFilterHz = 1u << 8,
  kPadResonance = 1u << 9,
  kPadReverse = 1u << 10,
  kPadMuted = 1u << 11,
  kPadChokeGroup = 1u << 12,
  kPadRoundRobinGroup = 1u << 13,
  kPadVelocitySensitivity = 1u << 14,
};

struct SamplerPadOverride {
  std::string padId;
  std::uint32_t mask = 0;
  // The values in bit order; each holds its default while its bit is clear.
  double transpose = 0;            // semitones, whole, -24..24
  double fineTune = 0;             // cents, -100..100
  double gain = 1;                 // linear factor, 0..4
  double pan = 0;                  // -1..1
  double start = 0;                // fraction of the sample, 0..1
  double end = 1;                  // fraction of the sample, 0..1
  double attack = 0;               // seconds, 0..2
  double release = 0.025;          // seconds, 0.001..4
  double filterHz = 20000;         // hertz, 20..20000
  double resonance = 0.7;          // 0.1..18
  double reverse = 0;              // 0 or 1
  double muted = 0;                // 0 or 1
  double chokeGroup = 0;           // whole, 0..8
  double roundRobinGroup = 0;      // whole, 0..8
  double velocitySensitivity = 1;  // 0..1

  friend bool operator==(const SamplerPadOverride&, const SamplerPadOverride&) = default;
};

// First-seen order, at most kMaxPadOverrides entries, no two with the same pad id.
using SamplerPadOverrides = std::vector<SamplerPadOverride>;

// How one of the fifteen values is named, bounded and stored.
enum class PadValueRule { Any, Whole, ZeroOrOne };

struct PadOverrideValueLimits {
  const char* key;  // JSON key
  double min;       // inclusive
  double max;       // inclusive
  PadValueRule rule;
  double SamplerPadOverride::*field;
};

// The fifteen values in bit order (index k describes bit k).
extern const PadOverrideValueLimits kPadOverrideValues[kPadOverrideValueCount];

// The bit index of `key`, or -1 for a key that is not one of the fifteen.
int padOverrideValueIndex(const std::string& key) noexcept;

// True when `value` is finite and satisfies the range and rule of value `index`.
bool padOverrideValueAccepted(int index, double value) noexcept;

}  // namespace norvo
