// The host's IComponentHandler: the controller reports edits here; the probe forwards each
// performed edit to the processor at the start of the next block. Main thread.
#pragma once

#include "tools/ref_counted.h"

#include "pluginterfaces/vst/ivsteditcontroller.h"

#include <vector>

namespace norvo::probe {

struct ParameterEdit {
  Steinberg::Vst::ParamID id = 0;
  Steinberg::Vst::ParamValue normalized = 0;
};

class ComponentHandler final : public RefCounted<Steinberg::Vst::IComponentHandler> {
 public:
  Steinberg::tresult PLUGIN_API beginEdit(Steinberg::Vst::ParamID id) override;
  Steinberg::tresult PLUGIN_API performEdit(Steinberg::Vst::ParamID id,
                                            Steinberg::Vst::ParamValue valueNormalized) override;
  Steinberg::tresult PLUGIN_API endEdit(Steinberg::Vst::ParamID id) override;
  Steinberg::tresult PLUGIN_API restartComponent(Steinberg::int32 flags) override;

  // Edits performed since the last call, oldest first.
  std::vector<ParameterEdit> takeEdits();
  // Every restartComponent flag word received, in order.
  const std::vector<Steinberg::int32>& restartRequests() const { return restarts_; }

 private:
  std::vector<ParameterEdit> edits_;
  std::vector<Steinberg::int32> restarts_;
};

}  // namespace norvo::probe
