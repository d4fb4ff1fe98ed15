// Copying C strings into fixed-size, NUL-terminated fields.
#include "common/fixed_text.h"

namespace norvo {

namespace {

bool isContinuationByte(unsigned char byte) noexcept { return (byte & 0xC0u) == 0x80u; }

// Bytes of the sequence a lead byte starts (1 for ASCII and for bytes that lead nothing).
std::size_t sequenceLength(unsigned char lead) noexcept {
  if ((lead & 0xE0u) == 0xC0u) return 2;
  if ((lead & 0xF0u) == 0xE0u) return 3;
  if ((lead & 0xF8u) == 0xF0u) return 4;
  return 1;
}

// The length to keep when the text is cut after `limit` bytes: `limit`, or the start of the
// multi-byte sequence the cut falls into. Only the last three bytes before the cut can belong
// to such a sequence.
std::size_t cutOutsideCharacter(const char* text, std::size_t limit) noexcept {
  if (!isContinuationByte(static_cast<unsigned char>(text[limit]))) return limit;
  for (std::size_t back = 1; back <= 3 && back <= limit; ++back) {
    const auto byte = static_cast<unsigned char>(text[limit - back]);
    if (isContinuationByte(byte)) continue;
    return sequenceLength(byte) > back ? limit - back : limit;
  }
  return limit;
}

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
    if (text[length] != '\0') {
      length = cutOutsideCharacter(text, length);
    }
    for (std::size_t i = 0; i < length; ++i) {
      out[i] = text[i];
    }
  }
  out[length] = '\0';
  return length;
}

}  // namespace norvo
