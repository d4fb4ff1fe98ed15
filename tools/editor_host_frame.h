// What the probe offers an attached editor view: IPlugFrame (the view asks to be resized),
// the Linux run loop (Steinberg::Linux::IRunLoop: timers and file descriptors, dispatched by
// `runFor` on the main thread; the probe owns no other thread), and IBridgeObserver, through
// which a Chord editor reports the texts crossing its page bridge. Main thread.
#pragma once

#include <chrono>
#include <functional>
#include <string_view>
#include <vector>

#include "pluginterfaces/base/smartpointer.h"
#include "pluginterfaces/gui/iplugview.h"
#include "tools/bridge_observer.h"
#include "tools/host_window.h"

namespace norvo::probe {

class EditorHostFrame final : public Steinberg::IPlugFrame,
                              public Steinberg::Linux::IRunLoop,
                              public IBridgeObserver {
 public:
  // `toPage` is true for a text delivered to the page, false for one the page posted.
  using BridgeTraffic = std::function<void(bool toPage, std::string_view text)>;

  // `window` must outlive the frame's use by the view.
  EditorHostFrame(HostWindow& window, BridgeTraffic traffic);

  // The view that resizeView may resize (null: none).
  void setView(Steinberg::IPlugView* view) { view_ = view; }

  // Runs the loop for `duration`, or until `done` answers true or the window is closed.
  // Answers false when the user closed the window.
  bool runFor(std::chrono::milliseconds duration, const std::function<bool()>& done = {});

  std::size_t timerCount() const { return timers_.size(); }
  std::size_t eventHandlerCount() const { return handlers_.size(); }

  // IPlugFrame: resizes the window, then tells the view its new size.
  Steinberg::tresult PLUGIN_API resizeView(Steinberg::IPlugView* view,
                                           Steinberg::ViewRect* newSize) override;

  // IRunLoop
  Steinberg::tresult PLUGIN_API registerEventHandler(Steinberg::Linux::IEventHandler* handler,
                                                     Steinberg::Linux::FileDescriptor fd) override;
  Steinberg::tresult PLUGIN_API
  unregisterEventHandler(Steinberg::Linux::IEventHandler* handler) override;
  Steinberg::tresult PLUGIN_API
  registerTimer(Steinberg::Linux::ITimerHandler* handler,
                Steinberg::Linux::TimerInterval milliseconds) override;
  Steinberg::tresult PLUGIN_API unregisterTimer(Steinberg::Linux::ITimerHandler* handler) override;

  // IBridgeObserver
  void PLUGIN_API pageSent(const char* text, Steinberg::int32 length) override;
  void PLUGIN_API pageReceived(const char* text, Steinberg::int32 length) override;

  // FUnknown: one object answers all three interfaces.
  Steinberg::tresult PLUGIN_API queryInterface(const Steinberg::TUID iid, void** obj) override;
  Steinberg::uint32 PLUGIN_API addRef() override { return ++refs_; }
  Steinberg::uint32 PLUGIN_API release() override;

 private:
  using Clock = std::chrono::steady_clock;
  struct Timer {
    std::uint64_t id;
    Steinberg::IPtr<Steinberg::Linux::ITimerHandler> handler;
    std::chrono::milliseconds interval;
    Clock::time_point due;
  };
  struct FdHandler {
    std::uint64_t id;
    Steinberg::IPtr<Steinberg::Linux::IEventHandler> handler;
    int fd;
  };
  void fireDueTimers();

  HostWindow& window_;
  BridgeTraffic traffic_;
  Steinberg::IPlugView* view_ = nullptr;
  std::vector<Timer> timers_;
  std::vector<FdHandler> handlers_;
  std::uint64_t nextId_ = 1;
  Steinberg::uint32 refs_ = 1;
};

}  // namespace norvo::probe
