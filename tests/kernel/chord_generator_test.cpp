// The chord generator's musical behaviour, driven through the kernel's flat interface, plus
// the output-buffer limits that only the generator itself can reach.
#include "kernel/chord_generator.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

#include "kernel/kernel_test_support.h"

namespace norvo::test {
namespace {

enum Param : std::uint32_t { kOn = 0, kMode = 1, kSpread = 2, kVelocity = 3 };

class ChordTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(K(runtime_init)(), 0.0);
    handle_ = createDefault();
    ASSERT_NE(handle_, 0u);
  }

  void param(std::uint32_t index, double value, std::uint32_t frame = 0) {
    ASSERT_EQ(K(push_event)(handle_, 1, frame, index, value), 0.0);
  }
  void on(int note, double velocity, std::uint32_t frame = 0) {
    ASSERT_EQ(K(push_event)(handle_, 2, frame, static_cast<std::uint32_t>(note), velocity), 0.0);
  }
  void off(int note, std::uint32_t frame = 0) {
    ASSERT_EQ(K(push_event)(handle_, 3, frame, static_cast<std::uint32_t>(note), 0.0), 0.0);
  }
  std::vector<KernelOutput> run(std::uint32_t frames = 128) {
    EXPECT_EQ(K(process)(handle_, frames), 0.0);
    return readOutputs(handle_);
  }

  std::uint32_t handle_ = 0;
};

struct ModeCase {
  int mode;
  std::vector<int> notes;
};

TEST_F(ChordTest, EachModeSendsItsChordAndTheNoteOffReleasesItInOrder) {
  const std::vector<ModeCase> cases = {{0, {60, 72}},     {1, {60, 67}},     {2, {60, 64, 67}},
                                       {3, {60, 63, 67}}, {4, {60, 65, 67}}, {5, {60, 64, 67, 70}}};
  const double added = 102.0 / 127.0;  // 1.0 * 127 * 0.8 = 101.6 rounds to 102
  for (const ModeCase& c : cases) {
    SCOPED_TRACE(c.mode);
    param(kMode, c.mode, 5);
    on(60, 1.0, 5);
    std::vector<KernelOutput> expectedOn;
    std::vector<KernelOutput> expectedOff;
    for (std::size_t i = 0; i < c.notes.size(); ++i) {
      expectedOn.push_back(noteOn(c.notes[i], i == 0 ? 1.0 : added, 5));
      expectedOff.push_back(noteOff(c.notes[i], 9));
    }
    EXPECT_EQ(run(), expectedOn);
    off(60, 9);
    EXPECT_EQ(run(), expectedOff);
  }
}

TEST_F(ChordTest, MajorChordSpreadUpAnOctaveWithScaledVelocity) {
  param(kMode, 2, 17);
  param(kSpread, 1, 17);
  on(60, 0.5, 17);
  const double added = 51.0 / 127.0;  // 0.5 * 127 * 0.8 = 50.8
  EXPECT_EQ(run(), (std::vector<KernelOutput>{noteOn(60, 0.5, 17), noteOn(76, added, 17),
                                              noteOn(79, added, 17)}));
  off(60, 3);
  EXPECT_EQ(run(), (std::vector<KernelOutput>{noteOff(60, 3), noteOff(76, 3), noteOff(79, 3)}));
}

TEST_F(ChordTest, NotesOutsideTheMidiRangeAreSkippedAndNotRecorded) {
  on(120, 1.0);  // mode 0: the octave 132 is out of range
  EXPECT_EQ(run(), (std::vector<KernelOutput>{noteOn(120, 1.0, 0)}));
  off(120);
  EXPECT_EQ(run(), (std::vector<KernelOutput>{noteOff(120, 0)}));

  param(kMode, 2);
  param(kSpread, -2);
  on(10, 1.0);  // 14 - 24 and 17 - 24 are below 0
  EXPECT_EQ(run(), (std::vector<KernelOutput>{noteOn(10, 1.0, 0)}));
  off(10);
  EXPECT_EQ(run(), (std::vector<KernelOutput>{noteOff(10, 0)}));
}

struct VelocityCase {
  double velocity;
  double scale;
  double added;
};

TEST_F(ChordTest, AddedNotesCarryTheScaledRoundedVelocityAndTheRootItsOwn) {
  const std::vector<VelocityCase> cases = {
      {1.0, 0.0, 1.0 / 127.0},   // floor of 1
      {1.0, 1.0, 1.0},           // exactly 1
      {0.5, 1.0, 64.0 / 127.0},  // 63.5 rounds half up
      {0.0, 0.5, 1.0 / 127.0},   // silent root still gives audible added notes
      {2.5, 0.8, 1.0},           // high-range root value: added notes clamp to 127
  };
  for (const VelocityCase& c : cases) {
    SCOPED_TRACE(testing::Message() << c.velocity << " x " << c.scale);
    param(kVelocity, c.scale);
    on(60, c.velocity);
    EXPECT_EQ(run(),
              (std::vector<KernelOutput>{noteOn(60, c.velocity, 0), noteOn(72, c.added, 0)}));
  }
}

struct RoundingCase {
  std::uint32_t index;
  double value;
  std::vector<int> chord;  // notes sent for root 60
};

TEST_F(ChordTest, ModeAndSpreadValuesAreClampedAndRoundedHalfUp) {
  const std::vector<RoundingCase> cases = {
      {kMode, 2.5, {60, 63, 67}},         // mode 3
      {kMode, 2.49, {60, 64, 67}},        // mode 2
      {kMode, -1.0, {60, 72}},            // mode 0
      {kMode, 9.0, {60, 64, 67, 70}},     // mode 5
      {kSpread, 1.5, {60, 88, 91, 94}},   // spread 2 (mode stays 5 from the case before)
      {kSpread, -0.5, {60, 64, 67, 70}},  // spread -0: no shift
      {kSpread, -7.0, {60, 40, 43, 46}},  // spread -2
  };
  for (const RoundingCase& c : cases) {
    SCOPED_TRACE(testing::Message() << c.index << " = " << c.value);
    param(c.index, c.value);
    on(60, 1.0);
    std::vector<int> notes;
    for (const KernelOutput& o : run()) notes.push_back(o.note);
    EXPECT_EQ(notes, c.chord);
    off(60);
    run();
  }
}

TEST_F(ChordTest, SwitchedOffNotesPassThroughUnchanged) {
  param(kOn, 0.49);
  on(64, 0.3);
  EXPECT_EQ(run(), (std::vector<KernelOutput>{noteOn(64, 0.3, 0)}));
  off(64, 7);
  EXPECT_EQ(run(), (std::vector<KernelOutput>{noteOff(64, 7)}));
  param(kOn, 0.5);
  on(64, 0.3);
  EXPECT_EQ(run().size(), 2u);
}

TEST_F(ChordTest, SwitchingOffForgetsHeldChordsWithoutNoteOffs) {
  param(kMode, 2);
  on(60, 1.0);
  ASSERT_EQ(run().size(), 3u);
  param(kOn, 0);
  EXPECT_TRUE(run().empty());
  off(60);  // released while off: passes through alone
  EXPECT_EQ(run(), (std::vector<KernelOutput>{noteOff(60, 0)}));
}

TEST_F(ChordTest, NotePlayedWhileOffAndReleasedWhileOnSendsNothing) {
  param(kOn, 0);
  on(60, 1.0);
  ASSERT_EQ(run().size(), 1u);
  param(kOn, 1);
  off(60);
  EXPECT_TRUE(run().empty());
}

TEST_F(ChordTest, NoteOffReleasesWhatWasSentEvenAfterModeAndSpreadChange) {
  param(kMode, 5);
  on(60, 1.0);
  ASSERT_EQ(run().size(), 4u);
  param(kMode, 0);
  param(kSpread, 2);
  off(60);
  EXPECT_EQ(run(), (std::vector<KernelOutput>{noteOff(60, 0), noteOff(64, 0), noteOff(67, 0),
                                              noteOff(70, 0)}));
  off(60);  // a second release finds an empty ledger
  EXPECT_TRUE(run().empty());
}

TEST_F(ChordTest, SecondNoteOnForAHeldRootOverwritesItsLedger) {
  param(kMode, 5);
  on(60, 1.0);
  ASSERT_EQ(run().size(), 4u);
  param(kMode, 1);
  on(60, 1.0);
  ASSERT_EQ(run().size(), 2u);
  off(60);
  EXPECT_EQ(run(), (std::vector<KernelOutput>{noteOff(60, 0), noteOff(67, 0)}));
}

// Direct use of the generator for the limits the flat interface keeps out of reach.
class ChordStateTest : public ::testing::Test {
 protected:
  void SetUp() override {
    state_ = kernel::createState();
    kernel::PrepareConfig config;
    config.sampleRate = 48000.0;
    config.maxFrames = 128;
    ASSERT_TRUE(kernel::prepare(*state_, config));
  }
  void TearDown() override { kernel::destroyState(state_); }

  kernel::ChordState* state_ = nullptr;
};

struct PrepareCase {
  const char* what;
  kernel::PrepareConfig config;
};

TEST(ChordPrepareTest, OnlyAPositiveRateABlockSizeAndNoAudioChannelsAreAccepted) {
  const std::vector<PrepareCase> refused = {
      {"rate 0", {0, 128, 0, 0.0}},
      {"negative rate", {0, 128, 0, -48000.0}},
      {"NaN rate", {0, 128, 0, std::nan("")}},
      {"no frames", {0, 0, 0, 48000.0}},
      {"an input channel", {1, 128, 0, 48000.0}},
      {"an output channel", {0, 128, 2, 48000.0}},
  };
  kernel::ChordState* state = kernel::createState();
  kernel::RenderBlock block;
  block.maxFrames = 128;
  block.frames = 8;
  for (const PrepareCase& c : refused) {
    SCOPED_TRACE(c.what);
    EXPECT_FALSE(kernel::prepare(*state, c.config));
    EXPECT_FALSE(state->prepared);
    EXPECT_FALSE(kernel::process(*state, block));  // nothing renders before a good prepare
  }
  ASSERT_TRUE(kernel::prepare(*state, {0, 1, 0, 1.0}));
  EXPECT_TRUE(state->prepared);

  // A sub-block moves the stamp to its end; one that declares audio channels is refused.
  block.offset = 24;
  ASSERT_TRUE(kernel::process(*state, block));
  EXPECT_EQ(state->frame, 32);
  block.inputChannels = 1;
  EXPECT_FALSE(kernel::process(*state, block));
  block.inputChannels = 0;
  block.outputChannels = 1;
  EXPECT_FALSE(kernel::process(*state, block));
  kernel::destroyState(state);
}

TEST_F(ChordStateTest, NanAndUnknownParametersAreRefusedAndInfinitiesClamp) {
  EXPECT_FALSE(kernel::setParameter(*state_, "chord.mode", std::nan("")));
  EXPECT_FALSE(kernel::setParameter(*state_, "chord.volume", 1.0));
  EXPECT_EQ(state_->mode, 0);
  const double inf = std::numeric_limits<double>::infinity();
  EXPECT_TRUE(kernel::setParameter(*state_, "chord.mode", inf));
  EXPECT_EQ(state_->mode, 5);
  EXPECT_TRUE(kernel::setParameter(*state_, "chord.spread", -inf));
  EXPECT_EQ(state_->spread, -2);
  EXPECT_TRUE(kernel::setParameter(*state_, "chord.velocity", inf));
  EXPECT_EQ(state_->velocity, 1.0);
}

TEST_F(ChordStateTest, FullOutputBufferRefusesTheEventAndKeepsTheOldLedger) {
  ASSERT_TRUE(kernel::setParameter(*state_, "chord.mode", 5));
  for (int note = 0; note < 63; ++note) ASSERT_TRUE(kernel::handleEvent(*state_, 2, note, 1.0));
  ASSERT_EQ(state_->outCount, 252);
  ASSERT_TRUE(kernel::handleEvent(*state_, 2, 100, 0.5));  // exactly 256
  // Room for nothing: the note-on for 100 is refused before its first push.
  EXPECT_FALSE(kernel::handleEvent(*state_, 2, 100, 1.0));
  EXPECT_EQ(state_->outCount, 256);
  EXPECT_FALSE(kernel::handleEvent(*state_, 3, 100, 0.0));
  EXPECT_EQ(state_->ledgerCounts[100], 4);  // still recorded: its release failed

  kernel::reset(*state_);
  EXPECT_EQ(state_->outCount, 0);
  for (int note = 0; note < 63; ++note) ASSERT_TRUE(kernel::handleEvent(*state_, 2, note, 1.0));
  ASSERT_TRUE(kernel::setParameter(*state_, "chord.mode", 0));
  ASSERT_TRUE(kernel::handleEvent(*state_, 2, 30, 1.0));  // 254 pending
  ASSERT_TRUE(kernel::setParameter(*state_, "chord.mode", 5));
  // A four-note chord gets halfway, reports the refusal and records nothing.
  EXPECT_FALSE(kernel::handleEvent(*state_, 2, 90, 1.0));
  EXPECT_EQ(state_->outCount, 256);
  EXPECT_EQ(kernel::pendingOutputRows(*state_).a[254], 90);
  EXPECT_EQ(kernel::pendingOutputRows(*state_).a[255], 94);
  EXPECT_EQ(state_->ledgerCounts[90], 0);
}

TEST_F(ChordStateTest, EmitIntoAFullViewDropsTheRestAndReportsIt) {
  ASSERT_TRUE(kernel::setParameter(*state_, "chord.mode", 2));
  ASSERT_TRUE(kernel::handleEvent(*state_, 2, 60, 1.0));
  std::int32_t a[2] = {}, frames[2] = {}, kinds[2] = {};
  float b[2] = {};
  kernel::EventOutputView view{{a, 2}, {b, 2}, {frames, 2}, {kinds, 2}, 2, 0};
  EXPECT_FALSE(kernel::emitEvents(*state_, view));
  EXPECT_EQ(view.count, 2);
  EXPECT_EQ(a[0], 60);
  EXPECT_EQ(a[1], 64);
  EXPECT_EQ(state_->outCount, 0);
}

// Outputs handed over in place stay as they were while the next outputs are made, and each
// hand-over takes exactly what was pending since the last one.
TEST_F(ChordStateTest, TakenOutputsStayPutWhileTheNextOnesAreMade) {
  ASSERT_TRUE(kernel::setParameter(*state_, "chord.mode", 2));
  state_->frame = 7;
  ASSERT_TRUE(kernel::handleEvent(*state_, 2, 60, 1.0));
  const kernel::TakenOutputs first = kernel::takeEvents(*state_);
  ASSERT_EQ(first.count, 3);
  EXPECT_EQ(state_->outCount, 0);
  EXPECT_EQ(state_->frame, 0);

  ASSERT_TRUE(kernel::handleEvent(*state_, 3, 60, 0.0));
  ASSERT_TRUE(kernel::handleEvent(*state_, 2, 50, 1.0));
  const int triad[3] = {60, 64, 67};
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(first.kinds[i], 2);
    EXPECT_EQ(first.a[i], triad[i]);
    EXPECT_EQ(first.frames[i], 7);
  }
  EXPECT_EQ(first.b[0], 1.0f);

  const kernel::TakenOutputs second = kernel::takeEvents(*state_);
  ASSERT_EQ(second.count, 6);
  EXPECT_NE(second.kinds, first.kinds);
  EXPECT_EQ(second.kinds[0], 3);
  EXPECT_EQ(second.a[5], 57);
  EXPECT_EQ(kernel::takeEvents(*state_).count, 0);  // nothing pending: an empty hand-over
}

}  // namespace
}  // namespace norvo::test
