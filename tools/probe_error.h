// The one error type of norvo-probe: a one-line message for the user. Main thread.
#pragma once

#include <stdexcept>
#include <string>

namespace norvo::probe {

class ProbeError : public std::runtime_error {
 public:
  explicit ProbeError(const std::string& message) : std::runtime_error(message) {}
};

}  // namespace norvo::probe
