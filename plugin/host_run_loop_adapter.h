// Hands the host's run loop (Steinberg::Linux::IRunLoop, from the editor's IPlugFrame) to the
// web view glue as the glue's run-loop table: each timer the glue starts becomes an
// ITimerHandler registered with the host. Main thread only.
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
  // Unregisters every timer still running on the host.
  ~HostRunLoopAdapter();
  HostRunLoopAdapter(const HostRunLoopAdapter&) = delete;
  HostRunLoopAdapter& operator=(const HostRunLoopAdapter&) = delete;

  // The table to offer to the glue (offerHostRunLoop) and to withdraw before destruction.
  const NorvoHostRunLoop* table() const { return &table_; }

  // Timers currently registered with the host.
  std::size_t timerCount() const { return timers_.size(); }

 private:
  class Timer;
  static void* startTimer(void* context, std::uint32_t milliseconds, void (*fire)(void*),
                          void* userData);
  static void stopTimer(void* context, void* timer);

  Steinberg::IPtr<Steinberg::Linux::IRunLoop> runLoop_;
  NorvoHostRunLoop table_{};
  std::vector<Timer*> timers_;
};

}  // namespace norvo
