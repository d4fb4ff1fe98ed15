#include "ccmap/cc_map_json.h"

#include <gtest/gtest.h>

#include <cstring>
#include <random>

namespace norvo {
namespace {

CcMap parseOrDie(const std::string& text) {
  std::optional<CcMap> map = parseCcMapJson(text);
  EXPECT_TRUE(map.has_value()) << text;
  return map.value_or(CcMap{});
}

std::string written(const CcMap& map) {
  std::string out;
  writeCcMapJson(out, map);
  return out;
}

CcBinding single(const std::string& bindingBody) {
  const CcMap map = parseOrDie("[{" + bindingBody + "}]");
  EXPECT_EQ(map.count, 1u) << bindingBody;
  return map.bindings[0];
}

bool sameBinding(const CcBinding& a, const CcBinding& b) {
  return a.param == b.param && a.cc == b.cc && a.channel == b.channel && a.curve == b.curve &&
         a.valueMode == b.valueMode && a.takeover == b.takeover && a.enabled == b.enabled &&
         a.hasMin == b.hasMin && a.hasMax == b.hasMax &&
         (!a.hasMin || std::memcmp(&a.min, &b.min, 8) == 0) &&
         (!a.hasMax || std::memcmp(&a.max, &b.max, 8) == 0);
}

TEST(CcMapJson, WritesEveryFieldInOrder) {
  CcMap map;
  map.count = 3;
  map.bindings[0].cc = 74;
  map.bindings[0].param = 1;
  map.bindings[1] = {3,    1,   16, kCcCurveSCurve, kCcValueToggle, kCcTakeoverScaled, false, true,
                     true, 0.9, 0.1};
  map.bindings[2] = {
      0,     127,  2, kCcCurveExp, kCcValueRelativeTwosComplement, kCcTakeoverPickup, true,
      false, true, 0, 1e6};
  EXPECT_EQ(written(map),
            R"({"version":1,"bindings":[{"cc":74,"path":"chord.mode"},)"
            R"({"cc":1,"path":"chord.velocity","channel":16,"min":0.9,"max":0.1,"curve":"s-curve",)"
            R"("valueMode":"toggle","takeover":"scaled","enabled":false},)"
            R"({"cc":127,"path":"chord.on","channel":2,"max":1e+06,"curve":"exp",)"
            R"("valueMode":"relative-twos-complement","takeover":"pickup"}]})");

  std::string changed;
  CcMap empty;
  writeCcMapChangedJson(changed, empty);
  EXPECT_EQ(changed, R"({"type":"norvo.ccMapChanged","map":{"version":1,"bindings":[]}})");

  std::string activity;
  writeMidiCcJson(activity, CcActivityRecord{74, 1, 127});
  EXPECT_EQ(activity, R"({"type":"norvo.midiCc","cc":74,"channel":1,"value":127})");
}

TEST(CcMapJson, WriterLeavesOutUnknownParametersWithoutStrayCommas) {
  CcMap map;
  map.count = 4;
  map.bindings[0].param = 7;
  map.bindings[1].param = 2;
  map.bindings[1].cc = 5;
  map.bindings[2].param = -1;
  map.bindings[3].param = 4;
  EXPECT_EQ(written(map), R"({"version":1,"bindings":[{"cc":5,"path":"chord.spread"}]})");
}

TEST(CcMapJson, RoundsAndClampsNumbers) {
  const struct {
    const char* body;
    int cc;
    int channel;
  } cases[] = {
      {R"("cc":74.5,"path":"chord.mode")", 75, 0},
      {R"("cc":-3,"path":"chord.mode")", 0, 0},
      {R"("cc":300,"path":"chord.mode")", 127, 0},
      {R"("cc":1e999,"path":"chord.mode")", 127, 0},
      {R"("cc":7,"path":"chord.mode","channel":0)", 7, 1},
      {R"("cc":7,"path":"chord.mode","channel":16.4)", 7, 16},
      {R"("cc":7,"path":"chord.mode","channel":-5)", 7, 1},
      {R"("cc":7,"path":"chord.mode","channel":99)", 7, 16},
      {R"("cc":7,"path":"chord.mode","channel":"2")", 7, 0},
  };
  for (const auto& c : cases) {
    const CcBinding b = single(c.body);
    EXPECT_EQ(b.cc, c.cc) << c.body;
    EXPECT_EQ(b.channel, c.channel) << c.body;
    EXPECT_EQ(b.param, 1) << c.body;
  }
}

TEST(CcMapJson, ReadsNamesAndFlags) {
  const CcBinding b =
      single(R"("path":"chord.spread","cc":1,"curve":"log","valueMode":"relative-signed-bit",)"
             R"("takeover":"pickup","enabled":false,"min":2,"max":-2,"extra":{"x":[1]})");
  EXPECT_EQ(b.param, 2);
  EXPECT_EQ(b.curve, kCcCurveLog);
  EXPECT_EQ(b.valueMode, kCcValueRelativeSignedBit);
  EXPECT_EQ(b.takeover, kCcTakeoverPickup);
  EXPECT_FALSE(b.enabled);
  EXPECT_TRUE(b.hasMin && b.hasMax);
  EXPECT_EQ(b.min, 2);  // inverted ranges are kept
  EXPECT_EQ(b.max, -2);

  const CcBinding unknown =
      single(R"("path":"chord.on","cc":1,"curve":"linear","valueMode":"Toggle","enabled":"no")");
  EXPECT_EQ(unknown.curve, kCcCurveLinear);
  EXPECT_EQ(unknown.valueMode, kCcValueAbsolute);
  EXPECT_TRUE(unknown.enabled);
  EXPECT_EQ(written(parseOrDie(R"([{"path":"chord.on","cc":1,"curve":"linear"}])")),
            R"({"version":1,"bindings":[{"cc":1,"path":"chord.on"}]})");

  const CcBinding nonFinite = single(R"("path":"chord.on","cc":1,"min":nan,"max":"1")");
  EXPECT_FALSE(nonFinite.hasMin);
  EXPECT_FALSE(nonFinite.hasMax);
}

TEST(CcMapJson, DropsIncompleteBindingsAndKeepsTheRest) {
  const CcMap map = parseOrDie(
      R"({"version":1,"bindings":[{"cc":1,"path":"chord.nope"},{"path":"chord.on"},{"cc":2},)"
      R"({"cc":nan,"path":"chord.on"},7,"text",null,[],{},{"cc":3,"path":"chord.velocity"}]})");
  ASSERT_EQ(map.count, 1u);
  EXPECT_EQ(map.bindings[0].cc, 3);
  EXPECT_EQ(map.bindings[0].param, 3);
}

TEST(CcMapJson, KeepsAtMostSixtyFourBindings) {
  std::string text = "[";
  for (int i = 0; i < 65; ++i)
    text +=
        (i ? "," : "") + std::string(R"({"cc":)") + std::to_string(i) + R"(,"path":"chord.on"})";
  const CcMap map = parseOrDie(text + "]");
  ASSERT_EQ(map.count, 64u);
  EXPECT_EQ(map.bindings[63].cc, 63);
}

TEST(CcMapJson, EmptyFormsAndTheSawBindingsFlag) {
  const struct {
    const char* value;
    bool saw;
  } cases[] = {{R"({"bindings":[]})", true},
               {"{}", false},
               {"[]", true},
               {"null", false},
               {R"({"bindings":7,"version":2})", false},
               {"3", false},
               {R"("x")", false}};
  for (const auto& c : cases) {
    const std::string text = c.value;
    Reader r(text);
    CcMap map = parseOrDie(R"([{"cc":1,"path":"chord.on"}])");
    bool saw = !c.saw;
    ASSERT_TRUE(parseCcMapValue(r, map, saw)) << c.value;
    EXPECT_EQ(map.count, 0u) << c.value;
    EXPECT_EQ(saw, c.saw) << c.value;
  }
}

TEST(CcMapJson, FailuresLeaveTheLiveMapAlone) {
  CcMap live = parseOrDie(R"([{"cc":9,"path":"chord.mode","channel":3}])");
  const std::string before = written(live);
  for (const std::string text :
       {"", "null", "7", R"([{"cc":1,"path":2}])", R"([{"cc":1,"path":"chord.on","curve":1}])",
        R"([{"cc":1,"path":"chord.on","takeover":null}])",
        R"([{"cc":1,"path":"chord.on","valueMode":true}])", R"([{"cc":1,"path":"chord.on"}] x)",
        R"([{"cc":1,"path":"chord.on"},])", R"({"bindings":[})", "\xEF\xBB\xBF[]",
        R"([{"enabled":tru}])", R"([{"cc":1 "path":"chord.on"}])"}) {
    EXPECT_FALSE(parseCcMapJson(text.data(), text.size(), live)) << text;
    EXPECT_EQ(written(live), before) << text;
  }
  const std::string deep = "[" + std::string(40, '[') + std::string(40, ']') + "]";
  EXPECT_FALSE(parseCcMapJson(deep.data(), deep.size(), live));
  EXPECT_EQ(written(live), before);

  const std::string good = " [ ] \r\n";
  ASSERT_TRUE(parseCcMapJson(good.data(), good.size(), live));
  EXPECT_EQ(live.count, 0u);
}

TEST(CcMapJson, ParsedBindingsStartFromTheDefaultSlot) {
  // A later bindings array must not inherit fields from the slots an earlier one filled.
  const CcMap map = parseOrDie(
      R"({"bindings":[{"cc":1,"path":"chord.on","channel":5,"curve":"exp","enabled":false,"min":0.5}],)"
      R"("bindings":[{"cc":2,"path":"chord.mode"}]})");
  ASSERT_EQ(map.count, 1u);
  EXPECT_TRUE(sameBinding(map.bindings[0], CcBinding{1, 2, 0, 0, 0, 0, true, false, false, 0, 0}));
}

TEST(CcMapJson, WriteThenParseReproducesRandomMaps) {
  std::mt19937_64 random(3);
  std::uniform_real_distribution<double> range(-1e9, 1e9);
  for (int round = 0; round < 200; ++round) {
    CcMap map;
    map.count = static_cast<std::uint32_t>(random() % 65);
    for (std::uint32_t i = 0; i < map.count; ++i) {
      CcBinding& b = map.bindings[i];
      b.param = static_cast<std::int32_t>(random() % 4);
      b.cc = static_cast<std::uint8_t>(random() % 128);
      b.channel = static_cast<std::uint8_t>(random() % 17);
      b.curve = static_cast<std::uint8_t>(random() % 4);
      b.valueMode = static_cast<std::uint8_t>(random() % 5);
      b.takeover = static_cast<std::uint8_t>(random() % 3);
      b.enabled = random() % 2;
      b.hasMin = random() % 2;
      b.hasMax = random() % 2;
      b.min = b.hasMin ? range(random) / static_cast<double>(random() % 1000 + 1) : 0;
      b.max = b.hasMax ? range(random) : 0;
    }
    const CcMap back = parseOrDie(written(map));
    ASSERT_EQ(back.count, map.count);
    for (std::uint32_t i = 0; i < map.count; ++i)
      ASSERT_TRUE(sameBinding(back.bindings[i], map.bindings[i])) << i;
  }
}

}  // namespace
}  // namespace norvo
