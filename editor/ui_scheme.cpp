// The "norvo-ui" scheme's path rules and MIME table.
#include "editor/ui_scheme.h"

#include <array>
#include <cstdlib>
#include <filesystem>
#include <system_error>

namespace norvo {

namespace {

namespace fs = std::filesystem;

struct MimeEntry {
  std::string_view extension;
  const char* type;
};

constexpr std::array<MimeEntry, 18> kMimeTable{{
    {"css", "text/css"},
    {"gif", "image/gif"},
    {"htm", "text/html"},
    {"html", "text/html"},
    {"ico", "image/x-icon"},
    {"jpeg", "image/jpeg"},
    {"jpg", "image/jpeg"},
    {"js", "text/javascript"},
    {"json", "application/json"},
    {"map", "application/json"},
    {"mjs", "text/javascript"},
    {"png", "image/png"},
    {"svg", "image/svg+xml"},
    {"ttf", "font/ttf"},
    {"txt", "text/plain"},
    {"wasm", "application/wasm"},
    {"woff", "font/woff"},
    {"woff2", "font/woff2"},
}};

constexpr const char* kOctetStream = "application/octet-stream";

int hexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// Absolute and lexically normal, without a trailing separator.
std::string standardized(const fs::path& path) {
  std::error_code error;
  fs::path absolute = path.is_absolute() ? path : fs::absolute(path, error);
  if (error) return {};
  std::string text = absolute.lexically_normal().string();
  while (text.size() > 1 && text.back() == '/') text.pop_back();
  return text;
}

bool isInside(const std::string& root, const std::string& full) {
  if (full == root) return true;
  if (root == "/") return !full.empty() && full.front() == '/';
  return full.size() > root.size() && full.compare(0, root.size(), root) == 0 &&
         full[root.size()] == '/';
}

std::string realPath(const std::string& path) {
  char* resolved = ::realpath(path.c_str(), nullptr);
  if (resolved == nullptr) return {};
  std::string text(resolved);
  std::free(resolved);
  return text;
}

}  // namespace

std::optional<std::string> percentDecodeUrlPath(std::string_view encoded) {
  std::string decoded;
  decoded.reserve(encoded.size());
  for (std::size_t i = 0; i < encoded.size(); ++i) {
    if (encoded[i] != '%') {
      decoded.push_back(encoded[i]);
      continue;
    }
    if (i + 2 >= encoded.size()) return std::nullopt;
    const int high = hexValue(encoded[i + 1]);
    const int low = hexValue(encoded[i + 2]);
    if (high < 0 || low < 0) return std::nullopt;
    const char byte = static_cast<char>(high * 16 + low);
    if (byte == '\0') return std::nullopt;
    decoded.push_back(byte);
    i += 2;
  }
  return decoded;
}

std::string uiSchemeFilePath(std::string_view root, std::string_view requestPath) {
  if (root.empty() || requestPath.find('\0') != std::string_view::npos) return {};
  std::string path(requestPath);
  if (path.empty() || path == "/") path = "/index.html";
  const std::string standardRoot = standardized(fs::path(std::string(root)));
  if (standardRoot.empty()) return {};
  // Appending as a path component: exactly one separator between root and path.
  const std::string joined =
      standardRoot + (path.front() == '/' || standardRoot == "/" ? "" : "/") + path;
  const std::string full = standardized(fs::path(joined));
  if (!isInside(standardRoot, full)) return {};
  // The same test on the real paths keeps symbolic links from leading out of the root.
  const std::string realRoot = realPath(standardRoot);
  const std::string realFull = realPath(full);
  if (realRoot.empty() || realFull.empty() || !isInside(realRoot, realFull)) return {};
  return full;
}

const char* uiSchemeMimeType(std::string_view path) {
  const std::size_t slash = path.rfind('/');
  const std::string_view name = slash == std::string_view::npos ? path : path.substr(slash + 1);
  const std::size_t dot = name.rfind('.');
  if (dot == std::string_view::npos || dot == 0) return kOctetStream;
  std::string extension(name.substr(dot + 1));
  for (char& c : extension) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  for (const MimeEntry& entry : kMimeTable) {
    if (entry.extension == extension) return entry.type;
  }
  return kOctetStream;
}

}  // namespace norvo
