// The bridged web view: the embedded web view that shows the editor page from the UI root,
// with the page bridge wired to a `BridgeHost`. Created when the editor view is attached and
// detached when it is removed. One implementation per platform (bridged_web_view_linux.cpp:
// the web view runs in a helper process of our own).
// Main thread only: every function here, and every callback into the host, runs on the
// host's main thread.
#pragma once

#include "editor/bridge_host.h"

#include "common/export.h"

extern "C" {
// The web view's frame in its parent, in pixels.
struct NorvoViewFrame {
  double x;
  double y;
  double width;
  double height;
};
}

// Creates the web view for `host` serving `rootPath`: installs the bridge sink on the host,
// starts loading "norvo-ui://bundle-<id>/index.html" and calls the host's onEditorOpened.
// Answers null on failure after telling the host through onEditorError: "no ui root" without
// a host or root, "webview allocation failed" when the platform refuses (on Linux when the host
// offers no run loop, or the helper process is missing, cannot start WebKit or does not answer;
// a line on standard error then says which). On Linux a helper that ends while the web view
// exists is reported once with "webview allocation failed" as well.
extern "C" NORVO_EXPORT void* norvoCreateBridgedWebView(norvo::BridgeHost* host,
                                                        const char* rootPath, NorvoViewFrame frame);

// Tears a web view down. With a host: its onEditorClosed, then its sink is cleared. With a
// web view: the "norvo" message handler is removed, the view leaves its parent and is
// released (on Linux: the helper process is told to close and is collected, killed if it
// does not end within two seconds). Either may be null.
extern "C" NORVO_EXPORT void norvoDetachBridgedWebView(void* webView, norvo::BridgeHost* host);

namespace norvo {

// Shows the web view inside the host's window (on Linux `parent` is the X11 window id; waits,
// bounded, until the helper has embedded it). False when the web view is not a live one, the
// window does not exist or the helper does not embed it.
bool embedBridgedWebView(void* webView, void* parent);

// Gives the web view a new size in pixels (at least 1 x 1).
void resizeBridgedWebView(void* webView, int width, int height);

}  // namespace norvo
