// The JSON form of the CC map and the two bridge messages built from it. Writers and parsers
// touch only their arguments; main thread (or the state-restore thread), never the audio
// thread: they allocate.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

#include "ccmap/cc_activity_record.h"
#include "ccmap/cc_map.h"
#include "common/json_reader.h"

namespace norvo {

// Appends {"version":1,"bindings":[...]}; bindings whose param is not a known index are left out.
void writeCcMapJson(std::string& out, const CcMap& map);

// Appends {"type":"norvo.ccMapChanged","map":<map object>}.
void writeCcMapChangedJson(std::string& out, const CcMap& map);

// Appends {"type":"norvo.midiCc","cc":..,"channel":..,"value":..}.
void writeMidiCcJson(std::string& out, const CcActivityRecord& record);

// Parses a whole CC map document: an object with a "bindings" array, or a bare bindings array,
// and nothing but whitespace after it. On success `map` is replaced (unused slots default);
// on failure it is untouched. `text` need not be NUL-terminated.
bool parseCcMapJson(const char* text, std::size_t length, CcMap& map);

// The same, answering the parsed map only on success.
std::optional<CcMap> parseCcMapJson(std::string_view text);

// Parses a CC map value inside another document. `sawBindings` reports whether a bindings
// array was present. Values other than an object or array are skipped and give an empty map.
// On failure neither `map` nor `sawBindings` changes; the cursor position is unspecified.
bool parseCcMapValue(Reader& r, CcMap& map, bool& sawBindings);

// Parses one element of a bindings array and appends it as slot `map.count` when it names a
// cc and a known parameter path and the map has room; otherwise drops it without failing.
// Non-objects are skipped. Fails only on malformed JSON or a non-string "path", "curve",
// "valueMode" or "takeover"; `map` is then untouched.
bool parseCcBinding(Reader& r, CcMap& map);

// Text forms of the enumerations; nullptr for the unnamed value 0 and unknown values.
const char* ccCurveName(std::uint8_t curve) noexcept;
const char* ccValueModeName(std::uint8_t valueMode) noexcept;
const char* ccTakeoverName(std::uint8_t takeover) noexcept;

}  // namespace norvo
