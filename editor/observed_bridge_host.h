// A `BridgeHost` that passes everything on to another host and reports every text crossing
// the bridge to an observer: the texts the page posts and the texts delivered to the page.
// A test host puts it between the web view and the controller to watch the traffic.
// Main thread only.
#pragma once

#include <functional>
#include <string_view>
#include <utility>

#include "editor/bridge_host.h"

namespace norvo {

class ObservedBridgeHost final : public BridgeHost {
 public:
  // `toPage` is true for a text delivered to the page, false for one the page posted.
  using Observer = std::function<void(bool toPage, std::string_view text)>;

  ObservedBridgeHost(BridgeHost& inner, Observer observer)
      : inner_(inner), observer_(std::move(observer)) {}

  void handleBridgeMessage(const char* text, std::size_t length) override {
    observer_(false, std::string_view(text, length));
    inner_.handleBridgeMessage(text, length);
  }
  void setBridgeSink(BridgeSink sink) override {
    if (!sink) {
      inner_.setBridgeSink({});
      return;
    }
    // The observer is copied into the sink: the inner host may keep it past this object.
    inner_.setBridgeSink([observer = observer_, sink = std::move(sink)](std::string_view json) {
      observer(true, json);
      sink(json);
    });
  }
  void onEditorOpened() override { inner_.onEditorOpened(); }
  void onEditorClosed() override { inner_.onEditorClosed(); }
  void onEditorError(const char* reason) override { inner_.onEditorError(reason); }

 private:
  BridgeHost& inner_;
  Observer observer_;
};

}  // namespace norvo
