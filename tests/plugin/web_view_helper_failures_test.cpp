// The editor view with a helper process that is missing or misbehaves: the host always gets an
// answer ("webview allocation failed" through onEditorError, attached() false where the editor
// cannot show), never hangs longer than the glue's time limits, never crashes, and no helper
// process is left behind. This binary lives in a folder of its own; the test puts a fake
// helper (or none, or a file that cannot run) beside it, where the glue looks.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "support/editor/process_table.h"
#include "support/editor/xvfb_display.h"
#include "support/engine/stderr_capture.h"
#include "support/plugin/editor_test_host.h"

namespace norvo {
namespace {

namespace fs = std::filesystem;
using namespace Steinberg;
using std::chrono::milliseconds;

// What sits beside the test binary under the helper's name.
enum class Helper { kMissing, kNotExecutable, kFake };

struct Case {
  const char* name;
  Helper helper;
  const char* mode;    // NORVO_FAKE_WEBVIEW_HOST for the fake
  bool attaches;       // attached() answers kResultOk
  int opened;          // onEditorOpened calls
  const char* logged;  // part of what the glue writes to standard error
};

const Case kCases[] = {
    {"missing", Helper::kMissing, "", false, 0, "the web editor's helper cannot start"},
    {"not executable", Helper::kNotExecutable, "", false, 0, "cannot run"},
    {"ends at once", Helper::kFake, "exit", false, 0, "could not create its web view"},
    {"aborts at once", Helper::kFake, "abort", false, 0, "could not create its web view"},
    {"refuses", Helper::kFake, "refuse", false, 0, "failed: no display here"},
    {"never answers", Helper::kFake, "hang", false, 0, "did not answer in time"},
    {"refuses to embed", Helper::kFake, "refuse-embed", false, 1, "failed: no such window"},
    {"aborts on embed", Helper::kFake, "abort-on-embed", false, 1, ""},
    {"aborts later", Helper::kFake, "abort-later", true, 1, "ended unexpectedly"},
};

TEST(WebViewHelperFailuresTest, EveryFailureIsAnsweredAndLeavesNothingBehind) {
  test::XvfbDisplay display;
  const fs::path helperPath =
      fs::read_symlink("/proc/self/exe").parent_path() / "norvo-webview-host";
  const fs::path root = fs::temp_directory_path() / "norvo-helper-failures-ui";
  fs::create_directories(root);
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.name);
    fs::remove(helperPath);
    if (c.helper == Helper::kFake) fs::create_symlink(NORVO_FAKE_WEBVIEW_HOST, helperPath);
    if (c.helper == Helper::kNotExecutable) {
      std::ofstream(helperPath) << "#!/bin/sh\n";
      fs::permissions(helperPath, fs::perms::owner_read | fs::perms::owner_write);
    }
    ::setenv("NORVO_FAKE_WEBVIEW_HOST", c.mode, 1);

    test::FakeBridgeHost host;
    {
      test::EditorHost editor(host, root.string());
      test::StderrCapture capture;
      const auto start = std::chrono::steady_clock::now();
      const tresult attached = editor.attach();
      const auto took = std::chrono::steady_clock::now() - start;
      EXPECT_EQ(attached == kResultOk, c.attaches);
      EXPECT_LT(took, std::chrono::seconds(12)) << "attached() waited too long";
      if (attached == kResultOk) {
        // The helper dies while the editor is open: reported once, and its texts arrived.
        EXPECT_TRUE(editor.runUntil([&] { return !host.errors.empty(); }, milliseconds(5000)));
        editor.run(milliseconds(200));
        EXPECT_EQ(host.fromPage, std::vector<std::string>{"{\"type\":\"norvo.ready\"}"});
        editor.remove();
      }
      EXPECT_NE(capture.take().find(c.logged), std::string::npos);
    }
    EXPECT_EQ(host.errors, std::vector<std::string>{"webview allocation failed"});
    EXPECT_EQ(host.opened, c.opened);
    EXPECT_EQ(host.closed, c.opened);
    EXPECT_FALSE(host.sink);
    EXPECT_TRUE(test::childProcesses(::getpid(), "norvo-webview-h").empty())
        << "a helper was left behind";
  }
  fs::remove(helperPath);
  fs::remove_all(root);
}

}  // namespace
}  // namespace norvo
