// Starting Xvfb for a test, and the memory of a process tree.
#include "support/editor/xvfb_display.h"

#include "support/editor/process_table.h"

#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fcntl.h>

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <map>
#include <sstream>
#include <stdexcept>
#include <vector>

extern char** environ;

namespace norvo::test {

XvfbDisplay::XvfbDisplay() {
  int fds[2];
  if (pipe(fds) != 0) throw std::runtime_error("pipe failed");
  const std::string fdText = std::to_string(fds[1]);
  // -noreset: the server must not reset when its last client leaves (each editor's helper
  // process is a client of its own, and a connection attempt during a reset fails).
  std::vector<std::string> args = {"/usr/bin/Xvfb", "-displayfd", fdText, "-screen", "0",
                                   "1280x1024x24",  "-nolisten",  "tcp",  "-noreset"};
  std::vector<char*> argv;
  for (std::string& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addclose(&actions, fds[0]);
  posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
  posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
  const int spawned = posix_spawn(&pid_, argv[0], &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  close(fds[1]);
  if (spawned != 0) {
    close(fds[0]);
    throw std::runtime_error("cannot start /usr/bin/Xvfb (Debian package xvfb)");
  }
  // Xvfb writes the display number once it accepts connections.
  std::string number;
  pollfd p{fds[0], POLLIN, 0};
  while (poll(&p, 1, 10000) > 0) {
    char c = 0;
    if (read(fds[0], &c, 1) != 1 || c == '\n') break;
    number.push_back(c);
  }
  close(fds[0]);
  if (number.empty()) {
    kill(pid_, SIGTERM);
    waitpid(pid_, nullptr, 0);
    throw std::runtime_error("Xvfb did not report a display");
  }
  name_ = ":" + number;
  setenv("DISPLAY", name_.c_str(), 1);
  unsetenv("WAYLAND_DISPLAY");
}

XvfbDisplay::~XvfbDisplay() {
  if (pid_ > 0) {
    kill(pid_, SIGTERM);
    waitpid(pid_, nullptr, 0);
  }
}

namespace {

long pssKb(pid_t pid) {
  std::ifstream in("/proc/" + std::to_string(pid) + "/smaps_rollup");
  for (std::string line; std::getline(in, line);) {
    if (line.rfind("Pss:", 0) == 0) return std::strtol(line.c_str() + 4, nullptr, 10);
  }
  return 0;
}

}  // namespace

long processTreePssKb(pid_t root, pid_t excluded) {
  std::multimap<pid_t, pid_t> children;
  for (const ProcessInfo& info : processTable()) children.emplace(info.parent, info.pid);
  long total = 0;
  std::vector<pid_t> pending{root};
  while (!pending.empty()) {
    const pid_t pid = pending.back();
    pending.pop_back();
    if (pid == excluded) continue;
    total += pssKb(pid);
    const auto range = children.equal_range(pid);
    for (auto it = range.first; it != range.second; ++it) pending.push_back(it->second);
  }
  return total;
}

}  // namespace norvo::test
