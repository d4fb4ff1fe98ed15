// The "norvo-ui" scheme: which request paths serve which files of the UI root (and which never
// leave it), percent decoding, and the MIME table.
#include "editor/ui_scheme.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>

namespace norvo {
namespace {

namespace fs = std::filesystem;

// <base>/ui is the root; <base>/ui-secret is a sibling whose name starts with the root's name;
// <base>/secret.txt lies outside. Links inside the root lead in and out.
class UiSchemeTest : public ::testing::Test {
 protected:
  void SetUp() override {
    base_ = fs::temp_directory_path() / ("norvo-scheme-" + std::to_string(::getpid()));
    fs::remove_all(base_);
    fs::create_directories(root() / "sub");
    fs::create_directories(base_ / "ui-secret");
    for (const char* name : {"ui/index.html", "ui/app.js", "ui/sub/page.css", "ui/a b.txt",
                             "ui-secret/secret.txt", "secret.txt"}) {
      std::ofstream(base_ / name) << name;
    }
    fs::create_symlink(base_ / "secret.txt", root() / "link-out.txt");
    fs::create_symlink(base_ / "ui-secret", root() / "dir-out");
    fs::create_symlink("app.js", root() / "alias.js");
  }
  void TearDown() override { fs::remove_all(base_); }

  fs::path root() const { return base_ / "ui"; }

  // What the glue does with an encoded request path: decode, then resolve.
  std::string served(const std::string& rootText, const std::string& encodedPath) const {
    const auto decoded = percentDecodeUrlPath(encodedPath);
    if (!decoded) return "<bad escape>";
    const std::string full = uiSchemeFilePath(rootText, *decoded);
    if (full.empty()) return "<fails>";
    return fs::path(full).lexically_relative(base_).string();
  }

  fs::path base_;
};

TEST_F(UiSchemeTest, RequestPathsServeOnlyFilesInsideTheRoot) {
  struct Case {
    const char* path;
    const char* expected;
  };
  const Case cases[] = {
      {"", "ui/index.html"},
      {"/", "ui/index.html"},
      {"/index.html", "ui/index.html"},
      {"/app.js", "ui/app.js"},
      {"/sub/page.css", "ui/sub/page.css"},
      {"//sub//./page.css", "ui/sub/page.css"},
      {"/sub/../app.js", "ui/app.js"},
      {"/a%20b.txt", "ui/a b.txt"},
      {"/alias.js", "ui/alias.js"},
      {"/missing.js", "<fails>"},
      {"/sub", "ui/sub"},  // a folder resolves; reading it fails in the glue
      {"/..", "<fails>"},
      {"/../secret.txt", "<fails>"},
      {"/sub/../../secret.txt", "<fails>"},
      {"/%2e%2e/secret.txt", "<fails>"},
      {"/%2E%2E%2Fsecret.txt", "<fails>"},
      {"/sub%2F..%2F..%2Fsecret.txt", "<fails>"},
      {"/../ui-secret/secret.txt", "<fails>"},
      {"/..%2Fui-secret%2Fsecret.txt", "<fails>"},
      {"/link-out.txt", "<fails>"},
      {"/dir-out/secret.txt", "<fails>"},
      {"/%00", "<bad escape>"},
      {"/app.js%00.png", "<bad escape>"},
      {"/bad%zz", "<bad escape>"},
      {"/trailing%2", "<bad escape>"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(served(root().string(), c.path), c.expected) << "path " << c.path;
  }
}

TEST_F(UiSchemeTest, RootIsStandardizedBeforeTheTest) {
  for (const std::string& rootText :
       {root().string() + "/", root().string() + "//", (root() / "sub" / "..").string(),
        (base_ / "." / "ui").string()}) {
    EXPECT_EQ(served(rootText, "/app.js"), "ui/app.js") << rootText;
    EXPECT_EQ(served(rootText, "/../ui-secret/secret.txt"), "<fails>") << rootText;
  }
  EXPECT_EQ(served("", "/app.js"), "<fails>");
  EXPECT_EQ(uiSchemeFilePath(root().string(), std::string("/app.js\0x", 9)), "");
}

TEST(UiSchemeMimeTest, ExtensionsMapThroughTheTableInLowerCase) {
  struct Case {
    const char* path;
    const char* type;
  };
  const Case cases[] = {
      {"/r/a.css", "text/css"},
      {"/r/a.gif", "image/gif"},
      {"/r/a.htm", "text/html"},
      {"/r/a.html", "text/html"},
      {"/r/a.ico", "image/x-icon"},
      {"/r/a.jpeg", "image/jpeg"},
      {"/r/a.jpg", "image/jpeg"},
      {"/r/a.js", "text/javascript"},
      {"/r/a.json", "application/json"},
      {"/r/a.map", "application/json"},
      {"/r/a.mjs", "text/javascript"},
      {"/r/a.png", "image/png"},
      {"/r/a.svg", "image/svg+xml"},
      {"/r/a.ttf", "font/ttf"},
      {"/r/a.txt", "text/plain"},
      {"/r/a.wasm", "application/wasm"},
      {"/r/a.woff", "font/woff"},
      {"/r/a.woff2", "font/woff2"},
      {"/r/APP.JS", "text/javascript"},
      {"/r/Page.HtMl", "text/html"},
      {"/r/a.min.js", "text/javascript"},
      {"/r/a.exe", "application/octet-stream"},
      {"/r/README", "application/octet-stream"},
      {"/r/js", "application/octet-stream"},
      {"/r/a.", "application/octet-stream"},
      {"/r.js/file", "application/octet-stream"},
      {"/r/a.jsx", "application/octet-stream"},
      {"/r/a.woff3", "application/octet-stream"},
  };
  for (const Case& c : cases) EXPECT_STREQ(uiSchemeMimeType(c.path), c.type) << c.path;
}

}  // namespace
}  // namespace norvo
