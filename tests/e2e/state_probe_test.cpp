// Chord.vst3's component state through norvo-probe: the document a host stores, the same bytes
// after a restore, the same chords when rendering with the saved state as with the settings
// themselves, and one clear line for every refused or missing state.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "support/e2e/chord_reference.h"
#include "support/e2e/midi_test_file.h"
#include "support/e2e/probe_runner.h"

namespace norvo::e2e {
namespace {

const std::string kProbe = NORVO_PROBE_PATH;
const std::string kBundle = NORVO_BUNDLE_PATH;

std::string fileText(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

void writeText(const std::string& path, const std::string& text) {
  std::ofstream(path, std::ios::binary) << text;
}

TEST(StateProbe, SavesTheDocumentAndRestoresItToTheSameBytes) {
  TempDir dir;
  const CommandResult saved =
      runCommand({kProbe, "state", "save", kBundle, dir.path("a.json"), "--set", "chord.mode=3",
                  "--set", "chord.spread=-1", "--set", "chord.velocity=0.25"});
  ASSERT_EQ(saved.exitCode, 0) << saved.err;
  const std::string expected =
      R"({"params":{"chord.on":1,"chord.mode":3,"chord.spread":-1,"chord.velocity":0.25},)"
      R"("variation":16})";
  EXPECT_EQ(fileText(dir.path("a.json")), expected);
  EXPECT_EQ(saved.out, expected + "\n");

  // Restored and saved again: the same bytes.
  const CommandResult again = runCommand(
      {kProbe, "state", "save", kBundle, dir.path("again.json"), "--state", dir.path("a.json")});
  ASSERT_EQ(again.exitCode, 0) << again.err;
  EXPECT_EQ(fileText(dir.path("again.json")), expected);
}

TEST(StateProbe, RenderingWithASavedStatePlaysTheSavedChords) {
  TempDir dir;
  ASSERT_EQ(runCommand({kProbe, "state", "save", kBundle, dir.path("s.json"), "--set",
                        "chord.mode=2", "--set", "chord.spread=1", "--set", "chord.on=1"})
                .exitCode,
            0);
  MidiTestFile file;
  file.note(0, 60, 100).note(240, 67, 90).note(480, 60, 0, false).note(720, 67, 0, false);
  writeMidiTestFile(dir.path("in.mid"), file);
  const CommandResult run = runCommand({kProbe, "render", kBundle, dir.path("in.mid"), "-o",
                                        dir.path("out.mid"), "--state", dir.path("s.json")});
  ASSERT_EQ(run.exitCode, 0) << run.err;

  ChordReference reference;
  reference.set("chord.mode", 2);
  reference.set("chord.spread", 1);
  EXPECT_EQ(readMidiNotes(dir.path("out.mid")),
            reference.playAll(readMidiNotes(dir.path("in.mid"))));
}

TEST(StateProbe, RefusedOrMissingStatesFailWithOneLine) {
  TempDir dir;
  writeText(dir.path("cut.json"), R"({"params":{"chord.mode":2)");
  MidiTestFile file;
  file.noteOnOff(0, 100, 60, 100);
  writeMidiTestFile(dir.path("in.mid"), file);
  struct Case {
    std::vector<std::string> argv;
    std::string err;
  } cases[] = {
      {{kProbe, "state", "save", kBundle, dir.path("x.json"), "--state", dir.path("none.json")},
       "norvo-probe: cannot read the state file " + dir.path("none.json") + "\n"},
      {{kProbe, "state", "save", kBundle, dir.path("x.json"), "--state", dir.path("cut.json")},
       "norvo-probe: the plug-in refused the state in " + dir.path("cut.json") +
           " (kResultFalse)\n"},
      {{kProbe, "render", kBundle, dir.path("in.mid"), "-o", dir.path("o.mid"), "--state",
        dir.path("cut.json")},
       "norvo-probe: the plug-in refused the state in " + dir.path("cut.json") +
           " (kResultFalse)\n"},
      {{kProbe, "state", "save", kBundle, dir.path("no/such/dir/x.json")},
       "norvo-probe: cannot write the state file " + dir.path("no/such/dir/x.json") + "\n"},
  };
  for (const Case& c : cases) {
    const CommandResult result = runCommand(c.argv);
    EXPECT_EQ(result.exitCode, 1) << c.err;
    EXPECT_EQ(result.err, c.err);
    EXPECT_EQ(result.out, "");
  }
}

}  // namespace
}  // namespace norvo::e2e
