// The page bridge's injected user script and delivery script.
#include "editor/bridge_script.h"

namespace norvo {

const char* const kBridgeUserScript =
    "(function () {  if (window.norvoHost) { return; }  var handlers = [];  window.norvoHost = {"
    "    postMessage: function (message) {      "
    "window.webkit.messageHandlers.norvo.postMessage(JSON.stringify(message));    },"
    "    onMessage: function (handler) { handlers.push(handler); },"
    "    _deliver: function (message) {"
    "      for (var i = 0; i < handlers.length; i += 1) {"
    "        try { handlers[i](message); } catch (error) { console.error(error); }      }    }"
    "  };})();";

std::string bridgeDeliveryScript(std::string_view json) {
  static constexpr std::string_view kHead = "window.norvoHost && window.norvoHost._deliver(";
  static constexpr std::string_view kTail = ");";
  std::string script;
  script.reserve(kHead.size() + json.size() + kTail.size());
  script.append(kHead).append(json).append(kTail);
  return script;
}

}  // namespace norvo
