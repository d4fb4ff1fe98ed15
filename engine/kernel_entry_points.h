// The kernel entry points one engine instance calls, as a table of function pointers. The
// engine normally uses the chord kernel's exported functions; a test can hand the engine a
// table of its own to drive paths the real kernel never takes (a refused creation, a failing
// block, unusual outputs). Any thread; the table is immutable.
#pragma once

#include <cstddef>
#include <cstdint>

namespace norvo {

// One kernel output event with the kernel's own field types.
struct KernelOutputEvent {
  std::int32_t kind;
  std::int32_t frame;
  std::int32_t a;
  float b;
};

// A kernel call's outputs where the kernel keeps them: `count` events, event i being kinds[i],
// frames[i], a[i] and b[i] (the kernel's own layout).
struct KernelOutputColumns {
  const std::int32_t* kinds;
  const std::int32_t* frames;
  const std::int32_t* a;
  const float* b;
  std::uint32_t count;
};

// One event for the bulk push: the arguments of one single push (the kernel's own layout).
struct KernelInputEvent {
  std::uint32_t kind;
  std::uint32_t frame;
  std::uint32_t index;
  double value;
};

struct KernelEntryPoints {
  double (*create)(std::uint32_t maxBlockFrames, std::uint32_t inputChannels,
                   std::uint32_t outputChannels, double sampleRate);
  void (*inputView)(std::uint32_t handle, float** data, std::size_t* length);
  void (*outputView)(std::uint32_t handle, float** data, std::size_t* length);
  double (*pushEvent)(std::uint32_t handle, std::uint32_t kind, std::uint32_t frame,
                      std::uint32_t index, double value);
  double (*process)(std::uint32_t handle, std::uint32_t frames);
  double (*reset)(std::uint32_t handle);
  double (*destroy)(std::uint32_t handle);
  double (*eventOutputCount)(std::uint32_t handle);
  double (*eventOutputFrame)(std::uint32_t handle, std::uint32_t index);
  double (*eventOutputKind)(std::uint32_t handle, std::uint32_t index);
  double (*eventOutputA)(std::uint32_t handle, std::uint32_t index);
  double (*eventOutputB)(std::uint32_t handle, std::uint32_t index);
  // Points `out` at the last block's outputs (valid until the instance runs again) and returns
  // their count, in one call. A kernel without it (null) is read through the four per-field
  // readers instead.
  double (*eventOutputColumns)(std::uint32_t handle, KernelOutputColumns* out) = nullptr;
  // Pushes events[0..count) in order, each as pushEvent would, up to the first one refused;
  // returns how many were queued and puts the refused one's status in `refusal` (0 when none
  // was). A kernel without it (null) is pushed one event at a time.
  double (*pushEvents)(std::uint32_t handle, const KernelInputEvent* events, std::uint32_t count,
                       double* refusal) = nullptr;
};

// The chord kernel's own entry points.
const KernelEntryPoints& chordKernelEntryPoints() noexcept;

// Kernel event kinds the engine pushes.
inline constexpr std::uint32_t kKernelEventParameter = 1;
inline constexpr std::uint32_t kKernelEventNoteOn = 2;
inline constexpr std::uint32_t kKernelEventNoteOff = 3;

// The block size every kernel instance is created with; host blocks are cut to fit.
inline constexpr std::uint32_t kKernelBlockFrames = 128;

// Input events one kernel instance takes per `process` call, and outputs it returns from one.
inline constexpr int kKernelMaxEvents = 64;
inline constexpr std::uint32_t kKernelMaxOutputs = 256;

}  // namespace norvo
