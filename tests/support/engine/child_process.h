// Runs a piece of a test in a forked child process, for behaviour that happens once per
// process (environment read once, a line written once). The child reports through its exit
// code and the files it writes; gtest assertions inside it would not reach the parent.
#pragma once

#include <cstdio>
#include <string>

#include <sys/wait.h>
#include <unistd.h>

namespace norvo::test {

// Runs `body` in a child and returns its exit code (the body's result), or -1 when the child
// did not exit normally. The child ends with _exit, so nothing buffered is flushed for it.
template <typename Body>
int runInChildProcess(Body&& body) {
  std::fflush(nullptr);
  const pid_t pid = fork();
  if (pid < 0) return -1;
  if (pid == 0) _exit(body());
  int status = 0;
  if (waitpid(pid, &status, 0) != pid || !WIFEXITED(status)) return -1;
  return WEXITSTATUS(status);
}

inline std::string readWholeFile(const std::string& path) {
  std::string text;
  std::FILE* file = std::fopen(path.c_str(), "rb");
  if (file == nullptr) return text;
  char buffer[4096];
  std::size_t n = 0;
  while ((n = std::fread(buffer, 1, sizeof buffer, file)) > 0) text.append(buffer, n);
  std::fclose(file);
  return text;
}

}  // namespace norvo::test
