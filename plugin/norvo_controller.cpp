// NorvoController: initialization and the parameter set.
#include "plugin/norvo_controller.h"

#include "plugin/norvo_parameter.h"
#include "plugin/parameter_model.h"

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
  for (const norvo_param_desc& desc : NORVO_PARAMS) parameters.addParameter(new NorvoParameter(desc));
  return kResultOk;
}

}  // namespace norvo
