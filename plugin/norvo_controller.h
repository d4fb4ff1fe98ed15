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

  OBJ_METHODS(NorvoController, Steinberg::Vst::EditControllerEx1)
};

}  // namespace norvo
