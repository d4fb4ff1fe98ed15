// KernelEngine against the chord kernel (set-up, chunking, ordering, parameter republishing,
// failures) and against a scripted kernel for the paths the chord kernel never takes.
#include "engine/kernel_engine.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include <unistd.h>

#include "support/engine/child_process.h"
#include "support/engine/engine_test_support.h"
#include "support/engine/fake_kernel.h"
#include "support/engine/stderr_capture.h"

namespace norvo {
namespace {

using test::diagnosticsOf;
using test::DiagnosticSummary;
using test::fakeKernel;
using test::FakeKernelCall;
using test::fakeKernelEntryPoints;
using test::midiOutOf;
using test::noteOff;
using test::noteOn;
using test::runBlock;
using test::StderrCapture;
using ::testing::ElementsAre;
using ::testing::IsEmpty;

constexpr const char* kInvalidFormat = "host processing configuration is invalid";
constexpr const char* kDrainedProcessFailure = "audio process callback failed; output was cleared";
constexpr const char* kDrainedOther = "runtime diagnostic observed on the audio callback";

// ---------------------------------------------------------------------------------------------
// Set-up

struct FormatCase {
  double sampleRate;
  int maxBlockFrames;
  bool accepted;
  const char* standardError;
};

TEST(KernelEngineSetup, ValidatesTheHostFormat) {
  const FormatCase cases[] = {
      {44100, 512, true, ""},
      {44100, 16384, true, ""},
      {0, 512, false,
       "norvo-plugin-shell: rejected host format (sampleRate=0, maxBlockFrames=512)\n"},
      {44100, 0, false,
       "norvo-plugin-shell: rejected host format (sampleRate=44100, maxBlockFrames=0)\n"},
      {5e6, 512, false,
       "norvo-plugin-shell: rejected host format (sampleRate=5000000, maxBlockFrames=512)\n"},
      {44100.123456789, -3, false,
       "norvo-plugin-shell: rejected host format (sampleRate=44100.1235, maxBlockFrames=-3)\n"},
      {44100, 16385, false,
       "norvo-plugin-shell: rejected host format (sampleRate=44100, maxBlockFrames=16385)\n"
       "norvo-plugin-shell: maxBlockFrames exceeds the 16384-frame ceiling; render long fixtures "
       "as a LOOP of <=16384-frame blocks rather than declaring the whole fixture as one block\n"},
  };
  for (const FormatCase& c : cases) {
    SCOPED_TRACE(testing::Message() << c.sampleRate << " Hz, " << c.maxBlockFrames);
    KernelEngine engine;
    StderrCapture capture;
    EXPECT_EQ(engine.setup(c.sampleRate, c.maxBlockFrames), c.accepted);
    EXPECT_EQ(capture.take(), c.standardError);
    EXPECT_EQ(engine.ready(), c.accepted);
    if (c.accepted) {
      EXPECT_THAT(diagnosticsOf(engine), IsEmpty());
      EXPECT_NE(engine.instanceToken(), 0u);
      EXPECT_EQ(engine.maxBlockFrames(), c.maxBlockFrames);
    } else {
      EXPECT_THAT(diagnosticsOf(engine),
                  ElementsAre(DiagnosticSummary{14, 2, 5, kInvalidFormat, ""}));
      EXPECT_EQ(engine.instanceToken(), 0u);
    }
  }
}

TEST(KernelEngineSetup, StoresTheHostRateAsAReducedFraction) {
  KernelEngine engine;
  ASSERT_TRUE(engine.setup(44100.0000004, 512));
  EXPECT_EQ(engine.rateNumerator(), 44100u);
  EXPECT_EQ(engine.rateDenominator(), 1u);
  EXPECT_EQ(engine.hostRate(), 44100.0);
  EXPECT_FALSE(engine.rateConverted());
  EXPECT_EQ(engine.latencySamples(), 0);
  EXPECT_EQ(engine.adapterCapacity(), 1544u);

  ASSERT_TRUE(engine.setup(22050.5, 256));
  EXPECT_EQ(engine.rateNumerator(), 44101u);
  EXPECT_EQ(engine.rateDenominator(), 2u);
  EXPECT_EQ(engine.hostRate(), 22050.5);
}

TEST(KernelEngineSetup, RefusesRatesNeedingAnOversizedAdapterWithoutAStandardErrorLine) {
  KernelEngine engine;
  ASSERT_TRUE(engine.setup(24, 512));
  EXPECT_EQ(engine.adapterCapacity(), 1024064u);

  StderrCapture capture;
  EXPECT_FALSE(engine.setup(20, 512));
  EXPECT_EQ(capture.take(), "");
  EXPECT_FALSE(engine.ready());
  EXPECT_EQ(engine.adapterCapacity(), 1228864u);
  EXPECT_THAT(diagnosticsOf(engine),
              ElementsAre(DiagnosticSummary{
                  14, 2, 5, "host rate requires unsupported SRC FIFO capacity", ""}));
}

TEST(KernelEngineSetup, ReportsAKernelThatCannotBeCreated) {
  // The kernel has 32 instance slots for the whole process.
  std::vector<std::unique_ptr<KernelEngine>> engines;
  for (int i = 0; i < 32; ++i) {
    engines.push_back(std::make_unique<KernelEngine>());
    ASSERT_TRUE(engines.back()->setup(48000, 128)) << "engine " << i;
  }
  KernelEngine last;
  StderrCapture capture;
  EXPECT_FALSE(last.setup(44100, 512));
  EXPECT_EQ(capture.take(), "norvo-plugin-shell: kernel setup failed at 44100 Hz\n");
  EXPECT_FALSE(last.ready());
  EXPECT_FALSE(last.rateConverted());
  EXPECT_THAT(
      diagnosticsOf(last),
      ElementsAre(DiagnosticSummary{1, 3, 5, "product kernel instance creation failed", ""},
                  DiagnosticSummary{15, 3, 5, "kernel runtime is unavailable after setup", ""}));

  // A freed slot makes the next set-up work again.
  engines.pop_back();
  EXPECT_TRUE(last.setup(44100, 512));
}

TEST(KernelEngineSetup, SetupAgainRecreatesTheInstanceAndResendsParameters) {
  KernelEngine engine;
  ASSERT_TRUE(engine.setup(48000, 512));
  engine.setParamValue(1, 2);  // major triad
  engine.pushNoteOn(60, 0.5, 0, 0, 0);
  runBlock(engine, 64);
  ASSERT_THAT(midiOutOf(engine),
              ElementsAre(noteOn(0, 60, 64), noteOn(0, 64, 51), noteOn(0, 67, 51)));

  const std::uint32_t before = engine.instanceToken();
  ASSERT_TRUE(engine.setup(44100, 256));
  EXPECT_NE(engine.instanceToken(), before);
  // The fresh instance forgot the held chord, so its notes are released at the start of the
  // next block (the old note-off releases nothing more); the mode is sent again.
  engine.pushNoteOff(60, 0, 0, 0);
  engine.pushNoteOn(62, 0.5, 5, 0, 0);
  runBlock(engine, 64);
  EXPECT_THAT(midiOutOf(engine),
              ElementsAre(noteOff(0, 60), noteOff(0, 64), noteOff(0, 67), noteOn(5, 62, 64),
                          noteOn(5, 66, 51), noteOn(5, 69, 51)));
}

// ---------------------------------------------------------------------------------------------
// Blocks against the chord kernel

TEST(KernelEngineBlock, LongBlockReturnsTheChordAtItsHostFrame) {
  KernelEngine engine;
  ASSERT_TRUE(engine.setup(48000, 512));
  ASSERT_TRUE(engine.pushNoteOn(60, 0.5, 200, 0, 0));
  ASSERT_TRUE(engine.pushNoteOff(60, 299, 0, 0));
  runBlock(engine, 300);
  EXPECT_THAT(midiOutOf(engine), ElementsAre(noteOn(200, 60, 64), noteOn(200, 72, 51),
                                             noteOff(299, 60), noteOff(299, 72)));
  EXPECT_TRUE(engine.blockDone());
  EXPECT_FALSE(engine.blockFailed());
  EXPECT_EQ(engine.queuedEventCount(), 0);
}

TEST(KernelEngineBlock, ParameterAtTheSameFrameAppliesBeforeTheNoteWhateverTheQueueOrder) {
  KernelEngine engine;
  ASSERT_TRUE(engine.setup(48000, 512));
  ASSERT_TRUE(engine.pushNoteOn(60, 1.0, 10, 0, 0));
  ASSERT_TRUE(engine.pushParamNormalized(1, 10, 0.6));  // mode 3: minor triad
  runBlock(engine, 128);
  EXPECT_THAT(midiOutOf(engine),
              ElementsAre(noteOn(10, 60, 127), noteOn(10, 63, 102), noteOn(10, 67, 102)));
  EXPECT_EQ(engine.paramValue(1), 3.0);
}

TEST(KernelEngineBlock, RejectedEventIsCountedAndTheBlockGoesOn) {
  KernelEngine engine;
  ASSERT_TRUE(engine.setup(48000, 512));
  engine.pushNoteOff(200, 3, 0, 0);  // the kernel refuses note numbers above 127
  engine.pushNoteOn(48, 1.0, 4, 0, 0);
  runBlock(engine, 128);
  EXPECT_THAT(midiOutOf(engine), ElementsAre(noteOn(4, 48, 127), noteOn(4, 60, 102)));
  EXPECT_FALSE(engine.blockFailed());
  engine.drainRuntimeDiagnostics();
  EXPECT_THAT(diagnosticsOf(engine),
              ElementsAre(DiagnosticSummary{22, 2, 7, kDrainedOther, "audio callback"}));
}

TEST(KernelEngineBlock, ParameterChangedOutsideTheBlockReachesTheKernel) {
  KernelEngine engine;
  ASSERT_TRUE(engine.setup(48000, 512));
  engine.setParamValue(1, 3);
  engine.setParamValue(2, 1);
  engine.pushNoteOn(60, 1.0, 0, 0, 0);
  runBlock(engine, 32);
  EXPECT_THAT(midiOutOf(engine),
              ElementsAre(noteOn(0, 60, 127), noteOn(0, 75, 102), noteOn(0, 79, 102)));
}

TEST(KernelEngineBlock, BurstOfNotesAtOneFrameIsPlayedAndReleasedWhole) {
  KernelEngine engine;
  ASSERT_TRUE(engine.setup(48000, 512));
  // 70 chords at frame 5, the mode change queued after them at the same frame. The chords
  // overlap: every pitch goes on once, with its first chord, and off once, with its last.
  std::vector<MidiOutEvent> expectedOn, expectedOff;
  int holders[128] = {};
  for (int n = 0; n < 70; ++n) {
    ASSERT_TRUE(engine.pushNoteOn(n, 1.0, 5, 0, 0));
    for (int interval : {0, 4, 7}) {
      if (holders[n + interval]++ == 0)
        expectedOn.push_back(noteOn(5, n + interval, interval == 0 ? 127 : 102));
    }
  }
  for (int n = 0; n < 70; ++n) {
    for (int interval : {0, 4, 7}) {
      if (--holders[n + interval] == 0) expectedOff.push_back(noteOff(200, n + interval));
    }
  }
  ASSERT_TRUE(engine.pushParamNormalized(1, 5, 0.4));  // mode 2: major triads
  runBlock(engine, 128);
  EXPECT_EQ(midiOutOf(engine), expectedOn);

  // An all-notes-off at one frame, beside notes at earlier frames of the same chunk.
  for (int n = 0; n < 70; ++n) ASSERT_TRUE(engine.pushNoteOff(n, 200, 0, 0));
  for (int n = 127; n > 80; --n) ASSERT_TRUE(engine.pushNoteOff(n, 150, 0, 0));  // not held
  runBlock(engine, 256);
  EXPECT_EQ(midiOutOf(engine), expectedOff);
  EXPECT_FALSE(engine.blockFailed());
  engine.drainRuntimeDiagnostics();
  EXPECT_THAT(diagnosticsOf(engine), IsEmpty());
}

TEST(KernelEngineBlock, SwitchingTheGeneratorReleasesWhatTheKernelForgets) {
  KernelEngine engine;
  ASSERT_TRUE(engine.setup(48000, 512));
  engine.setParamValue(1, 2);  // major triad
  engine.pushNoteOn(60, 1.0, 0, 0, 0);
  runBlock(engine, 128);
  ASSERT_EQ(engine.midiOutCount(), 3);

  // Switched off at frame 10: the held chord is released there; a note then passes through.
  engine.pushParamNormalized(0, 10, 0.0);
  engine.pushNoteOn(62, 1.0, 20, 0, 0);
  runBlock(engine, 128);
  EXPECT_THAT(midiOutOf(engine),
              ElementsAre(noteOff(10, 60), noteOff(10, 64), noteOff(10, 67), noteOn(20, 62, 127)));

  // The old chord's key comes up (nothing left to release); switched on at frame 5, the
  // passed-through note is released, since the generator will never release it.
  engine.pushNoteOff(60, 0, 0, 0);
  engine.pushParamNormalized(0, 5, 1.0);
  engine.pushNoteOff(62, 6, 0, 0);
  runBlock(engine, 128);
  EXPECT_THAT(midiOutOf(engine), ElementsAre(noteOff(5, 62)));
}

TEST(KernelEngineBlock, RetriggeredRootReleasesItsOldChordFirst) {
  KernelEngine engine;
  ASSERT_TRUE(engine.setup(48000, 512));
  engine.pushNoteOn(60, 1.0, 0, 0, 0);
  engine.pushParamNormalized(1, 10, 0.4);  // major triad from frame 10
  engine.pushNoteOn(60, 0.5, 10, 0, 0);
  engine.pushNoteOff(60, 20, 0, 0);
  engine.pushNoteOff(60, 30, 0, 0);  // a second release finds nothing
  runBlock(engine, 128);
  EXPECT_THAT(midiOutOf(engine),
              ElementsAre(noteOn(0, 60, 127), noteOn(0, 72, 102), noteOff(10, 60), noteOff(10, 72),
                          noteOn(10, 60, 64), noteOn(10, 64, 51), noteOn(10, 67, 51),
                          noteOff(20, 60), noteOff(20, 64), noteOff(20, 67)));
  engine.drainRuntimeDiagnostics();
  EXPECT_THAT(diagnosticsOf(engine), IsEmpty());
}

// The chord kernel with one chosen pushed event refused (status 2), whichever way it is pushed:
// the bulk push is the single push in a loop that stops at the first refusal.
struct RefusingKernel {
  static inline int pushed = 0;
  static inline int refuseAt = -1;

  static double pushEvent(std::uint32_t handle, std::uint32_t kind, std::uint32_t frame,
                          std::uint32_t index, double value) {
    if (pushed++ == refuseAt) return 2.0;
    return chordKernelEntryPoints().pushEvent(handle, kind, frame, index, value);
  }
  static double pushEvents(std::uint32_t handle, const KernelInputEvent* events,
                           std::uint32_t count, double* refusal) {
    for (std::uint32_t i = 0; i < count; ++i) {
      const double status =
          pushEvent(handle, events[i].kind, events[i].frame, events[i].index, events[i].value);
      if (status != 0.0) {
        *refusal = status;
        return i;
      }
    }
    *refusal = 0.0;
    return count;
  }
};

// A chunk's notes go to the kernel in one call when the kernel offers one. Whichever kernel
// event is refused (a note, a retriggered root's release or its note-on), the outputs, the
// diagnostics, the kernel events and the roots still held in the next block are those of one
// push per event.
TEST(KernelEngineBlock, BulkPushSendsWhatOnePushPerEventSends) {
  KernelEntryPoints bulk = chordKernelEntryPoints();
  bulk.pushEvent = &RefusingKernel::pushEvent;
  bulk.pushEvents = &RefusingKernel::pushEvents;
  KernelEntryPoints single = bulk;
  single.pushEvents = nullptr;
  struct Note {
    bool on;
    int pitch;
    double velocity;
    int frame;
  };
  struct StreamCase {
    const char* what;
    std::vector<Note> first;  // first block; the second releases pitches 48 to 72
    int kernelEvents;         // what the first block pushes
    bool refusedAnyway;       // the chord kernel itself refuses some
  };
  const std::vector<StreamCase> cases = {
      {"chords across chunks",
       {{true, 60, 1.0, 0}, {true, 64, 0.5, 3}, {false, 60, 0, 130}},
       3,
       false},
      {"retriggered roots",
       {{true, 60, 1.0, 0}, {true, 60, 0.5, 5}, {true, 60, 0.7, 5}, {false, 60, 0, 9}},
       6,
       false},
      {"notes the kernel refuses anyway",
       {{true, 48, 1.0, 1}, {false, 200, 0, 2}, {true, 48, 1.5, 3}, {true, 50, 0.4, 4}},
       5,
       true},
  };
  for (const StreamCase& c : cases) {
    for (int refuseAt = -1; refuseAt < c.kernelEvents; ++refuseAt) {
      SCOPED_TRACE(std::string(c.what) + ", kernel event refused: " + std::to_string(refuseAt));
      std::vector<std::vector<MidiOutEvent>> outputs[2];
      std::vector<DiagnosticSummary> diagnostics[2];
      int kernelEvents[2] = {};
      for (int way = 0; way < 2; ++way) {
        KernelEngine engine(way == 0 ? bulk : single);
        ASSERT_TRUE(engine.setup(48000, 512));
        RefusingKernel::pushed = 0;
        RefusingKernel::refuseAt = refuseAt;
        for (const Note& n : c.first) {
          if (n.on) engine.pushNoteOn(n.pitch, n.velocity, n.frame, 0, 0);
          if (!n.on) engine.pushNoteOff(n.pitch, n.frame, 0, 0);
        }
        runBlock(engine, 256);
        outputs[way].push_back(midiOutOf(engine));
        RefusingKernel::refuseAt = -1;
        for (int pitch = 48; pitch <= 72; ++pitch) engine.pushNoteOn(pitch, 1.0, 0, 0, 0);
        for (int pitch = 48; pitch <= 72; ++pitch) engine.pushNoteOff(pitch, 1, 0, 0);
        runBlock(engine, 64);
        outputs[way].push_back(midiOutOf(engine));
        engine.drainRuntimeDiagnostics();
        diagnostics[way] = diagnosticsOf(engine);
        kernelEvents[way] = RefusingKernel::pushed;
      }
      EXPECT_EQ(outputs[0], outputs[1]);
      EXPECT_EQ(diagnostics[0], diagnostics[1]);
      EXPECT_EQ(kernelEvents[0], kernelEvents[1]);
      EXPECT_EQ(diagnostics[0].empty(), refuseAt < 0 && !c.refusedAnyway);
    }
  }
}

TEST(KernelEngineBlock, EventsOutsideTheBlockAreNeverSent) {
  KernelEngine engine;
  ASSERT_TRUE(engine.setup(48000, 512));
  engine.pushNoteOn(50, 1.0, -1, 0, 0);
  engine.pushNoteOn(51, 1.0, 64, 0, 0);
  engine.pushNoteOn(52, 1.0, 64, 0, 0);  // frame == block length
  runBlock(engine, 64);
  EXPECT_THAT(midiOutOf(engine), IsEmpty());
  EXPECT_FALSE(engine.blockFailed());
  EXPECT_EQ(engine.queuedEventCount(), 0);
}

TEST(KernelEngineBlock, ZeroFrameBlockOnlyAppliesParameters) {
  KernelEngine engine;
  ASSERT_TRUE(engine.setup(48000, 512));
  engine.pushNoteOn(60, 1.0, 0, 0, 0);
  runBlock(engine, 16);
  ASSERT_EQ(engine.midiOutCount(), 2);

  engine.pushParamNormalized(1, 0, 0.2);  // mode 1
  engine.pushParamNormalized(1, 3, 0.4);  // mode 2, later in the queue: wins
  engine.pushNoteOn(64, 1.0, 0, 0, 0);
  runBlock(engine, 0);
  EXPECT_EQ(engine.paramValue(1), 2.0);
  EXPECT_EQ(engine.queuedEventCount(), 0);
  EXPECT_EQ(engine.midiOutCount(), 0);  // the previous block's notes are not handed out again
  EXPECT_FALSE(engine.blockFailed());

  // The next real block plays with the new mode.
  engine.pushNoteOn(62, 1.0, 1, 0, 0);
  runBlock(engine, 16);
  EXPECT_THAT(midiOutOf(engine),
              ElementsAre(noteOn(1, 62, 127), noteOn(1, 66, 102), noteOn(1, 69, 102)));
}

TEST(KernelEngineBlock, FailuresBeforeTheChunkLoopSendNothing) {
  KernelEngine engine;
  float left[8], right[8];
  float* outputs[] = {left, nullptr, right};
  std::fill(std::begin(left), std::end(left), 1.0f);
  std::fill(std::begin(right), std::end(right), 1.0f);

  // Not set up: the block fails (fatal), outputs are cleared.
  engine.pushNoteOn(60, 1.0, 0, 0, 0);
  engine.processBlock(nullptr, 0, outputs, 3, 8);
  EXPECT_TRUE(engine.blockFailed());
  EXPECT_TRUE(engine.blockDone());
  EXPECT_EQ(engine.queuedEventCount(), 0);
  EXPECT_EQ(left[7], 0.0f);
  EXPECT_EQ(right[0], 0.0f);

  // Larger than declared: fails with severity error.
  ASSERT_TRUE(engine.setup(48000, 256));
  engine.pushNoteOn(60, 1.0, 0, 0, 0);
  runBlock(engine, 257);
  EXPECT_TRUE(engine.blockFailed());
  EXPECT_EQ(engine.midiOutCount(), 0);
  EXPECT_EQ(engine.queuedEventCount(), 0);

  engine.drainRuntimeDiagnostics();
  EXPECT_THAT(diagnosticsOf(engine),
              ElementsAre(DiagnosticSummary{4, 3, 7, kDrainedProcessFailure, "audio callback"},
                          DiagnosticSummary{4, 2, 7, kDrainedProcessFailure, "audio callback"}));
}

TEST(KernelEngineBlock, OutputChannelRequestIsRefusedAndReportedOncePerProcess) {
  // The standard-error line is once per process: check it in a child process.
  char logPath[] = "/tmp/norvo-engine-stderr-XXXXXX";
  const int logFd = mkstemp(logPath);
  ASSERT_GE(logFd, 0);
  const int rc = test::runInChildProcess([&] {
    dup2(logFd, 2);
    KernelEngine engine;
    if (!engine.setup(48000, 512)) return 2;
    float channel[4] = {1, 1, 1, 1};
    float* outputs[] = {channel, nullptr};
    engine.pushNoteOn(60, 1.0, 0, 0, 0);
    engine.processBlock(nullptr, 0, outputs, 2, 4);
    const bool refused = engine.blockFailed() && engine.blockDone() && engine.midiOutCount() == 0 &&
                         engine.queuedEventCount() == 0 && channel[3] == 0.0f;
    engine.processBlock(nullptr, 0, outputs, 1, 4);
    return refused && engine.blockFailed() ? 0 : 3;
  });
  close(logFd);
  EXPECT_EQ(rc, 0);
  EXPECT_EQ(test::readWholeFile(logPath),
            "norvo kernel_engine: processBlock requested 2 output channel(s) from a build that "
            "declares 0; refusing rather than reading the null planar output view an event-only "
            "product legally has\n");
  std::remove(logPath);
}

// ---------------------------------------------------------------------------------------------
// Queueing and parameter operations

// Every note-on in the engine's output is released by exactly one later note-off; true when
// nothing is left sounding.
::testing::AssertionResult releasesBalance(const KernelEngine& engine, bool sounding[128]) {
  for (const MidiOutEvent& e : midiOutOf(engine)) {
    const bool on = (e.status & 0xF0) == kMidiStatusNoteOn && e.data2 > 0;
    if (on == sounding[e.data1])
      return ::testing::AssertionFailure() << (on ? "second note-on" : "note-off without note-on")
                                           << " for " << int{e.data1} << " at frame " << e.frame;
    sounding[e.data1] = on;
  }
  return ::testing::AssertionSuccess();
}

TEST(KernelEngineQueue, KeepsTheLastSlotsForNoteOffsAndCountsEveryRefusal) {
  KernelEngine engine;
  ASSERT_TRUE(engine.setup(48000, 512));
  const int forAnyEvent = kEngineEventCapacity - kEngineReleaseReserve;
  for (int i = 0; i < forAnyEvent; ++i) ASSERT_TRUE(engine.pushNoteOn(60, 1.0, 0, 0, 0)) << i;
  EXPECT_FALSE(engine.pushNoteOn(60, 1.0, 0, 0, 0));
  EXPECT_FALSE(engine.pushParamNormalized(0, 0, 1.0));
  EXPECT_FALSE(engine.pushController(1, 1, 0, 0, 0));
  EXPECT_EQ(engine.droppedInputEvents(), 3u);
  for (int i = forAnyEvent; i < kEngineEventCapacity; ++i)
    ASSERT_TRUE(engine.pushNoteOff(60, 0, 0, 0)) << i;
  EXPECT_FALSE(engine.pushNoteOff(60, 0, 0, 0));  // the 2049th event
  EXPECT_EQ(engine.queuedEventCount(), kEngineEventCapacity);
  EXPECT_EQ(engine.droppedInputEvents(), 4u);

  // Reported once for the block, as an error since a note-off was among them. The 1536
  // retriggers then send more notes than the output list holds: those note-ons are dropped
  // (one warning), never a note-off.
  runBlock(engine, 64);
  EXPECT_GT(engine.droppedOutputEvents(), 0u);
  bool sounding[128] = {};
  EXPECT_TRUE(releasesBalance(engine, sounding));
  engine.drainRuntimeDiagnostics();
  EXPECT_THAT(diagnosticsOf(engine),
              ElementsAre(DiagnosticSummary{22, 2, 7, kDrainedOther, "audio callback"},
                          DiagnosticSummary{22, 1, 7, kDrainedOther, "audio callback"}));
}

TEST(KernelEngineQueue, FloodOfNoteOnsAndTheirNoteOffsLeavesNothingSounding) {
  for (int mode : {0, 5}) {
    SCOPED_TRACE("mode " + std::to_string(mode));
    KernelEngine engine;
    ASSERT_TRUE(engine.setup(48000, 4096));
    engine.setParamValue(1, mode);
    for (int i = 0; i < 1000; ++i) ASSERT_TRUE(engine.pushNoteOn(i % 128, 0.8, i / 4, 0, 0));
    for (int i = 0; i < 1000; ++i) ASSERT_TRUE(engine.pushNoteOff(i % 128, 300 + i / 4, 0, 0));
    runBlock(engine, 4096);
    bool sounding[128] = {};
    EXPECT_TRUE(releasesBalance(engine, sounding));
    for (int p = 0; p < 128; ++p) EXPECT_FALSE(sounding[p]) << "still sounding: " << p;
    EXPECT_EQ(engine.midiOutCount() <= kMidiOutCapacity, true);
    EXPECT_EQ(engine.droppedInputEvents(), 0u);
  }
}

TEST(KernelEngineQueue, RefusesInvalidParameterIdsAndControllers) {
  KernelEngine engine;
  EXPECT_FALSE(engine.pushParamNormalized(4, 0, 0.5));
  EXPECT_FALSE(engine.pushController(128, 0, 0, 0, 0));
  EXPECT_FALSE(engine.pushController(7, 128, 0, 0, 0));
  EXPECT_FALSE(engine.pushController(-1, 0, 0, 0, 0));
  EXPECT_EQ(engine.queuedEventCount(), 0);
  EXPECT_TRUE(engine.pushController(127, 127, 0, 0, 0));
}

TEST(KernelEngineParameters, PlainValuesFromNormalizedOnesAndBack) {
  KernelEngine engine;
  EXPECT_EQ(engine.paramValue(0), 1.0);
  EXPECT_EQ(engine.paramValue(1), 0.0);
  EXPECT_EQ(engine.paramValue(2), 0.0);
  EXPECT_EQ(engine.paramValue(3), 0.8);
  EXPECT_EQ(engine.paramValue(4), 0.0);

  engine.pushParamNormalized(2, 0, 0.375);  // -0.5, quantized up to 0
  engine.pushParamNormalized(2, 1, 0.125);  // -1.5, quantized up to -1; applied last
  engine.pushParamNormalized(0, 2, 0.49);
  engine.pushParamNormalized(3, 3, 1.7);
  engine.flushParameterEvents();
  EXPECT_EQ(engine.queuedEventCount(), 0);
  EXPECT_EQ(engine.paramValue(2), -1.0);
  EXPECT_EQ(engine.paramValue(0), 0.0);
  EXPECT_EQ(engine.paramValue(3), 1.0);

  EXPECT_EQ(engine.paramNormalized(2), 0.25);
  engine.setParamValue(1, 7);
  EXPECT_EQ(engine.paramNormalized(1), 1.0);
  EXPECT_EQ(engine.paramNormalized(4), 0.0);
  engine.setParamValue(9, 1);  // ignored
  EXPECT_EQ(engine.paramValue(9), 0.0);
}

TEST(KernelEngineParameters, VariationIsClampedAndReset) {
  KernelEngine engine;
  EXPECT_EQ(engine.variation(), 16);
  engine.setVariation(25);
  EXPECT_EQ(engine.variation(), 19);
  engine.setVariation(-4);
  EXPECT_EQ(engine.variation(), 0);
  engine.setVariation(7);
  engine.setParamValue(3, 0.25);
  engine.resetParams();
  EXPECT_EQ(engine.variation(), 16);
  EXPECT_EQ(engine.paramValue(3), 0.8);
}

TEST(KernelEngineParameters, ResetParamsForgetsHeldChordsAndQueuedEvents) {
  KernelEngine engine;
  ASSERT_TRUE(engine.setup(48000, 512));
  engine.setParamValue(1, 2);
  engine.pushNoteOn(60, 1.0, 0, 0, 0);
  runBlock(engine, 16);
  ASSERT_EQ(engine.midiOutCount(), 3);

  engine.pushNoteOn(70, 1.0, 0, 0, 0);
  engine.resetParams();
  EXPECT_EQ(engine.queuedEventCount(), 0);
  EXPECT_EQ(engine.midiOutCount(), 0);
  EXPECT_EQ(engine.paramValue(1), 0.0);

  // The kernel forgot the chord: its notes are released at the start of the next block (the
  // note-off releases nothing more), and mode 0 plays again.
  engine.pushNoteOff(60, 0, 0, 0);
  engine.pushNoteOn(62, 1.0, 1, 0, 0);
  runBlock(engine, 16);
  EXPECT_THAT(midiOutOf(engine), ElementsAre(noteOff(0, 60), noteOff(0, 64), noteOff(0, 67),
                                             noteOn(1, 62, 127), noteOn(1, 74, 102)));
}

TEST(KernelEngineRender, CopiesAndClearsAudioBuffers) {
  KernelEngine engine;
  float source[4] = {1, 2, 3, 4};
  float destination[4] = {};
  engine.renderChannel(source, destination, 3);
  EXPECT_THAT(destination, ElementsAre(1, 2, 3, 0));
  engine.renderChannel(source, source, 4);
  EXPECT_THAT(source, ElementsAre(1, 2, 3, 4));

  float* channels[] = {source, nullptr, destination};
  engine.renderInstrumentBlock(channels, 3, 2);
  EXPECT_THAT(source, ElementsAre(0, 0, 3, 4));
  EXPECT_THAT(destination, ElementsAre(0, 0, 3, 0));
  engine.renderInstrumentBlock(channels, 3, 4);
  EXPECT_EQ(engine.renderedFrames(), 6u);
}

// ---------------------------------------------------------------------------------------------
// Against the scripted kernel

class KernelEngineScripted : public ::testing::Test {
 protected:
  void SetUp() override { fakeKernel() = test::FakeKernelState{}; }

  std::vector<FakeKernelCall> pushes() const { return fakeKernel().pushes; }
};

TEST_F(KernelEngineScripted, FallsBackTo48kWhenTheHostRateIsRefused) {
  fakeKernel().refuseHostRate = true;
  KernelEngine engine(fakeKernelEntryPoints());
  ASSERT_TRUE(engine.setup(44100, 512));
  EXPECT_THAT(fakeKernel().createRates, ElementsAre(44100.0, 48000.0));
  EXPECT_TRUE(engine.rateConverted());
  EXPECT_EQ(engine.latencySamples(), 35);
  EXPECT_EQ(engine.hostRate(), 44100.0);

  // A refused format clears the flag with everything else.
  EXPECT_FALSE(engine.setup(44100, 0));
  EXPECT_FALSE(engine.rateConverted());
  EXPECT_EQ(engine.latencySamples(), 0);

  // At 48000 Hz the first attempt already runs at the kernel's rate.
  fakeKernel().createRates.clear();
  ASSERT_TRUE(engine.setup(48000, 512));
  EXPECT_THAT(fakeKernel().createRates, ElementsAre(48000.0));
  EXPECT_FALSE(engine.rateConverted());
  EXPECT_EQ(engine.latencySamples(), 0);
}

TEST_F(KernelEngineScripted, BothCreationsRefusedLeaveTheEngineNotReady) {
  fakeKernel().refuseAll = true;
  KernelEngine engine(fakeKernelEntryPoints());
  StderrCapture capture;
  EXPECT_FALSE(engine.setup(96000, 512));
  EXPECT_EQ(capture.take(), "norvo-plugin-shell: kernel setup failed at 96000 Hz\n");
  EXPECT_THAT(fakeKernel().createRates, ElementsAre(96000.0, 48000.0));
  EXPECT_FALSE(engine.rateConverted());
  EXPECT_EQ(engine.instanceToken(), 0u);
}

TEST_F(KernelEngineScripted, SetupAgainDestroysTheOldInstance) {
  {
    KernelEngine engine(fakeKernelEntryPoints());
    ASSERT_TRUE(engine.setup(48000, 512));
    const std::uint32_t first = engine.instanceToken();
    ASSERT_TRUE(engine.setup(48000, 512));
    EXPECT_THAT(fakeKernel().destroyed, ElementsAre(first));
    // A refused format keeps the instance until the next set-up or the end.
    EXPECT_FALSE(engine.setup(48000, 0));
    EXPECT_EQ(fakeKernel().destroyed.size(), 1u);
  }
  EXPECT_EQ(fakeKernel().destroyed.size(), 2u);
}

TEST_F(KernelEngineScripted, CutsBlocksIntoChunksOfAtMost128Frames) {
  KernelEngine engine(fakeKernelEntryPoints());
  ASSERT_TRUE(engine.setup(48000, 512));
  engine.pushNoteOn(60, 0.5, 200, 0, 0);
  runBlock(engine, 300);
  EXPECT_THAT(fakeKernel().processFrames, ElementsAre(128u, 128u, 44u));
  EXPECT_THAT(pushes(), ElementsAre(FakeKernelCall{2, 72, 60, 0.5}));
}

TEST_F(KernelEngineScripted, SendsEventsInStableFrameOrderWithKernelKinds) {
  KernelEngine engine(fakeKernelEntryPoints());
  ASSERT_TRUE(engine.setup(48000, 512));
  engine.pushNoteOff(61, 130, 0, 0);
  engine.pushNoteOn(62, 0.25, 5, 0, 3);
  engine.pushController(7, 99, 5, 0, 0);  // queued, but never sent to this kernel
  engine.pushParamNormalized(1, 5, 1.0);
  engine.pushNoteOn(63, 0.75, 5, 0, 0);
  runBlock(engine, 256);
  EXPECT_THAT(pushes(), ElementsAre(FakeKernelCall{2, 5, 62, 0.25}, FakeKernelCall{1, 5, 1, 5.0},
                                    FakeKernelCall{2, 5, 63, 0.75}, FakeKernelCall{3, 2, 61, 0.0}));
}

TEST_F(KernelEngineScripted, RepublishesChangedParametersAtFrameZero) {
  KernelEngine engine(fakeKernelEntryPoints());
  ASSERT_TRUE(engine.setup(48000, 512));
  runBlock(engine, 64);
  EXPECT_THAT(pushes(), IsEmpty());  // values equal the kernel's defaults

  engine.setParamValue(1, 3);
  engine.setParamValue(3, 0.5);
  engine.pushNoteOn(60, 1.0, 0, 0, 0);
  runBlock(engine, 64);
  EXPECT_THAT(pushes(), ElementsAre(FakeKernelCall{1, 0, 1, 3.0}, FakeKernelCall{1, 0, 3, 0.5},
                                    FakeKernelCall{2, 0, 60, 1.0}));

  // Once accepted, nothing is sent again.
  fakeKernel().pushes.clear();
  runBlock(engine, 64);
  EXPECT_THAT(pushes(), IsEmpty());
}

TEST_F(KernelEngineScripted, BlockThatSetsAParameterAtFrameZeroIsNotOverwritten) {
  KernelEngine engine(fakeKernelEntryPoints());
  ASSERT_TRUE(engine.setup(48000, 512));
  engine.setParamValue(1, 3);
  engine.setParamValue(2, 1);
  engine.pushParamNormalized(1, 0, 0.2);  // mode 1 at frame 0
  runBlock(engine, 64);
  EXPECT_THAT(pushes(), ElementsAre(FakeKernelCall{1, 0, 2, 1.0}, FakeKernelCall{1, 0, 1, 1.0}));
  EXPECT_EQ(engine.paramValue(1), 1.0);
}

TEST_F(KernelEngineScripted, RefusedParameterIsRetriedAtTheNextChunk) {
  KernelEngine engine(fakeKernelEntryPoints());
  ASSERT_TRUE(engine.setup(48000, 512));
  engine.setParamValue(1, 4);
  fakeKernel().pushStatus = 3;
  runBlock(engine, 128);
  fakeKernel().pushStatus = 0;
  runBlock(engine, 128);
  EXPECT_THAT(pushes(), ElementsAre(FakeKernelCall{1, 0, 1, 4.0}, FakeKernelCall{1, 0, 1, 4.0}));
  fakeKernel().pushes.clear();
  runBlock(engine, 128);
  EXPECT_THAT(pushes(), IsEmpty());
}

TEST_F(KernelEngineScripted, FailedChunkSkipsItsOutputsAndTheNextChunkStillRuns) {
  KernelEngine engine(fakeKernelEntryPoints());
  ASSERT_TRUE(engine.setup(48000, 512));
  fakeKernel().processStatuses = {0, 2, 0};
  fakeKernel().outputs = {{2, 3, 60, 0.5}, {3, 200, 60, 0.0}, {1, 0, 0, 0}};
  runBlock(engine, 300);
  EXPECT_THAT(midiOutOf(engine), ElementsAre(noteOn(3, 60, 64), noteOff(127, 60),
                                             noteOn(259, 60, 64), noteOff(299, 60)));
  EXPECT_TRUE(engine.blockFailed());
  EXPECT_TRUE(engine.blockDone());
  engine.drainRuntimeDiagnostics();
  EXPECT_THAT(diagnosticsOf(engine),
              ElementsAre(DiagnosticSummary{4, 2, 7, kDrainedProcessFailure, "audio callback"}));
}

TEST_F(KernelEngineScripted, BurstBeyondTheKernelQueueRunsAsSeveralKernelCalls) {
  KernelEngine engine(fakeKernelEntryPoints());
  ASSERT_TRUE(engine.setup(48000, 512));
  // Exactly 64 events in a chunk: one call, as for any ordinary chunk.
  for (int i = 0; i < 64; ++i) engine.pushNoteOff(i, 0, 0, 0);
  runBlock(engine, 128);
  EXPECT_THAT(fakeKernel().processFrames, ElementsAre(128u));

  // 70 notes at frame 50, then a parameter change at that frame and a note later on.
  fakeKernel() = test::FakeKernelState{};
  engine.pushNoteOn(1, 1.0, 3, 0, 0);
  for (int i = 0; i < 70; ++i) engine.pushNoteOff(i, 50, 0, 0);
  engine.pushParamNormalized(1, 50, 0.2);
  engine.pushNoteOn(90, 0.5, 90, 0, 0);
  runBlock(engine, 128);
  // Frames 0..49 with the early note, one frame for the first 64 events of frame 50, then the
  // rest of the chunk from frame 50 on.
  EXPECT_THAT(fakeKernel().processFrames, ElementsAre(50u, 1u, 78u));
  EXPECT_THAT(fakeKernel().pushesAtProcess, ElementsAre(1u, 65u, 73u));
  const std::vector<FakeKernelCall> sent = pushes();
  ASSERT_EQ(sent.size(), 73u);
  EXPECT_EQ(sent[0], (FakeKernelCall{2, 3, 1, 1.0}));
  EXPECT_EQ(sent[1], (FakeKernelCall{1, 0, 1, 1.0}));  // the frame's parameter change first
  for (int i = 0; i < 70; ++i)
    EXPECT_EQ(sent[2 + i], (FakeKernelCall{3, 0, static_cast<std::uint32_t>(i), 0.0}));
  EXPECT_EQ(sent[72], (FakeKernelCall{2, 40, 90, 0.5}));
  EXPECT_FALSE(engine.blockFailed());

  // Outputs of each call land at the call's own host frames.
  fakeKernel() = test::FakeKernelState{};
  fakeKernel().outputs = {{2, 0, 60, 1.0}, {3, 500, 60, 0.0}};
  for (int i = 0; i < 65; ++i) engine.pushNoteOff(i, 130, 0, 0);
  runBlock(engine, 256);
  EXPECT_THAT(fakeKernel().processFrames, ElementsAre(128u, 2u, 1u, 126u));
  EXPECT_THAT(
      midiOutOf(engine),
      ElementsAre(noteOn(0, 60, 127), noteOff(127, 60), noteOn(128, 60, 127), noteOff(129, 60),
                  noteOn(130, 60, 127), noteOff(130, 60), noteOn(130, 60, 127), noteOff(255, 60)));
}

TEST_F(KernelEngineScripted, OutputListHoldsAtMost2048Records) {
  KernelEngine engine(fakeKernelEntryPoints());
  ASSERT_TRUE(engine.setup(48000, 16384));
  // Every kernel call sends 128 different notes on and off again: 256 records per call.
  for (int i = 0; i < 128; ++i) fakeKernel().outputs.push_back({2, 0, static_cast<double>(i), 1.0});
  for (int i = 0; i < 128; ++i) fakeKernel().outputs.push_back({3, 1, static_cast<double>(i), 0});
  runBlock(engine, 16384);
  EXPECT_EQ(fakeKernel().processFrames.size(), 128u);
  EXPECT_EQ(engine.midiOutCount(), kMidiOutCapacity);
  EXPECT_EQ(engine.midiOut()[kMidiOutCapacity - 1].frame, 7 * 128 + 1);
}

}  // namespace
}  // namespace norvo
