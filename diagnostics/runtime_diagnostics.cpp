// Recording, realtime hand-over and draining of one engine's runtime diagnostics.
#include "diagnostics/runtime_diagnostics.h"

#include <cstdio>

namespace norvo {

namespace {

const char* drainMessageFor(std::uint32_t code) noexcept {
  switch (code) {
    case kDiagProcessFailed:
      return kDrainProcessFailedMessage;
    case kDiagRateAdapterInitFailed:
      return kDrainRateAdapterFailedMessage;
    default:
      return kDrainOtherMessage;
  }
}

}  // namespace

std::uint32_t RuntimeDiagnostics::record(std::uint32_t code, std::uint8_t severity,
                                         std::uint8_t phase, const char* message,
                                         const char* detail) noexcept {
  return appendRuntimeDiagnostic(ring_, code, severity, phase, message, detail);
}

void RuntimeDiagnostics::drain() noexcept {
  queue_.popAll([this](const RealtimeDiagnosticTriple& triple) {
    appendRuntimeDiagnostic(ring_, triple.code, triple.severity, triple.phase,
                            drainMessageFor(triple.code), kDrainDetail);
  });
  const std::uint32_t lost = queue_.takeOverflowCount();
  if (lost != 0) {
    char detail[kRuntimeDiagnosticDetailBytes];
    std::snprintf(detail, sizeof detail, "dropped=%u; source=audio callback", lost);
    appendRuntimeDiagnostic(ring_, kDiagDiagnosticsOverflow, kSeverityWarning, kPhaseProcess,
                            kDrainOverflowMessage, detail);
  }
}

void RuntimeDiagnostics::reset() noexcept {
  queue_.popAll([](const RealtimeDiagnosticTriple&) {});
  queue_.takeOverflowCount();
  ring_ = norvo_runtime_diagnostic_ring{};
}

}  // namespace norvo
