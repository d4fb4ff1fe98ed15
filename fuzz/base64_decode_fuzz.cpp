// base64Decode on arbitrary text: whatever decodes re-encodes to text that decodes to the
// same bytes; the size cap refuses without touching the output; any bytes survive encoding.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "common/base64.h"
#include "fuzz/fuzz_check.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  std::vector<std::uint8_t> decoded;
  if (norvo::base64Decode(text, decoded, size)) {
    std::string encoded;
    norvo::base64Append(encoded, decoded.data(), decoded.size());
    NORVO_FUZZ_CHECK(encoded.size() == text.size());
    std::vector<std::uint8_t> again;
    NORVO_FUZZ_CHECK(norvo::base64Decode(encoded, again, decoded.size()));
    NORVO_FUZZ_CHECK(again == decoded);
    if (!decoded.empty()) {
      std::vector<std::uint8_t> untouched = {1, 2, 3};
      NORVO_FUZZ_CHECK(!norvo::base64Decode(text, untouched, decoded.size() - 1));
      NORVO_FUZZ_CHECK((untouched == std::vector<std::uint8_t>{1, 2, 3}));
    }
  }

  // The raw input as bytes: encoding then decoding gives them back.
  std::string encoded;
  norvo::base64Append(encoded, data, size);
  NORVO_FUZZ_CHECK(encoded.size() == (size + 2) / 3 * 4);
  std::vector<std::uint8_t> back;
  NORVO_FUZZ_CHECK(norvo::base64Decode(encoded, back, size));
  NORVO_FUZZ_CHECK(back.size() == size &&
                   (size == 0 || std::equal(back.begin(), back.end(), data)));
  return 0;
}
