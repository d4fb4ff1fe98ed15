// Resolving request targets inside the UI root.
#include "tools/ui_file.h"

#include <algorithm>
#include <cctype>
#include <utility>

namespace norvo::probe {

namespace fs = std::filesystem;

namespace {

int hexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

bool insideRoot(const fs::path& root, const fs::path& file) {
  const std::string r = root.string();
  const std::string f = file.string();
  return f.size() > r.size() && f.compare(0, r.size(), r) == 0 && f[r.size()] == '/';
}

}  // namespace

bool percentDecode(std::string_view text, std::string& decoded) {
  std::string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '%') {
      out.push_back(text[i]);
      continue;
    }
    if (i + 2 >= text.size()) return false;
    const int high = hexValue(text[i + 1]);
    const int low = hexValue(text[i + 2]);
    if (high < 0 || low < 0) return false;
    const char byte = static_cast<char>(high * 16 + low);
    if (byte == '\0') return false;
    out.push_back(byte);
    i += 2;
  }
  decoded = std::move(out);
  return true;
}

std::optional<fs::path> resolveUiFile(const fs::path& root, std::string_view target) {
  const size_t end = target.find_first_of("?#");
  const std::string_view path = target.substr(0, end);
  if (path.empty() || path.front() != '/') return std::nullopt;
  std::string decoded;
  if (!percentDecode(path, decoded)) return std::nullopt;
  if (decoded.find('\0') != std::string::npos) return std::nullopt;
  if (decoded == "/") decoded = "/index.html";

  fs::path relative;
  size_t at = 1;
  while (at <= decoded.size()) {
    size_t slash = decoded.find('/', at);
    if (slash == std::string::npos) slash = decoded.size();
    const std::string segment = decoded.substr(at, slash - at);
    if (segment == "." || segment == "..") return std::nullopt;
    if (!segment.empty()) relative /= segment;
    at = slash + 1;
  }
  if (relative.empty()) return std::nullopt;

  std::error_code ec;
  const fs::path real = fs::canonical(root / relative, ec);
  if (ec || !insideRoot(root, real) || !fs::is_regular_file(real, ec)) return std::nullopt;
  return real;
}

std::string uiMimeType(const fs::path& file) {
  static const std::pair<const char*, const char*> kTypes[] = {
      {"css", "text/css"},          {"gif", "image/gif"},       {"htm", "text/html"},
      {"html", "text/html"},        {"ico", "image/x-icon"},    {"jpeg", "image/jpeg"},
      {"jpg", "image/jpeg"},        {"js", "text/javascript"},  {"json", "application/json"},
      {"map", "application/json"},  {"mjs", "text/javascript"}, {"png", "image/png"},
      {"svg", "image/svg+xml"},     {"ttf", "font/ttf"},        {"txt", "text/plain"},
      {"wasm", "application/wasm"}, {"woff", "font/woff"},      {"woff2", "font/woff2"},
  };
  std::string extension = file.extension().string();
  if (!extension.empty()) extension.erase(0, 1);
  std::transform(extension.begin(), extension.end(), extension.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  for (const auto& [name, type] : kTypes)
    if (extension == name) return type;
  return "application/octet-stream";
}

}  // namespace norvo::probe
