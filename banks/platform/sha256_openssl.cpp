// sha256Hex on platforms that ship OpenSSL's libcrypto.
#include "banks/sha256.h"

#include <openssl/sha.h>

namespace norvo {

std::string sha256Hex(const std::uint8_t* bytes, std::size_t size) {
  static constexpr char kDigits[] = "0123456789abcdef";
  unsigned char digest[SHA256_DIGEST_LENGTH];
  static const std::uint8_t kEmpty = 0;
  SHA256(size == 0 ? &kEmpty : bytes, size, digest);
  std::string hex;
  hex.reserve(2 * SHA256_DIGEST_LENGTH);
  for (unsigned char byte : digest) {
    hex.push_back(kDigits[byte >> 4]);
    hex.push_back(kDigits[byte & 0x0F]);
  }
  return hex;
}

}  // namespace norvo
