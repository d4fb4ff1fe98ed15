// The bridged web view on Linux: the page runs in a helper process of our own
// (norvo-webview-host, beside the module in the bundle), whose GtkPlug is mapped into the
// host's X11 window. WebKit and GTK never load into the host's process, so a host built on any
// toolkit can show the editor, hosts that only scan the plug-in stay light, and a web view that
// crashes takes only the helper down.
//
// The helper's socket is read on the host's main thread only, from the host's run loop: an
// event handler on the socket where the host offers them, otherwise a timer; a slower service
// timer also sends what the socket did not take at once. Creating a web view waits (bounded)
// for the helper to say that its web view exists, and embedding waits for it to be embedded, so
// a helper that is missing or cannot start gives "webview allocation failed". A helper that ends
// later is reported once through onEditorError; the host never notices more than that.
#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <deque>
#include <memory>
#include <string>
#include <vector>

#include "common/log_line.h"
#include "editor/editor_failures.h"
#include "editor/platform/bridged_web_view.h"
#include "editor/platform/cadence_clock.h"
#include "editor/platform/host_run_loop.h"
#include "editor/platform/packet_channel.h"
#include "editor/platform/web_view_host_process.h"
#include "editor/platform/web_view_host_protocol.h"

namespace norvo {

namespace {

using Kind = WebViewHostMessageKind;

// The helper starts WebKit before it answers: generous for a cold start on a busy machine.
constexpr int kReadyTimeoutMs = 10000;
constexpr int kEmbedTimeoutMs = 5000;
constexpr std::chrono::milliseconds kExitGrace{2000};
// Reading the socket where the host has no event handlers, and the service timer.
constexpr std::uint32_t kPollMilliseconds = 16;
constexpr double kServiceSeconds = 1.0 / 30.0;

struct RemoteWebView {
  std::uint64_t id = 0;
  BridgeHost* host = nullptr;
  pid_t pid = -1;
  std::unique_ptr<PacketChannel> channel;
  void* watch = nullptr;
  void* serviceClock = nullptr;
  std::deque<WebViewHostMessage> pending;  // arrived during a wait, handled on the next service
  bool parentGone = false;                 // the helper left because the host's window died
  bool ended = false;                      // the helper's socket is closed
  bool collected = false;                  // the helper's process is collected
};

// Main thread only; plain pointers so that nothing runs at module unload.
std::vector<RemoteWebView*>* gViews = nullptr;
std::uint64_t gNextViewId = 1;

std::vector<RemoteWebView*>& views() {
  if (gViews == nullptr) gViews = new std::vector<RemoteWebView*>();
  return *gViews;
}

RemoteWebView* liveView(const void* handle) {
  for (RemoteWebView* view : views()) {
    if (view == handle) return view;
  }
  return nullptr;
}

RemoteWebView* liveViewById(std::uint64_t id) {
  for (RemoteWebView* view : views()) {
    if (view->id == id) return view;
  }
  return nullptr;
}

void* idTag(std::uint64_t id) { return reinterpret_cast<void*>(static_cast<std::uintptr_t>(id)); }

void logLine(const std::string& text) {
  std::fprintf(stderr, NORVO_LOG_PREFIX "%s\n", text.c_str());
}

void send(RemoteWebView& view, const WebViewHostMessage& message) {
  if (view.channel->open()) view.channel->send(encodeWebViewHostMessage(message));
}

void send(RemoteWebView& view, Kind kind) {
  WebViewHostMessage message;
  message.kind = kind;
  send(view, message);
}

// Reads what the helper sent into the view's pending messages.
void readPending(RemoteWebView& view) {
  view.channel->receive([&](std::string_view bytes) {
    if (auto message = decodeWebViewHostMessage(bytes)) view.pending.push_back(std::move(*message));
  });
}

// Waits for a message of `kind`; other messages stay pending. False when the helper reports a
// failure, ends, or does not answer in time (`timedOut` says which).
bool await(RemoteWebView& view, Kind kind, int timeoutMs, bool& timedOut) {
  timedOut = false;
  const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  while (true) {
    readPending(view);
    for (auto it = view.pending.begin(); it != view.pending.end(); ++it) {
      if (it->kind == kind) {
        view.pending.erase(it);
        return true;
      }
      if (it->kind == Kind::kFailed) {
        logLine("the web editor's helper failed: " + it->text);
        view.pending.erase(it);
        return false;
      }
    }
    if (!view.channel->open()) return false;
    const auto left =
        std::chrono::ceil<std::chrono::milliseconds>(end - std::chrono::steady_clock::now());
    if (left.count() <= 0) {
      timedOut = true;
      return false;
    }
    view.channel->waitReadable(static_cast<int>(left.count()));
  }
}

void stopWatching(RemoteWebView& view) {
  stopFdWatch(view.watch);
  view.watch = nullptr;
}

// The helper's socket closed without a close from us.
void helperEnded(RemoteWebView& view) {
  if (view.ended) return;
  view.ended = true;
  stopWatching(view);  // a hung-up socket stays readable: the host would call us forever
  view.collected = collectWebViewHost(view.pid);
  if (view.parentGone) return;  // the host destroyed its window: nothing went wrong here
  logLine("the web editor's helper process ended unexpectedly");
  view.host->onEditorError(kEditorErrorWebViewAllocation);
}

void service(void* tag) {
  const auto id = static_cast<std::uint64_t>(reinterpret_cast<std::uintptr_t>(tag));
  RemoteWebView* view = liveViewById(id);
  if (view == nullptr) return;
  if (!view->ended) {
    view->channel->flush();
    readPending(*view);
  }
  // The host may close the editor from inside handleBridgeMessage: look the view up again
  // after every call into it.
  while ((view = liveViewById(id)) != nullptr && !view->pending.empty()) {
    const WebViewHostMessage message = std::move(view->pending.front());
    view->pending.pop_front();
    switch (message.kind) {
      case Kind::kPageMessage:
        view->host->handleBridgeMessage(message.text.data(), message.text.size());
        break;
      case Kind::kFailed:
        logLine("the web editor's helper failed: " + message.text);
        break;
      case Kind::kParentGone:
        view->parentGone = true;
        break;
      default:
        break;
    }
  }
  if (view != nullptr && !view->ended && !view->channel->open()) helperEnded(*view);
  if (view != nullptr && view->ended && !view->collected)
    view->collected = collectWebViewHost(view->pid);
}

void deliver(std::uint64_t id, std::string_view json) {
  RemoteWebView* view = liveViewById(id);
  if (view == nullptr) return;
  WebViewHostMessage message;
  message.kind = Kind::kDeliver;
  message.text = std::string(json);
  send(*view, message);
}

// Ends the helper and frees the view (already out of the list).
void release(RemoteWebView* view, std::chrono::milliseconds grace) {
  stopWatching(*view);
  norvoStopCadenceClock(view->serviceClock);
  if (view->channel->open()) {
    send(*view, Kind::kClose);
    view->channel->flush();
  }
  view->channel->close();  // the helper also leaves when its socket closes
  if (!view->collected) endWebViewHost(view->pid, grace);
  delete view;
}

int pixels(double extent) {
  if (!(extent >= 1)) return 1;
  return extent >= kWebViewHostMaxExtent ? kWebViewHostMaxExtent : static_cast<int>(extent);
}

}  // namespace

bool embedBridgedWebView(void* webView, void* parent) {
  RemoteWebView* view = liveView(webView);
  const auto window = reinterpret_cast<std::uintptr_t>(parent);
  if (view == nullptr || window == 0 || !view->channel->open()) return false;
  WebViewHostMessage message;
  message.kind = Kind::kEmbed;
  message.window = window;
  send(*view, message);
  bool timedOut = false;
  if (await(*view, Kind::kEmbedded, kEmbedTimeoutMs, timedOut)) return true;
  if (timedOut) logLine("the web editor's helper did not embed its window in time");
  return false;
}

void resizeBridgedWebView(void* webView, int width, int height) {
  RemoteWebView* view = liveView(webView);
  if (view == nullptr) return;
  WebViewHostMessage message;
  message.kind = Kind::kResize;
  message.width = pixels(width);
  message.height = pixels(height);
  send(*view, message);
}

}  // namespace norvo

void* norvoCreateBridgedWebView(norvo::BridgeHost* host, const char* rootPath,
                                NorvoViewFrame frame) {
  using namespace norvo;
  if (host == nullptr || rootPath == nullptr || rootPath[0] == '\0') {
    if (host != nullptr) host->onEditorError(kEditorErrorNoUiRoot);
    return nullptr;
  }
  if (!hostRunLoopKnown()) {
    logLine("the host offers no run loop; the web editor cannot run");
    host->onEditorError(kEditorErrorWebViewAllocation);
    return nullptr;
  }
  std::string error;
  const WebViewHostProcess process = startWebViewHost(
      webViewHostPath(),
      webViewHostArgumentList({rootPath, pixels(frame.width), pixels(frame.height)}), error);
  if (process.pid < 0) {
    logLine("the web editor's helper cannot start: " + error);
    host->onEditorError(kEditorErrorWebViewAllocation);
    return nullptr;
  }
  auto* view = new RemoteWebView();
  view->id = gNextViewId++;
  view->host = host;
  view->pid = process.pid;
  view->channel = std::make_unique<PacketChannel>(process.fd);
  bool timedOut = false;
  if (!await(*view, Kind::kReady, kReadyTimeoutMs, timedOut)) {
    logLine(timedOut ? "the web editor's helper did not answer in time"
                     : "the web editor's helper could not create its web view");
    release(view, timedOut ? std::chrono::milliseconds(0) : kExitGrace);
    host->onEditorError(kEditorErrorWebViewAllocation);
    return nullptr;
  }
  views().push_back(view);
  const std::uint64_t id = view->id;
  view->watch = startFdWatch(view->channel->fd(), &service, idTag(id), kPollMilliseconds);
  view->serviceClock = norvoStartCadenceClock(&service, idTag(id), kServiceSeconds);

  host->setBridgeSink([id](std::string_view json) { deliver(id, json); });
  send(*view, Kind::kLoad);
  host->onEditorOpened();
  return view;
}

void norvoDetachBridgedWebView(void* webView, norvo::BridgeHost* host) {
  using namespace norvo;
  if (host != nullptr) {
    host->onEditorClosed();
    host->setBridgeSink({});
  }
  RemoteWebView* view = liveView(webView);
  if (view == nullptr) return;
  auto& all = views();
  all.erase(std::find(all.begin(), all.end(), view));
  release(view, kExitGrace);
}
