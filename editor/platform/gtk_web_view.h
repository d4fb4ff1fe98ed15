// The editor page in WebKitGTK 4.1, inside a GtkPlug on a foreign X11 window: what the web view
// helper process (norvo-webview-host) shows. It serves the UI root through the "norvo-ui"
// scheme, injects the bridge script at document start into the main frame, hands every text
// the page posts under "norvo" to its owner unchanged, and delivers JSON texts to the page in
// order. Its own process owns GTK's main loop. Main thread of the helper only.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <string_view>

namespace norvo {

class GtkWebView {
 public:
  struct Events {
    std::function<void(std::string_view text)> pageMessage;  // a text the page posted
    std::function<void()> parentGone;  // the window it was embedded in was destroyed
  };

  // Starts GTK on the X11 display (once per process). False with a reason when it cannot.
  static bool startGtk(std::string& error);

  // A web view for `root` at width x height (not loaded, not embedded). GTK must be started.
  GtkWebView(std::string root, int width, int height, Events events);
  ~GtkWebView();
  GtkWebView(const GtkWebView&) = delete;
  GtkWebView& operator=(const GtkWebView&) = delete;

  // Starts loading "norvo-ui://bundle-<id>/index.html".
  void load();

  // Shows the web view inside the X11 window `window` (mapped and sized here: the host is no
  // XEmbed embedder). False with a reason when the window does not exist or is taken.
  bool embed(unsigned long window, std::string& error);

  // Gives the web view a new size in pixels (at least 1 x 1).
  void resize(int width, int height);

  // Re-applies the size when GTK or the host changed it (GTK does not always follow a shrink).
  void keepSize();

  // Delivers one JSON text to the page.
  void deliver(std::string_view json);

 private:
  struct State;
  std::unique_ptr<State> state_;
};

}  // namespace norvo
