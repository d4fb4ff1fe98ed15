// Zip unpacking with libarchive. Entries are written by this file, not by libarchive's disk
// writer, so that every path is checked against the target folder and nothing is ever
// written through a link, whatever links earlier entries created.
#include "banks/zip_unpack.h"

#include <archive.h>
#include <archive_entry.h>
#include <fcntl.h>
#include <locale.h>
#include <sys/stat.h>
#include <unistd.h>

#include <exception>
#include <memory>
#include <string>
#include <vector>

namespace norvo {
namespace {

using ArchiveHandle = std::unique_ptr<archive, int (*)(archive*)>;

constexpr mode_t kDirectoryMode = 0755;
constexpr mode_t kFileMode = 0644;

// Splits an archive path into its components, dropping "." and empty ones. False for an
// absolute path or one with a ".." component.
bool safeComponents(const char* path, std::vector<std::string>& components) {
  components.clear();
  if (path == nullptr || path[0] == '/') return false;
  const std::string text(path);
  std::size_t begin = 0;
  while (begin <= text.size()) {
    std::size_t end = text.find('/', begin);
    if (end == std::string::npos) end = text.size();
    const std::string part = text.substr(begin, end - begin);
    if (part == "..") return false;
    if (!part.empty() && part != ".") components.push_back(part);
    begin = end + 1;
  }
  return true;
}

// A symbolic link's target, taken relative to the link's own directory, must stay inside the
// folder (lexically: the walk never climbs above the folder's top).
bool linkTargetStaysInside(const std::vector<std::string>& linkPath, const char* target) {
  if (target == nullptr || target[0] == '\0' || target[0] == '/') return false;
  std::size_t depth = linkPath.size() - 1;
  const std::string text(target);
  std::size_t begin = 0;
  while (begin <= text.size()) {
    std::size_t end = text.find('/', begin);
    if (end == std::string::npos) end = text.size();
    const std::string part = text.substr(begin, end - begin);
    if (part == "..") {
      if (depth == 0) return false;
      --depth;
    } else if (!part.empty() && part != ".") {
      ++depth;
    }
    begin = end + 1;
  }
  return true;
}

std::string joinComponents(const std::string& folder, const std::vector<std::string>& parts,
                           std::size_t count) {
  std::string path = folder;
  for (std::size_t i = 0; i < count; ++i) path += "/" + parts[i];
  return path;
}

// Creates the entry's parent directories; refuses to pass through anything but a real directory.
bool makeParents(const std::string& folder, const std::vector<std::string>& parts) {
  for (std::size_t i = 1; i < parts.size(); ++i) {
    const std::string dir = joinComponents(folder, parts, i);
    struct stat info {};
    if (::lstat(dir.c_str(), &info) == 0) {
      if (!S_ISDIR(info.st_mode)) return false;
    } else if (::mkdir(dir.c_str(), kDirectoryMode) != 0) {
      return false;
    }
  }
  return true;
}

bool makeDirectory(const std::string& path) {
  struct stat info {};
  if (::lstat(path.c_str(), &info) == 0) return S_ISDIR(info.st_mode);
  return ::mkdir(path.c_str(), kDirectoryMode) == 0;
}

// Removes a previous file or link of the same name (a later entry replaces an earlier one).
bool clearForReplacement(const std::string& path) {
  struct stat info {};
  if (::lstat(path.c_str(), &info) != 0) return true;
  if (S_ISDIR(info.st_mode)) return false;
  return ::unlink(path.c_str()) == 0;
}

bool writeFileData(archive* reader, const std::string& path) {
  if (!clearForReplacement(path)) return false;
  const int fd =
      ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, kFileMode);
  if (fd < 0) return false;
  bool ok = true;
  for (;;) {
    const void* block = nullptr;
    size_t size = 0;
    la_int64_t offset = 0;
    const int status = archive_read_data_block(reader, &block, &size, &offset);
    if (status == ARCHIVE_EOF) break;
    if (status < ARCHIVE_WARN) {
      ok = false;
      break;
    }
    const auto* bytes = static_cast<const char*>(block);
    while (size > 0) {
      const ssize_t written = ::pwrite(fd, bytes, size, offset);
      if (written <= 0) {
        ok = false;
        break;
      }
      bytes += written;
      size -= static_cast<size_t>(written);
      offset += written;
    }
    if (!ok) break;
  }
  return ::close(fd) == 0 && ok;
}

bool writeHardLink(const std::string& folder, const std::vector<std::string>& parts,
                   const char* target) {
  std::vector<std::string> targetParts;
  if (!safeComponents(target, targetParts) || targetParts.empty()) return false;
  const std::string targetPath = joinComponents(folder, targetParts, targetParts.size());
  // The target must be a regular file reached without passing through any link.
  for (std::size_t i = 1; i <= targetParts.size(); ++i) {
    struct stat info {};
    if (::lstat(joinComponents(folder, targetParts, i).c_str(), &info) != 0) return false;
    if (i < targetParts.size() ? !S_ISDIR(info.st_mode) : !S_ISREG(info.st_mode)) return false;
  }
  const std::string path = joinComponents(folder, parts, parts.size());
  return clearForReplacement(path) && ::link(targetPath.c_str(), path.c_str()) == 0;
}

bool writeSymbolicLink(const std::vector<std::string>& parts, const std::string& path,
                       const char* target) {
  if (!linkTargetStaysInside(parts, target)) return false;
  return clearForReplacement(path) && ::symlink(target, path.c_str()) == 0;
}

// Archives made by the macOS Finder carry resource forks under "__MACOSX/"; macOS's own
// unpacker folds them into file metadata, so they never appear as files there.
bool isMacResourceFork(const std::vector<std::string>& parts) {
  return !parts.empty() && parts.front() == "__MACOSX";
}

bool extractEntry(archive* reader, archive_entry* entry, const std::string& folder) {
  const char* name = archive_entry_pathname(entry);
  if (name == nullptr) name = archive_entry_pathname_utf8(entry);
  std::vector<std::string> parts;
  if (!safeComponents(name, parts)) return false;
  if (parts.empty() || isMacResourceFork(parts)) return true;  // the folder itself, or metadata
  if (!makeParents(folder, parts)) return false;
  const std::string path = joinComponents(folder, parts, parts.size());
  if (const char* hardLink = archive_entry_hardlink(entry))
    return writeHardLink(folder, parts, hardLink);
  switch (archive_entry_filetype(entry)) {
    case AE_IFDIR:
      return makeDirectory(path);
    case AE_IFREG:
      return writeFileData(reader, path);
    case AE_IFLNK:
      return writeSymbolicLink(parts, path, archive_entry_symlink(entry));
    default:
      return false;  // devices, FIFOs and sockets have no place in a bank
  }
}

// libarchive converts entry names into the character set of the calling thread's locale, and
// refuses names it cannot convert: a host running in the "C" locale would lose every non-ASCII
// name. Names are therefore read under a UTF-8 locale for this thread only, and written as the
// UTF-8 bytes they are in the archive.
class ScopedUtf8Locale {
 public:
  ScopedUtf8Locale() {
    for (const char* name : {"C.UTF-8", "C.utf8", "en_US.UTF-8"}) {
      utf8_ = ::newlocale(LC_CTYPE_MASK, name, static_cast<locale_t>(0));
      if (utf8_ != static_cast<locale_t>(0)) break;
    }
    if (utf8_ != static_cast<locale_t>(0)) previous_ = ::uselocale(utf8_);
  }
  ~ScopedUtf8Locale() {
    if (utf8_ == static_cast<locale_t>(0)) return;
    ::uselocale(previous_);
    ::freelocale(utf8_);
  }
  ScopedUtf8Locale(const ScopedUtf8Locale&) = delete;
  ScopedUtf8Locale& operator=(const ScopedUtf8Locale&) = delete;

 private:
  locale_t utf8_ = static_cast<locale_t>(0);
  locale_t previous_ = static_cast<locale_t>(0);
};

}  // namespace

ZipUnpackResult unpackZipArchive(const std::string& archivePath, const std::string& folder) {
  const ScopedUtf8Locale utf8;
  ArchiveHandle reader(archive_read_new(), &archive_read_free);
  if (!reader) return ZipUnpackResult::CannotStart;
  archive_read_support_format_zip(reader.get());
  if (archive_read_open_filename(reader.get(), archivePath.c_str(), 64 * 1024) != ARCHIVE_OK) {
    return ZipUnpackResult::NotReadable;
  }
  for (;;) {
    archive_entry* entry = nullptr;
    const int status = archive_read_next_header(reader.get(), &entry);
    if (status == ARCHIVE_EOF) return ZipUnpackResult::Unpacked;
    if (status < ARCHIVE_WARN) return ZipUnpackResult::NotReadable;
    try {
      if (!extractEntry(reader.get(), entry, folder)) return ZipUnpackResult::NotReadable;
    } catch (const std::exception&) {
      return ZipUnpackResult::NotReadable;
    }
  }
}

}  // namespace norvo
