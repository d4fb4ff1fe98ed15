// The web view helper process on Linux: posix_spawn with a socket pair.
#include "editor/platform/web_view_host_process.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>

#include "editor/platform/web_view_host_protocol.h"
#include "editor/ui_bundle_location.h"

extern char** environ;

namespace norvo {

namespace {

// Signals whose disposition the host may have changed and the helper must not inherit (an
// ignored signal stays ignored across exec).
constexpr int kDefaultSignals[] = {SIGPIPE, SIGCHLD, SIGINT,  SIGTERM, SIGHUP,
                                   SIGQUIT, SIGUSR1, SIGUSR2, SIGALRM};

std::string systemError(const char* what, int error) {
  return std::string(what) + ": " + std::strerror(error);
}

void closeBoth(int fds[2]) {
  ::close(fds[0]);
  ::close(fds[1]);
}

}  // namespace

std::string webViewHostPath() {
  const std::string module = pluginModulePath();
  if (module.empty()) return {};
  std::error_code error;
  std::filesystem::path path = std::filesystem::absolute(module, error);
  if (error) path = module;
  return (path.lexically_normal().parent_path() / kWebViewHostFileName).string();
}

WebViewHostProcess startWebViewHost(const std::string& path,
                                    const std::vector<std::string>& arguments, std::string& error) {
  if (path.empty() || ::access(path.c_str(), X_OK) != 0) {
    error = systemError(("cannot run " + path).c_str(), path.empty() ? ENOENT : errno);
    return {};
  }
  int fds[2];
  if (::socketpair(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0, fds) != 0) {
    error = systemError("socketpair", errno);
    return {};
  }
  // The child's end goes to descriptor 3. It first moves above 3 when it is 0 to 3 (a host may
  // run with standard descriptors closed): the /dev/null opens must not replace it, and dup2
  // onto itself would keep close-on-exec.
  if (fds[1] <= kWebViewHostSocketFd) {
    const int moved = ::fcntl(fds[1], F_DUPFD_CLOEXEC, kWebViewHostSocketFd + 1);
    if (moved < 0) {
      error = systemError("fcntl", errno);
      closeBoth(fds);
      return {};
    }
    ::close(fds[1]);
    fds[1] = moved;
  }

  posix_spawn_file_actions_t actions;
  posix_spawnattr_t attributes;
  posix_spawn_file_actions_init(&actions);
  posix_spawnattr_init(&attributes);
  posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
  posix_spawn_file_actions_adddup2(&actions, fds[1], kWebViewHostSocketFd);
#if defined(__GLIBC__) && (__GLIBC__ > 2 || (__GLIBC__ == 2 && __GLIBC_MINOR__ >= 34))
  // Nothing else of the host's process reaches the helper, close-on-exec or not.
  posix_spawn_file_actions_addclosefrom_np(&actions, kWebViewHostSocketFd + 1);
#endif
  sigset_t none, defaults;
  sigemptyset(&none);
  sigemptyset(&defaults);
  for (const int signal : kDefaultSignals) sigaddset(&defaults, signal);
  posix_spawnattr_setsigmask(&attributes, &none);
  posix_spawnattr_setsigdefault(&attributes, &defaults);
  posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);

  std::vector<std::string> argvText;
  argvText.push_back(path);
  argvText.insert(argvText.end(), arguments.begin(), arguments.end());
  std::vector<char*> argv;
  for (std::string& text : argvText) argv.push_back(text.data());
  argv.push_back(nullptr);

  pid_t pid = -1;
  const int spawned =
      ::posix_spawn(&pid, path.c_str(), &actions, &attributes, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  posix_spawnattr_destroy(&attributes);
  ::close(fds[1]);
  if (spawned != 0) {
    error = systemError(("cannot start " + path).c_str(), spawned);
    ::close(fds[0]);
    return {};
  }
  return {pid, fds[0]};
}

bool collectWebViewHost(pid_t pid) {
  if (pid <= 0) return true;
  while (true) {
    const pid_t result = ::waitpid(pid, nullptr, WNOHANG);
    if (result == pid) return true;
    if (result == 0) return false;
    if (errno == EINTR) continue;
    return true;  // ECHILD: collected elsewhere (a host reaping every child, or SIGCHLD ignored)
  }
}

void endWebViewHost(pid_t pid, std::chrono::milliseconds grace) {
  if (pid <= 0) return;
  const auto end = std::chrono::steady_clock::now() + grace;
  while (!collectWebViewHost(pid)) {
    if (std::chrono::steady_clock::now() >= end) {
      ::kill(pid, SIGKILL);
      while (::waitpid(pid, nullptr, 0) < 0 && errno == EINTR) {
      }
      return;
    }
    const timespec pause{0, 1000000};  // 1 ms
    ::nanosleep(&pause, nullptr);
  }
}

}  // namespace norvo
