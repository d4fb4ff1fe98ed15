// UI root and manifest location from the module's own file path.
#include "editor/ui_bundle_location.h"

#include <cstring>
#include <filesystem>
#include <system_error>

#include "editor/module_location.h"

namespace norvo {

namespace {

namespace fs = std::filesystem;

// An address inside this module, so the loader names the file this code was linked into.
const char kModuleAnchor = 0;

// Absolute, with no "." or ".." components, no doubled separators and no trailing separator.
fs::path standardized(const fs::path& path) {
  std::error_code error;
  fs::path absolute = path.is_absolute() ? path : fs::absolute(path, error);
  if (error) {
    absolute = path;
  }
  fs::path normal = absolute.lexically_normal();
  if (normal.has_relative_path() && !normal.has_filename()) {
    normal = normal.parent_path();  // "/a/b/" -> "/a/b"
  }
  return normal;
}

}  // namespace

std::string uiContentsFolderForModulePath(const std::string& modulePath) {
  if (modulePath.empty()) {
    return {};
  }
  return standardized(modulePath).parent_path().parent_path().string();
}

std::string uiRootForModulePath(const std::string& modulePath) {
  const std::string contents = uiContentsFolderForModulePath(modulePath);
  if (contents.empty()) {
    return {};
  }
  const fs::path root = standardized(fs::path(contents) / "Resources" / "ui");
  std::error_code error;
  if (!fs::is_directory(root, error) || error) {
    return {};
  }
  return root.string();
}

std::string uiManifestPathForModulePath(const std::string& modulePath) {
  const std::string contents = uiContentsFolderForModulePath(modulePath);
  if (contents.empty()) {
    return {};
  }
  return contents + "/Resources/ui/manifest.json";
}

std::string bundleFolderForModulePath(const std::string& modulePath) {
  if (modulePath.empty()) {
    return {};
  }
  const fs::path contents = fs::path(modulePath).parent_path().parent_path();
  if (contents.filename() != "Contents") {
    return modulePath;
  }
  return contents.parent_path().string();
}

std::string pluginModulePath() { return moduleFilePathForAddress(&kModuleAnchor); }

std::string pluginBundlePath() { return bundleFolderForModulePath(pluginModulePath()); }

std::string pluginUiRoot() { return uiRootForModulePath(pluginModulePath()); }

std::string pluginUiManifestPath() { return uiManifestPathForModulePath(pluginModulePath()); }

}  // namespace norvo

namespace {

// Copies a root into fixed storage; a path that does not fit is reported as no root rather
// than cut. Returns whether anything was stored.
bool storeRoot(char* buffer, std::size_t capacity, const std::string& root) {
  if (root.empty() || root.size() >= capacity) {
    buffer[0] = '\0';
    return false;
  }
  std::memcpy(buffer, root.c_str(), root.size() + 1);
  return true;
}

constexpr std::size_t kRootBufferBytes = 4096;

}  // namespace

const char* norvoUiRootForImageAddress(const void* address) {
  // Plain storage without a destructor, so the module can be unloaded while threads live on.
  thread_local char buffer[kRootBufferBytes];
  const std::string root = norvo::uiRootForModulePath(norvo::moduleFilePathForAddress(address));
  return storeRoot(buffer, sizeof buffer, root) ? buffer : nullptr;
}

const char* norvoPluginUiRootForDiagnostics(void) {
  static char buffer[kRootBufferBytes];
  storeRoot(buffer, sizeof buffer, norvo::pluginUiRoot());
  return buffer;
}
