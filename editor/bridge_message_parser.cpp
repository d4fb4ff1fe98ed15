// The page message reader: one pass over the text with the shared cursor reader; the state,
// CC map and pad override members go to their own documents' readers. Everything is read into
// a scratch message, so a malformed text leaves nothing half-filled behind.
#include "editor/bridge_message_parser.h"

#include <string>
#include <utility>

#include "ccmap/cc_map_json.h"
#include "common/json_reader.h"
#include "editor/diagnostic_feed.h"
#include "formats/sampler_pad_overrides_json.h"
#include "formats/state_chunk_json.h"

namespace norvo {
namespace {

// The message object is depth 0; its members' values sit at depth 1.
constexpr int kMemberDepth = 1;

std::string* textField(BridgeMessage& m, const std::string& key) {
  if (key == "type") return &m.type;
  if (key == "path") return &m.path;
  if (key == "id") return &m.id;
  if (key == "source") return &m.source;
  if (key == "bankPath") return &m.bankPath;
  if (key == "url") return &m.url;
  if (key == "sha256") return &m.sha256;
  if (key == "instrument") return &m.instrument;
  return nullptr;
}

double* numberField(BridgeMessage& m, const std::string& key) {
  if (key == "value") return &m.value;
  if (key == "note") return &m.note;
  if (key == "velocity") return &m.velocity;
  if (key == "hz") return &m.hz;
  return nullptr;
}

bool readText(Reader& r, std::string& field) {
  std::string text;
  if (!parseString(r, &text)) return false;
  field = std::move(text);
  return true;
}

// An embedded state document, read as a root object of its own. A repeated "state" replaces
// the earlier one rather than merging into it.
bool readState(Reader& r, BridgeMessage& m) {
  if (peekChar(r) != '{') return skipValue(r, kMemberDepth);
  StateChunk chunk;
  if (!parseObject(r, &chunk, 0, false)) return false;
  m.state = std::move(chunk);
  m.hasState = true;
  return true;
}

bool readMap(Reader& r, BridgeMessage& m) {
  const int next = peekChar(r);
  if (next != '{' && next != '[') return skipValue(r, kMemberDepth);
  bool sawBindings = false;
  if (!parseCcMapValue(r, m.ccMap, sawBindings)) return false;
  m.hasCcMap = sawBindings;  // the later map decides, as for every repeated key
  return true;
}

bool readPads(Reader& r, BridgeMessage& m) {
  if (peekChar(r) != '{') return skipValue(r, kMemberDepth);
  if (!parsePadOverrideMap(r, m.pads)) return false;
  m.hasPads = true;
  return true;
}

// Every element must be a string; names outside the feed table add nothing.
bool readFeeds(Reader& r, BridgeMessage& m) {
  if (peekChar(r) != '[') return skipValue(r, kMemberDepth);
  std::uint32_t mask = 0;
  std::string name;
  const bool ok = readArrayElements(r, [&](std::size_t, Reader& element) {
    name.clear();
    if (!parseString(element, &name)) return false;
    mask |= diagnosticFeedBit(name);
    return true;
  });
  if (!ok) return false;
  m.feeds = mask;
  return true;
}

// Only "kind" is read; it must be a string. Other members are skipped.
bool readStimulus(Reader& r, BridgeMessage& m) {
  if (peekChar(r) != '{') return skipValue(r, kMemberDepth);
  std::string kind;
  const bool ok = readObjectMembers(r, [&](const std::string& key, Reader& value) {
    if (key == "kind") {
      kind.clear();
      return parseString(value, &kind);
    }
    return skipValue(value, kMemberDepth + 1);
  });
  if (!ok) return false;
  m.stimulusKind = std::move(kind);
  return true;
}

bool readMember(Reader& r, const std::string& key, BridgeMessage& m) {
  if (std::string* field = textField(m, key)) return readText(r, *field);
  if (double* field = numberField(m, key)) {
    if (!parseNumber(r, field)) return false;
    if (field == &m.value) m.hasValue = true;
    return true;
  }
  if (key == "state") return readState(r, m);
  if (key == "map") return readMap(r, m);
  if (key == "pads") return readPads(r, m);
  if (key == "feeds") return readFeeds(r, m);
  if (key == "stimulus") return readStimulus(r, m);
  return skipValue(r, kMemberDepth);
}

std::uint8_t diagActionOf(const std::string& type) noexcept {
  if (type == "norvo.diag.subscribe") return kBridgeDiagSubscribe;
  if (type == "norvo.diag.unsubscribe") return kBridgeDiagUnsubscribe;
  if (type == "norvo.diag.stimulus") return kBridgeDiagStimulus;
  return kBridgeDiagNone;
}

}  // namespace

std::optional<BridgeMessage> parseBridgeMessage(std::string_view text) {
  const std::string document(text);  // numbers are read with strtod, which needs a terminator
  Reader r(document);
  if (peekChar(r) != '{') return std::nullopt;
  std::optional<BridgeMessage> message(std::in_place);
  const bool ok = readObjectMembers(
      r, [&](const std::string& key, Reader& value) { return readMember(value, key, *message); });
  if (!ok || !atEndAfterWhitespace(r)) return std::nullopt;
  message->diagAction = diagActionOf(message->type);
  return message;
}

bool parseBridgeMessage(const char* text, std::size_t length, BridgeMessage& message) {
  if (text == nullptr && length != 0) return false;
  std::optional<BridgeMessage> parsed =
      parseBridgeMessage(std::string_view(text == nullptr ? "" : text, length));
  if (!parsed) return false;
  message = std::move(*parsed);
  return true;
}

}  // namespace norvo
