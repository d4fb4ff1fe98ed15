#include "ccmap/cc_router.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "support/allocation_counter.h"

namespace norvo {
namespace {

constexpr std::int32_t kOn = 0;
constexpr std::int32_t kMode = 1;
constexpr std::int32_t kSpread = 2;
constexpr std::int32_t kVelocity = 3;

CcBinding binding(std::int32_t param, std::uint8_t cc, std::uint8_t channel = 0) {
  CcBinding b;
  b.param = param;
  b.cc = cc;
  b.channel = channel;
  return b;
}

CcMap mapOf(std::initializer_list<CcBinding> bindings) {
  CcMap map;
  for (const CcBinding& b : bindings) {
    map.bindings[map.count++] = b;
  }
  return map;
}

// A parameter whose current normalized value the test sets.
struct Parameter {
  double value = 0;
  static double current(void* user, std::uint32_t) { return static_cast<Parameter*>(user)->value; }
};

// Resolves one message and answers every resolution produced.
std::vector<CcResolution> resolve(const CcMap& map, int cc, int channel, int value,
                                  CcRouterState* state = nullptr, Parameter* parameter = nullptr,
                                  std::uint32_t capacity = 8) {
  CcResolution out[8];
  const std::uint32_t n =
      ccResolve(map, cc, channel, value, state,
                parameter != nullptr ? &Parameter::current : nullptr, parameter, out, capacity);
  return std::vector<CcResolution>(out, out + n);
}

// The single value a message resolves to, or NAN when it resolves to nothing.
double single(const CcMap& map, int value, CcRouterState* state, Parameter* parameter = nullptr) {
  const std::vector<CcResolution> out =
      resolve(map, map.bindings[0].cc, 1, value, state, parameter);
  EXPECT_LE(out.size(), 1u);
  return out.empty() ? NAN : out[0].value;
}

TEST(CcApplyNormalized, ShapesRangesAndNormalizesByKind) {
  CcBinding exp = binding(kVelocity, 1);
  exp.curve = kCcCurveExp;
  CcBinding log = binding(kVelocity, 1);
  log.curve = kCcCurveLog;
  CcBinding sCurve = binding(kVelocity, 1);
  sCurve.curve = kCcCurveSCurve;
  CcBinding inverted = binding(kVelocity, 1);
  inverted.hasMin = inverted.hasMax = true;
  inverted.min = 1;
  inverted.max = 0;
  CcBinding narrow = binding(kSpread, 1);
  narrow.hasMin = narrow.hasMax = true;
  narrow.min = -1;
  narrow.max = 4;  // beyond the parameter's own maximum 2: the normalized value clamps at 1
  const double x64 = 64.0 / 127.0;

  struct Case {
    const char* what;
    CcBinding b;
    int value;
    double expected;
  } cases[] = {
      {"linear 0", binding(kVelocity, 1), 0, 0.0},
      {"linear 127", binding(kVelocity, 1), 127, 1.0},
      {"linear 64", binding(kVelocity, 1), 64, x64},
      {"mode 127", binding(kMode, 1), 127, 1.0},
      {"value below 0 clamps", binding(kVelocity, 1), -20, 0.0},
      {"value above 127 clamps", binding(kVelocity, 1), 300, 1.0},
      {"exp 64", exp, 64, x64 * x64},
      {"log 64", log, 64, std::sqrt(x64)},
      {"s-curve 64", sCurve, 64, x64 * x64 * (3 - 2 * x64)},
      {"inverted 0", inverted, 0, 1.0},
      {"inverted 127", inverted, 127, 0.0},
      {"own range, spread 0", narrow, 0, 0.25},
      {"own range past the maximum", narrow, 127, 1.0},
  };
  for (const Case& c : cases) {
    EXPECT_DOUBLE_EQ(ccApplyNormalized(c.b, NORVO_PARAMS[c.b.param], c.value), c.expected)
        << c.what;
  }
}

TEST(CcApplyNormalized, ListAndToggleKinds) {
  const norvo_param_desc list{9, "t.list", "List", "T", kParamKindList, 0, 0, 0,
                              0, 0,        "",     4,   nullptr};
  const norvo_param_desc oneEntry{9, "t.one", "One", "T", kParamKindList, 0, 0, 0,
                                  0, 0,       "",    1,   nullptr};
  const norvo_param_desc toggle{9, "t.toggle", "Toggle", "T", kParamKindToggle, 0, 1, 0,
                                0, 0,          "",       0,   nullptr};
  CcBinding overList = binding(0, 1);
  overList.hasMin = overList.hasMax = true;
  overList.min = 0;
  overList.max = 3;
  EXPECT_DOUBLE_EQ(ccApplyNormalized(overList, list, 127), 1.0);
  EXPECT_DOUBLE_EQ(ccApplyNormalized(overList, list, 64), (3.0 * 64 / 127) / 3.0);
  EXPECT_DOUBLE_EQ(ccApplyNormalized(overList, oneEntry, 127), 0.0);
  const CcBinding plain = binding(0, 1);
  EXPECT_EQ(ccApplyNormalized(plain, toggle, 63), 0.0);
  EXPECT_EQ(ccApplyNormalized(plain, toggle, 64), 1.0);
  CcBinding beyond = plain;
  beyond.hasMax = true;
  beyond.max = 50;  // clamped to the toggle's own range before the 0.5 threshold
  EXPECT_EQ(ccApplyNormalized(beyond, toggle, 127), 1.0);
}

TEST(CcApplyNormalized, NonFiniteRangeNeverGivesNaN) {
  CcBinding b = binding(kVelocity, 1);
  b.hasMax = true;
  b.max = INFINITY;
  EXPECT_EQ(ccApplyNormalized(b, NORVO_PARAMS[kVelocity], 0), 0.0);
  b.max = NAN;
  EXPECT_EQ(ccApplyNormalized(b, NORVO_PARAMS[kVelocity], 64), 0.0);
}

TEST(CcResolve, ChannelFilterDisabledBindingsAndParameterRange) {
  CcBinding disabled = binding(kOn, 7, 5);
  disabled.enabled = false;
  const CcMap map =
      mapOf({binding(kMode, 7, 0), binding(kSpread, 7, 6), disabled, binding(kVelocity, 7, 5),
             binding(4, 7, 0), binding(-1, 7, 0), binding(kOn, 8, 5)});
  const std::vector<CcResolution> out = resolve(map, 7, 5, 127);
  ASSERT_EQ(out.size(), 2u);
  EXPECT_EQ(out[0].param, 1u);
  EXPECT_EQ(out[1].param, 3u);
  EXPECT_EQ(out[0].value, 1.0);
  EXPECT_EQ(out[1].value, 1.0);
  EXPECT_EQ(resolve(map, 7, 6, 0).size(), 2u);   // any-channel binding and the channel-6 one
  EXPECT_EQ(resolve(map, 9, 5, 64).size(), 0u);  // no binding for this controller
}

TEST(CcResolve, CapacityBoundsTheWork) {
  const CcMap map = mapOf({binding(kMode, 7), binding(kVelocity, 7)});
  const std::vector<CcResolution> out = resolve(map, 7, 1, 127, nullptr, nullptr, 1);
  ASSERT_EQ(out.size(), 1u);
  EXPECT_EQ(out[0].param, 1u);
  CcResolution one;
  EXPECT_EQ(ccResolve(map, 7, 1, 127, nullptr, nullptr, nullptr, nullptr, 4), 0u);
  EXPECT_EQ(ccResolve(map, 7, 1, 127, nullptr, nullptr, nullptr, &one, 0), 0u);
}

TEST(CcResolve, PickupWaitsUntilTheControllerCrossesTheParameter) {
  CcBinding b = binding(kVelocity, 20);
  b.takeover = kCcTakeoverPickup;
  const CcMap map = mapOf({b});
  CcRouterState state;
  Parameter parameter{0.5};
  for (int value : {10, 20, 30}) {
    EXPECT_TRUE(std::isnan(single(map, value, &state, &parameter))) << value;
  }
  EXPECT_DOUBLE_EQ(single(map, 70, &state, &parameter), 70.0 / 127);
  parameter.value = 70.0 / 127;
  EXPECT_DOUBLE_EQ(single(map, 5, &state, &parameter), 5.0 / 127);  // caught: every value passes

  // 63/127 and 64/127 are equally near 0.5; the lower position is the parameter's, so landing
  // on 63 catches.
  CcRouterState tie;
  parameter.value = 0.5;
  EXPECT_TRUE(std::isnan(single(map, 30, &tie, &parameter)));
  EXPECT_DOUBLE_EQ(single(map, 63, &tie, &parameter), 63.0 / 127);

  // Landing exactly on the parameter's position catches too, also downward.
  CcRouterState fresh;
  parameter.value = 40.0 / 127;
  EXPECT_TRUE(std::isnan(single(map, 90, &fresh, &parameter)));
  EXPECT_DOUBLE_EQ(single(map, 40, &fresh, &parameter), 40.0 / 127);

  // Without a state or a current value there is nothing to pick up from: it acts at once.
  EXPECT_DOUBLE_EQ(single(map, 10, nullptr, &parameter), 10.0 / 127);
  CcRouterState noCurrent;
  EXPECT_DOUBLE_EQ(single(map, 10, &noCurrent), 10.0 / 127);
}

TEST(CcResolve, ScaledTakeoverSpreadsTheRemainingTravel) {
  CcBinding b = binding(kVelocity, 21);
  b.takeover = kCcTakeoverScaled;
  const CcMap map = mapOf({b});
  CcRouterState state;
  Parameter parameter{0.75};                                     // nearest position 95
  EXPECT_TRUE(std::isnan(single(map, 32, &state, &parameter)));  // first message: no direction yet
  EXPECT_DOUBLE_EQ(single(map, 64, &state, &parameter), 106.0 / 127);
  EXPECT_TRUE(std::isnan(single(map, 64, &state, &parameter)));  // no movement
  EXPECT_DOUBLE_EQ(single(map, 127, &state, &parameter), 1.0);
  EXPECT_DOUBLE_EQ(single(map, 0, &state, &parameter), 0.0);  // downward: both reach 0 together

  // Without a state no direction is known; the binding acts immediately rather than never.
  EXPECT_DOUBLE_EQ(single(map, 64, nullptr, &parameter), 64.0 / 127);
}

TEST(CcResolve, RelativeEncodingsStepFromTheCurrentPosition) {
  struct Case {
    std::uint8_t mode;
    int value;
    int expectedPosition;  // -1: nothing
  } cases[] = {
      {kCcValueRelativeBinaryOffset, 65, 41},    {kCcValueRelativeBinaryOffset, 64, -1},
      {kCcValueRelativeBinaryOffset, 60, 36},    {kCcValueRelativeBinaryOffset, 0, 0},
      {kCcValueRelativeTwosComplement, 127, 39}, {kCcValueRelativeTwosComplement, 3, 43},
      {kCcValueRelativeTwosComplement, 64, -1},  {kCcValueRelativeTwosComplement, 0, -1},
      {kCcValueRelativeSignedBit, 65, 41},       {kCcValueRelativeSignedBit, 1, 39},
      {kCcValueRelativeSignedBit, 127, 103},     {kCcValueRelativeSignedBit, 64, -1},
      {kCcValueRelativeSignedBit, 0, -1},
  };
  for (const Case& c : cases) {
    CcBinding b = binding(kVelocity, 30);
    b.valueMode = c.mode;
    const CcMap map = mapOf({b});
    Parameter parameter{40.0 / 127};
    const double got = single(map, c.value, nullptr, &parameter);
    if (c.expectedPosition < 0) {
      EXPECT_TRUE(std::isnan(got)) << int(c.mode) << " " << c.value;
    } else {
      EXPECT_DOUBLE_EQ(got, c.expectedPosition / 127.0) << int(c.mode) << " " << c.value;
    }
  }
}

TEST(CcResolve, RelativeStepsAccumulateThroughTheStateAndClampAtTheEnds) {
  CcBinding b = binding(kVelocity, 31);
  b.valueMode = kCcValueRelativeBinaryOffset;
  const CcMap map = mapOf({b});
  CcRouterState state;
  EXPECT_DOUBLE_EQ(single(map, 66, &state), 2.0 / 127);  // nothing known: steps from 0
  EXPECT_DOUBLE_EQ(single(map, 67, &state), 5.0 / 127);  // from the last value it sent
  EXPECT_DOUBLE_EQ(single(map, 0, &state), 0.0);
  EXPECT_DOUBLE_EQ(single(map, 127, &state), 63.0 / 127);
  EXPECT_DOUBLE_EQ(single(map, 127, &state), 126.0 / 127);
  EXPECT_DOUBLE_EQ(single(map, 127, &state), 1.0);
}

TEST(CcResolve, ToggleActsOnPressesOnly) {
  CcBinding b = binding(kOn, 40);
  b.valueMode = kCcValueToggle;
  const CcMap map = mapOf({b});

  CcRouterState held;
  EXPECT_EQ(single(map, 127, &held), 1.0);
  EXPECT_TRUE(std::isnan(single(map, 127, &held)));  // still held
  EXPECT_TRUE(std::isnan(single(map, 0, &held)));    // release

  CcRouterState twice;
  std::vector<double> sent;
  for (int value : {127, 0, 127}) {
    const double v = single(map, value, &twice);
    if (!std::isnan(v)) {
      sent.push_back(v);
    }
  }
  EXPECT_EQ(sent, (std::vector<double>{1.0, 0.0}));

  CcRouterState fresh;
  Parameter atMaximum{1.0};
  EXPECT_EQ(single(map, 100, &fresh, &atMaximum), 0.0);
  Parameter nearMinimum{0.2};
  EXPECT_EQ(single(map, 127, nullptr, &nearMinimum), 1.0);

  // The binding's own range gives the two ends; no curve applies.
  CcBinding ranged = binding(kMode, 41);
  ranged.valueMode = kCcValueToggle;
  ranged.curve = kCcCurveExp;
  ranged.hasMin = ranged.hasMax = true;
  ranged.min = 1;
  ranged.max = 4;
  const CcMap rangedMap = mapOf({ranged});
  Parameter atOff{0.2};
  EXPECT_DOUBLE_EQ(single(rangedMap, 127, nullptr, &atOff), 0.8);
  Parameter nearOn{0.7};
  EXPECT_DOUBLE_EQ(single(rangedMap, 127, nullptr, &nearOn), 0.2);
}

TEST(CcResolve, AnotherMapResetsTheState) {
  CcBinding b = binding(kVelocity, 50);
  b.takeover = kCcTakeoverPickup;
  const CcMap first = mapOf({b});
  const CcMap second = first;
  CcRouterState state;
  Parameter parameter{0.0};
  EXPECT_DOUBLE_EQ(single(first, 0, &state, &parameter), 0.0);  // caught at position 0
  parameter.value = 1.0;
  EXPECT_DOUBLE_EQ(single(first, 30, &state, &parameter), 30.0 / 127);
  EXPECT_TRUE(std::isnan(single(second, 40, &state, &parameter)));  // must catch afresh
  EXPECT_EQ(state.map, &second);
  EXPECT_FALSE(state.hasSent[0]);
}

TEST(CcResolve, UnknownValueModeAnswersNothing) {
  CcBinding b = binding(kVelocity, 60);
  b.valueMode = 9;
  EXPECT_EQ(resolve(mapOf({b}), 60, 1, 100).size(), 0u);
}

TEST(CcResolve, NeverAllocatesOrLocks) {
  CcMap map;
  const std::uint8_t modes[] = {kCcValueAbsolute, kCcValueRelativeSignedBit,
                                kCcValueRelativeBinaryOffset, kCcValueRelativeTwosComplement,
                                kCcValueToggle};
  const std::uint8_t takeovers[] = {kCcTakeoverImmediate, kCcTakeoverPickup, kCcTakeoverScaled};
  for (std::uint32_t i = 0; i < kCcMapCapacity; ++i) {
    CcBinding b = binding(static_cast<std::int32_t>(i % 4), 10);
    b.valueMode = modes[i % 5];
    b.takeover = takeovers[i % 3];
    b.curve = static_cast<std::uint8_t>(i % 4);
    map.bindings[map.count++] = b;
  }
  CcRouterState state;
  Parameter parameter{0.3};
  CcResolution out[kCcMapCapacity];
  std::uint32_t total = 0;
  test::AllocationCounts counts;
  {
    test::AllocationScope scope;
    for (int value = 0; value < 128; value += 3) {
      total += ccResolve(map, 10, 1, value, &state, &Parameter::current, &parameter, out,
                         kCcMapCapacity);
      total += ccResolve(map, 10, 1, 127 - value, &state, nullptr, nullptr, out, kCcMapCapacity);
    }
    counts = scope.counts();
  }
  EXPECT_GT(total, 0u);
  EXPECT_EQ(counts.allocations, 0u);
  EXPECT_EQ(counts.locks, 0u);
}

}  // namespace
}  // namespace norvo
