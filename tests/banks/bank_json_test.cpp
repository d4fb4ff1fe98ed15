#include "banks/bank_json.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>

namespace norvo {
namespace {

bool parse(const std::string& text, JsonValue& out) {
  return parseJsonDocument(reinterpret_cast<const std::uint8_t*>(text.data()), text.size(), out);
}

bool parses(const std::string& text) {
  JsonValue value;
  return parse(text, value);
}

std::string nested(int levels, const std::string& inner) {
  return std::string(static_cast<std::size_t>(levels), '[') + inner +
         std::string(static_cast<std::size_t>(levels), ']');
}

TEST(BankJson, ValuesSitAtMostThirtyTwoLevelsDeep) {
  JsonValue value;
  ASSERT_TRUE(parse(nested(32, "7"), value));
  const JsonValue* cursor = &value;
  for (int i = 0; i < 32; ++i) {
    ASSERT_TRUE(cursor->isArray());
    ASSERT_EQ(cursor->items.size(), 1u);
    cursor = &cursor->items[0];
  }
  EXPECT_EQ(cursor->number, 7.0);
  EXPECT_FALSE(parses(nested(33, "7")));
  EXPECT_TRUE(parses(nested(33, "")));  // the innermost empty array itself is at depth 32
  EXPECT_FALSE(parses(nested(34, "")));
  EXPECT_FALSE(parses(nested(32, "{\"a\":1}")));
}

TEST(BankJson, WholeBufferMustBeOneValue) {
  EXPECT_TRUE(parses(" \t\r\n{ \"a\" : [ 1 , 2 ] } \n"));
  EXPECT_FALSE(parses("{} x"));
  EXPECT_FALSE(parses("{}{}"));
  EXPECT_FALSE(parses(""));
  EXPECT_FALSE(parses("   "));
  EXPECT_FALSE(parses("[1,]"));
  EXPECT_FALSE(parses("{\"a\":1,}"));
  EXPECT_FALSE(parses("[1 2]"));
  EXPECT_FALSE(parses("{\"a\" 1}"));
  EXPECT_FALSE(parses("{a:1}"));
  EXPECT_FALSE(parses("[1"));
  EXPECT_FALSE(parses("trueish"));
  EXPECT_TRUE(parses("[]"));
  EXPECT_TRUE(parses("{}"));
  EXPECT_TRUE(parses("\"text\""));
}

TEST(BankJson, LiteralsAndEverythingStrtodReads) {
  JsonValue value;
  ASSERT_TRUE(parse("[true,false,null,+1.5,0x10,-1e3,inf,nan,.5]", value));
  ASSERT_EQ(value.items.size(), 9u);
  EXPECT_TRUE(value.items[0].isBool() && value.items[0].boolean);
  EXPECT_TRUE(value.items[1].isBool() && !value.items[1].boolean);
  EXPECT_TRUE(value.items[2].isNull());
  EXPECT_EQ(value.items[3].number, 1.5);
  EXPECT_EQ(value.items[4].number, 16.0);
  EXPECT_EQ(value.items[5].number, -1000.0);
  EXPECT_TRUE(std::isinf(value.items[6].number));
  EXPECT_TRUE(std::isnan(value.items[7].number));
  EXPECT_EQ(value.items[8].number, 0.5);
  EXPECT_FALSE(parses("[-]"));
  EXPECT_FALSE(parses("[x]"));
}

TEST(BankJson, StringEscapesBecomeUtf8) {
  JsonValue value;
  ASSERT_TRUE(parse(R"(["\"\\\/\b\f\n\r\t", "\u00e9\u00C9", "\uD83D\uDE00", "\uD83Dx", "\uDE00",
                       "\uD83D\u0041", "a\u0000b"])",
                    value));
  ASSERT_EQ(value.items.size(), 7u);
  EXPECT_EQ(value.items[0].text, "\"\\/\b\f\n\r\t");
  EXPECT_EQ(value.items[1].text, "\xC3\xA9\xC3\x89");
  EXPECT_EQ(value.items[2].text, "\xF0\x9F\x98\x80");
  EXPECT_EQ(value.items[3].text, "\xED\xA0\xBDx");
  EXPECT_EQ(value.items[4].text, "\xED\xB8\x80");
  EXPECT_EQ(value.items[5].text,
            "\xED\xA0\xBD"
            "A");
  EXPECT_EQ(value.items[6].text, std::string("a\0b", 3));
  EXPECT_FALSE(parses(R"(["\x"])"));
  EXPECT_FALSE(parses(R"(["\u12G4"])"));
  EXPECT_FALSE(parses(R"(["\u12"])"));
  EXPECT_FALSE(parses("[\"open]"));
}

TEST(BankJson, RawControlBytesAreKept) {
  JsonValue value;
  ASSERT_TRUE(parse(std::string("\"a\tb\x01\nc\"", 8), value));
  EXPECT_EQ(value.text, "a\tb\x01\nc");
}

TEST(BankJson, ObjectsKeepTheLastRepeatedKeyInByteOrder) {
  JsonValue value;
  ASSERT_TRUE(parse(R"({"b":1,"a":2,"\u00e9":3,"B":4,"a":5})", value));
  ASSERT_TRUE(value.isObject());
  std::string order;
  for (const auto& [key, member] : value.members)
    order += key + "=" + std::to_string(static_cast<int>(member.number)) + ";";
  EXPECT_EQ(order, "B=4;a=5;b=1;\xC3\xA9=3;");
}

TEST(BankJson, TypedLookupsFallBackOnWrongTypes) {
  JsonValue value;
  ASSERT_TRUE(parse(R"({"s":"text","n":2.5,"b":true,"z":null})", value));
  EXPECT_EQ(value.stringOr("s", "d"), "text");
  EXPECT_EQ(value.stringOr("n", "d"), "d");
  EXPECT_EQ(value.stringOr("missing", "d"), "d");
  EXPECT_EQ(value.numberOr("n", 1.0), 2.5);
  EXPECT_EQ(value.numberOr("s", 1.0), 1.0);
  EXPECT_EQ(value.boolOr("b", false), true);
  EXPECT_EQ(value.boolOr("n", false), false);
  EXPECT_NE(value.member("z"), nullptr);
  ASSERT_TRUE(parse("[1]", value));
  EXPECT_EQ(value.member("0"), nullptr);
  EXPECT_EQ(value.numberOr("0", 9.0), 9.0);
}

}  // namespace
}  // namespace norvo
