// The feed name table and its lookup.
#include "editor/diagnostic_feed.h"

namespace norvo {

const DiagnosticFeedName kDiagnosticFeeds[kDiagnosticFeedCount] = {
    {"host", kFeedHost},           {"transport", kFeedTransport}, {"midiIn", kFeedMidiIn},
    {"midiOut", kFeedMidiOut},     {"meters", kFeedMeters},       {"scope", kFeedScope},
    {"lifecycle", kFeedLifecycle}, {"counters", kFeedCounters},   {"params", kFeedParams},
    {"presets", kFeedPresets},     {"clock", kFeedClock},
};

std::uint32_t diagnosticFeedBit(std::string_view name) noexcept {
  for (const DiagnosticFeedName& feed : kDiagnosticFeeds) {
    if (name == feed.name) return feed.bit;
  }
  return 0;
}

}  // namespace norvo
