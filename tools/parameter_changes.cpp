// The host's IParameterChanges and IParamValueQueue.
#include "tools/parameter_changes.h"

#include <algorithm>

namespace norvo::probe {

using namespace Steinberg;

int32 PLUGIN_API ParamValueQueue::getPointCount() { return static_cast<int32>(points_.size()); }

tresult PLUGIN_API ParamValueQueue::getPoint(int32 index, int32& sampleOffset,
                                             Vst::ParamValue& value) {
  if (index < 0 || static_cast<size_t>(index) >= points_.size()) return kInvalidArgument;
  sampleOffset = points_[static_cast<size_t>(index)].first;
  value = points_[static_cast<size_t>(index)].second;
  return kResultOk;
}

tresult PLUGIN_API ParamValueQueue::addPoint(int32 sampleOffset, Vst::ParamValue value,
                                             int32& index) {
  auto it = std::lower_bound(points_.begin(), points_.end(), sampleOffset,
                             [](const auto& point, int32 offset) { return point.first < offset; });
  if (it != points_.end() && it->first == sampleOffset)
    it->second = value;
  else
    it = points_.insert(it, {sampleOffset, value});
  index = static_cast<int32>(it - points_.begin());
  return kResultOk;
}

int32 PLUGIN_API ParameterChanges::getParameterCount() {
  return static_cast<int32>(queues_.size());
}

Vst::IParamValueQueue* PLUGIN_API ParameterChanges::getParameterData(int32 index) {
  if (index < 0 || static_cast<size_t>(index) >= queues_.size()) return nullptr;
  return queues_[static_cast<size_t>(index)];
}

Vst::IParamValueQueue* PLUGIN_API ParameterChanges::addParameterData(const Vst::ParamID& id,
                                                                     int32& index) {
  for (size_t i = 0; i < queues_.size(); ++i) {
    if (queues_[i]->getParameterId() == id) {
      index = static_cast<int32>(i);
      return queues_[i];
    }
  }
  queues_.push_back(owned(new ParamValueQueue(id)));
  index = static_cast<int32>(queues_.size() - 1);
  return queues_.back();
}

void ParameterChanges::add(Vst::ParamID id, int32 offset, Vst::ParamValue value) {
  int32 index = 0;
  if (auto* queue = addParameterData(id, index)) queue->addPoint(offset, value, index);
}

}  // namespace norvo::probe
