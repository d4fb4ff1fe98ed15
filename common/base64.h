// Standard base64 (RFC 4648 section 4, "=" padding, no line breaks) for opaque bytes that
// travel inside JSON strings. Any thread; allocates.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace norvo {

// Appends the base64 text of `count` bytes; nothing for zero bytes.
void base64Append(std::string& out, const std::uint8_t* bytes, std::size_t count);

// The 6-bit value of one alphabet character, or -1 for anything else ("-" and "_" included).
int base64Digit(char c) noexcept;

// Decodes `text` into `out`. Fails when the length is not a multiple of 4, the decoded size
// would exceed `maxBytes` (checked before anything is allocated; `out` untouched), or any
// character is out of place. After a failure `out` must be discarded.
bool base64Decode(const std::string& text, std::vector<std::uint8_t>& out, std::size_t maxBytes);

}  // namespace norvo
