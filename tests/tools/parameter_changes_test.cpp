// The probe's parameter change lists and event list.
#include "tools/parameter_changes.h"
#include "tools/event_list.h"

#include <gtest/gtest.h>

namespace norvo::probe {
namespace {

using namespace Steinberg;

TEST(ParamValueQueue, KeepsPointsInOffsetOrderAndReplacesSameOffset) {
  IPtr<ParamValueQueue> queue = owned(new ParamValueQueue(3));
  int32 index = -1;
  queue->addPoint(100, 0.5, index);
  EXPECT_EQ(index, 0);
  queue->addPoint(10, 0.1, index);
  EXPECT_EQ(index, 0);
  queue->addPoint(100, 0.7, index);
  EXPECT_EQ(index, 1);
  ASSERT_EQ(queue->getPointCount(), 2);
  int32 offset = 0;
  Vst::ParamValue value = 0;
  ASSERT_EQ(queue->getPoint(0, offset, value), kResultOk);
  EXPECT_EQ(offset, 10);
  EXPECT_EQ(value, 0.1);
  ASSERT_EQ(queue->getPoint(1, offset, value), kResultOk);
  EXPECT_EQ(offset, 100);
  EXPECT_EQ(value, 0.7);
  EXPECT_EQ(queue->getPoint(2, offset, value), kInvalidArgument);
  EXPECT_EQ(queue->getPoint(-1, offset, value), kInvalidArgument);
}

TEST(ParameterChanges, OneQueuePerParameter) {
  IPtr<ParameterChanges> changes = owned(new ParameterChanges);
  changes->add(1, 0, 0.4);
  changes->add(2, 0, 0.75);
  changes->add(1, 64, 0.6);
  ASSERT_EQ(changes->getParameterCount(), 2);
  EXPECT_EQ(changes->getParameterData(0)->getParameterId(), 1u);
  EXPECT_EQ(changes->getParameterData(0)->getPointCount(), 2);
  EXPECT_EQ(changes->getParameterData(1)->getParameterId(), 2u);
  EXPECT_EQ(changes->getParameterData(2), nullptr);
  int32 index = -1;
  EXPECT_EQ(changes->addParameterData(2, index), changes->getParameterData(1));
  EXPECT_EQ(index, 1);
  changes->clear();
  EXPECT_EQ(changes->getParameterCount(), 0);
}

TEST(EventList, RefusesEventsBeyondItsCapacityAndCountsThem) {
  IPtr<EventList> list = owned(new EventList(2));
  Vst::Event e{};
  e.type = Vst::Event::kNoteOnEvent;
  for (int16 pitch : {60, 64, 67}) {
    e.noteOn.pitch = pitch;
    list->addEvent(e);
  }
  EXPECT_EQ(list->getEventCount(), 2);
  EXPECT_EQ(list->refused(), 1u);
  Vst::Event out{};
  ASSERT_EQ(list->getEvent(1, out), kResultOk);
  EXPECT_EQ(out.noteOn.pitch, 64);
  EXPECT_EQ(list->getEvent(2, out), kInvalidArgument);
  list->clear();
  EXPECT_EQ(list->getEventCount(), 0);
  EXPECT_EQ(list->refused(), 0u);
}

}  // namespace
}  // namespace norvo::probe
