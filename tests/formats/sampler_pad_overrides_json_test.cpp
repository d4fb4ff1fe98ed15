#include "formats/sampler_pad_overrides_json.h"

#include <gtest/gtest.h>

namespace norvo {
namespace {

SamplerPadOverrides parseOrDie(const std::string& text) {
  std::optional<SamplerPadOverrides> parsed = parseSamplerPadOverridesJson(text);
  EXPECT_TRUE(parsed.has_value()) << text;
  return parsed.value_or(SamplerPadOverrides{});
}

std::string written(const SamplerPadOverrides& pads) {
  std::string out;
  writeSamplerPadOverridesJson(out, pads);
  return out;
}

std::string padMember(const std::string& id, const std::string& body) {
  return "\"" + id + "\":" + body;
}

TEST(PadOverridesJson, OnePadRoundTripsByteForByte) {
  const std::string text = R"({"kick":{"transpose":-3,"muted":1}})";
  const SamplerPadOverrides pads = parseOrDie(text);
  ASSERT_EQ(pads.size(), 1u);
  EXPECT_EQ(pads[0].padId, "kick");
  EXPECT_EQ(pads[0].mask, kPadTranspose | kPadMuted);
  EXPECT_EQ(pads[0].transpose, -3);
  EXPECT_EQ(pads[0].muted, 1);
  EXPECT_EQ(pads[0].gain, 1);  // unset values keep their defaults
  EXPECT_EQ(pads[0].release, 0.025);
  EXPECT_EQ(written(pads), text);
}

TEST(PadOverridesJson, EveryValueWritesInBitOrder) {
  const std::string text =
      R"({"p":{"transpose":24,"fineTune":-100,"gain":4,"pan":-1,"start":0.25,"end":0.75,"attack":2,)"
      R"("release":0.001,"filterHz":20000,"resonance":18,"reverse":1,"muted":0,"chokeGroup":8,)"
      R"("roundRobinGroup":0,"velocitySensitivity":0.5}})";
  const SamplerPadOverrides pads = parseOrDie(text);
  ASSERT_EQ(pads.size(), 1u);
  EXPECT_EQ(pads[0].mask, 0x7fffu);
  EXPECT_EQ(written(pads), text);
  // Keys in another order come out in bit order.
  EXPECT_EQ(written(parseOrDie(R"({"p":{"muted":1,"transpose":2}})")),
            R"({"p":{"transpose":2,"muted":1}})");
}

TEST(PadOverridesJson, DropsValuesThatBreakTheirRule) {
  const struct {
    const char* member;
    bool kept;
  } cases[] = {
      {R"("transpose":2.5)", false},   {R"("transpose":25)", false},
      {R"("transpose":-24)", true},    {R"("muted":true)", false},
      {R"("muted":0.5)", false},       {R"("muted":"1")", false},
      {R"("release":0)", false},       {R"("release":4)", true},
      {R"("filterHz":20000)", true},   {R"("filterHz":19.9)", false},
      {R"("resonance":0.05)", false},  {R"("resonance":0.1)", true},
      {R"("chokeGroup":9)", false},    {R"("chokeGroup":3)", true},
      {R"("gain":nan)", false},        {R"("gain":1e999)", false},
      {R"("volume":1)", false},        {R"("pan":null)", false},
      {R"("pan":[1,{"a":2}])", false}, {R"("pan":-1)", true},
  };
  for (const auto& c : cases) {
    const SamplerPadOverrides pads = parseOrDie(std::string(R"({"x":{)") + c.member + "}}");
    EXPECT_EQ(pads.size(), c.kept ? 1u : 0u) << c.member;
  }
  // A bad value is dropped alone; the rest of the pad loads.
  const SamplerPadOverrides mixed = parseOrDie(R"({"x":{"transpose":2.5,"gain":0.5}})");
  ASSERT_EQ(mixed.size(), 1u);
  EXPECT_EQ(mixed[0].mask, kPadGain);
  EXPECT_EQ(mixed[0].transpose, 0);
}

TEST(PadOverridesJson, RepeatedPadReplacesWholeAndKeepsPosition) {
  const SamplerPadOverrides pads =
      parseOrDie(R"({"a":{"gain":2,"pan":0.5},"b":{"muted":1},"a":{"gain":3},"b":{"gain":9}})");
  ASSERT_EQ(pads.size(), 2u);
  EXPECT_EQ(pads[0].padId, "a");
  EXPECT_EQ(pads[0].mask, kPadGain);
  EXPECT_EQ(pads[0].gain, 3);
  EXPECT_EQ(pads[0].pan, 0);      // given only in the first object: lost
  EXPECT_EQ(pads[1].padId, "b");  // the second "b" set nothing and leaves the first alone
  EXPECT_EQ(pads[1].mask, kPadMuted);
}

TEST(PadOverridesJson, EnforcesIdAndCountLimits) {
  const std::string id160(160, 'i');
  EXPECT_EQ(parseOrDie("{" + padMember(id160, R"({"gain":2})") + "}").size(), 1u);
  EXPECT_TRUE(parseOrDie("{" + padMember(id160 + "i", R"({"gain":2})") + "}").empty());

  const auto mapOf = [](int pads, int extraNonObjects) {
    std::string text = "{";
    for (int i = 0; i < pads; ++i)
      text += (i ? "," : "") + padMember("p" + std::to_string(i), R"({"gain":2})");
    for (int i = 0; i < extraNonObjects; ++i) text += "," + padMember("n" + std::to_string(i), "7");
    return text + "}";
  };
  EXPECT_EQ(parseOrDie(mapOf(256, 0)).size(), 256u);
  EXPECT_TRUE(parseOrDie(mapOf(257, 0)).empty());
  EXPECT_TRUE(parseOrDie(mapOf(256, 1)).empty());  // non-object members count too
  EXPECT_EQ(parseOrDie(mapOf(255, 1)).size(), 255u);
}

TEST(PadOverridesJson, EmptyOrInvalidPadsLeaveNoEntry) {
  EXPECT_TRUE(parseOrDie("{}").empty());
  EXPECT_TRUE(parseOrDie(R"({"a":{}})").empty());
  EXPECT_TRUE(parseOrDie(R"({"":{"gain":2}})").empty());  // the writer could never save it
  EXPECT_TRUE(parseOrDie(R"({"a":{"gain":-1,"muted":2}})").empty());
  EXPECT_TRUE(parseOrDie(R"({"a":"loud","b":[1,2]})").empty());
  EXPECT_EQ(parseOrDie(R"({"a\u0000b":{"gain":2}})").at(0).padId, "a?b");
  const char rawNul[] = "{\"a\0b\":{\"gain\":2}}";
  EXPECT_TRUE(
      parseOrDie(std::string(rawNul, sizeof rawNul - 1)).empty());  // cannot be written back
}

TEST(PadOverridesJson, SyntaxErrorsFailAndLeaveTheDestinationAlone) {
  SamplerPadOverrides live = parseOrDie(R"({"keep":{"gain":2}})");
  const SamplerPadOverrides before = live;
  for (const std::string text :
       {"", " ", "[]", R"({"a":{"gain":2}} x)", R"({"a":{"gain":2},})", R"({"a":{"gain":2})",
        R"({"a":{"gain":}})", R"({"a":{"muted":tru}})", R"({"a" {"gain":2}})", "\xEF\xBB\xBF{}"}) {
    EXPECT_FALSE(parseSamplerPadOverridesJson(text.data(), text.size(), live)) << text;
    EXPECT_EQ(live, before) << text;
  }
  const std::string good = " {\"n\":{\"pan\":1}}\n";
  EXPECT_TRUE(parseSamplerPadOverridesJson(good.data(), good.size(), live));
  ASSERT_EQ(live.size(), 1u);
  EXPECT_EQ(live[0].padId, "n");
}

TEST(PadOverridesJson, WriterSkipsEmptyIdsAndMasks) {
  SamplerPadOverrides pads(3);
  pads[0].padId = "";
  pads[0].mask = kPadGain;
  pads[1].padId = "quiet";
  pads[1].mask = 0;
  pads[2].padId = "q\"x";
  pads[2].mask = kPadGain;
  pads[2].gain = 0.5;
  EXPECT_EQ(written(pads), R"({"q\"x":{"gain":0.5}})");
  EXPECT_EQ(written({}), "{}");
}

}  // namespace
}  // namespace norvo
