// Main-thread timers on Linux come from the host: a VST 3 host offers its run loop
// (Steinberg::Linux::IRunLoop) through the editor's IPlugFrame, and some hosts through the
// host context. The glue sees a run loop only through this small C table, so it needs no SDK
// header; the VST 3 layer adapts the host's IRunLoop to it.
//
// The glue keeps the run loops it has been offered. Every cadence clock
// (norvoStartCadenceClock) and every file descriptor watch (the web view's connection to its
// helper process) runs on the newest known run loop: a newly offered run loop (a view's, when the
// view attaches) takes every one over, and when a run loop is withdrawn its tasks move back to
// the newest one left. While no run loop is known a clock or watch is dormant: it exists, costs
// nothing and does not fire, and starts as soon as a run loop is offered. So a controller that
// starts its clock in `initialize` in a host that offers no run loop to it gets ticks only
// while an editor is open (the editor's frame offers one). Without any run loop the web view's
// messages cannot be read, and creating it fails.
// Main thread only.
#pragma once

#include <cstdint>

extern "C" {

// One host run loop. `startTimer` starts a repeating timer that calls fire(userData) every
// `milliseconds` on the main thread and answers its handle (null when the host refuses);
// `stopTimer` stops one. `watchFd` (null when the run loop has no event handlers) starts calling
// fire(userData) on the main thread whenever `fd` is readable or hung up and answers a handle
// (null when the host refuses); `unwatchFd` stops one. `context` identifies the run loop.
struct NorvoHostRunLoop {
  void* context;
  void* (*startTimer)(void* context, std::uint32_t milliseconds, void (*fire)(void* userData),
                      void* userData);
  void (*stopTimer)(void* context, void* timer);
  void* (*watchFd)(void* context, int fd, void (*fire)(void* userData), void* userData);
  void (*unwatchFd)(void* context, void* watch);
};
}

namespace norvo {

// Makes a run loop known (a second offer of the same context counts once, by a reference
// count). Every clock and watch moves onto a newly known run loop; one it refuses stays where
// it was. The table must stay valid until it is withdrawn. Main thread.
void offerHostRunLoop(const NorvoHostRunLoop* runLoop);

// Takes one offer back. Once every offer of that context is withdrawn, the clocks running on
// it are stopped there and moved to the newest run loop left, or go dormant.
// Main thread.
void withdrawHostRunLoop(const NorvoHostRunLoop* runLoop);

// Whether any run loop is known. Main thread.
bool hostRunLoopKnown();

// Starts watching `fd` for input: callback(userData) runs on the main thread whenever the fd is
// readable or hung up, from the run loop's event handlers where it has them, otherwise from a
// timer every `fallbackMilliseconds` (at least 1). The callback reads without blocking and
// must stop the watch once the fd is hung up (a host's loop keeps reporting it). Answers the
// watch's handle, or null for a negative fd or a missing callback. Main thread.
void* startFdWatch(int fd, void (*callback)(void* userData), void* userData,
                   std::uint32_t fallbackMilliseconds);

// Stops and releases a watch; nothing for null or for a handle that is not a running watch.
// Main thread.
void stopFdWatch(void* watch);

// Whether a watch is served by the run loop's event handlers right now (false: by a timer, or
// dormant). Main thread.
bool fdWatchIsEventDriven(const void* watch);

// The interval a cadence clock runs at for a requested interval in seconds: 1/30 s (33 ms)
// for 0 or less, otherwise the interval in whole milliseconds, at least 1. Any thread.
std::uint32_t cadenceClockMilliseconds(double intervalSeconds);

}  // namespace norvo
