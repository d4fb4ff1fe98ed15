// The chord generator: for every incoming note it sends out a chord built on that note, and
// each note-off releases exactly the notes its note-on sent (the ledger). One `ChordState` per
// kernel instance, driven by the instance layer in frame order; used on the kernel's calling
// thread (the host's audio thread). Only `createState` allocates.
#pragma once

#include <cstddef>
#include <cstdint>

#include "kernel/checked_array.h"

namespace norvo::kernel {

inline constexpr std::int32_t MAX_CHORD = 4;
inline constexpr std::int32_t OUT_CAPACITY = 256;
inline constexpr std::int32_t MAX_NOTES = 128;
inline constexpr std::int32_t KIND_NOTE_ON = 2;
inline constexpr std::int32_t KIND_NOTE_OFF = 3;
inline constexpr std::int32_t MODE_COUNT = 6;

// One set of output rows, one output per position.
struct OutputRows {
  CheckedArray<std::int32_t, OUT_CAPACITY> frames{};
  CheckedArray<std::int32_t, OUT_CAPACITY> kinds{};
  CheckedArray<std::int32_t, OUT_CAPACITY> a{};
  CheckedArray<float, OUT_CAPACITY> b{};
};

struct ChordState {
  ChordState() = default;
  // Not copied: it points into its own rows.
  ChordState(const ChordState&) = delete;
  ChordState& operator=(const ChordState&) = delete;

  std::int32_t frame = 0;  // stamp given to every output pushed now
  bool on = true;
  CheckedArray<std::int32_t, MAX_NOTES> ledgerCounts{};
  CheckedArray<std::int32_t, MAX_NOTES * MAX_CHORD> ledgerNotes{};
  std::int32_t mode = 0;
  std::int32_t outCount = 0;  // pending outputs, in *pendingRows
  // Two sets of rows: the pending outputs fill one while the other keeps the outputs last
  // handed over in place (takeEvents) readable; each hand-over swaps them.
  OutputRows outRows[2]{};
  OutputRows* pendingRows = &outRows[0];
  bool prepared = false;
  std::int32_t spread = 0;  // octaves added to every chord note but the root
  double velocity = 0.8;    // scale applied to every chord note but the root
};

struct PrepareConfig {
  std::uint32_t inputChannels = 0;
  std::uint32_t maxFrames = 0;
  std::uint32_t outputChannels = 0;
  double sampleRate = 0.0;
};

// An audio view; the kernel has only the empty one.
struct AudioView {
  float* data = nullptr;
  std::size_t length = 0;
};

struct RenderBlock {
  std::uint32_t maxFrames = 0;
  std::uint32_t frames = 0;  // length of the sub-block
  std::uint32_t offset = 0;  // its first frame within the host block
  AudioView input;
  AudioView output;
  std::uint32_t inputChannels = 0;
  std::uint32_t outputChannels = 0;
};

// A window onto one instance's row of the output columns.
struct EventOutputView {
  CheckedSpan<std::int32_t> a;
  CheckedSpan<float> b;
  CheckedSpan<std::int32_t> frames;
  CheckedSpan<std::int32_t> kinds;
  std::int32_t capacity = 0;
  std::int32_t count = 0;
};

// A fresh state (generator on, mode 0, spread 0, velocity scale 0.8). Traps when out of
// memory; never returns null.
ChordState* createState() noexcept;
void destroyState(ChordState* state) noexcept;

// Accepts a configuration with a positive sample rate, maxFrames >= 1 and no audio channels.
bool prepare(ChordState& state, const PrepareConfig& config) noexcept;

// Applies a plain value to "chord.on", "chord.mode", "chord.spread" or "chord.velocity".
// False for NaN or an unknown identifier (state unchanged).
bool setParameter(ChordState& state, const char* identifier, double value) noexcept;

// One note-on (kind 2) or note-off (kind 3). False when refused or the output buffer is full.
bool handleEvent(ChordState& state, std::int32_t kind, std::int32_t a, double b) noexcept;

// Whether process accepts sub-blocks of `block`: the state is prepared and the block has no
// audio channels.
inline bool renders(const ChordState& state, const RenderBlock& block) noexcept {
  return state.prepared && block.inputChannels == 0 && block.outputChannels == 0;
}

// process for a sub-block `renders` accepts: moves the output stamp to its end.
inline void advance(ChordState& state, const RenderBlock& block) noexcept {
  state.frame = static_cast<std::int32_t>(block.offset + block.frames);
}

// Moves the output stamp to the end of the sub-block. Renders nothing. Inline: the block loop
// calls it before every group of events.
inline bool process(ChordState& state, const RenderBlock& block) noexcept {
  if (!renders(state, block)) return false;
  advance(state, block);
  return true;
}

// The rows the pending outputs go to.
inline OutputRows& pendingOutputRows(ChordState& state) noexcept { return *state.pendingRows; }

// Moves every pending output into the view; false (rest dropped) when the view fills up.
bool emitEvents(ChordState& state, EventOutputView& view) noexcept;

// Outputs handed over in place: the rows and how many of them are filled.
struct TakenOutputs {
  const std::int32_t* frames = nullptr;
  const std::int32_t* kinds = nullptr;
  const std::int32_t* a = nullptr;
  const float* b = nullptr;
  std::int32_t count = 0;
};

// Hands every pending output over where it lies instead of copying it, as a complete
// emitEvents would move it: the rows stay unchanged until the next takeEvents, and later
// outputs go to the other set of rows.
TakenOutputs takeEvents(ChordState& state) noexcept;

// Clears the stamp, the pending outputs and the ledger; parameters are kept.
void reset(ChordState& state) noexcept;

// Forgets every recorded chord without sending note-offs.
void clearLedger(ChordState& state) noexcept;

}  // namespace norvo::kernel
