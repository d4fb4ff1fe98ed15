// Which files of the UI root a browser request may name, and their content types.
#include "tools/ui_file.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>

namespace norvo::probe {
namespace {

namespace fs = std::filesystem;

class UiFileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/ui-file-XXXXXX";
    base_ = mkdtemp(pattern);
    root_ = base_ / "ui";
    for (const char* dir : {"ui/sub", "ui-other"}) fs::create_directories(base_ / dir);
    for (const char* file : {"ui/index.html", "ui/app.js", "ui/sub/a.css", "ui/space name.txt",
                             "ui-other/x.txt", "secret.txt"})
      std::ofstream(base_ / file) << file;
    fs::create_symlink(base_ / "secret.txt", root_ / "escape.txt");
    fs::create_symlink(root_ / "app.js", root_ / "sub" / "link.js");
    root_ = fs::canonical(root_);
  }
  void TearDown() override { fs::remove_all(base_); }

  fs::path base_;
  fs::path root_;
};

TEST_F(UiFileTest, ServesFilesInsideTheRoot) {
  const struct {
    const char* target;
    const char* file;
  } cases[] = {{"/", "index.html"},        {"/index.html", "index.html"},
               {"/app.js?v=2", "app.js"},  {"/sub/a.css#top", "sub/a.css"},
               {"//app.js", "app.js"},     {"/space%20name.txt", "space name.txt"},
               {"/sub/link.js", "app.js"}, {"/%61pp.js", "app.js"}};
  for (const auto& c : cases) {
    const std::optional<fs::path> file = resolveUiFile(root_, c.target);
    ASSERT_TRUE(file) << c.target;
    EXPECT_EQ(*file, root_ / c.file) << c.target;
  }
}

TEST_F(UiFileTest, RefusesEverythingElse) {
  for (const char* target :
       {"/../secret.txt", "/sub/../../secret.txt", "/sub/../app.js", "/./app.js",
        "/%2e%2e/secret.txt", "/%2E%2E%2Fsecret.txt", "/..%2fsecret.txt", "/sub/%2e%2e/app.js",
        "/../ui-other/x.txt", "/escape.txt", "/sub", "/missing.js", "/app.js%00.png", "/%zz",
        "/app.js%", "app.js", "http://127.0.0.1/app.js", ""})
    EXPECT_FALSE(resolveUiFile(root_, target)) << target;
}

TEST(UiMimeType, FollowsTheEditorsTable) {
  const struct {
    const char* name;
    const char* type;
  } cases[] = {{"index.html", "text/html"},
               {"A.JS", "text/javascript"},
               {"m.mjs", "text/javascript"},
               {"s.Css", "text/css"},
               {"f.woff2", "font/woff2"},
               {"d.map", "application/json"},
               {"i.svg", "image/svg+xml"},
               {"x.wasm", "application/wasm"},
               {"README", "application/octet-stream"},
               {"a.md", "application/octet-stream"}};
  for (const auto& c : cases) EXPECT_EQ(uiMimeType(c.name), c.type) << c.name;
}

}  // namespace
}  // namespace norvo::probe
