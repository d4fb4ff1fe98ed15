// The CC resolver. Audio thread: no allocation, no locks; per binding at most one scan of the
// 128 controller positions.
#include "ccmap/cc_router.h"

#include <cmath>

namespace norvo {
namespace {

constexpr int kCcMaxValue = 127;

int clampCcValue(int value) noexcept {
  return value < 0 ? 0 : (value > kCcMaxValue ? kCcMaxValue : value);
}

// Clamps without relying on lo <= hi (a parameter range may be degenerate); NaN stays NaN.
double clampTo(double x, double lo, double hi) noexcept {
  if (x < lo) {
    x = lo;
  }
  if (x > hi) {
    x = hi;
  }
  return x;
}

double shapeByCurve(std::uint8_t curve, double x) noexcept {
  switch (curve) {
    case kCcCurveExp:
      return x * x;
    case kCcCurveLog:
      return std::sqrt(x);
    case kCcCurveSCurve:
      return x * x * (3.0 - 2.0 * x);
    default:
      return x;
  }
}

// Plain value → normalized value by the descriptor's kind. A non-finite range can make the
// plain value NaN; that reads as the lowest value, so a parameter never receives NaN.
double normalizeByKind(const norvo_param_desc& desc, double plain) noexcept {
  double normalized = 0;
  if (desc.kind == kParamKindList) {
    if (desc.valueCount > 1) {
      const double last = static_cast<double>(desc.valueCount - 1);
      normalized = clampTo(plain, 0.0, last) / last;
    }
  } else if (desc.kind == kParamKindToggle) {
    normalized = clampTo(plain, desc.min, desc.max) >= 0.5 ? 1.0 : 0.0;
  } else if (desc.max != desc.min) {
    normalized = clampTo((plain - desc.min) / (desc.max - desc.min), 0.0, 1.0);
  }
  return std::isnan(normalized) ? 0.0 : normalized;
}

double rangeLow(const CcBinding& binding, const norvo_param_desc& desc) noexcept {
  return binding.hasMin ? binding.min : desc.min;
}

double rangeHigh(const CcBinding& binding, const norvo_param_desc& desc) noexcept {
  return binding.hasMax ? binding.max : desc.max;
}

// The controller position whose value comes nearest `target`; the first of equal distances.
int nearestPosition(const CcBinding& binding, const norvo_param_desc& desc,
                    double target) noexcept {
  int best = 0;
  double bestDistance = std::fabs(ccApplyNormalized(binding, desc, 0) - target);
  for (int k = 1; k <= kCcMaxValue; ++k) {
    const double distance = std::fabs(ccApplyNormalized(binding, desc, k) - target);
    if (distance < bestDistance) {
      best = k;
      bestDistance = distance;
    }
  }
  return best;
}

// Step a relative encoding reads from a controller value already clamped to 0..127.
int relativeStep(std::uint8_t valueMode, int v) noexcept {
  switch (valueMode) {
    case kCcValueRelativeSignedBit:
      return v <= 64 ? -v : v - 64;
    case kCcValueRelativeBinaryOffset:
      return v - 64;
    case kCcValueRelativeTwosComplement:
      return v < 64 ? v : v - 128;
    default:
      return 0;
  }
}

// What one taking-part binding knows when it handles a message.
struct SlotContext {
  const CcBinding& binding;
  const norvo_param_desc& desc;
  CcRouterState* state;
  std::uint32_t slot;
  int v;     // controller value, clamped
  int prev;  // previous controller value for this slot (0 when unknown)
  bool prevValid;
  double cur;  // current normalized value of the parameter
  bool hasCur;
};

bool resolvePickup(const SlotContext& c, double& out) noexcept {
  bool& pickedUp = c.state->pickedUp[c.slot];
  if (!pickedUp) {
    const int k = nearestPosition(c.binding, c.desc, c.cur);
    const bool crossed = c.prevValid && ((c.prev < k && k < c.v) || (c.v < k && k < c.prev));
    if (c.v != k && !crossed) {
      return false;
    }
    pickedUp = true;
  }
  out = ccApplyNormalized(c.binding, c.desc, c.v);
  return true;
}

// The controller's remaining travel toward an end is spread over the parameter's remaining
// travel toward the same end, so both arrive together.
bool resolveScaled(const SlotContext& c, double& out) noexcept {
  if (!c.prevValid) {
    return false;
  }
  const int k = nearestPosition(c.binding, c.desc, c.cur);
  const int d = c.v - c.prev;
  const int range = c.v > c.prev ? kCcMaxValue - c.prev : c.prev;
  if (d == 0 || range == 0) {
    return false;
  }
  const int span = d > 0 ? kCcMaxValue - k : k;
  const double fraction =
      clampTo((static_cast<double>(span) / range * d + k) / kCcMaxValue, 0.0, 1.0);
  const int position = static_cast<int>(std::round(fraction * kCcMaxValue));
  out = ccApplyNormalized(c.binding, c.desc, position);
  return true;
}

bool resolveAbsolute(const SlotContext& c, double& out) noexcept {
  if (c.binding.takeover == kCcTakeoverPickup && c.state != nullptr && c.hasCur) {
    return resolvePickup(c, out);
  }
  // Scaling needs the previous controller value, which only a router state remembers;
  // without one the binding acts immediately, as pickup does.
  if (c.binding.takeover == kCcTakeoverScaled && c.state != nullptr && c.hasCur) {
    return resolveScaled(c, out);
  }
  out = ccApplyNormalized(c.binding, c.desc, c.v);
  return true;
}

bool resolveRelative(const SlotContext& c, double& out) noexcept {
  const std::uint8_t mode = c.binding.valueMode;
  const int step = relativeStep(mode, c.v);
  if (mode == kCcValueRelativeBinaryOffset ? step == 0 : (c.v == 0 || c.v == 64)) {
    return false;
  }
  const int k = nearestPosition(c.binding, c.desc, c.hasCur ? c.cur : 0.0);
  out = ccApplyNormalized(c.binding, c.desc, clampCcValue(k + step));
  return true;
}

// Acts on a press only (a value of 64 or more after a value below 64, or the first one seen).
bool resolveToggle(const SlotContext& c, double& out) noexcept {
  const bool press = c.v >= 64 && !(c.prevValid && c.prev >= 64);
  if (!press) {
    return false;
  }
  const double off = normalizeByKind(c.desc, rangeLow(c.binding, c.desc));
  const double on = normalizeByKind(c.desc, rangeHigh(c.binding, c.desc));
  out = (c.hasCur && std::fabs(c.cur - on) < std::fabs(c.cur - off)) ? off : on;
  return true;
}

bool resolveSlot(const SlotContext& c, double& out) noexcept {
  switch (c.binding.valueMode) {
    case kCcValueAbsolute:
      return resolveAbsolute(c, out);
    case kCcValueRelativeSignedBit:
    case kCcValueRelativeBinaryOffset:
    case kCcValueRelativeTwosComplement:
      return resolveRelative(c, out);
    case kCcValueToggle:
      return resolveToggle(c, out);
    default:
      return false;
  }
}

bool takesPart(const CcBinding& binding, int cc, int channel) noexcept {
  return binding.enabled && binding.cc == cc &&
         (binding.channel == 0 || binding.channel == channel) && binding.param >= 0 &&
         static_cast<std::size_t>(binding.param) < kParamCount;
}

}  // namespace

void CcRouterState::reset(const CcMap* newMap) noexcept {
  *this = CcRouterState{};
  map = newMap;
}

double ccApplyNormalized(const CcBinding& binding, const norvo_param_desc& desc,
                         int value) noexcept {
  const double x = static_cast<double>(clampCcValue(value)) / kCcMaxValue;
  const double shaped = shapeByCurve(binding.curve, x);
  const double lo = rangeLow(binding, desc);
  const double hi = rangeHigh(binding, desc);
  return normalizeByKind(desc, lo + shaped * (hi - lo));
}

std::uint32_t ccResolve(const CcMap& map, int cc, int channel, int value, CcRouterState* state,
                        CcCurrentValueFn currentValue, void* user, CcResolution* out,
                        std::uint32_t capacity) noexcept {
  if (out == nullptr || capacity == 0) {
    return 0;
  }
  if (state != nullptr && state->map != &map) {
    state->reset(&map);
  }
  const int v = clampCcValue(value);
  const std::uint32_t count = map.count < kCcMapCapacity ? map.count : kCcMapCapacity;
  std::uint32_t written = 0;
  for (std::uint32_t j = 0; j < count && written < capacity; ++j) {
    const CcBinding& binding = map.bindings[j];
    if (!takesPart(binding, cc, channel)) {
      continue;
    }
    const auto param = static_cast<std::uint32_t>(binding.param);
    SlotContext c{binding, NORVO_PARAMS[param], state, j, v, 0, false, 0.0, false};
    if (state != nullptr) {
      c.prev = state->lastValue[j];
      c.prevValid = state->hasLast[j];
      state->lastValue[j] = static_cast<std::uint8_t>(v);
      state->hasLast[j] = true;
    }
    if (currentValue != nullptr) {
      const double reported = currentValue(user, param);
      c.cur = std::isnan(reported) ? 0.0 : clampTo(reported, 0.0, 1.0);
      c.hasCur = true;
    } else if (state != nullptr) {
      c.cur = state->lastSent[j];
      c.hasCur = state->hasSent[j];
    }
    double resolved = 0;
    if (!resolveSlot(c, resolved)) {
      continue;
    }
    out[written++] = CcResolution{param, resolved};
    if (state != nullptr) {
      state->lastSent[j] = resolved;
      state->hasSent[j] = true;
    }
  }
  return written;
}

}  // namespace norvo
