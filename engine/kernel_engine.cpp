// KernelEngine: set-up, the block path, the parameter shadow and the engine's diagnostics.
#include "engine/kernel_engine.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "common/log_line.h"
#include "engine/kernel_output_conversion.h"
#include "engine/kernel_runtime.h"
#include "engine/kernel_trace.h"

namespace norvo {
namespace {

constexpr const char* kInvalidConfigurationMessage = "host processing configuration is invalid";
constexpr const char* kUnsupportedFifoMessage = "host rate requires unsupported SRC FIFO capacity";
constexpr const char* kKernelCreateFailedMessage = "product kernel instance creation failed";
constexpr const char* kEngineUnavailableMessage = "kernel runtime is unavailable after setup";
constexpr const char* kSourceQueue = "queue";
constexpr const char* kSourceRepublish = "republish";
constexpr double kNotSent = -1.0;
constexpr std::uint32_t kParamIndexOn = 0;  // "chord.on"

// A request for audio output channels is reported once per process, not once per block.
std::atomic<bool> gOutputRequestReported{false};

// The kernel's defaults, which are the parameter table's defaults.
double defaultPlain(int index) noexcept { return NORVO_PARAMS[index].defaultPlain; }

// A kernel handle travels as a 64-bit float; anything but an integer in 1..2^32-1 means none.
std::uint32_t handleFromResult(double result) noexcept {
  if (!(result >= 1.0) || result > 4294967295.0 || result != std::floor(result)) return 0;
  return static_cast<std::uint32_t>(result);
}

void zeroChannels(float* const* channels, int count, int frames) noexcept {
  if (channels == nullptr || count < 1 || frames < 1) return;
  for (int c = 0; c < count; ++c) {
    if (channels[c] != nullptr) {
      std::memset(channels[c], 0, sizeof(float) * static_cast<std::size_t>(frames));
    }
  }
}

}  // namespace

KernelEngine::KernelEngine() : KernelEngine(chordKernelEntryPoints()) {}

KernelEngine::KernelEngine(const KernelEntryPoints& kernel)
    : kernel_(kernel), midiOut_(new HostEventRecord[kMidiOutCapacity]) {
  for (int i = 0; i < kParamCount; ++i) {
    paramValues_[i].store(defaultPlain(i), std::memory_order_relaxed);
    productShadow_[i] = defaultPlain(i);
  }
}

KernelEngine::~KernelEngine() { destroyKernelInstance(); }

// ---- Set-up ----

bool KernelEngine::setup(double sampleRate, int maxBlockFrames) {
  ready_ = false;
  blockFailed_ = false;
  blockDone_ = true;
  rateConverted_ = false;  // recomputed by every set-up, also a refused one

  HostRateFraction rate;
  if (!hostRateFraction(sampleRate, rate) || !isValidMaxBlockFrames(maxBlockFrames)) {
    return rejectFormat(sampleRate, maxBlockFrames);
  }
  rate_ = rate;
  hostRate_ = rate.hz();
  maxBlockFrames_ = maxBlockFrames;

  if (!rateAdapterCapacity(rate_, maxBlockFrames_, adapterCapacity_)) {
    recordDiagnostic(kDiagInvalidConfiguration, kSeverityError, kPhaseConfigure,
                     kUnsupportedFifoMessage, nullptr);
    return false;
  }

  emptyBlockBuffers();
  markParamsDirty();
  startKernelRuntimeOnce();

  if (!createKernelInstance()) {
    recordDiagnostic(kDiagKernelCreateFailed, kSeverityFatal, kPhaseConfigure,
                     kKernelCreateFailedMessage, nullptr);
    recordDiagnostic(kDiagEngineUnavailable, kSeverityFatal, kPhaseConfigure,
                     kEngineUnavailableMessage, nullptr);
    std::fprintf(stderr, NORVO_LOG_PREFIX "kernel setup failed at %.9g Hz\n", hostRate_);
    return false;
  }

  resetProductParameterShadow();
  releaseLatchPending_ = true;  // the new instance holds no chord: release what still sounds
  kernel_.inputView(kernelHandle_, &inputView_, &inputViewLength_);
  kernel_.outputView(kernelHandle_, &outputView_, &outputViewLength_);
  ready_ = true;
  return true;
}

bool KernelEngine::rejectFormat(double sampleRate, int maxBlockFrames) {
  recordDiagnostic(kDiagInvalidConfiguration, kSeverityError, kPhaseConfigure,
                   kInvalidConfigurationMessage, nullptr);
  std::fprintf(stderr,
               NORVO_LOG_PREFIX "rejected host format (sampleRate=%.9g, maxBlockFrames=%d)\n",
               sampleRate, maxBlockFrames);
  if (maxBlockFrames > kMaxHostBlockFrames) {
    std::fprintf(stderr,
                 NORVO_LOG_PREFIX
                 "maxBlockFrames exceeds the %d-frame ceiling; render long "
                 "fixtures as a LOOP of <=%d-frame blocks rather than declaring the whole "
                 "fixture as one block\n",
                 kMaxHostBlockFrames, kMaxHostBlockFrames);
  }
  return false;
}

// Creates the instance at the host rate, or at 48000 Hz when the kernel refuses the host rate
// (the kernel then runs rate-converted). Writes the set-up trace line either way.
bool KernelEngine::createKernelInstance() {
  destroyKernelInstance();
  kernelHandle_ = handleFromResult(kernel_.create(kKernelBlockFrames, 0, 0, hostRate_));
  if (kernelHandle_ == 0) {
    kernelHandle_ = handleFromResult(kernel_.create(kKernelBlockFrames, 0, 0, kKernelFallbackRate));
    rateConverted_ = kernelHandle_ != 0 && hostRate_ != kKernelFallbackRate;
  }
  traceSetup(this, hostRate_, hostRate_, kernelHandle_);
  // The trace file is opened (or not) once per process: the block path asks only this flag.
  tracing_ = kernelTraceFile() != nullptr;
  return kernelHandle_ != 0;
}

void KernelEngine::destroyKernelInstance() noexcept {
  if (kernelHandle_ == 0) return;
  (void)kernel_.destroy(kernelHandle_);
  kernelHandle_ = 0;
  inputView_ = outputView_ = nullptr;
  inputViewLength_ = outputViewLength_ = 0;
}

void KernelEngine::resetParams() {
  for (int i = 0; i < kParamCount; ++i) {
    paramValues_[i].store(defaultPlain(i), std::memory_order_relaxed);
  }
  variation_.store(kDefaultVariation, std::memory_order_relaxed);
  emptyBlockBuffers();
  markParamsDirty();
  if (kernelHandle_ != 0) (void)kernel_.reset(kernelHandle_);
  resetProductParameterShadow();
  releaseLatchPending_ = true;  // the reset kernel forgot its chords: release what still sounds
}

void KernelEngine::resetProductParameterShadow() noexcept {
  for (int i = 0; i < kParamCount; ++i) productShadow_[i] = defaultPlain(i);
}

// ---- Queueing ----

bool KernelEngine::pushEvent(const EngineEvent& event) noexcept {
  const bool release = event.type == kEngineEventNoteOff;
  const int limit = release ? kEngineEventCapacity : kEngineEventCapacity - kEngineReleaseReserve;
  if (eventQueue_.size() >= limit || !eventQueue_.push(event)) {
    countInputDrop(release);
    return false;
  }
  return true;
}

void KernelEngine::countInputDrop(bool release) noexcept {
  droppedInputEvents_.fetch_add(1, std::memory_order_relaxed);
  const std::uint8_t severity = release ? kSeverityError : kSeverityWarning;
  if (severity > pendingInputDrop_) pendingInputDrop_ = severity;
}

void KernelEngine::countOutputDrop() noexcept {
  droppedOutputEvents_.fetch_add(1, std::memory_order_relaxed);
  if (pendingOutputDrop_ == 0) pendingOutputDrop_ = kSeverityWarning;
}

void KernelEngine::countHostRefusedOutputs(int count) noexcept {
  if (count <= 0) return;
  droppedOutputEvents_.fetch_add(static_cast<std::uint64_t>(count), std::memory_order_relaxed);
  recordRealtimeDiagnostic(kDiagEventRejected, kSeverityError, kPhaseProcess);
}

// One "runtime.event-rejected" report per kind of drop and block, not one per event: a flood
// must not flood the diagnostic queue as well. The counters keep the exact numbers.
void KernelEngine::reportDrops() noexcept {
  if (pendingInputDrop_ != 0) {
    recordRealtimeDiagnostic(kDiagEventRejected, pendingInputDrop_, kPhaseProcess);
    pendingInputDrop_ = 0;
  }
  if (pendingOutputDrop_ != 0) {
    recordRealtimeDiagnostic(kDiagEventRejected, pendingOutputDrop_, kPhaseProcess);
    pendingOutputDrop_ = 0;
  }
}

bool KernelEngine::pushParamNormalized(std::uint32_t id, int frame, double normalized) noexcept {
  if (id >= kParamCount) return false;
  EngineEvent event;
  event.type = kEngineEventParameter;
  event.frame = frame;
  event.index = static_cast<std::int32_t>(id);
  event.value = paramToPlain(NORVO_PARAMS[id], normalized);
  return pushEvent(event);
}

namespace {

// A queued event of one type with its timing and routing; the caller adds the payload.
EngineEvent routedEvent(std::int32_t type, int frame, int route, int channel) noexcept {
  EngineEvent event;
  event.type = type;
  event.frame = frame;
  event.route = route;
  event.channel = channel & 0x0F;
  return event;
}

}  // namespace

bool KernelEngine::pushNoteOn(int pitch, double velocity, int frame, int route,
                              int channel) noexcept {
  EngineEvent event = routedEvent(kEngineEventNoteOn, frame, route, channel);
  event.pitch = pitch;
  event.value = velocity;
  return pushEvent(event);
}

bool KernelEngine::pushNoteOff(int pitch, int frame, int route, int channel) noexcept {
  EngineEvent event = routedEvent(kEngineEventNoteOff, frame, route, channel);
  event.pitch = pitch;
  return pushEvent(event);
}

bool KernelEngine::pushController(int controller, int value, int frame, int route,
                                  int channel) noexcept {
  if (controller < 0 || controller >= 128 || value < 0 || value >= 128) return false;
  EngineEvent event = routedEvent(kEngineEventController, frame, route, channel);
  event.index = controller;
  event.value = value;
  return pushEvent(event);
}

void KernelEngine::flushParameterEvents() noexcept {
  bool applied = false;
  for (int i = 0; i < eventQueue_.size(); ++i) {
    const EngineEvent& event = eventQueue_[i];
    if (event.type != kEngineEventParameter || event.index < 0 || event.index >= kParamCount) {
      continue;
    }
    paramValues_[event.index].store(event.value, std::memory_order_relaxed);
    applied = true;
  }
  if (applied) markParamsDirty();
  eventQueue_.clear();
}

// ---- Parameters ----

void KernelEngine::setParamValue(std::uint32_t id, double plain) noexcept {
  if (id >= kParamCount) return;
  paramValues_[id].store(plain, std::memory_order_relaxed);
  // Release: the audio thread's exchange of the flag then also sees the value stored above.
  markParamsDirty();
}

double KernelEngine::paramValue(std::uint32_t id) const noexcept {
  if (id >= kParamCount) return 0.0;
  return paramValues_[id].load(std::memory_order_relaxed);
}

double KernelEngine::paramNormalized(std::uint32_t id) const noexcept {
  if (id >= kParamCount) return 0.0;
  return norvo_param_normalize(NORVO_PARAMS[id], paramValue(id));
}

void KernelEngine::setVariation(int variation) noexcept {
  variation_.store(std::clamp(variation, 0, kMaxVariation), std::memory_order_relaxed);
}

bool KernelEngine::kernelTrapped() const noexcept { return kernelTrapFlag(); }

// ---- Processing ----

void KernelEngine::processBlock(const float* const* inputs, int numInputs, float* const* outputs,
                                int numOutputs, int frames) noexcept {
  (void)inputs;
  (void)numInputs;
  processBlock(nullptr, 0, nullptr, 0, outputs, numOutputs, frames);
}

void KernelEngine::processBlock(const float* const* /*inputs*/, int /*numInputs*/,
                                const float* const* /*sideInputs*/, int /*numSideInputs*/,
                                float* const* outputs, int numOutputs, int frames) noexcept {
  reportDrops();  // input events refused while this block was being queued
  if (!ready_) {
    zeroChannels(outputs, numOutputs, frames);
    emptyBlockBuffers();
    blockFailed_ = true;
    blockDone_ = true;
    recordRealtimeDiagnostic(kDiagProcessFailed, kSeverityFatal, kPhaseProcess);
    return;
  }
  if (frames <= 0) {
    // The host's parameter-flush call: parameters only, the kernel is not called. The output
    // of the previous block is dropped so it is not delivered a second time.
    blockFailed_ = false;
    blockDone_ = false;
    eventQueue_.sortByFrame();
    midiOutCount_ = 0;
    flushParameterEvents();
    return;
  }
  if (numOutputs >= 1) {
    if (!gOutputRequestReported.exchange(true, std::memory_order_relaxed)) {
      std::fprintf(stderr,
                   "norvo kernel_engine: processBlock requested %d output channel(s) from a "
                   "build that declares %d; refusing rather than reading the null planar output "
                   "view an event-only product legally has\n",
                   numOutputs, 0);
    }
    zeroChannels(outputs, numOutputs, frames);
    failBlock(kSeverityError);
    return;
  }
  if (frames > maxBlockFrames_ || kernelHandle_ == 0) {
    failBlock(kSeverityError);
    return;
  }
  blockFailed_ = false;
  blockDone_ = false;
  runChunks(frames);
  eventQueue_.clear();
  blockDone_ = true;
  reportDrops();
}

void KernelEngine::emptyBlockBuffers() noexcept {
  eventQueue_.clear();
  midiOutCount_ = 0;
}

void KernelEngine::failBlock(std::uint8_t severity) noexcept {
  emptyBlockBuffers();
  blockFailed_ = true;
  blockDone_ = true;
  recordRealtimeDiagnostic(kDiagProcessFailed, severity, kPhaseProcess);
}

void KernelEngine::runChunks(int frames) noexcept {
  eventQueue_.sortByFrame();
  // Parameters the block itself sets at frame 0 are not republished over. The queue is in frame
  // order: the events at frame 0 come before any later one.
  bool providedAtZero[kParamCount] = {};
  for (int i = 0; i < eventQueue_.size() && eventQueue_[i].frame <= 0; ++i) {
    const EngineEvent& event = eventQueue_[i];
    if (event.type == kEngineEventParameter && event.frame == 0 && event.index >= 0 &&
        event.index < kParamCount) {
      providedAtZero[event.index] = true;
    }
  }
  midiOutCount_ = 0;
  if (releaseLatchPending_) {
    releaseLatchPending_ = false;
    heldRoots_[0] = heldRoots_[1] = 0;
    releaseLatchedNotes(0);
  }
  int cursor = 0;
  for (int offset = 0; offset < frames; offset += kEngineChunkFrames) {
    const int chunk = std::min(kEngineChunkFrames, frames - offset);
    chunkOffset_ = offset;
    kernelCallStart_ = 0;
    kernelQueued_ = 0;
    if (tracing_) traceChunk(this, traceBlock_, offset, chunk, frames, eventQueue_.size());
    publishDirtyProductParameters(providedAtZero);
    pushChunkEvents(cursor, offset, chunk);
    runKernelCall(chunk - kernelCallStart_);
  }
}

// Sends the queued events whose frame lies in [offset, offset + chunk), one frame at a time.
// The queue is sorted, so `cursor` only moves forward; events below frame 0 are passed over and
// never sent.
void KernelEngine::pushChunkEvents(int& cursor, int offset, int chunk) noexcept {
  const int end = offset + chunk;
  const int count = eventQueue_.size();
  while (cursor < count && eventQueue_[cursor].frame < offset) ++cursor;
  int last = cursor;
  while (last < count && eventQueue_[last].frame < end) ++last;
  // Each event takes at most two kernel slots (a retriggered root is released first): when the
  // whole chunk fits, every frame does, and the events go in queue order without grouping.
  if (kernelQueued_ + 2 * (last - cursor) <= kKernelMaxEvents) {
    if (kernel_.pushEvents != nullptr && !tracing_) {
      pushEventsInBulk(cursor, last, offset);
      cursor = last;
      return;
    }
    for (; cursor < last; ++cursor) {
      const EngineEvent& event = eventQueue_[cursor];
      pushQueuedEvent(event, event.frame - offset);
    }
    return;
  }
  while (cursor < count && eventQueue_[cursor].frame < end) {
    const int first = cursor;
    const int frame = eventQueue_[first].frame;
    while (cursor < count && eventQueue_[cursor].frame == frame) ++cursor;
    pushFrameEvents(first, cursor, frame - offset);
  }
}

// The queued events [first, last) of a chunk whose events all fit in the kernel's queue, when
// nothing is traced: each run of notes goes to the kernel in one call, as the same kernel events
// pushQueuedEvent would push one at a time (a retriggered root's release before its note-on);
// anything else between the runs goes through pushQueuedEvent.
void KernelEngine::pushEventsInBulk(int first, int last, int offset) noexcept {
  KernelInputEvent run[kKernelMaxEvents];  // the caller checked: two per event fit
  const auto start = static_cast<std::uint32_t>(offset + kernelCallStart_);
  int i = first;
  while (i < last) {
    const std::uint64_t held[2] = {heldRoots_[0], heldRoots_[1]};
    std::uint32_t n = 0;
    int end = i;
    for (; end < last; ++end) {
      const EngineEvent& event = eventQueue_[end];
      const auto pitch = static_cast<std::uint32_t>(event.pitch);
      const std::uint32_t frame = static_cast<std::uint32_t>(event.frame) - start;
      if (event.type == kEngineEventNoteOn) {
        if (rootHeld(pitch)) run[n++] = KernelInputEvent{kKernelEventNoteOff, frame, pitch, 0.0};
        run[n++] = KernelInputEvent{kKernelEventNoteOn, frame, pitch, event.value};
        setRootHeld(pitch, true);
      } else if (event.type == kEngineEventNoteOff) {
        run[n++] = KernelInputEvent{kKernelEventNoteOff, frame, pitch, 0.0};
        setRootHeld(pitch, false);
      } else {
        break;
      }
    }
    if (n > 0) {
      double refusal = 0.0;
      const double reported = kernel_.pushEvents(kernelHandle_, run, n, &refusal);
      const std::uint32_t queued =
          !(reported > 0.0) ? 0 : (reported >= n ? n : static_cast<std::uint32_t>(reported));
      kernelQueued_ += static_cast<int>(queued);
      if (queued < n) [[unlikely]] {
        heldRoots_[0] = held[0];
        heldRoots_[1] = held[1];
        i = settleRefusedRun(i, queued, offset);
        continue;
      }
    }
    if (end < last) pushQueuedEvent(eventQueue_[end], eventQueue_[end].frame - offset);
    i = end + 1;
  }
}

// A run of notes from queue position `first` of which the kernel queued only the first `queued`
// kernel events: the roots are held or let go for those as pushQueuedEvent would have, the
// refused one is counted, and a note-on whose release was refused is still pushed. Returns the
// queue position after the refused event's note.
int KernelEngine::settleRefusedRun(int first, std::uint32_t queued, int offset) noexcept {
  std::uint32_t position = 0;
  for (int i = first;; ++i) {
    const EngineEvent& event = eventQueue_[i];
    const auto pitch = static_cast<std::uint32_t>(event.pitch);
    const bool on = event.type == kEngineEventNoteOn;
    if (on && rootHeld(pitch)) {
      if (position == queued) {
        recordRealtimeDiagnostic(kDiagEventRejected, kSeverityError, kPhaseProcess);
        const auto frame = static_cast<std::uint32_t>(event.frame - offset);
        if (pushToKernel(kKernelEventNoteOn, frame, pitch, event.value) == 0.0) {
          setRootHeld(pitch, true);
        } else {
          recordRealtimeDiagnostic(kDiagEventRejected, kSeverityError, kPhaseProcess);
        }
        return i + 1;
      }
      setRootHeld(pitch, false);
      ++position;
    }
    if (position == queued) {
      recordRealtimeDiagnostic(kDiagEventRejected, kSeverityError, kPhaseProcess);
      return i + 1;
    }
    setRootHeld(pitch, on);
    ++position;
  }
}

// The queued events [first, last) of one frame. They normally go to the kernel in queue order,
// all in the chunk's one kernel call. The kernel takes only 64 events per call, though, and a
// burst (a host's all-notes-off, a large chord) would be refused beyond that and leave notes
// hanging. So when the frame's events do not fit beside what the kernel already holds, the
// chunk up to this frame is run first and the frame's events follow in portions of 64:
// parameter changes first, which is the order the kernel applies one frame's events anyway.
void KernelEngine::pushFrameEvents(int first, int last, int frameInChunk) noexcept {
  // Each event takes at most two kernel slots (a retriggered root is released first), so the
  // exact count is needed only near the kernel's limit.
  if (kernelQueued_ + 2 * (last - first) <= kKernelMaxEvents ||
      kernelQueued_ + kernelBoundEvents(first, last) <= kKernelMaxEvents) {
    for (int i = first; i < last; ++i) pushQueuedEvent(eventQueue_[i], frameInChunk);
    return;
  }
  if (frameInChunk > kernelCallStart_) {
    runKernelCall(frameInChunk - kernelCallStart_);
    kernelCallStart_ = frameInChunk;
  }
  for (int i = first; i < last; ++i) {
    if (eventQueue_[i].type == kEngineEventParameter) pushQueuedEvent(eventQueue_[i], frameInChunk);
  }
  for (int i = first; i < last; ++i) {
    if (eventQueue_[i].type != kEngineEventParameter) pushQueuedEvent(eventQueue_[i], frameInChunk);
  }
}

// Events of [first, last) that are pushed to the kernel: parameter changes and notes.
// A note-on for a root the kernel still holds counts twice: its chord is released first.
int KernelEngine::kernelBoundEvents(int first, int last) const noexcept {
  std::uint64_t held[2] = {heldRoots_[0], heldRoots_[1]};
  int bound = 0;
  for (int i = first; i < last; ++i) {
    const EngineEvent& event = eventQueue_[i];
    const auto pitch = static_cast<std::uint32_t>(event.pitch);
    if (event.type == kEngineEventNoteOn) {
      if (pitch < 128) {
        if ((held[pitch >> 6] >> (pitch & 63) & 1) != 0) ++bound;
        held[pitch >> 6] |= std::uint64_t{1} << (pitch & 63);
      }
      ++bound;
    } else if (event.type == kEngineEventNoteOff ||
               (event.type == kEngineEventParameter && event.index >= 0 &&
                event.index < kParamCount)) {
      ++bound;
    }
  }
  return bound;
}

void KernelEngine::pushQueuedEvent(const EngineEvent& event, int frameInChunk) noexcept {
  const auto frame = static_cast<std::uint32_t>(frameInChunk);
  const auto pitch = static_cast<std::uint32_t>(event.pitch);
  double status = kNotSent;
  int kind = 0;
  switch (event.type) {
    case kEngineEventParameter:
      if (event.index >= 0 && event.index < kParamCount) {
        paramValues_[event.index].store(event.value, std::memory_order_relaxed);
        if (!pushProductParameter(static_cast<std::uint32_t>(event.index), frame, event.value,
                                  kSourceQueue)) {
          recordRealtimeDiagnostic(kDiagEventRejected, kSeverityError, kPhaseProcess);
        }
      }
      return;
    case kEngineEventNoteOff:
      kind = static_cast<int>(kKernelEventNoteOff);
      status = pushToKernel(kKernelEventNoteOff, frame, pitch, 0.0);
      if (status == 0.0) setRootHeld(pitch, false);
      break;
    case kEngineEventNoteOn:
      kind = static_cast<int>(kKernelEventNoteOn);
      if (rootHeld(pitch)) releaseRootBeforeRetrigger(pitch, frame);
      status = pushToKernel(kKernelEventNoteOn, frame, pitch, event.value);
      if (status == 0.0) setRootHeld(pitch, true);
      break;
    default:
      break;  // controllers (and anything else) are not sent to this kernel
  }
  if (tracing_) traceQueuedEvent(this, traceBlock_, frame, kind, pitch, event.value, status);
  if (status != 0.0 && status != kNotSent) {
    recordRealtimeDiagnostic(kDiagEventRejected, kSeverityError, kPhaseProcess);
  }
}

// A second note-on for a root the kernel still holds would overwrite the kernel's record of the
// first chord, which would then never be released. The root is released first, as its own
// note-off would, so the old chord's notes are let go before the new chord sounds.
void KernelEngine::releaseRootBeforeRetrigger(std::uint32_t pitch,
                                              std::uint32_t frameInChunk) noexcept {
  const double status = pushToKernel(kKernelEventNoteOff, frameInChunk, pitch, 0.0);
  if (tracing_)
    traceQueuedEvent(this, traceBlock_, frameInChunk, static_cast<int>(kKernelEventNoteOff), pitch,
                     0.0, status);
  if (status == 0.0) {
    setRootHeld(pitch, false);
  } else {
    recordRealtimeDiagnostic(kDiagEventRejected, kSeverityError, kPhaseProcess);
  }
}

bool KernelEngine::rootHeld(std::uint32_t pitch) const noexcept {
  return pitch < 128 && (heldRoots_[pitch >> 6] >> (pitch & 63) & 1) != 0;
}

void KernelEngine::setRootHeld(std::uint32_t pitch, bool held) noexcept {
  if (pitch >= 128) return;
  const std::uint64_t bit = std::uint64_t{1} << (pitch & 63);
  if (held) {
    heldRoots_[pitch >> 6] |= bit;
  } else {
    heldRoots_[pitch >> 6] &= ~bit;
  }
}

// Pushes one event at a frame within the chunk, relative to the current kernel call. A full
// kernel queue only happens inside one frame's burst, when every event it holds sits at the
// call's first frame: a one-frame call hands them over and the next call starts there again.
inline double KernelEngine::pushToKernel(std::uint32_t kind, std::uint32_t frameInChunk,
                                         std::uint32_t index, double value) noexcept {
  if (kernelQueued_ >= kKernelMaxEvents) runKernelCall(1);
  const double status =
      kernel_.pushEvent(kernelHandle_, kind,
                        frameInChunk - static_cast<std::uint32_t>(kernelCallStart_), index, value);
  if (status == 0.0) ++kernelQueued_;
  return status;
}

// Runs the kernel for `frames` frames from the current call start and reads its outputs; a
// failed call sends nothing and the chunk goes on.
void KernelEngine::runKernelCall(int frames) noexcept {
  if (tracing_) traceFlush();
  kernelQueued_ = 0;
  const double status = kernel_.process(kernelHandle_, static_cast<std::uint32_t>(frames));
  if (status != 0.0) {
    blockFailed_ = true;
    recordRealtimeDiagnostic(kDiagProcessFailed, kSeverityError, kPhaseProcess);
    // The call's switches of the generator still happened: release at the call's end.
    if (generatorSwitchCount_ > 0) releaseLatchedNotes(chunkOffset_ + kernelCallStart_);
    generatorSwitchCount_ = 0;
    return;
  }
  readChunkOutputs(chunkOffset_ + kernelCallStart_, frames);
}

// Reads the kernel call's outputs into `midiOut` through the latch: where the kernel keeps them
// when it shows them (one call), otherwise field by field. Where the generator was switched on
// or off during the call, everything latched is released just before the first output at or
// after that frame (those outputs come from notes the kernel handled after the switch).
void KernelEngine::readChunkOutputs(int offset, int chunk) noexcept {
  nextSwitch_ = 0;
  if (kernel_.eventOutputColumns != nullptr) {
    KernelOutputColumns columns{};
    const double reported = kernel_.eventOutputColumns(kernelHandle_, &columns);
    const bool shown = reported > 0.0 && columns.kinds != nullptr && columns.frames != nullptr &&
                       columns.a != nullptr && columns.b != nullptr;
    // Never more than the kernel's rows hold, whatever it reports.
    const std::uint32_t n =
        !shown ? 0
               : (reported >= kKernelMaxOutputs ? kKernelMaxOutputs
                                                : static_cast<std::uint32_t>(reported));
    if (generatorSwitchCount_ == 0) {
      latchOutputs(columns, n, offset, chunk);
    } else {
      for (std::uint32_t j = 0; j < n; ++j) {
        const KernelOutputEvent event{columns.kinds[j], columns.frames[j], columns.a[j],
                                      columns.b[j]};
        MidiOutEvent record;
        if (convertKernelOutput(event, offset, chunk, record)) takeOutput(record, offset, chunk);
      }
    }
  } else {
    const double reported = kernel_.eventOutputCount(kernelHandle_);
    const std::uint32_t count =
        !(reported > 0.0)
            ? 0
            : (reported >= 4294967295.0 ? 0xFFFFFFFFu : static_cast<std::uint32_t>(reported));
    for (std::uint32_t j = 0; j < count; ++j) {
      const double kind = kernel_.eventOutputKind(kernelHandle_, j);
      const double frame = kernel_.eventOutputFrame(kernelHandle_, j);
      const double a = kernel_.eventOutputA(kernelHandle_, j);
      const double b = kernel_.eventOutputB(kernelHandle_, j);
      MidiOutEvent record;
      if (convertKernelOutput(kind, frame, a, b, offset, chunk, record)) {
        takeOutput(record, offset, chunk);
      }
    }
  }
  for (; nextSwitch_ < generatorSwitchCount_; ++nextSwitch_) {
    releaseLatchedNotes(switchHostFrame(nextSwitch_, offset, chunk));
  }
  generatorSwitchCount_ = 0;
}

int KernelEngine::switchHostFrame(int i, int offset, int chunk) const noexcept {
  const int lastFrame = chunk > 0 ? chunk - 1 : 0;
  return offset + std::min(generatorSwitchFrames_[i], lastFrame);
}

void KernelEngine::takeOutput(const MidiOutEvent& record, int offset, int chunk) noexcept {
  for (; nextSwitch_ < generatorSwitchCount_ &&
         switchHostFrame(nextSwitch_, offset, chunk) <= record.frame;
       ++nextSwitch_) {
    releaseLatchedNotes(switchHostFrame(nextSwitch_, offset, chunk));
  }
  latchOutput(record);
}

// Room is kept for the note-off of every sounding pitch: a note-on is taken only while the
// list can hold it and, later, its note-off; so a note-off is never lost to a full list.
void KernelEngine::latchOutput(const MidiOutEvent& record) noexcept {
  const int channel = record.status & 0x0F;
  switch (record.status & 0xF0) {
    case kMidiStatusNoteOn: {
      const bool room = midiOutCount_ + latch_.soundingCount() + 2 <= kMidiOutCapacity;
      // A velocity that rounds to 0 would reach the host as a note-off: it holds the pitch
      // (the kernel will release it) but never sounds it.
      const NoteLatch::NoteOn action =
          latch_.noteOn(channel, record.data1, room && record.data2 > 0);
      if (action == NoteLatch::NoteOn::Send) {
        appendOutput(record);
      } else if (action == NoteLatch::NoteOn::Dropped && record.data2 > 0) {
        countOutputDrop();
      }
      break;
    }
    case kMidiStatusNoteOff:
      if (latch_.noteOff(channel, record.data1)) appendOutput(record);
      break;
    default:
      if (midiOutCount_ + latch_.soundingCount() + 1 <= kMidiOutCapacity) {
        appendOutput(record);
      } else {
        countOutputDrop();
      }
      break;
  }
}

// The common case of latchOutput over a run of kernel outputs (no switch of the generator in
// the call), converted and latched in one pass: the same records as convertKernelOutput followed
// by latchOutput, on channel 0, which is where the conversion puts every record.
void KernelEngine::latchOutputs(const KernelOutputColumns& outputs, std::uint32_t count, int offset,
                                int chunk) noexcept {
  // Each output adds at most two to the list's length and the sounding count together (a sent
  // note-on: its record and the room kept for its note-off). When the list holds that much
  // more, every output finds room and the run needs no check per output.
  const std::int64_t worst =
      std::int64_t{midiOutCount_} + latch_.soundingCount() + 2 * std::int64_t{count};
  if (worst <= kMidiOutCapacity) [[likely]] {
    latchOutputRun<true>(outputs, count, offset, chunk);
  } else {
    latchOutputRun<false>(outputs, count, offset, chunk);
  }
}

template <bool kRoomForAll>
void KernelEngine::latchOutputRun(const KernelOutputColumns& outputs, std::uint32_t count,
                                  int offset, int chunk) noexcept {
  // The columns, the list and its length in locals: the records' byte-sized fields may alias
  // anything, so members would be read again after every store.
  const std::int32_t* const kinds = outputs.kinds;
  const std::int32_t* const frames = outputs.frames;
  const std::int32_t* const notes = outputs.a;
  const float* const values = outputs.b;
  HostEventRecord* const list = midiOut_.get();
  int listed = midiOutCount_;
  const int lastFrame = chunk > 0 ? chunk - 1 : 0;
  for (std::uint32_t j = 0; j < count; ++j) {
    const std::int32_t kind = kinds[j];
    int frame = frames[j];
    if (static_cast<unsigned>(frame) > static_cast<unsigned>(lastFrame)) [[unlikely]] {
      frame = frame < 0 ? 0 : lastFrame;
    }
    int pitch = notes[j];
    if (static_cast<unsigned>(pitch) > 127u) [[unlikely]] {
      pitch = pitch < 0 ? 0 : 127;
    }
    if (kind == 2) {
      const float b = values[j];
      const std::uint8_t velocity = scaledVelocityByte(b > 1.0f ? b - 2.0f : b);
      const bool room = kRoomForAll || listed + latch_.soundingCount() + 2 <= kMidiOutCapacity;
      const NoteLatch::NoteOn action = latch_.noteOn(0, pitch, room && velocity > 0);
      if (action == NoteLatch::NoteOn::Send) {
        writeHostNoteOn(list[listed++], offset + frame, 0, pitch, velocity);
      } else if (action == NoteLatch::NoteOn::Dropped && velocity > 0) {
        countOutputDrop();
      }
    } else if (kind == 3) {
      if (latch_.noteOff(0, pitch)) {
        if (kRoomForAll || listed < kMidiOutCapacity) [[likely]] {
          // Room for it was kept when its note-on was sent.
          writeHostNoteOff(list[listed++], offset + frame, 0, pitch, 0);
        } else {
          countOutputDrop();
        }
      }
    } else if (kind == 4) {
      midiOutCount_ = listed;
      latchOutput(MidiOutEvent{offset + frame, kMidiStatusControlChange,
                               static_cast<std::uint8_t>(pitch), scaledVelocityByte(values[j])});
      listed = midiOutCount_;
    }
  }
  midiOutCount_ = listed;
}

void KernelEngine::appendOutput(const MidiOutEvent& record) noexcept {
  if (midiOutCount_ < kMidiOutCapacity) {
    if (writeHostEvent(midiOut_[midiOutCount_], record)) ++midiOutCount_;
  } else {
    countOutputDrop();  // never for a note-off: room for those is kept
  }
}

void KernelEngine::releaseLatchedNotes(int hostFrame) noexcept {
  latch_.releaseAll([&](int channel, int pitch) {
    MidiOutEvent off;
    off.frame = hostFrame;
    off.status = static_cast<std::uint8_t>(kMidiStatusNoteOff | channel);
    off.data1 = static_cast<std::uint8_t>(pitch);
    off.data2 = 0;
    appendOutput(off);
  });
}

// `frame` is the frame within the chunk (what the trace shows).
bool KernelEngine::pushProductParameter(std::uint32_t index, std::uint32_t frame, double value,
                                        const char* source) noexcept {
  const bool wasOn = productShadow_[kParamIndexOn] >= 0.5;
  const double status = pushToKernel(kKernelEventParameter, frame, index, value);
  if (tracing_) traceParameter(this, traceBlock_, frame, index, value, source, status);
  if (status == 0.0) {
    productShadow_[index] = value;
    // Switching the generator on or off makes the kernel forget what it holds: its chords
    // (switched off) or the notes it passed through (switched on) are never released by it.
    if (index == kParamIndexOn && (value >= 0.5) != wasOn) {
      heldRoots_[0] = heldRoots_[1] = 0;
      if (generatorSwitchCount_ < kKernelMaxEvents) {
        generatorSwitchFrames_[generatorSwitchCount_++] =
            static_cast<int>(frame) - kernelCallStart_;
      }
    }
    return true;
  }
  markParamsDirty();
  return false;
}

void KernelEngine::publishDirtyProductParameters(const bool providedAtZero[kParamCount]) noexcept {
  if (!productParamsDirty_.exchange(false, std::memory_order_acq_rel)) return;
  for (int i = 0; i < kParamCount; ++i) {
    if (providedAtZero[i]) continue;
    const double value = paramValues_[i].load(std::memory_order_relaxed);
    if (value != productShadow_[i]) {
      (void)pushProductParameter(static_cast<std::uint32_t>(i), 0, value, kSourceRepublish);
    }
  }
}

// ---- Diagnostics ----

void KernelEngine::recordDiagnostic(std::uint32_t code, std::uint8_t severity, std::uint8_t phase,
                                    const char* message, const char* detail) noexcept {
  (void)diagnostics_.record(code, severity, phase, message, detail);
}

void KernelEngine::recordRealtimeDiagnostic(std::uint32_t code, std::uint8_t severity,
                                            std::uint8_t phase) noexcept {
  diagnostics_.recordRealtime(code, severity, phase);
}

void KernelEngine::drainRuntimeDiagnostics() noexcept { diagnostics_.drain(); }

// ---- Instrument-product hooks ----

void KernelEngine::renderChannel(const float* src, float* dst, int n) noexcept {
  if (src == nullptr || dst == nullptr || n <= 0 || src == dst) return;
  std::memmove(dst, src, sizeof(float) * static_cast<std::size_t>(n));
}

void KernelEngine::renderInstrumentBlock(float* const* outputs, int channels, int frames) noexcept {
  if (frames <= 0) return;
  zeroChannels(outputs, channels, frames);
  renderedFrames_ += static_cast<std::uint64_t>(frames);
}

}  // namespace norvo
