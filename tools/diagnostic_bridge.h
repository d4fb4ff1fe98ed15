// The module's diagnostic bridge: four exported C functions through which an outside harness
// talks to the edit controller exactly as the editor page does (page messages in, page-bound
// texts out through a callback, cadence ticks), without a web view. Looked up by name in the
// loaded module. Main thread.
#pragma once

#include "tools/vst3_module.h"

#include "pluginterfaces/base/funknown.h"

#include <cstddef>

namespace norvo::probe {

// The bridge interface version this probe speaks.
inline constexpr int kDiagnosticBridgeAbiVersion = 2;

// Receives one page-bound JSON text (not NUL-terminated) during a controller call.
using DiagnosticBridgeSink = void (*)(void* userData, const char* text, std::size_t length);

struct DiagnosticBridge {
  int (*abiVersion)() = nullptr;
  // A null sink clears the controller's sink. 1 on success, 0 when the object is no controller.
  int (*installSink)(Steinberg::FUnknown* controller, DiagnosticBridgeSink sink,
                     void* userData) = nullptr;
  // Hands one page message (UTF-8 JSON, `length` bytes) to the controller. 1 or 0.
  int (*deliver)(Steinberg::FUnknown* controller, const char* text, std::size_t length) = nullptr;
  // Runs one cadence tick of the controller. 1 or 0.
  int (*tick)(Steinberg::FUnknown* controller) = nullptr;
};

// The four functions of `module`. Throws ProbeError naming the first missing function, or the
// version when the module speaks another one.
DiagnosticBridge findDiagnosticBridge(const Vst3Module& module);

}  // namespace norvo::probe
