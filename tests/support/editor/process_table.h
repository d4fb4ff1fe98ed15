// The machine's processes as /proc shows them: for finding the editor's helper process among a
// test's children and checking that it is gone. Test thread.
#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

namespace norvo::test {

struct ProcessInfo {
  pid_t pid = 0;
  pid_t parent = 0;
  char state = 0;    // R, S, Z, ...
  std::string name;  // the kernel's name of the command (at most 15 characters)
};

// Every process now.
std::vector<ProcessInfo> processTable();

// The direct children of `parent`, those named `name` only when it is not empty.
std::vector<ProcessInfo> childProcesses(pid_t parent, const std::string& name = {});

// The targets of the process's open file descriptors ("pipe:[123]", "/dev/null", ...).
std::vector<std::string> openFileTargets(pid_t pid);

}  // namespace norvo::test
