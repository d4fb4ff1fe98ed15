// The four lists a host hands `process` for a block (input and output events, input and output
// parameter changes), kept and reused block after block, and the ProcessData that carries them.
// Main thread of the probe (the probe processes on it).
#pragma once

#include "pluginterfaces/base/smartpointer.h"
#include "pluginterfaces/vst/ivstaudioprocessor.h"
#include "tools/event_list.h"
#include "tools/parameter_changes.h"

namespace norvo::probe {

struct BlockLists {
  Steinberg::IPtr<EventList> inputEvents = Steinberg::owned(new EventList);
  Steinberg::IPtr<EventList> outputEvents = Steinberg::owned(new EventList);
  Steinberg::IPtr<ParameterChanges> inputChanges = Steinberg::owned(new ParameterChanges);
  Steinberg::IPtr<ParameterChanges> outputChanges = Steinberg::owned(new ParameterChanges);

  // Empties all four for the next block.
  void clear() {
    inputEvents->clear();
    outputEvents->clear();
    inputChanges->clear();
    outputChanges->clear();
  }

  // A 32-bit block of `frames` frames with these lists and `context` (may be null).
  Steinberg::Vst::ProcessData processData(Steinberg::int32 processMode, Steinberg::int32 frames,
                                          Steinberg::Vst::ProcessContext* context) const {
    Steinberg::Vst::ProcessData data;
    data.processMode = processMode;
    data.symbolicSampleSize = Steinberg::Vst::kSample32;
    data.numSamples = frames;
    data.inputParameterChanges = inputChanges;
    data.outputParameterChanges = outputChanges;
    data.inputEvents = inputEvents;
    data.outputEvents = outputEvents;
    data.processContext = context;
    return data;
  }
};

}  // namespace norvo::probe
