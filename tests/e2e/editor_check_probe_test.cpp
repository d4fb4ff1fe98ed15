// `norvo-probe editor` on the editor check bundle under an Xvfb server the test starts: the
// probe loads the module with dlopen like any host, the editor view starts its web view helper
// from the bundle, the page paints the probe's window and its first messages come back through
// the probe's run loop.
#include <gtest/gtest.h>
#include <png.h>

#include <string>
#include <vector>

#include "support/e2e/probe_runner.h"
#include "support/editor/xvfb_display.h"

namespace norvo::e2e {
namespace {

constexpr std::uint32_t kPageBackground = 0x33cc66;

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

TEST(EditorCheckProbe, ThePagePaintsTheProbesWindowAndTalks) {
  test::XvfbDisplay display;
  TempDir dir;
  const std::string shot = dir.path("editor.png");
  const CommandResult r = runCommand({NORVO_PROBE_PATH, "editor", NORVO_EDITOR_CHECK_BUNDLE,
                                      "--after", "3000", "--screenshot", shot, "--timings"});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  EXPECT_GT(shareOfColor(shot, kPageBackground), 0.95) << r.err;
  EXPECT_NE(r.out.find("page: {\"type\":\"norvo.ready\"}\n"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("page: {\"type\":\"test.frame\",\"hasNorvoHost\":false}\n"),
            std::string::npos)
      << r.out;
  // The controller heard the editor open and close, and no failure.
  EXPECT_NE(r.err.find("editor check: opened\n"), std::string::npos) << r.err;
  EXPECT_NE(r.err.find("editor check: closed\n"), std::string::npos) << r.err;
  EXPECT_EQ(r.err.find("editor check: error"), std::string::npos) << r.err;
}

}  // namespace
}  // namespace norvo::e2e
