// `norvo-probe ui` against modules it cannot show: one clear line on standard error, nothing
// on standard output, a non-zero exit, and no server left listening.
#include "support/e2e/probe_runner.h"

#include <gtest/gtest.h>

namespace norvo::e2e {
namespace {

const std::string kProbe = NORVO_PROBE_PATH;
const std::string kBroken = NORVO_BROKEN_MODULES_DIR;

TEST(ProbeUi, ModuleWithoutDiagnosticBridgeIsRefusedOnOneLine) {
  // This module loads and has a factory, but exports none of the bridge functions.
  const std::string library = kBroken + "/NoInstance.vst3/Contents/x86_64-linux/NoInstance.so";
  const CommandResult r = runCommand({kProbe, "ui", kBroken + "/NoInstance.vst3"});
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_EQ(r.err, "norvo-probe: " + library +
                       " does not export the diagnostic bridge (norvoDiagnosticBridgeAbiVersion), "
                       "so its controller cannot be reached from a browser\n");
  EXPECT_EQ(r.out, "");
}

TEST(ProbeUi, BadCommandLines) {
  const CommandResult missing = runCommand({kProbe, "ui", "/nonexistent/Chord.vst3"});
  EXPECT_EQ(missing.exitCode, 1);
  EXPECT_EQ(missing.err, "norvo-probe: no such bundle: /nonexistent/Chord.vst3\n");
  const CommandResult port =
      runCommand({kProbe, "ui", kBroken + "/NoInstance.vst3", "--port", "x"});
  EXPECT_EQ(port.exitCode, 2);
  EXPECT_EQ(port.err.rfind("norvo-probe: ", 0), 0u) << port.err;
}

}  // namespace
}  // namespace norvo::e2e
