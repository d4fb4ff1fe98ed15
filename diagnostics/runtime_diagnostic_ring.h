// The runtime diagnostic ring: the last 32 structured diagnostics of one kernel engine, kept
// in a plain record that reports copy by value. It never overwrites: once full, further
// diagnostics only advance the sequence counter and the drop counter.
// Used outside the audio thread only (setup, bank recall, draining, reporting); those paths
// are serialized by the host's calling discipline, so the ring takes no lock.
#pragma once

#include <cstdint>

namespace norvo {

inline constexpr std::uint32_t kRuntimeDiagnosticCapacity = 32;
inline constexpr std::uint32_t kRuntimeDiagnosticMessageBytes = 192;  // 191 + terminator
inline constexpr std::uint32_t kRuntimeDiagnosticDetailBytes = 128;   // 127 + terminator

struct norvo_runtime_diagnostic {
  std::uint32_t sequence = 0;
  std::uint32_t code = 0;
  std::uint8_t severity = 0;
  std::uint8_t phase = 0;
  std::uint8_t reserved[2] = {0, 0};
  char message[kRuntimeDiagnosticMessageBytes] = {};
  char detail[kRuntimeDiagnosticDetailBytes] = {};  // empty = none
};

struct norvo_runtime_diagnostic_ring {
  std::uint32_t version = 1;
  std::uint32_t nextSequence = 1;        // advances for every diagnostic offered, stored or not
  std::uint32_t dropped = 0;             // offered while the ring was full
  std::uint32_t firstErrorSequence = 0;  // first stored error or fatal; 0 = none
  std::uint32_t count = 0;               // entries stored, 0..32
  norvo_runtime_diagnostic entries[kRuntimeDiagnosticCapacity] = {};
};

// Offers one diagnostic to the ring: takes the next sequence number, then stores it (message
// and detail cut to 191 and 127 bytes, null = empty) or counts it as dropped when the ring is
// full. The first stored diagnostic of severity error or above sets firstErrorSequence.
// Returns the sequence number the diagnostic took. Non-audio threads; no allocation.
std::uint32_t appendRuntimeDiagnostic(norvo_runtime_diagnostic_ring& ring, std::uint32_t code,
                                      std::uint8_t severity, std::uint8_t phase,
                                      const char* message, const char* detail) noexcept;

// The stored entry carrying `sequence`, or null.
const norvo_runtime_diagnostic* findRuntimeDiagnostic(const norvo_runtime_diagnostic_ring& ring,
                                                      std::uint32_t sequence) noexcept;

}  // namespace norvo
