// The editor view with its web view, driven like a host drives it: the probe's own X11 window,
// frame and run loop, under an Xvfb server the test starts itself, with a fake BridgeHost in
// place of the controller and a test page (editor_page/) as the UI root. The web view runs in
// the helper process beside the test binary (a link to the built norvo-webview-host).
#include "plugin/web_view_plug_view.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <memory>
#include <string>
#include <vector>

#include "editor/platform/cadence_clock.h"
#include "support/editor/process_table.h"
#include "support/editor/xvfb_display.h"
#include "support/engine/stderr_capture.h"
#include "support/plugin/editor_test_host.h"

namespace Steinberg {
// For comparing and printing view rectangles in expectations.
bool operator==(const ViewRect& a, const ViewRect& b) {
  return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}
void PrintTo(const ViewRect& r, std::ostream* out) {
  *out << r.left << "," << r.top << "," << r.right << "," << r.bottom;
}
}  // namespace Steinberg

namespace norvo {
namespace {

namespace fs = std::filesystem;
using namespace Steinberg;
using std::chrono::milliseconds;

using test::EditorHost;
using test::FakeBridgeHost;
using test::kHostBackground;
using test::shareOf;

constexpr std::uint32_t kPageBackground = 0x33cc66;

constexpr const char* kHelperName = "norvo-webview-h";  // as the kernel shortens it

// One display for the whole process, started on first use so that test discovery needs none.
test::XvfbDisplay& display() {
  static test::XvfbDisplay server;
  return server;
}

// <base>/ui holds the test page; a file beside it and a sibling folder with the root's name
// as prefix hold secrets that the scheme must never serve.
class PageFolder {
 public:
  PageFolder() {
    base_ = fs::temp_directory_path() / ("norvo-editor-" + std::to_string(::getpid()));
    fs::remove_all(base_);
    fs::create_directories(base_);
    fs::copy(NORVO_EDITOR_TEST_PAGE, base_ / "ui", fs::copy_options::recursive);
    fs::create_directories(base_ / "ui-secret");
    std::ofstream(base_ / "secret.txt") << "outside";
    std::ofstream(base_ / "ui-secret" / "secret.txt") << "sibling";
    fs::create_symlink(base_ / "secret.txt", base_ / "ui" / "link-out.txt");
  }
  ~PageFolder() { fs::remove_all(base_); }
  std::string root() const { return (base_ / "ui").string(); }

 private:
  fs::path base_;
};

// The editor's helper processes among this process's children.
std::vector<test::ProcessInfo> helpers() { return test::childProcesses(::getpid(), kHelperName); }

double msSince(std::chrono::steady_clock::time_point start) {
  return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
      .count();
}

TEST(WebViewPlugViewRulesTest, PlatformTypesSizesAndRefusals) {
  FakeBridgeHost host;
  IPtr<IPlugView> view = owned(createWebViewEditor(&host, "/nonexistent/ui"));
  ASSERT_TRUE(view);
  const struct {
    const char* type;
    tresult result;
  } types[] = {{"X11EmbedWindowID", kResultTrue},
               {"NSView", kResultFalse},
               {"HWND", kResultFalse},
               {"x11embedwindowid", kResultFalse},
               {nullptr, kResultFalse}};
  for (const auto& t : types) EXPECT_EQ(view->isPlatformTypeSupported(t.type), t.result);
  EXPECT_EQ(view->canResize(), kResultTrue);

  ViewRect size;
  ASSERT_EQ(view->getSize(&size), kResultTrue);
  EXPECT_EQ(size, ViewRect(0, 0, 640, 420));
  ViewRect wide(5, 7, 2005, 107);
  EXPECT_EQ(view->checkSizeConstraint(&wide), kResultTrue);
  EXPECT_EQ(wide, ViewRect(5, 7, 1105, 247));
  EXPECT_EQ(view->checkSizeConstraint(nullptr), kInvalidArgument);
  ViewRect tiny(0, 0, 10, 10);
  EXPECT_EQ(view->onSize(&tiny), kResultTrue);
  EXPECT_EQ(tiny, ViewRect(0, 0, 320, 240));
  view->getSize(&size);
  EXPECT_EQ(size, ViewRect(0, 0, 320, 240));
  EXPECT_EQ(view->onSize(nullptr), kResultFalse);

  int parent = 0;
  EXPECT_EQ(view->attached(&parent, "NSView"), kResultFalse);
  EXPECT_EQ(view->attached(nullptr, kPlatformTypeX11EmbedWindowID), kResultFalse);
  EXPECT_EQ(view->attached(&parent, nullptr), kResultFalse);
  EXPECT_EQ(host.opened, 0);
  EXPECT_TRUE(host.errors.empty());
  view->removed();  // never attached: nothing to close
  EXPECT_EQ(host.closed, 0);
}

TEST(WebViewPlugViewRulesTest, NoEditorWithoutARoot) {
  FakeBridgeHost host;
  test::StderrCapture capture;
  // The test binary lies in no bundle, so its own UI root is empty as well.
  EXPECT_EQ(createWebViewEditor(&host, nullptr), nullptr);
  EXPECT_EQ(createWebViewEditor(&host, ""), nullptr);
  EXPECT_EQ(createWebViewEditor(nullptr, "/some/ui"), nullptr);
  const std::string line = "norvo-plugin-shell: no UI bundle found; editor disabled\n";
  EXPECT_EQ(capture.take(), line + line + line);
  EXPECT_EQ(host.errors,
            (std::vector<std::string>{"no ui bundle in plugin", "no ui bundle in plugin"}));
}

// A frame that offers nothing but IPlugFrame: no run loop to read the web view's helper from.
class BareFrame final : public IPlugFrame {
 public:
  tresult PLUGIN_API resizeView(IPlugView*, ViewRect*) override { return kResultFalse; }
  tresult PLUGIN_API queryInterface(const TUID iid, void** obj) override {
    if (FUnknownPrivate::iidEqual(iid, IPlugFrame::iid) ||
        FUnknownPrivate::iidEqual(iid, FUnknown::iid)) {
      *obj = this;
      return kResultOk;
    }
    *obj = nullptr;
    return kNoInterface;
  }
  uint32 PLUGIN_API addRef() override { return 1; }
  uint32 PLUGIN_API release() override { return 1; }
};

TEST(WebViewPlugViewRulesTest, AHostWithoutRunLoopGetsARefusal) {
  PageFolder page;
  FakeBridgeHost host;
  IPtr<IPlugView> view = owned(createWebViewEditor(&host, page.root().c_str()));
  BareFrame frame;
  view->setFrame(&frame);
  int parent = 0;
  test::StderrCapture capture;
  EXPECT_EQ(view->attached(&parent, kPlatformTypeX11EmbedWindowID), kResultFalse);
  EXPECT_NE(capture.take().find("no run loop"), std::string::npos);
  EXPECT_EQ(host.errors, std::vector<std::string>{"webview allocation failed"});
  EXPECT_EQ(host.opened, 0);
  view->setFrame(nullptr);
}

TEST(WebViewPlugViewTest, PageLoadsTalksAndPaints) {
  display();
  PageFolder page;
  FakeBridgeHost host;
  int ticks = 0;
  EditorHost editor(host, page.root(), [&] { ++ticks; });
  const auto start = std::chrono::steady_clock::now();
  ASSERT_EQ(editor.attach(), kResultOk);
  const double attachMs = msSince(start);
  EXPECT_EQ(host.opened, 1);
  ASSERT_TRUE(host.sink);
  // The helper's socket is read through the host's event handler.
  EXPECT_EQ(editor.frame().eventHandlerCount(), 1u);
  EXPECT_EQ(helpers().size(), 1u);
  ASSERT_TRUE(editor.runUntil([&] { return !host.message("norvo.ready").empty(); }));
  const double readyMs = msSince(start);
  EXPECT_EQ(host.fromPage.front(), "{\"type\":\"norvo.ready\"}");
  ASSERT_TRUE(editor.runUntil([&] { return !host.message("test.frame").empty(); }));
  EXPECT_EQ(host.message("test.frame"), "{\"type\":\"test.frame\",\"hasNorvoHost\":false}");

  // Delivery: texts reach the page's handlers in order, as parsed objects, byte-exact.
  host.sink("{\"type\":\"test.echo\",\"payload\":\"a \\\" \\\\ </script> \xC3\xA9 \xE2\x9C\x93\"}");
  host.sink("{\"type\":\"test.echo\",\"payload\":2}");
  ASSERT_TRUE(editor.runUntil([&] { return host.count("test.echoed") == 2; }));
  EXPECT_EQ(
      host.message("test.echoed"),
      "{\"type\":\"test.echoed\",\"payload\":\"a \\\" \\\\ </script> \xC3\xA9 \xE2\x9C\x93\"}");
  EXPECT_EQ(host.fromPage.back(), "{\"type\":\"test.echoed\",\"payload\":2}");

  // Round trips page -> host -> page, as a control's echo would take.
  double worstMs = 0;
  const auto trips = std::chrono::steady_clock::now();
  for (int i = 0; i < 20; ++i) {
    host.fromPage.clear();
    const auto sent = std::chrono::steady_clock::now();
    host.sink("{\"type\":\"test.echo\",\"payload\":" + std::to_string(i) + "}");
    ASSERT_TRUE(editor.runUntil([&] { return host.count("test.echoed") == 1; }));
    worstMs = std::max(worstMs, msSince(sent));
  }
  const double averageMs = msSince(trips) / 20;

  // Bodies that are not text never reach the host.
  host.sink("{\"type\":\"test.postObject\"}");
  ASSERT_TRUE(editor.runUntil([&] { return !host.message("test.afterObject").empty(); }));
  EXPECT_EQ(host.count("test.object"), 0u);

  // The scheme: served files carry their MIME type; nothing outside the root is served.
  const struct {
    const char* path;
    const char* answer;
  } fetches[] = {
      {"data.json",
       "\"status\":200,\"contentType\":\"application/json; charset=utf-8\",\"body\":"
       "\"{\\\"answer\\\":42}\\n\"}"},
      {"style.css", "\"status\":200,\"contentType\":\"text/css; charset=utf-8\""},
      {"missing.json", "\"failed\":true}"},
      {"sub%2F..%2F..%2Fsecret.txt", "\"failed\":true}"},
      {"%2e%2e/ui-secret/secret.txt", "\"failed\":true}"},
      {"..%2Fui-secret%2Fsecret.txt", "\"failed\":true}"},
      {"link-out.txt", "\"failed\":true}"},
  };
  for (const auto& f : fetches) {
    host.fromPage.clear();
    host.sink(std::string("{\"type\":\"test.fetch\",\"path\":\"") + f.path + "\"}");
    ASSERT_TRUE(editor.runUntil([&] { return !host.message("test.fetched").empty(); })) << f.path;
    const std::string answer = host.message("test.fetched");
    EXPECT_NE(answer.find(f.answer), std::string::npos) << f.path << ": " << answer;
    EXPECT_EQ(answer.find("outside"), std::string::npos) << answer;
    EXPECT_EQ(answer.find("sibling"), std::string::npos) << answer;
  }

  // The window shows the page, not the host's background.
  editor.run(milliseconds(500));
  const probe::RgbImage image = editor.window().capture();
  EXPECT_GT(shareOf(image, kPageBackground), 0.95);
  EXPECT_LT(shareOf(image, kHostBackground), 0.01);

  // The view's own cadence timer ticks about 30 times a second while attached.
  const int before = ticks;
  editor.run(milliseconds(1000));
  EXPECT_GE(ticks - before, 15);
  EXPECT_LE(ticks - before, 40);

  editor.remove();
  EXPECT_EQ(host.closed, 1);
  EXPECT_FALSE(host.sink);
  EXPECT_EQ(editor.frame().timerCount(), 0u);
  EXPECT_EQ(editor.frame().eventHandlerCount(), 0u);
  EXPECT_TRUE(helpers().empty()) << "the helper was not collected";
  const int afterRemoved = ticks;
  editor.run(milliseconds(200));
  EXPECT_EQ(ticks, afterRemoved);
  EXPECT_TRUE(host.errors.empty());
  std::cout << "[ timings  ] attach " << attachMs << " ms, norvo.ready after " << readyMs
            << " ms; round trip average " << averageMs << " ms, worst " << worstMs << " ms\n";
}

TEST(WebViewPlugViewTest, ResizesFollowTheHost) {
  display();
  PageFolder page;
  FakeBridgeHost host;
  EditorHost editor(host, page.root());
  ASSERT_EQ(editor.attach(), kResultOk);
  ASSERT_TRUE(editor.runUntil([&] { return !host.message("norvo.ready").empty(); }));
  const struct {
    int width, height;
    int expectedWidth, expectedHeight;
  } sizes[] = {{1100, 800, 1100, 800},
               {320, 240, 320, 240},
               {2000, 100, 1100, 240},
               {640, 420, 640, 420},
               {320, 240, 320, 240}};
  for (const auto& s : sizes) {
    EXPECT_EQ(editor.resize(s.width, s.height), kResultTrue);
    EXPECT_EQ(editor.window().width(), s.expectedWidth);
    const std::string expected =
        "{\"type\":\"test.size\",\"width\":" + std::to_string(s.expectedWidth) +
        ",\"height\":" + std::to_string(s.expectedHeight) + "}";
    // The page sees the new size once the helper's GTK has applied it.
    EXPECT_TRUE(editor.runUntil(
        [&] {
          host.fromPage.clear();
          host.sink("{\"type\":\"test.size\"}");
          editor.run(milliseconds(150));
          return host.message("test.size") == expected;
        },
        milliseconds(5000)))
        << expected << " but the page said " << host.message("test.size");
    // The window's pixels follow as well (the page repaints at the new size).
    double share = 0;
    EXPECT_TRUE(editor.runUntil(
        [&] {
          editor.run(milliseconds(100));
          share = shareOf(editor.window().capture(), kPageBackground);
          return share > 0.95;
        },
        milliseconds(5000)))
        << s.expectedWidth << "x" << s.expectedHeight << ": page colour on " << share;
  }
}

TEST(WebViewPlugViewTest, ThreeDetachAttachCyclesInOneProcess) {
  display();
  PageFolder page;
  FakeBridgeHost host;
  EditorHost editor(host, page.root());
  int clockTicks = 0;
  void* controllerClock =
      norvoStartCadenceClock([](void* n) { ++*static_cast<int*>(n); }, &clockTicks, 0);
  for (int cycle = 1; cycle <= 3; ++cycle) {
    host.fromPage.clear();
    clockTicks = 0;
    const auto start = std::chrono::steady_clock::now();
    ASSERT_EQ(editor.attach(), kResultOk) << "cycle " << cycle;
    const double attachMs = msSince(start);
    ASSERT_TRUE(editor.runUntil([&] { return !host.message("norvo.ready").empty(); }))
        << "cycle " << cycle;
    std::cout << "[ timings  ] cycle " << cycle << ": attach " << attachMs
              << " ms, norvo.ready after " << msSince(start) << " ms\n";
    // A clock started before any run loop was known runs on the view's run loop meanwhile.
    EXPECT_GT(clockTicks, 1) << "cycle " << cycle;
    editor.run(milliseconds(500));
    EXPECT_GT(shareOf(editor.window().capture(), kPageBackground), 0.5) << "cycle " << cycle;
    EXPECT_EQ(host.opened, cycle);
    const auto removing = std::chrono::steady_clock::now();
    editor.remove();
    std::cout << "[ timings  ] cycle " << cycle << ": removed in " << msSince(removing) << " ms\n";
    EXPECT_EQ(host.closed, cycle);
    EXPECT_FALSE(host.sink);
    EXPECT_EQ(editor.frame().timerCount(), 0u);
  }
  norvoStopCadenceClock(controllerClock);
  EXPECT_TRUE(host.errors.empty());
}

TEST(WebViewPlugViewTest, HostWindowDestroyedBeforeRemovedDoesNotEndTheHost) {
  display();
  PageFolder page;
  FakeBridgeHost host;
  {
    EditorHost editor(host, page.root());
    ASSERT_EQ(editor.attach(), kResultOk);
    ASSERT_TRUE(editor.runUntil([&] { return !host.message("norvo.ready").empty(); }));
    editor.window().destroyWindow();
    // The helper leaves with the window it lived in; that is no failure of the editor.
    EXPECT_TRUE(editor.runUntil([] { return helpers().empty(); }, milliseconds(5000)));
    editor.run(milliseconds(200));
    EXPECT_EQ(editor.frame().eventHandlerCount(), 0u);
    editor.remove();
    editor.run(milliseconds(200));
  }
  EXPECT_TRUE(host.errors.empty());
  EXPECT_EQ(host.closed, 1);
  // Still alive, and a new editor opens as before.
  host.fromPage.clear();
  EditorHost again(host, page.root());
  ASSERT_EQ(again.attach(), kResultOk);
  EXPECT_TRUE(again.runUntil([&] { return !host.message("norvo.ready").empty(); }));
}

TEST(WebViewPlugViewTest, RemovalAndWindowLossAtAnyMomentAreClean) {
  display();
  PageFolder page;
  enum class Moment { kNever, kBeforeAttach, kRightAfterAttach, kAfterReady };
  const struct {
    const char* name;
    Moment windowGone;
    Moment removed;    // kRightAfterAttach or kAfterReady
    bool waitBetween;  // the host runs its loop between losing its window and removing the view
    bool attaches;
  } cases[] = {
      {"removed right after attach", Moment::kNever, Moment::kRightAfterAttach, false, true},
      {"removed once ready", Moment::kNever, Moment::kAfterReady, false, true},
      {"window gone before attach", Moment::kBeforeAttach, Moment::kRightAfterAttach, false, false},
      {"window gone right after attach, removed at once", Moment::kRightAfterAttach,
       Moment::kRightAfterAttach, false, true},
      {"window gone right after attach, removed later", Moment::kRightAfterAttach,
       Moment::kRightAfterAttach, true, true},
      {"window gone once ready, removed at once", Moment::kAfterReady, Moment::kAfterReady, false,
       true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    FakeBridgeHost host;
    {
      EditorHost editor(host, page.root());
      ASSERT_EQ(editor.attach(c.windowGone == Moment::kBeforeAttach) == kResultOk, c.attaches);
      if (c.attaches) {
        if (c.removed == Moment::kAfterReady) {
          ASSERT_TRUE(editor.runUntil([&] { return !host.message("norvo.ready").empty(); }));
        }
        if (c.windowGone == Moment::kRightAfterAttach || c.windowGone == Moment::kAfterReady)
          editor.window().destroyWindow();
        if (c.waitBetween) editor.run(milliseconds(1000));
        editor.remove();
        EXPECT_EQ(editor.frame().timerCount(), 0u);
        EXPECT_EQ(editor.frame().eventHandlerCount(), 0u);
      }
      EXPECT_TRUE(helpers().empty()) << "a helper outlived its view";
    }
    EXPECT_EQ(host.opened, 1);
    EXPECT_EQ(host.closed, 1);
    EXPECT_FALSE(host.sink);
    EXPECT_EQ(host.errors, c.attaches ? std::vector<std::string>{}
                                      : std::vector<std::string>{"webview allocation failed"});
  }
}

TEST(WebViewPlugViewTest, AHelperThatDiesIsReportedOnceAndTheEditorOpensAgain) {
  display();
  PageFolder page;
  FakeBridgeHost host;
  EditorHost editor(host, page.root());
  for (int round = 1; round <= 2; ++round) {
    SCOPED_TRACE(round);
    host.fromPage.clear();
    ASSERT_EQ(editor.attach(), kResultOk);
    ASSERT_TRUE(editor.runUntil([&] { return !host.message("norvo.ready").empty(); }));
    const auto running = helpers();
    ASSERT_EQ(running.size(), 1u);
    ::kill(running[0].pid, round == 1 ? SIGKILL : SIGABRT);
    ASSERT_TRUE(editor.runUntil([&] { return !host.errors.empty(); }, milliseconds(5000)));
    editor.run(milliseconds(300));
    EXPECT_EQ(host.errors, std::vector<std::string>{"webview allocation failed"});
    EXPECT_EQ(editor.frame().eventHandlerCount(), 0u);
    EXPECT_TRUE(helpers().empty()) << "the dead helper was not collected";
    host.sink("{\"type\":\"test.echo\",\"payload\":1}");  // goes nowhere, harmlessly
    editor.remove();
    EXPECT_EQ(host.closed, round);
    EXPECT_FALSE(host.sink);
    host.errors.clear();
  }
  // And a healthy helper after that.
  host.fromPage.clear();
  ASSERT_EQ(editor.attach(), kResultOk);
  EXPECT_TRUE(editor.runUntil([&] { return !host.message("norvo.ready").empty(); }));
  EXPECT_TRUE(host.errors.empty());
}

TEST(WebViewPlugViewTest, TheHelperGetsNoDescriptorOfTheHost) {
  display();
  PageFolder page;
  FakeBridgeHost host;
  // A descriptor the host leaves inheritable, as careless hosts do.
  int leaky[2];
  ASSERT_EQ(::pipe(leaky), 0);
  const std::string leakyTarget =
      fs::read_symlink("/proc/self/fd/" + std::to_string(leaky[0])).string();
  ASSERT_EQ(leakyTarget.rfind("pipe:", 0), 0u) << leakyTarget;
  EditorHost editor(host, page.root());
  ASSERT_EQ(editor.attach(), kResultOk);
  const auto running = helpers();
  ASSERT_EQ(running.size(), 1u);
  const std::vector<std::string> targets = test::openFileTargets(running[0].pid);
  EXPECT_FALSE(targets.empty());
  for (const std::string& target : targets) EXPECT_NE(target, leakyTarget);
  // Standard input and output are /dev/null; its socket is descriptor 3.
  const std::string fds = "/proc/" + std::to_string(running[0].pid) + "/fd/";
  EXPECT_EQ(fs::read_symlink(fds + "0"), "/dev/null");
  EXPECT_EQ(fs::read_symlink(fds + "1"), "/dev/null");
  EXPECT_EQ(fs::read_symlink(fds + "3").string().rfind("socket:", 0), 0u);
  const std::size_t before = test::openFileTargets(::getpid()).size();
  editor.remove();
  // Our end of the socket is closed again.
  EXPECT_EQ(test::openFileTargets(::getpid()).size(), before - 1);
  ::close(leaky[0]);
  ::close(leaky[1]);
}

TEST(WebViewPlugViewTest, AnOpenEditorCostsUnder300MegabytesInAllProcesses) {
#if defined(NORVO_SANITIZED)
  GTEST_SKIP() << "sanitizer shadow memory makes the process larger than a user's";
#endif
  display();
  PageFolder page;
  FakeBridgeHost host;
  EditorHost editor(host, page.root());
  ASSERT_EQ(editor.attach(), kResultOk);
  ASSERT_TRUE(editor.runUntil([&] { return !host.message("norvo.ready").empty(); }));
  editor.run(milliseconds(2000));
  const long openKb = test::processTreePssKb(::getpid(), display().pid());
  editor.remove();
  editor.run(milliseconds(1000));
  const long closedKb = test::processTreePssKb(::getpid(), display().pid());
  std::cout << "[ memory   ] open editor " << openKb / 1024 << " MB PSS (all processes), after "
            << "removed " << closedKb / 1024 << " MB\n";
  EXPECT_LT(openKb, 300 * 1024);
}

}  // namespace
}  // namespace norvo
