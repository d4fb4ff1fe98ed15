// KernelEngine: bank staging, bank recall, the bank diagnostics, sampler pad overrides and the
// sampler velocity rules.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string>

#include "engine/kernel_engine.h"

namespace norvo {
namespace {

constexpr std::uint32_t kCompiledBankCount = 0;
constexpr std::uint32_t kPadOverrideValueMask = (1u << kPadOverrideValueCount) - 1u;

constexpr const char* kRecallNotContainedMessage =
    "state recall named a bank this build does not contain; parameters kept, output silent, "
    "no bank substituted";
constexpr const char* kRecallHashMismatchMessage =
    "state recall named a bank whose manifest hash differs from the one compiled in; "
    "parameters kept, output silent";

const char* orEmpty(const char* text) noexcept { return text != nullptr ? text : ""; }

// printf into a string; the ring cuts the text to its field afterwards.
template <typename... Args>
std::string formatText(const char* format, Args... args) {
  const int length = std::snprintf(nullptr, 0, format, args...);
  if (length <= 0) return {};
  std::string text(static_cast<std::size_t>(length) + 1, '\0');
  std::snprintf(text.data(), text.size(), format, args...);
  text.resize(static_cast<std::size_t>(length));
  return text;
}

bool isPublishable(const SamplerPadOverride& entry) noexcept {
  return !entry.padId.empty() && entry.padId.size() <= kMaxPadIdBytes &&
         (entry.mask & kPadOverrideValueMask) != 0;
}

// Non-finite and negative values count as 0, values above `max` as `max`.
double limitedNonNegative(double value, double max) noexcept {
  if (!std::isfinite(value) || value < 0.0) return 0.0;
  return std::min(value, max);
}

}  // namespace

// ---- Sample banks ----

bool KernelEngine::publishRuntimeBank(std::shared_ptr<const StagedBank> bank) {
  if (!bank) {
    stagedBank_.reset();
    return true;
  }
  if (sampleArenaFrames_ == 0 || bank->samples.size() > sampleArenaFrames_) return false;
  stagedBank_ = std::move(bank);
  return true;
}

bool KernelEngine::requestSampleBankIndex(std::uint32_t index) {
  return index < kCompiledBankCount;
}

BankRecallOutcome KernelEngine::recallSampleBank(const StateChunk& chunk) {
  if (!chunk.bank.present || chunk.bank.id[0] == '\0') return BankRecallOutcome::Nothing;
  recordBankRecallFailure(BankRecallOutcome::NotContained, chunk.bank.id);
  return BankRecallOutcome::NotContained;
}

void KernelEngine::recordBankRecallFailure(BankRecallOutcome outcome, const char* bankId) {
  std::uint32_t code = 0;
  const char* message = nullptr;
  switch (outcome) {
    case BankRecallOutcome::NotContained:
      code = kDiagBankMissing;
      message = kRecallNotContainedMessage;
      break;
    case BankRecallOutcome::HashMismatch:
      code = kDiagBankHashMismatch;
      message = kRecallHashMismatchMessage;
      break;
    default:
      return;
  }
  const std::string detail =
      formatText("{\"bank\":\"%s\",\"banks\":%u}", orEmpty(bankId), kCompiledBankCount);
  recordDiagnostic(code, kSeverityError, kPhaseState, message, detail.c_str());
}

void KernelEngine::recordRuntimeBankFailure(RuntimeBankOutcome outcome, const char* message,
                                            const char* source) {
  if (outcome == RuntimeBankOutcome::Ok) return;
  const char* name = runtimeBankOutcomeName(outcome);
  const std::uint32_t code =
      outcome == RuntimeBankOutcome::BankHashMismatch ? kDiagBankHashMismatch : kDiagBankMissing;
  const std::string text = formatText("runtime bank load refused (%s): %s", name, orEmpty(message));
  const std::string detail =
      formatText("{\"reason\":\"%s\",\"source\":\"%s\"}", name, orEmpty(source));
  recordDiagnostic(code, kSeverityError, kPhaseLoad, text.c_str(), detail.c_str());
}

// ---- Sampler pads ----

bool KernelEngine::publishSamplerPadOverrides(const SamplerPadOverrides& overrides) {
  if (overrides.size() > kMaxPadOverrides ||
      !std::all_of(overrides.begin(), overrides.end(), isPublishable)) {
    return false;
  }
  auto list = std::make_shared<const SamplerPadOverrides>(overrides);
  if (padOverrides_) retiredPadOverrides_.push_back(std::move(padOverrides_));
  padOverrides_ = list;
  publishedPadOverrides_.store(list.get(), std::memory_order_seq_cst);

  const std::shared_ptr<const StagedBank> bank = stagedBank_;
  refreshSamplerPadVelocitySensitivity(list.get(), bank.get(), 0);

  // Every replaced list but the one the audio thread last took into use can go now.
  const SamplerPadOverrides* inUse = acknowledgedPadOverrides_.load(std::memory_order_acquire);
  std::erase_if(retiredPadOverrides_,
                [inUse](const auto& retired) { return retired.get() != inUse; });

  padOverridesGeneration_.store(
      nextPadOverridesGeneration(padOverridesGeneration_.load(std::memory_order_relaxed)),
      std::memory_order_release);
  return true;
}

void KernelEngine::refreshSamplerPadVelocitySensitivity(const SamplerPadOverrides* overrides,
                                                        const StagedBank* bank,
                                                        std::uint32_t /*reserved*/) {
  padVelocitySensitivity_.fill(1.0f);
  if (overrides == nullptr || overrides->empty() || bank == nullptr) return;
  bool keySet[kMidiKeyCount] = {};
  for (const StagedZone& zone : bank->zones) {
    if (zone.id.empty() || zone.keyTracking || zone.lowKey >= kMidiKeyCount ||
        zone.lowKey != zone.highKey || keySet[zone.lowKey]) {
      continue;
    }
    const auto entry = std::find_if(overrides->begin(), overrides->end(),
                                    [&zone](const auto& o) { return o.padId == zone.id; });
    if (entry == overrides->end() || (entry->mask & kPadVelocitySensitivity) == 0) continue;
    padVelocitySensitivity_.keys[zone.lowKey].store(static_cast<float>(entry->velocitySensitivity),
                                                    std::memory_order_relaxed);
    keySet[zone.lowKey] = true;
  }
}

float KernelEngine::padVelocitySensitivity(int key) const noexcept {
  if (key < 0 || key >= kMidiKeyCount) return 1.0f;
  return padVelocitySensitivity_.keys[key].load(std::memory_order_relaxed);
}

void KernelEngine::setSamplerVelocityParams(std::int32_t modeParam, std::int32_t fixedVelocityParam,
                                            std::int32_t humanizeParam) noexcept {
  samplerVelocityModeParam_.store(modeParam, std::memory_order_relaxed);
  samplerFixedVelocityParam_.store(fixedVelocityParam, std::memory_order_relaxed);
  samplerHumanizeParam_.store(humanizeParam, std::memory_order_relaxed);
}

double KernelEngine::resolveSamplerVelocity(int note, double velocity) noexcept {
  const std::int32_t modeParam = samplerVelocityModeParam_.load(std::memory_order_relaxed);
  const std::int32_t fixedParam = samplerFixedVelocityParam_.load(std::memory_order_relaxed);
  const std::int32_t humanizeParam = samplerHumanizeParam_.load(std::memory_order_relaxed);
  if (modeParam < 0 || fixedParam < 0 || humanizeParam < 0) return velocity;

  double v = std::isfinite(velocity) && velocity >= 0.0 ? std::min(velocity, 1.0) : 0.0;
  if (std::floor(paramValue(static_cast<std::uint32_t>(modeParam)) + 0.5) == 1.0) {
    v = paramValue(static_cast<std::uint32_t>(fixedParam));
    if (!std::isfinite(v) || v < 0.01) v = 0.01;
    v = std::min(v, 1.0);
  }
  const double s = note >= 0 && note < kMidiKeyCount
                       ? limitedNonNegative(padVelocitySensitivity(note), 1.0)
                       : 1.0;
  if (s != 1.0) v = 1.0 - s + v * s;

  const double h = limitedNonNegative(paramValue(static_cast<std::uint32_t>(humanizeParam)), 0.25);
  if (h > 0.0) {
    std::uint32_t x = velocitySeed_.fetch_add(0x9E3779B9u, std::memory_order_relaxed);
    x ^= x >> 16;
    x *= 0x7FEB352Du;
    x ^= x >> 15;
    x *= 0x846CA68Bu;
    const double r = static_cast<double>((x >> 8) ^ (x >> 24)) / 16777216.0;
    v *= 1.0 + h * (2.0 * r - 1.0);
  }
  return std::clamp(v, 0.01, 1.0);
}

}  // namespace norvo
