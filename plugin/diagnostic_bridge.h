// The diagnostic bridge: four exported C functions through which an outside harness (a test
// host, norvo-probe) talks to the edit controller exactly as the editor page does, without a web
// view: page messages in, page-bound texts out through a callback, cadence ticks. Each takes the
// controller as the FUnknown the host got from the factory. Main thread, like the controller.
#pragma once

#include <cstddef>

#include "common/export.h"
#include "pluginterfaces/base/funknown.h"

// The version of this C interface: 2.
extern "C" NORVO_EXPORT int norvoDiagnosticBridgeAbiVersion(void);

// With a callback, the controller's bridge sink becomes a call of callback(userData, text,
// length) for every page-bound text; without one, the sink is cleared. 1 on success, 0 when
// `controller` is missing or is not this module's edit controller.
extern "C" NORVO_EXPORT int norvoInstallDiagnosticBridgeSink(
    Steinberg::FUnknown* controller,
    void (*callback)(void* userData, const char* text, std::size_t length), void* userData);

// Hands one page message (UTF-8 JSON, `length` bytes) to the controller. 1, or 0 when the
// controller or the text is missing.
extern "C" NORVO_EXPORT int norvoDeliverDiagnosticBridgeMessage(Steinberg::FUnknown* controller,
                                                                const char* text,
                                                                std::size_t length);

// Runs one cadence tick of the controller. 1, or 0 when the controller is missing.
extern "C" NORVO_EXPORT int norvoTickDiagnosticCadence(Steinberg::FUnknown* controller);
