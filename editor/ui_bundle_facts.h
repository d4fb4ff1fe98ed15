// The editor bundle's manifest facts (build time, source revision, SHA-256), read from
// Resources/ui/manifest.json with a small scanner (not a JSON parser). Any thread.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace norvo {

inline constexpr std::size_t kUiManifestMaxBytes = 1048576;

struct UiBundleFacts {
  char buildTime[64] = {};
  char sourceRevision[64] = {};
  char sha256[80] = {};

  bool empty() const noexcept {
    return buildTime[0] == '\0' && sourceRevision[0] == '\0' && sha256[0] == '\0';
  }
};

// Reads one top-level string member of a manifest text into `out` (capacity bytes, >= 1).
// Members inside nested objects or arrays are not seen; only the first match counts. The
// value is copied up to its closing quote or up to a backslash (escapes are not decoded: what
// came before the backslash is kept). A value of capacity - 1 characters or more, a member
// whose value is not a string, or a text that ends inside the value leaves `out` empty.
// Returns whether `out` holds a value.
bool uiManifestString(std::string_view text, const char* key, char* out, std::size_t capacity);

// The facts of the manifest file at `path`: all empty when it cannot be opened or read, or is
// larger than 1 MiB.
UiBundleFacts readUiBundleFactsFromFile(const std::string& path);

// The facts of this module's editor bundle.
UiBundleFacts readUiBundleFacts();

// readUiBundleFacts(), read on first use and kept for the life of the process.
const UiBundleFacts& uiBundleFacts();

}  // namespace norvo
