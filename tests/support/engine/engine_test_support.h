// Small helpers shared by the engine tests: reading the engine's output as comparable values,
// running a block, and reading the diagnostic ring. Test thread only.
#pragma once

#include <cstring>
#include <ostream>
#include <string>
#include <tuple>
#include <vector>

#include "engine/kernel_engine.h"

namespace norvo {

inline bool operator==(const MidiOutEvent& a, const MidiOutEvent& b) {
  return std::tie(a.frame, a.status, a.data1, a.data2) ==
         std::tie(b.frame, b.status, b.data1, b.data2);
}

inline std::ostream& operator<<(std::ostream& os, const MidiOutEvent& e) {
  return os << "{frame " << e.frame << ", status 0x" << std::hex << int{e.status} << std::dec
            << ", " << int{e.data1} << ", " << int{e.data2} << "}";
}

namespace test {

inline MidiOutEvent noteOn(int frame, int note, int velocity) {
  return MidiOutEvent{frame, 0x90, static_cast<std::uint8_t>(note),
                      static_cast<std::uint8_t>(velocity)};
}

inline MidiOutEvent noteOff(int frame, int note) {
  return MidiOutEvent{frame, 0x80, static_cast<std::uint8_t>(note), 0};
}

inline std::vector<MidiOutEvent> midiOutOf(const KernelEngine& engine) {
  std::vector<MidiOutEvent> records;
  for (int i = 0; i < engine.midiOutCount(); ++i)
    records.push_back(midiOfHostEvent(engine.midiOut()[i]));
  return records;
}

// Runs one event-only block.
inline void runBlock(KernelEngine& engine, int frames) {
  engine.processBlock(nullptr, 0, nullptr, 0, frames);
}

struct DiagnosticSummary {
  std::uint32_t code;
  int severity;
  int phase;
  std::string message;
  std::string detail;
  bool operator==(const DiagnosticSummary&) const = default;
};

inline std::ostream& operator<<(std::ostream& os, const DiagnosticSummary& d) {
  return os << "{" << d.code << ", " << d.severity << ", " << d.phase << ", \"" << d.message
            << "\", \"" << d.detail << "\"}";
}

inline std::vector<DiagnosticSummary> diagnosticsOf(const KernelEngine& engine) {
  const norvo_runtime_diagnostic_ring& ring = engine.runtimeDiagnosticRing();
  std::vector<DiagnosticSummary> out;
  for (std::uint32_t i = 0; i < ring.count; ++i) {
    const norvo_runtime_diagnostic& d = ring.entries[i];
    out.push_back({d.code, d.severity, d.phase, d.message, d.detail});
  }
  return out;
}

}  // namespace test
}  // namespace norvo
