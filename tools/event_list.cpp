// The host's IEventList.
#include "tools/event_list.h"

namespace norvo::probe {

using namespace Steinberg;

EventList::EventList(size_t capacity) : capacity_(capacity) { events_.reserve(capacity); }

int32 PLUGIN_API EventList::getEventCount() { return static_cast<int32>(events_.size()); }

tresult PLUGIN_API EventList::getEvent(int32 index, Vst::Event& e) {
  if (index < 0 || static_cast<size_t>(index) >= events_.size()) return kInvalidArgument;
  e = events_[static_cast<size_t>(index)];
  return kResultOk;
}

tresult PLUGIN_API EventList::addEvent(Vst::Event& e) {
  if (events_.size() >= capacity_) {
    ++refused_;
    return kOutOfMemory;
  }
  events_.push_back(e);
  return kResultOk;
}

}  // namespace norvo::probe
