// Hands the host's run loop (Steinberg::Linux::IRunLoop, from the editor's IPlugFrame) to the
// web view glue as the glue's run-loop table: each timer the glue starts becomes an
// ITimerHandler registered with the host, each file descriptor it watches an IEventHandler.
// Main thread only.
#pragma once

#include <vector>

#include "editor/platform/host_run_loop.h"
#include "pluginterfaces/base/smartpointer.h"
#include "pluginterfaces/gui/iplugview.h"

namespace norvo {

class HostRunLoopAdapter {
 public:
  // Keeps a reference to the run loop until destruction.
  explicit HostRunLoopAdapter(Steinberg::Linux::IRunLoop* runLoop);
  // Unregisters every timer and event handler still registered with the host.
  ~HostRunLoopAdapter();
  HostRunLoopAdapter(const HostRunLoopAdapter&) = delete;
  HostRunLoopAdapter& operator=(const HostRunLoopAdapter&) = delete;

  // The table to offer to the glue (offerHostRunLoop) and to withdraw before destruction.
  const NorvoHostRunLoop* table() const { return &table_; }

  // Timers and event handlers currently registered with the host.
  std::size_t timerCount() const { return timers_.size(); }
  std::size_t eventHandlerCount() const { return handlers_.size(); }

 private:
  class Timer;
  class FdHandler;
  static void* startTimer(void* context, std::uint32_t milliseconds, void (*fire)(void*),
                          void* userData);
  static void stopTimer(void* context, void* timer);
  static void* watchFd(void* context, int fd, void (*fire)(void*), void* userData);
  static void unwatchFd(void* context, void* watch);

  Steinberg::IPtr<Steinberg::Linux::IRunLoop> runLoop_;
  NorvoHostRunLoop table_{};
  std::vector<Timer*> timers_;
  std::vector<FdHandler*> handlers_;
};

}  // namespace norvo
