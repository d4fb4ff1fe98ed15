// Resolving --set NAME=VALUE against a controller's parameter list.
#include "tools/parameter_lookup.h"
#include "tools/probe_error.h"

#include <gtest/gtest.h>

namespace norvo::probe {
namespace {

ParameterFacts parameter(unsigned id, const char* title, const char* shortTitle) {
  ParameterFacts p;
  p.id = id;
  p.title = title;
  p.shortTitle = shortTitle;
  return p;
}

std::vector<ParameterFacts> chordParameters() {
  return {parameter(0, "On", "On"), parameter(1, "Mode", "Mode"), parameter(2, "Spread", "Spread"),
          parameter(3, "Velocity", "Vel")};
}

TEST(ParameterLookup, FindsByTitleShortTitleOrPluginPath) {
  const auto params = chordParameters();
  const struct {
    const char* name;
    unsigned id;
  } cases[] = {{"Mode", 1},     {"mode", 1}, {"chord.mode", 1}, {"Chord.Spread", 2},
               {"chord.on", 0}, {"Vel", 3},  {"chord.vel", 3},  {"chord.velocity", 3}};
  for (const auto& c : cases) EXPECT_EQ(findParameter(params, c.name, "Chord").id, c.id) << c.name;
}

TEST(ParameterLookup, RefusesUnknownForeignAndAmbiguousNames) {
  auto params = chordParameters();
  EXPECT_THROW(findParameter(params, "chord.colour", "Chord"), ProbeError);
  EXPECT_THROW(findParameter(params, "other.mode", "Chord"), ProbeError);
  EXPECT_THROW(findParameter(params, "", "Chord"), ProbeError);
  params.push_back(parameter(7, "Mode", "M"));
  try {
    findParameter(params, "mode", "Chord");
    FAIL() << "ambiguous name accepted";
  } catch (const ProbeError& e) {
    EXPECT_STREQ(e.what(), "parameter name \"mode\" is ambiguous");
  }
}

TEST(ParameterLookup, ParsesNameEqualsNumber) {
  const ParameterAssignment a = parseAssignment(" chord.spread = -1.5 ");
  EXPECT_EQ(a.name, "chord.spread");
  EXPECT_EQ(a.plain, -1.5);
  EXPECT_EQ(parseAssignment("Mode=2").plain, 2);
  for (const char* bad : {"chord.mode", "=2", "chord.mode=", "chord.mode=two", "chord.mode=2x",
                          "chord.mode=nan", "chord.mode=inf"})
    EXPECT_THROW(parseAssignment(bad), ProbeError) << bad;
}

}  // namespace
}  // namespace norvo::probe
