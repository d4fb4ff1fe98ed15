// The editor view: web view creation and teardown, sizes and the view's cadence timer.
#include "plugin/web_view_plug_view.h"

#include <climits>
#include <cstdio>
#include <cstring>

#include "editor/editor_failures.h"
#include "editor/editor_size.h"
#include "editor/observed_bridge_host.h"
#include "editor/platform/bridged_web_view.h"
#include "editor/platform/cadence_clock.h"
#include "editor/ui_bundle_location.h"
#include "plugin/bridge_observer.h"
#if SMTG_OS_LINUX
#include "plugin/host_run_loop_adapter.h"
#endif

namespace norvo {

using namespace Steinberg;

namespace {

#if defined(__APPLE__)
const FIDString kViewPlatformType = kPlatformTypeNSView;
#else
const FIDString kViewPlatformType = kPlatformTypeX11EmbedWindowID;
#endif

constexpr double kViewCadenceSeconds = 1.0 / 30.0;

void clampInPlace(ViewRect& rect) {
  const EditorRect clamped = clampEditorRect({rect.left, rect.top, rect.right, rect.bottom});
  rect.right = clamped.right;
  rect.bottom = clamped.bottom;
}

// Texts longer than an int32 count are reported cut; the page bridge never carries such.
int32 reportedLength(std::string_view text) {
  return text.size() > static_cast<std::size_t>(INT32_MAX) ? INT32_MAX
                                                           : static_cast<int32>(text.size());
}

}  // namespace

WebViewPlugView::WebViewPlugView(BridgeHost* controller, std::string uiRoot,
                                 CadenceTick cadenceTick)
    : controller_(controller), uiRoot_(std::move(uiRoot)), cadenceTick_(std::move(cadenceTick)) {
  rect = ViewRect(0, 0, kEditorDefaultWidth, kEditorDefaultHeight);
}

WebViewPlugView::~WebViewPlugView() {
  stopCadenceTimer();
  detachWebView();
}

tresult PLUGIN_API WebViewPlugView::isPlatformTypeSupported(FIDString type) {
  return type != nullptr && std::strcmp(type, kViewPlatformType) == 0 ? kResultTrue : kResultFalse;
}

tresult PLUGIN_API WebViewPlugView::attached(void* parent, FIDString type) {
  if (type == nullptr || std::strcmp(type, kViewPlatformType) != 0 || parent == nullptr)
    return kResultFalse;
  if (webView_ != nullptr) return kResultFalse;  // attached twice without removed

  if (plugFrame != nullptr) {
#if SMTG_OS_LINUX
    // The host's main-thread timers and event handlers: the web view's connection to its
    // helper process and the cadence clocks run on them.
    Linux::IRunLoop* runLoop = nullptr;
    if (plugFrame->queryInterface(Linux::IRunLoop::iid, reinterpret_cast<void**>(&runLoop)) ==
            kResultOk &&
        runLoop != nullptr) {
      runLoop_ = std::make_unique<HostRunLoopAdapter>(runLoop);
      runLoop->release();
      offerHostRunLoop(runLoop_->table());
    }
#endif
    IBridgeObserver* observer = nullptr;
    if (controller_ != nullptr &&
        plugFrame->queryInterface(IBridgeObserver::iid, reinterpret_cast<void**>(&observer)) ==
            kResultOk &&
        observer != nullptr) {
      IPtr<IBridgeObserver> held = owned(observer);
      observedHost_ = std::make_unique<ObservedBridgeHost>(
          *controller_, [held](bool toPage, std::string_view text) {
            if (toPage)
              held->pageReceived(text.data(), reportedLength(text));
            else
              held->pageSent(text.data(), reportedLength(text));
          });
    }
  }

  const NorvoViewFrame frame{0, 0, static_cast<double>(rect.getWidth()),
                             static_cast<double>(rect.getHeight())};
  webView_ = norvoCreateBridgedWebView(bridgeHost(), uiRoot_.c_str(), frame);
  if (webView_ != nullptr && !embedBridgedWebView(webView_, parent)) {
    bridgeHost()->onEditorError(kEditorErrorWebViewAllocation);
    detachWebView();
  }
  if (webView_ == nullptr) {
    detachWebView();  // gives back the run loop
    return kResultFalse;
  }

  stopCadenceTimer();
  if (controller_ != nullptr && cadenceTick_)
    cadenceTimer_ = norvoStartCadenceClock(&cadenceTimerFired, this, kViewCadenceSeconds);
  return CPluginView::attached(parent, type);
}

tresult PLUGIN_API WebViewPlugView::removed() {
  stopCadenceTimer();
  detachWebView();
  return CPluginView::removed();
}

tresult PLUGIN_API WebViewPlugView::onSize(ViewRect* newSize) {
  if (newSize == nullptr) return kResultFalse;
  clampInPlace(*newSize);
  const tresult result = CPluginView::onSize(newSize);
  if (webView_ != nullptr)
    resizeBridgedWebView(webView_, newSize->getWidth(), newSize->getHeight());
  return result;
}

tresult PLUGIN_API WebViewPlugView::canResize() { return kResultTrue; }

tresult PLUGIN_API WebViewPlugView::checkSizeConstraint(ViewRect* rectToCheck) {
  if (rectToCheck == nullptr) return kInvalidArgument;
  clampInPlace(*rectToCheck);
  return kResultTrue;
}

void WebViewPlugView::cadenceTimerFired(void* view) {
  auto* self = static_cast<WebViewPlugView*>(view);
  if (self->cadenceTick_) self->cadenceTick_();
}

void WebViewPlugView::stopCadenceTimer() {
  norvoStopCadenceClock(cadenceTimer_);
  cadenceTimer_ = nullptr;
}

// Only a view that has a web view closes the editor: a second removed(), or the destructor
// after removed(), must not report another close or clear the sink of another open view.
void WebViewPlugView::detachWebView() {
  if (webView_ != nullptr) {
    norvoDetachBridgedWebView(webView_, bridgeHost());
    webView_ = nullptr;
  }
  observedHost_.reset();
#if SMTG_OS_LINUX
  if (runLoop_ != nullptr) {
    withdrawHostRunLoop(runLoop_->table());
    runLoop_.reset();
  }
#endif
}

BridgeHost* WebViewPlugView::bridgeHost() const {
  if (observedHost_ != nullptr) return observedHost_.get();
  return controller_;
}

IPlugView* createWebViewEditor(BridgeHost* controller, const char* uiRoot,
                               CadenceTick cadenceTick) {
  std::string root = uiRoot != nullptr ? uiRoot : "";
  if (root.empty()) root = pluginUiRoot();
  if (controller != nullptr && !root.empty())
    return new WebViewPlugView(controller, std::move(root), std::move(cadenceTick));
  std::fputs(kNoUiBundleLine, stderr);
  if (controller != nullptr) controller->onEditorError(kEditorErrorNoUiBundle);
  return nullptr;
}

}  // namespace norvo
