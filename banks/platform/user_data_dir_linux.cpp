// The per-user data directory on Linux: $XDG_DATA_HOME, else ~/.local/share.
#include "banks/user_data_dir.h"

#include <pwd.h>
#include <unistd.h>

#include <cstdlib>

namespace norvo {
namespace {

std::string homeDirectory() {
  const char* home = std::getenv("HOME");
  if (home != nullptr && home[0] == '/') return home;
  const passwd* entry = ::getpwuid(::getuid());
  if (entry != nullptr && entry->pw_dir != nullptr && entry->pw_dir[0] == '/') return entry->pw_dir;
  return {};
}

// Drops trailing separators ("/data/" names the same folder as "/data") so that paths built
// on the directory carry no doubled "/"; the root itself stays "/".
std::string withoutTrailingSlashes(std::string path) {
  while (path.size() > 1 && path.back() == '/') path.pop_back();
  return path;
}

}  // namespace

std::string userDataDirectory() {
  // Relative values of XDG_DATA_HOME are invalid and must be ignored.
  const char* xdg = std::getenv("XDG_DATA_HOME");
  if (xdg != nullptr && xdg[0] == '/') return withoutTrailingSlashes(xdg);
  const std::string home = withoutTrailingSlashes(homeDirectory());
  if (home.empty()) return {};
  return home + (home == "/" ? "" : "/") + ".local/share";
}

}  // namespace norvo
