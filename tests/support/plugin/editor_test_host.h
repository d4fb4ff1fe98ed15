// The host side of an editor test: a fake controller (`BridgeHost`) that records what the
// page sends and what the glue reports, and a host that opens the editor view in the probe's
// own X11 window with the probe's frame and run loop. Test thread (the host's main thread).
#pragma once

#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "editor/bridge_host.h"
#include "plugin/web_view_plug_view.h"
#include "tools/editor_host_frame.h"
#include "tools/host_window.h"

namespace norvo::test {

inline constexpr std::uint32_t kHostBackground = 0x400000;
inline constexpr std::chrono::milliseconds kPageTimeout{20000};

class FakeBridgeHost final : public BridgeHost {
 public:
  void handleBridgeMessage(const char* text, std::size_t length) override;
  void setBridgeSink(BridgeSink s) override { sink = std::move(s); }
  void onEditorOpened() override { ++opened; }
  void onEditorClosed() override { ++closed; }
  void onEditorError(const char* reason) override;

  // The first text from the page whose type is `type`, or empty.
  std::string message(const std::string& type) const;
  // How many texts of that type the page sent.
  std::size_t count(const std::string& type) const;

  std::vector<std::string> fromPage;
  BridgeSink sink;
  int opened = 0;
  int closed = 0;
  std::vector<std::string> errors;
};

// The host side of one open editor: a window, the frame with its run loop, the view.
class EditorHost {
 public:
  EditorHost(BridgeHost& controller, const std::string& root, CadenceTick tick = {});
  ~EditorHost();

  Steinberg::IPlugView& view() { return *view_; }
  probe::HostWindow& window() { return *window_; }
  probe::EditorHostFrame& frame() { return *frame_; }

  // A new window at the view's size, then the view attached to it (to a window that no longer
  // exists with `windowGoneFirst`).
  Steinberg::tresult attach(bool windowGoneFirst = false);
  void remove();
  // Runs the host loop until `done` or the timeout; answers `done()`.
  bool runUntil(const std::function<bool()>& done,
                std::chrono::milliseconds timeout = kPageTimeout);
  void run(std::chrono::milliseconds duration);
  // Asks for a new size as a host's window would (checkSizeConstraint, then resizeView).
  Steinberg::tresult resize(int width, int height);

 private:
  Steinberg::IPtr<Steinberg::IPlugView> view_;
  std::unique_ptr<probe::HostWindow> window_;
  Steinberg::IPtr<probe::EditorHostFrame> frame_;
  bool attached_ = false;
};

// Share of the image's pixels that have `color`.
double shareOf(const probe::RgbImage& image, std::uint32_t color);

}  // namespace norvo::test
