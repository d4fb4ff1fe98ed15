// The editor view's platform-free rules: bundle id and page URL, the bridge scripts, the size
// clamp.
#include <gtest/gtest.h>

#include <limits>
#include <string>

#include "editor/bridge_script.h"
#include "editor/editor_size.h"
#include "editor/ui_bundle_id.h"

namespace norvo {
namespace {

TEST(UiBundleIdTest, UrlsNameTheRootByItsHash) {
  struct Case {
    const char* root;
    const char* url;
  };
  // Reference values from an independent implementation of the hash.
  const Case cases[] = {
      {"", "norvo-ui://bundle-14650fb0739d0383/index.html"},
      {"/x/ui", "norvo-ui://bundle-a4b29f4fab8f4bef/index.html"},
      {"/opt/Chord.vst3/Contents/Resources/ui", "norvo-ui://bundle-848fce3219540a1c/index.html"},
      {"/aa", "norvo-ui://bundle-0bff7d50036061da/index.html"},  // leading zero kept
  };
  for (const Case& c : cases) EXPECT_EQ(uiBundleUrl(c.root), c.url) << c.root;
  EXPECT_EQ(uiBundleUrl("/x/ui"), uiBundleUrl(std::string("/x/ui")));
  EXPECT_NE(uiBundleId("/x/ui"), uiBundleId("/x/ui/"));
  EXPECT_NE(uiBundleId("/x/ui"), uiBundleId("/x/uj"));
}

TEST(BridgeScriptTest, UserScriptIsTheExactOneLiner) {
  EXPECT_EQ(std::string(kBridgeUserScript),
            "(function () {  if (window.norvoHost) { return; }  var handlers = [];  "
            "window.norvoHost = {    postMessage: function (message) {      "
            "window.webkit.messageHandlers.norvo.postMessage(JSON.stringify(message));    },    "
            "onMessage: function (handler) { handlers.push(handler); },    _deliver: function "
            "(message) {      for (var i = 0; i < handlers.length; i += 1) {        try { "
            "handlers[i](message); } catch (error) { console.error(error); }      }    }  };})();");
}

TEST(BridgeScriptTest, DeliverySplicesTheJsonAsAnExpression) {
  struct Case {
    std::string json;
    std::string script;
  };
  const Case cases[] = {
      {R"({"type":"norvo.hello"})",
       R"(window.norvoHost && window.norvoHost._deliver({"type":"norvo.hello"});)"},
      {R"({"s":"a\"b</script>"})",
       R"(window.norvoHost && window.norvoHost._deliver({"s":"a\"b</script>"});)"},
      {"", "window.norvoHost && window.norvoHost._deliver();"},
  };
  for (const Case& c : cases) EXPECT_EQ(bridgeDeliveryScript(c.json), c.script);
}

TEST(EditorSizeTest, RectanglesClampToTheLimitsKeepingLeftAndTop) {
  constexpr std::int32_t kMax = std::numeric_limits<std::int32_t>::max();
  struct Case {
    EditorRect in;
    EditorRect out;
  };
  const Case cases[] = {
      {{0, 0, 2000, 100}, {0, 0, 1100, 240}},
      {{10, 20, 2010, 120}, {10, 20, 1110, 260}},
      {{0, 0, 640, 420}, {0, 0, 640, 420}},
      {{0, 0, 320, 240}, {0, 0, 320, 240}},
      {{0, 0, 1100, 800}, {0, 0, 1100, 800}},
      {{0, 0, 319, 239}, {0, 0, 320, 240}},
      {{0, 0, 1101, 801}, {0, 0, 1100, 800}},
      {{-50, -60, -40, -50}, {-50, -60, 270, 180}},
      {{100, 100, 0, 0}, {100, 100, 420, 340}},  // right of left: negative width
      {{kMax - 10, kMax - 10, kMax, kMax}, {kMax - 10, kMax - 10, kMax, kMax}},
  };
  for (const Case& c : cases) {
    const EditorRect r = clampEditorRect(c.in);
    EXPECT_EQ(r.left, c.out.left);
    EXPECT_EQ(r.top, c.out.top);
    EXPECT_EQ(r.right, c.out.right) << c.in.left << "," << c.in.right;
    EXPECT_EQ(r.bottom, c.out.bottom) << c.in.top << "," << c.in.bottom;
  }
}

}  // namespace
}  // namespace norvo
