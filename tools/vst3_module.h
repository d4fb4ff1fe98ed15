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

}  // namespace norvo::probe
