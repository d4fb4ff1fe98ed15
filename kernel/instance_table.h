// The kernel's process-wide instance table: 32 slots addressed by generation-checked handles,
// each with a queue of timestamped input events, a chord generator state and a row of the
// output columns. The flat C entry points (kernel_api.cpp) are thin wrappers over these
// functions.
//
// Threads: `runtimeInit`, `createInstance` and `destroyInstance` (set-up threads) are
// serialized with each other by a lock and may run while other instances process; the block
// functions (audio thread) take no lock, allocate nothing and touch only their own slot.
// `runtimeInit` and `createInstance` allocate.
#pragma once

#include <cstdint>

#include "kernel/chord_generator.h"
#include "kernel/kernel_api.h"

namespace norvo::kernel {

inline constexpr std::uint32_t MAX_INSTANCES = 32;
inline constexpr std::uint32_t MAX_FRAMES = 128;
inline constexpr std::uint32_t MAX_EVENTS = 64;
inline constexpr std::uint32_t PARAMETER_COUNT = 4;
inline constexpr std::uint32_t MAX_EVENT_OUTPUTS = 256;

inline constexpr std::uint32_t EVENT_PARAMETER = 1;
inline constexpr std::uint32_t EVENT_NOTE_ON = 2;
inline constexpr std::uint32_t EVENT_NOTE_OFF = 3;
inline constexpr std::uint32_t EVENT_CONTROL_CHANGE = 4;

// The generator's output rows are the instance's output events, and it reports notes with the
// same kinds the interface uses.
static_assert(MAX_EVENT_OUTPUTS == static_cast<std::uint32_t>(OUT_CAPACITY));
static_assert(EVENT_NOTE_ON == static_cast<std::uint32_t>(KIND_NOTE_ON));
static_assert(EVENT_NOTE_OFF == static_cast<std::uint32_t>(KIND_NOTE_OFF));

// Highest generation a slot reaches before starting again at 1: the largest for which every
// slot's handle still fits in 32 bits.
inline constexpr std::uint32_t kMaxGeneration = (0xFFFFFFFFu - MAX_INSTANCES) / MAX_INSTANCES + 1;
static_assert(std::uint64_t{MAX_INSTANCES - 1} +
                      std::uint64_t{MAX_INSTANCES} * (kMaxGeneration - 1) + 1 <=
                  0xFFFFFFFFu,
              "every handle fits in 32 bits");

// Releases earlier tables and instances and allocates fresh, zeroed tables.
void runtimeInit() noexcept;

// Handle of a new instance, or 0.
std::uint32_t createInstance(std::uint32_t maxBlockFrames, std::uint32_t inputChannels,
                             std::uint32_t outputChannels, double sampleRate) noexcept;

int pushEvent(std::uint32_t handle, std::uint32_t kind, std::uint32_t frame, std::uint32_t index,
              double value) noexcept;
// Queues events in order as pushEvent would, up to the first it refuses; returns how many were
// queued and sets `refusal` to the refused one's status (0 when all were queued).
std::uint32_t pushEvents(std::uint32_t handle, const norvo_kernel_input_event* events,
                         std::uint32_t count, int& refusal) noexcept;
int processInstance(std::uint32_t handle, std::uint32_t frames) noexcept;
int resetInstance(std::uint32_t handle) noexcept;
int destroyInstance(std::uint32_t handle) noexcept;

enum class OutputField { Frame, Kind, A, B };

// Number of output events of the last block; 0 for an invalid handle.
std::int32_t outputCount(std::uint32_t handle) noexcept;
// One field of output event `index`; 0 for an invalid handle or index.
double outputField(std::uint32_t handle, std::uint32_t index, OutputField field) noexcept;

// Copies outputs first.. of the last block into `out` (at most `capacity`); returns how many.
std::uint32_t readOutputs(std::uint32_t handle, std::uint32_t first, norvo_kernel_output_event* out,
                          std::uint32_t capacity) noexcept;

// Points `out` at the last block's output columns; returns the count (0 and null pointers for
// an invalid handle; nothing written for a null `out`).
std::uint32_t outputColumns(std::uint32_t handle, norvo_kernel_output_columns* out) noexcept;

// The kernel's only audio view (length 0).
AudioView emptyAudioView() noexcept;

}  // namespace norvo::kernel
