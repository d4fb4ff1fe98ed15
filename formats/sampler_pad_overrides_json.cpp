// Writer and parsers of the pad overrides object. Main thread or state-restore thread.
#include "formats/sampler_pad_overrides_json.h"

#include <algorithm>

#include "common/json_writer.h"

namespace norvo {
namespace {

constexpr std::uint32_t kAllValueBits = (1u << kPadOverrideValueCount) - 1;

// Reads one member value of a pad object. A number that fits its key is stored; every other
// value is skipped and ignored. Only malformed JSON fails.
bool readPadValue(Reader& r, const std::string& key, SamplerPadOverride& pad) {
  double value = 0;
  if (!parseNumber(r, &value)) return skipValue(r, 2);
  const int index = padOverrideValueIndex(key);
  if (padOverrideValueAccepted(index, value)) {
    pad.*kPadOverrideValues[index].field = value;
    pad.mask |= 1u << index;
  }
  return true;
}

// A pad id is kept only when it fits and can be written back exactly: the writer leaves out
// empty ids, and its quoting stops at a NUL byte, so such ids would be lost or come back as a
// different (shorter) id on the next save.
bool padIdStorable(const std::string& padId) {
  return !padId.empty() && padId.size() <= kMaxPadIdBytes && padId.find('\0') == std::string::npos;
}

void storePad(SamplerPadOverrides& pads, SamplerPadOverride&& pad) {
  if (pad.mask == 0 || !padIdStorable(pad.padId)) return;
  auto same = std::find_if(pads.begin(), pads.end(), [&](const SamplerPadOverride& entry) {
    return entry.padId == pad.padId;
  });
  if (same != pads.end()) {
    *same = std::move(pad);  // replaced whole, keeps its first position
  } else if (pads.size() < kMaxPadOverrides) {
    pads.push_back(std::move(pad));
  }
}

}  // namespace

void writeSamplerPadOverridesJson(std::string& out, const SamplerPadOverrides& overrides) {
  out.push_back('{');
  bool first = true;
  for (const SamplerPadOverride& pad : overrides) {
    if (pad.padId.empty() || pad.mask == 0) continue;
    if (!first) out.push_back(',');
    first = false;
    jsonAppendQuoted(out, pad.padId);
    out.append(":{");
    bool firstValue = true;
    for (int bit = 0; bit < kPadOverrideValueCount; ++bit) {
      if ((pad.mask & (1u << bit)) == 0) continue;
      if (!firstValue) out.push_back(',');
      firstValue = false;
      jsonAppendQuoted(out, kPadOverrideValues[bit].key);
      out.push_back(':');
      jsonAppendNumber(out, pad.*kPadOverrideValues[bit].field);
    }
    out.push_back('}');
  }
  out.push_back('}');
}

bool parsePadOverrideMap(Reader& r, SamplerPadOverrides& overrides) {
  SamplerPadOverrides parsed;
  std::size_t members = 0;
  const bool ok = readObjectMembers(r, [&](const std::string& padId, Reader& inner) {
    ++members;
    if (peekChar(inner) != '{') return skipValue(inner, 1);
    SamplerPadOverride pad;
    pad.padId = padId;
    if (!readObjectMembers(inner, [&](const std::string& key, Reader& value) {
          return readPadValue(value, key, pad);
        })) {
      return false;
    }
    pad.mask &= kAllValueBits;
    storePad(parsed, std::move(pad));
    return true;
  });
  if (!ok) return false;
  if (members > kMaxPadOverrides) parsed.clear();
  overrides = std::move(parsed);
  return true;
}

std::optional<SamplerPadOverrides> parseSamplerPadOverridesJson(std::string_view text) {
  const std::string document(text);  // the reader needs a terminator after the text
  Reader r(document);
  SamplerPadOverrides parsed;
  if (!parsePadOverrideMap(r, parsed) || !atEndAfterWhitespace(r)) return std::nullopt;
  return parsed;
}

bool parseSamplerPadOverridesJson(const char* text, std::size_t length,
                                  SamplerPadOverrides& overrides) {
  if (text == nullptr && length != 0) return false;
  std::optional<SamplerPadOverrides> parsed =
      parseSamplerPadOverridesJson(std::string_view(text == nullptr ? "" : text, length));
  if (!parsed) return false;
  overrides = std::move(*parsed);
  return true;
}

}  // namespace norvo
