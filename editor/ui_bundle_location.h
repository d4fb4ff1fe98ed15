// Where the editor page lives: the UI root (Contents/Resources/ui) of the plug-in bundle that
// contains the module, found from the module's own file path. The module file lies two levels
// below Contents (Contents/x86_64-linux/Chord.so on Linux, Contents/MacOS/Chord on macOS).
// Any thread; touches only the file system and its own buffers.
#pragma once

#include <string>

#include "common/export.h"

namespace norvo {

// The bundle's Contents folder for a module file path (absolute, standardized); empty for an
// empty path.
std::string uiContentsFolderForModulePath(const std::string& modulePath);

// The UI root for a module file path, standardized (no "." or ".." components, no doubled
// separators); empty unless Contents/Resources/ui exists and is a directory.
std::string uiRootForModulePath(const std::string& modulePath);

// The manifest's path: the Contents folder followed by "/Resources/ui/manifest.json"; empty
// for an empty module path.
std::string uiManifestPathForModulePath(const std::string& modulePath);

// The bundle folder for a module file path: "<bundle>/Contents/<arch>/<file>" gives "<bundle>"
// (the folder above the last "Contents" folder that holds the module's folder); a module outside
// a bundle gives its own path. Empty for an empty path.
std::string bundleFolderForModulePath(const std::string& modulePath);

// This module's file path, bundle folder, UI root and manifest path (empty when unknown).
std::string pluginModulePath();
std::string pluginBundlePath();
std::string pluginUiRoot();
std::string pluginUiManifestPath();

}  // namespace norvo

// Exported C entry points.
// The UI root of the bundle containing the image at `address`, or null when there is none.
// The text lives in a per-thread buffer that the next call on the same thread replaces.
extern "C" NORVO_EXPORT const char* norvoUiRootForImageAddress(const void* address);

// This module's UI root, empty when there is none. The text lives in one process-wide buffer
// that the next call replaces: copy it before calling again. Main thread.
extern "C" NORVO_EXPORT const char* norvoPluginUiRootForDiagnostics(void);
