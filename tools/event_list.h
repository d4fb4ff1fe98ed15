// The host's IEventList: the block's input notes, and the plug-in's output events. A fixed
// capacity, like a real host's, so a plug-in that floods it sees refusals. Main thread (the
// probe runs process on its own thread of control, one call at a time).
#pragma once

#include "tools/ref_counted.h"

#include "pluginterfaces/vst/ivstevents.h"

#include <vector>

namespace norvo::probe {

class EventList final : public RefCounted<Steinberg::Vst::IEventList> {
 public:
  explicit EventList(size_t capacity = 4096);

  Steinberg::int32 PLUGIN_API getEventCount() override;
  Steinberg::tresult PLUGIN_API getEvent(Steinberg::int32 index, Steinberg::Vst::Event& e) override;
  Steinberg::tresult PLUGIN_API addEvent(Steinberg::Vst::Event& e) override;

  void clear() {
    events_.clear();
    refused_ = 0;
  }
  const std::vector<Steinberg::Vst::Event>& events() const { return events_; }
  // Events refused since the last clear because the list was full.
  size_t refused() const { return refused_; }

 private:
  std::vector<Steinberg::Vst::Event> events_;
  size_t capacity_;
  size_t refused_ = 0;
};

}  // namespace norvo::probe
