// NorvoParameter as the host sees it through the SDK: info fields, texts and conversions.
#include "plugin/norvo_parameter.h"

#include <gtest/gtest.h>

#include <string>

#include "pluginterfaces/base/ustring.h"

namespace norvo {
namespace {

using Steinberg::UString128;
using Steinberg::Vst::ParameterInfo;
using Steinberg::Vst::ParamValue;
using Steinberg::Vst::String128;

std::string narrow(const Steinberg::Vst::TChar* text) {
  char buffer[256];
  UString128(text).toAscii(buffer, sizeof buffer);
  return buffer;
}

std::string display(const NorvoParameter& p, ParamValue normalized) {
  String128 text{};
  p.toString(normalized, text);
  return narrow(text);
}

struct ExpectedInfo {
  const char* title;
  double defaultNormalized;
};

TEST(NorvoParameterTest, InfoOfEveryTableEntryIsWhatTheHostSees) {
  const ExpectedInfo expected[] = {{"On", 1.0}, {"Mode", 0.0}, {"Spread", 0.5}, {"Velocity", 0.8}};
  for (std::size_t i = 0; i < kParamCount; ++i) {
    SCOPED_TRACE(i);
    NorvoParameter p(NORVO_PARAMS[i]);
    const ParameterInfo& info = p.getInfo();
    EXPECT_EQ(info.id, i);
    EXPECT_EQ(narrow(info.title), expected[i].title);
    EXPECT_EQ(narrow(info.shortTitle), expected[i].title);
    EXPECT_EQ(narrow(info.units), "");
    EXPECT_EQ(info.stepCount, 0);
    EXPECT_EQ(info.defaultNormalizedValue, expected[i].defaultNormalized);
    EXPECT_EQ(info.unitId, Steinberg::Vst::kRootUnitId);
    EXPECT_EQ(info.flags, ParameterInfo::kCanAutomate);
    EXPECT_EQ(p.getNormalized(), expected[i].defaultNormalized);
  }
}

TEST(NorvoParameterTest, StepCountFollowsTheKind) {
  const char* names[] = {"a", "b", "c"};
  norvo_param_desc list = NORVO_PARAMS[1];
  list.kind = kParamKindList;
  list.valueCount = 3;
  list.valueNames = names;
  EXPECT_EQ(NorvoParameter(list).getInfo().stepCount, 2);
  list.valueCount = 1;
  EXPECT_EQ(NorvoParameter(list).getInfo().stepCount, 1);
  norvo_param_desc toggle = NORVO_PARAMS[0];
  toggle.kind = kParamKindToggle;
  EXPECT_EQ(NorvoParameter(toggle).getInfo().stepCount, 1);
}

TEST(NorvoParameterTest, DisplayTextIsThePlainValue) {
  NorvoParameter on(NORVO_PARAMS[0]);
  EXPECT_EQ(display(on, 0.5), "1");
  EXPECT_EQ(display(on, 0.49), "0");
  NorvoParameter spread(NORVO_PARAMS[2]);
  EXPECT_EQ(display(spread, 0.375), "0");
  EXPECT_EQ(display(spread, 0.125), "-1");
  EXPECT_EQ(display(spread, 0.0), "-2");
  NorvoParameter velocity(NORVO_PARAMS[3]);
  EXPECT_EQ(display(velocity, velocity.getNormalized()), "0.8");
  EXPECT_EQ(display(velocity, 1.0 / 3.0), "0.3333333333333333");
}

TEST(NorvoParameterTest, ParsesHostTextIntoNormalizedValues) {
  NorvoParameter mode(NORVO_PARAMS[1]);
  ParamValue v = -1.0;
  EXPECT_TRUE(mode.fromString(UString128("7"), v));
  EXPECT_EQ(v, 1.0);
  EXPECT_TRUE(mode.fromString(UString128(" 3"), v));
  EXPECT_DOUBLE_EQ(v, 0.6);
  EXPECT_TRUE(mode.fromString(UString128("3abc"), v));
  EXPECT_DOUBLE_EQ(v, 0.6);
  EXPECT_TRUE(mode.fromString(UString128("2.4"), v));
  EXPECT_DOUBLE_EQ(v, 0.48);
  EXPECT_EQ(mode.toPlain(v), 2.0);

  v = 0.25;
  EXPECT_FALSE(mode.fromString(UString128("abc"), v));
  EXPECT_EQ(v, 0.25);

  NorvoParameter velocity(NORVO_PARAMS[3]);
  EXPECT_TRUE(velocity.fromString(UString128("0.4"), v));
  EXPECT_EQ(v, 0.4);
  EXPECT_EQ(display(velocity, v), "0.4");
}

TEST(NorvoParameterTest, ConversionsQuantizeOnlyTowardsPlain) {
  NorvoParameter spread(NORVO_PARAMS[2]);
  EXPECT_EQ(spread.toPlain(0.375), 0.0);   // -0.5 rounds half up
  EXPECT_EQ(spread.toPlain(0.125), -1.0);  // -1.5 rounds half up
  EXPECT_EQ(spread.toNormalized(1.0), 0.75);
  EXPECT_EQ(spread.toNormalized(0.5), 0.625);  // no quantizing in this direction
  EXPECT_EQ(spread.toNormalized(9.0), 1.0);
}

}  // namespace
}  // namespace norvo
