// The preview's page script and its injection.
#include "tools/ui_page_script.h"

#include <algorithm>
#include <cctype>

namespace norvo::probe {

const char kEditorUserScript[] =
    "(function () {  if (window.norvoHost) { return; }  var handlers = [];  window.norvoHost = {"
    "    postMessage: function (message) {      "
    "window.webkit.messageHandlers.norvo.postMessage(JSON.stringify(message));    },    "
    "onMessage: function (handler) { handlers.push(handler); },    _deliver: function (message) "
    "{      for (var i = 0; i < handlers.length; i += 1) {        try { handlers[i](message); } "
    "catch (error) { console.error(error); }      }    }  };})();";

namespace {

constexpr std::string_view kNativeHandler = "window.webkit.messageHandlers.norvo";
constexpr std::string_view kRelayHandler = "window.__norvoProbeRelay";

// Messages wait until the event stream is open (so no answer can be missed) and go out one
// request at a time (so they arrive in the order the page posted them).
constexpr std::string_view kRelayScript =
    "(function () {"
    "  var queue = [], sending = false, open = false;"
    "  function flush() {"
    "    if (sending || !open || queue.length === 0) { return; }"
    "    sending = true;"
    "    var body = queue.join('\\n'); queue = [];"
    "    fetch('/.norvo-probe/post', { method: 'POST', body: body,"
    "        headers: { 'Content-Type': 'text/plain;charset=utf-8' } })"
    "      .then(function (r) { if (!r.ok) { throw new Error('HTTP ' + r.status); } })"
    "      .catch(function (e) { console.error('norvo-probe relay: ' + e.message); })"
    "      .then(function () { sending = false; flush(); });"
    "  }"
    "  var events = new EventSource('/.norvo-probe/events');"
    "  events.onopen = function () { open = true; flush(); };"
    "  events.onmessage = function (event) {"
    "    if (window.norvoHost) { window.norvoHost._deliver(JSON.parse(event.data)); }"
    "  };"
    "  window.__norvoProbeRelay = { postMessage: function (text) { queue.push(text); flush(); } };"
    "})();";

// Position just after the first tag that starts with `name` (case-insensitive), or npos.
size_t afterTag(std::string_view html, std::string_view name) {
  std::string lower(html);
  std::transform(lower.begin(), lower.end(), lower.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  size_t at = 0;
  while ((at = lower.find(name, at)) != std::string::npos) {
    const size_t next = at + name.size();
    if (next < lower.size() &&
        (lower[next] == '>' || std::isspace(static_cast<unsigned char>(lower[next])))) {
      const size_t close = lower.find('>', at);
      return close == std::string::npos ? std::string::npos : close + 1;
    }
    at = next;
  }
  return std::string::npos;
}

}  // namespace

std::string previewPageScript() {
  std::string user = kEditorUserScript;
  user.replace(user.find(kNativeHandler), kNativeHandler.size(), kRelayHandler);
  return std::string(kRelayScript) + user;
}

std::string injectPreviewScript(std::string_view html) {
  const std::string element = "<script>" + previewPageScript() + "</script>";
  size_t at = afterTag(html, "<head");
  if (at == std::string::npos) at = afterTag(html, "<!doctype");
  if (at == std::string::npos) at = 0;
  std::string out(html.substr(0, at));
  out += element;
  out += html.substr(at);
  return out;
}

}  // namespace norvo::probe
