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
  // The loss count is taken first so that the drained triples can leave the ring's last free
  // slot to the overflow entry: queue overflow needs 32 waiting triples, so without that
  // reservation the ring would always be full by the time the entry is written and the number
  // lost would never reach a report. Triples lost after this point are reported next time.
  const std::uint32_t lost = queue_.takeOverflowCount();
  queue_.popAll([this, lost](const RealtimeDiagnosticTriple& triple) {
    if (lost != 0 && ring_.count + 1 >= kRuntimeDiagnosticCapacity) {
      ++ring_.nextSequence;
      ++ring_.dropped;
      return;
    }
    appendRuntimeDiagnostic(ring_, triple.code, triple.severity, triple.phase,
                            drainMessageFor(triple.code), kDrainDetail);
  });
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
