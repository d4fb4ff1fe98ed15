// Runs norvo-probe (or another command) as a child process and captures what it prints.
// Test thread.
#pragma once

#include <string>
#include <vector>

namespace norvo::e2e {

struct CommandResult {
  int exitCode = -1;  // 128 + signal number when the child was killed by a signal
  std::string out;
  std::string err;
};

CommandResult runCommand(const std::vector<std::string>& argv);
// The same with `input` on its standard input (instead of nothing).
CommandResult runCommand(const std::vector<std::string>& argv, const std::string& input);

// A fresh, empty directory under the system's temporary folder, removed by the destructor.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  std::string path(const std::string& name) const { return root_ + "/" + name; }
  const std::string& root() const { return root_; }

 private:
  std::string root_;
};

}  // namespace norvo::e2e
