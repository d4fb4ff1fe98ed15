// File and path helpers of the bank loader.
#include "banks/bank_files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <exception>
#include <memory>

namespace norvo {
namespace {

using FileHandle = std::unique_ptr<std::FILE, int (*)(std::FILE*)>;

// Opens a regular file only: a directory or a FIFO planted in a bank folder must not block
// or mislead the reader. O_NONBLOCK keeps the open of a FIFO from waiting for a writer.
FileHandle openRegularFile(const std::string& path) {
  FileHandle none(nullptr, &std::fclose);
  const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return none;
  struct stat info {};
  if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
    ::close(fd);
    return none;
  }
  std::FILE* file = ::fdopen(fd, "rb");
  if (file == nullptr) {
    ::close(fd);
    return none;
  }
  return FileHandle(file, &std::fclose);
}

}  // namespace

bool readWholeFile(const std::string& path, std::vector<std::uint8_t>& bytes) {
  bytes.clear();
  FileHandle file = openRegularFile(path);
  if (!file) return false;
  if (std::fseek(file.get(), 0, SEEK_END) != 0) return false;
  const long length = std::ftell(file.get());
  if (length < 0 || std::fseek(file.get(), 0, SEEK_SET) != 0) return false;
  if (length == 0) return true;
  try {
    bytes.resize(static_cast<std::size_t>(length));
  } catch (const std::exception&) {
    bytes.clear();
    return false;
  }
  if (std::fread(bytes.data(), 1, bytes.size(), file.get()) != bytes.size()) {
    bytes.clear();
    bytes.shrink_to_fit();
    return false;
  }
  return true;
}

std::string joinPath(const std::string& base, const std::string& relative) {
  if (base.empty() || (!relative.empty() && relative.front() == '/')) return relative;
  if (relative.empty()) return base;
  if (base.back() == '/') return base + relative;
  return base + "/" + relative;
}

bool pathIsContained(const std::string& relative) {
  if (relative.empty() || relative.front() == '/') return false;
  if (relative.find('\\') != std::string::npos) return false;
  std::size_t begin = 0;
  while (begin <= relative.size()) {
    std::size_t end = relative.find('/', begin);
    if (end == std::string::npos) end = relative.size();
    if (relative.compare(begin, end - begin, "..") == 0) return false;
    begin = end + 1;
  }
  return true;
}

}  // namespace norvo
