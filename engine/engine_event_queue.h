// The kernel engine's queue of one host block's input events: 2048 fixed slots allocated at
// construction, filled by the push operations and sorted by frame before the block runs.
// Audio thread (inside one process call); construction and destruction on the main thread.
#pragma once

#include <memory>

#include "engine/engine_events.h"

namespace norvo {

// Stable insertion sort by `frame`: events of equal frame keep the order they were queued in.
// No allocation. Any thread, on its own data.
void sortEventsInPlace(EngineEvent* events, int count) noexcept;

class EngineEventQueue {
 public:
  EngineEventQueue();
  EngineEventQueue(const EngineEventQueue&) = delete;
  EngineEventQueue& operator=(const EngineEventQueue&) = delete;

  // Audio thread. Appends one event; false (nothing queued) when 2048 are queued.
  bool push(const EngineEvent& event) noexcept {
    if (count_ >= kEngineEventCapacity) return false;
    events_[count_++] = event;
    return true;
  }

  // Audio thread. Forgets every queued event.
  void clear() noexcept { count_ = 0; }

  // Audio thread. Sorts the queued events stably by frame.
  void sortByFrame() noexcept { sortEventsInPlace(events_.get(), count_); }

  int size() const noexcept { return count_; }
  bool full() const noexcept { return count_ >= kEngineEventCapacity; }
  const EngineEvent& operator[](int i) const noexcept { return events_[i]; }

 private:
  std::unique_ptr<EngineEvent[]> events_;
  int count_ = 0;
};

}  // namespace norvo
