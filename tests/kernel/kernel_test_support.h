// Helpers for driving the kernel through its flat C interface in tests.
#pragma once

#include <cstdint>
#include <ostream>
#include <vector>

#include "kernel/kernel_api.h"

#define K(suffix) NORVO_KERNEL_ENTRY(suffix)

namespace norvo::test {

// One output event as read back through the per-field readers.
struct KernelOutput {
  int kind;
  int note;
  double velocity;
  int frame;

  bool operator==(const KernelOutput&) const = default;
};

inline std::ostream& operator<<(std::ostream& os, const KernelOutput& o) {
  return os << "{kind " << o.kind << ", note " << o.note << ", velocity " << o.velocity
            << ", frame " << o.frame << "}";
}

// The velocity as the kernel stores it (32-bit float), read back as a double.
inline double stored(double velocity) { return static_cast<double>(static_cast<float>(velocity)); }

inline KernelOutput noteOn(int note, double velocity, int frame) {
  return {2, note, stored(velocity), frame};
}
inline KernelOutput noteOff(int note, int frame) { return {3, note, 0.0, frame}; }

inline std::vector<KernelOutput> readOutputs(std::uint32_t handle) {
  std::vector<KernelOutput> out;
  const auto count = static_cast<std::uint32_t>(K(event_output_count)(handle));
  for (std::uint32_t i = 0; i < count; ++i) {
    out.push_back({static_cast<int>(K(event_output_kind)(handle, i)),
                   static_cast<int>(K(event_output_a)(handle, i)), K(event_output_b)(handle, i),
                   static_cast<int>(K(event_output_frame)(handle, i))});
  }
  return out;
}

inline std::uint32_t createDefault() {
  return static_cast<std::uint32_t>(K(create)(128, 0, 0, 48000.0));
}

}  // namespace norvo::test
