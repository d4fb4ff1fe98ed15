// The texts with which the editor reports that it cannot be shown: the line on standard error
// and the reasons handed to `BridgeHost::onEditorError`. Any thread (constants).
#pragma once

#include "common/log_line.h"

namespace norvo {

// Written to standard error when the plug-in bundle holds no UI root.
inline constexpr const char* kNoUiBundleLine =
    NORVO_LOG_PREFIX "no UI bundle found; editor disabled\n";

// Reasons for `onEditorError`.
inline constexpr const char* kEditorErrorNoUiBundle = "no ui bundle in plugin";
inline constexpr const char* kEditorErrorNoUiRoot = "no ui root";
inline constexpr const char* kEditorErrorWebViewAllocation = "webview allocation failed";

}  // namespace norvo
