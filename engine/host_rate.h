// The host processing set-up as the kernel engine checks it: the sample-rate and block-size
// ranges, the host rate as an exact reduced fraction of hertz, the capacity a sample-rate
// adapter to the kernel's 48000 Hz fallback rate would need, and the latency reported while
// that fallback is in use. Pure functions: any thread.
#pragma once

#include <cstdint>

namespace norvo {

inline constexpr double kMinHostSampleRate = 1e-6;
inline constexpr double kMaxHostSampleRate = 4000000.0;
inline constexpr int kMaxHostBlockFrames = 16384;

// The rate the kernel runs at when it cannot run at the host rate.
inline constexpr double kKernelFallbackRate = 48000.0;

// Largest rate-adapter FIFO the engine accepts, in frames.
inline constexpr std::uint64_t kMaxRateAdapterCapacity = 1048576;

struct HostRateFraction {
  std::uint64_t numerator = 48000;
  std::uint64_t denominator = 1;

  double hz() const noexcept {
    return static_cast<double>(numerator) / static_cast<double>(denominator);
  }
};

// Checks the sample rate (finite, 1e-6..4,000,000 Hz) and reads it in micro-hertz, rounded
// half away from zero, then reduces that over 1,000,000. False when out of range.
bool hostRateFraction(double sampleRate, HostRateFraction& out) noexcept;

// 1..16384 frames.
constexpr bool isValidMaxBlockFrames(int maxBlockFrames) noexcept {
  return maxBlockFrames >= 1 && maxBlockFrames <= kMaxHostBlockFrames;
}

// The FIFO capacity in frames: the number of 48000 Hz frames one host block of
// `maxBlockFrames` can span (rounded up, exact integer arithmetic) plus 64, or 3·M + 8 when
// that is larger. False when the capacity would exceed kMaxRateAdapterCapacity (then
// `capacity` still holds the computed value, or UINT64_MAX when it does not fit 64 bits).
bool rateAdapterCapacity(const HostRateFraction& rate, int maxBlockFrames,
                         std::uint64_t& capacity) noexcept;

// Latency in frames a host should compensate: 0 while the kernel runs at the host rate,
// otherwise the integer part of hostRate·20/48000 + 16 + 0.999999.
int kernelLatencySamples(bool rateConverted, double hostRate) noexcept;

}  // namespace norvo
