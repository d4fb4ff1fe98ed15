// Loading a VST 3 module like a Linux host.
#include "tools/vst3_module.h"

#include "tools/crash_guard.h"
#include "tools/probe_error.h"

#include <dlfcn.h>
#include <filesystem>

namespace norvo::probe {

namespace fs = std::filesystem;

namespace {

using ModuleEntryFunc = bool (*)(void*);
using ModuleExitFunc = bool (*)();
using GetFactoryFunc = Steinberg::IPluginFactory* (*)();

constexpr const char* kArchitectureFolder = "x86_64-linux";

}  // namespace

std::string moduleLibraryPath(const std::string& bundlePath) {
  std::error_code ec;
  const fs::path bundle(bundlePath);
  if (!fs::exists(bundle, ec)) throw ProbeError("no such bundle: " + bundlePath);
  if (!fs::is_directory(bundle, ec)) return bundlePath;
  fs::path name = bundle.filename();
  if (name.empty()) name = bundle.parent_path().filename();
  const fs::path library =
      bundle / "Contents" / kArchitectureFolder / name.replace_extension(".so");
  if (!fs::is_regular_file(library, ec))
    throw ProbeError("bundle " + bundlePath + " has no module " + library.string());
  return library.string();
}

std::string bundleFolder(const std::string& bundlePath) {
  std::error_code ec;
  fs::path path(bundlePath);
  if (path.filename().empty()) path = path.parent_path();  // "X.vst3/"
  if (fs::is_directory(path, ec)) return path.string();
  const fs::path contents = path.parent_path().parent_path();
  if (contents.filename() == "Contents" && !contents.parent_path().empty())
    return contents.parent_path().string();
  return "";
}

std::string bundleModuleName(const std::string& bundlePath) {
  const std::string folder = bundleFolder(bundlePath);
  fs::path path = folder.empty() ? fs::path(bundlePath) : fs::path(folder);
  return path.stem().string();
}

std::string moduleInfoFilePath(const std::string& bundlePath) {
  const std::string folder = bundleFolder(bundlePath);
  if (folder.empty()) return "";
  return (fs::path(folder) / "Contents" / "Resources" / "moduleinfo.json").string();
}

Vst3Module::Vst3Module(const std::string& bundlePath)
    : libraryPath_(moduleLibraryPath(bundlePath)) {
  setCrashStep("loading the module");
  dlerror();
  handle_ = dlopen(libraryPath_.c_str(), RTLD_LAZY | RTLD_LOCAL);
  if (!handle_) {
    const char* reason = dlerror();
    throw ProbeError("cannot load " + libraryPath_ + ": " + (reason ? reason : "unknown error"));
  }
  auto entry = reinterpret_cast<ModuleEntryFunc>(dlsym(handle_, "ModuleEntry"));
  auto getFactory = reinterpret_cast<GetFactoryFunc>(dlsym(handle_, "GetPluginFactory"));
  if (!entry || !getFactory) {
    dlclose(handle_);
    handle_ = nullptr;
    throw ProbeError(libraryPath_ + " does not export " +
                     (!entry ? "ModuleEntry" : "GetPluginFactory"));
  }
  setCrashStep("calling ModuleEntry");
  if (!entry(handle_)) {
    dlclose(handle_);
    handle_ = nullptr;
    throw ProbeError("ModuleEntry of " + libraryPath_ + " failed");
  }
  entered_ = true;
  setCrashStep("calling GetPluginFactory");
  factory_ = getFactory();
  if (!factory_) {
    unload();
    throw ProbeError("GetPluginFactory of " + libraryPath_ + " returned no factory");
  }
}

Vst3Module::~Vst3Module() { unload(); }

void* Vst3Module::symbol(const char* name) const {
  return handle_ ? dlsym(handle_, name) : nullptr;
}

void Vst3Module::unload() {
  if (!handle_) return;
  setCrashStep("unloading the module");
  if (factory_) {
    factory_->release();
    factory_ = nullptr;
  }
  if (entered_) {
    if (auto exit = reinterpret_cast<ModuleExitFunc>(dlsym(handle_, "ModuleExit"))) exit();
    entered_ = false;
  }
  dlclose(handle_);
  handle_ = nullptr;
}

}  // namespace norvo::probe
