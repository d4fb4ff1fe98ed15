// The JSON form of the pad overrides: one object keyed by pad id, each member an object of
// the values that were given. Writer and parsers run on the main thread or the state-restore
// thread, never the audio thread.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

#include "common/json_reader.h"
#include "formats/sampler_pad_overrides.h"

namespace norvo {

// Appends the overrides object. Entries with an empty pad id or an empty mask are left out.
void writeSamplerPadOverridesJson(std::string& out, const SamplerPadOverrides& overrides);

// Parses a whole document (an object and nothing but whitespace after it). On success the
// result replaces `overrides`; on failure `overrides` is untouched. `text` need not be
// NUL-terminated.
bool parseSamplerPadOverridesJson(const char* text, std::size_t length,
                                  SamplerPadOverrides& overrides);

// The same, answering the parsed overrides only on success.
std::optional<SamplerPadOverrides> parseSamplerPadOverridesJson(std::string_view text);

// Parses the overrides object at the reader's position (a member of a bigger document).
// On success the result replaces `overrides`; on failure `overrides` is untouched and the
// cursor position is unspecified. Bad values, over-capacity entries and pad ids that could
// not be saved back (empty, longer than kMaxPadIdBytes, holding a NUL byte) are dropped
// without failing; only syntax errors fail.
bool parsePadOverrideMap(Reader& r, SamplerPadOverrides& overrides);

}  // namespace norvo
