// Parses one JSON text the page sent into a `BridgeMessage`. Main thread (it allocates).
#pragma once

#include <cstddef>
#include <optional>
#include <string_view>

#include "editor/bridge_message.h"

namespace norvo {

// Parses one incoming text of `length` bytes (need not be NUL-terminated; may hold NUL bytes).
// On success `message` is replaced by a fresh message filled from the text; on failure (the
// text is malformed) `message` is untouched. Main thread.
bool parseBridgeMessage(const char* text, std::size_t length, BridgeMessage& message);

// The same, answering the message only on success. Main thread.
std::optional<BridgeMessage> parseBridgeMessage(std::string_view text);

}  // namespace norvo
