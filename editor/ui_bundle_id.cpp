// Bundle id and page URL of a UI root.
#include "editor/ui_bundle_id.h"

#include <cstdio>

namespace norvo {

std::uint64_t uiBundleId(std::string_view rootPath) {
  std::uint64_t h = 0x14650fb0739d0383ULL;
  for (const char c : rootPath) {
    h ^= static_cast<unsigned char>(c);
    h *= 0x100000001b3ULL;
  }
  return h;
}

std::string uiBundleUrl(std::string_view rootPath) {
  char url[64];
  std::snprintf(url, sizeof url, "norvo-ui://bundle-%016llx/index.html",
                static_cast<unsigned long long>(uiBundleId(rootPath)));
  return url;
}

}  // namespace norvo
