// The two VST 3 class ids as SDK FUIDs, built from the product identity constants.
// Any thread (immutable).
#pragma once

#include "pluginterfaces/base/funknown.h"
#include "product/product_identity.h"

namespace norvo {

inline Steinberg::FUID processorClassId() {
  const auto& w = product::kProcessorClassId;
  return Steinberg::FUID(w[0], w[1], w[2], w[3]);
}

inline Steinberg::FUID controllerClassId() {
  const auto& w = product::kControllerClassId;
  return Steinberg::FUID(w[0], w[1], w[2], w[3]);
}

}  // namespace norvo
