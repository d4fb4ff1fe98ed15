// The MIDI CC map: which controller drives which parameter, on which channel, over which
// range, with which curve, value reading and takeover. A plain fixed-size value copied
// byte for byte; each holder (controller, processor, state chunk) keeps whole copies.
// No internal synchronization: any thread on its own copy.
#pragma once

#include <cstdint>
#include <type_traits>

namespace norvo {

inline constexpr std::uint32_t kCcMapCapacity = 64;

enum CcCurve : std::uint8_t {
  kCcCurveLinear = 0,
  kCcCurveExp = 1,
  kCcCurveLog = 2,
  kCcCurveSCurve = 3
};

enum CcValueMode : std::uint8_t {
  kCcValueAbsolute = 0,
  kCcValueRelativeSignedBit = 1,
  kCcValueRelativeBinaryOffset = 2,
  kCcValueRelativeTwosComplement = 3,
  kCcValueToggle = 4,
};

enum CcTakeover : std::uint8_t {
  kCcTakeoverImmediate = 0,
  kCcTakeoverPickup = 1,
  kCcTakeoverScaled = 2
};

// One binding. The member initializers are the default slot: any channel, linear, absolute,
// immediate, enabled, the parameter's own range.
struct CcBinding {
  std::int32_t param = 0;    // index into NORVO_PARAMS, 0..3
  std::uint8_t cc = 0;       // controller number 0..127
  std::uint8_t channel = 0;  // MIDI channel 1..16, 0 = any channel
  std::uint8_t curve = kCcCurveLinear;
  std::uint8_t valueMode = kCcValueAbsolute;
  std::uint8_t takeover = kCcTakeoverImmediate;
  bool enabled = true;  // a disabled binding is kept and written but never acts
  bool hasMin = false;  // `min` replaces the parameter's plain minimum
  bool hasMax = false;  // `max` replaces the parameter's plain maximum
  double min = 0;       // plain value at controller value 0 (when hasMin)
  double max = 0;       // plain value at controller value 127 (when hasMax)
};

struct CcMap {
  std::uint32_t count = 0;  // bindings in use; only the first `count` slots are meaningful
  CcBinding bindings[kCcMapCapacity];
};

static_assert(std::is_trivially_copyable_v<CcMap>, "CcMap is copied as plain bytes");

}  // namespace norvo
