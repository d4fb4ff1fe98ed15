// The CC resolver: turns one incoming MIDI control-change message into parameter changes by
// applying each matching binding's channel filter, range, response curve, value mode
// (absolute, three relative encodings, toggle) and takeover rule (immediate, pickup, scaled).
// Everything here is realtime-safe: no allocation, no locks, bounded loops. Audio thread (or
// any thread on its own router state).
#pragma once

#include <cstdint>
#include <type_traits>

#include "ccmap/cc_map.h"
#include "product/parameter_table.h"

namespace norvo {

// One parameter change produced by a controller message.
struct CcResolution {
  std::uint32_t param = 0;  // parameter index, 0..3
  double value = 0;         // normalized 0..1
};

// Per-binding memory of one map user (pickup catching, relative positions, toggle presses).
// Plain memory owned by the caller; slots are binding positions in the map, not controller
// numbers. It belongs to one map: handing the resolver another map resets it.
struct CcRouterState {
  const CcMap* map = nullptr;
  std::uint8_t lastValue[kCcMapCapacity] = {};  // last controller value seen per slot
  bool hasLast[kCcMapCapacity] = {};            // lastValue valid
  bool pickedUp[kCcMapCapacity] = {};           // pickup takeover has caught
  double lastSent[kCcMapCapacity] = {};         // last normalized value produced
  bool hasSent[kCcMapCapacity] = {};            // lastSent valid

  // Stores `newMap` and clears every array. The thread that owns the state.
  void reset(const CcMap* newMap) noexcept;
};

static_assert(std::is_trivially_copyable_v<CcRouterState>, "router state is plain memory");

// Answers the current normalized value of parameter `param`; called on the resolver's thread,
// so it must be realtime-safe itself.
using CcCurrentValueFn = double (*)(void* user, std::uint32_t param);

// The normalized value a binding gives controller value `value` (clamped to 0..127): shaped
// by the curve, mapped onto the binding's range (or the parameter's own), normalized by the
// parameter's kind. Never NaN. Any thread.
double ccApplyNormalized(const CcBinding& binding, const norvo_param_desc& desc,
                         int value) noexcept;

// Resolves one control-change message (cc 0..127, channel 1..16, value 0..127) against `map`.
// `state` (optional) carries takeover and relative memory between calls; `currentValue`
// (optional) answers the parameters' current values, else the state's last sent values stand
// in. Writes at most `capacity` resolutions to `out`, in binding slot order, and returns how
// many. Audio thread.
std::uint32_t ccResolve(const CcMap& map, int cc, int channel, int value, CcRouterState* state,
                        CcCurrentValueFn currentValue, void* user, CcResolution* out,
                        std::uint32_t capacity) noexcept;

}  // namespace norvo
