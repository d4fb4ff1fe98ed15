// The bridged web view on Linux: WebKitGTK 4.1 in a GtkPlug mapped into the host's X11 window.
//
// GTK runs on the host's main thread and never owns the loop: GTK is initialised on the first
// web view, one WebKitWebContext serves every web view of the process (each view gets its own
// web process), and GLib's default main context is pumped from a main-thread timer on the
// host's run loop. Every entry point that runs GTK code does so inside an X error trap: GDK's
// default handler ends the process on an X error, which happens for instance when the host
// destroys its window before removing the view. A VST 3 host is not an XEmbed embedder, so
// the plug window is mapped and sized here, and its size is re-applied on every pump (GTK
// does not always follow a shrink).
#include <dlfcn.h>
#include <gdk/gdkx.h>
#include <gtk/gtk.h>
#include <gtk/gtkx.h>
#include <webkit2/webkit2.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "common/log_line.h"
#include "editor/bridge_script.h"
#include "editor/editor_failures.h"
#include "editor/platform/bridged_web_view.h"
#include "editor/platform/cadence_clock.h"
#include "editor/platform/host_run_loop.h"
#include "editor/ui_bundle_id.h"
#include "editor/ui_scheme.h"

namespace norvo {

namespace {

constexpr const char* kMessageHandlerName = "norvo";
constexpr int kPumpIterationLimit = 200;
constexpr double kPumpIntervalSeconds = 0.016;
// Painted until the page's first frame: the placeholder page's own background, so the host
// never flashes GTK's light default.
constexpr GdkRGBA kInitialBackground = {0x1d / 255.0, 0x1f / 255.0, 0x24 / 255.0, 1.0};

struct GtkWebView {
  std::uint64_t id = 0;
  BridgeHost* host = nullptr;
  std::string root;
  WebKitUserContentManager* contentManager = nullptr;
  WebKitWebView* webView = nullptr;
  GtkWidget* plug = nullptr;  // cleared when GTK destroys it with the host's window
  gulong messageSignal = 0;
  int width = 1;
  int height = 1;
};

// Main thread only. Plain pointers: nothing is torn down at module unload (the module is
// linked -z nodelete, and GTK cannot be finalised anyway).
std::vector<GtkWebView*>* gViews = nullptr;
std::uint64_t gNextViewId = 1;
WebKitWebContext* gContext = nullptr;
void* gPumpClock = nullptr;
bool gGtkStarted = false;

std::vector<GtkWebView*>& views() {
  if (gViews == nullptr) gViews = new std::vector<GtkWebView*>();
  return *gViews;
}

GtkWebView* liveView(const void* handle) {
  for (GtkWebView* view : views()) {
    if (view == handle) return view;
  }
  return nullptr;
}

GtkWebView* liveViewById(std::uint64_t id) {
  for (GtkWebView* view : views()) {
    if (view->id == id) return view;
  }
  return nullptr;
}

void logLine(const char* text) { std::fprintf(stderr, NORVO_LOG_PREFIX "%s\n", text); }

// Traps X errors for the lifetime of the object (nothing when GTK has no X display yet).
class XErrorTrap {
 public:
  XErrorTrap() {
    if (!gGtkStarted) return;
    GdkDisplay* display = gdk_display_get_default();
    if (display != nullptr && GDK_IS_X11_DISPLAY(display)) {
      display_ = display;
      gdk_x11_display_error_trap_push(display_);
    }
  }
  ~XErrorTrap() {
    if (display_ != nullptr) gdk_x11_display_error_trap_pop_ignored(display_);
  }
  XErrorTrap(const XErrorTrap&) = delete;
  XErrorTrap& operator=(const XErrorTrap&) = delete;

 private:
  GdkDisplay* display_ = nullptr;
};

// GTK 3 cannot share a process with GTK 2 or GTK 4: their symbols have the same names, so
// GTK 3 code would end up calling the host's toolkit. Looked up before any GTK call.
bool otherGtkInProcess() {
  return dlsym(RTLD_DEFAULT, "gtk_progress_get_type") != nullptr ||    // GTK 2
         dlsym(RTLD_DEFAULT, "gtk_widget_snapshot_child") != nullptr;  // GTK 4
}

bool startGtk() {
  if (gGtkStarted) return true;
  if (otherGtkInProcess()) {
    logLine("the host runs another GTK version; the web editor cannot load beside it");
    return false;
  }
  // The view lives in an X11 window, so GDK must talk X11 even on a Wayland desktop.
  if (gdk_display_get_default() == nullptr) gdk_set_allowed_backends("x11");
  if (!gtk_init_check(nullptr, nullptr)) {
    logLine("cannot open the X display for the web editor");
    return false;
  }
  GdkDisplay* display = gdk_display_get_default();
  if (display == nullptr || !GDK_IS_X11_DISPLAY(display)) {
    logLine("the web editor needs an X11 display");
    return false;
  }
  gGtkStarted = true;
  return true;
}

void pumpMainContext() {
  GMainContext* context = g_main_context_default();
  // Another thread owning the default context would run our sources itself.
  if (!g_main_context_acquire(context)) return;
  for (int i = 0; i < kPumpIterationLimit && g_main_context_pending(context); ++i) {
    g_main_context_iteration(context, FALSE);
  }
  g_main_context_release(context);
}

void applySize(GtkWebView& view) {
  if (view.plug == nullptr) return;
  GdkWindow* window = gtk_widget_get_window(view.plug);
  if (window == nullptr) return;
  GtkWidget* web = GTK_WIDGET(view.webView);
  if (gdk_window_get_width(window) == view.width && gdk_window_get_height(window) == view.height &&
      gtk_widget_get_allocated_width(web) == view.width &&
      gtk_widget_get_allocated_height(web) == view.height) {
    return;
  }
  gtk_widget_set_size_request(web, view.width, view.height);
  gtk_window_resize(GTK_WINDOW(view.plug), view.width, view.height);
  gdk_window_move_resize(window, 0, 0, view.width, view.height);
  // GTK allocates a window's child only when X confirms the window's new size; a size the
  // window already has (we resized it ourselves) is never confirmed, and a shrink then stays
  // unallocated. Allocating directly makes the web view follow at once.
  gtk_widget_get_preferred_size(view.plug, nullptr, nullptr);
  GtkAllocation allocation{0, 0, view.width, view.height};
  gtk_widget_size_allocate(view.plug, &allocation);
}

void pump(void*) {
  if (!gGtkStarted) return;
  XErrorTrap trap;
  pumpMainContext();
  for (GtkWebView* view : views()) applySize(*view);
}

void failRequest(WebKitURISchemeRequest* request) {
  GError* error = g_error_new_literal(G_IO_ERROR, G_IO_ERROR_NOT_FOUND, "file does not exist");
  webkit_uri_scheme_request_finish_error(request, error);
  g_error_free(error);
}

// Serves one "norvo-ui" request from the UI root of the web view that asks. The URL's host
// (the bundle id) is not used.
void serveSchemeRequest(WebKitURISchemeRequest* request, gpointer) {
  const GtkWebView* view = nullptr;
  WebKitWebView* asking = webkit_uri_scheme_request_get_web_view(request);
  for (const GtkWebView* candidate : views()) {
    if (candidate->webView == asking) view = candidate;
  }
  std::string file;
  if (view != nullptr) {
    GUri* uri =
        g_uri_parse(webkit_uri_scheme_request_get_uri(request), G_URI_FLAGS_ENCODED, nullptr);
    if (uri != nullptr) {
      const auto decoded = percentDecodeUrlPath(g_uri_get_path(uri));
      if (decoded) file = uiSchemeFilePath(view->root, *decoded);
      g_uri_unref(uri);
    }
  }
  gchar* contents = nullptr;
  gsize length = 0;
  if (file.empty() || !g_file_get_contents(file.c_str(), &contents, &length, nullptr)) {
    failRequest(request);
    return;
  }
  const char* mime = uiSchemeMimeType(file);
  GInputStream* stream = g_memory_input_stream_new_from_data(contents, length, g_free);
  WebKitURISchemeResponse* response =
      webkit_uri_scheme_response_new(stream, static_cast<gint64>(length));
  webkit_uri_scheme_response_set_status(response, 200, nullptr);
  webkit_uri_scheme_response_set_content_type(response, mime);
  // Without the header a page's fetch() sees no Content-Type at all.
  SoupMessageHeaders* headers = soup_message_headers_new(SOUP_MESSAGE_HEADERS_RESPONSE);
  const std::string contentType = std::string(mime) + "; charset=" + kUiSchemeTextEncoding;
  soup_message_headers_replace(headers, "Content-Type", contentType.c_str());
  webkit_uri_scheme_response_set_http_headers(response, headers);
  webkit_uri_scheme_request_finish_with_response(request, response);
  g_object_unref(response);
  g_object_unref(stream);
}

WebKitWebContext* webContext() {
  if (gContext == nullptr) {
    gContext = webkit_web_context_new();
    webkit_web_context_register_uri_scheme(gContext, kUiScheme, &serveSchemeRequest, nullptr,
                                           nullptr);
  }
  return gContext;
}

G_GNUC_BEGIN_IGNORE_DEPRECATIONS
void onScriptMessage(WebKitUserContentManager*, WebKitJavascriptResult* result, gpointer data) {
  GtkWebView* view = liveViewById(reinterpret_cast<std::uintptr_t>(data));
  if (view == nullptr || view->host == nullptr) return;
  JSCValue* value = webkit_javascript_result_get_js_value(result);
  if (value == nullptr || !jsc_value_is_string(value)) return;  // the bridge script sends text
  GBytes* bytes = jsc_value_to_string_as_bytes(value);
  gsize size = 0;
  const char* text = static_cast<const char*>(g_bytes_get_data(bytes, &size));
  view->host->handleBridgeMessage(text != nullptr ? text : "", size);
  g_bytes_unref(bytes);
}
G_GNUC_END_IGNORE_DEPRECATIONS

void deliver(std::uint64_t id, std::string_view json) {
  GtkWebView* view = liveViewById(id);
  if (view == nullptr) return;
  const std::string script = bridgeDeliveryScript(json);
  XErrorTrap trap;
  webkit_web_view_evaluate_javascript(view->webView, script.data(),
                                      static_cast<gssize>(script.size()), nullptr, nullptr, nullptr,
                                      nullptr, nullptr);
}

void onPlugDestroyed(GtkWidget*, gpointer data) {
  GtkWebView* view = liveViewById(reinterpret_cast<std::uintptr_t>(data));
  if (view != nullptr) view->plug = nullptr;
}

int pixels(double extent) { return extent >= 1 ? static_cast<int>(extent) : 1; }

void releaseView(GtkWebView* view) {
  if (view->contentManager != nullptr) {
    if (view->messageSignal != 0)
      g_signal_handler_disconnect(view->contentManager, view->messageSignal);
    webkit_user_content_manager_unregister_script_message_handler(view->contentManager,
                                                                  kMessageHandlerName);
  }
  if (view->plug != nullptr) {
    g_signal_handlers_disconnect_by_data(
        view->plug, reinterpret_cast<gpointer>(static_cast<std::uintptr_t>(view->id)));
    gtk_widget_destroy(view->plug);  // takes the web view out of the host's window
    view->plug = nullptr;
  } else if (view->webView != nullptr) {
    gtk_widget_destroy(GTK_WIDGET(view->webView));
  }
  if (view->webView != nullptr) g_object_unref(view->webView);
  if (view->contentManager != nullptr) g_object_unref(view->contentManager);
  delete view;
}

}  // namespace

bool embedBridgedWebView(void* webView, void* parent) {
  GtkWebView* view = liveView(webView);
  const auto window = static_cast<Window>(reinterpret_cast<std::uintptr_t>(parent));
  if (view == nullptr || view->plug != nullptr || window == 0) return false;
  XErrorTrap trap;
  GdkDisplay* display = gdk_display_get_default();
  XWindowAttributes attributes{};
  if (XGetWindowAttributes(GDK_DISPLAY_XDISPLAY(display), window, &attributes) == 0) return false;
  GtkWidget* plug = gtk_plug_new(window);
  g_signal_connect(plug, "destroy", G_CALLBACK(onPlugDestroyed),
                   reinterpret_cast<gpointer>(static_cast<std::uintptr_t>(view->id)));
  gtk_container_add(GTK_CONTAINER(plug), GTK_WIDGET(view->webView));
  gtk_widget_show_all(plug);
  GdkWindow* plugWindow = gtk_widget_get_window(plug);
  if (plugWindow == nullptr) {
    gtk_widget_destroy(plug);
    return false;
  }
  view->plug = plug;
  // No XEmbed on the host's side: map and size the plug here, or nothing shows.
  gdk_window_move_resize(plugWindow, 0, 0, view->width, view->height);
  gdk_window_show(plugWindow);
  return true;
}

void resizeBridgedWebView(void* webView, int width, int height) {
  GtkWebView* view = liveView(webView);
  if (view == nullptr) return;
  view->width = std::max(width, 1);
  view->height = std::max(height, 1);
  XErrorTrap trap;
  if (view->plug == nullptr) {
    gtk_widget_set_size_request(GTK_WIDGET(view->webView), view->width, view->height);
    return;
  }
  applySize(*view);
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
  if (!startGtk()) {
    host->onEditorError(kEditorErrorWebViewAllocation);
    return nullptr;
  }
  XErrorTrap trap;
  auto* view = new GtkWebView();
  view->id = gNextViewId++;
  view->host = host;
  view->root = rootPath;
  view->width = pixels(frame.width);
  view->height = pixels(frame.height);
  const auto tag = reinterpret_cast<gpointer>(static_cast<std::uintptr_t>(view->id));

  view->contentManager = webkit_user_content_manager_new();
  // The handler's signal is connected before the handler is registered.
  view->messageSignal = g_signal_connect(view->contentManager, "script-message-received::norvo",
                                         G_CALLBACK(onScriptMessage), tag);
  WebKitUserScript* script =
      webkit_user_script_new(kBridgeUserScript, WEBKIT_USER_CONTENT_INJECT_TOP_FRAME,
                             WEBKIT_USER_SCRIPT_INJECT_AT_DOCUMENT_START, nullptr, nullptr);
  webkit_user_content_manager_add_script(view->contentManager, script);
  webkit_user_script_unref(script);
  GtkWidget* widget = nullptr;
  if (webkit_user_content_manager_register_script_message_handler(view->contentManager,
                                                                  kMessageHandlerName)) {
    widget = GTK_WIDGET(g_object_new(WEBKIT_TYPE_WEB_VIEW, "web-context", webContext(),
                                     "user-content-manager", view->contentManager, nullptr));
  }
  if (widget == nullptr) {
    releaseView(view);
    host->onEditorError(kEditorErrorWebViewAllocation);
    return nullptr;
  }
  view->webView = WEBKIT_WEB_VIEW(g_object_ref_sink(widget));
  webkit_web_view_set_background_color(view->webView, &kInitialBackground);
  gtk_widget_set_size_request(widget, view->width, view->height);
  views().push_back(view);
  if (gPumpClock == nullptr)
    gPumpClock = norvoStartCadenceClock(&pump, nullptr, kPumpIntervalSeconds);

  const std::uint64_t id = view->id;
  host->setBridgeSink([id](std::string_view json) { deliver(id, json); });
  webkit_web_view_load_uri(view->webView, uiBundleUrl(view->root).c_str());
  host->onEditorOpened();
  return view;
}

void norvoDetachBridgedWebView(void* webView, norvo::BridgeHost* host) {
  using namespace norvo;
  if (host != nullptr) {
    host->onEditorClosed();
    host->setBridgeSink({});
  }
  GtkWebView* view = liveView(webView);
  if (view == nullptr) return;
  XErrorTrap trap;
  auto& all = views();
  all.erase(std::find(all.begin(), all.end(), view));
  releaseView(view);
  pumpMainContext();  // lets GTK finish with the host's window before the host destroys it
  gdk_display_sync(gdk_display_get_default());
  if (all.empty()) {
    norvoStopCadenceClock(gPumpClock);
    gPumpClock = nullptr;
  }
}
