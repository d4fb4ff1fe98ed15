// NorvoProcessor driven the way a host drives it: buses, set-up and activation with the
// messages they send, and process calls whose kernel traffic a fake kernel records (plus the
// real chord kernel end to end).
#include "plugin/norvo_processor.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "diagnostics/host_facts.h"
#include "pluginterfaces/base/ustring.h"
#include "pluginterfaces/vst/vstspeaker.h"
#include "public.sdk/source/vst/hosting/hostclasses.h"
#include "support/plugin/vst_test_doubles.h"

namespace norvo {
namespace {

using namespace Steinberg;
using namespace Steinberg::Vst;
using test::EventListDouble;
using test::FakeKernel;
using test::MessageRecorder;
using test::ParameterChangesDouble;

FakeKernel& fakeKernel() { return FakeKernel::instance(); }

class ProcessorTest : public ::testing::Test {
 protected:
  void SetUp() override {
    fakeKernel().reset();
    processor_ = owned(makeProcessor());
    ASSERT_EQ(processor_->initialize(static_cast<IHostApplication*>(&host_)), kResultOk);
    ASSERT_EQ(processor_->connect(&peer_), kResultOk);
  }
  void TearDown() override {
    processor_->setActive(false);
    processor_->disconnect(&peer_);
    processor_->terminate();
  }

  virtual NorvoProcessor* makeProcessor() { return new NorvoProcessor(FakeKernel::entryPoints()); }

  tresult setup(double rate = 48000.0, int32 maxBlock = 512, int32 mode = kRealtime,
                int32 sampleSize = kSample32) {
    ProcessSetup s{mode, sampleSize, maxBlock, rate};
    return processor_->setupProcessing(s);
  }

  // Set up, activate, run one empty block (the engine sends its initial parameter values) and
  // forget what the kernel and the peer saw so far.
  void startProcessing(double rate = 48000.0) {
    ASSERT_EQ(setup(rate), kResultOk);
    ASSERT_EQ(processor_->setActive(true), kResultOk);
    ASSERT_EQ(run(64), kResultOk);
    fakeKernel().clearCalls();
    out_.clear();
    peer_.received.clear();
  }

  tresult run(int32 numSamples, int32 sampleSize = kSample32) {
    ProcessData data;
    data.processMode = kRealtime;
    data.symbolicSampleSize = sampleSize;
    data.numSamples = numSamples;
    data.inputParameterChanges = &changes_;
    data.inputEvents = &in_;
    data.outputEvents = &out_;
    const tresult result = processor_->process(data);
    changes_.clear();
    in_.clear();
    return result;
  }

  HostFacts lastHostFacts() const {
    HostFacts facts{};
    const auto messages = peer_.withId("norvo.diag.hostFacts");
    EXPECT_FALSE(messages.empty());
    if (messages.empty()) return facts;
    EXPECT_EQ(messages.back()->json.size(), sizeof(HostFacts));
    if (messages.back()->json.size() == sizeof(HostFacts))
      std::memcpy(&facts, messages.back()->json.data(), sizeof facts);
    return facts;
  }

  HostApplication host_;  // not reference-counted; outlives the processor
  IPtr<NorvoProcessor> processor_;
  MessageRecorder peer_;
  ParameterChangesDouble changes_;
  EventListDouble in_;
  EventListDouble out_;
};

std::string busName(IComponent& component, BusDirection dir) {
  BusInfo info{};
  if (component.getBusInfo(kEvent, dir, 0, info) != kResultOk) return "<none>";
  char name[128];
  UString(info.name, 128).toAscii(name, sizeof name);
  EXPECT_EQ(info.channelCount, 1);
  EXPECT_EQ(info.busType, kMain);
  EXPECT_EQ(info.flags, static_cast<uint32>(BusInfo::kDefaultActive));
  return name;
}

TEST_F(ProcessorTest, DeclaresOneEventInputAndOneEventOutputAndNoAudio) {
  EXPECT_EQ(processor_->getBusCount(kEvent, kInput), 1);
  EXPECT_EQ(processor_->getBusCount(kEvent, kOutput), 1);
  EXPECT_EQ(processor_->getBusCount(kAudio, kInput), 0);
  EXPECT_EQ(processor_->getBusCount(kAudio, kOutput), 0);
  EXPECT_EQ(busName(*processor_, kInput), "Event In");
  EXPECT_EQ(busName(*processor_, kOutput), "Event Out");
}

TEST_F(ProcessorTest, RefusesEveryAudioBusArrangement) {
  SpeakerArrangement stereo = SpeakerArr::kStereo;
  EXPECT_EQ(processor_->setBusArrangements(nullptr, 0, &stereo, 1), kResultFalse);
  EXPECT_EQ(processor_->setBusArrangements(&stereo, 1, nullptr, 0), kResultFalse);
  EXPECT_TRUE(peer_.received.empty());
  EXPECT_EQ(processor_->setBusArrangements(nullptr, 0, nullptr, 0), kResultOk);
  EXPECT_EQ(peer_.withId("norvo.diag.hostFacts").size(), 1u);
}

TEST_F(ProcessorTest, Processes32BitOnly) {
  EXPECT_EQ(processor_->canProcessSampleSize(kSample32), kResultOk);
  EXPECT_EQ(processor_->canProcessSampleSize(kSample64), kResultFalse);
  EXPECT_EQ(setup(48000.0, 512, kRealtime, kSample64), kResultFalse);
  EXPECT_EQ(fakeKernel().pushCount, 0);

  startProcessing();
  in_.addNoteOn(60, 0.5f, 0);
  EXPECT_EQ(run(64, kSample64), kResultFalse);
  EXPECT_EQ(fakeKernel().processCalls, 0);
  EXPECT_EQ(fakeKernel().pushCount, 0);
}

TEST_F(ProcessorTest, SetupAndActivationSendHostFacts) {
  ASSERT_EQ(setup(44100.0, 256, kOffline), kResultOk);
  HostFacts facts = lastHostFacts();
  EXPECT_EQ(facts.sampleRate, 44100.0);
  EXPECT_EQ(facts.maxBlockFrames, 256);
  EXPECT_EQ(facts.processMode, kProcessModeOffline);
  EXPECT_EQ(facts.sampleSize, 32);
  EXPECT_EQ(facts.latencySamples, 0);
  EXPECT_EQ(facts.busCount, 0u);

  ASSERT_EQ(processor_->setActive(true), kResultOk);
  ASSERT_EQ(processor_->setActive(false), kResultOk);
  EXPECT_EQ(peer_.withId("norvo.diag.hostFacts").size(), 3u);
  EXPECT_TRUE(peer_.withId("norvo.runtimeDiagnostics").empty());

  ASSERT_EQ(setup(96000.0, 128, kPrefetch), kResultOk);
  facts = lastHostFacts();
  EXPECT_EQ(facts.processMode, kProcessModePrefetch);
  EXPECT_EQ(facts.sampleRate, 96000.0);
}

TEST_F(ProcessorTest, FailedSetupSendsTheHealthReportAndRefuses) {
  fakeKernel().refuseCreate = true;
  EXPECT_EQ(setup(48000.0, 512), kResultFalse);
  EXPECT_TRUE(peer_.withId("norvo.diag.hostFacts").empty());
  const auto reports = peer_.withId("norvo.runtimeDiagnostics");
  ASSERT_EQ(reports.size(), 1u);
  const std::string& json = reports[0]->json;
  EXPECT_EQ(json.rfind("{\"format\":\"norvo-runtime-health/v1\",\"schemaVersion\":1,"
                       "\"instanceId\":\"vst3\",\"lifecycle\":\"failed\",\"status\":\"failed\"",
                       0),
            0u)
      << json;
  EXPECT_NE(json.find("\"code\":\"runtime.kernel-create-failed\""), std::string::npos) << json;
  EXPECT_NE(json.find("\"identity\":{\"moduleId\":\"music.norvo.chord\",\"version\":\"0.1.0\""),
            std::string::npos)
      << json;

  // Activation retries the set-up with the stored format and fails the same way.
  EXPECT_EQ(processor_->setActive(true), kResultFalse);
  EXPECT_EQ(peer_.withId("norvo.runtimeDiagnostics").size(), 2u);

  // A host that processes anyway gets no output and no kernel calls.
  in_.addNoteOn(60, 0.5f, 0);
  fakeKernel().addOutput(2, 0, 60, 0.5);
  EXPECT_EQ(run(64), kResultOk);
  EXPECT_EQ(out_.getEventCount(), 0);
  EXPECT_EQ(fakeKernel().processCalls, 0);
}

TEST_F(ProcessorTest, RejectedFormatIsReportedToo) {
  EXPECT_EQ(setup(0.0, 512), kResultFalse);
  const auto reports = peer_.withId("norvo.runtimeDiagnostics");
  ASSERT_EQ(reports.size(), 1u);
  EXPECT_NE(reports[0]->json.find("\"code\":\"runtime.invalid-configuration\""), std::string::npos);
}

TEST_F(ProcessorTest, VelocityZeroNoteOnArrivesAsNoteOff) {
  startProcessing();
  in_.addNoteOn(60, 0.0f, 5);
  in_.addNoteOn(62, 0.25f, 6, 3);
  in_.addNoteOff(64, 7);
  ASSERT_EQ(run(64), kResultOk);
  ASSERT_EQ(fakeKernel().pushCount, 3);
  const auto& p = fakeKernel().pushes;
  EXPECT_EQ(p[0].kind, kKernelEventNoteOff);
  EXPECT_EQ(p[0].frame, 5u);
  EXPECT_EQ(p[0].index, 60u);
  EXPECT_EQ(p[1].kind, kKernelEventNoteOn);
  EXPECT_EQ(p[1].index, 62u);
  EXPECT_EQ(p[1].value, 0.25);
  EXPECT_EQ(p[2].kind, kKernelEventNoteOff);
  EXPECT_EQ(p[2].index, 64u);
  EXPECT_EQ(fakeKernel().lastProcessFrames, 64u);
}

TEST_F(ProcessorTest, EveryParameterPointIsQueuedAtItsOffsetBeforeNotes) {
  startProcessing();
  changes_.point(7, 0, 0.9);  // no such parameter: ignored
  auto& mode = changes_.queue(1);
  int32 index = 0;
  mode.addPoint(0, 0.2, index);
  mode.addPoint(10, 0.4, index);
  mode.addPoint(20, 0.6, index);
  changes_.queue(2);  // a queue without points
  in_.addNoteOn(60, 0.5f, 10);
  ASSERT_EQ(run(64), kResultOk);

  const auto& p = fakeKernel().pushes;
  ASSERT_EQ(fakeKernel().pushCount, 4);
  const struct {
    std::uint32_t kind, frame, index;
    double value;
  } expected[] = {{kKernelEventParameter, 0, 1, 1.0},
                  {kKernelEventParameter, 10, 1, 2.0},
                  {kKernelEventNoteOn, 10, 60, 0.5},
                  {kKernelEventParameter, 20, 1, 3.0}};
  for (int i = 0; i < 4; ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(p[i].kind, expected[i].kind);
    EXPECT_EQ(p[i].frame, expected[i].frame);
    EXPECT_EQ(p[i].index, expected[i].index);
    EXPECT_EQ(p[i].value, expected[i].value);
  }
  EXPECT_EQ(processor_->engine().paramValue(1), 3.0);
}

TEST_F(ProcessorTest, OutputEventsFollowTheMidiStatus) {
  startProcessing();
  fakeKernel().addOutput(2, 3, 64, 51.0 / 127.0);  // note-on, velocity byte 51
  fakeKernel().addOutput(3, 4, 64, 0);             // note-off
  fakeKernel().addOutput(4, 5, 7, 100.0 / 127.0);  // control change 7 = 100
  ASSERT_EQ(run(64), kResultOk);
  ASSERT_EQ(out_.getEventCount(), 3);

  const Event& on = out_.at(0);
  EXPECT_EQ(on.type, Event::kNoteOnEvent);
  EXPECT_EQ(on.busIndex, 0);
  EXPECT_EQ(on.sampleOffset, 3);
  EXPECT_EQ(on.ppqPosition, 0.0);
  EXPECT_EQ(on.flags, Event::kIsLive);
  EXPECT_EQ(on.noteOn.channel, 0);
  EXPECT_EQ(on.noteOn.pitch, 64);
  EXPECT_EQ(on.noteOn.velocity, 51.0f / 127.0f);
  EXPECT_EQ(on.noteOn.tuning, 0.0f);
  EXPECT_EQ(on.noteOn.length, 0);
  EXPECT_EQ(on.noteOn.noteId, -1);

  const Event& off = out_.at(1);
  EXPECT_EQ(off.type, Event::kNoteOffEvent);
  EXPECT_EQ(off.sampleOffset, 4);
  EXPECT_EQ(off.noteOff.pitch, 64);
  EXPECT_EQ(off.noteOff.velocity, 0.0f);
  EXPECT_EQ(off.noteOff.noteId, -1);
  EXPECT_EQ(off.noteOff.tuning, 0.0f);

  const Event& cc = out_.at(2);
  EXPECT_EQ(cc.type, Event::kLegacyMIDICCOutEvent);
  EXPECT_EQ(cc.sampleOffset, 5);
  EXPECT_EQ(cc.midiCCOut.channel, 0);
  EXPECT_EQ(cc.midiCCOut.controlNumber, 7);
  EXPECT_EQ(cc.midiCCOut.value, 100);
  EXPECT_EQ(cc.midiCCOut.value2, 0);
}

// The engine's output records are reused block after block by outputs of other kinds: every
// event the host gets must carry its own kind's fields only, whatever the slot held before.
TEST_F(ProcessorTest, OutputsReusingAnotherKindsSlotCarryOnlyTheirOwnFields) {
  startProcessing();
  struct Expected {
    uint16 type;
    int32 frame;
    int number;  // pitch or controller
    float velocity;
    int value;  // controller value
  };
  const auto check = [this](const std::vector<Expected>& expected) {
    ASSERT_EQ(out_.getEventCount(), static_cast<int32>(expected.size()));
    for (std::size_t i = 0; i < expected.size(); ++i) {
      SCOPED_TRACE(i);
      const Event& e = out_.at(static_cast<int32>(i));
      const Expected& x = expected[i];
      EXPECT_EQ(e.type, x.type);
      EXPECT_EQ(e.busIndex, 0);
      EXPECT_EQ(e.sampleOffset, x.frame);
      EXPECT_EQ(e.ppqPosition, 0.0);
      EXPECT_EQ(e.flags, Event::kIsLive);
      if (x.type == Event::kNoteOnEvent) {
        EXPECT_EQ(e.noteOn.channel, 0);
        EXPECT_EQ(e.noteOn.pitch, x.number);
        EXPECT_EQ(e.noteOn.tuning, 0.0f);
        EXPECT_EQ(e.noteOn.velocity, x.velocity);
        EXPECT_EQ(e.noteOn.length, 0);
        EXPECT_EQ(e.noteOn.noteId, -1);
      } else if (x.type == Event::kNoteOffEvent) {
        EXPECT_EQ(e.noteOff.channel, 0);
        EXPECT_EQ(e.noteOff.pitch, x.number);
        EXPECT_EQ(e.noteOff.velocity, 0.0f);
        EXPECT_EQ(e.noteOff.noteId, -1);
        EXPECT_EQ(e.noteOff.tuning, 0.0f);
      } else {
        EXPECT_EQ(e.midiCCOut.controlNumber, x.number);
        EXPECT_EQ(e.midiCCOut.channel, 0);
        EXPECT_EQ(e.midiCCOut.value, x.value);
        EXPECT_EQ(e.midiCCOut.value2, 0);
      }
    }
  };
  const auto block = [this](std::initializer_list<FakeKernel::Output> outputs) {
    fakeKernel().outputCount = 0;
    for (const FakeKernel::Output& o : outputs) fakeKernel().addOutput(o.kind, o.frame, o.a, o.b);
    out_.clear();
    return run(64);
  };
  ASSERT_EQ(block({{4, 1, 7, 127.0 / 127.0}, {2, 2, 60, 1.0}, {2, 3, 64, 2.0 + 1.0 / 127.0}}),
            kResultOk);
  check({{Event::kLegacyMIDICCOutEvent, 1, 7, 0.0f, 127},
         {Event::kNoteOnEvent, 2, 60, 1.0f, 0},
         {Event::kNoteOnEvent, 3, 64, 1.0f / 127.0f, 0}});
  ASSERT_EQ(block({{2, 0, 67, 90.0 / 127.0}, {3, 5, 60, 0}, {4, 6, 10, 0.0}}), kResultOk);
  check({{Event::kNoteOnEvent, 0, 67, 90.0f / 127.0f, 0},
         {Event::kNoteOffEvent, 5, 60, 0.0f, 0},
         {Event::kLegacyMIDICCOutEvent, 6, 10, 0.0f, 0}});
  ASSERT_EQ(block({{3, 0, 64, 0}, {3, 1, 67, 0}}), kResultOk);
  check({{Event::kNoteOffEvent, 0, 64, 0.0f, 0}, {Event::kNoteOffEvent, 1, 67, 0.0f, 0}});
}

TEST_F(ProcessorTest, FirstRefusalByTheHostListEndsTheBlockOutput) {
  startProcessing();
  fakeKernel().addOutput(2, 0, 60, 0.5);
  fakeKernel().addOutput(2, 0, 64, 0.5);
  fakeKernel().addOutput(2, 0, 67, 0.5);
  out_.refuseAddAt = 1;  // the list refuses the second event only
  ASSERT_EQ(run(64), kResultOk);
  EXPECT_EQ(out_.addCalls(), 2);
  ASSERT_EQ(out_.getEventCount(), 1);
  EXPECT_EQ(out_.at(0).noteOn.pitch, 60);
  // The refused event and the one after it are counted as dropped.
  EXPECT_EQ(processor_->engine().droppedOutputEvents(), 2u);
}

TEST_F(ProcessorTest, NegativeSampleCountOnlyAppliesParameters) {
  startProcessing();
  changes_.point(1, 0, 0.6);
  in_.addNoteOn(60, 0.5f, 0);
  fakeKernel().addOutput(2, 0, 60, 0.5);
  ASSERT_EQ(run(-5), kResultOk);
  EXPECT_EQ(fakeKernel().processCalls, 0);
  EXPECT_EQ(fakeKernel().pushCount, 0);
  EXPECT_EQ(out_.getEventCount(), 0);
  EXPECT_EQ(processor_->engine().paramValue(1), 3.0);
}

TEST_F(ProcessorTest, AbsentListsAreSkipped) {
  startProcessing();
  ProcessData data;
  data.symbolicSampleSize = kSample32;
  data.numSamples = 32;
  EXPECT_EQ(processor_->process(data), kResultOk);
  EXPECT_EQ(fakeKernel().processCalls, 1);
}

TEST_F(ProcessorTest, LatencyIsZeroAtTheHostRate) {
  startProcessing(44100.0);
  EXPECT_EQ(processor_->getLatencySamples(), 0u);
}

// A kernel that only runs at 48000 Hz: the engine falls back to it and reports the latency of
// the rate adapter.
double createOnlyAt48k(std::uint32_t, std::uint32_t, std::uint32_t, double rate) {
  return rate == 48000.0 ? 1.0 : 0.0;
}

TEST_F(ProcessorTest, LatencyCoversTheRateAdapterWhenTheKernelRunsAt48k) {
  static KernelEntryPoints kernel = [] {
    KernelEntryPoints k = FakeKernel::entryPoints();
    k.create = &createOnlyAt48k;
    return k;
  }();
  IPtr<NorvoProcessor> processor = owned(new NorvoProcessor(kernel));
  ASSERT_EQ(processor->initialize(static_cast<IHostApplication*>(&host_)), kResultOk);
  ProcessSetup s{kRealtime, kSample32, 512, 44100.0};
  ASSERT_EQ(processor->setupProcessing(s), kResultOk);
  ASSERT_TRUE(processor->engine().rateConverted());
  // 44100 * 20 / 48000 + 16 + 0.999999 = 35.37...
  EXPECT_EQ(processor->getLatencySamples(), 35u);
  processor->terminate();
}

// The real chord kernel behind the processor.
class ChordProcessorTest : public ProcessorTest {
 protected:
  NorvoProcessor* makeProcessor() override { return new NorvoProcessor(); }
};

TEST_F(ChordProcessorTest, NoteBecomesAChordAndItsReleaseReleasesExactlyThat) {
  startProcessing();
  changes_.point(1, 0, 0.4);   // mode 2 (major)
  changes_.point(2, 0, 0.75);  // spread 1
  in_.addNoteOn(60, 0.5f, 17);
  ASSERT_EQ(run(256), kResultOk);
  ASSERT_EQ(out_.getEventCount(), 3);
  const int pitches[] = {60, 76, 79};
  const float velocities[] = {64.0f / 127.0f, 51.0f / 127.0f, 51.0f / 127.0f};
  for (int i = 0; i < 3; ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(out_.at(i).type, Event::kNoteOnEvent);
    EXPECT_EQ(out_.at(i).sampleOffset, 17);
    EXPECT_EQ(out_.at(i).noteOn.pitch, pitches[i]);
    EXPECT_EQ(out_.at(i).noteOn.velocity, velocities[i]);
    EXPECT_EQ(out_.at(i).noteOn.noteId, -1);
  }

  out_.clear();
  in_.addNoteOn(60, 0.0f, 200);  // released by a velocity-0 note-on, in the second chunk
  ASSERT_EQ(run(256), kResultOk);
  ASSERT_EQ(out_.getEventCount(), 3);
  for (int i = 0; i < 3; ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(out_.at(i).type, Event::kNoteOffEvent);
    EXPECT_EQ(out_.at(i).sampleOffset, 200);
    EXPECT_EQ(out_.at(i).noteOff.pitch, pitches[i]);
  }
  EXPECT_EQ(processor_->getLatencySamples(), 0u);
}

TEST_F(ChordProcessorTest, TerminateAndInitializeAgainStartsFromTheSameBuses) {
  startProcessing();
  ASSERT_EQ(processor_->setActive(false), kResultOk);
  ASSERT_EQ(processor_->terminate(), kResultOk);
  EXPECT_EQ(processor_->getBusCount(kEvent, kInput), 0);
  ASSERT_EQ(processor_->initialize(static_cast<IHostApplication*>(&host_)), kResultOk);
  EXPECT_EQ(processor_->getBusCount(kEvent, kInput), 1);
  EXPECT_EQ(processor_->getBusCount(kEvent, kOutput), 1);
  EXPECT_EQ(processor_->getBusCount(kAudio, kOutput), 0);
  ASSERT_EQ(processor_->connect(&peer_), kResultOk);

  startProcessing();
  in_.addNoteOn(60, 0.5f, 4);
  ASSERT_EQ(run(128), kResultOk);
  ASSERT_EQ(out_.getEventCount(), 2);  // root and octave at the defaults
  EXPECT_EQ(out_.at(0).noteOn.pitch, 60);
  EXPECT_EQ(out_.at(1).noteOn.pitch, 72);
}

// Every processor has its own kernel instance in the process-wide table: two processors with
// different modes, their notes interleaved, each release only their own chord.
TEST_F(ChordProcessorTest, TwoProcessorsKeepTheirOwnChords) {
  IPtr<NorvoProcessor> second = owned(new NorvoProcessor());
  ASSERT_EQ(second->initialize(static_cast<IHostApplication*>(&host_)), kResultOk);
  ProcessSetup s{kRealtime, kSample32, 512, 48000.0};
  ASSERT_EQ(second->setupProcessing(s), kResultOk);
  ASSERT_EQ(second->setActive(true), kResultOk);
  startProcessing();

  EventListDouble secondIn;
  EventListDouble secondOut;
  ParameterChangesDouble secondChanges;
  ProcessData data;
  data.symbolicSampleSize = kSample32;
  data.numSamples = 128;
  data.inputParameterChanges = &secondChanges;
  data.inputEvents = &secondIn;
  data.outputEvents = &secondOut;

  changes_.point(1, 0, 0.4);  // first: major
  in_.addNoteOn(60, 0.5f, 0);
  ASSERT_EQ(run(128), kResultOk);
  ASSERT_EQ(out_.getEventCount(), 3);

  secondChanges.point(1, 0, 1.0);  // second: dominant seventh
  secondIn.addNoteOn(60, 0.5f, 0);
  ASSERT_EQ(second->process(data), kResultOk);
  ASSERT_EQ(secondOut.getEventCount(), 4);

  out_.clear();
  in_.addNoteOff(60, 10);
  ASSERT_EQ(run(128), kResultOk);
  ASSERT_EQ(out_.getEventCount(), 3);
  const int firstChord[] = {60, 64, 67};
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(out_.at(i).type, Event::kNoteOffEvent);
    EXPECT_EQ(out_.at(i).noteOff.pitch, firstChord[i]);
  }

  secondChanges.clear();
  secondIn.clear();
  secondOut.clear();
  secondIn.addNoteOff(60, 20);
  ASSERT_EQ(second->process(data), kResultOk);
  ASSERT_EQ(secondOut.getEventCount(), 4);
  const int secondChord[] = {60, 64, 67, 70};
  for (int i = 0; i < 4; ++i) {
    EXPECT_EQ(secondOut.at(i).type, Event::kNoteOffEvent);
    EXPECT_EQ(secondOut.at(i).noteOff.pitch, secondChord[i]);
    EXPECT_EQ(secondOut.at(i).sampleOffset, 20);
  }
  second->setActive(false);
  second->terminate();
}

}  // namespace
}  // namespace norvo
