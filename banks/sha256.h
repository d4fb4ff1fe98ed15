// SHA-256 digests of bank manifests, assets and downloaded archives, as lowercase hex text.
// Any thread except the audio thread.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace norvo {

// SHA-256 of the bytes as 64 lowercase hexadecimal digits, high nibble of each byte first.
// Any thread except the audio thread.
std::string sha256Hex(const std::uint8_t* bytes, std::size_t size);

inline std::string sha256Hex(const std::vector<std::uint8_t>& bytes) {
  return sha256Hex(bytes.data(), bytes.size());
}

}  // namespace norvo
