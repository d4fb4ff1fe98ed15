// The controller's interface toward the editor glue (`BridgeHost`) and the bridge sink, the
// callable through which one JSON text reaches the editor page. The web view glue calls the
// host when the page posts a message and when the editor opens, closes or fails; the host
// keeps the sink that the glue installs while a web view exists. Main thread only.
#pragma once

#include <cstddef>
#include <functional>
#include <string_view>

namespace norvo {

// Delivers one JSON text (UTF-8, no terminator needed) to the page. An empty callable means
// "no page": texts sent through it are dropped. Main thread.
using BridgeSink = std::function<void(std::string_view json)>;

class BridgeHost {
 public:
  virtual ~BridgeHost() = default;

  // One text the page posted, as UTF-8 bytes (not necessarily NUL-terminated). Main thread.
  virtual void handleBridgeMessage(const char* text, std::size_t length) = 0;

  // Replaces the stored sink; an empty callable clears it. Main thread.
  virtual void setBridgeSink(BridgeSink sink) = 0;

  // The web view exists and its page is loading. Main thread.
  virtual void onEditorOpened() = 0;

  // The web view is going away; the sink is cleared right after. Main thread.
  virtual void onEditorClosed() = 0;

  // The editor could not be shown; `reason` is one of the texts in editor_failures.h (null
  // reads as "unknown"). Main thread.
  virtual void onEditorError(const char* reason) = 0;
};

}  // namespace norvo
