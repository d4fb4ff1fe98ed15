// AudioEffect for SDK copies that lack it (see the header).
#include "public.sdk/source/vst/vstaudioeffect.h"

#include <utility>

namespace Steinberg {
namespace Vst {

AudioEffect::AudioEffect() {
  processSetup.maxSamplesPerBlock = 1024;
  processSetup.processMode = kRealtime;
  processSetup.sampleRate = 44100.0;
  processSetup.symbolicSampleSize = kSample32;
}

namespace {

// Appends a new bus to `list`, which keeps the only reference.
template <typename BusT, typename... Args>
BusT* appendBus(BusList& list, Args&&... args) {
  auto* bus = new BusT(std::forward<Args>(args)...);
  list.push_back(IPtr<Vst::Bus>(bus, false));
  return bus;
}

// The bus at `index` of `list`, or null outside the list.
template <typename BusT>
BusT* busAt(BusList& list, int32 index) {
  if (index < 0 || index >= static_cast<int32>(list.size())) return nullptr;
  return FCast<BusT>(list.at(index).get());
}

}  // namespace

AudioBus* AudioEffect::addAudioInput(const TChar* name, SpeakerArrangement arr, BusType busType,
                                     int32 flags) {
  return appendBus<AudioBus>(audioInputs, name, busType, flags, arr);
}

AudioBus* AudioEffect::addAudioOutput(const TChar* name, SpeakerArrangement arr, BusType busType,
                                      int32 flags) {
  return appendBus<AudioBus>(audioOutputs, name, busType, flags, arr);
}

AudioBus* AudioEffect::getAudioInput(int32 index) { return busAt<AudioBus>(audioInputs, index); }

AudioBus* AudioEffect::getAudioOutput(int32 index) { return busAt<AudioBus>(audioOutputs, index); }

EventBus* AudioEffect::addEventInput(const TChar* name, int32 channels, BusType busType,
                                     int32 flags) {
  return appendBus<EventBus>(eventInputs, name, busType, flags, channels);
}

EventBus* AudioEffect::addEventOutput(const TChar* name, int32 channels, BusType busType,
                                      int32 flags) {
  return appendBus<EventBus>(eventOutputs, name, busType, flags, channels);
}

EventBus* AudioEffect::getEventInput(int32 index) { return busAt<EventBus>(eventInputs, index); }

EventBus* AudioEffect::getEventOutput(int32 index) { return busAt<EventBus>(eventOutputs, index); }

tresult PLUGIN_API AudioEffect::setBusArrangements(SpeakerArrangement* inputs, int32 numIns,
                                                   SpeakerArrangement* outputs, int32 numOuts) {
  if (numIns < 0 || numOuts < 0) return kInvalidArgument;
  if (numIns > static_cast<int32>(audioInputs.size()) ||
      numOuts > static_cast<int32>(audioOutputs.size()))
    return kResultFalse;
  if ((numIns > 0 && inputs == nullptr) || (numOuts > 0 && outputs == nullptr))
    return kInvalidArgument;
  for (int32 i = 0; i < numIns; ++i) {
    if (auto* bus = FCast<AudioBus>(audioInputs.at(i).get())) bus->setArrangement(inputs[i]);
  }
  for (int32 i = 0; i < numOuts; ++i) {
    if (auto* bus = FCast<AudioBus>(audioOutputs.at(i).get())) bus->setArrangement(outputs[i]);
  }
  return kResultTrue;
}

tresult PLUGIN_API AudioEffect::getBusArrangement(BusDirection dir, int32 index,
                                                  SpeakerArrangement& arr) {
  BusList* list = getBusList(kAudio, dir);
  if (list == nullptr || index < 0 || index >= static_cast<int32>(list->size()))
    return kInvalidArgument;
  if (auto* bus = FCast<AudioBus>(list->at(index).get())) {
    arr = bus->getArrangement();
    return kResultTrue;
  }
  return kResultFalse;
}

tresult PLUGIN_API AudioEffect::canProcessSampleSize(int32 symbolicSampleSize) {
  return symbolicSampleSize == kSample32 ? kResultTrue : kResultFalse;
}

tresult PLUGIN_API AudioEffect::setupProcessing(ProcessSetup& newSetup) {
  if (canProcessSampleSize(newSetup.symbolicSampleSize) != kResultTrue) return kResultFalse;
  processSetup = newSetup;
  return kResultOk;
}

}  // namespace Vst
}  // namespace Steinberg
