// NorvoController::BankBridge: what the bank control asks of the controller. Page texts go to
// the bridge sink, parameter edits are complete host edits, runtime bank requests and pad
// overrides are messages to the processor. Main thread.
#include <string>

#include "banks/hosted_bank.h"
#include "banks/runtime_bank_exchange.h"
#include "common/fixed_text.h"
#include "formats/sampler_pad_overrides_json.h"
#include "plugin/norvo_controller.h"
#include "product/parameter_table.h"

namespace norvo {

using namespace Steinberg;

void NorvoController::BankBridge::sendBankJson(const std::string& json) {
  controller_.sendToUi(json);
}

void NorvoController::BankBridge::editParam(int index, double plain) {
  if (index < 0 || index >= kParamCount) return;
  const norvo_param_desc& desc = NORVO_PARAMS[index];
  double normalized = 0.0;
  if (desc.min != desc.max) {
    normalized = (plain - desc.min) / (desc.max - desc.min);
    normalized = normalized > 0.0 ? (normalized < 1.0 ? normalized : 1.0) : 0.0;  // NaN → 0
  }
  const auto id = static_cast<Vst::ParamID>(index);
  controller_.beginEdit(id);
  controller_.EditControllerEx1::setParamNormalized(id, normalized);
  controller_.sendParamChanged(index, normalized);
  controller_.performEdit(id, normalized);
  controller_.endEdit(id);
}

double NorvoController::BankBridge::readParam(int index) {
  if (index < 0 || index >= kParamCount) return 0.0;
  return paramToPlain(NORVO_PARAMS[index], controller_.currentNormalized(index));
}

void NorvoController::BankBridge::requestRuntimeBank(const std::string& source,
                                                     const std::string& folder,
                                                     const std::string& sha256,
                                                     const std::string& instrument) {
  const std::string text = encodeRuntimeBankRequest({source, folder, sha256, instrument});
  // No message, or no processor to take it (the host has not connected the two): the request
  // fails here and now, so the page is never left waiting for a reply that cannot come.
  if (!controller_.sendToProcessor("norvo.loadRuntimeBank", text.data(),
                                   static_cast<uint32>(text.size())))
    controller_.bankControl_.adoptRuntimeBankReply("missing\n" + folder);
}

bool NorvoController::BankBridge::applyPadOverrides(const SamplerPadOverrides& overrides) {
  std::string json;
  writeSamplerPadOverridesJson(json, overrides);
  return controller_.sendToProcessor("norvo.padOverrides", json.data(),
                                     static_cast<uint32>(json.size()));
}

bool NorvoController::BankBridge::pickFolder(std::string& path, std::string& error) {
  return pickBankFolder(path, error);
}

void NorvoController::BankBridge::notePresetSelected(const std::string& id,
                                                     const std::string& name) {
  PresetStateFacts& facts = controller_.presetFacts_;
  copyFixedText(facts.currentId, id.c_str());
  copyFixedText(facts.currentName, name.c_str());
  DiagnosticLifecycleEvent& event =
      controller_.recordLifecycle(DiagnosticLifecycleKind::presetLoaded, -1);
  event.addString("id", id.c_str());
  event.addString("name", name.c_str());
  event.addString("origin", "bank");
  controller_.publishLastLifecycle();
  controller_.sendToProcessor("norvo.diag.presetLoaded", id.data(), static_cast<uint32>(id.size()));
}

}  // namespace norvo
