// The processor's process call on the audio thread: no heap allocation and no lock, with the
// real chord kernel, parameter ramps, notes in and chords out.
#include <gtest/gtest.h>

#include <limits>
#include <string>

#include "plugin/norvo_processor.h"
#include "public.sdk/source/vst/hosting/hostclasses.h"
#include "support/allocation_counter.h"
#include "support/plugin/vst_test_doubles.h"

namespace norvo {
namespace {

using namespace Steinberg;
using namespace Steinberg::Vst;

// An initialized, set-up and active processor with the host lists a block needs.
class ProcessorRealtimeTest : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(processor->initialize(static_cast<IHostApplication*>(&host)), kResultOk);
    ProcessSetup setup{kRealtime, kSample32, 512, 48000.0};
    ASSERT_EQ(processor->setupProcessing(setup), kResultOk);
    ASSERT_EQ(processor->setActive(true), kResultOk);
    data.processMode = kRealtime;
    data.symbolicSampleSize = kSample32;
    data.inputParameterChanges = &changes;
    data.inputEvents = &in;
    data.outputEvents = &out;
  }
  void TearDown() override {
    processor->setActive(false);
    processor->terminate();
  }

  HostApplication host;  // not reference-counted: lives in the fixture
  IPtr<NorvoProcessor> processor = owned(new NorvoProcessor());
  test::ParameterChangesDouble changes;
  test::EventListDouble in;
  test::EventListDouble out;
  ProcessData data;
};

TEST_F(ProcessorRealtimeTest, ProcessNeitherAllocatesNorLocks) {
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
}

// Whatever a host throws at process, the refusals and diagnostics it causes stay on the
// realtime path too: a processor that was never set up, more notes than the kernel takes in one
// chunk, a block longer than the declared maximum, offsets outside the block, pitches, channels,
// velocities and parameter values out of range, unknown parameter ids.
TEST_F(ProcessorRealtimeTest, HostileProcessCallsNeitherAllocateNorLock) {
  IPtr<NorvoProcessor> idle = owned(new NorvoProcessor());
  ASSERT_EQ(idle->initialize(static_cast<IHostApplication*>(&host)), kResultOk);
  const double nan = std::numeric_limits<double>::quiet_NaN();

  test::AllocationCounts counts;
  int produced = 0;
  {
    test::AllocationScope scope;
    data.numSamples = 256;
    in.addNoteOn(60, 0.5f, 0);
    EXPECT_EQ(idle->process(data), kResultOk);  // never set up: the not-ready path
    EXPECT_EQ(out.getEventCount(), 0);
    for (int block = 0; block < 4; ++block) {
      changes.clear();
      in.clear();
      out.clear();
      changes.point(7, 0, 0.5);
      changes.point(1, -3, nan);
      changes.point(2, 9999, 2.0);
      changes.point(3, 0, -1.0);
      for (int i = 0; i < 200; ++i) in.addNoteOn(36 + i % 60, 0.6f, i % 100);  // > 64 per chunk
      in.addNoteOn(200, 0.5f, 1);
      in.addNoteOn(-1, 0.5f, 2);
      in.addNoteOn(61, static_cast<float>(nan), 3);
      in.addNoteOn(62, 5.0f, 4, 99);
      in.addNoteOn(63, 0.5f, -20);
      in.addNoteOn(64, 0.5f, 100000);
      in.addNoteOff(65, 7);
      data.numSamples = block == 2 ? 4096 : 512;  // longer than the declared maximum
      EXPECT_EQ(processor->process(data), kResultOk);
      produced += out.getEventCount();
      in.clear();
      for (int i = 0; i < 200; ++i) in.addNoteOff(36 + i % 60, 300);
      data.numSamples = 512;
      EXPECT_EQ(processor->process(data), kResultOk);
    }
    counts = scope.counts();
  }
  EXPECT_GT(produced, 0);
  EXPECT_EQ(counts.allocations, 0u);
  EXPECT_EQ(counts.locks, 0u);
  idle->terminate();
}

// A restored state and published pad overrides reach the audio thread through atomics only:
// the blocks after them neither allocate nor lock, and play with the restored values.
TEST_F(ProcessorRealtimeTest, ProcessAfterAStateRestoreAndPadOverridesNeitherAllocatesNorLocks) {
  test::StreamDouble state(
      R"({"params":{"chord.mode":2,"chord.spread":1},"variation":4,)"
      R"("ccMap":[{"cc":7,"path":"chord.mode"}],"sampler":{"v":1,"pads":{"kick":{"gain":2}}}})");
  ASSERT_EQ(processor->setState(&state), kResultOk);
  const std::string pads = R"({"snare":{"muted":1},"kick":{"transpose":-3}})";
  IPtr<HostMessage> message = owned(new HostMessage);
  message->setMessageID("norvo.padOverrides");
  message->getAttributes()->setBinary("json", pads.data(), static_cast<uint32>(pads.size()));
  ASSERT_EQ(processor->notify(message), kResultOk);
  ASSERT_EQ(processor->engine().padOverridesGeneration(), 2u);

  test::AllocationCounts counts;
  {
    test::AllocationScope scope;
    for (int block = 0; block < 4; ++block) {
      in.clear();
      out.clear();
      in.addNoteOn(48 + block, 0.7f, 10);
      in.addNoteOff(48 + block, 400);
      data.numSamples = 512;
      EXPECT_EQ(processor->process(data), kResultOk);
      // A major chord with its added notes an octave up (the restored mode and spread), released.
      ASSERT_EQ(out.getEventCount(), 6);
      EXPECT_EQ(out.at(2).noteOn.pitch, 48 + block + 7 + 12);
    }
    counts = scope.counts();
  }
  EXPECT_EQ(counts.allocations, 0u);
  EXPECT_EQ(counts.locks, 0u);
}

}  // namespace
}  // namespace norvo
