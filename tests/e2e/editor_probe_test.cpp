// The plug-in's editor through the real controller, in `norvo-probe editor` under an Xvfb
// server the test starts: the page shows in the probe's window, its "norvo.ready" is answered
// with the hello, a parameter change made by the page reaches the processor's next chord, and
// host automation reaches the page.
// Needs a controller that returns the web view editor from createView("editor"), the diagnostic
// bridge exports, and a page that sends "norvo.ready".
#include <gtest/gtest.h>
#include <png.h>

#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "support/e2e/chord_reference.h"
#include "support/e2e/probe_runner.h"
#include "support/editor/xvfb_display.h"

namespace norvo::e2e {
namespace {

constexpr std::uint32_t kProbeBackground = 0x400000;

test::XvfbDisplay& display() {
  static test::XvfbDisplay server;
  return server;
}

// Share of the pixels of an 8-bit RGB PNG that have `color`; -1 when it cannot be read.
double shareOfColor(const std::string& path, std::uint32_t color) {
  png_image image{};
  image.version = PNG_IMAGE_VERSION;
  if (!png_image_begin_read_from_file(&image, path.c_str())) return -1;
  image.format = PNG_FORMAT_RGB;
  std::vector<unsigned char> pixels(PNG_IMAGE_SIZE(image));
  if (!png_image_finish_read(&image, nullptr, pixels.data(), 0, nullptr)) return -1;
  long hits = 0;
  const long count = static_cast<long>(image.width) * image.height;
  for (long i = 0; i < count; ++i) {
    const std::uint32_t pixel =
        (pixels[i * 3] << 16) | (pixels[i * 3 + 1] << 8) | pixels[i * 3 + 2];
    hits += pixel == color ? 1 : 0;
  }
  return count > 0 ? static_cast<double>(hits) / count : -1;
}

TEST(EditorProbe, WindowShowsThePageNotTheHostBackground) {
  display();
  TempDir dir;
  const std::string shot = dir.path("editor.png");
  const CommandResult r = runCommand(
      {NORVO_PROBE_PATH, "editor", NORVO_BUNDLE_PATH, "--after", "3000", "--screenshot", shot});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  const double host = shareOfColor(shot, kProbeBackground);
  ASSERT_GE(host, 0) << "no readable screenshot";
  EXPECT_LT(host, 0.01);
}

// The page, attached in the probe's window, and the processor behind it: the page's own edit
// reaches the next chord without an echo, host automation reaches the page and the processor,
// and the state the controller reports to the page has both.
TEST(EditorProbe, PageAndHostEditsReachTheProcessorAndThePage) {
  display();
  TempDir dir;
  const std::string script = dir.path("script.jsonl");
  std::ofstream(script) << "!play 60\n"
                        << "{\"type\":\"norvo.setParam\",\"path\":\"chord.spread\",\"value\":1}\n"
                        << "!play 60\n"
                        << "!host-edit 1 0.6\n"
                        << "!tick 3\n"
                        << "!play 60\n"
                        << "{\"type\":\"norvo.getState\"}\n";
  const CommandResult r =
      runCommand({NORVO_PROBE_PATH, "editor", NORVO_BUNDLE_PATH, "--script", script});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  std::vector<std::string> plays;
  std::istringstream lines(r.out);
  for (std::string line; std::getline(lines, line);)
    if (line.rfind(R"({"probe":"notes")", 0) == 0) plays.push_back(line);

  EXPECT_NE(r.out.find(R"(page: {"type":"norvo.ready"})"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find(R"(host: {"type":"norvo.hello","plugin":{"id":"music.norvo.chord")"),
            std::string::npos)
      << r.out;
  EXPECT_NE(r.out.find(R"({"probe":"edits","edits":[{"id":2,"normalized":0.75}]})"),
            std::string::npos)
      << r.out;
  EXPECT_EQ(r.out.find(R"(host: {"type":"norvo.paramChanged","path":"chord.spread")"),
            std::string::npos)
      << r.out;
  EXPECT_NE(
      r.out.find(
          R"(host: {"type":"norvo.paramChanged","path":"chord.mode","value":3,"normalized":0.6})"),
      std::string::npos)
      << r.out;

  ChordReference reference;
  std::vector<std::string> expected{probePlayLine(reference, 60)};
  reference.set("chord.spread", 1);
  expected.push_back(probePlayLine(reference, 60));
  reference.set("chord.mode", 3);
  expected.push_back(probePlayLine(reference, 60));
  EXPECT_EQ(plays, expected) << r.out;

  const std::size_t state = r.out.find(R"(host: {"type":"norvo.state")");
  ASSERT_NE(state, std::string::npos) << r.out;
  EXPECT_NE(r.out.find(R"("chord.spread":1)", state), std::string::npos) << r.out;
  EXPECT_NE(r.out.find(R"("chord.mode":3)", state), std::string::npos) << r.out;
}

}  // namespace
}  // namespace norvo::e2e
