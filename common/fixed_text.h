// Fixed-size text fields: copying a C string into a NUL-terminated buffer, cut to fit.
// Any thread (the audio thread included): no allocation, no locks.
#pragma once

#include <cstddef>

namespace norvo {

// Copies `text` (null = empty) into `out`, a buffer of `capacity` bytes (capacity >= 1), keeping
// at most capacity - 1 bytes and always writing the terminator. A cut never splits a UTF-8
// character: when the limit falls inside a multi-byte sequence, that whole sequence is left out,
// so a well-formed text stays well-formed for the JSON writers. Bytes that belong to no
// character (stray continuation bytes) are copied like any other byte; they never cost a complete
// character before them. Returns the bytes kept.
std::size_t copyFixedText(char* out, std::size_t capacity, const char* text) noexcept;

// Same, for an array field.
template <std::size_t N>
std::size_t copyFixedText(char (&out)[N], const char* text) noexcept {
  return copyFixedText(out, N, text);
}

}  // namespace norvo
