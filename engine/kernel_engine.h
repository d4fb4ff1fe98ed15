// KernelEngine: the bridge between the audio processor and the product kernel. It validates
// the host's processing set-up and creates one kernel instance, queues one host block's
// parameter changes and notes, runs the kernel in chunks of at most 128 frames, keeps the
// plain values of the four product parameters (re-sending them when the kernel may have
// drifted) and converts the kernel's output into MIDI-style records.
//
// Threads:
//   setup, resetParams, the diagnostic ring, drainRuntimeDiagnostics: the thread that sets
//     processing up (never while the audio thread is inside processBlock);
//   the push operations, processBlock, flushParameterEvents, the midiOut reads: the audio
//     thread (no allocation, no locks);
//   setParamValue, setVariation, paramValue, variation, paramNormalized: any thread (the change
//     is picked up by the next block).
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>

#include "diagnostics/runtime_diagnostics.h"
#include "engine/engine_event_queue.h"
#include "engine/engine_events.h"
#include "engine/host_rate.h"
#include "engine/kernel_entry_points.h"
#include "engine/note_latch.h"
#include "product/parameter_table.h"

namespace norvo {

inline constexpr int kDefaultVariation = 16;
inline constexpr int kMaxVariation = 19;

class KernelEngine {
 public:
  // Uses the chord kernel's entry points.
  KernelEngine();
  // Uses another kernel behind the same flat interface (the table must outlive the engine).
  explicit KernelEngine(const KernelEntryPoints& kernel);
  ~KernelEngine();
  KernelEngine(const KernelEngine&) = delete;
  KernelEngine& operator=(const KernelEngine&) = delete;

  // ---- Set-up (the thread that sets processing up) ----

  // Validates the host format, starts the kernel runtime once per process and (re)creates the
  // kernel instance. False when the format is refused or no instance could be created; the
  // reason is in the diagnostic ring and on standard error, and the engine is not ready.
  bool setup(double sampleRate, int maxBlockFrames);

  // Restores the parameter defaults and the variation, empties the queue and the output,
  // resets the kernel instance and marks the parameters for re-sending.
  void resetParams();

  // ---- Queueing (audio thread) ----

  // Queues a host parameter change converted to its plain value. False (nothing queued) for
  // id >= 4 or a full queue. Only note-offs may use the last kEngineReleaseReserve slots; every
  // event refused for want of room is counted (droppedInputEvents) and reported at the next
  // block as a "runtime.event-rejected" warning (an error when a note-off was refused).
  bool pushParamNormalized(std::uint32_t id, int frame, double normalized) noexcept;
  // Queue a note-on (velocity 0..1), note-off or controller change. False when the queue is
  // full (and, for controllers, when the number or value is not below 128).
  bool pushNoteOn(int pitch, double velocity, int frame, int route, int channel) noexcept;
  bool pushNoteOff(int pitch, int frame, int route, int channel) noexcept;
  bool pushController(int controller, int value, int frame, int route, int channel) noexcept;

  // Applies every queued parameter change to the plain values and empties the queue.
  void flushParameterEvents() noexcept;

  // ---- Processing (audio thread) ----

  // Runs one host block. This product renders no audio: inputs are never read, and a request
  // for output channels is refused (they are zeroed and the block fails). frames <= 0 only
  // applies the queued parameter changes.
  void processBlock(const float* const* inputs, int numInputs, float* const* outputs,
                    int numOutputs, int frames) noexcept;
  void processBlock(const float* const* inputs, int numInputs, const float* const* sideInputs,
                    int numSideInputs, float* const* outputs, int numOutputs, int frames) noexcept;

  // Output of the last block, in frame order. The kernel's notes pass through the output latch
  // (NoteLatch): a pitch that several held chords share is sent on once and off once, when its
  // last chord lets it go; a pitch the generator forgets without releasing it (switched on or
  // off, a retriggered root, a new set-up or reset) is released here instead of left sounding.
  int midiOutCount() const noexcept { return midiOutCount_; }
  const MidiOutEvent* midiOut() const noexcept { return midiOut_.get(); }

  // Events queued for the next block.
  int queuedEventCount() const noexcept { return eventQueue_.size(); }

  // Events lost for want of room since construction: input events the queue refused, and
  // output records the block's output list had no room for (note-ons and controller changes
  // only: room for the note-off of every sounding note is always kept). Any thread.
  std::uint64_t droppedInputEvents() const noexcept {
    return droppedInputEvents_.load(std::memory_order_relaxed);
  }
  std::uint64_t droppedOutputEvents() const noexcept {
    return droppedOutputEvents_.load(std::memory_order_relaxed);
  }
  // Audio thread: counts outputs the host's list refused, reported like the engine's own drops.
  void countHostRefusedOutputs(int count) noexcept;

  // ---- Parameters and variation (any thread) ----

  // For id <= 3: stores the plain value and marks it for sending at the next block.
  void setParamValue(std::uint32_t id, double plain) noexcept;
  // The plain value (0 for id > 3) and its normalized form (0 for id >= 4).
  double paramValue(std::uint32_t id) const noexcept;
  double paramNormalized(std::uint32_t id) const noexcept;
  void setVariation(int variation) noexcept;
  int variation() const noexcept { return variation_.load(std::memory_order_relaxed); }

  // Sets the shadow of what the kernel holds back to the kernel's defaults.
  void resetProductParameterShadow() noexcept;

  // ---- Facts ----

  bool ready() const noexcept { return ready_; }
  bool blockFailed() const noexcept { return blockFailed_; }
  bool blockDone() const noexcept { return blockDone_; }
  bool rateConverted() const noexcept { return rateConverted_; }
  double hostRate() const noexcept { return hostRate_; }
  int maxBlockFrames() const noexcept { return maxBlockFrames_; }
  std::uint64_t rateNumerator() const noexcept { return rate_.numerator; }
  std::uint64_t rateDenominator() const noexcept { return rate_.denominator; }
  std::uint64_t adapterCapacity() const noexcept { return adapterCapacity_; }
  // Frames of latency to report (non-zero only while the kernel runs at 48000 Hz instead of
  // the host rate).
  int latencySamples() const noexcept { return kernelLatencySamples(rateConverted_, hostRate_); }
  std::uint32_t instanceToken() const noexcept { return kernelHandle_; }
  bool hasKernel() const noexcept { return true; }
  bool kernelTrapped() const noexcept;
  int eventInputCount() const noexcept { return 1; }
  int eventOutputCount() const noexcept { return 1; }
  int eventRouteForInput(int /*bus*/) const noexcept { return 0; }

  // ---- Diagnostics ----

  // Non-audio threads. Stores one diagnostic in the ring.
  void recordDiagnostic(std::uint32_t code, std::uint8_t severity, std::uint8_t phase,
                        const char* message, const char* detail) noexcept;
  // Audio thread only: lock-free, no allocation.
  void recordRealtimeDiagnostic(std::uint32_t code, std::uint8_t severity,
                                std::uint8_t phase) noexcept;
  // The reporting thread. Moves the audio thread's diagnostics into the ring.
  void drainRuntimeDiagnostics() noexcept;
  const norvo_runtime_diagnostic_ring& runtimeDiagnosticRing() const noexcept {
    return diagnostics_.ring();
  }

  // ---- Instrument-product hooks (no-ops or plain buffer work for this event-only product) ----

  void resolveSustainEvents() noexcept {}
  void appendEventsToHistory(int /*count*/) noexcept {}
  // Copies n samples unless src and dst are the same buffer.
  void renderChannel(const float* src, float* dst, int n) noexcept;
  // Zeroes every non-null channel for `frames` samples and counts the frames.
  void renderInstrumentBlock(float* const* outputs, int channels, int frames) noexcept;
  std::uint64_t renderedFrames() const noexcept { return renderedFrames_; }

  // Bank staging and sampler pad operations join here.

 private:
  bool pushEvent(const EngineEvent& event) noexcept;
  void emptyBlockBuffers() noexcept;
  void countInputDrop(bool release) noexcept;
  void countOutputDrop() noexcept;
  void reportDrops() noexcept;
  void failBlock(std::uint8_t severity) noexcept;
  void applyParameterEventsAndClear() noexcept;
  void runChunks(int frames) noexcept;
  void pushChunkEvents(int& cursor, int offset, int chunk) noexcept;
  void pushFrameEvents(int first, int last, int frameInChunk) noexcept;
  void pushQueuedEvent(const EngineEvent& event, int frameInChunk) noexcept;
  int kernelBoundEvents(int first, int last) const noexcept;
  double pushToKernel(std::uint32_t kind, std::uint32_t frameInChunk, std::uint32_t index,
                      double value) noexcept;
  void runKernelCall(int frames) noexcept;
  void readChunkOutputs(int offset, int chunk) noexcept;
  void takeOutput(const MidiOutEvent& record, int offset, int chunk) noexcept;
  void latchOutputs(const KernelOutputEvent* outputs, std::uint32_t count, int offset,
                    int chunk) noexcept;
  int switchHostFrame(int i, int offset, int chunk) const noexcept;
  void latchOutput(const MidiOutEvent& record) noexcept;
  void appendOutput(const MidiOutEvent& record) noexcept;
  void releaseLatchedNotes(int hostFrame) noexcept;
  void releaseRootBeforeRetrigger(std::uint32_t pitch, std::uint32_t frameInChunk) noexcept;
  bool rootHeld(std::uint32_t pitch) const noexcept;
  void setRootHeld(std::uint32_t pitch, bool held) noexcept;
  bool pushProductParameter(std::uint32_t index, std::uint32_t frame, double value,
                            const char* source) noexcept;
  void publishDirtyProductParameters(const bool providedAtZero[kParamCount]) noexcept;
  void markParamsDirty() noexcept { productParamsDirty_.store(true, std::memory_order_release); }
  bool createKernelInstance();
  void destroyKernelInstance() noexcept;
  bool rejectFormat(double sampleRate, int maxBlockFrames);

  const KernelEntryPoints& kernel_;

  double hostRate_ = 48000.0;
  int maxBlockFrames_ = 0;
  bool ready_ = false;
  bool blockFailed_ = false;
  bool blockDone_ = false;
  bool rateConverted_ = false;
  RuntimeDiagnostics diagnostics_;
  std::uint64_t adapterCapacity_ = 0;
  HostRateFraction rate_;
  EngineEventQueue eventQueue_;
  std::unique_ptr<MidiOutEvent[]> midiOut_;
  int midiOutCount_ = 0;
  // Written by the audio thread (queued changes) and the state thread (setParamValue).
  std::atomic<double> paramValues_[kParamCount];
  std::atomic<bool> productParamsDirty_{true};
  std::atomic<int> variation_{kDefaultVariation};
  std::uint32_t kernelHandle_ = 0;
  double productShadow_[kParamCount];
  float* inputView_ = nullptr;
  std::size_t inputViewLength_ = 0;
  float* outputView_ = nullptr;
  std::size_t outputViewLength_ = 0;
  std::uint64_t renderedFrames_ = 0;
  unsigned long long traceBlock_ = 0;
  bool tracing_ = false;
  // The chunk being run: its host frame, where its current kernel call starts (frames into the
  // chunk) and how many events the kernel has accepted for that call.
  int chunkOffset_ = 0;
  int kernelCallStart_ = 0;
  int kernelQueued_ = 0;
  // The output latch and what it needs to follow the kernel's ledger: the roots the kernel holds
  // a chord (or a passed-through note) for, the frames of the current kernel call at which the
  // generator was switched on or off (it forgets its chords there), and a release owed since the
  // kernel instance was created or reset.
  NoteLatch latch_;
  std::atomic<std::uint64_t> droppedInputEvents_{0};
  std::atomic<std::uint64_t> droppedOutputEvents_{0};
  // Severity of the drops not yet reported (0: none).
  std::uint8_t pendingInputDrop_ = 0;
  std::uint8_t pendingOutputDrop_ = 0;
  std::uint64_t heldRoots_[2] = {};
  int generatorSwitchFrames_[kKernelMaxEvents] = {};
  int generatorSwitchCount_ = 0;
  int nextSwitch_ = 0;
  // Outputs of one kernel call, read in bulk.
  static constexpr std::uint32_t kKernelOutputBatch = 256;
  KernelOutputEvent kernelOutputs_[kKernelOutputBatch];
  bool releaseLatchPending_ = false;
};

}  // namespace norvo
