// NorvoProcessor: buses, set-up, activation, the process call and the facts and reports it
// sends to the controller.
#include "plugin/norvo_processor.h"

#include <cstddef>
#include <string>

#include "diagnostics/runtime_health_json.h"
#include "plugin/class_ids.h"
#include "pluginterfaces/vst/ivstevents.h"
#include "pluginterfaces/vst/ivstmessage.h"
#include "pluginterfaces/vst/ivstparameterchanges.h"
#include "pluginterfaces/vst/vstspeaker.h"
#include "product/parameter_table.h"
#include "product/product_identity.h"

namespace norvo {

using namespace Steinberg;
using namespace Steinberg::Vst;

namespace {

std::uint8_t hostProcessMode(int32 sdkMode) noexcept {
  switch (sdkMode) {
    case kOffline:
      return kProcessModeOffline;
    case kPrefetch:
      return kProcessModePrefetch;
    default:
      return kProcessModeRealtime;
  }
}

// The engine writes its outputs with the host's event layout; every offset and size the
// engine relies on is checked here, where both layouts are known.
#define NORVO_SAME_FIELD(record, event)                                        \
  static_assert(offsetof(HostEventRecord, record) == offsetof(Event, event) && \
                sizeof(HostEventRecord::record) == sizeof(Event::event))
static_assert(sizeof(HostEventRecord) == sizeof(Event) &&
              alignof(HostEventRecord) == alignof(Event));
NORVO_SAME_FIELD(bus, busIndex);
NORVO_SAME_FIELD(frame, sampleOffset);
NORVO_SAME_FIELD(position, ppqPosition);
NORVO_SAME_FIELD(flags, flags);
NORVO_SAME_FIELD(type, type);
NORVO_SAME_FIELD(body.noteOn.channel, noteOn.channel);
NORVO_SAME_FIELD(body.noteOn.pitch, noteOn.pitch);
NORVO_SAME_FIELD(body.noteOn.tuning, noteOn.tuning);
NORVO_SAME_FIELD(body.noteOn.velocity, noteOn.velocity);
NORVO_SAME_FIELD(body.noteOn.length, noteOn.length);
NORVO_SAME_FIELD(body.noteOn.noteId, noteOn.noteId);
NORVO_SAME_FIELD(body.noteOff.channel, noteOff.channel);
NORVO_SAME_FIELD(body.noteOff.pitch, noteOff.pitch);
NORVO_SAME_FIELD(body.noteOff.velocity, noteOff.velocity);
NORVO_SAME_FIELD(body.noteOff.noteId, noteOff.noteId);
NORVO_SAME_FIELD(body.noteOff.tuning, noteOff.tuning);
NORVO_SAME_FIELD(body.controller.controller, midiCCOut.controlNumber);
NORVO_SAME_FIELD(body.controller.channel, midiCCOut.channel);
NORVO_SAME_FIELD(body.controller.value, midiCCOut.value);
NORVO_SAME_FIELD(body.controller.value2, midiCCOut.value2);
#undef NORVO_SAME_FIELD
static_assert(kHostEventNoteOn == Event::kNoteOnEvent &&
              kHostEventNoteOff == Event::kNoteOffEvent &&
              kHostEventControlChange == Event::kLegacyMIDICCOutEvent &&
              kHostEventLive == Event::kIsLive);

// An engine record as the host's event: the same bytes, handed over without a copy.
Event& hostEvent(const HostEventRecord& record) noexcept {
  return *reinterpret_cast<Event*>(const_cast<HostEventRecord*>(&record));
}

const char* layoutName(SpeakerArrangement arrangement) noexcept {
  if (arrangement == SpeakerArr::kStereo) return "stereo";
  if (arrangement == SpeakerArr::kMono) return "mono";
  return nullptr;
}

}  // namespace

NorvoProcessor::NorvoProcessor() : NorvoProcessor(chordKernelEntryPoints()) {}

NorvoProcessor::NorvoProcessor(const KernelEntryPoints& kernel) : engine_(kernel) {
  setControllerClass(controllerClassId());
}

NorvoProcessor::~NorvoProcessor() = default;

FUnknown* NorvoProcessor::createInstance(void* /*context*/) {
  return static_cast<IAudioProcessor*>(new NorvoProcessor());
}

tresult PLUGIN_API NorvoProcessor::initialize(FUnknown* context) {
  const tresult result = AudioEffect::initialize(context);
  if (result != kResultOk) return result;
  addEventInput(STR16("Event In"), 1, kMain, BusInfo::kDefaultActive);
  addEventOutput(STR16("Event Out"), 1, kMain, BusInfo::kDefaultActive);
  return kResultOk;
}

tresult PLUGIN_API NorvoProcessor::setActive(TBool state) {
  if (state && !engine_.setup(processSetup.sampleRate, processSetup.maxSamplesPerBlock)) {
    sendRuntimeDiagnostics(true);
    return kResultFalse;
  }
  const tresult result = AudioEffect::setActive(state);
  if (result != kResultOk) return result;
  refreshHostFacts();
  return kResultOk;
}

tresult PLUGIN_API NorvoProcessor::setBusArrangements(SpeakerArrangement* inputs, int32 numIns,
                                                      SpeakerArrangement* outputs, int32 numOuts) {
  // No audio bus exists, so only the empty arrangement is acceptable.
  if (numIns != 0 || numOuts != 0) return kResultFalse;
  AudioEffect::setBusArrangements(inputs, 0, outputs, 0);
  refreshHostFacts();
  return kResultOk;
}

tresult PLUGIN_API NorvoProcessor::canProcessSampleSize(int32 symbolicSampleSize) {
  return symbolicSampleSize == kSample32 ? kResultOk : kResultFalse;
}

uint32 PLUGIN_API NorvoProcessor::getLatencySamples() {
  const int latency = engine_.latencySamples();
  return latency > 0 ? static_cast<uint32>(latency) : 0;
}

tresult PLUGIN_API NorvoProcessor::setupProcessing(ProcessSetup& setup) {
  const tresult result = AudioEffect::setupProcessing(setup);
  if (result != kResultOk) return result;
  if (!engine_.setup(setup.sampleRate, setup.maxSamplesPerBlock)) {
    sendRuntimeDiagnostics(true);
    return kResultFalse;
  }
  refreshHostFacts();
  return kResultOk;
}

tresult PLUGIN_API NorvoProcessor::process(ProcessData& data) noexcept {
  if (data.symbolicSampleSize != kSample32) return kResultFalse;
  queueParameterChanges(data.inputParameterChanges);
  queueNoteEvents(data.inputEvents);
  // Audio buffers are never touched: the product has no audio buses.
  engine_.processBlock(nullptr, 0, nullptr, 0, data.numSamples < 0 ? 0 : data.numSamples);
  drainMidiOutputEvents(data.outputEvents);
  return kResultOk;
}

void NorvoProcessor::queueParameterChanges(IParameterChanges* changes) noexcept {
  if (changes == nullptr) return;
  const int32 queueCount = changes->getParameterCount();
  for (int32 q = 0; q < queueCount; ++q) {
    IParamValueQueue* queue = changes->getParameterData(q);
    if (queue == nullptr) continue;
    const int32 pointCount = queue->getPointCount();
    if (pointCount <= 0) continue;
    const ParamID id = queue->getParameterId();
    if (id >= kParamCount) continue;
    // Every point, not only the last: the engine sees the whole ramp at its offsets.
    for (int32 p = 0; p < pointCount; ++p) {
      int32 offset = 0;
      ParamValue value = 0.0;
      if (queue->getPoint(p, offset, value) == kResultOk)
        engine_.pushParamNormalized(id, offset, value);
    }
  }
}

void NorvoProcessor::queueNoteEvents(IEventList* events) noexcept {
  if (events == nullptr) return;
  const int32 eventCount = events->getEventCount();
  // One event for the whole list: getEvent writes every field of the event it answers with.
  Event event{};
  for (int32 i = 0; i < eventCount; ++i) {
    if (events->getEvent(i, event) != kResultOk) continue;
    const int route = engine_.eventRouteForInput(event.busIndex < 0 ? 0 : event.busIndex);
    switch (event.type) {
      case Event::kNoteOffEvent:
        engine_.pushNoteOff(event.noteOff.pitch, event.sampleOffset, route, event.noteOff.channel);
        break;
      case Event::kNoteOnEvent:
        // A note-on without velocity is a note-off (running-status MIDI sends them that way).
        if (event.noteOn.velocity > 0.0f)
          engine_.pushNoteOn(event.noteOn.pitch, event.noteOn.velocity, event.sampleOffset, route,
                             event.noteOn.channel);
        else
          engine_.pushNoteOff(event.noteOn.pitch, event.sampleOffset, route, event.noteOn.channel);
        break;
      default:
        break;
    }
  }
}

void NorvoProcessor::drainMidiOutputEvents(IEventList* outputEvents) noexcept {
  if (outputEvents == nullptr) return;
  // The engine's records are the host's events already (their layout is checked above).
  const HostEventRecord* out = engine_.midiOut();
  const int count = engine_.midiOutCount();
  for (int i = 0; i < count; ++i) {
    // A full host list ends the block's output: the rest is not sent, and counted.
    if (outputEvents->addEvent(hostEvent(out[i])) != kResultOk) [[unlikely]] {
      engine_.countHostRefusedOutputs(count - i);
      break;
    }
  }
}

void NorvoProcessor::captureHostFacts(HostFacts& facts) {
  facts.sampleRate = processSetup.sampleRate;
  facts.maxBlockFrames = processSetup.maxSamplesPerBlock;
  facts.processMode = hostProcessMode(processSetup.processMode);
  facts.sampleSize = processSetup.symbolicSampleSize == kSample64 ? 64 : 32;
  facts.latencySamples = static_cast<std::int32_t>(getLatencySamples());
  facts.tailSamples = 0;
  facts.busCount = 0;
  const auto addBuses = [&facts](BusList& list, bool isInput) {
    for (std::size_t i = 0; i < list.size(); ++i) {
      auto* bus = FCast<AudioBus>(list[i].get());
      if (bus == nullptr) continue;
      const std::string id = (isInput ? "in" : "out") + std::to_string(i);
      const SpeakerArrangement arrangement = bus->getArrangement();
      facts.addBus(id.c_str(), isInput, SpeakerArr::getChannelCount(arrangement), bus->isActive(),
                   layoutName(arrangement));
    }
  };
  addBuses(audioInputs, true);
  addBuses(audioOutputs, false);
}

void NorvoProcessor::refreshHostFacts() {
  HostFacts facts{};
  setHostName(facts, hostFacts_.hostName);
  setHostVersion(facts, hostFacts_.hostVersion);
  captureHostFacts(facts);
  hostFacts_ = facts;
  sendJsonMessage("norvo.diag.hostFacts", &hostFacts_, static_cast<uint32>(sizeof(HostFacts)));
}

void NorvoProcessor::sendRuntimeDiagnostics(bool failed) {
  engine_.drainRuntimeDiagnostics();
  const std::string json =
      writeRuntimeHealthJson(engine_.runtimeDiagnosticRing(), product::kModuleId, product::kVersion,
                             engine_.hostRate(), engine_.maxBlockFrames(), failed);
  if (sendJsonMessage("norvo.runtimeDiagnostics", json.data(), static_cast<uint32>(json.size())))
    deliveredDiagnosticSequence_ = engine_.runtimeDiagnosticRing().nextSequence;
}

bool NorvoProcessor::sendJsonMessage(const char* id, const void* data, uint32 size) {
  IPtr<IMessage> message = owned(allocateMessage());
  if (!message) return false;  // the host gives no message object: nothing is sent
  message->setMessageID(id);
  if (IAttributeList* attributes = message->getAttributes())
    attributes->setBinary("json", data, size);
  return sendMessage(message) == kResultOk;
}

}  // namespace norvo
