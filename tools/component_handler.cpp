// The host's IComponentHandler.
#include "tools/component_handler.h"

#include <utility>

namespace norvo::probe {

using namespace Steinberg;

tresult PLUGIN_API ComponentHandler::beginEdit(Vst::ParamID) { return kResultOk; }

tresult PLUGIN_API ComponentHandler::performEdit(Vst::ParamID id, Vst::ParamValue valueNormalized) {
  edits_.push_back({id, valueNormalized});
  return kResultOk;
}

tresult PLUGIN_API ComponentHandler::endEdit(Vst::ParamID) { return kResultOk; }

tresult PLUGIN_API ComponentHandler::restartComponent(int32 flags) {
  restarts_.push_back(flags);
  return kResultOk;
}

std::vector<ParameterEdit> ComponentHandler::takeEdits() { return std::exchange(edits_, {}); }

}  // namespace norvo::probe
