// Unpacking a zip archive into a folder (platform specific). Main thread.
#pragma once

#include <string>

namespace norvo {

enum class ZipUnpackResult {
  Unpacked,
  CannotStart,  // the unpacker itself could not be started
  NotReadable,  // not a zip, damaged, or an entry would land outside the folder
};

// Extracts every entry of the zip archive at `archivePath` below `folder`. Entries with an
// absolute path or a ".." component, links that point outside `folder`, extraction through a
// link and special files (devices, FIFOs) are refused with NotReadable; what was already
// extracted is then left for the caller to remove with the folder.
ZipUnpackResult unpackZipArchive(const std::string& archivePath, const std::string& folder);

}  // namespace norvo
