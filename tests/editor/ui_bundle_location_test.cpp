// Finding the UI root from a module path, and from inside a module loaded from a bundle.
#include "editor/ui_bundle_location.h"

#include <dlfcn.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "editor/module_location.h"

namespace norvo {
namespace {

namespace fs = std::filesystem;

class BundleFolderTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    base_ = fs::temp_directory_path() / (std::string("norvo-bundle-") + info->test_suite_name() +
                                         "-" + info->name() + "-" + std::to_string(::getpid()));
    fs::remove_all(base_);
    contents_ = base_ / "Chord.vst3" / "Contents";
    fs::create_directories(contents_ / "x86_64-linux");
  }
  void TearDown() override { fs::remove_all(base_); }

  std::string modulePath() const { return (contents_ / "x86_64-linux" / "Chord.so").string(); }
  fs::path uiRoot() const { return contents_ / "Resources" / "ui"; }

  fs::path base_;
  fs::path contents_;
};

TEST_F(BundleFolderTest, RootCountsOnlyWhenItIsADirectory) {
  EXPECT_EQ(uiRootForModulePath(modulePath()), "");
  fs::create_directories(uiRoot().parent_path());
  std::ofstream(uiRoot()) << "not a folder";
  EXPECT_EQ(uiRootForModulePath(modulePath()), "");
  fs::remove(uiRoot());
  fs::create_directories(uiRoot());
  EXPECT_EQ(uiRootForModulePath(modulePath()), uiRoot().string());
}

TEST_F(BundleFolderTest, PathsAreStandardized) {
  fs::create_directories(uiRoot());
  const std::string messy =
      (contents_ / "x86_64-linux" / ".." / "x86_64-linux" / "." / "Chord.so").string();
  const std::string doubled = contents_.string() + "//x86_64-linux//Chord.so";
  EXPECT_EQ(uiRootForModulePath(messy), uiRoot().string());
  EXPECT_EQ(uiRootForModulePath(doubled), uiRoot().string());
  EXPECT_EQ(uiContentsFolderForModulePath(doubled), contents_.string());
  EXPECT_EQ(uiManifestPathForModulePath(modulePath()),
            contents_.string() + "/Resources/ui/manifest.json");
  EXPECT_EQ(uiRootForModulePath(""), "");
  EXPECT_EQ(uiManifestPathForModulePath(""), "");
}

TEST_F(BundleFolderTest, ModuleLoadedFromABundleFindsItsOwnRootAndManifest) {
  fs::create_directories(uiRoot());
  std::ofstream(uiRoot() / "manifest.json")
      << R"({"buildTime":"2026-12-07T00:00:00Z","nested":{"sha256":"no"},"sha256":"feed"})";
  fs::copy_file(NORVO_UI_PROBE_MODULE, modulePath());

  void* module = dlopen(modulePath().c_str(), RTLD_NOW | RTLD_LOCAL);
  ASSERT_NE(module, nullptr) << dlerror();
  using TextFn = const char* (*)();
  using AddressFn = const void* (*)();
  using RootForAddressFn = const char* (*)(const void*);
  auto pluginRoot = reinterpret_cast<TextFn>(dlsym(module, "norvoPluginUiRootForDiagnostics"));
  auto rootForAddress =
      reinterpret_cast<RootForAddressFn>(dlsym(module, "norvoUiRootForImageAddress"));
  auto buildTime = reinterpret_cast<TextFn>(dlsym(module, "probeUiBuildTime"));
  auto sha256 = reinterpret_cast<TextFn>(dlsym(module, "probeUiSha256"));
  auto addressInModule = reinterpret_cast<AddressFn>(dlsym(module, "probeAddressInModule"));
  ASSERT_TRUE(pluginRoot && rootForAddress && buildTime && sha256 && addressInModule);

  EXPECT_STREQ(pluginRoot(), uiRoot().string().c_str());
  const char* viaAddress = rootForAddress(addressInModule());
  ASSERT_NE(viaAddress, nullptr);
  EXPECT_STREQ(viaAddress, uiRoot().string().c_str());
  EXPECT_STREQ(buildTime(), "2026-12-07T00:00:00Z");
  EXPECT_STREQ(sha256(), "feed");

  // The test binary itself lies in no bundle; an address in no image has no root either.
  static const char here = 0;
  EXPECT_EQ(rootForAddress(&here), nullptr);
  EXPECT_EQ(rootForAddress(nullptr), nullptr);
  EXPECT_FALSE(moduleFilePathForAddress(&here).empty());
  EXPECT_TRUE(moduleFilePathForAddress(nullptr).empty());

  // The root is read anew on every call: a bundle whose ui folder vanished has none.
  fs::remove_all(uiRoot());
  EXPECT_STREQ(pluginRoot(), "");
  dlclose(module);
}

}  // namespace
}  // namespace norvo
