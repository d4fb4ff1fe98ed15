#include "common/json_reader.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

namespace norvo {
namespace {

// Parses one string from `text`; answers the decoded string or "<fail>".
std::string readString(const std::string& text) {
  Reader r(text);
  std::string out;
  return parseString(r, &out) ? out : "<fail>";
}

TEST(ReaderParseString, DecodesEscapesAndKeepsRawBytes) {
  const struct {
    std::string json;
    std::string value;
  } cases[] = {
      {R"("plain")", "plain"},
      {"  \"lead\"", "lead"},
      {R"("a\"b\\c\/d")", "a\"b\\c/d"},
      {R"("\b\f\n\r\t")", "\b\f\n\r\t"},
      {R"("caf\u00e9!")", "caf?!"},
      {R"("\q")", "q"},
      {"\"raw\ttab\nline\"", "raw\ttab\nline"},
      {std::string("\"nul\0inside\"", 12), std::string("nul\0inside", 10)},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(readString(c.json), c.value) << c.json;
  }
  // A \u escape eats the next four characters whatever they are, quotes included.
  EXPECT_EQ(readString(R"("\u12")"), "<fail>");
  EXPECT_EQ(readString(R"("\u12"xtail")"), "?tail");
}

TEST(ReaderParseString, FailsWhenNotAString) {
  for (const std::string text : {"", "\"open", "\"ends in backslash\\", "x\"a\"", "'a'"}) {
    EXPECT_EQ(readString(text), "<fail>") << text;
  }
}

TEST(ReaderParseNumber, AcceptsWhatStrtodAccepts) {
  const struct {
    const char* text;
    double value;
  } cases[] = {
      {"0", 0},       {"-2.5", -2.5}, {"+3", 3},       {"1e+06", 1e6},
      {"1E-4", 1e-4}, {"0x1p4", 16},  {" \t\r\n7", 7},
  };
  for (const auto& c : cases) {
    const std::string text = c.text;
    Reader r(text);
    double value = -99;
    ASSERT_TRUE(parseNumber(r, &value)) << c.text;
    EXPECT_EQ(value, c.value) << c.text;
    EXPECT_TRUE(atEndAfterWhitespace(r));
  }
  const std::string inf = "inf";
  Reader r(inf);
  double value = 0;
  ASSERT_TRUE(parseNumber(r, &value));
  EXPECT_TRUE(std::isinf(value));
}

TEST(ReaderParseNumber, FailsWithoutDigitsOrPastTheEnd) {
  for (const std::string text : {"", "-", "x1", "\"1\"", "\v1", "  "}) {
    Reader r(text);
    double value = 42;
    EXPECT_FALSE(parseNumber(r, &value)) << text;
    EXPECT_EQ(value, 42);
  }
  // The reader's end sits inside the digits: strtod would read past it.
  const std::string text = "12345";
  Reader r(text.data(), 3);
  EXPECT_FALSE(parseNumber(r, nullptr));
}

std::string nestedArrays(int levels) { return std::string(levels, '[') + std::string(levels, ']'); }

TEST(ReaderSkipValue, SkipsEveryKindOfValue) {
  for (const std::string text :
       {"\"s\"", "12", "-1e5", "true", "false", "null", "nan", "[]", "[1, \"a\", [true], {}]",
        R"({"a": {"b": [null]}, "c": 1})", " { } "}) {
    Reader r(text);
    EXPECT_TRUE(skipValue(r, 1)) << text;
    EXPECT_TRUE(atEndAfterWhitespace(r)) << text;
  }
}

TEST(ReaderSkipValue, RejectsMalformedValues) {
  for (const std::string text : {"", "tru", "nul", "[1,]", "[1 2]", "{\"a\" 1}", "{\"a\":1,}",
                                 "{1:2}", "[", "{\"a\":", "]", ","}) {
    Reader r(text);
    EXPECT_FALSE(skipValue(r, 1)) << text;
  }
}

TEST(ReaderSkipValue, LimitsNestingDepth) {
  // Beyond the limit every kind of value fails, a scalar as much as a container.
  for (const std::string value : {"1", "\"s\"", "null", "[]", "{}"}) {
    Reader atLimit(value);
    EXPECT_TRUE(skipValue(atLimit, 32)) << value;
    Reader beyond(value);
    EXPECT_FALSE(skipValue(beyond, 33)) << value;
  }

  // As the value of a root member (depth 1), 32 nested arrays fit and 33 do not.
  for (int levels : {32, 33}) {
    const std::string text = "{\"deep\":" + nestedArrays(levels) + "}";
    Reader r(text);
    const bool ok =
        readObjectMembers(r, [](const std::string&, Reader& inner) { return skipValue(inner, 1); });
    EXPECT_EQ(ok, levels == 32) << levels;
  }
  const std::string hostile = nestedArrays(100000);
  Reader r(hostile);
  EXPECT_FALSE(skipValue(r, 1));
}

TEST(ReaderWalkers, VisitMembersAndElementsInOrder) {
  const std::string text = R"( { "a" : [ 1 , 2 ] , "b" : "x" } )";
  Reader r(text);
  std::vector<std::string> keys;
  std::vector<double> numbers;
  const bool ok = readObjectMembers(r, [&](const std::string& key, Reader& inner) {
    keys.push_back(key);
    if (key != "a") return skipValue(inner, 1);
    return readArrayElements(inner, [&](std::size_t, Reader& element) {
      double v = 0;
      if (!parseNumber(element, &v)) return false;
      numbers.push_back(v);
      return true;
    });
  });
  ASSERT_TRUE(ok);
  EXPECT_TRUE(atEndAfterWhitespace(r));
  EXPECT_EQ(keys, (std::vector<std::string>{"a", "b"}));
  EXPECT_EQ(numbers, (std::vector<double>{1, 2}));
}

}  // namespace
}  // namespace norvo
