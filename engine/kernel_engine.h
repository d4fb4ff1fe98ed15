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
//     is picked up by the next block);
//   bank staging, bank recall and pad override publication: the main thread (state restore and
//     the processor's messages); resolveSamplerVelocity, publishedPadOverrides and
//     acknowledgePadOverrides: any thread, the audio thread included.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "banks/runtime_bank.h"
#include "diagnostics/runtime_diagnostics.h"
#include "engine/engine_event_queue.h"
#include "engine/engine_events.h"
#include "engine/host_event_record.h"
#include "engine/host_rate.h"
#include "engine/kernel_entry_points.h"
#include "engine/note_latch.h"
#include "formats/sampler_pad_overrides.h"
#include "formats/state_chunk.h"
#include "product/parameter_table.h"

namespace norvo {

inline constexpr int kDefaultVariation = 16;
inline constexpr int kMaxVariation = 19;
inline constexpr int kMidiKeyCount = 128;

// What recalling the sample bank named in a saved state found.
enum class BankRecallOutcome : std::uint8_t {
  Nothing = 0,       // the state names no bank
  NotContained = 2,  // the state names a bank this build does not contain
  HashMismatch = 3,  // the state names a bank whose manifest hash differs from the built-in one
};

// The pad override generation after `generation`: counts publications and skips 0 (never
// published) when it wraps.
constexpr std::uint32_t nextPadOverridesGeneration(std::uint32_t generation) noexcept {
  return generation == 0 || generation == 0xFFFFFFFFu ? 1u : generation + 1u;
}

// The text a refused bank is reported with.
inline constexpr const char* kEngineRefusedBankMessage =
    "the engine refused the staged bank (arena capacity)";

// Per-key velocity sensitivity of a sampler (0 = velocity ignored, 1 = full response), 1.0 for
// every key until pad overrides say otherwise. Written on the main thread, read on any thread.
struct KeyVelocitySensitivity {
  KeyVelocitySensitivity() noexcept { fill(1.0f); }
  void fill(float value) noexcept {
    for (auto& key : keys) key.store(value, std::memory_order_relaxed);
  }
  std::atomic<float> keys[kMidiKeyCount];
};

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
  // The records are the host's events (HostEventRecord), ready to be handed over as they are.
  int midiOutCount() const noexcept { return midiOutCount_; }
  const HostEventRecord* midiOut() const noexcept { return midiOut_.get(); }

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

  // ---- Sample banks (main thread) ----

  // Hands a staged bank to the kernel and keeps it as the published bank. Refused (false,
  // nothing stored) unless the kernel published a sample arena the bank's samples fit in; the
  // chord kernel publishes none, so every bank is refused. A null bank withdraws the published
  // one (true).
  bool publishRuntimeBank(std::shared_ptr<const StagedBank> bank);
  // Selects a compiled-in bank; false: this build contains none.
  bool requestSampleBankIndex(std::uint32_t index);
  // Releases kernel-side bank content (none here).
  void unloadSampleBankContent() {}
  // Looks for the bank a restored state names: a named bank is never contained in this build,
  // which is recorded as a diagnostic and answered NotContained.
  BankRecallOutcome recallSampleBank(const StateChunk& chunk);
  // Record NotContained / HashMismatch recalls and refused runtime bank loads (a null text
  // counts as empty); Nothing and Ok are ignored.
  void recordBankRecallFailure(BankRecallOutcome outcome, const char* bankId);
  void recordRuntimeBankFailure(RuntimeBankOutcome outcome, const char* message,
                                const char* source);
  // The published bank, or empty.
  std::shared_ptr<const StagedBank> stagedBank() const { return stagedBank_; }
  // The arena capacity (frames) a sample-playing kernel publishes; 0 = none (this kernel).
  void setSampleArenaFrames(std::uint64_t frames) { sampleArenaFrames_ = frames; }

  // ---- Sampler pads ----

  // Main thread. Publishes a copy of the list for the audio thread and keeps the lists it
  // replaces alive while the audio thread may hold them. Refused as a whole (false, nothing
  // changes) for more than 256 overrides or an override with an empty pad id, a pad id over
  // 160 bytes or no value given.
  bool publishSamplerPadOverrides(const SamplerPadOverrides& overrides);
  // Main thread. Per-key velocity sensitivity from the overrides of the single-key zones of
  // `bank`; every key 1.0 without a list or a bank. `reserved` is not used.
  void refreshSamplerPadVelocitySensitivity(const SamplerPadOverrides* overrides,
                                            const StagedBank* bank, std::uint32_t reserved);
  // Any thread. A note's velocity after the sampler's velocity mode, pad sensitivity and
  // humanizing; unchanged while the sampler parameters are not assigned (this product).
  double resolveSamplerVelocity(int note, double velocity) noexcept;
  // Main thread. Assigns the product parameters behind the sampler velocity rules (-1: none).
  void setSamplerVelocityParams(std::int32_t modeParam, std::int32_t fixedVelocityParam,
                                std::int32_t humanizeParam) noexcept;

  // Main thread: the current list (empty before the first publication), the lists kept alive,
  // the number of publications (never 0 after the first).
  std::shared_ptr<const SamplerPadOverrides> padOverrides() const { return padOverrides_; }
  std::size_t retiredPadOverrideCount() const noexcept { return retiredPadOverrides_.size(); }
  std::uint32_t padOverridesGeneration() const noexcept {
    return padOverridesGeneration_.load(std::memory_order_acquire);
  }
  // Any thread: the sensitivity of a key 0..127 (1 for other keys).
  float padVelocitySensitivity(int key) const noexcept;
  // Audio thread (a kernel that plays pads): the list to use, and the list taken into use;
  // a list equal to the acknowledged one is never freed.
  const SamplerPadOverrides* publishedPadOverrides() const noexcept {
    return publishedPadOverrides_.load(std::memory_order_acquire);
  }
  void acknowledgePadOverrides(const SamplerPadOverrides* list) noexcept {
    acknowledgedPadOverrides_.store(list, std::memory_order_release);
  }

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
  void pushEventsInBulk(int first, int last, int offset) noexcept;
  int settleRefusedRun(int first, std::uint32_t queued, int offset) noexcept;
  void pushQueuedEvent(const EngineEvent& event, int frameInChunk) noexcept;
  int kernelBoundEvents(int first, int last) const noexcept;
  double pushToKernel(std::uint32_t kind, std::uint32_t frameInChunk, std::uint32_t index,
                      double value) noexcept;
  void runKernelCall(int frames) noexcept;
  void readChunkOutputs(int offset, int chunk) noexcept;
  void takeOutput(const MidiOutEvent& record, int offset, int chunk) noexcept;
  void latchOutputs(const KernelOutputColumns& outputs, std::uint32_t count, int offset,
                    int chunk) noexcept;
  template <bool kRoomForAll>
  void latchOutputRun(const KernelOutputColumns& outputs, std::uint32_t count, int offset,
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
  std::unique_ptr<HostEventRecord[]> midiOut_;
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
  bool releaseLatchPending_ = false;

  // Sample banks and sampler pads.
  std::shared_ptr<const StagedBank> stagedBank_;
  std::uint64_t sampleArenaFrames_ = 0;
  std::shared_ptr<const SamplerPadOverrides> padOverrides_;
  std::atomic<const SamplerPadOverrides*> publishedPadOverrides_{nullptr};
  std::atomic<const SamplerPadOverrides*> acknowledgedPadOverrides_{nullptr};
  std::vector<std::shared_ptr<const SamplerPadOverrides>> retiredPadOverrides_;
  std::atomic<std::uint32_t> padOverridesGeneration_{0};
  // Written on the main thread, read by resolveSamplerVelocity on any thread.
  KeyVelocitySensitivity padVelocitySensitivity_;
  std::atomic<std::int32_t> samplerVelocityModeParam_{-1};
  std::atomic<std::int32_t> samplerFixedVelocityParam_{-1};
  std::atomic<std::int32_t> samplerHumanizeParam_{-1};
  std::atomic<std::uint32_t> velocitySeed_{0x6D2B79F5u};
};

}  // namespace norvo
