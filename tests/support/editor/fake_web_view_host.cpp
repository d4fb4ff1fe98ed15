// A stand-in for the editor's helper process (norvo-webview-host) that fails the way the
// environment variable NORVO_FAKE_WEBVIEW_HOST names:
//   exit            ends at once with status 3
//   abort           aborts at once
//   refuse          says it failed ("no display here") and ends
//   hang            never answers
//   refuse-embed    says it is ready, then refuses to embed ("no such window")
//   abort-on-embed  says it is ready, then aborts when asked to embed
//   abort-later     is ready and embedded, posts one page text, then aborts
// Without one it behaves: ready, embedded, and it stays until closed.
#include <unistd.h>

#include <cstdlib>
#include <string>

#include "editor/platform/packet_channel.h"
#include "editor/platform/web_view_host_protocol.h"

namespace {

using norvo::PacketChannel;
using norvo::WebViewHostMessage;
using Kind = norvo::WebViewHostMessageKind;

void say(PacketChannel& channel, Kind kind, const std::string& text = {}) {
  WebViewHostMessage message;
  message.kind = kind;
  message.text = text;
  channel.send(norvo::encodeWebViewHostMessage(message));
  channel.flush();
}

// Reads until a message of `kind` arrives; false when the plug-in closes first.
bool waitFor(PacketChannel& channel, Kind kind) {
  bool seen = false;
  while (!seen && channel.open()) {
    channel.waitReadable(1000);
    channel.receive([&](std::string_view bytes) {
      const auto message = norvo::decodeWebViewHostMessage(bytes);
      if (message && (message->kind == kind || message->kind == Kind::kClose)) seen = true;
    });
  }
  return seen && channel.open();
}

}  // namespace

int main() {
  const char* variable = std::getenv("NORVO_FAKE_WEBVIEW_HOST");
  const std::string mode = variable != nullptr ? variable : "";
  PacketChannel channel(norvo::kWebViewHostSocketFd);
  if (mode == "exit") return 3;
  if (mode == "abort") std::abort();
  if (mode == "refuse") {
    say(channel, Kind::kFailed, "no display here");
    return 1;
  }
  if (mode == "hang") {
    while (true) ::pause();
  }
  say(channel, Kind::kReady);
  if (!waitFor(channel, Kind::kEmbed)) return 0;
  if (mode == "refuse-embed") {
    say(channel, Kind::kFailed, "no such window");
    waitFor(channel, Kind::kClose);
    return 0;
  }
  if (mode == "abort-on-embed") std::abort();
  say(channel, Kind::kEmbedded);
  if (mode == "abort-later") {
    say(channel, Kind::kPageMessage, "{\"type\":\"norvo.ready\"}");
    ::usleep(300 * 1000);
    std::abort();
  }
  waitFor(channel, Kind::kClose);
  return 0;
}
