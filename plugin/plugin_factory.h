// The module's class factory: the processor class "Chord", then the controller class
// "Chord Controller". Main thread.
#pragma once

#include "common/export.h"
#include "pluginterfaces/base/ipluginbase.h"

// Exported: returns the module's factory, creating it and registering the two classes on the
// first call; every call adds one reference the caller releases.
extern "C" NORVO_EXPORT Steinberg::IPluginFactory* PLUGIN_API GetPluginFactory();
