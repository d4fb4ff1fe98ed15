// The standard-error lines of the page bridge: a malformed page message and a note message
// (which this product only logs). Main thread.
#pragma once

#include <cstddef>
#include <cstdio>
#include <string>
#include <string_view>

namespace norvo {

// "norvo-plugin-shell: malformed bridge message (<bytes> bytes)\n". Any thread.
std::string malformedBridgeMessageLine(std::size_t bytes);

// "norvo-plugin-shell: bridge <type> note=<note>\n" with the note truncated toward zero; a
// note outside the int range saturates at its nearest end and a NaN reads as 0. Any thread.
std::string bridgeNoteLine(std::string_view type, double note);

// Writes one line as a whole to `stream` (standard error unless a test passes its own).
// Main thread.
void writeBridgeLogLine(const std::string& line, std::FILE* stream = stderr);

}  // namespace norvo
