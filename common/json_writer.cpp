// JSON value encoders: shortest round-trip numbers and minimally escaped string literals.
// Any thread on its own buffers; allocates.
#include "common/json_writer.h"

#include <charconv>
#include <cmath>
#include <system_error>

namespace norvo {

void jsonAppendNumber(std::string& out, double value) {
  if (!std::isfinite(value)) {
    out.append("null");
    return;
  }
  // to_chars without a format picks plain or exponent notation, whichever is shorter
  // (plain on a tie), and writes at least two exponent digits ("1e+06"). It ignores the
  // locale, so a host that changed LC_NUMERIC cannot turn "0.5" into "0,5".
  char buffer[64];
  const std::to_chars_result result = std::to_chars(buffer, buffer + sizeof buffer, value);
  if (result.ec != std::errc{}) {  // cannot happen: the longest double text is 24 bytes
    out.append("null");
    return;
  }
  out.append(buffer, result.ptr);
}

void jsonAppendQuoted(std::string& out, const char* text) {
  out.push_back('"');
  if (text != nullptr) {
    for (const char* p = text; *p != '\0'; ++p) {
      if (*p == '"' || *p == '\\') out.push_back('\\');
      out.push_back(*p);
    }
  }
  out.push_back('"');
}

}  // namespace norvo
