// Kernel output events to MIDI-style records.
#include "engine/kernel_output_conversion.h"

#include <cmath>
#include <cstdint>

namespace norvo {
namespace {

// Truncates toward zero and clamps to [lo, hi]; NaN reads as lo.
int truncateClamped(double v, int lo, int hi) noexcept {
  if (!(v > lo)) return lo;
  if (v >= hi) return hi;
  return static_cast<int>(v);
}

}  // namespace

bool convertKernelOutput(double kind, double frame, double a, double b, int chunkOffset,
                         int chunkFrames, MidiOutEvent& out) noexcept {
  std::uint8_t status = 0;
  std::uint8_t data2 = 0;
  if (kind == kKernelOutputNoteOn) {
    status = kMidiStatusNoteOn;
    data2 = scaledVelocityByte(b > 1.0 ? b - 2.0 : b);
  } else if (kind == kKernelOutputNoteOff) {
    status = kMidiStatusNoteOff;
  } else if (kind == kKernelOutputControlChange) {
    status = kMidiStatusControlChange;
    data2 = scaledVelocityByte(b);
  } else {
    return false;
  }
  const int lastFrame = chunkFrames > 0 ? chunkFrames - 1 : 0;
  out.frame = chunkOffset + truncateClamped(frame, 0, lastFrame);
  out.status = status;
  out.data1 = static_cast<std::uint8_t>(truncateClamped(a, 0, 127));
  out.data2 = data2;
  return true;
}

}  // namespace norvo
