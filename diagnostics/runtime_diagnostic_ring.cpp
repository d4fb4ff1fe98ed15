// Recording into the runtime diagnostic ring.
#include "diagnostics/runtime_diagnostic_ring.h"

#include "common/fixed_text.h"
#include "diagnostics/runtime_diagnostic_codes.h"

namespace norvo {

std::uint32_t appendRuntimeDiagnostic(norvo_runtime_diagnostic_ring& ring, std::uint32_t code,
                                      std::uint8_t severity, std::uint8_t phase,
                                      const char* message, const char* detail) noexcept {
  const std::uint32_t sequence = ring.nextSequence++;
  if (ring.count >= kRuntimeDiagnosticCapacity) {
    ++ring.dropped;
    return sequence;
  }
  norvo_runtime_diagnostic& entry = ring.entries[ring.count++];
  entry.sequence = sequence;
  entry.code = code;
  entry.severity = severity;
  entry.phase = phase;
  entry.reserved[0] = 0;
  entry.reserved[1] = 0;
  copyFixedText(entry.message, message);
  copyFixedText(entry.detail, detail);
  if (!isRecoverableSeverity(severity) && ring.firstErrorSequence == 0) {
    ring.firstErrorSequence = sequence;
  }
  return sequence;
}

const norvo_runtime_diagnostic* findRuntimeDiagnostic(const norvo_runtime_diagnostic_ring& ring,
                                                      std::uint32_t sequence) noexcept {
  const std::uint32_t stored =
      ring.count < kRuntimeDiagnosticCapacity ? ring.count : kRuntimeDiagnosticCapacity;
  for (std::uint32_t i = 0; i < stored; ++i) {
    if (ring.entries[i].sequence == sequence) {
      return &ring.entries[i];
    }
  }
  return nullptr;
}

}  // namespace norvo
