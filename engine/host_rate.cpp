// Host sample-rate checks, the exact rate fraction and the rate-adapter capacity rule.
#include "engine/host_rate.h"

#include <cmath>
#include <numeric>

namespace norvo {
namespace {

constexpr std::uint64_t kMicroPerHertz = 1000000;
constexpr double kTwoTo64 = 18446744073709551616.0;

}  // namespace

bool hostRateFraction(double sampleRate, HostRateFraction& out) noexcept {
  if (!std::isfinite(sampleRate) || sampleRate < kMinHostSampleRate ||
      sampleRate > kMaxHostSampleRate) {
    return false;
  }
  const double micro = std::round(sampleRate * static_cast<double>(kMicroPerHertz));
  // 2^64 itself cannot be held; the rate range keeps micro far below it anyway.
  if (!(micro >= 1.0) || micro >= kTwoTo64) return false;
  const auto mu = static_cast<std::uint64_t>(micro);
  const std::uint64_t divisor = std::gcd(mu, kMicroPerHertz);
  out.numerator = mu / divisor;
  out.denominator = kMicroPerHertz / divisor;
  return true;
}

bool rateAdapterCapacity(const HostRateFraction& rate, int maxBlockFrames,
                         std::uint64_t& capacity) noexcept {
  using u128 = unsigned __int128;
  if (rate.numerator == 0 || maxBlockFrames < 0) {
    capacity = UINT64_MAX;
    return false;
  }
  const u128 frames = static_cast<u128>(static_cast<std::uint64_t>(maxBlockFrames));
  const u128 span = frames * rate.denominator * 48000u;
  const u128 q = (span + rate.numerator - 1) / rate.numerator;
  if (q > static_cast<u128>(UINT64_MAX)) {
    capacity = UINT64_MAX;
    return false;
  }
  u128 cap = q + 64;
  const u128 floorCapacity = frames * 3 + 8;
  if (floorCapacity > cap) cap = floorCapacity;
  if (cap > static_cast<u128>(UINT64_MAX)) {
    capacity = UINT64_MAX;
    return false;
  }
  capacity = static_cast<std::uint64_t>(cap);
  return capacity <= kMaxRateAdapterCapacity;
}

int kernelLatencySamples(bool rateConverted, double hostRate) noexcept {
  if (!rateConverted || hostRate == kKernelFallbackRate || !std::isfinite(hostRate)) return 0;
  return static_cast<int>(hostRate * 20.0 / 48000.0 + 16.0 + 0.999999);
}

}  // namespace norvo
