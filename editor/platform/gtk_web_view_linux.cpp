// The editor page in WebKitGTK 4.1 inside a GtkPlug mapped into a foreign X11 window.
//
// One web context per web view (the helper process holds one web view); each context has its
// own network process and each view its own web process. A VST 3 host is not an XEmbed
// embedder, so the plug window is mapped and sized here; its size is re-applied regularly
// (keepSize), as GTK does not always follow a shrink. X errors never end the helper: a trap
// that is never popped covers the whole process (the host may destroy its window at any time).
#include "editor/platform/gtk_web_view.h"

#include <gdk/gdkx.h>
#include <gtk/gtk.h>
#include <gtk/gtkx.h>
#include <webkit2/webkit2.h>

#include <algorithm>
#include <utility>

#include "editor/bridge_script.h"
#include "editor/ui_bundle_id.h"
#include "editor/ui_scheme.h"

namespace norvo {

namespace {

constexpr const char* kMessageHandlerName = "norvo";
// Painted until the page's first frame: the page's own background, so the host never flashes
// GTK's light default.
constexpr GdkRGBA kInitialBackground = {0x1d / 255.0, 0x1f / 255.0, 0x24 / 255.0, 1.0};

void failRequest(WebKitURISchemeRequest* request) {
  GError* error = g_error_new_literal(G_IO_ERROR, G_IO_ERROR_NOT_FOUND, "file does not exist");
  webkit_uri_scheme_request_finish_error(request, error);
  g_error_free(error);
}

}  // namespace

struct GtkWebView::State {
  std::string root;
  int width = 1;
  int height = 1;
  Events events;
  WebKitWebContext* context = nullptr;
  WebKitUserContentManager* contentManager = nullptr;
  WebKitWebView* webView = nullptr;
  GtkWidget* plug = nullptr;  // cleared when GTK destroys it with the host's window
  bool parentGoneReported = false;

  // Serves one "norvo-ui" request from the UI root. The URL's host (the bundle id) is not used.
  static void serveSchemeRequest(WebKitURISchemeRequest* request, gpointer data) {
    const State* self = static_cast<const State*>(data);
    std::string file;
    GUri* uri =
        g_uri_parse(webkit_uri_scheme_request_get_uri(request), G_URI_FLAGS_ENCODED, nullptr);
    if (uri != nullptr) {
      const auto decoded = percentDecodeUrlPath(g_uri_get_path(uri));
      if (decoded) file = uiSchemeFilePath(self->root, *decoded);
      g_uri_unref(uri);
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

  G_GNUC_BEGIN_IGNORE_DEPRECATIONS
  static void onScriptMessage(WebKitUserContentManager*, WebKitJavascriptResult* result,
                              gpointer data) {
    State* self = static_cast<State*>(data);
    JSCValue* value = webkit_javascript_result_get_js_value(result);
    if (value == nullptr || !jsc_value_is_string(value)) return;  // the bridge script sends text
    GBytes* bytes = jsc_value_to_string_as_bytes(value);
    gsize size = 0;
    const char* text = static_cast<const char*>(g_bytes_get_data(bytes, &size));
    if (self->events.pageMessage)
      self->events.pageMessage(std::string_view(text != nullptr ? text : "", size));
    g_bytes_unref(bytes);
  }
  G_GNUC_END_IGNORE_DEPRECATIONS

  static void onPlugDestroyed(GtkWidget*, gpointer data) {
    State* self = static_cast<State*>(data);
    self->plug = nullptr;
    if (!self->parentGoneReported && self->events.parentGone) {
      self->parentGoneReported = true;
      self->events.parentGone();
    }
  }

  void applySize() {
    if (plug == nullptr) return;
    GdkWindow* window = gtk_widget_get_window(plug);
    if (window == nullptr) return;
    GtkWidget* web = GTK_WIDGET(webView);
    if (gdk_window_get_width(window) == width && gdk_window_get_height(window) == height &&
        gtk_widget_get_allocated_width(web) == width &&
        gtk_widget_get_allocated_height(web) == height) {
      return;
    }
    gtk_widget_set_size_request(web, width, height);
    gtk_window_resize(GTK_WINDOW(plug), width, height);
    gdk_window_move_resize(window, 0, 0, width, height);
    // GTK allocates a window's child only when X confirms the window's new size; a size the
    // window already has (we resized it ourselves) is never confirmed, and a shrink then stays
    // unallocated. Allocating directly makes the web view follow at once.
    gtk_widget_get_preferred_size(plug, nullptr, nullptr);
    GtkAllocation allocation{0, 0, width, height};
    gtk_widget_size_allocate(plug, &allocation);
  }
};

bool GtkWebView::startGtk(std::string& error) {
  static bool started = false;
  if (started) return true;
  // The view lives in an X11 window, so GDK must talk X11 even on a Wayland desktop.
  gdk_set_allowed_backends("x11");
  if (!gtk_init_check(nullptr, nullptr)) {
    error = "cannot open the X display";
    return false;
  }
  GdkDisplay* display = gdk_display_get_default();
  if (display == nullptr || !GDK_IS_X11_DISPLAY(display)) {
    error = "the web editor needs an X11 display";
    return false;
  }
  // Never popped: an X error (the host destroying its window under ours, say) must not end
  // the helper through GDK's default handler.
  gdk_x11_display_error_trap_push(display);
  started = true;
  return true;
}

GtkWebView::GtkWebView(std::string root, int width, int height, Events events)
    : state_(std::make_unique<State>()) {
  State& s = *state_;
  s.root = std::move(root);
  s.width = std::max(width, 1);
  s.height = std::max(height, 1);
  s.events = std::move(events);

  s.context = webkit_web_context_new();
  webkit_web_context_register_uri_scheme(s.context, kUiScheme, &State::serveSchemeRequest, &s,
                                         nullptr);
  s.contentManager = webkit_user_content_manager_new();
  // The handler's signal is connected before the handler is registered.
  g_signal_connect(s.contentManager, "script-message-received::norvo",
                   G_CALLBACK(&State::onScriptMessage), &s);
  WebKitUserScript* script =
      webkit_user_script_new(kBridgeUserScript, WEBKIT_USER_CONTENT_INJECT_TOP_FRAME,
                             WEBKIT_USER_SCRIPT_INJECT_AT_DOCUMENT_START, nullptr, nullptr);
  webkit_user_content_manager_add_script(s.contentManager, script);
  webkit_user_script_unref(script);
  webkit_user_content_manager_register_script_message_handler(s.contentManager,
                                                              kMessageHandlerName);
  GtkWidget* widget = GTK_WIDGET(g_object_new(WEBKIT_TYPE_WEB_VIEW, "web-context", s.context,
                                              "user-content-manager", s.contentManager, nullptr));
  s.webView = WEBKIT_WEB_VIEW(g_object_ref_sink(widget));
  webkit_web_view_set_background_color(s.webView, &kInitialBackground);
  gtk_widget_set_size_request(widget, s.width, s.height);
}

GtkWebView::~GtkWebView() {
  State& s = *state_;
  if (s.plug != nullptr) {
    g_signal_handlers_disconnect_by_data(s.plug, &s);
    gtk_widget_destroy(s.plug);
  } else {
    gtk_widget_destroy(GTK_WIDGET(s.webView));
  }
  g_signal_handlers_disconnect_by_data(s.contentManager, &s);
  webkit_user_content_manager_unregister_script_message_handler(s.contentManager,
                                                                kMessageHandlerName);
  g_object_unref(s.webView);
  g_object_unref(s.contentManager);
  g_object_unref(s.context);
}

void GtkWebView::load() {
  webkit_web_view_load_uri(state_->webView, uiBundleUrl(state_->root).c_str());
}

bool GtkWebView::embed(unsigned long window, std::string& error) {
  State& s = *state_;
  if (s.plug != nullptr) {
    error = "the web view is already embedded";
    return false;
  }
  GdkDisplay* display = gdk_display_get_default();
  XWindowAttributes attributes{};
  if (window == 0 ||
      XGetWindowAttributes(GDK_DISPLAY_XDISPLAY(display), window, &attributes) == 0) {
    error = "the host's window " + std::to_string(window) + " does not exist";
    return false;
  }
  GtkWidget* plug = gtk_plug_new(window);
  g_signal_connect(plug, "destroy", G_CALLBACK(&State::onPlugDestroyed), &s);
  gtk_container_add(GTK_CONTAINER(plug), GTK_WIDGET(s.webView));
  gtk_widget_show_all(plug);
  GdkWindow* plugWindow = gtk_widget_get_window(plug);
  if (plugWindow == nullptr) {
    g_signal_handlers_disconnect_by_data(plug, &s);
    gtk_widget_destroy(plug);
    error = "GTK could not create the plug window";
    return false;
  }
  s.plug = plug;
  // No XEmbed on the host's side: map and size the plug here, or nothing shows.
  gdk_window_move_resize(plugWindow, 0, 0, s.width, s.height);
  gdk_window_show(plugWindow);
  gdk_display_flush(display);
  return true;
}

void GtkWebView::resize(int width, int height) {
  State& s = *state_;
  s.width = std::max(width, 1);
  s.height = std::max(height, 1);
  if (s.plug == nullptr) {
    gtk_widget_set_size_request(GTK_WIDGET(s.webView), s.width, s.height);
    return;
  }
  s.applySize();
}

void GtkWebView::keepSize() { state_->applySize(); }

void GtkWebView::deliver(std::string_view json) {
  const std::string script = bridgeDeliveryScript(json);
  webkit_web_view_evaluate_javascript(state_->webView, script.data(),
                                      static_cast<gssize>(script.size()), nullptr, nullptr, nullptr,
                                      nullptr, nullptr);
}

}  // namespace norvo
