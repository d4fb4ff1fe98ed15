// Processes and their open files from /proc.
#include "support/editor/process_table.h"

#include <dirent.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <sstream>

namespace norvo::test {

std::vector<ProcessInfo> processTable() {
  std::vector<ProcessInfo> table;
  DIR* proc = opendir("/proc");
  if (proc == nullptr) return table;
  while (dirent* entry = readdir(proc)) {
    const pid_t pid = static_cast<pid_t>(std::atoi(entry->d_name));
    if (pid <= 0) continue;
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    const std::string text((std::istreambuf_iterator<char>(stat)),
                           std::istreambuf_iterator<char>());
    const std::size_t open = text.find('(');
    const std::size_t close = text.rfind(')');
    if (open == std::string::npos || close == std::string::npos || close < open) continue;
    ProcessInfo info;
    info.pid = pid;
    info.name = text.substr(open + 1, close - open - 1);
    std::istringstream rest(text.substr(close + 2));
    rest >> info.state >> info.parent;
    table.push_back(info);
  }
  closedir(proc);
  return table;
}

std::vector<ProcessInfo> childProcesses(pid_t parent, const std::string& name) {
  std::vector<ProcessInfo> children;
  for (const ProcessInfo& info : processTable()) {
    if (info.parent == parent && (name.empty() || info.name == name)) children.push_back(info);
  }
  return children;
}

std::vector<std::string> openFileTargets(pid_t pid) {
  std::vector<std::string> targets;
  const std::string folder = "/proc/" + std::to_string(pid) + "/fd";
  DIR* fds = opendir(folder.c_str());
  if (fds == nullptr) return targets;
  while (dirent* entry = readdir(fds)) {
    if (entry->d_name[0] == '.') continue;
    char target[4096];
    const ssize_t length =
        readlink((folder + "/" + entry->d_name).c_str(), target, sizeof(target) - 1);
    if (length > 0) targets.emplace_back(target, static_cast<std::size_t>(length));
  }
  closedir(fds);
  return targets;
}

}  // namespace norvo::test
