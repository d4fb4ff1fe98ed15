// Formatting and writing of the bridge's standard-error lines.
#include "editor/bridge_log.h"

#include <climits>
#include <cmath>

#include "common/log_line.h"

namespace norvo {
namespace {

// Truncation toward zero that stays defined for every double.
int truncatedNote(double note) noexcept {
  if (std::isnan(note)) return 0;
  if (note >= static_cast<double>(INT_MAX)) return INT_MAX;
  if (note <= static_cast<double>(INT_MIN)) return INT_MIN;
  return static_cast<int>(note);
}

}  // namespace

std::string malformedBridgeMessageLine(std::size_t bytes) {
  std::string line(NORVO_LOG_PREFIX);
  line.append("malformed bridge message (").append(std::to_string(bytes)).append(" bytes)\n");
  return line;
}

std::string bridgeNoteLine(std::string_view type, double note) {
  std::string line(NORVO_LOG_PREFIX);
  line.append("bridge ")
      .append(type)
      .append(" note=")
      .append(std::to_string(truncatedNote(note)))
      .push_back('\n');
  return line;
}

void writeBridgeLogLine(const std::string& line, std::FILE* stream) {
  if (stream == nullptr) return;
  std::fwrite(line.data(), 1, line.size(), stream);
  std::fflush(stream);
}

}  // namespace norvo
