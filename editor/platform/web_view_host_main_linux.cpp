// norvo-webview-host: the process that shows the plug-in's editor page, so that WebKit and GTK
// never load into the host's process. The plug-in starts it with the UI root and the first
// size on the command line and its socket as descriptor 3 (web_view_host_protocol.h), then
// asks it to load the page, embed into the host's X11 window, resize, deliver texts and close.
// It answers "ready" once its web view exists, passes every text the page posts on unchanged,
// and exits when asked, when the socket closes (the plug-in or the host is gone) or when the
// host's window is destroyed.
#include <fcntl.h>
#include <glib-unix.h>
#include <gtk/gtk.h>
#include <signal.h>
#include <unistd.h>

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "common/log_line.h"
#include "editor/platform/gtk_web_view.h"
#include "editor/platform/packet_channel.h"
#include "editor/platform/web_view_host_protocol.h"

namespace norvo {
namespace {

constexpr guint kTickMilliseconds = 16;

using Kind = WebViewHostMessageKind;

struct Helper {
  PacketChannel channel{kWebViewHostSocketFd};
  std::unique_ptr<GtkWebView> view;
};

void logLine(const std::string& text) {
  std::fprintf(stderr, NORVO_LOG_PREFIX "web view helper: %s\n", text.c_str());
}

void send(Helper& helper, Kind kind, std::string text = {}) {
  WebViewHostMessage message;
  message.kind = kind;
  message.text = std::move(text);
  helper.channel.send(encodeWebViewHostMessage(message));
}

// Leaves at once: the X server takes our windows away with the connection, and WebKit's own
// processes end when their connections to us close.
[[noreturn]] void leave(Helper& helper, int status) {
  helper.channel.flush();
  std::fflush(stderr);
  ::_exit(status);
}

void handle(Helper& helper, const WebViewHostMessage& message) {
  switch (message.kind) {
    case Kind::kLoad:
      helper.view->load();
      break;
    case Kind::kEmbed: {
      std::string error;
      if (helper.view->embed(static_cast<unsigned long>(message.window), error)) {
        send(helper, Kind::kEmbedded);
      } else {
        logLine(error);
        send(helper, Kind::kFailed, error);
      }
      break;
    }
    case Kind::kResize:
      helper.view->resize(message.width, message.height);
      break;
    case Kind::kDeliver:
      helper.view->deliver(message.text);
      break;
    case Kind::kClose:
      leave(helper, 0);
    default:
      break;  // the plug-in's own kinds only
  }
}

gboolean onSocket(gint, GIOCondition, gpointer data) {
  Helper& helper = *static_cast<Helper*>(data);
  std::vector<std::string> received;
  helper.channel.receive([&](std::string_view bytes) { received.emplace_back(bytes); });
  for (const std::string& bytes : received) {
    if (const auto message = decodeWebViewHostMessage(bytes)) handle(helper, *message);
  }
  if (!helper.channel.open()) leave(helper, 0);  // the plug-in is gone
  return G_SOURCE_CONTINUE;
}

gboolean onTick(gpointer data) {
  Helper& helper = *static_cast<Helper*>(data);
  helper.channel.flush();
  helper.view->keepSize();
  return G_SOURCE_CONTINUE;
}

int run(int argc, char** argv) {
  const auto arguments = parseWebViewHostArguments(std::vector<std::string>(argv + 1, argv + argc));
  if (!arguments) {
    std::fprintf(stderr,
                 "usage: %s --root UI_ROOT --width W --height H (started by the plug-in, "
                 "with its socket as descriptor 3)\n",
                 argc > 0 ? argv[0] : "norvo-webview-host");
    return 2;
  }
  // WebKit's own processes must not hold our socket: the plug-in learns of our end from it.
  if (::fcntl(kWebViewHostSocketFd, F_SETFD, FD_CLOEXEC) != 0) {
    logLine("started without its socket");
    return 2;
  }
  ::signal(SIGPIPE, SIG_IGN);

  static Helper helper;
  std::string error;
  if (!GtkWebView::startGtk(error)) {
    logLine(error);
    send(helper, Kind::kFailed, error);
    leave(helper, 1);
  }
  helper.view = std::make_unique<GtkWebView>(
      arguments->root, arguments->width, arguments->height,
      GtkWebView::Events{
          [](std::string_view text) { send(helper, Kind::kPageMessage, std::string(text)); },
          [] {
            send(helper, Kind::kParentGone);
            leave(helper, 0);
          }});
  g_unix_fd_add(kWebViewHostSocketFd, static_cast<GIOCondition>(G_IO_IN | G_IO_HUP | G_IO_ERR),
                &onSocket, &helper);
  g_timeout_add(kTickMilliseconds, &onTick, &helper);
  send(helper, Kind::kReady);
  gtk_main();
  return 0;
}

}  // namespace
}  // namespace norvo

int main(int argc, char** argv) { return norvo::run(argc, argv); }
