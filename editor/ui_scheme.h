// The "norvo-ui" URL scheme that serves the editor page's files from the UI root: which file a
// request names (never one outside the root), and the MIME type a file is served with.
// Platform-free; the web view glue of each platform calls it from its scheme handler.
// Any thread (pure functions and file-system queries).
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace norvo {

inline constexpr const char* kUiScheme = "norvo-ui";

// The text encoding name every response carries.
inline constexpr const char* kUiSchemeTextEncoding = "utf-8";

// Decodes the %XX escapes of a URL path. Nothing (the request fails) for a malformed escape
// or an escaped NUL byte, which no file name can hold.
std::optional<std::string> percentDecodeUrlPath(std::string_view encoded);

// The file that a decoded request path names under `root`, or empty when the request must
// fail. An empty path or "/" names index.html. The root and the joined path are standardized
// (absolute, no "." or ".." components, no doubled or trailing separators) and the file counts
// only when it is the root itself or lies under the root followed by a separator, so a sibling
// folder whose name starts with the root's name stays outside. Symbolic links are resolved as
// well: a link inside the root that leads out of it does not count, and neither does a file
// that does not exist.
std::string uiSchemeFilePath(std::string_view root, std::string_view requestPath);

// The MIME type for a file path, by its extension compared in lower case;
// "application/octet-stream" for anything outside the table.
const char* uiSchemeMimeType(std::string_view path);

}  // namespace norvo
