// The web view helper's messages and command line: exact bytes, round trips, and refusal of
// anything malformed.
#include "editor/platform/web_view_host_protocol.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace norvo {
namespace {

using Kind = WebViewHostMessageKind;

WebViewHostMessage make(Kind kind, std::string text = {}, std::uint64_t window = 0, int width = 0,
                        int height = 0) {
  WebViewHostMessage m;
  m.kind = kind;
  m.text = std::move(text);
  m.window = window;
  m.width = width;
  m.height = height;
  return m;
}

TEST(WebViewHostProtocolTest, MessagesEncodeToTheirBytesAndBack) {
  const std::string json = "{\"type\":\"norvo.hello\",\"x\":\"\xC3\xA9 \\u2028\"}";
  const std::string withNul("a\0b", 3);
  const struct {
    WebViewHostMessage message;
    std::string bytes;
  } cases[] = {
      {make(Kind::kLoad), "L"},
      {make(Kind::kEmbed, {}, 4194316), "E4194316"},
      {make(Kind::kEmbed, {}, UINT64_MAX), "E18446744073709551615"},
      {make(Kind::kResize, {}, 0, 1100, 800), "R1100 800"},
      {make(Kind::kResize, {}, 0, 1, 65535), "R1 65535"},
      {make(Kind::kDeliver, json), "D" + json},
      {make(Kind::kDeliver, withNul), "D" + withNul},
      {make(Kind::kDeliver, ""), "D"},
      {make(Kind::kClose), "C"},
      {make(Kind::kReady), "r"},
      {make(Kind::kEmbedded), "e"},
      {make(Kind::kFailed, "cannot open the X display"), "fcannot open the X display"},
      {make(Kind::kPageMessage, "{\"type\":\"norvo.ready\"}"), "p{\"type\":\"norvo.ready\"}"},
      {make(Kind::kParentGone), "g"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.bytes);
    EXPECT_EQ(encodeWebViewHostMessage(c.message), c.bytes);
    const auto decoded = decodeWebViewHostMessage(c.bytes);
    ASSERT_TRUE(decoded);
    EXPECT_EQ(decoded->kind, c.message.kind);
    EXPECT_EQ(decoded->text, c.message.text);
    EXPECT_EQ(decoded->window, c.message.window);
    EXPECT_EQ(decoded->width, c.message.width);
    EXPECT_EQ(decoded->height, c.message.height);
  }
}

TEST(WebViewHostProtocolTest, MalformedMessagesAreRefused) {
  const char* cases[] = {
      "",                       // no kind
      "X",                      // unknown kind
      "Lx",                     // payload where none belongs
      "C ",                     //
      "r1",                     //
      "E",                      // no window
      "E0",                     // no window is window 0
      "E-5",                    // signs
      "E+5",                    //
      "E012",                   // leading zero
      "E12a",                   // trailing bytes
      "E18446744073709551616",  // past 64 bits
      "R1100",                  // one extent
      "R1100 ",                 //
      "R 800",                  //
      "R0 800",                 // below one pixel
      "R65536 800",             // past the largest extent
      "R-1 800",                //
      "R1100 800 ",             // trailing bytes
      "R1100  800",             // two spaces
      "R1100\t800",             //
  };
  for (const char* bytes : cases) EXPECT_FALSE(decodeWebViewHostMessage(bytes)) << bytes;
}

TEST(WebViewHostProtocolTest, CommandLineRoundTripsAndRefusesAnythingElse) {
  const WebViewHostArguments arguments{"/a b/Chord.vst3/Contents/Resources/ui", 640, 420};
  const std::vector<std::string> list = webViewHostArgumentList(arguments);
  EXPECT_EQ(list, (std::vector<std::string>{"--root", "/a b/Chord.vst3/Contents/Resources/ui",
                                            "--width", "640", "--height", "420"}));
  const auto parsed = parseWebViewHostArguments(list);
  ASSERT_TRUE(parsed);
  EXPECT_EQ(parsed->root, arguments.root);
  EXPECT_EQ(parsed->width, 640);
  EXPECT_EQ(parsed->height, 420);

  const auto reordered =
      parseWebViewHostArguments({"--height", "240", "--root", "/ui", "--width", "320"});
  ASSERT_TRUE(reordered);
  EXPECT_EQ(reordered->root, "/ui");
  EXPECT_EQ(reordered->width, 320);
  EXPECT_EQ(reordered->height, 240);

  const std::vector<std::vector<std::string>> refused = {
      {},
      {"--root", "/ui", "--width", "640"},
      {"--root", "/ui", "--width", "640", "--height"},
      {"--root", "", "--width", "640", "--height", "420"},
      {"--root", "/ui", "--root", "/x", "--height", "420"},
      {"--root", "/ui", "--width", "0", "--height", "420"},
      {"--root", "/ui", "--width", "640", "--height", "4.2"},
      {"--root", "/ui", "--width", "640", "--depth", "420"},
      {"--root", "/ui", "--width", "640", "--height", "420", "--x", "1"},
  };
  for (const auto& args : refused) {
    std::string joined;
    for (const auto& a : args) joined += a + " ";
    EXPECT_FALSE(parseWebViewHostArguments(args)) << joined;
  }
}

}  // namespace
}  // namespace norvo
