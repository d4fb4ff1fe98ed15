// Cost of one host block through KernelEngine::processBlock against the chord kernel: a
// 512-frame block with 16 note events (8 note-ons, 8 note-offs releasing them, pitches
// cycling 36..96) and one parameter change, as the processor queues them (parameter first).
// Reports time per block, input events per second and time per input event.
#include <benchmark/benchmark.h>

#include <cstdlib>

#include "engine/kernel_engine.h"

namespace {

constexpr int kBlockFrames = 512;
constexpr int kNotePairs = 8;
constexpr int kEventsPerBlock = 2 * kNotePairs + 1;

void reportPerEvent(benchmark::State& state, int eventsPerBlock) {
  const auto events = static_cast<double>(state.iterations()) * eventsPerBlock;
  state.SetItemsProcessed(static_cast<std::int64_t>(events));
  state.counters["events/block"] = eventsPerBlock;
  state.counters["time/event"] =
      benchmark::Counter(events, benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

void BM_ProcessBlockWithNotesAndParameter(benchmark::State& state) {
  norvo::KernelEngine engine;
  if (!engine.setup(48000, kBlockFrames)) {
    state.SkipWithError("engine set-up failed");
    return;
  }
  int nextPitch = 0;
  int block = 0;
  long outputs = 0;
  for (auto _ : state) {
    engine.pushParamNormalized(3, 0, (block++ % 2) != 0 ? 0.6 : 0.8);  // chord.velocity
    for (int i = 0; i < kNotePairs; ++i) {
      const int pitch = 36 + nextPitch;
      nextPitch = (nextPitch + 1) % 61;
      const int frame = i * (kBlockFrames / kNotePairs);
      engine.pushNoteOn(pitch, 0.75, frame, 0, 0);
      engine.pushNoteOff(pitch, frame + 32, 0, 0);
    }
    engine.processBlock(nullptr, 0, nullptr, 0, kBlockFrames);
    outputs += engine.midiOutCount();
    benchmark::DoNotOptimize(engine.midiOut());
  }
  if (engine.blockFailed() || outputs == 0) state.SkipWithError("blocks produced no chords");
  state.counters["outputs/block"] =
      benchmark::Counter(static_cast<double>(outputs), benchmark::Counter::kAvgIterations);
  reportPerEvent(state, kEventsPerBlock);
}
BENCHMARK(BM_ProcessBlockWithNotesAndParameter);

// The same block size without events: the fixed cost of four kernel chunks.
void BM_ProcessEmptyBlock(benchmark::State& state) {
  norvo::KernelEngine engine;
  if (!engine.setup(48000, kBlockFrames)) {
    state.SkipWithError("engine set-up failed");
    return;
  }
  for (auto _ : state) {
    engine.processBlock(nullptr, 0, nullptr, 0, kBlockFrames);
    benchmark::DoNotOptimize(engine.midiOutCount());
  }
}
BENCHMARK(BM_ProcessEmptyBlock);

}  // namespace
