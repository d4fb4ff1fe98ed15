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
// `rows` are the state's pending rows, looked up once by the caller.
bool push(ChordState& state, OutputRows& rows, std::int32_t kind, std::int32_t a,
          double b) noexcept {
  const std::int32_t i = state.outCount;
  if (i < 0 || i >= OUT_CAPACITY) return false;
  rows.kinds.items[i] = kind;
  rows.a.items[i] = a;
  rows.b.items[i] = static_cast<float>(b);
  rows.frames.items[i] = state.frame;
  state.outCount = i + 1;
  return true;
}

inline bool releaseChord(ChordState& state, std::int32_t root) noexcept {
  const std::int32_t count = state.ledgerCounts.items[root];
  const std::int32_t* notes = &state.ledgerNotes.items[root * MAX_CHORD];
  OutputRows& rows = pendingOutputRows(state);
  for (std::int32_t r = 0; r < MAX_CHORD && r < count; ++r) {
    if (!push(state, rows, KIND_NOTE_OFF, notes[r], 0.0)) return false;
  }
  state.ledgerCounts.items[root] = 0;
  return true;
}

inline bool playChord(ChordState& state, std::int32_t root, double velocity) noexcept {
  const std::int32_t start = INTERVAL_OFFSETS[state.mode];
  const std::int32_t length = INTERVAL_LENGTHS[state.mode];
  double scaled = velocity * 127.0 * state.velocity;
  if (scaled > 127.0) scaled = 127.0;
  if (scaled < 1.0) scaled = 1.0;
  // In [1, 127] the floor of scaled + 0.5 is its truncation: no library call.
  const double addedVelocity = static_cast<std::int32_t>(scaled + 0.5) / 127.0;
  if (length < 1) return true;

  // The mode's stretch of the interval table, its bounds checked once.
  const std::int32_t notes = length < MAX_CHORD ? length : MAX_CHORD;
  (void)INTERVALS[start + notes - 1];
  const std::int32_t* const intervals = &INTERVALS.items[start];
  const std::int32_t shift = state.spread * 12;
  std::int32_t* const ledger = &state.ledgerNotes.items[root * MAX_CHORD];
  OutputRows& rows = pendingOutputRows(state);
  std::int32_t sent = 0;
  for (std::int32_t i = 0; i < notes; ++i) {
    const std::int32_t note = root + intervals[i] + (i > 0 ? shift : 0);
    if (note < 0 || note > MAX_NOTES - 1) continue;
    if (!push(state, rows, KIND_NOTE_ON, note, i == 0 ? velocity : addedVelocity)) return false;
    ledger[sent++] = note;
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
  if (!state.on) {
    return push(state, pendingOutputRows(state), kind, a, kind == KIND_NOTE_ON ? b : 0.0);
  }
  if (kind == KIND_NOTE_OFF) return releaseChord(state, a);
  return playChord(state, a, b);
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
    const auto bytes = static_cast<std::size_t>(n) * sizeof(std::int32_t);
    static_assert(sizeof(float) == sizeof(std::int32_t));
    const OutputRows& rows = pendingOutputRows(state);
    std::memcpy(&view.kinds.data[at], rows.kinds.items, bytes);
    std::memcpy(&view.a.data[at], rows.a.items, bytes);
    std::memcpy(&view.b.data[at], rows.b.items, bytes);
    std::memcpy(&view.frames.data[at], rows.frames.items, bytes);
    view.count = at + n;
  }
  state.outCount = 0;
  if (pending > n) return false;  // the view filled up: the rest is dropped
  state.frame = 0;
  return true;
}

TakenOutputs takeEvents(ChordState& state) noexcept {
  const OutputRows& rows = pendingOutputRows(state);
  const std::int32_t pending = state.outCount;
  const std::int32_t count = pending < 0 ? 0 : (pending < OUT_CAPACITY ? pending : OUT_CAPACITY);
  state.pendingRows =
      state.pendingRows == &state.outRows[0] ? &state.outRows[1] : &state.outRows[0];
  state.outCount = 0;
  state.frame = 0;
  return {rows.frames.items, rows.kinds.items, rows.a.items, rows.b.items, count};
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
