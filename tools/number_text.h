// Numbers as short, exact text for the probe's listings. Any thread.
#pragma once

#include <charconv>
#include <string>

namespace norvo::probe {

// The shortest text that reads back to the same double (1, 0.8, -2).
inline std::string shortestText(double value) {
  char buffer[64];
  const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
  return std::string(buffer, result.ptr);
}

}  // namespace norvo::probe
