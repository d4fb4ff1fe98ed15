// Hosted banks: zip archives served over HTTPS, pinned by their SHA-256, downloaded once into
// a per-user cache keyed by the pin. The fetch blocks its caller (the main thread) until the
// download has finished or failed; never call it from the audio thread.
#pragma once

#include <string>

namespace norvo {

// Where a fetch keeps its cache and whom it trusts. The product leaves both empty; tests point
// them at a temporary folder and at the certificate of a throwaway local server.
struct HostedBankFetchOptions {
  std::string cacheRoot;     // empty: hostedBankCacheRoot()
  std::string caBundlePath;  // empty: the system's trusted certificate authorities
};

// The cache root ("<per-user data directory>/Norvo/banks"), created with its parents on every
// call; empty if there is no such directory or it cannot be created. Main thread.
std::string hostedBankCacheRoot();

// Makes the bank pinned by `pinnedSha256` available in the cache, downloading `url` only when
// the pin's folder is not cached yet. True with `folder` set to the cached bank folder; false
// with a one-line `error`, leaving the cache as it was. Main thread (blocks up to 300 s).
bool fetchHostedBank(const std::string& url, const std::string& pinnedSha256, std::string& folder,
                     std::string& error);
bool fetchHostedBank(const std::string& url, const std::string& pinnedSha256, std::string& folder,
                     std::string& error, const HostedBankFetchOptions& options);

// Lets the user choose a bank folder; this build has none to offer. Main thread.
bool pickBankFolder(std::string& folder, std::string& error);

}  // namespace norvo
