// Writers of the identity object (who the plug-in is, with its editor bundle's manifest facts)
// and of the capabilities object. Main thread.
#pragma once

#include <cstdint>
#include <string>

#include "editor/ui_bundle_facts.h"

namespace norvo {

// The kind of plug-in wrapper reporting; this plug-in always reports kTargetVst3.
enum DiagnosticTarget : std::uint8_t {
  kTargetVst3 = 0,
  kTargetClap = 1,
  kTargetAu = 2,
  kTargetStandalone = 3,
  kTargetOffline = 4,
};

// "vst3", "clap", "au", "standalone", "offline"; values above 4 are "offline". Any thread.
const char* diagnosticTargetName(std::uint8_t target) noexcept;

// Appends the identity object. Its "ui" block comes from this module's editor bundle
// manifest, read once per process.
void writeDiagnosticIdentityJson(std::string& out, std::uint8_t target);

// Same, with the editor bundle facts given ("ui" left out when they are all empty).
void writeDiagnosticIdentityJson(std::string& out, std::uint8_t target, const UiBundleFacts& ui);

// Appends {"feeds":[],"commands":[],"maxFeedHz":0}.
void writeDiagnosticCapabilitiesJson(std::string& out);

}  // namespace norvo
