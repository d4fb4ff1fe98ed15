// Writer and parsers of the CC map document and the two CC bridge messages. Main thread.
#include "ccmap/cc_map_json.h"

#include <algorithm>
#include <cmath>

#include "common/json_writer.h"
#include "product/parameter_table.h"

namespace norvo {
namespace {

// Unknown members and non-object elements are skipped as values one level below the map.
constexpr int kSkipDepth = 1;

struct NamedValue {
  const char* name;
  std::uint8_t value;
};

constexpr NamedValue kCurveNames[] = {
    {"exp", kCcCurveExp}, {"log", kCcCurveLog}, {"s-curve", kCcCurveSCurve}};
constexpr NamedValue kValueModeNames[] = {
    {"relative-signed-bit", kCcValueRelativeSignedBit},
    {"relative-binary-offset", kCcValueRelativeBinaryOffset},
    {"relative-twos-complement", kCcValueRelativeTwosComplement},
    {"toggle", kCcValueToggle},
};
constexpr NamedValue kTakeoverNames[] = {{"pickup", kCcTakeoverPickup},
                                         {"scaled", kCcTakeoverScaled}};

template <std::size_t N>
const char* nameOf(const NamedValue (&table)[N], std::uint8_t value) noexcept {
  for (const NamedValue& entry : table) {
    if (entry.value == value) return entry.name;
  }
  return nullptr;
}

// Unknown texts read as 0 (linear, absolute, immediate).
template <std::size_t N>
std::uint8_t valueOf(const NamedValue (&table)[N], const std::string& name) noexcept {
  for (const NamedValue& entry : table) {
    if (name == entry.name) return entry.value;
  }
  return 0;
}

int paramIndexForPath(const std::string& path) noexcept {
  for (std::size_t i = 0; i < kParamCount; ++i) {
    if (path == NORVO_PARAMS[i].path) return static_cast<int>(i);
  }
  return -1;
}

// floor(n + 0.5) clamped to lo..hi. NaN has no nearest integer: answers false.
bool roundClamped(double n, int lo, int hi, std::uint8_t& out) noexcept {
  if (std::isnan(n)) return false;
  const double rounded =
      std::clamp(std::floor(n + 0.5), static_cast<double>(lo), static_cast<double>(hi));
  out = static_cast<std::uint8_t>(rounded);
  return true;
}

// A member whose value must be a string; anything else fails the parse.
bool readRequiredString(Reader& r, std::string& out) {
  out.clear();
  return parseString(r, &out);
}

// Reads a number if one is next; otherwise skips the value. `got` tells which happened.
bool readOptionalNumber(Reader& r, double& value, bool& got) {
  got = parseNumber(r, &value);
  return got || skipValue(r, kSkipDepth);
}

struct PendingBinding {
  CcBinding binding;
  bool ccGiven = false;
  bool pathGiven = false;
  bool paramKnown = false;
};

bool readBindingMember(Reader& r, const std::string& key, PendingBinding& pending) {
  CcBinding& b = pending.binding;
  double number = 0;
  bool got = false;
  std::string text;
  if (key == "cc") {
    if (!readOptionalNumber(r, number, got)) return false;
    if (got && roundClamped(number, 0, 127, b.cc)) pending.ccGiven = true;
  } else if (key == "channel") {
    if (!readOptionalNumber(r, number, got)) return false;
    if (got) roundClamped(number, 1, 16, b.channel);
  } else if (key == "min" || key == "max") {
    if (!readOptionalNumber(r, number, got)) return false;
    // A non-finite bound would turn every controller value into NaN and cannot be written back.
    if (got && std::isfinite(number)) {
      (key == "min" ? b.min : b.max) = number;
      (key == "min" ? b.hasMin : b.hasMax) = true;
    }
  } else if (key == "path") {
    if (!readRequiredString(r, text)) return false;
    pending.pathGiven = true;
    const int index = paramIndexForPath(text);
    if (index >= 0) {
      b.param = index;
      pending.paramKnown = true;
    }
  } else if (key == "curve") {
    if (!readRequiredString(r, text)) return false;
    b.curve = valueOf(kCurveNames, text);
  } else if (key == "valueMode") {
    if (!readRequiredString(r, text)) return false;
    b.valueMode = valueOf(kValueModeNames, text);
  } else if (key == "takeover") {
    if (!readRequiredString(r, text)) return false;
    b.takeover = valueOf(kTakeoverNames, text);
  } else if (key == "enabled") {
    if (parseLiteral(r, "true")) {
      b.enabled = true;
    } else if (parseLiteral(r, "false")) {
      b.enabled = false;
    } else {
      return skipValue(r, kSkipDepth);
    }
  } else {
    return skipValue(r, kSkipDepth);
  }
  return true;
}

// Reads a bindings array into `map` (count starting from 0).
bool readBindingsArray(Reader& r, CcMap& map) {
  map.count = 0;
  return readArrayElements(
      r, [&map](std::size_t, Reader& element) { return parseCcBinding(element, map); });
}

void appendBinding(std::string& out, const CcBinding& b) {
  out.append("{\"cc\":");
  jsonAppendNumber(out, b.cc);
  out.append(",\"path\":");
  jsonAppendQuoted(out, NORVO_PARAMS[b.param].path);
  if (b.channel != 0) {
    out.append(",\"channel\":");
    jsonAppendNumber(out, b.channel);
  }
  if (b.hasMin) {
    out.append(",\"min\":");
    jsonAppendNumber(out, b.min);
  }
  if (b.hasMax) {
    out.append(",\"max\":");
    jsonAppendNumber(out, b.max);
  }
  if (const char* name = ccCurveName(b.curve)) {
    out.append(",\"curve\":");
    jsonAppendQuoted(out, name);
  }
  if (const char* name = ccValueModeName(b.valueMode)) {
    out.append(",\"valueMode\":");
    jsonAppendQuoted(out, name);
  }
  if (const char* name = ccTakeoverName(b.takeover)) {
    out.append(",\"takeover\":");
    jsonAppendQuoted(out, name);
  }
  if (!b.enabled) out.append(",\"enabled\":false");
  out.push_back('}');
}

}  // namespace

const char* ccCurveName(std::uint8_t curve) noexcept { return nameOf(kCurveNames, curve); }
const char* ccValueModeName(std::uint8_t valueMode) noexcept {
  return nameOf(kValueModeNames, valueMode);
}
const char* ccTakeoverName(std::uint8_t takeover) noexcept {
  return nameOf(kTakeoverNames, takeover);
}

void writeCcMapJson(std::string& out, const CcMap& map) {
  out.append("{\"version\":1,\"bindings\":[");
  const std::uint32_t count = std::min(map.count, kCcMapCapacity);
  bool first = true;
  for (std::uint32_t i = 0; i < count; ++i) {
    const CcBinding& b = map.bindings[i];
    if (b.param < 0 || static_cast<std::size_t>(b.param) >= kParamCount) continue;
    if (!first) out.push_back(',');
    first = false;
    appendBinding(out, b);
  }
  out.append("]}");
}

void writeCcMapChangedJson(std::string& out, const CcMap& map) {
  out.append("{\"type\":\"norvo.ccMapChanged\",\"map\":");
  writeCcMapJson(out, map);
  out.push_back('}');
}

void writeMidiCcJson(std::string& out, const CcActivityRecord& record) {
  out.append("{\"type\":\"norvo.midiCc\",\"cc\":");
  jsonAppendNumber(out, record.cc);
  out.append(",\"channel\":");
  jsonAppendNumber(out, record.channel);
  out.append(",\"value\":");
  jsonAppendNumber(out, record.value);
  out.push_back('}');
}

bool parseCcBinding(Reader& r, CcMap& map) {
  if (peekChar(r) != '{') return skipValue(r, kSkipDepth);
  PendingBinding pending;
  if (!readObjectMembers(r, [&pending](const std::string& key, Reader& value) {
        return readBindingMember(value, key, pending);
      })) {
    return false;
  }
  if (pending.ccGiven && pending.pathGiven && pending.paramKnown && map.count < kCcMapCapacity) {
    map.bindings[map.count++] = pending.binding;
  }
  return true;
}

bool parseCcMapValue(Reader& r, CcMap& map, bool& sawBindings) {
  CcMap parsed;  // default slots
  bool saw = false;
  const int next = peekChar(r);
  if (next == '[') {
    if (!readBindingsArray(r, parsed)) return false;
    saw = true;
  } else if (next == '{') {
    const bool ok = readObjectMembers(r, [&](const std::string& key, Reader& value) {
      if (key != "bindings" || peekChar(value) != '[') return skipValue(value, kSkipDepth);
      if (!readBindingsArray(value, parsed)) return false;
      saw = true;
      return true;
    });
    if (!ok) return false;
  } else if (!skipValue(r, kSkipDepth)) {
    return false;
  }
  map = parsed;
  sawBindings = saw;
  return true;
}

std::optional<CcMap> parseCcMapJson(std::string_view text) {
  const std::string document(text);  // the reader needs a terminator after the text
  Reader r(document);
  const int first = peekChar(r);
  if (first != '{' && first != '[') return std::nullopt;
  CcMap parsed;
  bool sawBindings = false;
  if (!parseCcMapValue(r, parsed, sawBindings) || !atEndAfterWhitespace(r)) return std::nullopt;
  return parsed;
}

bool parseCcMapJson(const char* text, std::size_t length, CcMap& map) {
  if (text == nullptr && length != 0) return false;
  const std::optional<CcMap> parsed =
      parseCcMapJson(std::string_view(text == nullptr ? "" : text, length));
  if (!parsed) return false;
  map = *parsed;
  return true;
}

}  // namespace norvo
