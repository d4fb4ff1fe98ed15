// The chord generator: see chord_generator.h. Audio thread (kernel calling thread).
#include "kernel/chord_generator.h"

#include <cmath>
#include <cstring>

namespace norvo::kernel {
namespace {

// Semitone offsets of all modes in one flat table; each mode starts at its offset.
constexpr CheckedArray<std::int32_t, 17> INTERVALS{
    {0, 12, 0, 7, 0, 4, 7, 0, 3, 7, 0, 5, 7, 0, 4, 7, 10}};
constexpr CheckedArray<std::int32_t, MODE_COUNT> INTERVAL_OFFSETS{{0, 2, 4, 7, 10, 13}};
constexpr CheckedArray<std::int32_t, MODE_COUNT> INTERVAL_LENGTHS{{2, 2, 3, 3, 3, 4}};

// Lower bound first, then upper bound (infinities clamp; callers have excluded NaN).
double clampValue(double v, double lo, double hi) noexcept {
  if (v < lo) v = lo;
  if (v > hi) v = hi;
  return v;
}

// Round half up: floor(x + 0.5).
double roundHalfUp(double x) noexcept { return std::floor(x + 0.5); }

// Hot paths index with positions they have just proven to be inside the array (an output slot
// below OUT_CAPACITY, a root in 0..127 checked by handleEvent and a chord slot below
// MAX_CHORD), so they read `items` directly instead of checking the bounds again.
bool push(ChordState& state, std::int32_t kind, std::int32_t a, double b) noexcept {
  const std::int32_t i = state.outCount;
  if (i < 0 || i >= OUT_CAPACITY) return false;
  state.outKinds.items[i] = kind;
  state.outA.items[i] = a;
  state.outB.items[i] = static_cast<float>(b);
  state.outFrames.items[i] = state.frame;
  state.outCount = i + 1;
  return true;
}

bool releaseChord(ChordState& state, std::int32_t root) noexcept {
  const std::int32_t count = state.ledgerCounts.items[root];
  const std::int32_t* notes = &state.ledgerNotes.items[root * MAX_CHORD];
  for (std::int32_t r = 0; r < MAX_CHORD && r < count; ++r) {
    if (!push(state, KIND_NOTE_OFF, notes[r], 0.0)) return false;
  }
  state.ledgerCounts.items[root] = 0;
  return true;
}

bool playChord(ChordState& state, std::int32_t root, double velocity) noexcept {
  const std::int32_t start = INTERVAL_OFFSETS[state.mode];
  const std::int32_t length = INTERVAL_LENGTHS[state.mode];
  double scaled = velocity * 127.0 * state.velocity;
  if (scaled > 127.0) scaled = 127.0;
  if (scaled < 1.0) scaled = 1.0;
  const double addedVelocity = roundHalfUp(scaled) / 127.0;
  if (length < 1) return true;

  std::int32_t sent = 0;
  for (std::int32_t i = 0; i < MAX_CHORD && i < length; ++i) {
    std::int32_t note = INTERVALS[start + i] + root;
    if (i > 0) note += state.spread * 12;
    if (note < 0 || note > MAX_NOTES - 1) continue;
    if (!push(state, KIND_NOTE_ON, note, i == 0 ? velocity : addedVelocity)) return false;
    state.ledgerNotes.items[root * MAX_CHORD + sent] = note;
    ++sent;
  }
  if (sent > 0) state.ledgerCounts.items[root] = sent;
  return true;
}

}  // namespace

ChordState* createState() noexcept {
  auto* state = new (std::nothrow) ChordState();
  if (state == nullptr) trapOutOfMemory();
  return state;
}

void destroyState(ChordState* state) noexcept { delete state; }

bool prepare(ChordState& state, const PrepareConfig& config) noexcept {
  if (!(config.sampleRate > 0.0) || config.maxFrames < 1 || config.inputChannels != 0 ||
      config.outputChannels != 0) {
    return false;
  }
  state.prepared = true;
  return true;
}

bool setParameter(ChordState& state, const char* identifier, double value) noexcept {
  if (std::isnan(value) || identifier == nullptr) return false;
  if (std::strcmp(identifier, "chord.on") == 0) {
    state.on = value >= 0.5;
  } else if (std::strcmp(identifier, "chord.mode") == 0) {
    state.mode = static_cast<std::int32_t>(roundHalfUp(clampValue(value, 0.0, MODE_COUNT - 1)));
  } else if (std::strcmp(identifier, "chord.spread") == 0) {
    state.spread = static_cast<std::int32_t>(roundHalfUp(clampValue(value, -2.0, 2.0)));
  } else if (std::strcmp(identifier, "chord.velocity") == 0) {
    state.velocity = clampValue(value, 0.0, 1.0);
  } else {
    return false;
  }
  if (!state.on) clearLedger(state);
  return true;
}

bool handleEvent(ChordState& state, std::int32_t kind, std::int32_t a, double b) noexcept {
  if ((kind != KIND_NOTE_ON && kind != KIND_NOTE_OFF) || a < 0 || a > MAX_NOTES - 1) {
    return false;
  }
  if (!state.on) return push(state, kind, a, kind == KIND_NOTE_ON ? b : 0.0);
  if (kind == KIND_NOTE_OFF) return releaseChord(state, a);
  return playChord(state, a, b);
}

bool process(ChordState& state, const RenderBlock& block) noexcept {
  if (!state.prepared || block.inputChannels != 0 || block.outputChannels != 0) return false;
  state.frame = static_cast<std::int32_t>(block.offset + block.frames);
  return true;
}

bool emitEvents(ChordState& state, EventOutputView& view) noexcept {
  const std::int32_t pending = state.outCount < OUT_CAPACITY ? state.outCount : OUT_CAPACITY;
  std::int32_t room = view.capacity - view.count;
  if (room < 0) room = 0;
  const std::int32_t n = pending < room ? pending : room;
  if (n > 0) {
    // Bounds of the view's stretch checked once at both ends; the rest lies between.
    const std::int32_t at = view.count;
    (void)view.kinds[at];
    (void)view.a[at];
    (void)view.b[at];
    (void)view.frames[at];
    (void)view.kinds[at + n - 1];
    (void)view.a[at + n - 1];
    (void)view.b[at + n - 1];
    (void)view.frames[at + n - 1];
    for (std::int32_t i = 0; i < n; ++i) {
      view.kinds.data[at + i] = state.outKinds.items[i];
      view.a.data[at + i] = state.outA.items[i];
      view.b.data[at + i] = state.outB.items[i];
      view.frames.data[at + i] = state.outFrames.items[i];
    }
    view.count = at + n;
  }
  state.outCount = 0;
  if (pending > n) return false;  // the view filled up: the rest is dropped
  state.frame = 0;
  return true;
}

void reset(ChordState& state) noexcept {
  state.frame = 0;
  state.outCount = 0;
  clearLedger(state);
}

void clearLedger(ChordState& state) noexcept {
  for (std::int32_t n = 0; n < MAX_NOTES; ++n) state.ledgerCounts[n] = 0;
}

}  // namespace norvo::kernel
