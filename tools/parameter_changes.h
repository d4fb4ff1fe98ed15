// The host's IParameterChanges and IParamValueQueue: the parameter changes of one block, each
// parameter's points in sample-offset order. Main thread.
#pragma once

#include "tools/ref_counted.h"

#include "pluginterfaces/vst/ivstparameterchanges.h"

#include <utility>
#include <vector>

namespace norvo::probe {

class ParamValueQueue final : public RefCounted<Steinberg::Vst::IParamValueQueue> {
 public:
  explicit ParamValueQueue(Steinberg::Vst::ParamID id) : id_(id) {}

  Steinberg::Vst::ParamID PLUGIN_API getParameterId() override { return id_; }
  Steinberg::int32 PLUGIN_API getPointCount() override;
  Steinberg::tresult PLUGIN_API getPoint(Steinberg::int32 index, Steinberg::int32& sampleOffset,
                                         Steinberg::Vst::ParamValue& value) override;
  // Points are kept sorted by offset; a point at an offset already present replaces it.
  Steinberg::tresult PLUGIN_API addPoint(Steinberg::int32 sampleOffset,
                                         Steinberg::Vst::ParamValue value,
                                         Steinberg::int32& index) override;

 private:
  Steinberg::Vst::ParamID id_;
  std::vector<std::pair<Steinberg::int32, Steinberg::Vst::ParamValue>> points_;
};

class ParameterChanges final : public RefCounted<Steinberg::Vst::IParameterChanges> {
 public:
  Steinberg::int32 PLUGIN_API getParameterCount() override;
  Steinberg::Vst::IParamValueQueue* PLUGIN_API getParameterData(Steinberg::int32 index) override;
  // Returns the queue already holding `id`, or a new one appended at the end.
  Steinberg::Vst::IParamValueQueue* PLUGIN_API addParameterData(const Steinberg::Vst::ParamID& id,
                                                                Steinberg::int32& index) override;

  // Convenience for the host side: one point for `id` at `offset`.
  void add(Steinberg::Vst::ParamID id, Steinberg::int32 offset, Steinberg::Vst::ParamValue value);
  void clear() { queues_.clear(); }

 private:
  std::vector<Steinberg::IPtr<ParamValueQueue>> queues_;
};

}  // namespace norvo::probe
