// The host context norvo-probe hands to the processor and the controller in initialize: it
// reports the host's name and creates messages and attribute lists. Main thread.
#pragma once

#include "tools/ref_counted.h"

#include "pluginterfaces/vst/ivsthostapplication.h"

namespace norvo::probe {

inline constexpr const char* kHostName = "norvo-probe";

class HostApplication final : public RefCounted<Steinberg::Vst::IHostApplication> {
 public:
  Steinberg::tresult PLUGIN_API getName(Steinberg::Vst::String128 name) override;
  Steinberg::tresult PLUGIN_API createInstance(Steinberg::TUID cid, Steinberg::TUID iid,
                                               void** obj) override;
};

}  // namespace norvo::probe
