// Copying C strings into fixed-size, NUL-terminated fields.
#include "diagnostics/fixed_text.h"

namespace norvo {

namespace {

bool isContinuationByte(unsigned char byte) noexcept { return (byte & 0xC0u) == 0x80u; }

}  // namespace

std::size_t copyFixedText(char* out, std::size_t capacity, const char* text) noexcept {
  if (out == nullptr || capacity == 0) {
    return 0;
  }
  std::size_t length = 0;
  if (text != nullptr) {
    while (length + 1 < capacity && text[length] != '\0') {
      ++length;
    }
    // Cut inside a multi-byte character: step back to the character's lead byte and drop it.
    if (text[length] != '\0' && isContinuationByte(static_cast<unsigned char>(text[length]))) {
      while (length > 0 && isContinuationByte(static_cast<unsigned char>(text[length]))) {
        --length;
      }
    }
    for (std::size_t i = 0; i < length; ++i) {
      out[i] = text[i];
    }
  }
  out[length] = '\0';
  return length;
}

}  // namespace norvo
