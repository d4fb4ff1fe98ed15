// An Xvfb server started by the test itself: it picks a free display number, DISPLAY points at
// it while the object lives, and the server is stopped by the destructor. Test thread.
#pragma once

#include <sys/types.h>

#include <string>

namespace norvo::test {

class XvfbDisplay {
 public:
  // Throws std::runtime_error when Xvfb cannot be started.
  XvfbDisplay();
  ~XvfbDisplay();
  XvfbDisplay(const XvfbDisplay&) = delete;
  XvfbDisplay& operator=(const XvfbDisplay&) = delete;

  const std::string& name() const { return name_; }  // ":N"
  pid_t pid() const { return pid_; }

 private:
  pid_t pid_ = -1;
  std::string name_;
};

// Proportional set size in kB of a process and all its descendants (shared pages split
// between the processes that map them), from /proc/<pid>/smaps_rollup. The subtree of
// `excluded` (say, the test's own X server) is left out.
long processTreePssKb(pid_t root, pid_t excluded = -1);

}  // namespace norvo::test
