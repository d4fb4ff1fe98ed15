// HTTPS downloads and URL syntax checks with libcurl.
#include "banks/https_download.h"

#include <curl/curl.h>

#include <cctype>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <memory>
#include <mutex>

namespace norvo {
namespace {

constexpr long kConnectTimeoutSeconds = 30;
constexpr long kIdleTimeoutSeconds = 30;  // no byte received for this long ends the request
constexpr long kOverallTimeoutSeconds = 300;
constexpr long kMaxRedirects = 16;

void initialiseCurlOnce() {
  static std::once_flag once;
  std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

bool isUrlCharacter(unsigned char c) {
  if (std::isalnum(c)) return true;
  return std::strchr("-._~:/?#[]@!$&'()*+,;=%", c) != nullptr && c != 0;
}

// Every byte is one RFC 3986 allows and every "%" starts a two-digit escape.
bool hasUrlSyntax(const std::string& url) {
  if (url.empty()) return false;
  for (std::size_t i = 0; i < url.size(); ++i) {
    const auto c = static_cast<unsigned char>(url[i]);
    if (!isUrlCharacter(c)) return false;
    if (c == '%' &&
        (i + 2 >= url.size() || !std::isxdigit(static_cast<unsigned char>(url[i + 1])) ||
         !std::isxdigit(static_cast<unsigned char>(url[i + 2])))) {
      return false;
    }
  }
  return true;
}

std::string schemeOf(const std::string& url) {
  if (url.empty() || !std::isalpha(static_cast<unsigned char>(url[0]))) return {};
  for (std::size_t i = 1; i < url.size(); ++i) {
    const auto c = static_cast<unsigned char>(url[i]);
    if (c == ':') return url.substr(0, i);
    if (!std::isalnum(c) && c != '+' && c != '-' && c != '.') return {};
  }
  return {};
}

bool curlAcceptsUrl(const std::string& url) {
  initialiseCurlOnce();
  std::unique_ptr<CURLU, void (*)(CURLU*)> handle(curl_url(), &curl_url_cleanup);
  return handle && curl_url_set(handle.get(), CURLUPART_URL, url.c_str(), 0) == CURLUE_OK;
}

size_t appendBody(char* data, size_t size, size_t count, void* user) {
  auto* body = static_cast<std::vector<std::uint8_t>*>(user);
  try {
    body->insert(body->end(), data, data + size * count);
  } catch (const std::exception&) {
    return 0;  // out of memory: ends the transfer with a write error
  }
  return size * count;
}

// The caller's bundle when given; else the user's OpenSSL overrides (SSL_CERT_FILE, SSL_CERT_DIR)
// when set, as every OpenSSL program honours them; else the system's authorities.
void applyTrustedAuthorities(CURL* curl, const std::string& caBundlePath) {
  if (!caBundlePath.empty()) {
    curl_easy_setopt(curl, CURLOPT_CAINFO, caBundlePath.c_str());
    return;
  }
  const char* file = std::getenv("SSL_CERT_FILE");
  const char* dir = std::getenv("SSL_CERT_DIR");
  if (file != nullptr && file[0] != '\0') curl_easy_setopt(curl, CURLOPT_CAINFO, file);
  if (dir != nullptr && dir[0] != '\0') curl_easy_setopt(curl, CURLOPT_CAPATH, dir);
}

void configure(CURL* curl, const std::string& url, const std::string& caBundlePath,
               std::vector<std::uint8_t>& body, char* errorText) {
  curl_easy_setopt(curl, CURLOPT_URL, url.c_str());
  curl_easy_setopt(curl, CURLOPT_PROTOCOLS_STR, "https");
  curl_easy_setopt(curl, CURLOPT_REDIR_PROTOCOLS_STR, "https");
  curl_easy_setopt(curl, CURLOPT_FOLLOWLOCATION, 1L);
  curl_easy_setopt(curl, CURLOPT_MAXREDIRS, kMaxRedirects);
  curl_easy_setopt(curl, CURLOPT_HTTPGET, 1L);
  curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L);
  curl_easy_setopt(curl, CURLOPT_SSL_VERIFYPEER, 1L);
  curl_easy_setopt(curl, CURLOPT_SSL_VERIFYHOST, 2L);
  applyTrustedAuthorities(curl, caBundlePath);
  curl_easy_setopt(curl, CURLOPT_NETRC, static_cast<long>(CURL_NETRC_IGNORED));
  curl_easy_setopt(curl, CURLOPT_ACCEPT_ENCODING, "");
  curl_easy_setopt(curl, CURLOPT_CONNECTTIMEOUT, kConnectTimeoutSeconds);
  curl_easy_setopt(curl, CURLOPT_LOW_SPEED_LIMIT, 1L);
  curl_easy_setopt(curl, CURLOPT_LOW_SPEED_TIME, kIdleTimeoutSeconds);
  curl_easy_setopt(curl, CURLOPT_TIMEOUT, kOverallTimeoutSeconds);
  curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, &appendBody);
  curl_easy_setopt(curl, CURLOPT_WRITEDATA, &body);
  curl_easy_setopt(curl, CURLOPT_ERRORBUFFER, errorText);
}

}  // namespace

bool readUrlScheme(const std::string& url, std::string& scheme) {
  scheme.clear();
  if (!hasUrlSyntax(url)) return false;
  scheme = schemeOf(url);
  std::string lower = scheme;
  for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  // A URL this fetch would use must also be one the transfer library can take apart.
  return lower != "https" || curlAcceptsUrl(url);
}

HttpsDownload downloadOverHttps(const std::string& url, const std::string& caBundlePath) {
  initialiseCurlOnce();
  HttpsDownload result;
  std::unique_ptr<CURL, void (*)(CURL*)> curl(curl_easy_init(), &curl_easy_cleanup);
  if (!curl) {
    result.failure = "cannot start the download";
    return result;
  }
  char errorText[CURL_ERROR_SIZE] = {};
  std::vector<std::uint8_t> body;
  configure(curl.get(), url, caBundlePath, body, errorText);
  const CURLcode code = curl_easy_perform(curl.get());
  if (code != CURLE_OK) {
    result.failure = errorText[0] != '\0' ? errorText : curl_easy_strerror(code);
    return result;
  }
  long status = 0;
  curl_easy_getinfo(curl.get(), CURLINFO_RESPONSE_CODE, &status);
  if (status != 200) {
    result.failure = "HTTP " + std::to_string(status);
    return result;
  }
  result.body = std::move(body);
  return result;
}

}  // namespace norvo
