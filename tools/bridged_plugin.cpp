// The plug-in behind a page without a web view.
#include "tools/bridged_plugin.h"

#include "tools/crash_guard.h"
#include "tools/memory_stream.h"
#include "tools/number_text.h"
#include "tools/probe_error.h"

#include "pluginterfaces/vst/ivsteditcontroller.h"
#include "pluginterfaces/vst/ivstevents.h"
#include "pluginterfaces/vst/ivstprocesscontext.h"

#include <cmath>
#include <cstdlib>
#include <iostream>

namespace norvo::probe {

using namespace Steinberg;

BridgedPlugin::BridgedPlugin(PluginInstance& instance, const DiagnosticBridge& bridge)
    : instance_(instance), bridge_(bridge), controller_(instance.controller()) {}

void BridgedPlugin::deliverPageMessage(std::string_view text) {
  setCrashStep("handing a page message to the controller");
  bridge_.deliver(controller_, text.data(), text.size());
}

void BridgedPlugin::tick() {
  processBlock({});
  setCrashStep("ticking the controller's cadence");
  bridge_.tick(controller_);
}

void BridgedPlugin::hostEdit(Vst::ParamID id, double normalized) {
  controller_->setParamNormalized(id, normalized);
  hostEdits_.push_back({id, normalized});
}

std::vector<SentNote> BridgedPlugin::play(int16 pitch, int velocity) {
  Vst::Event on{};
  on.type = Vst::Event::kNoteOnEvent;
  on.sampleOffset = 0;
  on.noteOn.pitch = pitch;
  on.noteOn.velocity = static_cast<float>(velocity) / 127.0f;
  on.noteOn.noteId = -1;
  Vst::Event off{};
  off.type = Vst::Event::kNoteOffEvent;
  off.sampleOffset = kBlockFrames / 2;
  off.noteOff.pitch = pitch;
  off.noteOff.noteId = -1;
  processBlock({on, off});
  std::vector<SentNote> sent;
  for (const Vst::Event& e : lists_.outputEvents->events()) {
    if (e.type == Vst::Event::kNoteOnEvent)
      sent.push_back({true, e.noteOn.pitch,
                      static_cast<int>(std::lround(e.noteOn.velocity * 127.0f)), e.sampleOffset});
    else if (e.type == Vst::Event::kNoteOffEvent)
      sent.push_back({false, e.noteOff.pitch,
                      static_cast<int>(std::lround(e.noteOff.velocity * 127.0f)), e.sampleOffset});
  }
  return sent;
}

void BridgedPlugin::processBlock(const std::vector<Vst::Event>& notes) {
  lists_.clear();
  for (const ParameterEdit& edit : instance_.handler().takeEdits()) {
    lists_.inputChanges->add(edit.id, 0, edit.normalized);
    forwardedEdits_.push_back(edit);
  }
  for (const ParameterEdit& edit : hostEdits_)
    lists_.inputChanges->add(edit.id, 0, edit.normalized);
  hostEdits_.clear();
  for (Vst::Event e : notes) lists_.inputEvents->addEvent(e);

  Vst::ProcessContext context{};
  context.state = Vst::ProcessContext::kTempoValid | Vst::ProcessContext::kTimeSigValid;
  context.sampleRate = kSampleRate;
  context.projectTimeSamples = position_;
  context.tempo = 120;
  context.timeSigNumerator = 4;
  context.timeSigDenominator = 4;
  Vst::ProcessData data = lists_.processData(Vst::kRealtime, kBlockFrames, &context);
  setCrashStep("processing a block");
  const tresult result = instance_.processor().process(data);
  if (result != kResultOk && !reportedRefusal_) {
    std::cerr << "norvo-probe: process refused a block (" << resultName(result) << ")\n";
    reportedRefusal_ = true;
  }
  position_ += kBlockFrames;
  for (int32 i = 0; i < lists_.outputChanges->getParameterCount(); ++i) {
    Vst::IParamValueQueue* queue = lists_.outputChanges->getParameterData(i);
    int32 offset = 0;
    Vst::ParamValue value = 0;
    if (queue && queue->getPointCount() > 0 &&
        queue->getPoint(queue->getPointCount() - 1, offset, value) == kResultOk)
      controller_->setParamNormalized(queue->getParameterId(), value);
  }
}

std::string BridgedPlugin::controllerJson() {
  std::string json = "{\"params\":[";
  for (int32 i = 0; i < controller_->getParameterCount(); ++i) {
    Vst::ParameterInfo info{};
    if (controller_->getParameterInfo(i, info) != kResultOk) continue;
    const Vst::ParamValue normalized = controller_->getParamNormalized(info.id);
    if (i > 0) json += ",";
    json += "{\"id\":" + std::to_string(info.id) + ",\"normalized\":" + shortestText(normalized) +
            ",\"plain\":" + shortestText(controller_->normalizedParamToPlain(info.id, normalized)) +
            "}";
  }
  json += "],\"midiMapping\":[";
  void* object = nullptr;
  IPtr<Vst::IMidiMapping> mapping;
  if (controller_->queryInterface(Vst::IMidiMapping::iid, &object) == kResultOk && object)
    mapping = owned(static_cast<Vst::IMidiMapping*>(object));
  bool first = true;
  for (int16 channel = 0; mapping && channel < 16; ++channel) {
    for (Vst::CtrlNumber cc = 0; cc < 128; ++cc) {
      Vst::ParamID id = 0;
      if (mapping->getMidiControllerAssignment(0, channel, cc, id) != kResultTrue) continue;
      json += first ? "" : ",";
      json += "{\"channel\":" + std::to_string(channel) + ",\"cc\":" + std::to_string(cc) +
              ",\"id\":" + std::to_string(id) + "}";
      first = false;
    }
  }
  return json + "]}";
}

std::string BridgedPlugin::processorState() {
  IPtr<MemoryStream> stream = owned(new MemoryStream);
  if (instance_.component().getState(stream) != kResultOk)
    throw ProbeError("the processor refused getState");
  return std::string(stream->bytes().begin(), stream->bytes().end());
}

std::vector<ParameterEdit> BridgedPlugin::takeForwardedEdits() {
  std::vector<ParameterEdit> edits;
  edits.swap(forwardedEdits_);
  return edits;
}

bool parseHostEdit(const std::string& query, ParameterEdit& edit) {
  bool haveId = false;
  bool haveValue = false;
  size_t start = 0;
  while (start < query.size()) {
    size_t end = query.find('&', start);
    if (end == std::string::npos) end = query.size();
    const std::string pair = query.substr(start, end - start);
    const size_t eq = pair.find('=');
    const std::string key = pair.substr(0, eq);
    const std::string value = eq == std::string::npos ? "" : pair.substr(eq + 1);
    char* rest = nullptr;
    if (key == "id" && !value.empty()) {
      const unsigned long id = std::strtoul(value.c_str(), &rest, 10);
      haveId = *rest == '\0';
      edit.id = static_cast<Vst::ParamID>(id);
    } else if (key == "normalized" && !value.empty()) {
      edit.normalized = std::strtod(value.c_str(), &rest);
      haveValue = *rest == '\0' && edit.normalized >= 0 && edit.normalized <= 1;
    }
    start = end + 1;
  }
  return haveId && haveValue;
}

}  // namespace norvo::probe
