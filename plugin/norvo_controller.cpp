// NorvoController: initialization and the parameter set.
#include "plugin/norvo_controller.h"

#include "plugin/norvo_parameter.h"
#include "product/parameter_table.h"

namespace norvo {

using namespace Steinberg;

NorvoController::~NorvoController() = default;

FUnknown* NorvoController::createInstance(void* /*context*/) {
  return static_cast<Vst::IEditController*>(new NorvoController());
}

tresult PLUGIN_API NorvoController::initialize(FUnknown* context) {
  const tresult result = EditController::initialize(context);
  if (result != kResultOk) return result;
  // One parameter per descriptor, in table order; the container owns them.
  for (const norvo_param_desc& desc : NORVO_PARAMS)
    parameters.addParameter(new NorvoParameter(desc));
  return kResultOk;
}

tresult PLUGIN_API NorvoController::getParameterInfo(int32 paramIndex, Vst::ParameterInfo& info) {
  if (paramIndex < 0 || paramIndex >= getParameterCount()) return kResultFalse;
  return EditControllerEx1::getParameterInfo(paramIndex, info);
}

tresult PLUGIN_API NorvoController::getUnitInfo(int32 unitIndex, Vst::UnitInfo& info) {
  if (unitIndex < 0 || unitIndex >= getUnitCount()) return kResultFalse;
  return EditControllerEx1::getUnitInfo(unitIndex, info);
}

}  // namespace norvo
