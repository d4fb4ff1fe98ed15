// The benchmark host's IEventList, kept the way hosts keep theirs: one fixed array per list,
// allocated once and reused every block, so adding or reading an event is a bounds check and
// a copy. The plug-in's own cost is what the benchmark measures; a growing container here
// would add the host's bookkeeping to every event the plug-in sends. Main thread (the
// benchmark calls process from its only thread).
#pragma once

#include <memory>

#include "pluginterfaces/vst/ivstevents.h"
#include "tools/ref_counted.h"

namespace norvo::bench {

class FixedEventList final : public norvo::probe::RefCounted<Steinberg::Vst::IEventList> {
 public:
  static constexpr Steinberg::int32 kCapacity = 4096;

  Steinberg::int32 PLUGIN_API getEventCount() override { return count_; }

  Steinberg::tresult PLUGIN_API getEvent(Steinberg::int32 index,
                                         Steinberg::Vst::Event& e) override {
    if (index < 0 || index >= count_) return Steinberg::kInvalidArgument;
    e = events_[index];
    return Steinberg::kResultOk;
  }

  Steinberg::tresult PLUGIN_API addEvent(Steinberg::Vst::Event& e) override {
    if (count_ >= kCapacity) return Steinberg::kOutOfMemory;
    events_[count_++] = e;
    return Steinberg::kResultOk;
  }

  void clear() noexcept { count_ = 0; }

 private:
  std::unique_ptr<Steinberg::Vst::Event[]> events_{new Steinberg::Vst::Event[kCapacity]};
  Steinberg::int32 count_ = 0;
};

}  // namespace norvo::bench
