// Turns one kernel output event (kind, frame, a, b as the kernel's 64-bit numbers) into the
// MIDI-style record the processor sends to the host. Pure function: audio thread (any thread).
#pragma once

#include "engine/engine_events.h"

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

}  // namespace norvo
