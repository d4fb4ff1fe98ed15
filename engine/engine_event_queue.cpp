// The kernel engine's fixed-capacity event queue and its stable sort.
#include "engine/engine_event_queue.h"

namespace norvo {

void sortEventsInPlace(EngineEvent* events, int count) noexcept {
  for (int i = 1; i < count; ++i) {
    // Hosts deliver events in frame order: an event already in place is passed over at the
    // cost of one comparison.
    if (events[i - 1].frame <= events[i].frame) continue;
    const EngineEvent moving = events[i];
    int j = i;
    // Strictly greater: an equal frame stops the walk, so equal frames keep their order.
    while (j > 0 && events[j - 1].frame > moving.frame) {
      events[j] = events[j - 1];
      --j;
    }
    events[j] = moving;
  }
}

EngineEventQueue::EngineEventQueue() : events_(new EngineEvent[kEngineEventCapacity]) {}

}  // namespace norvo
