// The engine's event queue: its fixed capacity and the stable frame sort.
#include "engine/engine_event_queue.h"

#include <gtest/gtest.h>

#include <vector>

namespace norvo {
namespace {

EngineEvent eventAt(int frame, int tag) {
  EngineEvent e;
  e.frame = frame;
  e.pitch = tag;  // identifies the event after sorting
  return e;
}

std::vector<int> tagsOf(const EngineEvent* events, int count) {
  std::vector<int> tags;
  for (int i = 0; i < count; ++i) tags.push_back(events[i].pitch);
  return tags;
}

TEST(SortEventsInPlace, OrdersByFrameAndKeepsQueueOrderWithinAFrame) {
  EngineEvent events[] = {eventAt(64, 1), eventAt(0, 2),   eventAt(64, 3), eventAt(-3, 4),
                          eventAt(0, 5),  eventAt(200, 6), eventAt(0, 7),  eventAt(64, 8)};
  sortEventsInPlace(events, 8);
  EXPECT_EQ(tagsOf(events, 8), (std::vector<int>{4, 2, 5, 7, 1, 3, 8, 6}));
}

TEST(SortEventsInPlace, ReverseOrderAndTrivialCounts) {
  std::vector<EngineEvent> events;
  for (int i = 0; i < 50; ++i) events.push_back(eventAt(49 - i, i));
  sortEventsInPlace(events.data(), 50);
  for (int i = 0; i < 50; ++i) EXPECT_EQ(events[i].frame, i);

  EngineEvent one[] = {eventAt(9, 1)};
  sortEventsInPlace(one, 1);
  sortEventsInPlace(one, 0);
  EXPECT_EQ(one[0].frame, 9);
}

}  // namespace
}  // namespace norvo
