// Loads a VST 3 module the way a Linux host does: dlopen the bundle's shared object, call
// ModuleEntry, then GetPluginFactory; ModuleExit and dlclose on destruction. Main thread.
#pragma once

#include "pluginterfaces/base/ipluginbase.h"

#include <string>

namespace norvo::probe {

class Vst3Module {
 public:
  // Throws ProbeError with a one-line reason when anything is missing or refused.
  explicit Vst3Module(const std::string& bundlePath);
  ~Vst3Module();
  Vst3Module(const Vst3Module&) = delete;
  Vst3Module& operator=(const Vst3Module&) = delete;

  Steinberg::IPluginFactory* factory() const { return factory_; }
  const std::string& libraryPath() const { return libraryPath_; }
  // A symbol the module exports, or null.
  void* symbol(const char* name) const;

 private:
  void unload();

  void* handle_ = nullptr;
  bool entered_ = false;
  std::string libraryPath_;
  Steinberg::IPluginFactory* factory_ = nullptr;
};

// The shared object inside a bundle ("X.vst3/Contents/x86_64-linux/X.so"), or the path itself
// when it names a file. Throws ProbeError when neither exists.
std::string moduleLibraryPath(const std::string& bundlePath);

// The bundle folder a path names: the path itself when it is a folder, the bundle around it
// when it names the module inside one (X.vst3/Contents/<arch>/X.so), else "" (a loose module).
std::string bundleFolder(const std::string& bundlePath);

// The module's name as hosts show it: the bundle's folder name without ".vst3", or the loose
// module file's name without its extension.
std::string bundleModuleName(const std::string& bundlePath);

// Where the bundle keeps its moduleinfo.json (Contents/Resources), or "" for a loose module.
std::string moduleInfoFilePath(const std::string& bundlePath);

}  // namespace norvo::probe
