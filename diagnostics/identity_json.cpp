// The identity and capabilities objects.
#include "diagnostics/identity_json.h"

#include "formats/json_writer.h"
#include "plugin/product_identity.h"

namespace norvo {

namespace {

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
  appendMember(out, "hostClass", product::kHostClass);
  out += ",";
  appendMember(out, "target", diagnosticTargetName(target));
  out += ",";
  appendMember(out, "sdkVersion", product::kShellSdkVersion);
  out += ",\"build\":{";
  appendMember(out, "mode", product::kBuildMode);
  out += ",";
  appendMember(out, "configuration", product::kBuildConfiguration);
  out += "}";
  if (!ui.empty()) {
    appendUiBlock(out, ui);
  }
  out += ",\"ratePolicy\":{";
  appendMember(out, "mode", product::kRatePolicy);
  out += "},\"state\":{\"version\":";
  jsonAppendNumber(out, product::kStateVersion);
  out += ",\"maxBytes\":";
  jsonAppendNumber(out, product::kStateMaxBytes);
  out +=
      "},\"ports\":[{\"id\":\"midi-in\",\"kind\":\"midi\",\"direction\":\"input\","
      "\"busRole\":\"main\"}]}";
}

void writeDiagnosticCapabilitiesJson(std::string& out) {
  out += "{\"feeds\":[],\"commands\":[],\"maxFeedHz\":0}";
}

}  // namespace norvo
