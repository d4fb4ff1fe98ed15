#include "editor/bridge_message_types.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

#include "editor/bridge_message_parser.h"

namespace norvo {
namespace {

TEST(BridgeMessageTypes, EveryCatalogueNameMapsToItsKind) {
  std::set<std::string> names;
  std::set<BridgeMessageKind> kinds;
  for (const IncomingBridgeType& entry : kIncomingBridgeTypes) {
    EXPECT_EQ(bridgeMessageKind(entry.type), entry.kind) << entry.type;
    EXPECT_NE(entry.kind, BridgeMessageKind::Unknown) << entry.type;
    EXPECT_EQ(std::string(entry.type).rfind("norvo.", 0), 0u) << entry.type;
    names.insert(entry.type);
    kinds.insert(entry.kind);
  }
  EXPECT_EQ(names.size(), kIncomingBridgeTypeCount);
  EXPECT_EQ(kinds.size(), kIncomingBridgeTypeCount);
  for (const char* other : {"", "norvo.", "NORVO.READY", "norvo.ready ", "norvo.setparam",
                            "norvo.hello", "norvo.diag.feedDrain", "ready"}) {
    EXPECT_EQ(bridgeMessageKind(other), BridgeMessageKind::Unknown) << other;
  }
  using namespace std::string_literals;
  EXPECT_EQ(bridgeMessageKind("norvo.ready\0"s), BridgeMessageKind::Unknown);
}

TEST(BridgeMessageTypes, RequiredMembersDecideWhetherAMessageActs) {
  struct Case {
    const char* text;
    bool actionable;
  };
  const Case cases[] = {
      {R"({"type":"norvo.ready"})", true},
      {R"({"type":"norvo.getState"})", true},
      {R"({"type":"norvo.beginEdit","path":"chord.on"})", true},
      {R"({"type":"norvo.endEdit"})", true},
      {R"({"type":"norvo.noteOn","note":60,"velocity":100})", true},
      {R"({"type":"norvo.noteOff"})", true},
      {R"({"type":"norvo.loadFactoryPreset","id":"x"})", true},
      {R"({"type":"norvo.loadBank","source":"user-folder","bankPath":"/b"})", true},
      {R"({"type":"norvo.pickFolder"})", true},
      {R"({"type":"norvo.getBankState"})", true},
      {R"({"type":"norvo.diag.subscribe","feeds":["host"],"hz":10})", true},
      {R"({"type":"norvo.diag.unsubscribe"})", true},
      {R"({"type":"norvo.diag.stimulus","stimulus":{"kind":"x"}})", true},
      {R"({"type":"norvo.setParam","path":"chord.on","value":1})", true},
      {R"({"type":"norvo.setParam","path":"chord.on"})", false},
      {R"({"type":"norvo.setState","state":{}})", true},
      {R"({"type":"norvo.setState","state":"{}"})", false},
      {R"({"type":"norvo.setState"})", false},
      {R"({"type":"norvo.setCcMap","map":[]})", true},
      {R"({"type":"norvo.setCcMap","map":{"bindings":[]}})", true},
      {R"({"type":"norvo.setCcMap","map":{"version":1}})", false},
      {R"({"type":"norvo.setCcMap","map":null})", false},
      {R"({"type":"norvo.setPadOverrides","pads":{}})", true},
      {R"({"type":"norvo.setPadOverrides","pads":[]})", false},
      {R"({"type":"norvo.loadBankPreset","id":"p1"})", true},
      {R"({"type":"norvo.loadBankPreset","id":""})", false},
      {R"({"type":"norvo.loadBankPreset"})", false},
      {R"({"type":"norvo.somethingElse","value":1})", false},
      {R"({})", false},
  };
  for (const Case& c : cases) {
    const std::optional<BridgeMessage> m = parseBridgeMessage(c.text);
    ASSERT_TRUE(m.has_value()) << c.text;
    EXPECT_EQ(bridgeMessageActionable(*m), c.actionable) << c.text;
  }
}

}  // namespace
}  // namespace norvo
