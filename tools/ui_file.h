// Which file of the UI root a browser request names, and its content type. A request can name
// only a regular file inside the root: percent escapes are decoded first, "." and ".."
// segments and NUL bytes are refused, and the file's real path (symbolic links followed) must
// still lie inside the root's real path. Main thread.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace norvo::probe {

// Decodes %XX escapes; false for a malformed escape or an encoded NUL byte.
bool percentDecode(std::string_view text, std::string& decoded);

// The file named by a request target ("/", "/style.css?v=2", ...) inside `root`, which must
// already be a canonical path; "/" names index.html. Nothing when the target is refused or
// names no regular file.
std::optional<std::filesystem::path> resolveUiFile(const std::filesystem::path& root,
                                                   std::string_view target);

// The content type of a file by its extension (compared lower-cased), as the editor's own
// URL scheme answers it; "application/octet-stream" for any other extension.
std::string uiMimeType(const std::filesystem::path& file);

}  // namespace norvo::probe
