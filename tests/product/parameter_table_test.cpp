// The parameter table and its conversions: table invariants, normalized ↔ plain, display
// text and parsing, for the product's four parameters and for list and toggle descriptors.
#include "product/parameter_table.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <clocale>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <set>
#include <string>
#include <vector>

namespace norvo {
namespace {

const norvo_param_desc& param(const char* path) {
  const norvo_param_desc* desc = findParamByPath(path);
  EXPECT_NE(desc, nullptr) << path;
  return desc != nullptr ? *desc : NORVO_PARAMS[0];
}

TEST(ParameterTableTest, IdsMatchIndexesAndDefaultsAgreeInBothForms) {
  std::set<std::string> paths;
  for (std::size_t i = 0; i < kParamCount; ++i) {
    const norvo_param_desc& desc = NORVO_PARAMS[i];
    SCOPED_TRACE(desc.path);
    EXPECT_EQ(desc.id, i);
    EXPECT_EQ(findParamById(desc.id), &desc);
    EXPECT_EQ(findParamByPath(desc.path), &desc);
    EXPECT_TRUE(paths.insert(desc.path).second);
    EXPECT_STREQ(desc.group, "Chord");
    EXPECT_EQ(desc.kind, kParamKindContinuous);
    EXPECT_EQ(norvo_param_normalize(desc, desc.defaultPlain), desc.defaultNormalized);
    EXPECT_EQ(paramToPlain(desc, desc.defaultNormalized), desc.defaultPlain);
  }
  EXPECT_EQ(findParamById(4), nullptr);
  EXPECT_EQ(findParamByPath("chord"), nullptr);
  EXPECT_EQ(findParamByPath("chord.mode "), nullptr);
  EXPECT_EQ(findParamByPath(nullptr), nullptr);
}

struct PlainCase {
  const char* path;
  double normalized;
  double plain;
  const char* text;
};

TEST(ParameterConversionTest, NormalizedToPlainAndDisplayText) {
  const std::vector<PlainCase> cases = {
      {"chord.on", 0.5, 1.0, "1"},
      {"chord.on", 0.49, 0.0, "0"},
      {"chord.on", 1.0, 1.0, "1"},
      {"chord.mode", 0.0, 0.0, "0"},
      {"chord.mode", 0.48, 2.0, "2"},
      {"chord.mode", 0.5, 3.0, "3"},  // 2.5 rounds half up
      {"chord.mode", 1.0, 5.0, "5"},
      {"chord.spread", 0.375, 0.0, "0"},  // -0.5 rounds up to 0
      {"chord.spread", 0.125, -1.0, "-1"},
      {"chord.spread", 0.0, -2.0, "-2"},
      {"chord.spread", 0.5, 0.0, "0"},
      {"chord.velocity", 0.8, 0.8, "0.8"},
      {"chord.velocity", 1.0 / 3.0, 1.0 / 3.0, "0.3333333333333333"},
      {"chord.velocity", 0.0002, 0.0002, "0.0002"},
      {"chord.velocity", 1.5, 1.0, "1"},
      {"chord.velocity", -0.5, 0.0, "0"},
      {"chord.velocity", std::nan(""), 0.0, "0"},
      {"chord.mode", INFINITY, 5.0, "5"},
  };
  for (const PlainCase& c : cases) {
    SCOPED_TRACE(testing::Message() << c.path << " at " << c.normalized);
    const norvo_param_desc& desc = param(c.path);
    EXPECT_EQ(paramToPlain(desc, c.normalized), c.plain);
    EXPECT_EQ(paramDisplayText(desc, c.normalized), c.text);
  }
}

struct NormalizeCase {
  const char* path;
  double plain;
  double normalized;
};

TEST(ParameterConversionTest, PlainToNormalizedClampsWithoutQuantizing) {
  const std::vector<NormalizeCase> cases = {
      {"chord.on", 1.0, 1.0},
      {"chord.mode", 2.4, 0.48},
      {"chord.mode", 7.0, 1.0},
      {"chord.mode", -1.0, 0.0},
      {"chord.spread", 1.0, 0.75},
      {"chord.spread", -2.0, 0.0},
      {"chord.velocity", 0.4, 0.4},
      {"chord.velocity", std::nan(""), 0.0},
      {"chord.velocity", -INFINITY, 0.0},
  };
  for (const NormalizeCase& c : cases) {
    SCOPED_TRACE(testing::Message() << c.path << " = " << c.plain);
    EXPECT_DOUBLE_EQ(norvo_param_normalize(param(c.path), c.plain), c.normalized);
  }
  const norvo_param_desc flat{9, "x", "X", "", kParamKindContinuous, 3, 3, 0, 3, 0, "", 0, nullptr};
  EXPECT_EQ(norvo_param_normalize(flat, 3.0), 0.0);
}

struct ParseCase {
  const char* path;
  const char* text;
  bool parsed;
  double normalized;  // expected value; 0.25 (the untouched marker) when not parsed
};

TEST(ParameterParsingTest, TextIsReadWithStrtodRulesAndNormalized) {
  const std::vector<ParseCase> cases = {
      {"chord.mode", "7", true, 1.0},     {"chord.mode", " 3", true, 0.6},
      {"chord.mode", "3abc", true, 0.6},  {"chord.mode", "2.4", true, 0.48},
      {"chord.mode", "abc", false, 0.25}, {"chord.mode", "", false, 0.25},
      {"chord.mode", "nan", false, 0.25}, {"chord.mode", "-5", true, 0.0},
      {"chord.mode", "1e9", true, 1.0},   {"chord.velocity", "0.4", true, 0.4},
      {"chord.on", "on", false, 0.25},  // continuous: the toggle words mean nothing
      {"chord.spread", "+1", true, 0.75},
  };
  for (const ParseCase& c : cases) {
    SCOPED_TRACE(testing::Message() << c.path << " from \"" << c.text << "\"");
    double normalized = 0.25;
    EXPECT_EQ(paramFromText(param(c.path), c.text, &normalized), c.parsed);
    EXPECT_DOUBLE_EQ(normalized, c.normalized);
  }
}

TEST(ParameterParsingTest, ParsedValuesKeepFullPrecisionAndRoundTripThroughText) {
  const norvo_param_desc& velocity = param("chord.velocity");
  double normalized = 0.0;
  ASSERT_TRUE(paramFromText(velocity, "0.4", &normalized));
  EXPECT_EQ(normalized, 0.4);
  EXPECT_EQ(paramDisplayText(velocity, normalized), "0.4");
  EXPECT_EQ(paramDisplayText(velocity, velocity.defaultNormalized), "0.8");

  const norvo_param_desc& mode = param("chord.mode");
  ASSERT_TRUE(paramFromText(mode, "2.4", &normalized));
  EXPECT_EQ(paramToPlain(mode, normalized), 2.0);
}

// Switches LC_NUMERIC to a decimal-comma locale for the scope, as a host may. When the system
// has none installed, a minimal one is compiled with localedef into the test's temp folder.
class DecimalCommaLocale {
 public:
  DecimalCommaLocale() {
    const char* locpath = std::getenv("LOCPATH");
    if (locpath != nullptr) savedLocpath_ = locpath;
    hadLocpath_ = locpath != nullptr;
    for (const char* name : {"de_DE.UTF-8", "de_DE.utf8", "fr_FR.UTF-8"}) {
      if (use(name)) return;
    }
    const std::string dir = testing::TempDir() + "norvo-comma-locale-" + std::to_string(::getpid());
    std::error_code error;
    std::filesystem::create_directories(dir, error);
    const std::string source = dir + "/comma.src";
    if (FILE* f = std::fopen(source.c_str(), "w")) {
      std::fputs(
          "LC_NUMERIC\ndecimal_point \",\"\nthousands_sep \".\"\ngrouping 3;3\n"
          "END LC_NUMERIC\n",
          f);
      std::fclose(f);
    }
    // localedef warns about the categories left out and exits non-zero; the result is usable.
    const std::string command =
        "localedef -c -i '" + source + "' -f ANSI_X3.4-1968 '" + dir + "/comma' >/dev/null 2>&1";
    (void)std::system(command.c_str());
    dir_ = dir;
    setenv("LOCPATH", dir.c_str(), 1);
    use("comma");
  }
  ~DecimalCommaLocale() {
    std::setlocale(LC_NUMERIC, "C");
    if (!dir_.empty()) {
      std::error_code error;
      std::filesystem::remove_all(dir_, error);
    }
    if (hadLocpath_) {
      setenv("LOCPATH", savedLocpath_.c_str(), 1);
    } else {
      unsetenv("LOCPATH");
    }
  }
  bool active() const { return active_; }

 private:
  bool use(const char* name) {
    if (std::setlocale(LC_NUMERIC, name) == nullptr) return false;
    active_ = std::localeconv()->decimal_point[0] == ',';
    return active_;
  }

  bool active_ = false;
  bool hadLocpath_ = false;
  std::string savedLocpath_;
  std::string dir_;
};

TEST(ParameterParsingTest, NumbersReadTheSameUnderADecimalCommaLocale) {
  DecimalCommaLocale comma;
  if (!comma.active()) GTEST_SKIP() << "no decimal-comma locale could be set up";
  ASSERT_EQ(std::strtod("0,5", nullptr), 0.5);  // the process locale really reads commas

  double normalized = 0.25;
  ASSERT_TRUE(paramFromText(param("chord.velocity"), "0.4", &normalized));
  EXPECT_EQ(normalized, 0.4);
  ASSERT_TRUE(paramFromText(param("chord.mode"), "2.4", &normalized));
  EXPECT_DOUBLE_EQ(normalized, 0.48);
  // A comma is trailing text like any other: only the 0 before it is read.
  ASSERT_TRUE(paramFromText(param("chord.velocity"), "0,4", &normalized));
  EXPECT_EQ(normalized, 0.0);
  EXPECT_EQ(paramDisplayText(param("chord.velocity"), 0.4), "0.4");
}

const char* const kLevels[] = {"Low", "Mid", "High"};
const norvo_param_desc kList{10, "t.list", "List", "", kParamKindList, 0, 0, 0,
                             0,  0,        "",     3,  kLevels};
const norvo_param_desc kUnnamedList{11, "t.count", "Count", "", kParamKindList, 0, 0, 0,
                                    0,  0,         "",      5,  nullptr};
const norvo_param_desc kToggle{12, "t.toggle", "Toggle", "", kParamKindToggle, 0, 1, 0,
                               0,  0,          "",       0,  nullptr};

TEST(ParameterKindsTest, ListParametersStepThroughTheirEntries) {
  EXPECT_EQ(paramToPlain(kList, 0.0), 0.0);
  EXPECT_EQ(paramToPlain(kList, 0.74), 1.0);
  EXPECT_EQ(paramToPlain(kList, 0.75), 2.0);
  EXPECT_EQ(paramToPlain(kList, 7.0), 2.0);
  EXPECT_EQ(paramToPlain(kList, -1.0), 0.0);
  EXPECT_EQ(norvo_param_normalize(kList, 1.0), 0.5);
  EXPECT_EQ(norvo_param_normalize(kList, 9.0), 1.0);
  EXPECT_EQ(paramDisplayText(kList, 0.5), "Mid");
  EXPECT_EQ(paramDisplayText(kList, 1.0), "High");
  EXPECT_EQ(paramDisplayText(kUnnamedList, 0.5), "2");

  double normalized = -1.0;
  EXPECT_TRUE(paramFromText(kList, "High", &normalized));
  EXPECT_EQ(normalized, 1.0);
  EXPECT_TRUE(paramFromText(kList, "1", &normalized));  // not a name: a number
  EXPECT_EQ(normalized, 0.5);
  EXPECT_FALSE(paramFromText(kList, "mid", &normalized));
  EXPECT_EQ(normalized, 0.5);

  const char* const single[] = {"Only"};
  const norvo_param_desc one{13, "t.one", "One", "", kParamKindList, 0, 0, 0, 0, 0, "", 1, single};
  EXPECT_TRUE(paramFromText(one, "Only", &normalized));
  EXPECT_EQ(normalized, 0.0);
  EXPECT_EQ(norvo_param_normalize(one, 5.0), 0.0);
  EXPECT_EQ(paramDisplayText(one, 1.0), "Only");
}

TEST(ParameterKindsTest, ToggleParametersUseOnOffWords) {
  EXPECT_EQ(paramToPlain(kToggle, 0.5), 1.0);
  EXPECT_EQ(paramToPlain(kToggle, 0.49), 0.0);
  EXPECT_EQ(norvo_param_normalize(kToggle, 0.0), 0.0);
  EXPECT_EQ(norvo_param_normalize(kToggle, 0.2), 1.0);
  EXPECT_EQ(paramDisplayText(kToggle, 0.5), "on");
  EXPECT_EQ(paramDisplayText(kToggle, 0.2), "off");

  const std::vector<std::pair<const char*, double>> words = {
      {"on", 1.0}, {"true", 1.0}, {"off", 0.0}, {"false", 0.0}, {"0", 0.0}, {"3", 1.0}};
  for (const auto& [text, expected] : words) {
    double normalized = 0.5;
    EXPECT_TRUE(paramFromText(kToggle, text, &normalized)) << text;
    EXPECT_EQ(normalized, expected) << text;
  }
  double normalized = 0.5;
  EXPECT_FALSE(paramFromText(kToggle, "On", &normalized));  // case-sensitive
  EXPECT_EQ(normalized, 0.5);
}

TEST(ParameterTextTest, ShortestNumbersAreCutToTheBuffer) {
  char out[kParamTextCapacity];
  EXPECT_EQ(formatShortestNumber(-2.0, out, sizeof out), 2u);
  EXPECT_STREQ(out, "-2");
  EXPECT_EQ(formatShortestNumber(1e6, out, sizeof out), 5u);
  EXPECT_STREQ(out, "1e+06");
  // General notation: plain from 1e-4 up to six digits, whichever form is shorter.
  EXPECT_EQ(formatShortestNumber(0.0001, out, sizeof out), 6u);
  EXPECT_STREQ(out, "0.0001");
  EXPECT_EQ(formatShortestNumber(100000.0, out, sizeof out), 6u);
  EXPECT_STREQ(out, "100000");
  EXPECT_EQ(formatShortestNumber(0.00002, out, sizeof out), 5u);
  EXPECT_STREQ(out, "2e-05");
  char small[4];
  EXPECT_EQ(formatShortestNumber(1.0 / 3.0, small, sizeof small), 3u);
  EXPECT_STREQ(small, "0.3");
  EXPECT_EQ(paramToText(kList, 0.5, small, 2), 1u);
  EXPECT_STREQ(small, "M");
}

}  // namespace
}  // namespace norvo
