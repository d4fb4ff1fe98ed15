// The fake controller and the host of the editor tests.
#include "support/plugin/editor_test_host.h"

namespace norvo::test {

using namespace Steinberg;

void FakeBridgeHost::handleBridgeMessage(const char* text, std::size_t length) {
  fromPage.emplace_back(text, length);
}

void FakeBridgeHost::onEditorError(const char* reason) {
  errors.push_back(reason != nullptr ? reason : "unknown");
}

std::string FakeBridgeHost::message(const std::string& type) const {
  const std::string key = "{\"type\":\"" + type + "\"";
  for (const std::string& text : fromPage) {
    if (text.rfind(key, 0) == 0) return text;
  }
  return {};
}

std::size_t FakeBridgeHost::count(const std::string& type) const {
  std::size_t n = 0;
  const std::string key = "{\"type\":\"" + type + "\"";
  for (const std::string& text : fromPage) n += text.rfind(key, 0) == 0 ? 1 : 0;
  return n;
}

EditorHost::EditorHost(BridgeHost& controller, const std::string& root, CadenceTick tick)
    : view_(owned(createWebViewEditor(&controller, root.c_str(), std::move(tick)))) {}

EditorHost::~EditorHost() {
  if (attached_) view_->removed();
  if (view_) view_->setFrame(nullptr);
}

tresult EditorHost::attach(bool windowGoneFirst) {
  ViewRect rect;
  view_->getSize(&rect);
  window_ = std::make_unique<probe::HostWindow>(rect.getWidth(), rect.getHeight(), kHostBackground,
                                                "editor test");
  frame_ = owned(new probe::EditorHostFrame(*window_, {}));
  frame_->setView(view_);
  view_->setFrame(frame_);
  const auto window = window_->window();
  if (windowGoneFirst) window_->destroyWindow();
  const tresult result =
      view_->attached(reinterpret_cast<void*>(window), kPlatformTypeX11EmbedWindowID);
  attached_ = result == kResultOk;
  return result;
}

void EditorHost::remove() {
  view_->removed();
  attached_ = false;
}

bool EditorHost::runUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout) {
  frame_->runFor(timeout, done);
  return done();
}

void EditorHost::run(std::chrono::milliseconds duration) { frame_->runFor(duration); }

tresult EditorHost::resize(int width, int height) {
  ViewRect rect(0, 0, width, height);
  view_->checkSizeConstraint(&rect);
  return frame_->resizeView(view_, &rect);
}

double shareOf(const probe::RgbImage& image, std::uint32_t color) {
  if (image.width == 0) return 0;
  long hits = 0;
  for (int y = 0; y < image.height; ++y) {
    for (int x = 0; x < image.width; ++x) hits += image.pixel(x, y) == color ? 1 : 0;
  }
  return static_cast<double>(hits) / (static_cast<double>(image.width) * image.height);
}

}  // namespace norvo::test
