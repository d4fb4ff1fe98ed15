// Host format checks, the exact rate fraction, the rate-adapter capacity and the latency rule.
#include "engine/host_rate.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace norvo {
namespace {

struct FractionCase {
  double sampleRate;
  bool valid;
  std::uint64_t numerator;
  std::uint64_t denominator;
};

TEST(HostRateFraction, ReducesTheRateInMicroHertz) {
  const double inf = std::numeric_limits<double>::infinity();
  const FractionCase cases[] = {
      {44100.0, true, 44100, 1},
      {48000.0, true, 48000, 1},
      {44100.0000004, true, 44100, 1},              // micro-hertz round to 44,100,000,000
      {44100.0000005, true, 44100000001, 1000000},  // exactly half a micro-hertz rounds away
      {22050.5, true, 44101, 2},
      {0.25, true, 1, 4},
      {1e-6, true, 1, 1000000},
      {4000000.0, true, 4000000, 1},
      {4000000.5, false, 0, 0},
      {5e6, false, 0, 0},
      {0.0, false, 0, 0},
      {-44100.0, false, 0, 0},
      {9e-7, false, 0, 0},
      {std::nan(""), false, 0, 0},
      {inf, false, 0, 0},
  };
  for (const FractionCase& c : cases) {
    SCOPED_TRACE(c.sampleRate);
    HostRateFraction fraction;
    ASSERT_EQ(hostRateFraction(c.sampleRate, fraction), c.valid);
    if (!c.valid) continue;
    EXPECT_EQ(fraction.numerator, c.numerator);
    EXPECT_EQ(fraction.denominator, c.denominator);
  }
}

TEST(HostRateFraction, BlockSizeCeiling) {
  EXPECT_FALSE(isValidMaxBlockFrames(0));
  EXPECT_FALSE(isValidMaxBlockFrames(-1));
  EXPECT_TRUE(isValidMaxBlockFrames(1));
  EXPECT_TRUE(isValidMaxBlockFrames(16384));
  EXPECT_FALSE(isValidMaxBlockFrames(16385));
}

struct CapacityCase {
  double sampleRate;
  int maxBlockFrames;
  std::uint64_t capacity;
  bool accepted;
};

TEST(RateAdapterCapacity, SpansOneHostBlockAtTheKernelRate) {
  const CapacityCase cases[] = {
      {48000.0, 512, 1544, true},     // max(512 + 64, 3·512 + 8)
      {24.0, 512, 1024064, true},     // 1,024,000 + 64
      {20.0, 512, 1228864, false},    // 1,228,800 + 64
      {44100.0, 16384, 49160, true},  // 3·16384 + 8 is larger than 17833 + 64
      {8000.0, 16384, 98368, true},   // 98,304 + 64
      {22050.5, 1, 67, true},         // ceil(2·48000/44101) = 3, + 64
      {1e-6, 1, 48000000064ull, false},
  };
  for (const CapacityCase& c : cases) {
    SCOPED_TRACE(c.sampleRate);
    HostRateFraction fraction;
    ASSERT_TRUE(hostRateFraction(c.sampleRate, fraction));
    std::uint64_t capacity = 0;
    EXPECT_EQ(rateAdapterCapacity(fraction, c.maxBlockFrames, capacity), c.accepted);
    EXPECT_EQ(capacity, c.capacity);
  }
}

TEST(RateAdapterCapacity, LimitIsInclusive) {
  // At 750 Hz one frame spans 64 kernel frames: 16383·64 + 64 = 1,048,576 exactly.
  HostRateFraction fraction;
  ASSERT_TRUE(hostRateFraction(750.0, fraction));
  std::uint64_t capacity = 0;
  EXPECT_TRUE(rateAdapterCapacity(fraction, 16383, capacity));
  EXPECT_EQ(capacity, 1048576u);
  EXPECT_FALSE(rateAdapterCapacity(fraction, 16384, capacity));
  EXPECT_EQ(capacity, 1048640u);
}

TEST(KernelLatency, OnlyWhileRateConverted) {
  EXPECT_EQ(kernelLatencySamples(false, 44100.0), 0);
  EXPECT_EQ(kernelLatencySamples(true, 48000.0), 0);
  // 44100·20/48000 = 18.375; + 16 + 0.999999 → 35
  EXPECT_EQ(kernelLatencySamples(true, 44100.0), 35);
  // 96000·20/48000 = 40 exactly; + 16.999999 → 56
  EXPECT_EQ(kernelLatencySamples(true, 96000.0), 56);
  EXPECT_EQ(kernelLatencySamples(true, 192000.0), 96);
}

}  // namespace
}  // namespace norvo
