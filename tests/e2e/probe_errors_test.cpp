// norvo-probe against missing and broken bundles and bad command lines: one clear line on
// standard error, nothing on standard output, a non-zero exit, never a silent crash.
#include "support/e2e/midi_test_file.h"
#include "support/e2e/probe_runner.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>

namespace norvo::e2e {
namespace {

const std::string kProbe = NORVO_PROBE_PATH;
const std::string kBroken = NORVO_BROKEN_MODULES_DIR;

std::string brokenBundle(const std::string& name) { return kBroken + "/" + name + ".vst3"; }

std::string brokenLibrary(const std::string& name) {
  return brokenBundle(name) + "/Contents/x86_64-linux/" + name + ".so";
}

void expectFailure(const CommandResult& r, const std::string& message, int exitCode = 1) {
  EXPECT_EQ(r.exitCode, exitCode);
  EXPECT_EQ(r.err, "norvo-probe: " + message + "\n");
  EXPECT_EQ(r.out, "");
}

TEST(ProbeErrors, MissingBundleIsReportedOnOneLine) {
  const std::string missing = "/nonexistent/Chord.vst3";
  expectFailure(runCommand({kProbe, "info", missing}), "no such bundle: " + missing);
  TempDir dir;
  const std::string midi = dir.path("in.mid");
  writeMidiTestFile(midi, MidiTestFile{}.noteOnOff(0, 480, 60, 100));
  expectFailure(runCommand({kProbe, "render", missing, midi, "-o", dir.path("out.mid")}),
                "no such bundle: " + missing);
  EXPECT_FALSE(std::filesystem::exists(dir.path("out.mid")));
}

TEST(ProbeErrors, BundleWithoutModule) {
  TempDir dir;
  const std::string bundle = dir.path("Empty.vst3");
  std::filesystem::create_directories(bundle + "/Contents/x86_64-linux");
  expectFailure(
      runCommand({kProbe, "info", bundle}),
      "bundle " + bundle + " has no module " + bundle + "/Contents/x86_64-linux/Empty.so");
}

TEST(ProbeErrors, ModuleThatIsNotASharedObject) {
  TempDir dir;
  const std::string bundle = dir.path("Text.vst3");
  std::filesystem::create_directories(bundle + "/Contents/x86_64-linux");
  std::ofstream(bundle + "/Contents/x86_64-linux/Text.so") << "not a library\n";
  const CommandResult r = runCommand({kProbe, "info", bundle});
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_EQ(
      r.err.rfind("norvo-probe: cannot load " + bundle + "/Contents/x86_64-linux/Text.so: ", 0), 0u)
      << r.err;
  EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1);
}

TEST(ProbeErrors, BrokenModulesAreRefusedClearly) {
  struct Case {
    const char* name;
    std::string message;
    int exitCode;
  };
  const Case cases[] = {
      {"NoFactory", brokenLibrary("NoFactory") + " does not export GetPluginFactory", 1},
      {"EntryRefuses", "ModuleEntry of " + brokenLibrary("EntryRefuses") + " failed", 1},
      {"NullFactory",
       "GetPluginFactory of " + brokenLibrary("NullFactory") + " returned no factory", 1},
      {"NoInstance", "the plug-in factory could not create the processor class", 1},
      {"CrashingInstance", "the plug-in crashed (segmentation fault) while creating the processor",
       70},
  };
  TempDir dir;
  const std::string midi = dir.path("in.mid");
  writeMidiTestFile(midi, MidiTestFile{}.noteOnOff(0, 480, 60, 100));
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    expectFailure(runCommand({kProbe, "info", brokenBundle(c.name)}), c.message, c.exitCode);
    expectFailure(
        runCommand({kProbe, "render", brokenBundle(c.name), midi, "-o", dir.path("out.mid")}),
        c.message, c.exitCode);
  }
}

// moduleinfo reads only the factory: a module whose factory answers gets its document even
// when it cannot create its classes; a refused load writes nothing and leaves an older file.
TEST(ProbeErrors, ModuleInfoNeedsOnlyTheFactory) {
  struct Case {
    const char* name;
    std::string message;
  };
  const Case failing[] = {
      {"NoFactory", brokenLibrary("NoFactory") + " does not export GetPluginFactory"},
      {"EntryRefuses", "ModuleEntry of " + brokenLibrary("EntryRefuses") + " failed"},
      {"NullFactory",
       "GetPluginFactory of " + brokenLibrary("NullFactory") + " returned no factory"},
  };
  TempDir dir;
  const std::string path = dir.path("moduleinfo.json");
  for (const Case& c : failing) {
    SCOPED_TRACE(c.name);
    std::ofstream(path) << "older";
    expectFailure(runCommand({kProbe, "moduleinfo", brokenBundle(c.name), "-o", path}), c.message);
    std::ifstream in(path);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), "older");
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.root()), {}), 1);
  }

  // A factory with only the first interface version: named after its bundle, the fields it
  // cannot tell left empty.
  for (const std::string& bundle : {brokenBundle("NoInstance"), brokenLibrary("NoInstance")}) {
    SCOPED_TRACE(bundle);
    const CommandResult r = runCommand({kProbe, "moduleinfo", bundle});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    for (const char* line : {"\n  \"Name\": \"NoInstance\",\n", "\n  \"Version\": \"\",\n",
                             "\n      \"CID\": \"01000000000000000000000000000000\",\n",
                             "\n      \"SDKVersion\": \"\",\n"})
      EXPECT_NE(r.out.find(line), std::string::npos) << line << r.out;
  }

  const std::string missingFolder = dir.path("none") + "/moduleinfo.json";
  expectFailure(runCommand({kProbe, "moduleinfo", brokenBundle("NoInstance"), "-o", missingFolder}),
                "cannot write " + missingFolder + ": No such file or directory");
}

TEST(ProbeErrors, UnreadableMidiFile) {
  TempDir dir;
  const std::string midi = dir.path("in.mid");
  std::ofstream(midi) << "MThd garbage";
  const CommandResult r =
      runCommand({kProbe, "render", brokenBundle("NoInstance"), midi, "-o", dir.path("out.mid")});
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_EQ(r.err.rfind("norvo-probe: cannot read MIDI file " + midi + ": ", 0), 0u) << r.err;
  EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1);
  expectFailure(runCommand({kProbe, "render", brokenBundle("NoInstance"), dir.path("none.mid"),
                            "-o", dir.path("out.mid")}),
                "cannot read MIDI file " + dir.path("none.mid") + ": no such file");
}

TEST(ProbeErrors, BadCommandLines) {
  TempDir dir;
  const std::string midi = dir.path("in.mid");
  writeMidiTestFile(midi, MidiTestFile{}.noteOnOff(0, 480, 60, 100));
  const std::string bundle = brokenBundle("NoInstance");
  expectFailure(
      runCommand({kProbe, "render", bundle, midi, "-o", dir.path("o.mid"), "--block", "0"}),
      "--block must be between 1 and 65536 samples");
  expectFailure(
      runCommand({kProbe, "render", bundle, midi, "-o", dir.path("o.mid"), "--rate", "-5"}),
      "--rate must be between 1000 and 1536000 Hz");
  expectFailure(
      runCommand({kProbe, "render", bundle, midi, "-o", dir.path("o.mid"), "--set", "chord.mode"}),
      "--set expects NAME=VALUE, got \"chord.mode\"");
  const CommandResult noOutput = runCommand({kProbe, "render", bundle, midi});
  EXPECT_EQ(noOutput.exitCode, 2);
  EXPECT_EQ(noOutput.err.rfind("norvo-probe: ", 0), 0u) << noOutput.err;
  EXPECT_NE(noOutput.err.find("--output"), std::string::npos) << noOutput.err;
  const CommandResult noCommand = runCommand({kProbe});
  EXPECT_EQ(noCommand.exitCode, 2);
  EXPECT_EQ(noCommand.err.rfind("norvo-probe: ", 0), 0u) << noCommand.err;
}

}  // namespace
}  // namespace norvo::e2e
