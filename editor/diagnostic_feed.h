// The names of the diagnostic feeds a page can subscribe to and their bits in a feed mask.
// Any thread.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace norvo {

enum DiagnosticFeedBit : std::uint32_t {
  kFeedHost = 1u << 0,
  kFeedTransport = 1u << 1,
  kFeedMidiIn = 1u << 2,
  kFeedMidiOut = 1u << 3,
  kFeedMeters = 1u << 4,
  kFeedScope = 1u << 5,
  kFeedLifecycle = 1u << 6,
  kFeedCounters = 1u << 7,
  kFeedParams = 1u << 8,
  kFeedPresets = 1u << 9,
  kFeedClock = 1u << 10,
};

struct DiagnosticFeedName {
  const char* name;
  std::uint32_t bit;
};

inline constexpr std::size_t kDiagnosticFeedCount = 11;

// Every feed in bit order.
extern const DiagnosticFeedName kDiagnosticFeeds[kDiagnosticFeedCount];

// The bit of a feed name, compared exactly and case-sensitively; 0 for any other name.
// Any thread.
std::uint32_t diagnosticFeedBit(std::string_view name) noexcept;

}  // namespace norvo
