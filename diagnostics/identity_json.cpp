// The identity and capabilities objects.
#include "diagnostics/identity_json.h"

#include "common/json_writer.h"
#include "product/product_identity.h"

namespace norvo {

namespace {

// What the shell reports about itself beside the product's names.
constexpr const char* kHostClass = "effect";
constexpr const char* kShellSdkVersion = "0.0.0";
constexpr const char* kBuildMode = "production";
constexpr const char* kBuildConfiguration = "Release";
constexpr const char* kRatePolicy = "host-native";
constexpr int kStateVersion = 1;
constexpr int kStateMaxBytes = 65536;

void appendMember(std::string& out, const char* key, const char* value) {
  jsonAppendQuoted(out, key);
  out += ":";
  jsonAppendQuoted(out, value);
}

void appendUiBlock(std::string& out, const UiBundleFacts& ui) {
  out += ",\"ui\":{";
  bool first = true;
  const auto member = [&](const char* key, const char* value) {
    if (value[0] == '\0') {
      return;
    }
    if (!first) {
      out += ",";
    }
    first = false;
    appendMember(out, key, value);
  };
  member("buildTime", ui.buildTime);
  member("sourceRevision", ui.sourceRevision);
  member("sha256", ui.sha256);
  out += "}";
}

}  // namespace

const char* diagnosticTargetName(std::uint8_t target) noexcept {
  switch (target) {
    case kTargetVst3:
      return "vst3";
    case kTargetClap:
      return "clap";
    case kTargetAu:
      return "au";
    case kTargetStandalone:
      return "standalone";
    default:
      return "offline";
  }
}

void writeDiagnosticIdentityJson(std::string& out, std::uint8_t target) {
  writeDiagnosticIdentityJson(out, target, uiBundleFacts());
}

void writeDiagnosticIdentityJson(std::string& out, std::uint8_t target, const UiBundleFacts& ui) {
  out += "{";
  appendMember(out, "moduleId", product::kModuleId);
  out += ",";
  appendMember(out, "name", product::kName);
  out += ",";
  appendMember(out, "vendor", product::kVendor);
  out += ",";
  appendMember(out, "version", product::kVersion);
  out += ",";
  appendMember(out, "hostClass", kHostClass);
  out += ",";
  appendMember(out, "target", diagnosticTargetName(target));
  out += ",";
  appendMember(out, "sdkVersion", kShellSdkVersion);
  out += ",\"build\":{";
  appendMember(out, "mode", kBuildMode);
  out += ",";
  appendMember(out, "configuration", kBuildConfiguration);
  out += "}";
  if (!ui.empty()) {
    appendUiBlock(out, ui);
  }
  out += ",\"ratePolicy\":{";
  appendMember(out, "mode", kRatePolicy);
  out += "},\"state\":{\"version\":";
  jsonAppendNumber(out, kStateVersion);
  out += ",\"maxBytes\":";
  jsonAppendNumber(out, kStateMaxBytes);
  out +=
      "},\"ports\":[{\"id\":\"midi-in\",\"kind\":\"midi\",\"direction\":\"input\","
      "\"busRole\":\"main\"}]}";
}

void writeDiagnosticCapabilitiesJson(std::string& out) {
  out += "{\"feeds\":[],\"commands\":[],\"maxFeedHz\":0}";
}

}  // namespace norvo
