// The kernel's instance table and event interface, driven through the exported C functions:
// handles and generations, every status code, frame-group ordering, capacities.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

#include "kernel/kernel_test_support.h"

namespace norvo::test {
namespace {

constexpr double kInf = std::numeric_limits<double>::infinity();
const double kNaN = std::nan("");

class InstanceTableTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_EQ(K(runtime_init)(), 0.0); }
};

TEST_F(InstanceTableTest, AbiVersionIsTwo) { EXPECT_EQ(K(abi_version)(), 2.0); }

TEST_F(InstanceTableTest, HandlesCountUpAndRecreatedSlotsGetNewGenerations) {
  EXPECT_EQ(K(create)(128, 0, 0, 48000.0), 1.0);
  EXPECT_EQ(K(create)(128, 0, 0, 48000.0), 2.0);
  EXPECT_EQ(K(create)(128, 0, 0, 48000.0), 3.0);
  EXPECT_EQ(K(destroy)(1), 0.0);
  EXPECT_EQ(K(create)(128, 0, 0, 48000.0), 33.0);
  EXPECT_EQ(K(destroy)(33), 0.0);
  EXPECT_EQ(K(create)(128, 0, 0, 48000.0), 65.0);
  EXPECT_EQ(K(destroy)(2), 0.0);
  EXPECT_EQ(K(create)(128, 0, 0, 48000.0), 34.0);  // lowest free slot is 1
}

TEST_F(InstanceTableTest, ThirtyThirdInstanceFailsUntilOneIsDestroyed) {
  std::vector<std::uint32_t> handles;
  for (int i = 0; i < 32; ++i) handles.push_back(createDefault());
  for (int i = 0; i < 32; ++i) EXPECT_EQ(handles[i], static_cast<std::uint32_t>(i + 1));
  EXPECT_EQ(K(create)(128, 0, 0, 48000.0), 0.0);
  ASSERT_EQ(K(destroy)(handles[7]), 0.0);
  EXPECT_EQ(K(create)(128, 0, 0, 48000.0), 8.0 + 32.0);
  EXPECT_EQ(K(create)(128, 0, 0, 48000.0), 0.0);
}

TEST_F(InstanceTableTest, DestroyedHandleIsRefusedByEveryEntryPoint) {
  const std::uint32_t old = createDefault();
  ASSERT_EQ(K(push_event)(old, 2, 0, 60, 1.0), 0.0);
  ASSERT_EQ(K(process)(old, 16), 0.0);
  ASSERT_EQ(K(event_output_count)(old), 2.0);
  ASSERT_EQ(K(destroy)(old), 0.0);
  const std::uint32_t reused = createDefault();
  ASSERT_EQ(reused, old + 32);

  EXPECT_EQ(K(push_event)(old, 2, 0, 60, 1.0), 1.0);
  EXPECT_EQ(K(process)(old, 16), 1.0);
  EXPECT_EQ(K(reset)(old), 1.0);
  EXPECT_EQ(K(destroy)(old), 1.0);
  EXPECT_EQ(K(event_output_count)(old), 0.0);
  EXPECT_EQ(K(event_output_kind)(old, 0), 0.0);
  EXPECT_EQ(K(event_output_a)(old, 0), 0.0);
  // The slot's new instance is untouched by the refused calls.
  EXPECT_EQ(K(process)(reused, 16), 0.0);
  EXPECT_EQ(K(event_output_count)(reused), 0.0);
}

TEST_F(InstanceTableTest, HandlesNeverIssuedOrOfAnotherGenerationAreInvalid) {
  const std::uint32_t handle = createDefault();
  for (std::uint32_t bad : {0u, 2u, handle + 32u, 0xFFFFFFFFu}) {
    SCOPED_TRACE(bad);
    EXPECT_EQ(K(push_event)(bad, 2, 0, 60, 1.0), 1.0);
    EXPECT_EQ(K(process)(bad, 16), 1.0);
    EXPECT_EQ(K(reset)(bad), 1.0);
    EXPECT_EQ(K(destroy)(bad), 1.0);
  }
}

TEST_F(InstanceTableTest, RuntimeInitInvalidatesEveryEarlierHandle) {
  const std::uint32_t handle = createDefault();
  ASSERT_EQ(K(runtime_init)(), 0.0);
  EXPECT_EQ(K(process)(handle, 16), 1.0);
  EXPECT_EQ(createDefault(), 1u);
}

struct CreateCase {
  std::uint32_t maxBlockFrames;
  std::uint32_t inputChannels;
  std::uint32_t outputChannels;
  double sampleRate;
};

TEST_F(InstanceTableTest, CreateRefusesInvalidConfigurations) {
  const std::vector<CreateCase> cases = {
      {129, 0, 0, 48000.0}, {0, 0, 0, 48000.0}, {128, 1, 0, 48000.0}, {128, 0, 2, 48000.0},
      {128, 0, 0, 0.0},     {128, 0, 0, -1.0},  {128, 0, 0, kNaN},    {128, 0, 0, kInf},
  };
  for (const CreateCase& c : cases) {
    SCOPED_TRACE(testing::Message() << c.maxBlockFrames << " " << c.inputChannels << " "
                                    << c.outputChannels << " " << c.sampleRate);
    EXPECT_EQ(K(create)(c.maxBlockFrames, c.inputChannels, c.outputChannels, c.sampleRate), 0.0);
  }
  // Refused arguments do not use up a generation.
  EXPECT_EQ(K(create)(1, 0, 0, 44100.0), 1.0);
}

TEST_F(InstanceTableTest, RateThatVanishesInSinglePrecisionFailsButUsesTheGeneration) {
  EXPECT_EQ(K(create)(128, 0, 0, 1e-50), 0.0);
  EXPECT_EQ(K(create)(128, 0, 0, 48000.0), 33.0);
}

struct PushCase {
  const char* what;
  std::uint32_t kind;
  std::uint32_t frame;
  std::uint32_t index;
  double value;
  double status;
};

TEST_F(InstanceTableTest, PushEventStatusCodes) {
  const std::vector<PushCase> cases = {
      {"last frame of the block", 2, 63, 60, 1.0, 0},
      {"frame at the declared size", 2, 64, 60, 1.0, 1},
      {"frame at the declared size wins over a bad kind", 9, 64, 60, 1.0, 1},
      {"kind 0", 0, 0, 0, 0.0, 2},
      {"kind 5", 5, 0, 0, 0.0, 2},
      {"parameter index 4", 1, 0, 4, 0.0, 2},
      {"note 128", 2, 0, 128, 1.0, 2},
      {"note-off 128", 3, 0, 128, 0.0, 2},
      {"controller 128", 4, 0, 128, 0.5, 2},
      {"note-on velocity 1.5", 2, 0, 60, 1.5, 2},
      {"note-on velocity -0.1", 2, 0, 60, -0.1, 2},
      {"note-on velocity 3.5", 2, 0, 60, 3.5, 2},
      {"note-on velocity NaN", 2, 0, 60, kNaN, 2},
      {"note-on velocity infinite", 2, 0, 60, kInf, 2},
      {"note-off value NaN", 3, 0, 60, kNaN, 2},
      {"control value NaN", 4, 0, 1, kNaN, 2},
      {"control value infinite", 4, 0, 1, -kInf, 2},
      {"note-off value 0.5", 3, 0, 60, 0.5, 2},
      {"control value 1.5", 4, 0, 1, 1.5, 2},
      {"parameter value infinite", 1, 0, 1, kInf, 3},
      {"parameter value NaN", 1, 0, 1, kNaN, 3},
      {"note-on velocity 0", 2, 0, 60, 0.0, 0},
      {"note-on velocity 2.5", 2, 0, 60, 2.5, 0},
      {"note-on velocity 3", 2, 0, 60, 3.0, 0},
      {"control change", 4, 0, 127, 1.0, 0},
      {"parameter out of its range", 1, 0, 1, -100.0, 0},
  };
  for (const PushCase& c : cases) {
    SCOPED_TRACE(c.what);
    ASSERT_EQ(K(runtime_init)(), 0.0);
    const auto handle = static_cast<std::uint32_t>(K(create)(64, 0, 0, 48000.0));
    EXPECT_EQ(K(push_event)(handle, c.kind, c.frame, c.index, c.value), c.status);
  }
}

TEST_F(InstanceTableTest, QueueHoldsSixtyFourEventsInNonDecreasingFrameOrder) {
  const std::uint32_t handle = createDefault();
  EXPECT_EQ(K(push_event)(handle, 2, 20, 60, 1.0), 0.0);
  EXPECT_EQ(K(push_event)(handle, 3, 10, 60, 0.0), 4.0);
  EXPECT_EQ(K(push_event)(handle, 3, 20, 60, 0.0), 0.0);  // same frame is fine
  for (int i = 2; i < 64; ++i) ASSERT_EQ(K(push_event)(handle, 1, 30, 3, 0.5), 0.0);
  EXPECT_EQ(K(push_event)(handle, 1, 30, 3, 0.5), 3.0);
  EXPECT_EQ(K(push_event)(handle, 2, 5, 60, 1.0), 3.0);  // a full queue answers 3 before 4
}

// push_events is push_event in a loop that stops at the first refusal: on one instance the
// events go in one call, on another one by one; the queued counts, the refusals and the chords
// the two blocks make are the same.
TEST_F(InstanceTableTest, BulkPushQueuesWhatSinglePushesWouldUpToTheFirstRefusal) {
  using Event = norvo_kernel_input_event;
  struct BulkCase {
    const char* what;
    std::vector<Event> events;
    double queued;
    double refusal;
  };
  std::vector<Event> full;
  for (std::uint32_t i = 0; i < 65; ++i) full.push_back({2, i, 40 + i % 60, 0.5});
  const std::vector<BulkCase> cases = {
      {"nothing", {}, 0, 0},
      {"notes and a parameter", {{1, 0, 1, 5.0}, {2, 0, 60, 0.5}, {3, 9, 60, 0.0}}, 3, 0},
      {"malformed second event", {{2, 0, 60, 0.5}, {3, 1, 60, 0.5}, {2, 2, 62, 0.5}}, 1, 2},
      {"frame out of order", {{2, 10, 60, 0.5}, {2, 4, 62, 0.5}}, 1, 4},
      {"frame at the block size", {{2, 0, 60, 0.5}, {2, 128, 62, 0.5}}, 1, 1},
      {"value not finite", {{1, 0, 2, kNaN}}, 0, 3},
      {"sixty-five events", full, 64, 3},
  };
  for (const BulkCase& c : cases) {
    SCOPED_TRACE(c.what);
    ASSERT_EQ(K(runtime_init)(), 0.0);
    const std::uint32_t bulk = createDefault();
    const std::uint32_t single = createDefault();
    double refusal = -1;
    const double queued = K(push_events)(bulk, c.events.data(),
                                         static_cast<std::uint32_t>(c.events.size()), &refusal);
    EXPECT_EQ(queued, c.queued);
    EXPECT_EQ(refusal, c.refusal);
    double singleRefusal = 0;
    double singleQueued = 0;
    for (const Event& e : c.events) {
      singleRefusal = K(push_event)(single, e.kind, e.frame, e.index, e.value);
      if (singleRefusal != 0) break;
      ++singleQueued;
    }
    EXPECT_EQ(queued, singleQueued);
    EXPECT_EQ(refusal, singleRefusal);
    ASSERT_EQ(K(process)(bulk, 128), 0.0);
    ASSERT_EQ(K(process)(single, 128), 0.0);
    EXPECT_EQ(readOutputs(bulk), readOutputs(single));
  }
}

TEST_F(InstanceTableTest, BulkPushRefusesBadHandlesAndMissingEvents) {
  const std::uint32_t handle = createDefault();
  const norvo_kernel_input_event one[] = {{2, 0, 60, 0.5}};
  struct RefusedCase {
    std::uint32_t handle;
    const norvo_kernel_input_event* events;
    std::uint32_t count;
    double refusal;
  };
  const RefusedCase cases[] = {
      {handle + 32, one, 1, 1}, {0, one, 1, 1}, {handle, nullptr, 1, 2}, {handle + 32, one, 0, 0}};
  for (const RefusedCase& c : cases) {
    double refusal = -1;
    EXPECT_EQ(K(push_events)(c.handle, c.events, c.count, &refusal), 0.0) << c.handle;
    EXPECT_EQ(refusal, c.refusal) << c.handle;
  }
  EXPECT_EQ(K(push_events)(handle, one, 1, nullptr), 1.0);  // the refusal is optional
  ASSERT_EQ(K(process)(handle, 128), 0.0);
  EXPECT_EQ(readOutputs(handle),
            (std::vector<KernelOutput>{noteOn(60, 0.5, 0), noteOn(72, 51.0 / 127.0, 0)}));
}

TEST_F(InstanceTableTest, ProcessRefusesInvalidHandleAndOversizedBlock) {
  const auto handle = static_cast<std::uint32_t>(K(create)(64, 0, 0, 48000.0));
  EXPECT_EQ(K(process)(handle, 65), 1.0);
  EXPECT_EQ(K(process)(handle, 64), 0.0);
  EXPECT_EQ(K(process)(handle, 0), 0.0);
}

TEST_F(InstanceTableTest, ParametersApplyBeforeNotesOfTheSameFrame) {
  const std::uint32_t handle = createDefault();
  ASSERT_EQ(K(push_event)(handle, 2, 5, 60, 1.0), 0.0);
  ASSERT_EQ(K(push_event)(handle, 1, 5, 1, 5.0), 0.0);  // mode 5, pushed after the note
  ASSERT_EQ(K(push_event)(handle, 1, 9, 1, 1.0), 0.0);  // a later frame keeps its place
  ASSERT_EQ(K(push_event)(handle, 2, 9, 40, 1.0), 0.0);
  ASSERT_EQ(K(process)(handle, 128), 0.0);
  std::vector<int> notes;
  std::vector<int> frames;
  for (const KernelOutput& o : readOutputs(handle)) {
    notes.push_back(o.note);
    frames.push_back(o.frame);
  }
  EXPECT_EQ(notes, (std::vector<int>{60, 64, 67, 70, 40, 47}));
  EXPECT_EQ(frames, (std::vector<int>{5, 5, 5, 5, 9, 9}));
}

TEST_F(InstanceTableTest, OutputsCarryTheFrameOfTheirEvent) {
  const std::uint32_t handle = createDefault();
  ASSERT_EQ(K(push_event)(handle, 2, 0, 60, 1.0), 0.0);
  ASSERT_EQ(K(push_event)(handle, 2, 0, 62, 1.0), 0.0);
  ASSERT_EQ(K(push_event)(handle, 2, 64, 64, 1.0), 0.0);
  ASSERT_EQ(K(process)(handle, 128), 0.0);
  const double added = 102.0 / 127.0;
  EXPECT_EQ(readOutputs(handle),
            (std::vector<KernelOutput>{noteOn(60, 1.0, 0), noteOn(72, added, 0), noteOn(62, 1.0, 0),
                                       noteOn(74, added, 0), noteOn(64, 1.0, 64),
                                       noteOn(76, added, 64)}));
}

TEST_F(InstanceTableTest, EventsAtOrBeyondTheBlockEndAreDiscardedWithTheQueue) {
  const std::uint32_t handle = createDefault();
  ASSERT_EQ(K(push_event)(handle, 2, 10, 60, 1.0), 0.0);
  ASSERT_EQ(K(push_event)(handle, 2, 40, 62, 1.0), 0.0);
  ASSERT_EQ(K(push_event)(handle, 2, 50, 64, 1.0), 0.0);
  ASSERT_EQ(K(process)(handle, 40), 0.0);
  EXPECT_EQ(readOutputs(handle),
            (std::vector<KernelOutput>{noteOn(60, 1.0, 10), noteOn(72, 102.0 / 127.0, 10)}));
  ASSERT_EQ(K(process)(handle, 128), 0.0);
  EXPECT_EQ(K(event_output_count)(handle), 0.0);
  // The queue is empty again: any frame may come first.
  EXPECT_EQ(K(push_event)(handle, 2, 0, 60, 1.0), 0.0);
}

TEST_F(InstanceTableTest, RefusedEventFailsTheBlockAndTheNextBlockStartsClean) {
  const std::uint32_t handle = createDefault();
  ASSERT_EQ(K(push_event)(handle, 2, 0, 60, 1.0), 0.0);
  ASSERT_EQ(K(process)(handle, 128), 0.0);
  ASSERT_EQ(K(event_output_count)(handle), 2.0);

  ASSERT_EQ(K(push_event)(handle, 3, 4, 60, 0.0), 0.0);
  ASSERT_EQ(K(push_event)(handle, 4, 8, 1, 0.5), 0.0);  // queued, but the generator refuses it
  ASSERT_EQ(K(push_event)(handle, 2, 9, 70, 1.0), 0.0);
  EXPECT_EQ(K(process)(handle, 128), 2.0);
  EXPECT_EQ(K(event_output_count)(handle), 2.0);  // the last good block stays readable

  // The release made before the refusal still reaches the host with the next block; the
  // refused block's remaining events are gone.
  ASSERT_EQ(K(push_event)(handle, 2, 0, 50, 1.0), 0.0);
  EXPECT_EQ(K(process)(handle, 128), 0.0);
  EXPECT_EQ(readOutputs(handle),
            (std::vector<KernelOutput>{noteOff(60, 4), noteOff(72, 4), noteOn(50, 1.0, 0),
                                       noteOn(62, 102.0 / 127.0, 0)}));
}

TEST_F(InstanceTableTest, FailedProcessCallKeepsTheQueueAndTheLastOutputs) {
  const auto handle = static_cast<std::uint32_t>(K(create)(32, 0, 0, 48000.0));
  ASSERT_EQ(K(push_event)(handle, 2, 0, 60, 1.0), 0.0);
  ASSERT_EQ(K(process)(handle, 32), 0.0);
  ASSERT_EQ(K(push_event)(handle, 3, 3, 60, 0.0), 0.0);
  EXPECT_EQ(K(process)(handle, 33), 1.0);
  EXPECT_EQ(K(event_output_count)(handle), 2.0);
  EXPECT_EQ(K(process)(handle, 32), 0.0);
  EXPECT_EQ(readOutputs(handle), (std::vector<KernelOutput>{noteOff(60, 3), noteOff(72, 3)}));
}

TEST_F(InstanceTableTest, OutputReadersAnswerZeroAtAndBeyondTheCount) {
  const std::uint32_t handle = createDefault();
  ASSERT_EQ(K(push_event)(handle, 2, 3, 60, 0.5), 0.0);
  ASSERT_EQ(K(process)(handle, 128), 0.0);
  ASSERT_EQ(K(event_output_count)(handle), 2.0);
  EXPECT_EQ(K(event_output_kind)(handle, 1), 2.0);
  EXPECT_EQ(K(event_output_frame)(handle, 1), 3.0);
  for (std::uint32_t index : {2u, 255u, 256u, 0xFFFFFFFFu}) {
    EXPECT_EQ(K(event_output_kind)(handle, index), 0.0);
    EXPECT_EQ(K(event_output_frame)(handle, index), 0.0);
    EXPECT_EQ(K(event_output_a)(handle, index), 0.0);
    EXPECT_EQ(K(event_output_b)(handle, index), 0.0);
  }
}

TEST_F(InstanceTableTest, BulkReaderCopiesWhatTheFieldReadersAnswer) {
  const std::uint32_t handle = createDefault();
  ASSERT_EQ(K(push_event)(handle, 1, 0, 1, 5.0), 0.0);  // four-note chords
  ASSERT_EQ(K(push_event)(handle, 2, 3, 60, 0.5), 0.0);
  ASSERT_EQ(K(push_event)(handle, 3, 9, 60, 0.0), 0.0);
  ASSERT_EQ(K(process)(handle, 128), 0.0);
  ASSERT_EQ(K(event_output_count)(handle), 8.0);
  norvo_kernel_output_event out[8] = {};
  ASSERT_EQ(K(event_output_read)(handle, 0, out, 8), 8.0);
  for (std::uint32_t i = 0; i < 8; ++i) {
    EXPECT_EQ(out[i].kind, K(event_output_kind)(handle, i));
    EXPECT_EQ(out[i].frame, K(event_output_frame)(handle, i));
    EXPECT_EQ(out[i].a, K(event_output_a)(handle, i));
    EXPECT_EQ(out[i].b, K(event_output_b)(handle, i));
  }
  struct ReadCase {
    std::uint32_t handle, first, capacity;
    bool nullOut;
    double copied;
  };
  const ReadCase cases[] = {
      {handle, 5, 8, false, 3},           {handle, 2, 3, false, 3}, {handle, 8, 8, false, 0},
      {handle, 0xFFFFFFFFu, 8, false, 0}, {handle, 0, 0, false, 0}, {handle, 0, 8, true, 0},
      {handle + 32, 0, 8, false, 0},      {0, 0, 8, false, 0},
  };
  for (const ReadCase& c : cases) {
    norvo_kernel_output_event part[8] = {};
    EXPECT_EQ(K(event_output_read)(c.handle, c.first, c.nullOut ? nullptr : part, c.capacity),
              c.copied)
        << c.first << " " << c.capacity;
    if (c.copied > 0) {
      EXPECT_EQ(part[0].a, out[c.first].a);
    }
  }
}

// The columns are the outputs themselves: what the field readers answer, for as long as the
// instance does not run again; a refused handle gets null columns and a null `out` nothing.
TEST_F(InstanceTableTest, OutputColumnsShowWhatTheFieldReadersAnswer) {
  const std::uint32_t handle = createDefault();
  const std::uint32_t other = createDefault();
  ASSERT_EQ(K(push_event)(handle, 1, 0, 1, 5.0), 0.0);  // four-note chords
  ASSERT_EQ(K(push_event)(handle, 2, 3, 60, 0.5), 0.0);
  ASSERT_EQ(K(push_event)(handle, 3, 9, 60, 0.0), 0.0);
  ASSERT_EQ(K(process)(handle, 128), 0.0);
  ASSERT_EQ(K(push_event)(other, 2, 0, 40, 1.0), 0.0);
  ASSERT_EQ(K(process)(other, 128), 0.0);  // another instance's block leaves them alone

  norvo_kernel_output_columns columns{};
  ASSERT_EQ(K(event_output_columns)(handle, &columns), 8.0);
  ASSERT_EQ(columns.count, 8u);
  for (std::uint32_t i = 0; i < columns.count; ++i) {
    EXPECT_EQ(columns.kinds[i], K(event_output_kind)(handle, i));
    EXPECT_EQ(columns.frames[i], K(event_output_frame)(handle, i));
    EXPECT_EQ(columns.a[i], K(event_output_a)(handle, i));
    EXPECT_EQ(columns.b[i], K(event_output_b)(handle, i));
  }
  EXPECT_EQ(columns.a[3], 70);  // the seventh of the chord on 60, pushed last

  struct RefusedCase {
    std::uint32_t handle;
    bool nullOut;
  };
  const RefusedCase refused[] = {{handle + 64, false}, {0, false}, {handle, true}};
  for (const RefusedCase& c : refused) {
    norvo_kernel_output_columns out{};
    out.count = 99;
    EXPECT_EQ(K(event_output_columns)(c.handle, c.nullOut ? nullptr : &out), 0.0) << c.handle;
    if (!c.nullOut) {
      EXPECT_EQ(out.kinds, nullptr);
      EXPECT_EQ(out.b, nullptr);
      EXPECT_EQ(out.count, 0u);
    }
  }

  // A block without outputs empties them.
  ASSERT_EQ(K(process)(handle, 128), 0.0);
  EXPECT_EQ(K(event_output_columns)(handle, &columns), 0.0);
  EXPECT_EQ(columns.count, 0u);
}

TEST_F(InstanceTableTest, AudioViewsAreEmptyForAnyHandle) {
  for (std::uint32_t handle : {0u, 1u, 12345u}) {
    float* data = nullptr;
    std::size_t length = 99;
    K(input_view)(handle, &data, &length);
    EXPECT_EQ(length, 0u);
    EXPECT_NE(data, nullptr);
    length = 99;
    K(output_view)(handle, &data, &length);
    EXPECT_EQ(length, 0u);
  }
}

TEST_F(InstanceTableTest, ResetForgetsChordsQueueAndOutputsAndRestoresDefaults) {
  const std::uint32_t handle = createDefault();
  ASSERT_EQ(K(push_event)(handle, 1, 0, 0, 0.0), 0.0);  // generator off: pass-through
  ASSERT_EQ(K(push_event)(handle, 1, 0, 0, 1.0), 0.0);
  ASSERT_EQ(K(push_event)(handle, 1, 0, 1, 5.0), 0.0);
  ASSERT_EQ(K(push_event)(handle, 1, 0, 2, 1.0), 0.0);
  ASSERT_EQ(K(push_event)(handle, 1, 0, 3, 0.2), 0.0);
  ASSERT_EQ(K(push_event)(handle, 2, 0, 60, 1.0), 0.0);
  ASSERT_EQ(K(process)(handle, 128), 0.0);
  ASSERT_EQ(K(event_output_count)(handle), 4.0);
  ASSERT_EQ(K(push_event)(handle, 2, 50, 61, 1.0), 0.0);

  EXPECT_EQ(K(reset)(handle), 0.0);
  EXPECT_EQ(K(event_output_count)(handle), 0.0);
  ASSERT_EQ(K(push_event)(handle, 3, 0, 60, 0.0), 0.0);  // ledger forgotten: sends nothing
  ASSERT_EQ(K(push_event)(handle, 2, 1, 48, 1.0), 0.0);  // defaults: octave, scale 0.8
  ASSERT_EQ(K(process)(handle, 128), 0.0);
  EXPECT_EQ(readOutputs(handle),
            (std::vector<KernelOutput>{noteOn(48, 1.0, 1), noteOn(60, 102.0 / 127.0, 1)}));
}

TEST_F(InstanceTableTest, InstancesKeepTheirOwnParametersAndOutputs) {
  const std::uint32_t first = createDefault();
  const std::uint32_t second = createDefault();
  ASSERT_EQ(K(push_event)(first, 1, 0, 1, 5.0), 0.0);
  ASSERT_EQ(K(push_event)(first, 2, 0, 60, 1.0), 0.0);
  ASSERT_EQ(K(push_event)(second, 2, 0, 60, 1.0), 0.0);
  ASSERT_EQ(K(process)(first, 128), 0.0);
  ASSERT_EQ(K(process)(second, 64), 0.0);
  EXPECT_EQ(K(event_output_count)(first), 4.0);
  EXPECT_EQ(K(event_output_count)(second), 2.0);
}

TEST_F(InstanceTableTest, AFullQueueOfFourNoteChordsFillsAllTwoHundredFiftySixOutputs) {
  const std::uint32_t handle = createDefault();
  ASSERT_EQ(K(push_event)(handle, 1, 0, 1, 5.0), 0.0);
  for (std::uint32_t note = 0; note < 63; ++note) {
    ASSERT_EQ(K(push_event)(handle, 2, note, note, 1.0), 0.0);
  }
  ASSERT_EQ(K(process)(handle, 128), 0.0);
  ASSERT_EQ(K(event_output_count)(handle), 252.0);
  for (std::uint32_t note = 0; note < 64; ++note) {
    ASSERT_EQ(K(push_event)(handle, note < 63 ? 3 : 2, 2 * note, note, note < 63 ? 0.0 : 1.0), 0.0);
  }
  ASSERT_EQ(K(process)(handle, 128), 0.0);
  ASSERT_EQ(K(event_output_count)(handle), 256.0);
  EXPECT_EQ(K(event_output_kind)(handle, 255), 2.0);
  EXPECT_EQ(K(event_output_a)(handle, 255), 73.0);
  EXPECT_EQ(K(event_output_frame)(handle, 255), 126.0);
}

}  // namespace
}  // namespace norvo::test
