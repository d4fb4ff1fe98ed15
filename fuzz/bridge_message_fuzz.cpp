// parseBridgeMessage on arbitrary text: a failed parse leaves the destination untouched; a
// message that parses, written again member by member, parses back to the same fields.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <string>

#include "ccmap/cc_map_json.h"
#include "common/json_writer.h"
#include "editor/bridge_message_parser.h"
#include "editor/diagnostic_feed.h"
#include "formats/sampler_pad_overrides_json.h"
#include "fuzz/fuzz_check.h"

namespace {

using norvo::BridgeMessage;

struct TextMember {
  const char* key;
  std::string BridgeMessage::*field;
};

const TextMember kTextMembers[] = {
    {"type", &BridgeMessage::type},
    {"path", &BridgeMessage::path},
    {"id", &BridgeMessage::id},
    {"source", &BridgeMessage::source},
    {"bankPath", &BridgeMessage::bankPath},
    {"url", &BridgeMessage::url},
    {"sha256", &BridgeMessage::sha256},
    {"instrument", &BridgeMessage::instrument},
};

struct NumberMember {
  const char* key;
  double BridgeMessage::*field;
};

const NumberMember kNumberMembers[] = {
    {"value", &BridgeMessage::value},
    {"note", &BridgeMessage::note},
    {"velocity", &BridgeMessage::velocity},
    {"hz", &BridgeMessage::hz},
};

bool holdsNul(const std::string& text) { return text.find('\0') != std::string::npos; }

void appendKey(std::string& out, const char* key) {
  if (out.size() > 1) out.push_back(',');
  norvo::jsonAppendQuoted(out, key);
  out.push_back(':');
}

// The members a message carries, written back as one text. Text fields with a NUL byte and
// non-finite numbers have no such text and are left out (and not compared).
std::string rewrite(const BridgeMessage& m) {
  std::string out = "{";
  for (const TextMember& member : kTextMembers) {
    if (holdsNul(m.*member.field)) continue;
    appendKey(out, member.key);
    norvo::jsonAppendQuoted(out, m.*member.field);
  }
  for (const NumberMember& member : kNumberMembers) {
    if (!std::isfinite(m.*member.field) || (member.field == &BridgeMessage::value && !m.hasValue))
      continue;
    appendKey(out, member.key);
    norvo::jsonAppendNumber(out, m.*member.field);
  }
  appendKey(out, "feeds");
  out.push_back('[');
  for (const norvo::DiagnosticFeedName& feed : norvo::kDiagnosticFeeds) {
    if ((m.feeds & feed.bit) == 0) continue;
    if (out.back() != '[') out.push_back(',');
    norvo::jsonAppendQuoted(out, feed.name);
  }
  out.push_back(']');
  if (m.hasCcMap) {
    appendKey(out, "map");
    norvo::writeCcMapJson(out, m.ccMap);
  }
  if (m.hasPads) {
    appendKey(out, "pads");
    norvo::writeSamplerPadOverridesJson(out, m.pads);
  }
  if (m.hasState) {
    appendKey(out, "state");
    out.append("{}");
  }
  if (!holdsNul(m.stimulusKind)) {
    appendKey(out, "stimulus");
    out.append("{\"kind\":");
    norvo::jsonAppendQuoted(out, m.stimulusKind);
    out.push_back('}');
  }
  out.push_back('}');
  return out;
}

bool sameNumber(double a, double b) { return !std::isfinite(a) || norvo::fuzz::sameBits(a, b); }

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const char* text = reinterpret_cast<const char*>(data);
  BridgeMessage m;
  m.type = "sentinel";
  m.feeds = 5;
  m.hasState = true;
  if (!norvo::parseBridgeMessage(text, size, m)) {
    NORVO_FUZZ_CHECK(m.type == "sentinel" && m.feeds == 5 && m.hasState && !m.hasValue &&
                     !m.hasCcMap && !m.hasPads && m.pads.empty() && m.ccMap.count == 0 &&
                     m.state.variation == -1);
    return 0;
  }
  NORVO_FUZZ_CHECK(m.feeds < 2048u && m.ccMap.count <= norvo::kCcMapCapacity);
  NORVO_FUZZ_CHECK(m.pads.size() <= norvo::kMaxPadOverrides);
  NORVO_FUZZ_CHECK(m.diagAction <= norvo::kBridgeDiagStimulus);
  NORVO_FUZZ_CHECK(m.hasValue || m.value == 0);
  NORVO_FUZZ_CHECK(m.hasState || m.state.variation == -1);

  const std::string again = rewrite(m);
  BridgeMessage back;
  NORVO_FUZZ_CHECK(norvo::parseBridgeMessage(again.data(), again.size(), back));
  for (const TextMember& member : kTextMembers) {
    if (!holdsNul(m.*member.field)) NORVO_FUZZ_CHECK(back.*member.field == m.*member.field);
  }
  for (const NumberMember& member : kNumberMembers) {
    NORVO_FUZZ_CHECK(sameNumber(m.*member.field, back.*member.field));
  }
  NORVO_FUZZ_CHECK(back.hasValue == (m.hasValue && std::isfinite(m.value)));
  NORVO_FUZZ_CHECK(back.feeds == m.feeds && back.hasCcMap == m.hasCcMap &&
                   back.hasPads == m.hasPads && back.hasState == m.hasState);
  if (m.hasCcMap) NORVO_FUZZ_CHECK(norvo::fuzz::sameCcMap(back.ccMap, m.ccMap));
  if (m.hasPads) NORVO_FUZZ_CHECK(back.pads == m.pads);
  if (!holdsNul(m.type)) NORVO_FUZZ_CHECK(back.diagAction == m.diagAction);
  if (!holdsNul(m.stimulusKind)) NORVO_FUZZ_CHECK(back.stimulusKind == m.stimulusKind);
  return 0;
}
