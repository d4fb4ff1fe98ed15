// Looking up the diagnostic bridge in a loaded module.
#include "tools/diagnostic_bridge.h"

#include "tools/probe_error.h"

namespace norvo::probe {

namespace {

template <class F>
void lookUp(const Vst3Module& module, const char* name, F& function) {
  function = reinterpret_cast<F>(module.symbol(name));
  if (!function)
    throw ProbeError(module.libraryPath() + " does not export the diagnostic bridge (" + name +
                     "), so its controller cannot be reached from a browser");
}

}  // namespace

DiagnosticBridge findDiagnosticBridge(const Vst3Module& module) {
  DiagnosticBridge bridge;
  lookUp(module, "norvoDiagnosticBridgeAbiVersion", bridge.abiVersion);
  lookUp(module, "norvoInstallDiagnosticBridgeSink", bridge.installSink);
  lookUp(module, "norvoDeliverDiagnosticBridgeMessage", bridge.deliver);
  lookUp(module, "norvoTickDiagnosticCadence", bridge.tick);
  const int version = bridge.abiVersion();
  if (version != kDiagnosticBridgeAbiVersion)
    throw ProbeError(module.libraryPath() + " speaks diagnostic bridge version " +
                     std::to_string(version) + "; norvo-probe speaks version " +
                     std::to_string(kDiagnosticBridgeAbiVersion));
  return bridge;
}

}  // namespace norvo::probe
