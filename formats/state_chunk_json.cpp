// Writer and parser of the state document. Runs on the thread that handles the host's state
// calls or the editor's messages.
#include "formats/state_chunk_json.h"

#include <cmath>
#include <cstring>
#include <limits>

#include "ccmap/cc_map_json.h"
#include "common/base64.h"
#include "common/fixed_text.h"
#include "common/json_writer.h"
#include "formats/sampler_pad_overrides_json.h"
#include "product/parameter_table.h"

namespace norvo {
namespace {

static_assert(kParamCount == kStateParamCount, "the state carries every parameter");

// Nested readers ("bank", "sampler", "authoredState") skip their unknown members as values
// at depth 1 again.
constexpr int kNestedSkipDepth = 1;

constexpr const char kZoneAbi[] = "norvo-dual-stack-sampler/zone-layer/v1";

// Truncates toward zero into int32, saturating at its limits; NaN gives `ifNan`.
std::int32_t truncateToInt32(double value, std::int32_t ifNan) noexcept {
  if (std::isnan(value)) return ifNan;
  constexpr double lo = std::numeric_limits<std::int32_t>::min();
  constexpr double hi = std::numeric_limits<std::int32_t>::max();
  if (value <= lo) return std::numeric_limits<std::int32_t>::min();
  if (value >= hi) return std::numeric_limits<std::int32_t>::max();
  return static_cast<std::int32_t>(value);
}

// The text as a C string, or nullptr when it holds a NUL byte (then it names nothing).
const char* nameText(const std::string& text) noexcept {
  return text.find('\0') == std::string::npos ? text.c_str() : nullptr;
}

// A text member into a fixed field, cut to fit without splitting a character.
template <std::size_t N>
void setText(char (&field)[N], const std::string& text) noexcept {
  copyFixedText(field, text.c_str());
}

template <std::size_t N>
void clearText(char (&field)[N]) noexcept {
  field[0] = '\0';
}

bool isEmpty(const char* text) noexcept { return text == nullptr || text[0] == '\0'; }

// ---- reading --------------------------------------------------------------------------

bool readParamMember(Reader& r, const std::string& key, StateChunk& chunk, int depth) {
  double value = 0;
  const int next = peekChar(r);
  if (next == 't' || next == 'f') {
    if (parseLiteral(r, "true")) {
      value = 1.0;
    } else if (parseLiteral(r, "false")) {
      value = 0.0;
    } else {
      return false;
    }
  } else if (!parseNumber(r, &value)) {
    return skipValue(r, depth + 1);
  }
  // Non-finite values ("nan", "1e999") are no parameter values; they are ignored like null.
  if (!std::isfinite(value)) return true;
  for (std::size_t i = 0; i < kStateParamCount; ++i) {
    if (key == NORVO_PARAMS[i].path) {
      chunk.params[i] = value;
      chunk.hasParam[i] = true;
    }
  }
  return true;
}

// Reads the string value of a known bank key; other kinds are skipped.
bool readOptionalString(Reader& r, std::optional<std::string>& field) {
  if (peekChar(r) != '"') return skipValue(r, kNestedSkipDepth);
  std::string text;
  if (!parseString(r, &text)) return false;
  field = std::move(text);
  return true;
}

struct BankFields {
  std::optional<std::string> id, bankVersion, sha256, source, presetId, instrument, locator;
};

void applyBankFields(const BankFields& f, BankStateRef& bank) {
  if (!f.id || f.id->empty()) return;
  if (f.id->size() >= sizeof bank.id) {
    clearText(bank.id);
    return;
  }
  setText(bank.id, *f.id);
  const auto fitting = [](const std::optional<std::string>& text, std::size_t capacity) {
    return text && text->size() < capacity ? *text : std::string();
  };
  setText(bank.bankVersion, fitting(f.bankVersion, sizeof bank.bankVersion));
  setText(bank.sha256, fitting(f.sha256, sizeof bank.sha256));
  if (f.source && bankSourceNameKnown(nameText(*f.source))) setText(bank.source, *f.source);
  bank.present = true;
  if (f.locator) {
    bank.hasLocator = f.locator->size() < sizeof bank.locator;
    setText(bank.locator, bank.hasLocator ? *f.locator : std::string());
  }
  if (f.presetId) {
    bank.hasPresetId = f.presetId->size() < sizeof bank.presetId;
    setText(bank.presetId, bank.hasPresetId ? *f.presetId : std::string());
  }
  if (f.instrument)
    setText(bank.instrument,
            f.instrument->size() < sizeof bank.instrument ? *f.instrument : std::string());
}

bool parseBankStateRef(Reader& r, BankStateRef& bank) {
  BankFields f;
  const bool ok = readObjectMembers(r, [&f](const std::string& key, Reader& value) {
    if (key == "id") return readOptionalString(value, f.id);
    if (key == "bankVersion") return readOptionalString(value, f.bankVersion);
    if (key == "sha256") return readOptionalString(value, f.sha256);
    if (key == "source") return readOptionalString(value, f.source);
    if (key == "presetId") return readOptionalString(value, f.presetId);
    if (key == "instrument") return readOptionalString(value, f.instrument);
    if (key == "locator") return readOptionalString(value, f.locator);
    return skipValue(value, kNestedSkipDepth);
  });
  if (ok) applyBankFields(f, bank);
  return ok;
}

bool parseSamplerExtension(Reader& r, StateChunk& chunk) {
  double version = 0;
  bool versionGiven = false;
  bool padsRead = false;
  SamplerPadOverrides pads;
  const bool ok = readObjectMembers(r, [&](const std::string& key, Reader& value) {
    if (key == "v") return versionGiven = parseNumber(value, &version);
    if (key == "pads" && peekChar(value) == '{') return padsRead = parsePadOverrideMap(value, pads);
    return skipValue(value, kNestedSkipDepth);
  });
  if (!ok) return false;
  if (versionGiven && version == 1 && padsRead) {
    chunk.padOverrides = std::move(pads);
    chunk.hasPadOverrides = true;
  }
  return true;
}

bool parseAuthoredState(Reader& r, StateChunk& chunk) {
  double version = 0;
  std::string text;
  const bool ok = readObjectMembers(r, [&](const std::string& key, Reader& value) {
    if (key == "v") return parseNumber(value, &version);
    if (key == "bytes" && peekChar(value) == '"') {
      text.clear();
      return parseString(value, &text);
    }
    return skipValue(value, kNestedSkipDepth);
  });
  if (!ok) return false;
  if (text.empty()) return true;
  std::vector<std::uint8_t> bytes;
  // Bad or oversized payloads are ignored: the chunk keeps the authored state it had.
  if (!base64Decode(text, bytes, kMaxAuthoredStateBytes)) return true;
  chunk.authoredBytes = std::move(bytes);
  chunk.authoredVersion = truncateToInt32(version, 0);
  chunk.hasAuthoredState = true;
  return true;
}

bool readTopLevelMember(Reader& r, const std::string& key, StateChunk& chunk) {
  if (key == "params") {
    return peekChar(r) == '{' && parseObject(r, &chunk, 1, true);
  }
  if (key == "ccMap") {
    const int next = peekChar(r);
    if (next != '{' && next != '[') return skipValue(r, 1);
    bool sawBindings = false;
    if (!parseCcMapValue(r, chunk.ccMap, sawBindings)) return false;
    chunk.hasCcMap = sawBindings;
    return true;
  }
  if (key == "variation") {
    double value = 0;
    if (!parseNumber(r, &value)) return false;
    chunk.variation = truncateToInt32(value, -1);
    return true;
  }
  if (key == "samplerAssetFault") {
    std::string name;
    if (!parseString(r, &name)) return false;
    SamplerAssetDiagnostic fault = kSamplerAssetNoFault;
    chunk.hasSamplerAssetFault = samplerAssetFaultFromName(nameText(name), fault);
    chunk.samplerAssetFault = fault;
    return true;
  }
  if (key == "samplerZoneProgram") {
    std::string name;
    if (!parseString(r, &name)) return false;
    if (samplerZoneProgramNameKnown(nameText(name))) {
      chunk.samplerZoneProgram = samplerZoneProgramFromName(name.c_str());
      chunk.hasSamplerZoneProgram = true;
    }
    return true;
  }
  const bool object = peekChar(r) == '{';
  if (key == "sampler" && object) return parseSamplerExtension(r, chunk);
  if (key == "authoredState" && object) return parseAuthoredState(r, chunk);
  if (key == "bank" && object) return parseBankStateRef(r, chunk.bank);
  return skipValue(r, 1);
}

// ---- writing --------------------------------------------------------------------------

void appendBank(std::string& out, const BankStateRefOut& bank) {
  const auto member = [&out](const char* key, const char* text) {
    if (isEmpty(text)) return;
    out.push_back(',');
    jsonAppendQuoted(out, key);
    out.push_back(':');
    jsonAppendQuoted(out, text);
  };
  out.append(",\"bank\":{\"version\":1");
  member("id", bank.id);
  member("bankVersion", bank.bankVersion);
  member("sha256", bank.sha256);
  member("locator", bank.locator);
  member("source", isEmpty(bank.source) ? "embedded" : bank.source);
  member("instrument", bank.instrument);
  member("presetId", bank.presetId);
  out.push_back('}');
}

}  // namespace

bool parseObject(Reader& r, StateChunk* chunk, int depth, bool inParams) {
  if (depth > kJsonMaxDepth) return false;
  return readObjectMembers(r, [&](const std::string& key, Reader& value) {
    if (chunk != nullptr && inParams) return readParamMember(value, key, *chunk, depth);
    if (chunk != nullptr && depth == 0) return readTopLevelMember(value, key, *chunk);
    return skipValue(value, depth + 1);
  });
}

std::optional<StateChunk> parseStateJson(std::string_view text) {
  const std::string document(text);  // the reader needs a terminator after the text
  Reader r(document);
  std::optional<StateChunk> chunk(std::in_place);
  if (peekChar(r) != '{' || !parseObject(r, &*chunk, 0, false) || !atEndAfterWhitespace(r))
    return std::nullopt;
  return chunk;
}

bool parseStateJson(const char* bytes, std::size_t length, StateChunk& chunk) {
  if (bytes == nullptr && length != 0) return false;
  std::optional<StateChunk> parsed =
      parseStateJson(std::string_view(bytes == nullptr ? "" : bytes, length));
  if (!parsed) return false;
  chunk = std::move(*parsed);
  return true;
}

BankStateRefOut bankStateRefOut(const BankStateRef& bank) noexcept {
  BankStateRefOut out;
  out.id = bank.id;
  out.bankVersion = bank.bankVersion;
  out.sha256 = bank.sha256;
  out.source = bank.source;
  out.presetId = bank.presetId;
  out.instrument = bank.instrument;
  out.locator = bank.locator;
  return out;
}

std::string writeStateJson(const double* params, int variation, const CcMap* ccMap,
                           SamplerAssetDiagnostic fault, SamplerZoneProgram program,
                           const BankStateRefOut* bank, const SamplerPadOverrides* pads,
                           const AuthoredStateOut* authored) {
  std::string out;
  out.reserve(199);
  out.append("{\"params\":{");
  for (std::size_t i = 0; i < kStateParamCount; ++i) {
    if (i > 0) out.push_back(',');
    jsonAppendQuoted(out, NORVO_PARAMS[i].path);
    out.push_back(':');
    jsonAppendNumber(out, params != nullptr ? params[i] : NORVO_PARAMS[i].defaultPlain);
  }
  out.push_back('}');
  if (variation >= 0) {
    out.append(",\"variation\":");
    jsonAppendNumber(out, variation);
  }
  if (ccMap != nullptr) {
    out.append(",\"ccMap\":");
    writeCcMapJson(out, *ccMap);
  }
  if (fault != kSamplerAssetNoFault) {
    const char* name = samplerAssetFaultName(fault);
    out.append(",\"samplerAssetFault\":");
    jsonAppendQuoted(out, name != nullptr ? name : "none");
  }
  if (program != kZoneLegacySingleZone) {
    out.append(",\"samplerZoneAbi\":");
    jsonAppendQuoted(out, kZoneAbi);
    out.append(",\"samplerZoneVersion\":1,\"samplerZoneProgram\":");
    jsonAppendQuoted(out, samplerZoneProgramName(program));
  }
  if (pads != nullptr && !pads->empty()) {
    out.append(",\"sampler\":{\"v\":1,\"pads\":");
    writeSamplerPadOverridesJson(out, *pads);
    out.push_back('}');
  }
  if (bank != nullptr && !isEmpty(bank->id)) appendBank(out, *bank);
  if (authored != nullptr && authored->bytes != nullptr && authored->size != 0) {
    out.append(",\"authoredState\":{\"v\":");
    jsonAppendNumber(out, authored->version);
    out.append(",\"bytes\":\"");
    base64Append(out, authored->bytes, authored->size);
    out.append("\"}");
  }
  out.push_back('}');
  return out;
}

int resolveBankStateRef(const StateChunk& chunk, std::uint32_t& compiledIndex) noexcept {
  static_cast<void>(compiledIndex);  // no compiled-in banks: a named bank is a runtime bank
  return chunk.bank.present && chunk.bank.id[0] != '\0' ? kBankRefRuntime : kBankRefNone;
}

}  // namespace norvo
