// Standard base64 with "=" padding: encoder, digit table and a strict decoder with a size cap.
// Any thread; allocates.
#include "common/base64.h"

namespace norvo {
namespace {

constexpr char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

}  // namespace

void base64Append(std::string& out, const std::uint8_t* bytes, std::size_t count) {
  // Appends only: growing the caller's string is left to its own growth policy, so many
  // small appends to one document stay linear.
  if (count == 0 || bytes == nullptr) return;
  for (std::size_t i = 0; i < count; i += 3) {
    const std::size_t left = count - i;
    const std::uint32_t b0 = bytes[i];
    const std::uint32_t b1 = left > 1 ? bytes[i + 1] : 0;
    const std::uint32_t b2 = left > 2 ? bytes[i + 2] : 0;
    const std::uint32_t v = (b0 << 16) | (b1 << 8) | b2;
    out.push_back(kAlphabet[(v >> 18) & 63]);
    out.push_back(kAlphabet[(v >> 12) & 63]);
    out.push_back(left > 1 ? kAlphabet[(v >> 6) & 63] : '=');
    out.push_back(left > 2 ? kAlphabet[v & 63] : '=');
  }
}

int base64Digit(char c) noexcept {
  if (c >= 'A' && c <= 'Z') return c - 'A';
  if (c >= 'a' && c <= 'z') return c - 'a' + 26;
  if (c >= '0' && c <= '9') return c - '0' + 52;
  if (c == '+') return 62;
  if (c == '/') return 63;
  return -1;
}

bool base64Decode(const std::string& text, std::vector<std::uint8_t>& out, std::size_t maxBytes) {
  const std::size_t length = text.size();
  if (length % 4 != 0) return false;
  if (length == 0) {
    out.clear();
    return true;
  }
  std::size_t padding = 0;
  if (text[length - 1] == '=') ++padding;
  if (text[length - 2] == '=') ++padding;
  const std::size_t expected = length / 4 * 3 - padding;
  if (expected > maxBytes) return false;  // before anything is allocated

  out.clear();
  out.reserve(expected);
  for (std::size_t i = 0; i < length; i += 4) {
    const bool lastGroup = i + 4 == length;
    const int d1 = base64Digit(text[i]);
    const int d2 = base64Digit(text[i + 1]);
    if (d1 < 0 || d2 < 0) return false;
    int d3 = base64Digit(text[i + 2]);
    int d4 = base64Digit(text[i + 3]);
    if (d3 < 0) {
      if (!(lastGroup && text[i + 2] == '=')) return false;
      d3 = 0;
    }
    if (d4 < 0) {
      if (!(lastGroup && text[i + 3] == '=')) return false;
      d4 = 0;
    }
    const std::uint32_t v = (static_cast<std::uint32_t>(d1) << 18) |
                            (static_cast<std::uint32_t>(d2) << 12) |
                            (static_cast<std::uint32_t>(d3) << 6) | static_cast<std::uint32_t>(d4);
    const std::uint8_t group[3] = {static_cast<std::uint8_t>(v >> 16),
                                   static_cast<std::uint8_t>((v >> 8) & 255),
                                   static_cast<std::uint8_t>(v & 255)};
    for (std::uint8_t byte : group) {
      if (out.size() < expected) out.push_back(byte);
    }
  }
  return out.size() == expected;
}

}  // namespace norvo
