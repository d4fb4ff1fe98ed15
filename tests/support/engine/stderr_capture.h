// Captures what the code under test writes to standard error (file descriptor 2) while the
// object lives. Test thread only.
#pragma once

#include <cstdio>
#include <string>

#include <unistd.h>

namespace norvo::test {

class StderrCapture {
 public:
  StderrCapture() {
    std::fflush(stderr);
    file_ = std::tmpfile();
    saved_ = dup(2);
    dup2(fileno(file_), 2);
  }
  ~StderrCapture() {
    restore();
    if (file_ != nullptr) std::fclose(file_);
  }
  StderrCapture(const StderrCapture&) = delete;
  StderrCapture& operator=(const StderrCapture&) = delete;

  // Stops capturing and returns everything written.
  std::string take() {
    restore();
    std::string text;
    std::rewind(file_);
    char buffer[4096];
    std::size_t n = 0;
    while ((n = std::fread(buffer, 1, sizeof buffer, file_)) > 0) text.append(buffer, n);
    return text;
  }

 private:
  void restore() {
    if (saved_ < 0) return;
    std::fflush(stderr);
    dup2(saved_, 2);
    close(saved_);
    saved_ = -1;
  }

  std::FILE* file_ = nullptr;
  int saved_ = -1;
};

}  // namespace norvo::test
