// NoteLatch: shared pitches sound once and stop with their last holder; dropped note-ons hold
// silently; releaseAll sends one note-off per sounding pitch and forgets everything.
#include "engine/note_latch.h"

#include <gtest/gtest.h>

#include <utility>
#include <vector>

namespace norvo {
namespace {

using Action = NoteLatch::NoteOn;

struct Step {
  bool on;
  int pitch;
  bool room;     // note-ons only
  int expected;  // note-on: 0 Send, 1 Held, 2 Dropped; note-off: 1 send, 0 nothing
};

struct LatchCase {
  const char* name;
  std::vector<Step> steps;
  int soundingAfter;
};

int outcome(NoteLatch& latch, const Step& step) {
  if (!step.on) return latch.noteOff(0, step.pitch) ? 1 : 0;
  switch (latch.noteOn(0, step.pitch, step.room)) {
    case Action::Send:
      return 0;
    case Action::Held:
      return 1;
    case Action::Dropped:
      return 2;
  }
  return -1;
}

TEST(NoteLatch, CountsTheChordsHoldingEachPitch) {
  const std::vector<LatchCase> cases = {
      {"lone note", {{true, 60, true, 0}, {false, 60, true, 1}}, 0},
      {"shared pitch released by its last holder",
       {{true, 64, true, 0}, {true, 64, true, 1}, {false, 64, true, 0}, {false, 64, true, 1}},
       0},
      {"note-off for a pitch nobody holds", {{false, 61, true, 0}}, 0},
      {"extra note-off after the release",
       {{true, 62, true, 0}, {false, 62, true, 1}, {false, 62, true, 0}},
       0},
      {"dropped note-on holds silently and is never released",
       {{true, 65, false, 2}, {false, 65, true, 0}},
       0},
      {"a later holder sounds a pitch whose first note-on was dropped",
       {{true, 66, false, 2}, {true, 66, true, 0}, {false, 66, true, 0}, {false, 66, true, 1}},
       0},
      {"held pitches stay sounding", {{true, 0, true, 0}, {true, 127, true, 0}}, 2},
  };
  for (const LatchCase& c : cases) {
    SCOPED_TRACE(c.name);
    NoteLatch latch;
    for (std::size_t i = 0; i < c.steps.size(); ++i)
      EXPECT_EQ(outcome(latch, c.steps[i]), c.steps[i].expected) << "step " << i;
    EXPECT_EQ(latch.soundingCount(), c.soundingAfter);
  }
}

TEST(NoteLatch, ChannelsAreLatchedApartAndOutOfRangeNotesPassThrough) {
  NoteLatch latch;
  EXPECT_EQ(latch.noteOn(0, 60, true), Action::Send);
  EXPECT_EQ(latch.noteOn(1, 60, true), Action::Send);
  EXPECT_TRUE(latch.noteOff(1, 60));
  EXPECT_TRUE(latch.sounding(0, 60));
  EXPECT_EQ(latch.noteOn(16, 60, true), Action::Send);
  EXPECT_EQ(latch.noteOn(0, 128, false), Action::Dropped);
  EXPECT_TRUE(latch.noteOff(0, -1));
  EXPECT_EQ(latch.soundingCount(), 1);
}

TEST(NoteLatch, ReleaseAllSendsEachSoundingPitchOnceAndForgetsHolders) {
  NoteLatch latch;
  for (int pitch : {127, 3, 64, 3}) latch.noteOn(0, pitch, true);
  latch.noteOn(0, 70, false);  // held, never sounded
  latch.noteOn(15, 0, true);
  std::vector<std::pair<int, int>> released;
  latch.releaseAll([&](int channel, int pitch) { released.emplace_back(channel, pitch); });
  EXPECT_EQ(released, (std::vector<std::pair<int, int>>{{0, 3}, {0, 64}, {0, 127}, {15, 0}}));
  EXPECT_EQ(latch.soundingCount(), 0);
  EXPECT_EQ(latch.holders(0, 3), 0);
  EXPECT_FALSE(latch.noteOff(0, 3));
  EXPECT_EQ(latch.noteOn(0, 70, true), Action::Send);
}

}  // namespace
}  // namespace norvo
