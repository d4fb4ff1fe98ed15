// The bundle's Contents/Resources/moduleinfo.json against its factory: the file the build
// wrote is compared, class by class, with what the module's factory answers when this test
// loads it like a host; norvo-probe writes the same document again and shows it in its listing.
#include "support/e2e/probe_runner.h"
#include "support/tools/flat_json.h"

#include "pluginterfaces/base/funknown.h"
#include "pluginterfaces/base/ipluginbase.h"

#include <dlfcn.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>

namespace norvo::e2e {
namespace {

using namespace Steinberg;

const std::string kProbe = NORVO_PROBE_PATH;
const std::string kBundle = NORVO_BUNDLE_PATH;
const std::string kModule = kBundle + "/Contents/x86_64-linux/Chord.so";
const std::string kModuleInfo = kBundle + "/Contents/Resources/moduleinfo.json";

std::string readFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::string hex(const TUID id) {
  std::string out;
  for (int i = 0; i < 16; ++i) {
    char digits[3];
    std::snprintf(digits, sizeof digits, "%02X", static_cast<unsigned char>(id[i]));
    out += digits;
  }
  return out;
}

// UTF-16 text of the SDK's fixed fields; the plug-in's texts are ASCII.
template <size_t N>
std::string ascii(const char16 (&field)[N]) {
  std::string out;
  for (size_t i = 0; i < N && field[i]; ++i) out += static_cast<char>(field[i]);
  return out;
}

// The module opened the way a Linux host opens it, with its factory.
class LoadedModule {
 public:
  LoadedModule() {
    handle_ = dlopen(kModule.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!handle_) return;
    auto entry = reinterpret_cast<bool (*)(void*)>(dlsym(handle_, "ModuleEntry"));
    auto get = reinterpret_cast<IPluginFactory* (*)()>(dlsym(handle_, "GetPluginFactory"));
    if (entry && get && entry(handle_)) factory_ = get();
  }
  ~LoadedModule() {
    if (factory_) factory_->release();
    if (handle_) {
      if (auto exit = reinterpret_cast<bool (*)()>(dlsym(handle_, "ModuleExit"))) exit();
      dlclose(handle_);
    }
  }
  IPluginFactory* factory() const { return factory_; }

 private:
  void* handle_ = nullptr;
  IPluginFactory* factory_ = nullptr;
};

const char* boolean(bool value) { return value ? "true" : "false"; }

TEST(ModuleInfo, BundleFileAgreesWithTheFactoryClassByClass) {
  const auto parsed = test::flattenJson(readFile(kModuleInfo));
  ASSERT_TRUE(parsed) << kModuleInfo;
  const test::FlatJson& doc = *parsed;
  EXPECT_EQ(doc.at("Name"), "Chord");
  EXPECT_EQ(doc.at("Version"), NORVO_PROJECT_VERSION);
  EXPECT_EQ(doc.at("Compatibility"), "[]");

  LoadedModule module;
  ASSERT_NE(module.factory(), nullptr) << dlerror();
  IPluginFactory& factory = *module.factory();
  PFactoryInfo info{};
  ASSERT_EQ(factory.getFactoryInfo(&info), kResultOk);
  EXPECT_EQ(doc.at("Factory Info.Vendor"), info.vendor);
  EXPECT_EQ(doc.at("Factory Info.URL"), info.url);
  EXPECT_EQ(doc.at("Factory Info.E-Mail"), info.email);
  EXPECT_EQ(doc.at("Factory Info.Flags.Unicode"), boolean(info.flags & PFactoryInfo::kUnicode));
  EXPECT_EQ(doc.at("Factory Info.Flags.Classes Discardable"),
            boolean(info.flags & PFactoryInfo::kClassesDiscardable));
  EXPECT_EQ(doc.at("Factory Info.Flags.Component Non Discardable"),
            boolean(info.flags & PFactoryInfo::kComponentNonDiscardable));

  FUnknownPtr<IPluginFactory3> factory3(&factory);
  ASSERT_TRUE(factory3);
  const int32 count = factory.countClasses();
  ASSERT_GT(count, 0);
  EXPECT_EQ(doc.count("Classes[" + std::to_string(count) + "].CID"), 0u);
  for (int32 i = 0; i < count; ++i) {
    SCOPED_TRACE(i);
    const std::string at = "Classes[" + std::to_string(i) + "].";
    PClassInfoW c{};
    ASSERT_EQ(factory3->getClassInfoUnicode(i, &c), kResultOk);
    EXPECT_EQ(doc.at(at + "CID"), hex(c.cid));
    EXPECT_EQ(doc.at(at + "Category"), c.category);
    EXPECT_EQ(doc.at(at + "Name"), ascii(c.name));
    EXPECT_EQ(doc.at(at + "Vendor"), ascii(c.vendor));
    EXPECT_EQ(doc.at(at + "Version"), ascii(c.version));
    EXPECT_EQ(doc.at(at + "SDKVersion"), ascii(c.sdkVersion));
    std::string subCategories =
        doc.count(at + "Sub Categories") ? "" : doc.at(at + "Sub Categories[0]");
    for (int k = 1; doc.count(at + "Sub Categories[" + std::to_string(k) + "]"); ++k)
      subCategories += "|" + doc.at(at + "Sub Categories[" + std::to_string(k) + "]");
    EXPECT_EQ(subCategories, c.subCategories);
    EXPECT_EQ(doc.at(at + "Class Flags"), std::to_string(c.classFlags));
    EXPECT_EQ(doc.at(at + "Cardinality"), std::to_string(c.cardinality));
    EXPECT_EQ(doc.at(at + "Snapshots"), "[]");  // the bundle ships no snapshots
  }
}

TEST(ModuleInfo, ProbeWritesTheSameDocumentAgainAndListsIt) {
  const std::string built = readFile(kModuleInfo);
  ASSERT_FALSE(built.empty());

  const CommandResult toStdout = runCommand({kProbe, "moduleinfo", kBundle});
  ASSERT_EQ(toStdout.exitCode, 0) << toStdout.err;
  EXPECT_EQ(toStdout.out, built);
  EXPECT_EQ(toStdout.err, "");

  TempDir dir;
  const std::string path = dir.path("moduleinfo.json");
  std::ofstream(path) << "an older file";
  const CommandResult toFile = runCommand({kProbe, "moduleinfo", kModule, "--output", path});
  ASSERT_EQ(toFile.exitCode, 0) << toFile.err;
  EXPECT_EQ(toFile.out, "");
  EXPECT_EQ(readFile(path), built);  // the module named by its file: the same bundle name

  const CommandResult info = runCommand({kProbe, "info", kBundle});
  ASSERT_EQ(info.exitCode, 0) << info.err;
  const std::string tail = "moduleinfo.json\n" + built;
  ASSERT_GE(info.out.size(), tail.size());
  EXPECT_EQ(info.out.substr(info.out.size() - tail.size()), tail);
}

TEST(ModuleInfo, ListingSaysWhenTheBundleHasNone) {
  TempDir dir;
  const std::string bundle = dir.path("Chord.vst3");
  std::filesystem::create_directories(bundle + "/Contents/x86_64-linux");
  std::filesystem::create_symlink(kModule, bundle + "/Contents/x86_64-linux/Chord.so");
  const CommandResult info = runCommand({kProbe, "info", bundle});
  ASSERT_EQ(info.exitCode, 0) << info.err;
  const std::string tail = "\nno moduleinfo.json\n";
  ASSERT_GE(info.out.size(), tail.size());
  EXPECT_EQ(info.out.substr(info.out.size() - tail.size()), tail);
}

}  // namespace
}  // namespace norvo::e2e
