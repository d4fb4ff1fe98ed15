// What the plug-in and its web view helper process (norvo-webview-host) say to each other over
// their socket, one message per packet-channel message, and how the plug-in starts the helper.
//
// A message is one kind character followed by its payload:
//   plug-in -> helper: load the page; embed into an X11 window; resize; deliver a JSON text to
//   the page; close.
//   helper -> plug-in: ready (the web view exists); embedded; failed (a reason for the log); a
//   text the page posted; the parent window is gone.
// Numbers travel as decimal text, texts as their bytes, unchanged.
// Any thread (pure functions).
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace norvo {

// The helper's file name, beside the plug-in module in the bundle.
inline constexpr const char* kWebViewHostFileName = "norvo-webview-host";

// The socket end the helper finds its connection on.
inline constexpr int kWebViewHostSocketFd = 3;

enum class WebViewHostMessageKind : char {
  // plug-in -> helper
  kLoad = 'L',     // no payload
  kEmbed = 'E',    // window
  kResize = 'R',   // width, height
  kDeliver = 'D',  // text: one JSON text for the page
  kClose = 'C',    // no payload
  // helper -> plug-in
  kReady = 'r',        // no payload
  kEmbedded = 'e',     // no payload
  kFailed = 'f',       // text: why, for the log
  kPageMessage = 'p',  // text: what the page posted, unchanged
  kParentGone = 'g',   // no payload
};

struct WebViewHostMessage {
  WebViewHostMessageKind kind = WebViewHostMessageKind::kClose;
  std::string text;
  std::uint64_t window = 0;
  int width = 0;
  int height = 0;
};

// Sizes travel within these bounds.
inline constexpr int kWebViewHostMaxExtent = 65535;

// The message's bytes.
std::string encodeWebViewHostMessage(const WebViewHostMessage& message);

// A message from its bytes; none for an unknown kind or a malformed payload (a number that is
// not plain decimal, out of range, or trailing bytes where no payload belongs).
std::optional<WebViewHostMessage> decodeWebViewHostMessage(std::string_view bytes);

// How the plug-in starts the helper: the UI root to serve and the first size.
struct WebViewHostArguments {
  std::string root;
  int width = 0;
  int height = 0;
};

// The command line (without the program name).
std::vector<std::string> webViewHostArgumentList(const WebViewHostArguments& arguments);

// The arguments from a command line (without the program name); none when one is missing,
// unknown, repeated or malformed.
std::optional<WebViewHostArguments> parseWebViewHostArguments(
    const std::vector<std::string>& arguments);

}  // namespace norvo
