// The JSON value encoders every writer of the plug-in uses: numbers and quoted strings.
// Documents are written by hand (fixed key order, no whitespace); these helpers only append.
// Any thread may call them on its own buffers; they allocate, so never on the audio thread.
#pragma once

#include <string>

namespace norvo {

// Appends the shortest text that reads back to exactly `value` ("3", "0.5", "1e+06", "-0"),
// or "null" when the value is not finite.
void jsonAppendNumber(std::string& out, double value);

// Appends `text` (NUL-terminated) as a JSON string literal. Only '"' and '\' are escaped;
// every other byte, control characters included, is copied raw.
void jsonAppendQuoted(std::string& out, const char* text);

// Convenience for writers that hold std::string keys and values.
inline void jsonAppendQuoted(std::string& out, const std::string& text) {
  jsonAppendQuoted(out, text.c_str());
}

}  // namespace norvo
