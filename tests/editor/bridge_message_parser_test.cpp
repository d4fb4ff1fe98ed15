#include "editor/bridge_message_parser.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <string>

namespace norvo {
namespace {

BridgeMessage parseOrDie(std::string_view text) {
  std::optional<BridgeMessage> message = parseBridgeMessage(text);
  EXPECT_TRUE(message.has_value()) << text;
  return message ? std::move(*message) : BridgeMessage{};
}

bool parses(std::string_view text) { return parseBridgeMessage(text).has_value(); }

std::string nested(int levels) { return std::string(levels, '[') + std::string(levels, ']'); }

TEST(BridgeMessageParse, EnvelopeAndWhitespace) {
  EXPECT_EQ(parseOrDie("{}").type, "");
  EXPECT_EQ(parseOrDie(" \t\r\n{ \n\t}\r\n ").type, "");
  EXPECT_EQ(parseOrDie(" \n{\"type\" :\t\"norvo.ready\" } \n").type, "norvo.ready");

  const char* const malformed[] = {
      "",
      "   ",
      "[]",
      "null",
      "\"norvo.ready\"",
      "\v{}",            // vertical tab is not whitespace
      "\xEF\xBB\xBF{}",  // byte-order mark
      "{",
      "{}}",
      "{} x",
      "{}{}",
      "{\"type\":\"norvo.ready\"} x",
      "{\"type\":\"norvo.ready\"}{}",
      "{\"type\":\"norvo.ready\",}",
      "{\"type\":\"norvo.ready\" \"id\":\"a\"}",
      "{type:\"norvo.ready\"}",
      "{\"type\" \"norvo.ready\"}",
      "{\"type\":}",
      "{\"type\":\"norvo.ready}",
      "{,}",
  };
  for (const char* text : malformed) EXPECT_FALSE(parses(text)) << text;
}

TEST(BridgeMessageParse, TextMembersGoToTheirFields) {
  struct Case {
    const char* key;
    std::string BridgeMessage::*field;
  };
  const Case cases[] = {
      {"type", &BridgeMessage::type},
      {"path", &BridgeMessage::path},
      {"id", &BridgeMessage::id},
      {"source", &BridgeMessage::source},
      {"bankPath", &BridgeMessage::bankPath},
      {"url", &BridgeMessage::url},
      {"sha256", &BridgeMessage::sha256},
      {"instrument", &BridgeMessage::instrument},
  };
  for (const Case& c : cases) {
    const std::string key = std::string("\"") + c.key + "\":";
    const BridgeMessage m = parseOrDie("{" + key + "\"a\\\"b\\u00e9\\n\"}");
    EXPECT_EQ(m.*c.field, "a\"b?\n") << c.key;
    for (const char* bad : {"1", "true", "null", "{}", "[\"a\"]"}) {
      EXPECT_FALSE(parses("{" + key + bad + "}")) << c.key << " " << bad;
    }
  }
}

TEST(BridgeMessageParse, NumberMembers) {
  const BridgeMessage m = parseOrDie(R"({"value":0.25,"note":60.7,"velocity":-3,"hz":1e2})");
  EXPECT_EQ(m.value, 0.25);
  EXPECT_TRUE(m.hasValue);
  EXPECT_EQ(m.note, 60.7);
  EXPECT_EQ(m.velocity, -3);
  EXPECT_EQ(m.hz, 100);

  const BridgeMessage noValue =
      parseOrDie(R"({"type":"norvo.setParam","path":"chord.on","note":1})");
  EXPECT_FALSE(noValue.hasValue);
  EXPECT_EQ(noValue.value, 0);

  // Whatever strtod reads is a number.
  EXPECT_EQ(parseOrDie(R"({"value":+2})").value, 2);
  EXPECT_EQ(parseOrDie(R"({"value":0x10})").value, 16);
  EXPECT_TRUE(std::isinf(parseOrDie(R"({"hz":inf})").hz));

  for (const char* key : {"value", "note", "velocity", "hz"}) {
    for (const char* bad : {"\"1\"", "true", "null", "[1]", "{}", "-"}) {
      EXPECT_FALSE(parses(std::string("{\"") + key + "\":" + bad + "}")) << key << " " << bad;
    }
  }
}

TEST(BridgeMessageParse, StateMember) {
  const BridgeMessage m =
      parseOrDie(R"({"type":"norvo.setState","state":{"params":{"chord.mode":3},"variation":2,)"
                 R"("ccMap":{"bindings":[{"cc":7,"path":"chord.spread"}]}}})");
  EXPECT_TRUE(m.hasState);
  EXPECT_TRUE(m.state.hasParam[1]);
  EXPECT_EQ(m.state.params[1], 3);
  EXPECT_EQ(m.state.variation, 2);
  EXPECT_TRUE(m.state.hasCcMap);
  EXPECT_EQ(m.state.ccMap.count, 1u);

  for (const char* skipped : {"\"x\"", "null", "3", "[{\"params\":{}}]"}) {
    const BridgeMessage s =
        parseOrDie(std::string(R"({"type":"norvo.setState","state":)") + skipped + "}");
    EXPECT_FALSE(s.hasState) << skipped;
    EXPECT_EQ(s.state.variation, -1);
  }
  // The state reader's own failures fail the message.
  EXPECT_FALSE(parses(R"({"state":{"params":3}})"));
  EXPECT_FALSE(parses(R"({"state":{"variation":"2"}})"));
  EXPECT_FALSE(parses(R"({"state":{"params":{"chord.on":tru}}})"));

  // A later state replaces the earlier one instead of merging into it; a later skipped value
  // keeps it.
  const BridgeMessage twice = parseOrDie(
      R"({"state":{"params":{"chord.on":1},"variation":4},"state":{"params":{"chord.mode":2}},"state":"x"})");
  EXPECT_TRUE(twice.hasState);
  EXPECT_FALSE(twice.state.hasParam[0]);
  EXPECT_TRUE(twice.state.hasParam[1]);
  EXPECT_EQ(twice.state.variation, -1);
}

TEST(BridgeMessageParse, MapMember) {
  const BridgeMessage object =
      parseOrDie(R"({"map":{"version":1,"bindings":[{"cc":7,"path":"chord.spread"}]}})");
  EXPECT_TRUE(object.hasCcMap);
  ASSERT_EQ(object.ccMap.count, 1u);
  EXPECT_EQ(object.ccMap.bindings[0].cc, 7);
  EXPECT_EQ(object.ccMap.bindings[0].param, 2);

  const BridgeMessage bare =
      parseOrDie(R"({"map":[{"cc":1,"path":"chord.on"},{"cc":2,"path":"chord.mode"}]})");
  EXPECT_TRUE(bare.hasCcMap);
  EXPECT_EQ(bare.ccMap.count, 2u);

  EXPECT_TRUE(parseOrDie(R"({"map":[]})").hasCcMap);
  EXPECT_FALSE(parseOrDie(R"({"map":{}})").hasCcMap);
  EXPECT_FALSE(parseOrDie(R"({"map":{"bindings":3}})").hasCcMap);
  EXPECT_FALSE(parseOrDie(R"({"map":null})").hasCcMap);
  EXPECT_FALSE(parseOrDie(R"({"map":"[]"})").hasCcMap);
  EXPECT_FALSE(parses(R"({"map":[{"cc":1,"path":3}]})"));
  EXPECT_FALSE(parses(R"({"map":{"bindings":[1,]}})"));

  const BridgeMessage later = parseOrDie(R"({"map":[{"cc":1,"path":"chord.on"}],"map":{}})");
  EXPECT_FALSE(later.hasCcMap);
  EXPECT_EQ(later.ccMap.count, 0u);
  const BridgeMessage keptBySkip = parseOrDie(R"({"map":[{"cc":1,"path":"chord.on"}],"map":7})");
  EXPECT_TRUE(keptBySkip.hasCcMap);
  EXPECT_EQ(keptBySkip.ccMap.count, 1u);
}

TEST(BridgeMessageParse, PadsMember) {
  const BridgeMessage m =
      parseOrDie(R"({"pads":{"kick":{"gain":2,"transpose":1.5},"snare":{"muted":1}}})");
  EXPECT_TRUE(m.hasPads);
  ASSERT_EQ(m.pads.size(), 2u);
  EXPECT_EQ(m.pads[0].padId, "kick");
  EXPECT_EQ(m.pads[0].mask, static_cast<std::uint32_t>(kPadGain));  // 1.5 semitones is dropped
  EXPECT_EQ(m.pads[0].gain, 2);
  EXPECT_EQ(m.pads[1].mask, static_cast<std::uint32_t>(kPadMuted));

  const BridgeMessage empty = parseOrDie(R"({"pads":{}})");
  EXPECT_TRUE(empty.hasPads);
  EXPECT_TRUE(empty.pads.empty());
  for (const char* skipped : {"[]", "null", "\"{}\"", "1"}) {
    EXPECT_FALSE(parseOrDie(std::string(R"({"pads":)") + skipped + "}").hasPads) << skipped;
  }
  EXPECT_FALSE(parses(R"({"pads":{"kick":{"gain":}}})"));
  EXPECT_FALSE(parses(R"({"pads":{"kick"}})"));
}

TEST(BridgeMessageParse, FeedsMember) {
  EXPECT_EQ(parseOrDie(R"({"feeds":["transport","lifecycle","nope"]})").feeds, 66u);
  EXPECT_EQ(
      parseOrDie(R"({"feeds":["host","midiIn","midiOut","meters","scope","lifecycle","counters",)"
                 R"("params","presets","clock","transport"]})")
          .feeds,
      2047u);
  EXPECT_EQ(parseOrDie(R"({"feeds":["Host","LIFECYCLE","host "]})").feeds, 0u);
  EXPECT_EQ(parseOrDie(R"({"feeds":[]})").feeds, 0u);
  EXPECT_EQ(parseOrDie(R"({"feeds":"host"})").feeds, 0u);
  EXPECT_EQ(parseOrDie(R"({"feeds":{"host":1}})").feeds, 0u);
  EXPECT_EQ(parseOrDie(R"({"feeds":["host"],"feeds":["clock"]})").feeds, 1024u);
  EXPECT_EQ(parseOrDie(R"({"feeds":["host"],"feeds":null})").feeds, 1u);
  EXPECT_FALSE(parses(R"({"feeds":["host",1]})"));
  EXPECT_FALSE(parses(R"({"feeds":[["host"]]})"));
  EXPECT_FALSE(parses(R"({"feeds":["host",]})"));
}

TEST(BridgeMessageParse, StimulusMember) {
  EXPECT_EQ(
      parseOrDie(R"({"stimulus":{"x":[1,{"y":2}],"kind":"noteBurst","z":null}})").stimulusKind,
      "noteBurst");
  EXPECT_EQ(parseOrDie(R"({"stimulus":{}})").stimulusKind, "");
  EXPECT_EQ(parseOrDie(R"({"stimulus":"noteBurst"})").stimulusKind, "");
  EXPECT_EQ(parseOrDie(R"({"stimulus":{"kind":"a","kind":"b"}})").stimulusKind, "b");
  EXPECT_EQ(parseOrDie(R"({"stimulus":{"kind":"a"},"stimulus":{}})").stimulusKind, "");
  EXPECT_FALSE(parses(R"({"stimulus":{"kind":1}})"));
  EXPECT_FALSE(parses(R"({"stimulus":{"kind":"a",}})"));
}

TEST(BridgeMessageParse, UnknownMembersAreSkippedButMustBeWellFormed) {
  const BridgeMessage m = parseOrDie(
      R"({"extra":{"a":[1,2,{"b":null}],"c":true},"type":"norvo.ready","more":false,"n":-1e5})");
  EXPECT_EQ(m.type, "norvo.ready");
  EXPECT_FALSE(parses(R"({"extra":tru,"type":"norvo.ready"})"));
  EXPECT_FALSE(parses(R"({"extra":[1 2]})"));
  EXPECT_FALSE(parses(R"({"extra":{"a"}})"));
  EXPECT_FALSE(parses(R"({"Type":"norvo.ready","extra":})"));
}

TEST(BridgeMessageParse, RepeatedKeysTakeTheLastValue) {
  const BridgeMessage m = parseOrDie(
      R"({"type":"norvo.diag.subscribe","path":"a","type":"norvo.setParam","path":"b","value":1,"value":2})");
  EXPECT_EQ(m.type, "norvo.setParam");
  EXPECT_EQ(m.path, "b");
  EXPECT_EQ(m.value, 2);
  EXPECT_EQ(m.diagAction, kBridgeDiagNone);
}

TEST(BridgeMessageParse, DiagActionComesFromTheFinalType) {
  struct Case {
    const char* type;
    std::uint8_t action;
  };
  const Case cases[] = {
      {"norvo.diag.subscribe", kBridgeDiagSubscribe},
      {"norvo.diag.unsubscribe", kBridgeDiagUnsubscribe},
      {"norvo.diag.stimulus", kBridgeDiagStimulus},
      {"norvo.diag.subscribe ", kBridgeDiagNone},
      {"norvo.diag.Subscribe", kBridgeDiagNone},
      {"norvo.diag", kBridgeDiagNone},
      {"norvo.ready", kBridgeDiagNone},
      {"", kBridgeDiagNone},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(parseOrDie(std::string(R"({"type":")") + c.type + "\"}").diagAction, c.action)
        << c.type;
  }
  EXPECT_EQ(parseOrDie(R"({"type":"norvo.diag.subscribe","type":"x"})").diagAction,
            kBridgeDiagNone);
  EXPECT_EQ(parseOrDie(R"({"type":"x","type":"norvo.diag.unsubscribe"})").diagAction,
            kBridgeDiagUnsubscribe);
}

TEST(BridgeMessageParse, NestingLimit) {
  EXPECT_TRUE(parses("{\"x\":" + nested(32) + "}"));
  EXPECT_FALSE(parses("{\"x\":" + nested(33) + "}"));
  EXPECT_TRUE(parses("{\"stimulus\":{\"x\":" + nested(31) + "}}"));
  EXPECT_FALSE(parses("{\"stimulus\":{\"x\":" + nested(32) + "}}"));
  // An embedded state counts its nesting from its own object.
  EXPECT_TRUE(parses("{\"state\":{\"x\":" + nested(32) + "}}"));
  EXPECT_FALSE(parses("{\"state\":{\"x\":" + nested(33) + "}}"));
  // Hostile depth fails without exhausting the stack.
  for (const char* key : {"x", "state", "map", "pads", "feeds", "stimulus", "type"}) {
    EXPECT_FALSE(parses(std::string("{\"") + key + "\":" + std::string(200000, '[')));
    EXPECT_FALSE(parses(std::string("{\"") + key + "\":" + std::string(200000, '{')));
  }
}

TEST(BridgeMessageParse, HugeStringsAreKeptWhole) {
  const std::string big(4 * 1024 * 1024, 'p');
  const BridgeMessage m = parseOrDie(R"({"type":"norvo.loadBank","bankPath":")" + big + R"("})");
  EXPECT_EQ(m.bankPath, big);
  EXPECT_FALSE(parses(R"({"bankPath":")" + big));  // never closed
}

TEST(BridgeMessageParse, NulBytes) {
  using namespace std::string_literals;
  const BridgeMessage inside = parseOrDie("{\"type\":\"norvo.ready\0x\",\"path\":\"a\0b\"}"s);
  EXPECT_EQ(inside.type, "norvo.ready\0x"s);
  EXPECT_NE(inside.type, "norvo.ready");
  EXPECT_EQ(inside.path, "a\0b"s);
  EXPECT_EQ(parseOrDie("{\"type\":\"norvo.diag.subscribe\0\"}"s).diagAction, kBridgeDiagNone);

  EXPECT_FALSE(parses("{}\0"s));
  EXPECT_FALSE(parses("\0{}"s));
  EXPECT_FALSE(parses("{\"value\":\0}"s));
  EXPECT_FALSE(parses("{\"value\":1\0}"s));
  EXPECT_FALSE(parses("{\0\"type\":\"x\"}"s));
}

TEST(BridgeMessageParse, ReadsOnlyTheGivenBytes) {
  const char buffer[] = "{\"value\":12}3456";
  BridgeMessage m;
  ASSERT_TRUE(parseBridgeMessage(buffer, 12, m));
  EXPECT_EQ(m.value, 12);
  // A cut before the closing brace leaves an incomplete text, whatever follows in memory.
  EXPECT_FALSE(parseBridgeMessage(buffer, 10, m));
  EXPECT_EQ(m.value, 12);
}

TEST(BridgeMessageParse, FailureLeavesTheMessageUntouched) {
  BridgeMessage m;
  m.type = "keep";
  m.pads.resize(1);
  m.pads[0].padId = "pad";
  const char* const texts[] = {
      R"({"type":"norvo.setParam","value":1,"path":5})",
      R"({"type":"norvo.setState","state":{"params":{"chord.on":1}},"value":"1"})",
      R"({"feeds":["host"],"map":[{"cc":1,"path":"chord.on"}],"pads":{"a":{"gain":1}},"x":[})",
      R"({"type":"norvo.ready"} trailing)",
  };
  for (const char* text : texts) {
    EXPECT_FALSE(parseBridgeMessage(text, std::strlen(text), m)) << text;
    EXPECT_EQ(m.type, "keep");
    EXPECT_FALSE(m.hasValue || m.hasState || m.hasCcMap || m.hasPads);
    EXPECT_EQ(m.feeds, 0u);
    ASSERT_EQ(m.pads.size(), 1u);
    EXPECT_EQ(m.pads[0].padId, "pad");
  }
  EXPECT_FALSE(parseBridgeMessage(nullptr, 3, m));
  EXPECT_FALSE(parseBridgeMessage(nullptr, 0, m));
  EXPECT_EQ(m.type, "keep");
}

TEST(BridgeMessageParse, SuccessReplacesTheWholeMessage) {
  BridgeMessage m;
  m.path = "old";
  m.hasState = true;
  m.state.variation = 9;
  m.feeds = 3;
  m.ccMap.count = 2;
  m.hasCcMap = true;
  m.stimulusKind = "k";
  const std::string text = R"({"type":"norvo.getState"})";
  ASSERT_TRUE(parseBridgeMessage(text.data(), text.size(), m));
  EXPECT_EQ(m.type, "norvo.getState");
  EXPECT_EQ(m.path, "");
  EXPECT_FALSE(m.hasState || m.hasCcMap);
  EXPECT_EQ(m.state.variation, -1);
  EXPECT_EQ(m.feeds, 0u);
  EXPECT_EQ(m.ccMap.count, 0u);
  EXPECT_EQ(m.stimulusKind, "");
}

}  // namespace
}  // namespace norvo
