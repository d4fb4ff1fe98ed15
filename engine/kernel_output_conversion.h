// Turns one kernel output event (kind, frame, a, b as the kernel's 64-bit numbers) into the
// MIDI-style record the engine latches (and writes as the host's event). Pure function: audio
// thread (any thread).
#pragma once

#include <cstdint>

#include "engine/engine_events.h"
#include "engine/kernel_entry_points.h"

namespace norvo {

// Kernel output kinds the engine understands.
inline constexpr double kKernelOutputNoteOn = 2.0;
inline constexpr double kKernelOutputNoteOff = 3.0;
inline constexpr double kKernelOutputControlChange = 4.0;

// Converts an output of the chunk that starts at host frame `chunkOffset` and is `chunkFrames`
// long. The frame is clamped into the chunk; note and controller numbers are truncated and
// clamped to 0..127; velocities (a note-on value above 1 is read as that value minus 2) and
// controller values are scaled by 127, rounded half away from zero and clamped to 0..127.
// False (nothing written) for any other kind.
bool convertKernelOutput(double kind, double frame, double a, double b, int chunkOffset,
                         int chunkFrames, MidiOutEvent& out) noexcept;

// round-half-away-from-zero(unit · 127) clamped to 0..127; NaN reads as 0. Without a library
// call: the fraction of a non-negative double below 2^31 is exact, so the tie test is exact.
inline std::uint8_t scaledVelocityByte(double unit) noexcept {
  const double scaled = unit * 127.0;
  if (!(scaled > 0.0)) return 0;
  if (scaled >= 126.5) return 127;
  const int whole = static_cast<int>(scaled);
  return static_cast<std::uint8_t>(whole + (scaled - whole >= 0.5 ? 1 : 0));
}

// The same for a kernel's single-precision value. Exact without the tie test: a float times
// 127 (and a float in [2, 3] less 2, times 127) needs at most 31 significant bits, so adding
// one half is exact in double precision and truncation rounds half away from zero.
inline std::uint8_t scaledVelocityByte(float unit) noexcept {
  const double scaled = static_cast<double>(unit) * 127.0;
  if (!(scaled > 0.0)) return 0;
  if (scaled >= 126.5) return 127;
  return static_cast<std::uint8_t>(static_cast<int>(scaled + 0.5));
}

// The same conversion for an output read in bulk (its fields are the kernel's integers and
// float, which the 64-bit numbers of the per-field readers carry exactly).
inline bool convertKernelOutput(const KernelOutputEvent& event, int chunkOffset, int chunkFrames,
                                MidiOutEvent& out) noexcept {
  std::uint8_t status = 0;
  std::uint8_t data2 = 0;
  if (event.kind == 2) {
    status = kMidiStatusNoteOn;
    const float b = event.b;
    data2 = scaledVelocityByte(b > 1.0f ? b - 2.0f : b);
  } else if (event.kind == 3) {
    status = kMidiStatusNoteOff;
  } else if (event.kind == 4) {
    status = kMidiStatusControlChange;
    data2 = scaledVelocityByte(event.b);
  } else {
    return false;
  }
  const int lastFrame = chunkFrames > 0 ? chunkFrames - 1 : 0;
  const int frame = event.frame < 0 ? 0 : (event.frame > lastFrame ? lastFrame : event.frame);
  out.frame = chunkOffset + frame;
  out.status = status;
  out.data1 = static_cast<std::uint8_t>(event.a < 0 ? 0 : (event.a > 127 ? 127 : event.a));
  out.data2 = data2;
  return true;
}

}  // namespace norvo
