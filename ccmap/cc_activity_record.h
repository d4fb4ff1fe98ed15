// One controller-activity observation (controller number, channel, value) as the activity
// feed hands it to the main thread. Three plain bytes; any thread.
#pragma once

#include <cstdint>

namespace norvo {

struct CcActivityRecord {
  std::uint8_t cc = 0;
  std::uint8_t channel = 0;
  std::uint8_t value = 0;
};

}  // namespace norvo
