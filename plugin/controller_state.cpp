// NorvoController: adopting the processor's state and saving and restoring the controller's own
// document (its CC map and the sampler pad overrides). Main thread.
#include <string>

#include "ccmap/cc_map_json.h"
#include "formats/sampler_pad_overrides_json.h"
#include "formats/state_chunk_json.h"
#include "plugin/norvo_controller.h"
#include "plugin/vst_payloads.h"
#include "product/parameter_table.h"

namespace norvo {

using namespace Steinberg;

tresult PLUGIN_API NorvoController::setComponentState(IBStream* stream) {
  if (stream == nullptr) return kResultFalse;
  const std::string text = readWholeStream(*stream);
  StateChunk chunk;
  if (!parseStateJson(text.data(), text.size(), chunk)) return kResultFalse;
  presetFacts_.lastStateBytes = static_cast<std::int64_t>(text.size());
  for (int i = 0; i < kParamCount; ++i) {
    if (!chunk.hasParam[i]) continue;
    const double normalized = norvo_param_normalize(NORVO_PARAMS[i], chunk.params[i]);
    const auto id = static_cast<Vst::ParamID>(i);
    if (EditControllerEx1::setParamNormalized(id, normalized) == kResultOk)
      applyEchoRule(id, normalized);
  }
  if (chunk.hasCcMap) adoptCcMap(chunk.ccMap, true);
  bankControl_.adoptRestoredPadOverrides(chunk.padOverrides);
  bankControl_.sendBankState("restore");
  DiagnosticLifecycleEvent& event = recordLifecycle(DiagnosticLifecycleKind::stateRestored, -1);
  event.addNumber("stateBytes", static_cast<double>(text.size()));
  event.addString("source", "component");
  publishLastLifecycle();
  return kResultOk;
}

tresult PLUGIN_API NorvoController::getState(IBStream* stream) {
  if (stream == nullptr) return kResultFalse;
  std::string text = "{";
  if (mapAdopted_) {
    text += "\"ccMap\":";
    writeCcMapJson(text, ccMap_);
  }
  const SamplerPadOverrides& pads = bankControl_.currentPadOverrides();
  if (!pads.empty()) {
    if (mapAdopted_) text += ",";
    text += "\"sampler\":{\"v\":1,\"pads\":";
    writeSamplerPadOverridesJson(text, pads);
    text += "}";
  }
  text += "}";
  // A stream that keeps only part of the document has not saved it: a short write is a failure.
  const auto size = static_cast<int32>(text.size());
  int32 written = 0;
  const tresult result = stream->write(text.data(), size, &written);
  if (result == kResultOk && written != size) return kResultFalse;
  return result;
}

tresult PLUGIN_API NorvoController::setState(IBStream* stream) {
  if (stream == nullptr) return kResultFalse;
  const std::string text = readWholeStream(*stream);
  if (text.empty()) return kResultOk;
  StateChunk chunk;
  if (!parseStateJson(text.data(), text.size(), chunk)) return kResultFalse;
  if (chunk.hasCcMap) adoptCcMap(chunk.ccMap, true);
  bankControl_.adoptRestoredPadOverrides(chunk.padOverrides);
  bankControl_.sendBankState("restore");
  return kResultOk;
}

}  // namespace norvo
