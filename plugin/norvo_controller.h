// NorvoController: the plug-in's VST 3 edit controller. It owns the four parameters (one
// NorvoParameter per descriptor of the parameter table, created in initialize).
// Main thread (every call comes from the host's main thread).
#pragma once

#include "public.sdk/source/vst/vsteditcontroller.h"

namespace norvo {

class NorvoController : public Steinberg::Vst::EditControllerEx1 {
 public:
  NorvoController() = default;
  ~NorvoController() override;

  // The controller class's create function for the factory.
  static Steinberg::FUnknown* createInstance(void* context);

  Steinberg::tresult PLUGIN_API initialize(Steinberg::FUnknown* context) override;

  // Index lookups answer kResultFalse for an index outside the list (some SDK copies index
  // their lists unchecked and would throw out of the plug-in).
  Steinberg::tresult PLUGIN_API getParameterInfo(Steinberg::int32 paramIndex,
                                                 Steinberg::Vst::ParameterInfo& info) override;
  Steinberg::tresult PLUGIN_API getUnitInfo(Steinberg::int32 unitIndex,
                                            Steinberg::Vst::UnitInfo& info) override;

  OBJ_METHODS(NorvoController, Steinberg::Vst::EditControllerEx1)
};

}  // namespace norvo
