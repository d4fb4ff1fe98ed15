// Chord.vst3 rendered by norvo-probe: real MIDI files in, the plug-in's notes out, compared
// with what the chord rules say for every mode, spread, velocity scale, on/off state and
// note-off. Parameters are set the way a host does (plain value → controller conversion →
// normalized change in the first block).
#include "support/e2e/chord_reference.h"
#include "support/e2e/midi_test_file.h"
#include "support/e2e/probe_runner.h"

#include <gtest/gtest.h>

#include <sstream>

namespace norvo::e2e {
namespace {

const std::string kProbe = NORVO_PROBE_PATH;
const std::string kBundle = NORVO_BUNDLE_PATH;

struct Setting {
  std::string path;
  double plain;
};

struct Render {
  MidiTestFile file;
  std::vector<Setting> settings;
  int rate = 48000;
  int block = 512;
  bool offline = false;
};

std::string describe(const std::vector<MidiNote>& notes) {
  std::ostringstream text;
  for (const MidiNote& n : notes)
    text << "  tick " << n.tick << " ch " << n.channel << " note " << n.note << " vel "
         << n.velocity << (n.on ? " on" : " off") << "\n";
  return text.str();
}

std::string plainText(double value) {
  std::ostringstream text;
  text << value;
  return text.str();
}

// Renders through the plug-in and returns the notes of the output file.
std::vector<MidiNote> render(const Render& r, CommandResult* result = nullptr) {
  TempDir dir;
  writeMidiTestFile(dir.path("in.mid"), r.file);
  std::vector<std::string> argv{kProbe,    "render",
                                kBundle,   dir.path("in.mid"),
                                "-o",      dir.path("out.mid"),
                                "--rate",  std::to_string(r.rate),
                                "--block", std::to_string(r.block)};
  if (r.offline) argv.push_back("--offline");
  for (const Setting& s : r.settings) {
    argv.push_back("--set");
    argv.push_back(s.path + "=" + plainText(s.plain));
  }
  CommandResult run = runCommand(argv);
  EXPECT_EQ(run.exitCode, 0) << run.err;
  EXPECT_EQ(run.err, "");
  std::vector<MidiNote> notes =
      run.exitCode == 0 ? readMidiNotes(dir.path("out.mid")) : std::vector<MidiNote>{};
  if (result) *result = std::move(run);
  return notes;
}

std::vector<MidiNote> expected(const Render& r) {
  ChordReference reference;
  for (const Setting& s : r.settings) reference.set(s.path, s.plain);
  TempDir dir;
  writeMidiTestFile(dir.path("in.mid"), r.file);
  return reference.playAll(readMidiNotes(dir.path("in.mid")));
}

void expectChords(const Render& r) {
  const std::vector<MidiNote> want = expected(r);
  const std::vector<MidiNote> got = render(r);
  EXPECT_EQ(got, want) << "expected:\n" << describe(want) << "got:\n" << describe(got);
}

// Two overlapping notes, then a lone low one: enough to see every interval and each release.
MidiTestFile phrase() {
  MidiTestFile f;
  f.note(0, 60, 100).note(240, 67, 127).note(480, 60, 0, false).note(720, 67, 0, false);
  f.noteOnOff(960, 480, 45, 64);
  return f;
}

TEST(ChordRender, DefaultsPlayRootAndOctaveAtScaledVelocity) {
  Render r{MidiTestFile{}.noteOnOff(0, 480, 60, 100), {}};
  const std::vector<MidiNote> want{
      {0, 0, 60, 100, true}, {0, 0, 72, 80, true}, {480, 0, 60, 0, false}, {480, 0, 72, 0, false}};
  EXPECT_EQ(render(r), want);
}

TEST(ChordRender, EveryModeBuildsItsChord) {
  for (int mode = 0; mode <= 5; ++mode) {
    SCOPED_TRACE("mode " + std::to_string(mode));
    expectChords({phrase(), {{"chord.mode", double(mode)}}});
  }
}

TEST(ChordRender, WorkedExampleMajorSpreadUp) {
  // Velocity 0.5 · 127 · 0.8 = 50.8 → 51 for the added notes, shifted up one octave.
  Render r{MidiTestFile{}.noteOnOff(96, 480, 60, 64), {{"chord.mode", 2}, {"chord.spread", 1}}};
  const std::vector<MidiNote> got = render(r);
  ASSERT_EQ(got.size(), 6u) << describe(got);
  EXPECT_EQ(got[0], (MidiNote{96, 0, 60, 64, true}));
  EXPECT_EQ(got[1], (MidiNote{96, 0, 76, 51, true}));
  EXPECT_EQ(got[2], (MidiNote{96, 0, 79, 51, true}));
  EXPECT_EQ(got[3], (MidiNote{576, 0, 60, 0, false}));
  EXPECT_EQ(got[4], (MidiNote{576, 0, 76, 0, false}));
  EXPECT_EQ(got[5], (MidiNote{576, 0, 79, 0, false}));
  expectChords(r);
}

TEST(ChordRender, SpreadShiftsAddedNotesByOctaves) {
  for (int spread = -2; spread <= 2; ++spread) {
    SCOPED_TRACE("spread " + std::to_string(spread));
    expectChords({phrase(), {{"chord.mode", 5}, {"chord.spread", double(spread)}}});
  }
}

TEST(ChordRender, VelocityScaleAppliesToAddedNotesOnly) {
  for (double scale : {0.0, 0.25, 0.5, 1.0}) {
    SCOPED_TRACE("scale " + plainText(scale));
    expectChords({phrase(), {{"chord.mode", 3}, {"chord.velocity", scale}}});
  }
  // Scale 0 still sounds the added notes, at the lowest velocity.
  const std::vector<MidiNote> got =
      render({MidiTestFile{}.noteOnOff(0, 100, 60, 127), {{"chord.velocity", 0}}});
  ASSERT_EQ(got.size(), 4u);
  EXPECT_EQ(got[1].velocity, 1);
  EXPECT_EQ(got[0].velocity, 127);
}

TEST(ChordRender, NotesOutsideTheKeyboardAreSkippedAndNeverReleased) {
  MidiTestFile f;
  f.noteOnOff(0, 100, 120, 90).noteOnOff(200, 100, 10, 90).noteOnOff(400, 100, 127, 90);
  expectChords({f, {}});
  expectChords({f, {{"chord.mode", 2}, {"chord.spread", -2}}});
  expectChords({f, {{"chord.mode", 5}, {"chord.spread", 2}}});
  // Mode 0 on note 120: only the root, and only the root is released.
  const std::vector<MidiNote> got = render({MidiTestFile{}.noteOnOff(0, 100, 120, 90), {}});
  EXPECT_EQ(got, (std::vector<MidiNote>{{0, 0, 120, 90, true}, {100, 0, 120, 0, false}}));
}

TEST(ChordRender, SwitchedOffPassesNotesThrough) {
  Render r{phrase(), {{"chord.on", 0}, {"chord.mode", 5}}};
  expectChords(r);
  const std::vector<MidiNote> got = render(r);
  ASSERT_EQ(got.size(), 6u);
  EXPECT_EQ(got[0], (MidiNote{0, 0, 60, 100, true}));
  EXPECT_EQ(got[2], (MidiNote{480, 0, 60, 0, false}));
}

TEST(ChordRender, ParameterValuesAreRoundedAndClampedLikeTheControls) {
  expectChords({phrase(), {{"chord.mode", 2.5}}});     // rounds half up to mode 3
  expectChords({phrase(), {{"chord.mode", 9}}});       // clamps to mode 5
  expectChords({phrase(), {{"chord.spread", -0.5}}});  // no shift
  expectChords({phrase(), {{"chord.on", 0.49}}});      // off
}

TEST(ChordRender, RetriggeredRootReleasesItsOldChordBeforeTheNewOne) {
  MidiTestFile f;
  f.note(0, 60, 100).note(120, 60, 80).note(240, 60, 0, false).note(360, 60, 0, false);
  expectChords({f, {{"chord.mode", 2}}});
  const std::vector<MidiNote> got = render({f, {{"chord.mode", 2}}});
  // 3 note-ons; at the retrigger 3 note-offs then 3 note-ons; one release of three notes; the
  // second note-off finds nothing.
  ASSERT_EQ(got.size(), 12u) << describe(got);
  EXPECT_EQ(got[3], (MidiNote{120, 0, 60, 0, false}));
  EXPECT_EQ(got[6], (MidiNote{120, 0, 60, 80, true}));
  EXPECT_EQ(got[9], (MidiNote{240, 0, 60, 0, false}));
}

// Chords that share pitches: each shared pitch goes on once and off once, when the last chord
// holding it is released, so no held note is cut.
TEST(ChordRender, OverlappingChordsShareTheirCommonNotes) {
  struct Case {
    const char* name;
    MidiTestFile file;
    std::vector<Setting> settings;
    std::vector<MidiNote> want;
  };
  MidiTestFile overlapping;  // C4 held, E4 pressed before C4 comes up: both chords hold E4
  overlapping.note(0, 60, 100).note(240, 64, 100).note(480, 60, 0, false).note(720, 64, 0, false);
  MidiTestFile folding;  // the octave one octave down is the root itself
  folding.noteOnOff(0, 480, 60, 100);
  MidiTestFile repeated;  // the same key struck three times
  repeated.noteOnOff(0, 100, 62, 90).noteOnOff(200, 100, 62, 90).noteOnOff(400, 100, 62, 90);
  MidiTestFile rangeEnds;  // the top key, also the octave of 115, and the bottom key
  rangeEnds.note(0, 127, 100).note(10, 0, 100).note(20, 115, 100);
  rangeEnds.note(30, 127, 0, false).note(40, 0, 0, false).note(50, 115, 0, false);
  const std::vector<Case> cases = {
      {"major triads on C4 and E4",
       overlapping,
       {{"chord.mode", 2}},
       {{0, 0, 60, 100, true},
        {0, 0, 64, 80, true},
        {0, 0, 67, 80, true},
        {240, 0, 68, 80, true},
        {240, 0, 71, 80, true},
        {480, 0, 60, 0, false},
        {480, 0, 67, 0, false},
        {720, 0, 64, 0, false},
        {720, 0, 68, 0, false},
        {720, 0, 71, 0, false}}},
      {"root and octave folded by a spread of -1",
       folding,
       {{"chord.spread", -1}},
       {{0, 0, 60, 100, true}, {480, 0, 60, 0, false}}},
      {"repeated key",
       repeated,
       {{"chord.mode", 1}},
       {{0, 0, 62, 90, true},
        {0, 0, 69, 72, true},
        {100, 0, 62, 0, false},
        {100, 0, 69, 0, false},
        {200, 0, 62, 90, true},
        {200, 0, 69, 72, true},
        {300, 0, 62, 0, false},
        {300, 0, 69, 0, false},
        {400, 0, 62, 90, true},
        {400, 0, 69, 72, true},
        {500, 0, 62, 0, false},
        {500, 0, 69, 0, false}}},
      {"range ends",
       rangeEnds,
       {},
       {{0, 0, 127, 100, true},
        {10, 0, 0, 100, true},
        {10, 0, 12, 80, true},
        {20, 0, 115, 100, true},
        {40, 0, 0, 0, false},
        {40, 0, 12, 0, false},
        {50, 0, 115, 0, false},
        {50, 0, 127, 0, false}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const Render r{c.file, c.settings};
    const std::vector<MidiNote> got = render(r);
    EXPECT_EQ(got, c.want) << describe(got);
    expectChords(r);
  }
}

TEST(ChordRender, ZeroVelocityNoteOnReleasesTheChord) {
  MidiTestFile f;
  f.note(0, 64, 100).note(480, 64, 0, true);  // 0x90 with velocity 0
  const std::vector<MidiNote> got = render({f, {{"chord.mode", 1}}});
  EXPECT_EQ(got, (std::vector<MidiNote>{{0, 0, 64, 100, true},
                                        {0, 0, 71, 80, true},
                                        {480, 0, 64, 0, false},
                                        {480, 0, 71, 0, false}}));
}

TEST(ChordRender, InputChannelsAllComeOutOnTheFirstChannel) {
  MidiTestFile f;
  f.note(0, 60, 100, true, 9).note(100, 60, 0, false, 9);
  const std::vector<MidiNote> got = render({f, {}});
  ASSERT_EQ(got.size(), 4u);
  for (const MidiNote& n : got) EXPECT_EQ(n.channel, 0);
}

TEST(ChordRender, TimingSurvivesBlockAndChunkEdgesAndTempoChanges) {
  // 60 quarters per minute at 1000 ticks per quarter and 1000 Hz: one tick is one sample,
  // so notes land exactly on the first and last frames of blocks and of 128-frame chunks.
  MidiTestFile f;
  f.ticksPerQuarter = 1000;
  f.tempos = {{0, 1000000}};
  for (long tick : {0L, 127L, 128L, 129L, 299L, 300L, 301L, 599L, 600L})
    f.noteOnOff(tick, 250, 40 + static_cast<int>(tick % 40), 70);
  for (int block : {1, 128, 300, 1024}) {
    SCOPED_TRACE("block " + std::to_string(block));
    expectChords({f, {{"chord.mode", 4}}, 1000, block});
  }

  // A tempo map with changes: output notes keep the ticks of their input notes.
  MidiTestFile t;
  t.ticksPerQuarter = 96;
  t.tempos = {{0, 500000}, {192, 750000}, {384, 400000}};
  for (long tick = 0; tick < 576; tick += 48)
    t.noteOnOff(tick, 40, 50 + static_cast<int>(tick / 48), 100);
  for (int rate : {44100, 96000})
    expectChords({t, {{"chord.mode", 3}, {"chord.spread", -1}}, rate, 64});

  // The same with the tempo map in a track of its own, as sequencers export files.
  t.tempoTrack = true;
  expectChords({t, {{"chord.mode", 3}, {"chord.spread", -1}}, 44100, 64});

  // The printed times follow the tempo map: each output note sits at its tick's time,
  // to within one sample.
  CommandResult run;
  render({t, {}, 44100, 64}, &run);
  std::istringstream table(run.out.substr(run.out.find("output (")));
  std::string line;
  std::getline(table, line);
  std::getline(table, line);
  int rows = 0;
  while (std::getline(table, line) && line != "chords") {
    double seconds = 0;
    long tick = 0;
    std::istringstream(line) >> seconds >> tick;
    EXPECT_NEAR(seconds, secondsAt(t, tick), 1.0 / 44100 + 1e-6) << line;
    ++rows;
  }
  EXPECT_EQ(rows, 48);
}

TEST(ChordRender, OfflineProcessingGivesTheSameChords) {
  expectChords({phrase(), {{"chord.mode", 4}, {"chord.spread", 1}}, 48000, 256, true});
}

TEST(ChordRender, DenseClusterInOneBlock) {
  MidiTestFile f;
  for (int note = 48; note < 72; ++note) f.note(10, note, 30 + note);
  for (int note = 48; note < 72; ++note) f.note(20, note, 0, false);
  expectChords({f, {{"chord.mode", 5}, {"chord.spread", 1}}, 48000, 512});
}

// 1000 note-ons and then their note-offs, all in one block: more than the output list can
// hold, yet every note that went on goes off exactly once and nothing is left sounding.
TEST(ChordRender, FloodInOneBlockLeavesNothingSounding) {
  MidiTestFile f;
  f.ticksPerQuarter = 1000;
  f.tempos = {{0, 1000000}};  // at 1000 Hz one tick is one sample
  for (int i = 0; i < 1000; ++i) f.note(i / 4, i % 128, 1 + i % 127);
  for (int i = 0; i < 1000; ++i) f.note(300 + i / 4, i % 128, 0, false);
  const std::vector<MidiNote> got = render({f, {{"chord.mode", 5}}, 1000, 4096});
  ASSERT_FALSE(got.empty());
  bool sounding[128] = {};
  for (const MidiNote& n : got) {
    ASSERT_NE(n.on, sounding[n.note]) << (n.on ? "second note-on" : "note-off without note-on")
                                      << " for " << n.note << " at tick " << n.tick;
    sounding[n.note] = n.on;
  }
  for (int p = 0; p < 128; ++p) EXPECT_FALSE(sounding[p]) << "still sounding: " << p;
}

TEST(ChordRender, PrintsInputAndOutputTable) {
  CommandResult run;
  render({MidiTestFile{}.noteOnOff(480, 480, 60, 100), {{"chord.mode", 2}}}, &run);
  const std::string want =
      "input (2 note events)\n"
      "      time (s)      tick  ch  note        vel  event\n"
      "      0.500000       480   1  60 C4       100  on\n"
      "      1.000000       960   1  60 C4         0  off\n"
      "output (6 note events)\n"
      "      time (s)      tick  ch  note        vel  event\n"
      "      0.500000       480   1  60 C4       100  on\n"
      "      0.500000       480   1  64 E4        80  on\n"
      "      0.500000       480   1  67 G4        80  on\n"
      "      1.000000       960   1  60 C4         0  off\n"
      "      1.000000       960   1  64 E4         0  off\n"
      "      1.000000       960   1  67 G4         0  off\n"
      "chords\n"
      "      0.500000       480  C4 E4 G4\n";
  EXPECT_EQ(run.out, want);
}

TEST(ChordRender, UnknownParameterIsAClearError) {
  TempDir dir;
  writeMidiTestFile(dir.path("in.mid"), MidiTestFile{}.noteOnOff(0, 480, 60, 100));
  const auto run = [&](const std::string& set) {
    return runCommand(
        {kProbe, "render", kBundle, dir.path("in.mid"), "-o", dir.path("out.mid"), "--set", set});
  };
  const CommandResult unknown = run("chord.colour=2");
  EXPECT_EQ(unknown.exitCode, 1);
  EXPECT_EQ(unknown.err, "norvo-probe: the plug-in has no parameter \"chord.colour\"\n");
  const CommandResult notANumber = run("chord.mode=major");
  EXPECT_EQ(notANumber.exitCode, 1);
  EXPECT_EQ(notANumber.err, "norvo-probe: --set expects NAME=NUMBER, got \"chord.mode=major\"\n");
  // Titles work as well as dotted paths.
  EXPECT_EQ(run("Mode=2").exitCode, 0);
}

}  // namespace
}  // namespace norvo::e2e
