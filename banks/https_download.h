// One HTTPS GET into memory, with the time-outs and privacy rules of bank downloads
// (platform specific). Blocks the calling thread; main thread only in this system.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace norvo {

struct HttpsDownload {
  std::vector<std::uint8_t> body;  // filled only for a completed transfer answered with 200
  std::string failure;             // transport error text or "HTTP <status>"; empty otherwise
};

// Checks the URL's syntax. True for a well-formed URL, with `scheme` set to its scheme (empty
// for a reference without one); false when the text is not a URL at all.
bool readUrlScheme(const std::string& url, std::string& scheme);

// Downloads `url` over HTTPS only (redirects included), with a 30 s idle limit and a 300 s
// overall limit, and without cookies, caches or stored credentials. `caBundlePath`, when not
// empty, replaces the system's trusted certificate authorities (as SSL_CERT_FILE and
// SSL_CERT_DIR do when it is empty); verification is always on.
HttpsDownload downloadOverHttps(const std::string& url, const std::string& caBundlePath);

}  // namespace norvo
