// NorvoParameter: one VST 3 parameter built from a descriptor of the parameter table. The SDK
// keeps the current normalized value; the conversions and texts follow the descriptor.
// Main thread (the edit controller's parameter container owns every instance).
#pragma once

#include "product/parameter_table.h"
#include "public.sdk/source/vst/vstparameters.h"

namespace norvo {

class NorvoParameter : public Steinberg::Vst::Parameter {
 public:
  // Fills the parameter info from `desc` (which must outlive the parameter; the table is
  // static) and starts at the descriptor's default normalized value.
  explicit NorvoParameter(const norvo_param_desc& desc);
  ~NorvoParameter() override;

  void toString(Steinberg::Vst::ParamValue valueNormalized,
                Steinberg::Vst::String128 string) const override;
  bool fromString(const Steinberg::Vst::TChar* string,
                  Steinberg::Vst::ParamValue& valueNormalized) const override;
  Steinberg::Vst::ParamValue toPlain(Steinberg::Vst::ParamValue valueNormalized) const override;
  Steinberg::Vst::ParamValue toNormalized(Steinberg::Vst::ParamValue plainValue) const override;

  const norvo_param_desc& descriptor() const noexcept { return desc_; }

 private:
  const norvo_param_desc& desc_;
};

// Step count the host sees for a descriptor: list kind valueCount - 1 (at least 1), toggle 1,
// continuous 0.
Steinberg::int32 paramStepCount(const norvo_param_desc& desc) noexcept;

}  // namespace norvo
