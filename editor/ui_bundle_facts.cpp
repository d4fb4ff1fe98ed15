// Reading the editor bundle's manifest facts.
#include "editor/ui_bundle_facts.h"

#include <cstdio>
#include <cstring>

#include "editor/ui_bundle_location.h"

namespace norvo {

namespace {

bool isSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }

std::size_t skipSpace(std::string_view text, std::size_t at) {
  while (at < text.size() && isSpace(text[at])) {
    ++at;
  }
  return at;
}

// Index just past the string that opens at `at` (a double quote), honouring backslashes.
std::size_t skipString(std::string_view text, std::size_t at) {
  ++at;
  while (at < text.size() && text[at] != '"') {
    at += text[at] == '\\' ? 2 : 1;
  }
  return at + 1;
}

// True when the string opening at `at` is exactly the quoted key.
bool isQuotedKey(std::string_view text, std::size_t at, std::string_view key) {
  return text.size() - at >= key.size() + 2 && text.compare(at + 1, key.size(), key) == 0 &&
         text[at + 1 + key.size()] == '"';
}

// Copies the value string opening at `at`; see uiManifestString.
bool copyValue(std::string_view text, std::size_t at, char* out, std::size_t capacity) {
  std::size_t length = 0;
  for (std::size_t i = at + 1; i < text.size(); ++i) {
    const char c = text[i];
    if (c == '"' || c == '\\') {
      out[length] = '\0';
      return length > 0;
    }
    out[length++] = c;
    if (length >= capacity - 1) {
      break;
    }
  }
  out[0] = '\0';
  return false;
}

}  // namespace

bool uiManifestString(std::string_view text, const char* key, char* out, std::size_t capacity) {
  if (out == nullptr || capacity == 0) {
    return false;
  }
  out[0] = '\0';
  if (key == nullptr || capacity < 2) {
    return false;
  }
  const std::string_view wanted(key);
  int depth = 0;
  std::size_t at = 0;
  while (at < text.size()) {
    const char c = text[at];
    if (c == '"') {
      if (depth == 1 && isQuotedKey(text, at, wanted)) {
        const std::size_t colon = skipSpace(text, at + wanted.size() + 2);
        if (colon < text.size() && text[colon] == ':') {
          const std::size_t value = skipSpace(text, colon + 1);
          if (value >= text.size() || text[value] != '"') {
            return false;
          }
          return copyValue(text, value, out, capacity);
        }
      }
      at = skipString(text, at);
      continue;
    }
    if (c == '{' || c == '[') {
      ++depth;
    } else if (c == '}' || c == ']') {
      if (--depth <= 0) {
        return false;
      }
    }
    ++at;
  }
  return false;
}

UiBundleFacts readUiBundleFactsFromFile(const std::string& path) {
  UiBundleFacts facts;
  if (path.empty()) {
    return facts;
  }
  std::FILE* file = std::fopen(path.c_str(), "rb");
  if (file == nullptr) {
    return facts;
  }
  std::string text;
  char piece[4096];
  bool tooLarge = false;
  for (;;) {
    const std::size_t got = std::fread(piece, 1, sizeof piece, file);
    if (got == 0) {
      break;
    }
    if (text.size() + got > kUiManifestMaxBytes) {
      tooLarge = true;
      break;
    }
    text.append(piece, got);
  }
  // A read that failed part-way is an unreadable manifest, not a shorter one.
  const bool readFailed = std::ferror(file) != 0;
  std::fclose(file);
  if (tooLarge || readFailed) {
    return facts;
  }
  uiManifestString(text, "buildTime", facts.buildTime, sizeof facts.buildTime);
  uiManifestString(text, "sourceRevision", facts.sourceRevision, sizeof facts.sourceRevision);
  uiManifestString(text, "sha256", facts.sha256, sizeof facts.sha256);
  return facts;
}

UiBundleFacts readUiBundleFacts() { return readUiBundleFactsFromFile(pluginUiManifestPath()); }

const UiBundleFacts& uiBundleFacts() {
  static const UiBundleFacts facts = readUiBundleFacts();
  return facts;
}

}  // namespace norvo
