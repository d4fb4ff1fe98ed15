// Writing moduleinfo.json.
#include "tools/module_info_json.h"

#include "pluginterfaces/vst/ivstaudioprocessor.h"

#include <cstdio>

namespace norvo::probe {

using namespace Steinberg;

namespace {

// A JSON string literal. Bytes from 0x80 up pass through (the texts are UTF-8); quotes,
// backslashes and control characters are escaped.
std::string quoted(const std::string& text) {
  std::string out = "\"";
  for (const char c : text) {
    switch (c) {
      case '"':
        out += "\\\"";
        break;
      case '\\':
        out += "\\\\";
        break;
      case '\n':
        out += "\\n";
        break;
      case '\r':
        out += "\\r";
        break;
      case '\t':
        out += "\\t";
        break;
      default:
        if (static_cast<unsigned char>(c) < 0x20) {
          char escape[8];
          std::snprintf(escape, sizeof escape, "\\u%04X", static_cast<unsigned char>(c));
          out += escape;
        } else {
          out += c;
        }
    }
  }
  return out + "\"";
}

const char* boolean(bool value) { return value ? "true" : "false"; }

std::string stringArray(const std::vector<std::string>& items) {
  if (items.empty()) return "[]";
  std::string out = "[";
  for (size_t i = 0; i < items.size(); ++i) out += (i ? ", " : "") + quoted(items[i]);
  return out + "]";
}

void writeClass(const FactoryClass& entry, bool last, std::string& out) {
  out += "    {\n";
  out += "      \"CID\": " + quoted(formatClassId(entry.cid)) + ",\n";
  out += "      \"Category\": " + quoted(entry.category) + ",\n";
  out += "      \"Name\": " + quoted(entry.name) + ",\n";
  out += "      \"Vendor\": " + quoted(entry.vendor) + ",\n";
  out += "      \"Version\": " + quoted(entry.version) + ",\n";
  out += "      \"SDKVersion\": " + quoted(entry.sdkVersion) + ",\n";
  out +=
      "      \"Sub Categories\": " + stringArray(splitSubCategories(entry.subCategories)) + ",\n";
  out += "      \"Class Flags\": " + std::to_string(entry.classFlags) + ",\n";
  out += "      \"Cardinality\": " + std::to_string(entry.cardinality) + ",\n";
  out += "      \"Snapshots\": []\n";
  out += last ? "    }\n" : "    },\n";
}

}  // namespace

std::vector<std::string> splitSubCategories(const std::string& subCategories) {
  // Read the way the SDK's hosts read the field: a "|" at the very end opens no further item.
  std::vector<std::string> items;
  size_t start = 0;
  while (start < subCategories.size()) {
    const size_t bar = subCategories.find('|', start);
    if (bar == std::string::npos) {
      items.push_back(subCategories.substr(start));
      break;
    }
    items.push_back(subCategories.substr(start, bar - start));
    start = bar + 1;
  }
  return items;
}

std::string moduleVersion(const std::vector<FactoryClass>& classes) {
  for (const FactoryClass& entry : classes)
    if (entry.category == kVstAudioEffectClass && !entry.version.empty()) return entry.version;
  for (const FactoryClass& entry : classes)
    if (!entry.version.empty()) return entry.version;
  return "";
}

std::string writeModuleInfoJson(const ModuleInfoFacts& facts) {
  const int32 flags = facts.factory.flags;
  const bool discardable = (flags & PFactoryInfo::kClassesDiscardable) != 0;
  std::string out = "{\n";
  out += "  \"Name\": " + quoted(facts.name) + ",\n";
  out += "  \"Version\": " + quoted(facts.version) + ",\n";
  out += "  \"Factory Info\": {\n";
  out += "    \"Vendor\": " + quoted(facts.factory.vendor) + ",\n";
  out += "    \"URL\": " + quoted(facts.factory.url) + ",\n";
  out += "    \"E-Mail\": " + quoted(facts.factory.email) + ",\n";
  out += "    \"Flags\": {\n";
  out += std::string("      \"Unicode\": ") + boolean(flags & PFactoryInfo::kUnicode) + ",\n";
  out += std::string("      \"Classes Discardable\": ") + boolean(discardable) + ",\n";
  out += std::string("      \"Component Non Discardable\": ") +
         boolean(flags & PFactoryInfo::kComponentNonDiscardable) + "\n";
  out += "    }\n";
  out += "  },\n";
  out += "  \"Compatibility\": [],\n";
  if (discardable || facts.classes.empty()) {
    out += "  \"Classes\": []\n";
  } else {
    out += "  \"Classes\": [\n";
    for (size_t i = 0; i < facts.classes.size(); ++i)
      writeClass(facts.classes[i], i + 1 == facts.classes.size(), out);
    out += "  ]\n";
  }
  return out + "}\n";
}

}  // namespace norvo::probe
