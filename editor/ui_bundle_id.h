// The bundle id of a UI root and the URL the editor loads: "norvo-ui://bundle-<id>/index.html"
// with the id as 16 lowercase hexadecimal digits. The same root always gives the same URL.
// Any thread.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace norvo {

// A 64-bit FNV-1a style hash of the root path's UTF-8 bytes.
std::uint64_t uiBundleId(std::string_view rootPath);

// The URL of the page's index.html for a root path.
std::string uiBundleUrl(std::string_view rootPath);

}  // namespace norvo
