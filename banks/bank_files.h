// File and path helpers of the bank loader: whole-file reads, path joining and the check that a
// manifest's relative path stays inside its bank folder. Any thread except the audio thread.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace norvo {

// Reads the whole file as bytes. False if it cannot be opened, sized or fully read (a short
// read leaves `bytes` empty). An empty file reads as true with no bytes. Only regular files are
// read. Any thread except the audio thread.
bool readWholeFile(const std::string& path, std::vector<std::uint8_t>& bytes);

// `relative` alone when `base` is empty or `relative` starts with "/"; `base` when `relative`
// is empty; otherwise the two joined by exactly the one "/" a bare base lacks. Any thread.
std::string joinPath(const std::string& base, const std::string& relative);

// False for an empty path, an absolute path, any backslash or any ".." component. Any thread.
bool pathIsContained(const std::string& relative);

}  // namespace norvo
