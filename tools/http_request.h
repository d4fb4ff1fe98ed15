// The head of one HTTP/1.x request as the browser preview reads it: request line and header
// fields, nothing more (no continuation lines, no chunked bodies). Main thread.
#pragma once

#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace norvo::probe {

struct HttpRequest {
  std::string method;
  std::string target;
  std::string version;                                       // "HTTP/1.1"
  std::vector<std::pair<std::string, std::string>> headers;  // names lower-cased, values trimmed

  // The value of the first field with this lower-case name; `present` tells whether there is one.
  std::string header(std::string_view name, bool* present = nullptr) const;
};

// Parses everything before the blank line that ends a request head (the text must not include
// that blank line). False for anything that is not a well-formed request head.
bool parseHttpRequestHead(std::string_view head, HttpRequest& request);

}  // namespace norvo::probe
