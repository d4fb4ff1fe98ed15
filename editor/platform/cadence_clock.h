// The cadence clock: a repeating main-thread timer for the controller's cadence tick, the
// editor view's own tick and the web view's service timer. Exported from the module as C
// functions.
// Main thread only.
#pragma once

#include "common/export.h"

// Starts a repeating timer that calls callback(userData) on the main thread; an interval of 0
// or less means 1/30 s. Answers the timer's handle, or null for a missing callback. On Linux
// the timer runs on the host's run loop (host_run_loop.h) and stays dormant while none is known.
extern "C" NORVO_EXPORT void* norvoStartCadenceClock(void (*callback)(void* userData),
                                                     void* userData, double intervalSeconds);

// Stops and releases a timer; nothing for null or for a handle that is not a running clock.
extern "C" NORVO_EXPORT void norvoStopCadenceClock(void* timer);
