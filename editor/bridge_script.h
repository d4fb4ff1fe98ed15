// The two scripts of the page bridge: the user script injected at document start into the
// page's main frame (it defines `window.norvoHost`), and the script text that delivers one JSON
// text to the page's handlers. Any thread.
#pragma once

#include <string>
#include <string_view>

namespace norvo {

// The injected user script, one line. The page sends with window.norvoHost.postMessage(object)
// (the object crosses as JSON text) and receives through handlers registered with
// window.norvoHost.onMessage(handler); a throwing handler is reported on the console and the
// others still run.
extern const char* const kBridgeUserScript;

// "window.norvoHost && window.norvoHost._deliver(" + json + ");": the JSON text is spliced in
// as a script expression, so the page's handlers receive a parsed object.
std::string bridgeDeliveryScript(std::string_view json);

}  // namespace norvo
