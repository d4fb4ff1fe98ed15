// Parsing an HTTP request head.
#include "tools/http_request.h"

#include <algorithm>
#include <cctype>

namespace norvo::probe {

namespace {

bool isTokenChar(unsigned char c) {
  return std::isalnum(c) ||
         std::string_view("!#$%&'*+-.^_`|~").find(static_cast<char>(c)) != std::string_view::npos;
}

std::string_view trim(std::string_view text) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
  while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
  return text;
}

bool hasControlChars(std::string_view text) {
  return std::any_of(text.begin(), text.end(),
                     [](unsigned char c) { return (c < 0x20 && c != '\t') || c == 0x7f; });
}

// Splits off one line ending in CRLF (a bare LF is accepted too).
bool nextLine(std::string_view& rest, std::string_view& line) {
  if (rest.empty()) return false;
  const size_t end = rest.find('\n');
  line = rest.substr(0, end);
  rest = end == std::string_view::npos ? std::string_view() : rest.substr(end + 1);
  if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
  return true;
}

bool parseRequestLine(std::string_view line, HttpRequest& request) {
  const size_t first = line.find(' ');
  const size_t second = first == std::string_view::npos ? first : line.find(' ', first + 1);
  if (second == std::string_view::npos || line.find(' ', second + 1) != std::string_view::npos)
    return false;
  const std::string_view method = line.substr(0, first);
  const std::string_view target = line.substr(first + 1, second - first - 1);
  const std::string_view version = line.substr(second + 1);
  if (method.empty() || !std::all_of(method.begin(), method.end(), isTokenChar)) return false;
  if (target.empty() || hasControlChars(target)) return false;
  if (version != "HTTP/1.1" && version != "HTTP/1.0") return false;
  request.method = method;
  request.target = target;
  request.version = version;
  return true;
}

}  // namespace

std::string HttpRequest::header(std::string_view name, bool* present) const {
  for (const auto& [key, value] : headers) {
    if (key == name) {
      if (present) *present = true;
      return value;
    }
  }
  if (present) *present = false;
  return {};
}

bool parseHttpRequestHead(std::string_view head, HttpRequest& request) {
  HttpRequest parsed;
  std::string_view rest = head;
  std::string_view line;
  if (!nextLine(rest, line) || !parseRequestLine(line, parsed)) return false;
  while (nextLine(rest, line)) {
    const size_t colon = line.find(':');
    if (colon == 0 || colon == std::string_view::npos) return false;
    const std::string_view name = line.substr(0, colon);
    if (!std::all_of(name.begin(), name.end(), isTokenChar)) return false;
    const std::string_view value = trim(line.substr(colon + 1));
    if (hasControlChars(value)) return false;
    std::string lower(name);
    std::transform(lower.begin(), lower.end(), lower.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    parsed.headers.emplace_back(std::move(lower), std::string(value));
  }
  request = std::move(parsed);
  return true;
}

}  // namespace norvo::probe
