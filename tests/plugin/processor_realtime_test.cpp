// The processor's process call on the audio thread: no heap allocation and no lock, with the
// real chord kernel, parameter ramps, notes in and chords out.
#include <gtest/gtest.h>

#include "plugin/norvo_processor.h"
#include "public.sdk/source/vst/hosting/hostclasses.h"
#include "support/allocation_counter.h"
#include "vst_test_doubles.h"

namespace norvo {
namespace {

using namespace Steinberg;
using namespace Steinberg::Vst;

TEST(ProcessorRealtimeTest, ProcessNeitherAllocatesNorLocks) {
  HostApplication host;  // not reference-counted: lives on the stack
  IPtr<NorvoProcessor> processor = owned(new NorvoProcessor());
  ASSERT_EQ(processor->initialize(static_cast<IHostApplication*>(&host)), kResultOk);
  ProcessSetup setup{kRealtime, kSample32, 512, 48000.0};
  ASSERT_EQ(processor->setupProcessing(setup), kResultOk);
  ASSERT_EQ(processor->setActive(true), kResultOk);

  test::ParameterChangesDouble changes;
  test::EventListDouble in;
  test::EventListDouble out;
  ProcessData data;
  data.processMode = kRealtime;
  data.symbolicSampleSize = kSample32;
  data.inputParameterChanges = &changes;
  data.inputEvents = &in;
  data.outputEvents = &out;

  int produced = 0;
  test::AllocationCounts counts;
  {
    test::AllocationScope scope;
    for (int block = 0; block < 16; ++block) {
      changes.clear();
      in.clear();
      out.clear();
      auto& mode = changes.queue(1);
      int32 index = 0;
      mode.addPoint(0, (block % 6) / 5.0, index);
      mode.addPoint(300, ((block + 1) % 6) / 5.0, index);
      changes.point(3, 100, 0.5);
      in.addNoteOn(48 + block, 0.7f, 10);
      in.addNoteOn(48 + block, 0.0f, 400);  // velocity-0 note-on: a release
      data.numSamples = block == 7 ? -1 : 512;
      EXPECT_EQ(processor->process(data), kResultOk);
      produced += out.getEventCount();
    }
    counts = scope.counts();
  }
  EXPECT_GT(produced, 0);
  EXPECT_EQ(counts.allocations, 0u);
  EXPECT_EQ(counts.locks, 0u);

  processor->setActive(false);
  processor->terminate();
}

}  // namespace
}  // namespace norvo
