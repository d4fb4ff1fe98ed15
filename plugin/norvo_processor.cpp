// NorvoProcessor: buses, set-up, activation, the process call and the facts and reports it
// sends to the controller.
#include "plugin/norvo_processor.h"

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

// A velocity byte as the host's 0..1 value: byte / 127, looked up instead of divided.
struct VelocityTable {
  float values[256];
  constexpr VelocityTable() : values() {
    for (int i = 0; i < 256; ++i) values[i] = static_cast<float>(i) / 127.0f;
  }
};
constexpr VelocityTable kVelocities;

// An output event of `type` with the fields every output of a block shares: the main bus, no
// musical position, sent live.
Event blockEvent(uint16 type) noexcept {
  Event event{};
  event.busIndex = 0;
  event.ppqPosition = 0;
  event.flags = Event::kIsLive;
  event.type = type;
  return event;
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
  const MidiOutEvent* out = engine_.midiOut();
  const int count = engine_.midiOutCount();
  // One event per kind reused for the whole block: the fields that never change are set once,
  // so each record writes only its frame, channel, number and velocity or value.
  Event noteOn = blockEvent(Event::kNoteOnEvent);
  noteOn.noteOn = NoteOnEvent{0, 0, 0.0f, 0.0f, 0, -1};
  Event noteOff = blockEvent(Event::kNoteOffEvent);
  noteOff.noteOff = NoteOffEvent{0, 0, 0.0f, -1, 0.0f};
  Event controller = blockEvent(Event::kLegacyMIDICCOutEvent);
  controller.midiCCOut = LegacyMIDICCOutEvent{0, 0, 0, 0};
  for (int i = 0; i < count; ++i) {
    const MidiOutEvent midi = out[i];
    const auto channel = static_cast<int16>(midi.status & 0x0F);
    const int kind = midi.status & 0xF0;
    Event* event;
    if (kind == kMidiStatusNoteOn && midi.data2 > 0) {
      event = &noteOn;
      noteOn.sampleOffset = midi.frame;
      noteOn.noteOn.channel = channel;
      noteOn.noteOn.pitch = midi.data1;
      noteOn.noteOn.velocity = kVelocities.values[midi.data2];
    } else if (kind == kMidiStatusNoteOff || kind == kMidiStatusNoteOn) {
      // A note-on of velocity 0 is sent as the note-off it means.
      event = &noteOff;
      noteOff.sampleOffset = midi.frame;
      noteOff.noteOff.channel = channel;
      noteOff.noteOff.pitch = midi.data1;
      noteOff.noteOff.velocity = kVelocities.values[midi.data2];
    } else if (kind == kMidiStatusControlChange) {
      event = &controller;
      controller.sampleOffset = midi.frame;
      controller.midiCCOut.channel = static_cast<int8>(channel);
      controller.midiCCOut.controlNumber = midi.data1;
      controller.midiCCOut.value = static_cast<int8>(midi.data2);
    } else {
      continue;
    }
    // A full host list ends the block's output: the rest is not sent, and counted.
    if (outputEvents->addEvent(*event) != kResultOk) [[unlikely]] {
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
