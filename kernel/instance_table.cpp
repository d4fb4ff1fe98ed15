// The kernel's instance table and block loop: see instance_table.h. Kernel calling thread.
#include "kernel/instance_table.h"

#include <algorithm>
#include <cmath>
#include <mutex>

namespace norvo::kernel {
namespace {

// Parameter index → generator identifier, and the defaults applied by create and reset.
constexpr const char* kParameterIdentifiers[PARAMETER_COUNT] = {"chord.on", "chord.mode",
                                                                "chord.spread", "chord.velocity"};
constexpr double kParameterDefaults[PARAMETER_COUNT] = {1.0, 0.0, 0.0, 0.8};

float gEmptyViewStorage[1] = {0.0f};

struct KernelTables {
  CheckedSpan<std::uint8_t> active;
  CheckedSpan<std::uint32_t> generations;
  CheckedSpan<std::uint32_t> maximumBlockSizes;
  CheckedSpan<std::uint32_t> eventFrames;
  CheckedSpan<std::uint32_t> eventKinds;
  CheckedSpan<std::uint32_t> eventParameters;
  CheckedSpan<std::int32_t> eventA;
  CheckedSpan<float> eventValues;
  CheckedSpan<std::uint32_t> eventCounts;
  CheckedSpan<std::int32_t> egressCounts;
  CheckedSpan<ChordState*> states;
  CheckedSpan<RenderBlock> blocks;
  AudioView emptyView{gEmptyViewStorage, 0};
};

// Empty until runtime_init: any table access before it is an out-of-bounds trap.
KernelTables gTables;

// Serializes the calls that claim and free slots. Two plug-in instances may set up at the same
// time on different threads; without it both could claim the same free slot. The block entry
// points never take it: an instance's own slot is only touched by its own caller.
std::mutex gSlotMutex;

// What the block entry points need of one slot, taken (with every bound checked) when the
// slot's instance is created, so they reach it with one lookup and index the rows directly with
// positions they have already proven to be inside them (below MAX_EVENTS or MAX_EVENT_OUTPUTS).
// `handle` is the live instance's handle, 0 while the slot is free: a handle is valid exactly
// when it equals the `handle` of its slot (the slot is active and of that generation).
// The output rows are the generator's rows its last good block's outputs were handed over in
// (MAX_EVENT_OUTPUTS long), read where they lie until the next good block.
struct SlotRows {
  std::uint32_t handle = 0;
  std::uint32_t* maximumBlockSize = nullptr;
  std::uint32_t* eventCount = nullptr;
  std::int32_t* egressCount = nullptr;
  ChordState* state = nullptr;
  RenderBlock* block = nullptr;
  std::uint32_t* eventFrames = nullptr;
  std::uint32_t* eventKinds = nullptr;
  std::uint32_t* eventParameters = nullptr;
  std::int32_t* eventA = nullptr;
  float* eventValues = nullptr;
  const std::int32_t* egressKinds = nullptr;
  const std::int32_t* egressA = nullptr;
  const std::int32_t* egressFrames = nullptr;
  const float* egressB = nullptr;
};

// Shows handed-over outputs as the slot's output rows and count.
void showOutputs(SlotRows& rows, const TakenOutputs& taken) noexcept {
  rows.egressKinds = taken.kinds;
  rows.egressA = taken.a;
  rows.egressFrames = taken.frames;
  rows.egressB = taken.b;
  *rows.egressCount = taken.count;
}
SlotRows gRows[MAX_INSTANCES];

// The row of `slot` in a table of rows `width` wide; traps unless the whole row is inside it.
template <typename T>
T* rowOf(const CheckedSpan<T>& table, std::uint32_t slot, std::uint32_t width) noexcept {
  const std::int64_t first = std::int64_t{slot} * width;
  (void)table[first + width - 1];
  return &table[first];
}

// Answers -1 for a handle that is not live. The slot's flag is still read from its table, so a
// call before runtime_init traps like every other access to a table that does not exist yet.
[[gnu::cold, gnu::noinline]] std::int32_t refuseHandle(std::uint32_t handle,
                                                       std::uint32_t slot) noexcept {
  if (handle != 0) (void)gTables.active[slot];
  return -1;
}

// The slot of a valid handle, or -1.
inline std::int32_t slotFor(std::uint32_t handle) noexcept {
  const std::uint32_t slot = (handle - 1) % MAX_INSTANCES;
  if (handle == 0 || gRows[slot].handle != handle) [[unlikely]] {
    return refuseHandle(handle, slot);
  }
  return static_cast<std::int32_t>(slot);
}

// The rows of the slot of a valid handle, or null.
inline SlotRows* rowsFor(std::uint32_t handle) noexcept {
  const std::int32_t slot = slotFor(handle);
  return slot < 0 ? nullptr : &gRows[slot];
}

std::uint32_t handleFor(std::uint32_t slot, std::uint32_t generation) noexcept {
  return slot + MAX_INSTANCES * (generation - 1) + 1;
}

bool applyParameter(ChordState& state, std::uint32_t index, double value) noexcept {
  if (index >= PARAMETER_COUNT) return false;
  return setParameter(state, kParameterIdentifiers[index], value);
}

bool applyDefaults(ChordState& state) noexcept {
  for (std::uint32_t i = 0; i < PARAMETER_COUNT; ++i) {
    if (!applyParameter(state, i, kParameterDefaults[i])) return false;
  }
  return true;
}

void releaseTables() noexcept {
  for (std::size_t s = 0; s < gTables.states.length; ++s) destroyState(gTables.states[s]);
  releaseTable(gTables.active);
  releaseTable(gTables.generations);
  releaseTable(gTables.maximumBlockSizes);
  releaseTable(gTables.eventFrames);
  releaseTable(gTables.eventKinds);
  releaseTable(gTables.eventParameters);
  releaseTable(gTables.eventA);
  releaseTable(gTables.eventValues);
  releaseTable(gTables.eventCounts);
  releaseTable(gTables.egressCounts);
  releaseTable(gTables.states);
  releaseTable(gTables.blocks);
  gTables = KernelTables{};
}

inline bool validEventShape(std::uint32_t kind, std::uint32_t index, double value) noexcept {
  switch (kind) {
    case EVENT_PARAMETER:
      return index < PARAMETER_COUNT;
    case EVENT_NOTE_ON:
      return index <= 127 && ((value >= 0.0 && value <= 1.0) || (value >= 2.0 && value <= 3.0));
    case EVENT_NOTE_OFF:
      return index <= 127 && value == 0.0;
    case EVENT_CONTROL_CHANGE:
      return index <= 127 && value >= 0.0 && value <= 1.0;
    default:
      return false;
  }
}

// Runs the module over stretches [offset, offset + frames) of one block. Whether the module
// renders (prepared, no audio channels) is known from its set-up, which no event changes, so it
// is asked once per block.
class BlockRenderer {
 public:
  explicit BlockRenderer(const SlotRows& rows) noexcept
      : block_(*rows.block), state_(*rows.state), renders_(renders(state_, block_)) {}

  bool render(std::uint32_t offset, std::uint32_t frames) noexcept {
    if (!renders_) [[unlikely]] {
      return false;
    }
    block_.offset = offset;
    block_.frames = frames;
    advance(state_, block_);
    return true;
  }

 private:
  RenderBlock& block_;
  ChordState& state_;
  const bool renders_;
};

// The queued event at `position` (below MAX_EVENTS, so inside the slot's rows), alone in its
// frame.
bool applyEvent(const SlotRows& rows, std::uint32_t position) noexcept {
  const std::uint32_t kind = rows.eventKinds[position];
  if (kind == EVENT_PARAMETER) {
    return applyParameter(*rows.state, rows.eventParameters[position], rows.eventValues[position]);
  }
  return handleEvent(*rows.state, static_cast<std::int32_t>(kind), rows.eventA[position],
                     rows.eventValues[position]);
}

// Parameters first, then notes, for the queued events [first, end) of one frame (end <=
// MAX_EVENTS, so every position read is inside the slot's rows). Out of line: the block loop
// keeps its own registers for the common frame of one event.
[[gnu::noinline]] bool applyFrameGroup(const SlotRows& rows, std::uint32_t first,
                                       std::uint32_t end) noexcept {
  ChordState& state = *rows.state;
  const std::uint32_t* const kinds = rows.eventKinds;
  bool notes = false;
  for (std::uint32_t g = first; g < end; ++g) {
    if (kinds[g] != EVENT_PARAMETER) {
      notes = true;
      continue;
    }
    if (!applyParameter(state, rows.eventParameters[g], rows.eventValues[g])) return false;
  }
  if (!notes) return true;
  for (std::uint32_t g = first; g < end; ++g) {
    const std::uint32_t kind = kinds[g];
    if (kind == EVENT_PARAMETER) continue;
    if (!handleEvent(state, static_cast<std::int32_t>(kind), rows.eventA[g], rows.eventValues[g])) {
      return false;
    }
  }
  return true;
}

// Feeds the queued events before `frames` to the module, one frame group at a time.
bool runQueuedEvents(const SlotRows& rows, std::uint32_t frames) noexcept {
  std::uint32_t count = *rows.eventCount;
  if (count > MAX_EVENTS) count = MAX_EVENTS;
  const std::uint32_t* const eventFrames = rows.eventFrames;
  BlockRenderer renderer(rows);
  std::uint32_t renderedTo = 0;
  for (std::uint32_t g = 0; g < count;) {
    const std::uint32_t frame = eventFrames[g];
    if (frame >= frames) break;
    if (renderedTo < frame) {
      if (!renderer.render(renderedTo, frame - renderedTo)) return false;
      renderedTo = frame;
    }
    std::uint32_t end = g + 1;
    while (end < count && eventFrames[end] == frame) ++end;
    if (!(end == g + 1 ? applyEvent(rows, g) : applyFrameGroup(rows, g, end))) return false;
    g = end;
  }
  if (renderedTo < frames) return renderer.render(renderedTo, frames - renderedTo);
  return true;
}

}  // namespace

void runtimeInit() noexcept {
  const std::lock_guard<std::mutex> lock(gSlotMutex);
  releaseTables();
  for (SlotRows& rows : gRows) rows = SlotRows{};
  gTables.active = allocateTable<std::uint8_t>(MAX_INSTANCES);
  gTables.generations = allocateTable<std::uint32_t>(MAX_INSTANCES);
  gTables.maximumBlockSizes = allocateTable<std::uint32_t>(MAX_INSTANCES);
  gTables.eventFrames = allocateTable<std::uint32_t>(MAX_INSTANCES * MAX_EVENTS);
  gTables.eventKinds = allocateTable<std::uint32_t>(MAX_INSTANCES * MAX_EVENTS);
  gTables.eventParameters = allocateTable<std::uint32_t>(MAX_INSTANCES * MAX_EVENTS);
  gTables.eventA = allocateTable<std::int32_t>(MAX_INSTANCES * MAX_EVENTS);
  gTables.eventValues = allocateTable<float>(MAX_INSTANCES * MAX_EVENTS);
  gTables.eventCounts = allocateTable<std::uint32_t>(MAX_INSTANCES);
  gTables.egressCounts = allocateTable<std::int32_t>(MAX_INSTANCES);
  gTables.states = allocateTable<ChordState*>(MAX_INSTANCES);
  gTables.blocks = allocateTable<RenderBlock>(MAX_INSTANCES);
}

std::uint32_t createInstance(std::uint32_t maxBlockFrames, std::uint32_t inputChannels,
                             std::uint32_t outputChannels, double sampleRate) noexcept {
  if (!(sampleRate > 0.0) || !std::isfinite(sampleRate) || maxBlockFrames < 1 ||
      maxBlockFrames > MAX_FRAMES || inputChannels != 0 || outputChannels != 0) {
    return 0;
  }
  const std::lock_guard<std::mutex> lock(gSlotMutex);
  std::uint32_t slot = 0;
  while (slot < MAX_INSTANCES && gTables.active[slot] != 0) ++slot;
  if (slot == MAX_INSTANCES) return 0;

  // The new generation stands even if creation fails below.
  std::uint32_t generation = gTables.generations[slot] + 1;
  if (generation == 0 || generation > kMaxGeneration) generation = 1;
  gTables.generations[slot] = generation;

  ChordState* state = createState();
  PrepareConfig config;
  config.sampleRate = static_cast<float>(sampleRate);
  config.maxFrames = maxBlockFrames;
  if (!prepare(*state, config)) {
    destroyState(state);
    gTables.maximumBlockSizes[slot] = 0;
    return 0;
  }

  destroyState(gTables.states[slot]);
  gTables.states[slot] = state;
  gTables.maximumBlockSizes[slot] = maxBlockFrames;
  gTables.eventCounts[slot] = 0;
  gTables.egressCounts[slot] = 0;

  SlotRows& rows = gRows[slot];
  rows.maximumBlockSize = &gTables.maximumBlockSizes[slot];
  rows.eventCount = &gTables.eventCounts[slot];
  rows.egressCount = &gTables.egressCounts[slot];
  rows.state = state;
  rows.block = &gTables.blocks[slot];
  rows.eventFrames = rowOf(gTables.eventFrames, slot, MAX_EVENTS);
  rows.eventKinds = rowOf(gTables.eventKinds, slot, MAX_EVENTS);
  rows.eventParameters = rowOf(gTables.eventParameters, slot, MAX_EVENTS);
  rows.eventA = rowOf(gTables.eventA, slot, MAX_EVENTS);
  rows.eventValues = rowOf(gTables.eventValues, slot, MAX_EVENTS);
  // No block yet: the fresh state's empty rows are shown.
  showOutputs(rows, takeEvents(*state));

  RenderBlock& block = gTables.blocks[slot];
  block = RenderBlock{};
  block.maxFrames = MAX_FRAMES;
  block.input = gTables.emptyView;
  block.output = gTables.emptyView;

  if (!applyDefaults(*state)) {
    gTables.maximumBlockSizes[slot] = 0;
    return 0;
  }
  gTables.active[slot] = 1;
  rows.handle = handleFor(slot, generation);
  return rows.handle;
}

namespace {

// A valid slot's event queue, its rows and counters in locals while events are added to it: the
// stores into the rows may alias the slot's counters as far as the compiler knows, and would
// make it read them again after every event.
class EventQueueWriter {
 public:
  explicit EventQueueWriter(const SlotRows& rows) noexcept
      : frames_(rows.eventFrames),
        kinds_(rows.eventKinds),
        parameters_(rows.eventParameters),
        notes_(rows.eventA),
        values_(rows.eventValues),
        counter_(rows.eventCount),
        maximumBlockSize_(*rows.maximumBlockSize),
        count_(*rows.eventCount),
        lastFrame_(count_ > 0 ? rows.eventFrames[count_ - 1] : 0) {}

  // Queues one event, or refuses it with push_event's status.
  int add(std::uint32_t kind, std::uint32_t frame, std::uint32_t index, double value) noexcept {
    if (frame >= maximumBlockSize_) [[unlikely]] {
      return 1;
    }
    if (!validEventShape(kind, index, value)) [[unlikely]] {
      return 2;
    }
    // The shapes of the other kinds admit finite values only (NaN fails every comparison).
    if ((kind == EVENT_PARAMETER && !std::isfinite(value)) || count_ >= MAX_EVENTS) [[unlikely]] {
      return 3;
    }
    if (frame < lastFrame_) [[unlikely]] {
      return 4;
    }
    // count_ < MAX_EVENTS: inside the slot's rows.
    const bool parameter = kind == EVENT_PARAMETER;
    frames_[count_] = frame;
    kinds_[count_] = kind;
    parameters_[count_] = parameter ? index : 0;
    notes_[count_] = parameter ? 0 : static_cast<std::int32_t>(index);
    values_[count_] = static_cast<float>(value);
    ++count_;
    lastFrame_ = frame;
    return 0;
  }

  // Stores the new count in the slot.
  void finish() noexcept { *counter_ = count_; }

 private:
  std::uint32_t* const frames_;
  std::uint32_t* const kinds_;
  std::uint32_t* const parameters_;
  std::int32_t* const notes_;
  float* const values_;
  std::uint32_t* const counter_;
  const std::uint32_t maximumBlockSize_;
  std::uint32_t count_;
  std::uint32_t lastFrame_;
};

}  // namespace

int pushEvent(std::uint32_t handle, std::uint32_t kind, std::uint32_t frame, std::uint32_t index,
              double value) noexcept {
  const SlotRows* rows = rowsFor(handle);
  if (rows == nullptr) [[unlikely]] {
    return 1;
  }
  EventQueueWriter queue(*rows);
  const int status = queue.add(kind, frame, index, value);
  if (status == 0) queue.finish();
  return status;
}

std::uint32_t pushEvents(std::uint32_t handle, const norvo_kernel_input_event* events,
                         std::uint32_t count, int& refusal) noexcept {
  refusal = 0;
  if (count == 0) return 0;
  const SlotRows* rows = rowsFor(handle);
  if (rows == nullptr) [[unlikely]] {
    refusal = 1;
    return 0;
  }
  if (events == nullptr) [[unlikely]] {
    refusal = 2;
    return 0;
  }
  EventQueueWriter queue(*rows);
  std::uint32_t i = 0;
  for (; i < count; ++i) {
    const norvo_kernel_input_event& event = events[i];
    const int status = queue.add(event.kind, event.frame, event.index, event.value);
    if (status != 0) [[unlikely]] {
      refusal = status;
      break;
    }
  }
  queue.finish();
  return i;
}

int processInstance(std::uint32_t handle, std::uint32_t frames) noexcept {
  SlotRows* found = rowsFor(handle);
  if (found == nullptr || frames > *found->maximumBlockSize) [[unlikely]] {
    return 1;
  }
  const SlotRows& rows = *found;

  ChordState& state = *rows.state;
  if (!runQueuedEvents(rows, frames)) [[unlikely]] {
    // The refused block's queue is dropped so the next block starts clean instead of failing
    // on the same event forever; outputs already made stay pending for the next block (their
    // note-offs must still reach the host), and the stamp starts again at frame 0.
    *rows.eventCount = 0;
    state.frame = 0;
    return 2;
  }

  // The outputs are shown where the generator made them, no copy.
  const TakenOutputs taken = takeEvents(state);
  *rows.eventCount = 0;
  if (taken.count < 0 || taken.count > static_cast<std::int32_t>(MAX_EVENT_OUTPUTS)) [[unlikely]] {
    *rows.egressCount = 0;
    return 3;
  }
  showOutputs(*found, taken);
  return 0;
}

int resetInstance(std::uint32_t handle) noexcept {
  const SlotRows* rows = rowsFor(handle);
  if (rows == nullptr) return 1;
  ChordState& state = *rows->state;
  reset(state);
  if (!applyDefaults(state)) return 2;
  *rows->eventCount = 0;
  *rows->egressCount = 0;
  return 0;
}

int destroyInstance(std::uint32_t handle) noexcept {
  const std::lock_guard<std::mutex> lock(gSlotMutex);
  const std::int32_t s = slotFor(handle);
  if (s < 0) return 1;
  const auto slot = static_cast<std::uint32_t>(s);
  gTables.active[slot] = 0;
  gTables.maximumBlockSizes[slot] = 0;
  gTables.eventCounts[slot] = 0;
  gTables.egressCounts[slot] = 0;
  gRows[slot].handle = 0;
  return 0;
}

std::int32_t outputCount(std::uint32_t handle) noexcept {
  const SlotRows* rows = rowsFor(handle);
  return rows == nullptr ? 0 : *rows->egressCount;
}

double outputField(std::uint32_t handle, std::uint32_t index, OutputField field) noexcept {
  const SlotRows* found = rowsFor(handle);
  if (found == nullptr) return 0.0;
  const SlotRows& rows = *found;
  const std::int32_t count = *rows.egressCount;
  // The count never exceeds MAX_EVENT_OUTPUTS, the length of each row.
  if (count <= 0 || index >= static_cast<std::uint32_t>(count) || index >= MAX_EVENT_OUTPUTS) {
    return 0.0;
  }
  switch (field) {
    case OutputField::Frame:
      return rows.egressFrames[index];
    case OutputField::Kind:
      return rows.egressKinds[index];
    case OutputField::A:
      return rows.egressA[index];
    case OutputField::B:
      return rows.egressB[index];
  }
  return 0.0;
}

std::uint32_t readOutputs(std::uint32_t handle, std::uint32_t first, norvo_kernel_output_event* out,
                          std::uint32_t capacity) noexcept {
  const SlotRows* found = rowsFor(handle);
  if (found == nullptr || out == nullptr) return 0;
  const SlotRows& rows = *found;
  const std::int32_t count = *rows.egressCount;
  if (count <= 0 || first >= static_cast<std::uint32_t>(count)) return 0;
  // The count never exceeds MAX_EVENT_OUTPUTS, so first + n stays inside the slot's rows.
  const std::uint32_t end = std::min(static_cast<std::uint32_t>(count), MAX_EVENT_OUTPUTS);
  if (first >= end) return 0;
  const std::uint32_t n = std::min(end - first, capacity);
  for (std::uint32_t i = 0; i < n; ++i) {
    out[i] = {rows.egressKinds[first + i], rows.egressFrames[first + i], rows.egressA[first + i],
              rows.egressB[first + i]};
  }
  return n;
}

std::uint32_t outputColumns(std::uint32_t handle, norvo_kernel_output_columns* out) noexcept {
  if (out == nullptr) return 0;
  const SlotRows* rows = rowsFor(handle);
  if (rows == nullptr) {
    *out = {};
    return 0;
  }
  // The count never exceeds MAX_EVENT_OUTPUTS, the length of each row.
  const std::int32_t count = *rows->egressCount;
  const std::uint32_t n =
      count <= 0 ? 0 : std::min(static_cast<std::uint32_t>(count), MAX_EVENT_OUTPUTS);
  *out = {rows->egressKinds, rows->egressFrames, rows->egressA, rows->egressB, n};
  return n;
}

AudioView emptyAudioView() noexcept { return gTables.emptyView; }

}  // namespace norvo::kernel
