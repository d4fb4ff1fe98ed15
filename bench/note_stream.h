// The benchmark's input stream, shared by the Chord host and the peer's host so both plug-ins
// see exactly the same notes: 512-frame blocks at 48 kHz, each with 8 note-on/note-off pairs
// (16 input events) walking the white keys 36..96. Pure functions; any thread.
#pragma once

#include <array>
#include <cstdint>

namespace norvo::bench {

inline constexpr int kStreamRate = 48000;
inline constexpr int kStreamBlockFrames = 512;
inline constexpr int kStreamPairsPerBlock = 8;
inline constexpr int kStreamEventsPerBlock = 2 * kStreamPairsPerBlock;

struct StreamEvent {
  int frame = 0;
  int pitch = 0;
  int velocity = 0;  // MIDI byte 1..127 (note-on) or 64 (note-off)
  bool on = false;
};

// Pair i of block n is note g = 8n + i: white key j = g mod 36 counted up from 36, note-on at
// frame 64i with velocity byte 1 + (37g mod 127), note-off 32 frames later with velocity 64.
inline std::array<StreamEvent, kStreamEventsPerBlock> streamBlock(std::int64_t block) noexcept {
  static constexpr int kWhiteKeySteps[7] = {0, 2, 4, 5, 7, 9, 11};
  std::array<StreamEvent, kStreamEventsPerBlock> events{};
  for (int i = 0; i < kStreamPairsPerBlock; ++i) {
    const std::int64_t g = block * kStreamPairsPerBlock + i;
    const int j = static_cast<int>(g % 36);
    const int pitch = 36 + 12 * (j / 7) + kWhiteKeySteps[j % 7];
    events[2 * i] = {64 * i, pitch, 1 + static_cast<int>((37 * g) % 127), true};
    events[2 * i + 1] = {64 * i + 32, pitch, 64, false};
  }
  return events;
}

}  // namespace norvo::bench
