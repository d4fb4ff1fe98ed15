// Saved component states on disk: the bytes a host would keep in its project, stored as they
// are. Main thread.
#pragma once

#include <string>
#include <vector>

namespace norvo::probe {

// The whole file. Throws ProbeError when it cannot be read.
std::vector<char> readStateFile(const std::string& path);

// Replaces the file with `bytes`. Throws ProbeError when it cannot be written completely.
void writeStateFile(const std::string& path, const std::vector<char>& bytes);

}  // namespace norvo::probe
