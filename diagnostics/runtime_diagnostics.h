// RuntimeDiagnostics: the diagnostic ring and the audio thread's diagnostic queue of one
// kernel engine, with the three operations that fill them. The engine owns one and forwards
// `recordDiagnostic`, `recordRealtimeDiagnostic` and `drainRuntimeDiagnostics` to it.
//   record / drain / ring / reset: non-audio threads, serialized by the host's calling order.
//   recordRealtime: the audio thread only (lock-free, no allocation).
#pragma once

#include <cstdint>

#include "diagnostics/realtime_diagnostic_queue.h"
#include "diagnostics/runtime_diagnostic_codes.h"
#include "diagnostics/runtime_diagnostic_ring.h"

namespace norvo {

// Texts the drain writes for triples that arrived from the audio thread.
inline constexpr const char* kDrainProcessFailedMessage =
    "audio process callback failed; output was cleared";
inline constexpr const char* kDrainRateAdapterFailedMessage =
    "sample-rate adapter failed; output was cleared";
inline constexpr const char* kDrainOtherMessage =
    "runtime diagnostic observed on the audio callback";
inline constexpr const char* kDrainDetail = "audio callback";
inline constexpr const char* kDrainOverflowMessage = "audio diagnostic queue overflowed";

class RuntimeDiagnostics {
 public:
  RuntimeDiagnostics() = default;
  RuntimeDiagnostics(const RuntimeDiagnostics&) = delete;
  RuntimeDiagnostics& operator=(const RuntimeDiagnostics&) = delete;

  // Non-audio threads. Stores one diagnostic in the ring (message/detail null = empty).
  // Returns the sequence number it took.
  std::uint32_t record(std::uint32_t code, std::uint8_t severity, std::uint8_t phase,
                       const char* message, const char* detail) noexcept;

  // Audio thread only. Queues a bare triple; when the queue is full the triple is lost and
  // counted, and the next drain reports the loss. Never blocks, never allocates.
  void recordRealtime(std::uint32_t code, std::uint8_t severity, std::uint8_t phase) noexcept {
    queue_.push(code, severity, phase);
  }

  // The reporting (non-audio) thread. Moves every queued triple into the ring with its drain
  // message and the detail "audio callback", then turns any overflow into one
  // "runtime.diagnostics-overflow" warning carrying the number lost. While an overflow is
  // pending, the ring's last free slot is kept for that warning (a triple that would take it
  // is counted as dropped instead).
  void drain() noexcept;

  // Non-audio threads. The ring as it stands; copy it to report it.
  const norvo_runtime_diagnostic_ring& ring() const noexcept { return ring_; }

  // Non-audio threads, while the audio thread is not processing. Empties the ring (sequence
  // back to 1) and discards anything queued or counted as lost.
  void reset() noexcept;

 private:
  norvo_runtime_diagnostic_ring ring_{};
  RealtimeDiagnosticQueue queue_{};
};

}  // namespace norvo
