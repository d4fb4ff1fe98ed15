// WebViewPlugView: the plug-in's editor view. It shows the editor page in the platform's web
// view inside the window the host hands to `attached` ("X11EmbedWindowID" on Linux, "NSView" on
// macOS), clamps every size to the editor's limits, and while attached runs a 1/30 s timer
// that calls the controller's cadence tick. `createWebViewEditor` makes it for a controller.
// Main thread only: the host calls every view operation on its main thread.
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "editor/bridge_host.h"
#include "public.sdk/source/common/pluginview.h"

namespace norvo {

class HostRunLoopAdapter;
class ObservedBridgeHost;

// The controller's cadence tick, called by the view's timer while the view is attached.
using CadenceTick = std::function<void()>;

class WebViewPlugView : public Steinberg::CPluginView {
 public:
  // `controller` is not owned and outlives the view. The view starts at 0, 0, 640, 420.
  WebViewPlugView(BridgeHost* controller, std::string uiRoot, CadenceTick cadenceTick);
  ~WebViewPlugView() override;

  // kResultTrue for this platform's window type, kResultFalse for anything else or none.
  Steinberg::tresult PLUGIN_API isPlatformTypeSupported(Steinberg::FIDString type) override;
  // Creates the web view in `parent` and starts the view's cadence timer. kResultFalse for
  // another window type, no parent, or a web view that cannot be created or shown.
  Steinberg::tresult PLUGIN_API attached(void* parent, Steinberg::FIDString type) override;
  // Stops the timer and detaches the web view.
  Steinberg::tresult PLUGIN_API removed() override;
  // Clamps `newSize` in place (width 320..1100, height 240..800, left and top kept), stores it
  // and resizes the web view. kResultFalse for none.
  Steinberg::tresult PLUGIN_API onSize(Steinberg::ViewRect* newSize) override;
  Steinberg::tresult PLUGIN_API canResize() override;
  // Clamps `rect` in place as onSize does; kInvalidArgument for none.
  Steinberg::tresult PLUGIN_API checkSizeConstraint(Steinberg::ViewRect* rect) override;

  // Whether a web view exists (between a successful attached and removed).
  bool hasWebView() const { return webView_ != nullptr; }

 private:
  static void cadenceTimerFired(void* view);
  void stopCadenceTimer();
  void detachWebView();
  BridgeHost* bridgeHost() const;

  BridgeHost* controller_;
  std::string uiRoot_;
  CadenceTick cadenceTick_;
  void* webView_ = nullptr;
  void* cadenceTimer_ = nullptr;
  std::unique_ptr<HostRunLoopAdapter> runLoop_;
  std::unique_ptr<ObservedBridgeHost> observedHost_;
};

// The editor view for `controller` serving `uiRoot` (null or empty: this plug-in's own UI
// root). Without a controller or a root it writes "norvo-plugin-shell: no UI bundle found;
// editor disabled" to standard error, tells the controller "no ui bundle in plugin" through
// onEditorError when there is one, and answers null. The view comes with one reference, owned
// by the caller. Main thread.
Steinberg::IPlugView* createWebViewEditor(BridgeHost* controller, const char* uiRoot,
                                          CadenceTick cadenceTick = {});

}  // namespace norvo
