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

// Queues that are in order but for a few events: those move back past every later frame and
// stop behind the events of their own frame, and the rest stays as it was.
TEST(SortEventsInPlace, InOrderQueuesWithLateEvents) {
  struct Case {
    std::vector<int> frames;  // tags are the positions 0, 1, ...
    std::vector<int> expected;
  };
  const Case cases[] = {
      {{0, 0, 5, 9, 9}, {0, 1, 2, 3, 4}},
      {{0, 5, 9, 9, 5}, {0, 1, 4, 2, 3}},
      {{3, 3, 7, 1, 7, 2}, {3, 5, 0, 1, 2, 4}},
      {{4, 4, 4, 4, 0}, {4, 0, 1, 2, 3}},
  };
  for (const Case& c : cases) {
    std::vector<EngineEvent> events;
    for (std::size_t i = 0; i < c.frames.size(); ++i)
      events.push_back(eventAt(c.frames[i], static_cast<int>(i)));
    sortEventsInPlace(events.data(), static_cast<int>(events.size()));
    EXPECT_EQ(tagsOf(events.data(), static_cast<int>(events.size())), c.expected);
  }
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
