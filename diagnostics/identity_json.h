// Writers of the identity, capabilities, bank and preset state objects and of the diagnostic
// blocks of the hello message. Main thread.
#pragma once

#include <cstdint>
#include <string>

#include "diagnostics/host_facts.h"
#include "diagnostics/preset_state_facts.h"
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

// "vst3", "clap", "au", "standalone", "offline"; values above 4 are "offline".
const char* diagnosticTargetName(std::uint8_t target) noexcept;

// Appends the identity object, with the "ui" block from this module's editor bundle manifest
// (read once per process).
void writeDiagnosticIdentityJson(std::string& out, std::uint8_t target);

// Same, with the editor bundle facts given.
void writeDiagnosticIdentityJson(std::string& out, std::uint8_t target, const UiBundleFacts& ui);

// Appends {"feeds":[],"commands":[],"maxFeedHz":0}.
void writeDiagnosticCapabilitiesJson(std::string& out);

// Appends the bank object ("id" always, the rest only when known).
void writeDiagnosticBankJson(std::string& out, const BankFacts& bank);

// Appends the preset state object.
void writeDiagnosticPresetStateJson(std::string& out, const PresetStateFacts& facts);

// Appends the compiled banks; this product has none, so nothing is appended.
void writeDiagnosticBanksJson(std::string& out);

// Appends ,"identity":..[,"host":..],"diagnostics":..,"presetState":.. to an open hello object.
// "host" is written only once the facts carry a sample rate above 0.
void appendDiagnosticHelloBlocks(std::string& out, std::uint8_t target, const HostFacts& host,
                                 const PresetStateFacts& presets);

}  // namespace norvo
