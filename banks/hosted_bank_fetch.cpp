// Fetching a hosted bank into the cache: pin check, cache look-up, HTTPS download, hash check,
// unpacking in a staging folder and the move into the cache.
#include "banks/hosted_bank.h"

#include <cstdio>
#include <exception>
#include <filesystem>
#include <memory>
#include <random>
#include <vector>

#include "banks/https_download.h"
#include "banks/sha256.h"
#include "banks/user_data_dir.h"
#include "banks/zip_unpack.h"

namespace norvo {
namespace fs = std::filesystem;
namespace {

constexpr std::size_t kPinLength = 64;
constexpr const char* kEllipsis = "\xE2\x80\xA6";  // U+2026

// The pin names a folder directly inside the cache root, so it may not contain a separator
// (or a NUL, which would cut the path short); its other characters are not inspected.
bool isUsablePin(const std::string& pin) {
  return pin.size() == kPinLength && pin.find('/') == std::string::npos &&
         pin.find('\0') == std::string::npos;
}

std::string ensureDirectory(const std::string& path) {
  if (path.empty()) return {};
  std::error_code ec;
  fs::create_directories(path, ec);
  return fs::is_directory(path, ec) ? path : std::string();
}

std::string lowercase(std::string text) {
  for (char& c : text) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return text;
}

unsigned randomBelowOneMillion() {
  std::random_device source;
  return std::uniform_int_distribution<unsigned>(0, 999999)(source);
}

void removeAll(const std::string& path) {
  std::error_code ignored;
  fs::remove_all(path, ignored);
}

// Writes to a temporary sibling and renames it into place, so the archive is whole or absent.
bool writeFileAtomically(const std::string& path, const std::vector<std::uint8_t>& bytes) {
  const std::string temporary = path + ".partial";
  std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(std::fopen(temporary.c_str(), "wb"),
                                                       &std::fclose);
  if (!file) return false;
  const bool written = std::fwrite(bytes.data(), 1, bytes.size(), file.get()) == bytes.size();
  if (std::fclose(file.release()) != 0 || !written) {
    removeAll(temporary);
    return false;
  }
  std::error_code ec;
  fs::rename(temporary, path, ec);
  if (ec) removeAll(temporary);
  return !ec;
}

// The unpacked bank: the staging folder when it holds bank.json at its top; else its only
// visible sub-folder when there is exactly one; else the staging folder as it is.
std::string chooseBankFolder(const std::string& staging) {
  std::error_code ec;
  if (fs::exists(fs::symlink_status(staging + "/bank.json", ec))) return staging;
  std::string only;
  int directories = 0;
  for (fs::directory_iterator it(staging, ec), end; !ec && it != end; it.increment(ec)) {
    const std::string name = it->path().filename().string();
    if (name.empty() || name.front() == '.') continue;
    if (!fs::is_directory(it->symlink_status(ec))) continue;  // a link to a folder is no folder
    ++directories;
    only = it->path().string();
  }
  return directories == 1 ? only : staging;
}

// Every symbolic link in the unpacked bank must resolve to something inside it. The unpacker
// already refuses links that climb out as written; this also catches links that escape by
// way of other links, and links to parts of the archive left behind in the staging folder.
bool linksStayInside(const std::string& folder) {
  std::error_code ec;
  const fs::path base = fs::canonical(folder, ec);
  if (ec) return false;
  for (fs::recursive_directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
    if (!it->is_symlink(ec)) continue;
    const fs::path target = fs::canonical(it->path(), ec);
    if (ec) return false;  // dangling or looping
    const fs::path relative = target.lexically_relative(base);
    if (relative.empty() || *relative.begin() == "..") return false;
  }
  return !ec;
}

class HostedBankFetch {
 public:
  HostedBankFetch(const std::string& url, const std::string& pin,
                  const HostedBankFetchOptions& options)
      : url_(url), pin_(pin), options_(options) {}
  HostedBankFetch(const HostedBankFetch&) = delete;
  HostedBankFetch& operator=(const HostedBankFetch&) = delete;
  // Whatever happened, no staging folder outlives the fetch.
  ~HostedBankFetch() {
    if (!staging_.empty()) removeAll(staging_);
  }

  bool run(std::string& folder, std::string& error) {
    if (!isUsablePin(pin_)) return fail(error, "a hosted bank must pin a 64-hex sha256");
    const std::string root =
        options_.cacheRoot.empty() ? hostedBankCacheRoot() : ensureDirectory(options_.cacheRoot);
    if (root.empty()) return fail(error, "cannot create the bank cache directory");
    cached_ = root + "/" + pin_;
    std::error_code ec;
    if (fs::is_directory(cached_, ec)) {
      folder = cached_;
      return true;
    }
    std::vector<std::uint8_t> body;
    if (!download(body, error) || !checkPin(body, error) || !unpack(body, error)) return false;
    folder = cached_;
    return true;
  }

 private:
  const std::string& url_;
  const std::string& pin_;
  const HostedBankFetchOptions& options_;
  std::string cached_;
  std::string staging_;

  static bool fail(std::string& error, std::string text) {
    error = std::move(text);
    return false;
  }

  bool failAndClean(std::string& error, std::string text) {
    removeAll(staging_);
    return fail(error, std::move(text));
  }

  bool download(std::vector<std::uint8_t>& body, std::string& error) {
    std::string scheme;
    if (!readUrlScheme(url_, scheme)) return fail(error, "hosted bank url is not a valid URL");
    if (lowercase(scheme) != "https") return fail(error, "hosted banks must be served over https");
    HttpsDownload result = downloadOverHttps(url_, options_.caBundlePath);
    if (result.body.empty()) {
      return fail(error, result.failure.empty() ? "download failed" : result.failure);
    }
    body = std::move(result.body);
    return true;
  }

  bool checkPin(const std::vector<std::uint8_t>& body, std::string& error) {
    const std::string digest = sha256Hex(body);
    if (digest == pin_) return true;
    return fail(error, "downloaded bytes hash to " + digest.substr(0, 16) + kEllipsis +
                           " which does not match the pinned sha256");
  }

  bool unpack(const std::vector<std::uint8_t>& body, std::string& error) {
    staging_ = cached_ + ".staging-" + std::to_string(randomBelowOneMillion());
    removeAll(staging_);
    std::error_code ec;
    fs::create_directories(staging_, ec);
    if (ec || !fs::is_directory(staging_, ec))
      return failAndClean(error, "cannot create the staging directory");
    const std::string archive = staging_ + "/bank.zip";
    if (!writeFileAtomically(archive, body))
      return failAndClean(error, "cannot write the downloaded archive");
    const ZipUnpackResult unpacked = unpackZipArchive(archive, staging_);
    if (unpacked == ZipUnpackResult::CannotStart)
      return failAndClean(error, "cannot unpack the downloaded archive");
    removeAll(archive);
    if (unpacked != ZipUnpackResult::Unpacked)
      return failAndClean(error, "the downloaded archive is not a readable zip");
    const std::string bankFolder = chooseBankFolder(staging_);
    if (!linksStayInside(bankFolder))
      return failAndClean(error, "the downloaded archive is not a readable zip");
    removeAll(cached_);
    fs::rename(bankFolder, cached_, ec);
    if (ec) return failAndClean(error, "cannot move the unpacked bank into the cache");
    removeAll(staging_);
    return true;
  }
};

}  // namespace

std::string hostedBankCacheRoot() {
  const std::string data = userDataDirectory();
  if (data.empty()) return {};
  return ensureDirectory(data + (data.back() == '/' ? "" : "/") + "Norvo/banks");
}

bool fetchHostedBank(const std::string& url, const std::string& pinnedSha256, std::string& folder,
                     std::string& error, const HostedBankFetchOptions& options) {
  folder.clear();
  error.clear();
  try {
    return HostedBankFetch(url, pinnedSha256, options).run(folder, error);
  } catch (const std::exception&) {
    folder.clear();
    error = "download failed";  // out of memory while holding the download
    return false;
  }
}

bool fetchHostedBank(const std::string& url, const std::string& pinnedSha256, std::string& folder,
                     std::string& error) {
  return fetchHostedBank(url, pinnedSha256, folder, error, HostedBankFetchOptions{});
}

}  // namespace norvo
